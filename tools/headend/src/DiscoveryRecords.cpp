#include "DiscoveryRecords.h"

#include <algorithm>

#include "XmlWriter.h"

namespace headend {

namespace {

const char kLanguage[] = "SPA";

std::string Hex(int value, int digits) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%0*X", digits, value);
  return text;
}

}  // namespace

DiscoveryRecords::DiscoveryRecords(const Scenario& scenario) : scenario_(scenario) {
  for (const auto& s : scenario_.services)
    if (!s.genre.empty() && genreCodes_.count(s.genre) == 0)
      genreCodes_[s.genre] = static_cast<int>(genreCodes_.size()) + 1;
}

std::string DiscoveryRecords::DomainName(int demarcation) const {
  return "DEM_" + std::to_string(demarcation) + scenario_.domainSuffix;
}

void DiscoveryRecords::Root(XmlWriter* xml) const {
  xml->Open("ServiceDiscovery", {{"xmlns", "urn:dvb:ipisdns:2006"},
                                 {"xmlns:tva", "urn:tva:metadata:2005"},
                                 {"xmlns:mpeg7", "urn:tva:mpeg7:2005"},
                                 {"xmlns:urn", "urn:tva:metadata:2005"}});
}

void DiscoveryRecords::Versioned(XmlWriter* xml, const std::string& name, const std::string& domain,
                                 int version) {
  XmlWriter::Attributes attributes = {{"DomainName", domain}};
  if (version >= 0) attributes.emplace_back("Version", std::to_string(version & 0xFF));
  xml->Open(name, attributes);
}

std::string DiscoveryRecords::ServiceProviders(int version) const {
  XmlWriter xml(scenario_.indentedXml);
  Root(&xml);
  xml.Open("ServiceProviderDiscovery");
  auto provider = [&](const std::string& domain, const GroupAddress& group) {
    // The offering comes first: clients take the push address from the
    // provider's first child's first child.
    xml.Open("ServiceProvider", {{"DomainName", domain}, {"Version", std::to_string(version)}});
    xml.Open("Offering");
    xml.Open("Push", {{"Address", group.address}, {"Port", std::to_string(group.port)}});
    for (int id : {kBroadcast, kPackages, kContentGuide}) {
      xml.Open("PayloadId", {{"Id", Hex(id, 2)}});
      xml.Empty("Segment", {{"ID", Hex(0, 4)}});
      xml.Close();
    }
    xml.Close();
    xml.Close();
    xml.Close();
  };
  for (const auto& extra : scenario_.extraProviders) provider(extra.domainName, extra.group);
  for (const auto& d : scenario_.demarcations) provider(DomainName(d.code), d.carousel.group);
  return xml.Finish();
}

void DiscoveryRecords::WriteService(XmlWriter* xml, const Service& s) const {
  xml->Open("SingleService");
  xml->Open("ServiceLocation");
  xml->Empty("IPMulticastAddress", {{"Address", s.location.address},
                                    {"Port", std::to_string(s.location.port)},
                                    {"Streaming", "rtp"}});
  xml->Close();
  XmlWriter::Attributes textual = {{"ServiceName", s.id}};
  if (!s.logo.empty()) textual.emplace_back("LogoURI", s.logo);
  xml->Empty("TextualIdentifier", textual);
  int serviceId = static_cast<int>(std::strtoul(s.id.c_str(), nullptr, 10) & 0xFFFF);
  xml->Empty("DVBTriplet",
             {{"OrigNetId", "1"}, {"TSId", "1"}, {"ServiceId", std::to_string(serviceId)}});
  xml->Open("SI", {{"ServiceType", std::to_string(s.type)}});
  xml->Leaf("Name", {{"Language", kLanguage}}, s.name);
  xml->Leaf("ShortName", {{"Language", kLanguage}}, s.shortName);
  xml->Leaf("Description", {{"Language", kLanguage}}, s.description);
  if (!s.genre.empty()) {
    auto code = genreCodes_.find(s.genre);
    xml->Open("Genre",
              {{"href", "urn:quorvina:metadata:cs:GenreCS:2010:" + std::to_string(code->second)}});
    xml->Leaf("urn:Name", {}, s.genre);
    xml->Close();
  }
  if (!s.parental.empty()) {
    xml->Open("ParentalGuidance");
    xml->Open("mpeg7:ParentalRating", {{"href", "urn:dvb:iptv:rating:2014:" + s.parental}});
    xml->Leaf("mpeg7:Name", {}, s.parental);
    xml->Close();
    xml->Close();
  }
  if (!s.replacement.empty()) {
    xml->Open("ReplacementService", {{"ReplacementType", "5"}});
    xml->Empty("TextualIdentifier", {{"ServiceName", s.replacement}});
    xml->Close();
  }
  xml->Close();
  xml->Close();
}

std::string DiscoveryRecords::Broadcast(const Demarcation& d, int version) const {
  XmlWriter xml(scenario_.indentedXml);
  Root(&xml);
  Versioned(&xml, "BroadcastDiscovery", DomainName(d.code), version);
  xml.Open("ServiceList");
  for (const Service* s : scenario_.ServicesOf(d.code)) WriteService(&xml, *s);
  return xml.Finish();
}

std::string DiscoveryRecords::Packages(const Demarcation& d, int version) const {
  XmlWriter xml(scenario_.indentedXml);
  Root(&xml);
  Versioned(&xml, "PackageDiscovery", DomainName(d.code), version);
  std::vector<const Service*> here = scenario_.ServicesOf(d.code);
  int packageId = 0;
  for (const auto& p : scenario_.packages) {
    std::vector<const Service*> members;
    for (const Service* s : here)
      if (std::find(s->packages.begin(), s->packages.end(), p.name) != s->packages.end())
        members.push_back(s);
    std::stable_sort(members.begin(), members.end(), [&](const Service* a, const Service* b) {
      return a->LcnIn(p.name) < b->LcnIn(p.name);
    });
    xml.Open("Package", {{"Id", std::to_string(++packageId)}});
    xml.Leaf("PackageName", {{"Language", kLanguage}}, p.name);
    for (const Service* s : members) {
      xml.Open("Service");
      xml.Empty("TextualID", {{"ServiceName", s->id}});
      xml.Leaf("LogicalChannelNumber", {}, std::to_string(s->LcnIn(p.name)));
      xml.Close();
    }
    if (!p.description.empty())
      xml.Leaf("PackageDescription", {{"Language", kLanguage}}, p.description);
    xml.Close();
  }
  return xml.Finish();
}

std::string DiscoveryRecords::ContentGuide(const Demarcation& d, int version) const {
  XmlWriter xml(scenario_.indentedXml);
  Root(&xml);
  Versioned(&xml, "BCGDiscovery", DomainName(d.code), version);
  xml.Open("BCG", {{"Id", "EPG"}, {"Version", "1"}});
  xml.Leaf("Name", {{"Language", kLanguage}}, "Guía de programación");
  xml.Open("TransportMode");
  std::vector<GuideSchedule::Day> days;
  if (guide_ != nullptr) days = guide_->Announced(GuideSchedule::Clock::now());
  for (const auto& day : days) {
    xml.Open("DVBSTP", {{"Address", day.group.address}, {"Port", std::to_string(day.group.port)}});
    xml.Open("PayloadId", {{"Id", "0xF1"}});
    for (const auto& seg : day.segments)
      xml.Empty("Segment", {{"ID", seg.first}, {"Version", std::to_string(seg.second)}});
    xml.Close();
    xml.Close();
  }
  xml.Close();
  xml.Leaf("BCGProviderName", {{"Language", kLanguage}}, scenario_.providerName);
  return xml.Finish();
}

int DiscoveryRecords::GuideChanges() const {
  return guide_ != nullptr ? guide_->Changes(GuideSchedule::Clock::now()) : 0;
}

std::string DiscoveryRecords::Regional(int payloadId, const Demarcation& d, int version) const {
  switch (payloadId) {
    case kBroadcast:
      return Broadcast(d, version);
    case kPackages:
      return Packages(d, version);
    case kContentGuide:
      return ContentGuide(d, version);
    default:
      return {};
  }
}

}  // namespace headend
