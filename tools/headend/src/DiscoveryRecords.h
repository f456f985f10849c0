#pragma once

#include <map>
#include <string>

#include "GuideContent.h"
#include "ScenarioTypes.h"

namespace headend {

class XmlWriter;

// Encodes the SD&S records of a scenario as XML documents rooted at
// "ServiceDiscovery": the service providers of the entry point (payload
// 0x01) and, per demarcation, broadcast discovery (0x02), package discovery
// (0x05) and broadband content guide discovery (0x06).
class DiscoveryRecords {
 public:
  static constexpr int kServiceProviders = 0x01;
  static constexpr int kBroadcast = 0x02;
  static constexpr int kPackages = 0x05;
  static constexpr int kContentGuide = 0x06;

  explicit DiscoveryRecords(const Scenario& scenario);
  // The guide days the content guide record announces; none without it.
  void SetGuide(const GuideSchedule* guide) { guide_ = guide; }
  // Changes of the guide so far: they raise the content guide's version.
  int GuideChanges() const;

  std::string DomainName(int demarcation) const;
  std::string ServiceProviders(int version) const;
  // A negative version leaves the "Version" attribute out.
  std::string Broadcast(const Demarcation& d, int version) const;
  std::string Packages(const Demarcation& d, int version) const;
  std::string ContentGuide(const Demarcation& d, int version) const;
  // One of the three regional records by payload id; empty for other ids.
  std::string Regional(int payloadId, const Demarcation& d, int version) const;

 private:
  void Root(XmlWriter* xml) const;
  void WriteService(XmlWriter* xml, const Service& s) const;
  static void Versioned(XmlWriter* xml, const std::string& name, const std::string& domain,
                        int version);

  const Scenario& scenario_;
  const GuideSchedule* guide_ = nullptr;
  std::map<std::string, int> genreCodes_;  // genre -> code in the genre scheme
};

}  // namespace headend
