#include "TvScenarioReader.h"

#include <algorithm>

namespace headend {

namespace {

TvChannelSettings ReadChannel(const JsonReader& e, const TvChannelSettings& base, bool withId) {
  if (withId)
    e.Only({"id", "transport", "clip", "bitrate", "payloadType", "csrcCount", "rtpExtensionWords",
            "gaps", "garbageEvery", "silent", "clipChange"});
  else
    e.Only({"transport", "clip", "bitrate", "payloadType", "csrcCount", "rtpExtensionWords", "gaps",
            "garbageEvery", "silent", "clipChange"});
  TvChannelSettings c = base;
  c.transport = e.String("transport", c.transport);
  if (c.transport != "rtp" && c.transport != "udp") e.Error("transport is \"rtp\" or \"udp\"");
  c.clip = e.String("clip", c.clip);
  if (!c.clip.empty() && c.clip != "sd" && c.clip != "hd") e.Error("clip is \"sd\" or \"hd\"");
  c.bitrate = e.Int("bitrate", c.bitrate, 0, 200000000);
  c.payloadType = static_cast<int>(e.Int("payloadType", c.payloadType, 0, 127));
  c.csrcCount = static_cast<int>(e.Int("csrcCount", c.csrcCount, 0, 15));
  c.extensionWords = static_cast<int>(e.Int("rtpExtensionWords", c.extensionWords, 0, 255));
  if (e.Has("gaps")) {
    c.gaps.clear();
    for (const auto& g : e.Array("gaps")) {
      g.Only({"afterMs", "forMs", "atSeconds", "seconds"});
      // Seconds are an outage as an operator reports it; ms the finer form.
      const int64_t at = g.Int("atSeconds", 0, 0, 86400) * 1000;
      const int64_t length = g.Int("seconds", 0, 0, 3600) * 1000;
      c.gaps.push_back({static_cast<int>(g.Int("afterMs", at, 0, 86400000)),
                        static_cast<int>(g.Int("forMs", length > 0 ? length : 1000, 1, 3600000))});
    }
  }
  c.garbageEvery = static_cast<int>(e.Int("garbageEvery", c.garbageEvery, 0, 1000000));
  c.silent = e.Bool("silent", c.silent);
  JsonReader change = e.Object("clipChange");
  if (!change.Empty()) {
    change.Only({"afterMs", "to"});
    c.clipChangeAfterMs = static_cast<int>(change.Int("afterMs", 0, 0, 86400000));
    c.clipChangeTo = change.String("to", "hd");
    if (c.clipChangeTo != "sd" && c.clipChangeTo != "hd") change.Error("to is \"sd\" or \"hd\"");
  }
  return c;
}

}  // namespace

void ReadTvSettings(const JsonReader& tv, const std::vector<Service>& services, TvSettings* out) {
  tv.Only({"fullRate", "keepAliveMs", "defaults", "channels"});
  out->fullRate = tv.String("fullRate", out->fullRate);
  if (out->fullRate != "named" && out->fullRate != "joined")
    tv.Error("fullRate is \"named\" or \"joined\"");
  out->keepAliveMs = static_cast<int>(tv.Int("keepAliveMs", out->keepAliveMs, 20, 60000));
  out->defaults = ReadChannel(tv.Object("defaults"), out->defaults, false);
  for (const auto& entry : tv.Array("channels")) {
    std::string id = entry.String("id", "");
    bool known =
        std::any_of(services.begin(), services.end(), [&](const Service& s) { return s.id == id; });
    if (!known) entry.Error("no service of the line-up has the id \"" + id + "\"");
    if (out->channels.count(id) != 0) entry.Error("channel \"" + id + "\" is listed twice");
    out->channels[id] = ReadChannel(entry, out->defaults, true);
    out->named.push_back(id);
  }
}

}  // namespace headend
