#include "DiscoveryChecks.h"

#include <algorithm>
#include <cctype>

namespace probe {

namespace {

bool Digits(const std::string& s) {
  return !s.empty() &&
         std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); });
}

std::string Text(const pugi::xml_node& e) {
  return e.child_value();
}

std::string Attr(const pugi::xml_node& e, const char* name) {
  return e.attribute(name).value();
}

std::string Trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t\r\n");
  return a == std::string::npos ? std::string()
                                : s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

}  // namespace

DiscoveryChecks::DiscoveryChecks(Checks& checks) : c_(checks) {}

bool DiscoveryChecks::ReceiveAll(StpReceiver* rx, const std::string& address, int port,
                                 const std::set<int>& payloads, int timeoutMs) {
  std::string error;
  if (!c_.Expect(rx->Join(address, port, &error), "join " + error)) return false;
  bool all = rx->Receive(timeoutMs, [&] {
    for (int id : payloads)
      if (rx->Complete().count(id) == 0) return false;
    return true;
  });
  c_.Expect(rx->Problems().empty(),
            address + ": no malformed sections (" +
                (rx->Problems().empty() ? std::string() : rx->Problems().front()) + ")");
  c_.Expect(rx->CrcFailures() == 0, address + ": no CRC failures");
  return c_.Expect(all, address + ": every payload complete in time");
}

WellFormedXml DiscoveryChecks::Record(const StpReceiver::Segment& segment,
                                      const std::string& firstChild) {
  WellFormedXml tree = WellFormedXml::Parse(segment.body);
  std::string what = "payload " + std::to_string(segment.payloadId);
  if (!c_.Expect(tree.Ok(), what + " is well-formed XML: " + tree.Error())) return tree;
  c_.Expect(segment.body.compare(0, 5, "<?xml") == 0 && tree.HasDeclaration(),
            what + " begins with the XML declaration");
  pugi::xml_node root = tree.Root();
  c_.Expect(std::string(root.name()) == "ServiceDiscovery", what + " root is ServiceDiscovery");
  pugi::xml_node first = FirstElement(root);
  if (c_.Expect(first.name() == firstChild, what + " first child " + firstChild) &&
      firstChild != "ServiceProviderDiscovery")
    c_.Expect(Attr(first, "Version") == std::to_string(segment.segmentVersion),
              what + " Version " + Attr(first, "Version") + " equals the segment version " +
                  std::to_string(segment.segmentVersion));
  return tree;
}

void DiscoveryChecks::PlainHeaders(const std::vector<StpSection>& sections,
                                   const std::string& where) {
  bool plain = std::all_of(sections.begin(), sections.end(), [](const StpSection& s) {
    return s.version == 0 && s.encryption == 0 && s.compression == 0 && !s.providerIdFlag &&
           s.privateHeaderLength == 0 && s.body.size() <= 1400;
  });
  c_.Expect(!sections.empty() && plain,
            where +
                ": version 0, no encryption, compression, provider id or private header; "
                "bodies of at most 1400 bytes");
}

bool DiscoveryChecks::EntryPoint(const Profile& profile, const std::string& domainSuffix,
                                 std::string* address, int* port) {
  StpReceiver rx;
  if (!ReceiveAll(&rx, profile.entryAddress, profile.entryPort, {0x01}, 10000)) return false;
  PlainHeaders(rx.Sections(), "entry point");
  WellFormedXml tree = Record(rx.Complete().at(0x01), "ServiceProviderDiscovery");
  if (!tree.Ok()) return false;
  std::string wanted = "DEM_" + std::to_string(profile.demarcation) + domainSuffix;
  auto providers = FirstElement(tree.Root()).children("ServiceProvider");
  c_.Expect(std::distance(providers.begin(), providers.end()) >= 2,
            "at least two service providers");
  for (pugi::xml_node p : providers) {
    if (Attr(p, "DomainName") != wanted) continue;
    pugi::xml_node offering = FirstElement(p);
    pugi::xml_node push = FirstElement(offering);
    c_.Expect(std::string(offering.name()) == "Offering" && std::string(push.name()) == "Push",
              "the provider's first child's first child is its push offering");
    *address = Attr(push, "Address");
    *port = std::atoi(Attr(push, "Port").c_str());
    return c_.Expect(address->compare(0, 4, "239.") == 0 && *port > 0,
                     "push offering names a group: " + *address);
  }
  return c_.Expect(false, "a provider named " + wanted);
}

void DiscoveryChecks::Broadcast(const pugi::xml_node& list, std::vector<std::string>* logoNames) {
  auto services = list.children("SingleService");
  auto count = std::distance(services.begin(), services.end());
  c_.Expect(count >= 120, std::to_string(count) + " services, at least 120");
  std::set<std::string> genres;
  std::map<std::string, std::string> replacements;
  int withAmpersand = 0, withAccent = 0, withoutLogo = 0, malformed = 0;
  for (pugi::xml_node s : services) {
    pugi::xml_node group = FirstElement(s.child("ServiceLocation"));
    pugi::xml_node textual = s.child("TextualIdentifier");
    pugi::xml_node si = s.child("SI");
    std::string id = Attr(textual, "ServiceName");
    std::string name = Text(si.child("Name"));
    std::string genreText = Trim(Text(FirstElement(si.child("Genre"))));
    bool ok = Attr(group, "Address").compare(0, 6, "239.0.") == 0 &&
              Attr(group, "Port") == "8208" && Digits(id) && serviceTypes_.count(id) == 0 &&
              Digits(Attr(si, "ServiceType")) && !name.empty() &&
              !Trim(Text(si.child("ShortName"))).empty() &&
              !Trim(Text(si.child("Description"))).empty() && !genreText.empty();
    if (!ok && malformed++ == 0) c_.Note("first malformed service: " + id + " " + name);
    if (!ok) continue;
    serviceTypes_[id] = std::atoi(Attr(si, "ServiceType").c_str());
    genres.insert(genreText);
    withAmpersand += name.find('&') != std::string::npos;
    withAccent += std::any_of(name.begin(), name.end(), [](char ch) { return ch & 0x80; });
    pugi::xml_node replacement = si.child("ReplacementService");
    if (replacement) replacements[id] = Attr(FirstElement(replacement), "ServiceName");
    std::string logo = Attr(textual, "LogoURI");
    if (logo.empty()) {
      ++withoutLogo;
      logo = "MAY_1/imSer/" + id + ".jpg";
    }
    logoNames->push_back(logo);
  }
  c_.Expect(malformed == 0, std::to_string(malformed) + " services lack what a reader takes");
  c_.Expect(genres.size() >= 6, std::to_string(genres.size()) + " genres, at least 6");
  c_.Expect(withAmpersand > 0 && withAccent > 0, "names with '&' and with accents");
  c_.Expect(withoutLogo > 0, "some services rely on the default logo name");
  int twins = 0;
  for (const auto& r : replacements) {
    bool good = serviceTypes_.count(r.second) && serviceTypes_[r.second] == 1 &&
                serviceTypes_[r.first] != 1;
    c_.Expect(good, "HD service " + r.first + " falls back to SD service " + r.second);
    twins += good;
  }
  c_.Expect(twins >= 10, std::to_string(twins) + " SD/HD twins, at least 10");
}

void DiscoveryChecks::Packages(const pugi::xml_node& record, const Profile& profile) {
  std::set<std::string> subscribed;
  for (size_t start = 0; start <= profile.packages.size();) {
    size_t bar = std::min(profile.packages.find('|', start), profile.packages.size());
    if (bar > start) subscribed.insert(profile.packages.substr(start, bar - start));
    start = bar + 1;
  }
  std::map<std::string, bool> reachable;  // service -> in a subscribed package
  std::set<std::string> names;
  for (pugi::xml_node p : record.children()) {
    std::string name = Trim(Text(FirstElement(p)));
    c_.Expect(!name.empty(), "a package's first child holds its name");
    names.insert(name);
    for (pugi::xml_node s : p.children("Service")) {
      std::string id = Attr(s.child("TextualID"), "ServiceName");
      c_.Expect(serviceTypes_.count(id) == 1, "package " + name + " lists known service " + id);
      c_.Expect(Digits(Trim(Text(s.child("LogicalChannelNumber")))),
                "service " + id + " has a channel number");
      reachable[id] = reachable[id] || subscribed.count(name) != 0;
    }
  }
  for (const auto& p : subscribed)
    c_.Expect(names.count(p) == 1, "subscribed package " + p + " exists");
  c_.Expect(names.size() > subscribed.size(), "some packages are not subscribed");
  int onlyElsewhere = 0;
  for (const auto& r : reachable) onlyElsewhere += !r.second;
  c_.Expect(onlyElsewhere > 0,
            std::to_string(onlyElsewhere) + " services only in unsubscribed packages");
  c_.Expect(reachable.size() == serviceTypes_.size(), "every service is in some package");
}

bool DiscoveryChecks::Regional(const std::string& address, int port, const Profile& profile,
                               std::vector<std::string>* logoNames) {
  StpReceiver rx;
  if (!ReceiveAll(&rx, address, port, {0x02, 0x05, 0x06}, 15000)) return false;
  rx.ReceiveFor(2500);  // a few more cycles for the ordering check
  PlainHeaders(rx.Sections(), address);
  EveryPayloadBeforeFirstComplete(rx.Sections());
  WellFormedXml broadcast = Record(rx.Complete().at(0x02), "BroadcastDiscovery");
  WellFormedXml packages = Record(rx.Complete().at(0x05), "PackageDiscovery");
  WellFormedXml guide = Record(rx.Complete().at(0x06), "BCGDiscovery");
  if (!broadcast.Ok() || !packages.Ok() || !guide.Ok()) return false;
  pugi::xml_node list = FirstElement(FirstElement(broadcast.Root()));
  if (!c_.Expect(std::string(list.name()) == "ServiceList", "the services are in ServiceList"))
    return false;
  Broadcast(list, logoNames);
  Packages(FirstElement(packages.Root()), profile);
  pugi::xml_node bcg = FirstElement(guide.Root()).child("BCG");
  c_.Expect(Attr(bcg, "Id") == "EPG" && bcg.child("TransportMode"),
            "the guide record has a BCG \"EPG\" with a TransportMode");
  return true;
}

void DiscoveryChecks::EveryPayloadBeforeFirstComplete(const std::vector<StpSection>& sections) {
  std::set<int> all;
  for (const auto& s : sections) all.insert(s.payloadId);
  size_t starts = sections.size() / 3;  // joins over the first third; the rest completes them
  size_t early = 0;
  for (size_t start = 0; start < starts; ++start) {
    std::set<int> seen;
    std::map<int, std::set<int>> held;
    for (size_t i = start; i < sections.size(); ++i) {
      const StpSection& s = sections[i];
      seen.insert(s.payloadId);
      held[s.payloadId].insert(s.sectionNumber);
      if (static_cast<int>(held[s.payloadId].size()) == s.lastSectionNumber + 1) {
        early += seen.size() != all.size();
        break;
      }
    }
  }
  c_.Expect(starts > 50 && early == 0,
            std::to_string(early) + " of " + std::to_string(starts) +
                " join points complete a payload before seeing every payload");
}

}  // namespace probe
