#include "ScenarioLoader.h"

#include <rapidjson/error/en.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

#include "LineUpReader.h"
#include "StpPacketizer.h"
#include "TvScenarioReader.h"
#include "VodScenarioReader.h"

namespace headend {

namespace {

const std::vector<std::string> kRequestKinds = {
    "getClientProfile", "getPlatformProfile", "logo",          "getEpgInfo",
    "programmeImage",   "getRecordingList",   "setRecording",  "cancelRecording",
    "delRecording",     "getRecordingData",   "getCatchUpUrl", "getBookmark",
    "setBookmark"};

// Copies every member of extra into target (replacing members of the same name).
void Merge(const JsonReader& extra, rapidjson::Value* target,
           rapidjson::Document::AllocatorType& allocator) {
  if (extra.Empty()) return;
  for (const auto& m : extra.Raw()->GetObject()) {
    target->RemoveMember(m.name.GetString());
    rapidjson::Value name(m.name, allocator);
    rapidjson::Value value(m.value, allocator);
    target->AddMember(name, value, allocator);
  }
}

int PayloadId(const std::string& text) {
  if (text.empty() || text.size() > 4) return -1;
  char* end = nullptr;
  long id = std::strtol(text.c_str(), &end, 16);
  return (*end != '\0' || id < 0 || id > 255) ? -1 : static_cast<int>(id);
}

}  // namespace

const std::vector<std::string>& ScenarioLoader::RequestKinds() {
  return kRequestKinds;
}

bool ScenarioLoader::LoadFile(const std::string& path, Scenario* out, std::string* errors) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *errors = path + ": cannot be read";
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return LoadText(text.str(), out, errors);
}

bool ScenarioLoader::LoadText(const std::string& text, Scenario* out, std::string* errors) {
  rapidjson::Document doc;
  doc.Parse(text.c_str(), text.size());
  if (doc.HasParseError()) {
    *errors = "offset " + std::to_string(doc.GetErrorOffset()) + ": " +
              rapidjson::GetParseError_En(doc.GetParseError());
    return false;
  }
  std::vector<std::string> problems;
  JsonReader root(&doc, "", &problems);
  root.Only({"operator", "subscriber", "platform", "appServer", "carouselDefaults", "entryPoint",
             "demarcations", "packages", "lineUp", "guide", "tv", "cloud", "rtsp", "dns"});
  Scenario s;
  ReadOperator(root.Object("operator"), &s);
  ReadProfiles(root, &s);
  ReadAppServer(root.Object("appServer"), &s);
  for (const auto& p : root.Array("packages")) {
    p.Only({"name", "description"});
    Package package{p.String("name", ""), p.String("description", "")};
    if (package.name.empty()) p.Error("a package needs a \"name\"");
    s.packages.push_back(package);
  }
  s.services = LineUpReader(root.Object("lineUp"), s.packages).Read();
  ReadDiscovery(root, &s);
  ReadGuide(root, &s);
  ReadTvSettings(root.Object("tv"), s.services, &s.tv);
  ReadCloud(root.Object("cloud"), &s);
  ReadRtspSettings(root.Object("rtsp"), &s.rtsp);
  ReadDnsSettings(root.Object("dns"), &s.dns);
  if (root.Empty()) problems.push_back("/: the scenario must be a JSON object");
  errors->clear();
  for (const auto& p : problems) *errors += p + "\n";
  if (!problems.empty()) return false;
  *out = std::move(s);
  return true;
}

void ScenarioLoader::ReadOperator(const JsonReader& op, Scenario* s) {
  op.Only({"domainSuffix", "providerName", "xmlLayout"});
  s->domainSuffix = op.String("domainSuffix", s->domainSuffix);
  s->providerName = op.String("providerName", s->providerName);
  std::string layout = op.String("xmlLayout", "indented");
  if (layout != "indented" && layout != "compact") op.Error("xmlLayout is indented or compact");
  s->indentedXml = layout != "compact";
}

void ScenarioLoader::ReadProfiles(const JsonReader& root, Scenario* s) {
  JsonReader sub = root.Object("subscriber");
  sub.Only({"tvPackages", "gmtOffset", "demarcation", "hdtv", "extra"});
  s->clientProfile = std::make_shared<rapidjson::Document>();
  rapidjson::Document& client = *s->clientProfile;
  auto& ca = client.GetAllocator();
  client.SetObject();
  std::string packages = sub.String("tvPackages", "");
  client.AddMember("tvPackages", rapidjson::Value(packages.c_str(), ca), ca);
  client.AddMember("gmtOffset", static_cast<int>(sub.Int("gmtOffset", 1, -12, 14)), ca);
  s->subscriberDemarcation = static_cast<int>(sub.Int("demarcation", 19, 0, 1000000));
  client.AddMember("demarcation", s->subscriberDemarcation, ca);
  client.AddMember("hdtv", static_cast<int>(sub.Int("hdtv", 1, 0, 1000)), ca);
  Merge(sub.Object("extra"), &client, ca);

  JsonReader platform = root.Object("platform");
  platform.Only({"dvbEntryPoint", "extra", "dvbConfigExtra"});
  s->platformProfile = std::make_shared<rapidjson::Document>();
  rapidjson::Document& plat = *s->platformProfile;
  auto& pa = plat.GetAllocator();
  plat.SetObject();
  std::string entry = platform.String("dvbEntryPoint", "239.0.2.129:3937");
  rapidjson::Value dvb(rapidjson::kObjectType);
  dvb.AddMember("dvbEntryPoint", rapidjson::Value(entry.c_str(), pa), pa);
  Merge(platform.Object("dvbConfigExtra"), &dvb, pa);
  plat.AddMember("dvbConfig", dvb, pa);
  Merge(platform.Object("extra"), &plat, pa);
  // The entry point carousel listens where the profile says, unless the
  // scenario gives it an address of its own (to answer a wrong one).
  LineUpReader::ParseGroup(entry, 3937, &s->entryPoint.group);
}

HttpSwitches ScenarioLoader::ReadSwitches(const JsonReader& e) {
  e.Only({"delayMs", "status", "emptyBody", "malformedJson", "missingMembers", "stringMembers",
          "noAnswer", "holdMs", "omitContentLength", "splitHead", "splitDelayMs", "times",
          "resultCode", "nullMembers", "wrongTypes", "duplicateIds"});
  HttpSwitches w;
  w.delayMs = static_cast<int>(e.Int("delayMs", 0, 0, 600000));
  w.status = static_cast<int>(e.Int("status", 200, 100, 599));
  w.emptyBody = e.Bool("emptyBody", false);
  w.malformedJson = e.Bool("malformedJson", false);
  w.missingMembers = e.Strings("missingMembers");
  w.stringMembers = e.Strings("stringMembers");
  w.noAnswer = e.String("noAnswer", "");
  if (!w.noAnswer.empty() && w.noAnswer != "hold" && w.noAnswer != "close")
    e.Error("noAnswer is \"hold\" or \"close\"");
  w.holdMs = static_cast<int>(e.Int("holdMs", 30000, 0, 600000));
  w.omitContentLength = e.Bool("omitContentLength", false);
  w.splitHead = e.Bool("splitHead", false);
  w.splitDelayMs = static_cast<int>(e.Int("splitDelayMs", 100, 0, 60000));
  w.times = static_cast<int>(e.Int("times", 0, 0, 1000000));
  w.forceCode = e.Has("resultCode");
  w.resultCode = static_cast<int>(e.Int("resultCode", 0, -1000000, 1000000));
  w.nullMembers = e.Strings("nullMembers");
  w.wrongTypes = e.Strings("wrongTypes");
  w.duplicateIds = e.Bool("duplicateIds", false);
  return w;
}

void ScenarioLoader::ReadAppServer(const JsonReader& server, Scenario* s) {
  server.Only({"address", "maxClients", "readTimeoutMs", "switches", "missingLogos"});
  AppServerSettings& a = s->appServer;
  std::string address = server.String("address", a.listen.Text());
  if (!LineUpReader::ParseGroup(address, 2001, &a.listen)) server.Error("bad address " + address);
  a.maxClients = static_cast<int>(server.Int("maxClients", a.maxClients, 1, 1024));
  a.readTimeoutMs = static_cast<int>(server.Int("readTimeoutMs", a.readTimeoutMs, 100, 600000));
  a.missingLogos = server.Strings("missingLogos");
  JsonReader switches = server.Object("switches");
  if (switches.Empty()) return;
  for (const auto& m : switches.Raw()->GetObject()) {
    std::string kind = m.name.GetString();
    const auto& kinds = RequestKinds();
    if (kind != "comment" && std::find(kinds.begin(), kinds.end(), kind) == kinds.end()) {
      switches.Error("unknown request kind \"" + kind + "\"");
      continue;
    }
    if (kind != "comment") a.switches[kind] = ReadSwitches(switches.Object(kind.c_str()));
  }
}

CarouselSettings ScenarioLoader::ReadCarousel(const JsonReader& e, const CarouselSettings& base,
                                              bool withAddress) {
  e.Only({"address", "bitrate", "cyclePeriodMs", "maxSectionBody", "minSections", "order", "crc",
          "headerByte0", "serviceProviderId", "repeatSections", "reorder", "seed",
          "bumpVersionEverySeconds", "silent", "silentAfterSeconds", "startAfterMs", "omitPayloads",
          "brokenRecords", "corruptFirstCopy"});
  CarouselSettings c = base;
  if (withAddress && e.Has("address")) {
    std::string address = e.String("address", "");
    if (!LineUpReader::ParseGroup(address, 3937, &c.group)) e.Error("bad address " + address);
  } else if (e.Has("address")) {
    e.Error("address is not allowed here");
  }
  c.bitrate = e.Int("bitrate", c.bitrate, 8000, 1000000000);
  c.cyclePeriodMs = static_cast<int>(e.Int("cyclePeriodMs", c.cyclePeriodMs, 0, 3600000));
  c.maxSectionBody = static_cast<int>(e.Int("maxSectionBody", c.maxSectionBody, 16, 65000));
  c.minSections = static_cast<int>(e.Int("minSections", c.minSections, 1, 4096));
  c.order = e.String("order", c.order);
  if (c.order != "interleaved" && c.order != "sequential")
    e.Error("order is \"interleaved\" or \"sequential\"");
  if (e.Has("crc")) {
    const rapidjson::Value& crc = (*e.Raw())["crc"];
    if (crc.IsBool())
      c.crc = crc.GetBool() ? CrcPlacement::Segment : CrcPlacement::None;
    else if (crc.IsString() && std::string(crc.GetString()) == "per-section")
      c.crc = CrcPlacement::PerSection;
    else
      e.Error("crc is true, false or \"per-section\"");
  }
  c.headerByte0 = static_cast<int>(e.Int("headerByte0", c.headerByte0, -1, 255));
  c.serviceProviderId = e.Int("serviceProviderId", c.serviceProviderId, -1, 0xFFFFFFFFLL);
  c.repeatSections = static_cast<int>(e.Int("repeatSections", c.repeatSections, 1, 16));
  c.reorder = e.String("reorder", c.reorder);
  if (c.reorder != "none" && c.reorder != "reverse" && c.reorder != "shuffle")
    e.Error("reorder is \"none\", \"reverse\" or \"shuffle\"");
  c.seed = static_cast<uint32_t>(e.Int("seed", c.seed, 0, 0xFFFFFFFFLL));
  c.bumpVersionEverySeconds =
      static_cast<int>(e.Int("bumpVersionEverySeconds", c.bumpVersionEverySeconds, 0, 86400));
  c.silent = e.Bool("silent", c.silent);
  c.silentAfterSeconds =
      static_cast<int>(e.Int("silentAfterSeconds", c.silentAfterSeconds, -1, 86400));
  c.startAfterMs = static_cast<int>(e.Int("startAfterMs", c.startAfterMs, 0, 3600000));
  if (e.Has("omitPayloads")) {
    c.omitPayloads.clear();
    for (const auto& id : e.Strings("omitPayloads")) {
      int n = PayloadId(id);
      if (n < 0) e.Error("bad payload id " + id);
      c.omitPayloads.push_back(n);
    }
  }
  JsonReader broken = e.Object("brokenRecords");
  if (!broken.Empty()) {
    c.brokenRecords.clear();
    for (const auto& m : broken.Raw()->GetObject()) {
      int n = PayloadId(m.name.GetString());
      std::string how = broken.String(m.name.GetString(), "");
      if (n < 0 || (how != "truncate" && how != "noVersion"))
        broken.Error(std::string("bad entry ") + m.name.GetString());
      else
        c.brokenRecords[n] = how;
    }
  }
  if (e.Has("corruptFirstCopy")) {
    c.corruptFirstCopy.clear();
    for (const auto& f : e.Array("corruptFirstCopy")) {
      f.Only({"payload", "segment", "section", "offset"});
      FirstCopyFault fault;
      std::string payload = f.String("payload", "");
      fault.payloadId = PayloadId(payload);
      if (fault.payloadId < 0) f.Error("bad payload id \"" + payload + "\"");
      fault.segmentId = static_cast<int>(f.Int("segment", 0, 0, 0xFFFF));
      fault.section = static_cast<int>(f.Int("section", 0, 0, StpPacketizer::kMaxSections - 1));
      fault.offset = static_cast<int>(f.Int("offset", 0, 0, 65535));
      c.corruptFirstCopy.push_back(fault);
    }
  }
  return c;
}

void ScenarioLoader::ReadDiscovery(const JsonReader& root, Scenario* s) {
  CarouselSettings defaults = ReadCarousel(root.Object("carouselDefaults"), {}, false);
  GroupAddress entryGroup = s->entryPoint.group;
  JsonReader entry = root.Object("entryPoint");
  entry.Only({"carousel", "version", "extraProviders"});
  CarouselSettings entryBase = defaults;
  entryBase.group = entryGroup;
  s->entryPoint = ReadCarousel(entry.Object("carousel"), entryBase, true);
  if (s->entryPoint.group.address.empty())
    entry.Error("the entry point needs carousel/address (dvbEntryPoint is not an address)");
  s->entryPointVersion = static_cast<int>(entry.Int("version", 1, 0, 255));
  for (const auto& p : entry.Array("extraProviders")) {
    p.Only({"domainName", "address"});
    ExtraProvider x;
    x.domainName = p.String("domainName", "");
    if (!LineUpReader::ParseGroup(p.String("address", ""), 3937, &x.group)) p.Error("bad address");
    s->extraProviders.push_back(x);
  }
  for (const auto& d : root.Array("demarcations")) {
    d.Only({"code", "name", "carousel", "versions"});
    Demarcation dem;
    dem.code = static_cast<int>(d.Int("code", 0, 0, 1000000));
    dem.name = d.String("name", "");
    dem.carousel = ReadCarousel(d.Object("carousel"), defaults, true);
    if (dem.carousel.group.address.empty()) d.Error("a demarcation needs carousel/address");
    dem.versions = {{0x02, 1}, {0x05, 1}, {0x06, 1}};
    JsonReader versions = d.Object("versions");
    if (!versions.Empty())
      for (const auto& m : versions.Raw()->GetObject()) {
        int id = PayloadId(m.name.GetString());
        if (id < 0) versions.Error(std::string("bad payload id ") + m.name.GetString());
        dem.versions[id] = static_cast<int>(versions.Int(m.name.GetString(), 1, 0, 255));
      }
    s->demarcations.push_back(dem);
  }
}

bool ScenarioLoader::ParseClockTime(const std::string& text, int* day, int* seconds) {
  static const std::pair<const char*, int> kDays[] = {
      {"yesterday ", -1}, {"today ", 0}, {"tomorrow ", 1}};
  for (const auto& [name, offset] : kDays) {
    const size_t length = std::strlen(name);
    if (text.compare(0, length, name) != 0) continue;
    // Two digits per field, "HH:MM" or "HH:MM:SS".
    const std::string clock = text.substr(length);
    if (clock.size() != 5 && clock.size() != 8) return false;
    int fields[3] = {0, 0, 0};
    for (size_t i = 0; i < clock.size(); ++i) {
      const char c = clock[i];
      if (i % 3 == 2) {
        if (c != ':') return false;
      } else if (c < '0' || c > '9') {
        return false;
      } else {
        fields[i / 3] = fields[i / 3] * 10 + (c - '0');
      }
    }
    if (fields[0] > 23 || fields[1] > 59 || fields[2] > 59) return false;
    *day = offset;
    *seconds = fields[0] * 3600 + fields[1] * 60 + fields[2];
    return true;
  }
  return false;
}

void ScenarioLoader::ReadGuide(const JsonReader& root, Scenario* s) {
  JsonReader guide = root.Object("guide");
  guide.Only({"days", "address", "carousel", "services", "changes", "short"});
  GuideSettings& g = s->guide;
  g.days = static_cast<int>(guide.Int("days", 0, 0, 200));
  // The defaults' mistakes are reported once, with the discovery carousels.
  std::vector<std::string> ignored;
  const JsonReader defaults(root.Object("carouselDefaults").Raw(), "", &ignored);
  g.carousel = ReadCarousel(guide.Object("carousel"), ReadCarousel(defaults, {}, false), false);
  std::string address = guide.String("address", "239.0.3.1:3937");
  if (!LineUpReader::ParseGroup(address, 3937, &g.first)) guide.Error("bad address " + address);
  g.services = guide.Strings("services");
  for (const auto& id : g.services) {
    bool known = false;
    for (const auto& service : s->services) known = known || service.id == id;
    if (!known) guide.Error("unknown service " + id);
  }
  for (const auto& c : guide.Array("changes")) {
    c.Only({"day", "afterSeconds", "bump", "drop"});
    GuideChange change;
    change.day = static_cast<int>(c.Int("day", 0, 0, 199));
    change.afterSeconds = static_cast<int>(c.Int("afterSeconds", 0, 0, 86400));
    change.bump = static_cast<int>(c.Int("bump", 0, 0, 255));
    change.drop = c.Bool("drop", false);
    if (change.day >= g.days) c.Error("day " + std::to_string(change.day) + " is not announced");
    g.changes.push_back(change);
  }
  for (const auto& e : guide.Array("short")) {
    e.Only({"service", "id", "startSeconds", "at", "seconds", "title", "series", "seriesCrid",
            "season", "episode"});
    ShortProgramme p;
    p.service = e.String("service", "");
    p.id = static_cast<uint32_t>(e.Int("id", 1, 1, 2147483647));
    p.startSeconds = static_cast<int>(e.Int("startSeconds", 0, -86400, 86400));
    if (e.Has("at")) {
      const std::string at = e.String("at", "");
      if (e.Has("startSeconds")) e.Error("give startSeconds or at, not both");
      if (!ParseClockTime(at, &p.day, &p.clockSeconds))
        e.Error("at \"" + at + "\" is not yesterday|today|tomorrow HH:MM[:SS]");
    }
    p.seriesCrid = e.String("seriesCrid", "");
    if (!p.seriesCrid.empty() && p.seriesCrid.rfind("crid://", 0) != 0)
      e.Error("seriesCrid \"" + p.seriesCrid + "\" does not start with crid://");
    p.seconds = static_cast<int>(e.Int("seconds", 60, 1, 86400));
    p.title = e.String("title", "Programa");
    p.series = e.String("series", "");
    p.season = static_cast<int>(e.Int("season", 0, 0, 99));
    p.episode = static_cast<int>(e.Int("episode", 0, 0, 999));
    bool known = false;
    for (const auto& service : s->services) known = known || service.id == p.service;
    if (!known) e.Error("unknown service " + p.service);
    g.shortProgrammes.push_back(p);
  }
}

void ScenarioLoader::ReadCloud(const JsonReader& cloud, Scenario* s) {
  cloud.Only({"recordings", "families", "missingImages", "rtspBase", "guideSeries"});
  CloudSettings& c = s->cloud;
  c.rtspBase = cloud.String("rtspBase", c.rtspBase);
  for (int64_t id : cloud.Ints("missingImages"))
    c.missingImages.push_back(static_cast<uint32_t>(id));
  for (const auto& title : cloud.Strings("guideSeries")) c.guideSeries.push_back(title);
  // A recording may outlive its channel in the line-up: any service id goes.
  const auto known = [](const JsonReader& at, const std::string& service) {
    if (service.empty() || service.find_first_not_of("0123456789") != std::string::npos)
      at.Error("service \"" + service + "\" is not a service id");
  };
  const auto common = [&](const JsonReader& r, CloudRecording* out) {
    out->service = r.String("service", "");
    known(r, out->service);
    if (r.Has("seriesName")) {
      out->hasSeries = true;
      out->seriesNull = (*r.Raw())["seriesName"].IsNull();
      if (!out->seriesNull) out->seriesName = r.String("seriesName", "");
    }
    out->season = r.String("season", "");
    out->episode = static_cast<int>(r.Int("episode", -1, -1, 100000));
    out->hd = static_cast<int>(r.Int("hd", 0, 0, 1000));
    out->bookmark = r.Int("bookmark", 0, 0, 100000000);
    out->productType = r.String("productType", "2");
    out->goneAfterSeconds = static_cast<int>(r.Int("goneAfterSeconds", -1, -1, 86400000));
    out->mediaSeconds = static_cast<int>(r.Int("mediaSeconds", 20, 1, 864000));
    out->pace = static_cast<int>(r.Int("pace", 4, 1, 16));
  };
  for (const auto& r : cloud.Array("recordings")) {
    r.Only({"id", "service", "name", "seriesName", "season", "episode", "hd", "begin", "end",
            "bookmark", "productType", "goneAfterSeconds", "mediaSeconds", "pace"});
    CloudRecording x;
    x.id = static_cast<uint32_t>(r.Int("id", 0, 1, 0x7FFFFFFF));
    x.name = r.String("name", "");
    common(r, &x);
    x.begin = r.Int("begin", -7200, -1000000000, 1000000000);
    x.end = r.Int("end", x.begin + 3600, -1000000000, 1000000000);
    if (x.end < x.begin) r.Error("end before begin");
    c.recordings.push_back(x);
  }
  // Generated recordings: ids, begins count up from the first.
  for (const auto& f : cloud.Array("families")) {
    f.Only({"count", "firstId", "service", "name", "seriesName", "season", "episode", "hd", "begin",
            "duration", "step", "bookmark", "productType", "goneAfterSeconds", "mediaSeconds",
            "pace"});
    CloudRecording x;
    common(f, &x);
    const int count = static_cast<int>(f.Int("count", 0, 0, 100000));
    const int64_t first = f.Int("firstId", 1, 1, 0x7FFFFFFF - 100000);
    const int64_t begin = f.Int("begin", -86400, -1000000000, 1000000000);
    const int64_t duration = f.Int("duration", 1800, 0, 86400);
    const int64_t step = f.Int("step", -duration, -86400, 86400);
    const std::string name = f.String("name", "Grabación {n}");
    for (int n = 1; n <= count; ++n) {
      CloudRecording e = x;
      e.id = static_cast<uint32_t>(first + n - 1);
      e.name = name;
      const size_t at = e.name.find("{n}");
      if (at != std::string::npos) e.name.replace(at, 3, std::to_string(n));
      e.begin = begin + (n - 1) * step;
      e.end = e.begin + duration;
      c.recordings.push_back(e);
    }
  }
}

}  // namespace headend
