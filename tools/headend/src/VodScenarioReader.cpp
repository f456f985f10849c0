#include "VodScenarioReader.h"

#include <arpa/inet.h>

#include <cstdlib>

namespace headend {

namespace {

const char* const kMethods[] = {"OPTIONS", "DESCRIBE", "SETUP",        "PLAY",
                                "PAUSE",   "TEARDOWN", "GET_PARAMETER"};

bool IsIpv4(const std::string& text) {
  in_addr a{};
  return inet_pton(AF_INET, text.c_str(), &a) == 1;
}

bool IsEndpoint(const std::string& text) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  const int port = std::atoi(text.c_str() + colon + 1);
  return IsIpv4(text.substr(0, colon)) && port > 0 && port < 65536;
}

RtspSwitches ReadSwitches(const JsonReader& s) {
  s.Only({"silence", "status", "wrongCSeq", "splitHead", "coalesce", "dropAfterSeconds", "bareSdp",
          "headBytes", "noise", "times"});
  RtspSwitches w;
  w.silence = s.Bool("silence", false);
  w.status = static_cast<int>(s.Int("status", 200, 100, 599));
  w.wrongCSeq = s.Bool("wrongCSeq", false);
  w.splitHead = s.Bool("splitHead", false);
  w.coalesce = s.String("coalesce", "");
  w.dropAfterSeconds = static_cast<int>(s.Int("dropAfterSeconds", -1, -1, 86400));
  w.bareSdp = s.Bool("bareSdp", false);
  w.headBytes = static_cast<int>(s.Int("headBytes", 0, 0, 65536));
  w.noise = static_cast<int>(s.Int("noise", 0, 0, 65536));
  w.times = static_cast<int>(s.Int("times", 0, 0, 1000000));
  return w;
}

}  // namespace

void ReadRtspSettings(const JsonReader& r, RtspSettings* out) {
  if (r.Empty()) return;
  r.Only({"addresses", "sessionTimeout", "sessionTimeoutSeconds", "noticeHeader", "defaultDuration",
          "assets", "switches"});
  out->enabled = true;
  if (r.Has("addresses")) out->addresses = r.Strings("addresses");
  for (const auto& a : out->addresses)
    if (!IsEndpoint(a)) r.Error("bad address " + a);
  out->sessionTimeout = static_cast<int>(r.Int("sessionTimeout", 60, 1, 86400));
  out->sessionTimeoutSeconds = static_cast<int>(r.Int("sessionTimeoutSeconds", -1, -1, 86400));
  out->noticeHeader = r.String("noticeHeader", "x-notice");
  if (out->noticeHeader != "x-notice" && out->noticeHeader != "Notice")
    r.Error("noticeHeader is x-notice or Notice");
  out->defaultDuration = static_cast<int>(r.Int("defaultDuration", 3600, 1, 864000));
  for (const auto& a : r.Array("assets")) {
    a.Only({"path", "duration", "clip", "transport", "bitrate", "controlToken", "pace"});
    RtspAsset asset;
    asset.path = a.String("path", "");
    if (asset.path.empty() || asset.path[0] != '/') a.Error("an asset needs a \"path\" from /");
    asset.duration = static_cast<int>(a.Int("duration", 3600, 1, 864000));
    asset.clip = a.String("clip", "sd");
    if (asset.clip != "sd" && asset.clip != "hd") a.Error("clip is sd or hd");
    asset.transport = a.String("transport", "rtp");
    if (asset.transport != "rtp" && asset.transport != "udp") a.Error("transport is rtp or udp");
    asset.bitrate = a.Int("bitrate", 0, 0, 1000000000);
    asset.controlToken = a.String("controlToken", "");
    asset.pace = static_cast<int>(a.Int("pace", 1, 1, 16));
    out->assets.push_back(asset);
  }
  const JsonReader switches = r.Object("switches");
  if (!switches.Empty() && switches.Raw()->IsObject()) {
    for (auto m = switches.Raw()->MemberBegin(); m != switches.Raw()->MemberEnd(); ++m) {
      const std::string method = m->name.GetString();
      if (method == "comment") continue;
      bool known = false;
      for (const char* k : kMethods) known = known || method == k;
      if (!known) switches.Error("unknown method " + method);
      out->switches[method] = ReadSwitches(switches.Object(method.c_str()));
    }
  }
}

void ReadDnsSettings(const JsonReader& d, DnsSettings* out) {
  if (d.Empty()) return;
  d.Only({"address", "records", "noAnswer", "truncated", "pointerLoop", "off", "times"});
  out->enabled = true;
  out->address = d.String("address", out->address);
  if (!IsEndpoint(out->address)) d.Error("bad address " + out->address);
  for (const auto& r : d.Array("records")) {
    r.Only({"name", "a", "cname"});
    DnsRecordSetting record{r.String("name", ""), r.String("a", ""), r.String("cname", "")};
    if (record.name.empty()) r.Error("a record needs a \"name\"");
    if (record.a.empty() == record.cname.empty()) r.Error("a record has either \"a\" or \"cname\"");
    if (!record.a.empty() && !IsIpv4(record.a)) r.Error("bad address " + record.a);
    out->records.push_back(record);
  }
  out->noAnswer = d.Bool("noAnswer", false);
  out->truncated = d.Bool("truncated", false);
  out->pointerLoop = d.Bool("pointerLoop", false);
  out->off = d.Bool("off", false);
  out->times = static_cast<int>(d.Int("times", 0, 0, 1000000));
}

}  // namespace headend
