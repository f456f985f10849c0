#include "LineUpReader.h"

#include <arpa/inet.h>

#include <algorithm>

namespace headend {

namespace {

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

}  // namespace

LineUpReader::LineUpReader(const JsonReader& lineUp, const std::vector<Package>& packages)
    : lineUp_(lineUp), packages_(packages) {}

std::string LineUpReader::OffsetAddress(const std::string& address, uint32_t n) {
  in_addr a{};
  if (inet_pton(AF_INET, address.c_str(), &a) != 1) return {};
  a.s_addr = htonl(ntohl(a.s_addr) + n);
  char text[INET_ADDRSTRLEN];
  inet_ntop(AF_INET, &a, text, sizeof(text));
  return text;
}

bool LineUpReader::ParseGroup(const std::string& text, uint16_t defaultPort, GroupAddress* out) {
  std::string address = text;
  long port = defaultPort;
  size_t colon = text.find(':');
  if (colon != std::string::npos) {
    address = text.substr(0, colon);
    std::string digits = text.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(), ::isdigit))
      return false;
    port = std::stol(digits);
  }
  in_addr a{};
  if (inet_pton(AF_INET, address.c_str(), &a) != 1 || port <= 0 || port > 65535) return false;
  out->address = address;
  out->port = static_cast<uint16_t>(port);
  return true;
}

std::vector<Service> LineUpReader::Read() {
  lineUp_.Only({"port", "services", "families"});
  port_ = static_cast<uint16_t>(lineUp_.Int("port", 8208, 1, 65535));
  for (const auto& entry : lineUp_.Array("services")) ReadService(entry);
  for (const auto& family : lineUp_.Array("families")) ReadFamily(family);
  return std::move(services_);
}

void LineUpReader::ReadCommon(const JsonReader& entry, Service* service) {
  service->genre = entry.String("genre", service->genre);
  service->description = entry.String("description", service->description);
  service->type = static_cast<int>(entry.Int("type", service->type, 0, 255));
  service->parental = entry.String("parental", service->parental);
  if (entry.Has("packages")) service->packages = entry.Strings("packages");
  if (entry.Has("demarcations")) {
    service->demarcations.clear();
    for (int64_t d : entry.Ints("demarcations"))
      service->demarcations.push_back(static_cast<int>(d));
  }
  if (entry.Has("lcnByPackage")) {
    JsonReader byPackage = entry.Object("lcnByPackage");
    service->lcnByPackage.clear();
    if (!byPackage.Empty())
      for (const auto& m : byPackage.Raw()->GetObject())
        service->lcnByPackage[m.name.GetString()] =
            static_cast<int>(byPackage.Int(m.name.GetString(), 0, 0, 65535));
  }
}

void LineUpReader::CheckPackages(const JsonReader& entry, const Service& service) {
  std::vector<std::string> named = service.packages;
  for (const auto& p : service.lcnByPackage) named.push_back(p.first);
  for (const auto& name : named) {
    bool known = std::any_of(packages_.begin(), packages_.end(),
                             [&](const Package& p) { return p.name == name; });
    if (!known) entry.Error("package \"" + name + "\" is not in /packages");
  }
}

void LineUpReader::ReadService(const JsonReader& entry) {
  entry.Only({"id", "name", "short", "description", "genre", "type", "address", "logo",
              "replacement", "parental", "lcn", "lcnByPackage", "packages", "demarcations", "hd"});
  Service s;
  s.id = entry.String("id", "");
  if (s.id.empty()) entry.Error("a service needs an \"id\"");
  s.name = entry.String("name", "");
  s.shortName = entry.String("short", s.name);
  s.description = s.name;
  ReadCommon(entry, &s);
  s.lcn = static_cast<int>(entry.Int("lcn", 0, 0, 65535));
  std::string address = entry.String("address", "");
  if (!ParseGroup(address, port_, &s.location)) entry.Error("bad \"address\": " + address);
  s.logo = entry.String("logo", "MAY_1/imSer/" + s.id + ".jpg");
  s.replacement = entry.String("replacement", "");
  CheckPackages(entry, s);
  services_.push_back(s);
  JsonReader hd = entry.Object("hd");
  if (!hd.Empty()) ReadTwin(hd, s);
}

void LineUpReader::ReadTwin(const JsonReader& hd, const Service& sd) {
  hd.Only({"id", "name", "short", "description", "genre", "type", "address", "logo", "parental",
           "lcn", "lcnByPackage", "packages", "demarcations"});
  Service s = sd;
  s.id = hd.String("id", "");
  if (s.id.empty()) hd.Error("an HD twin needs an \"id\"");
  s.name = hd.String("name", sd.name + " HD");
  s.shortName = hd.String("short", sd.shortName + " HD");
  s.type = 25;
  s.lcnByPackage.clear();  // numbers are the SD service's own
  ReadCommon(hd, &s);
  s.lcn = static_cast<int>(hd.Int("lcn", sd.lcn + 100, 0, 65535));
  std::string address = hd.String("address", "");
  if (!ParseGroup(address, port_, &s.location)) hd.Error("bad \"address\": " + address);
  s.logo = hd.String("logo", "MAY_1/imSer/" + s.id + ".jpg");
  // The HD service falls back to its SD twin; a client that shows both
  // hides the SD one.
  s.replacement = sd.id;
  CheckPackages(hd, s);
  services_.push_back(s);
}

void LineUpReader::ReadFamily(const JsonReader& family) {
  family.Only({"count", "firstId", "firstLcn", "firstAddress", "name", "short", "description",
               "genre", "type", "logo", "parental", "packages", "demarcations"});
  int count = static_cast<int>(family.Int("count", 0, 0, 4000));
  int64_t firstId = family.Int("firstId", 0, 0, 2000000000);
  int firstLcn = static_cast<int>(family.Int("firstLcn", 0, 0, 65535));
  std::string firstAddress = family.String("firstAddress", "");
  Service base;
  ReadCommon(family, &base);
  bool withLogo = family.Bool("logo", true);
  for (int i = 0; i < count; ++i) {
    std::string n = std::to_string(i + 1);
    Service s = base;
    s.id = std::to_string(firstId + i);
    s.name = ReplaceAll(family.String("name", "Canal {n}"), "{n}", n);
    s.shortName = ReplaceAll(family.String("short", s.name), "{n}", n);
    s.description = ReplaceAll(family.String("description", s.name), "{n}", n);
    s.lcn = firstLcn + i;
    std::string address = OffsetAddress(firstAddress, static_cast<uint32_t>(i));
    if (!ParseGroup(address, port_, &s.location)) {
      family.Error("bad \"firstAddress\": " + firstAddress);
      return;
    }
    s.logo = withLogo ? "MAY_1/imSer/" + s.id + ".jpg" : "";
    if (i == 0) CheckPackages(family, s);
    services_.push_back(s);
  }
}

}  // namespace headend
