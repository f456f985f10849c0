#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "Checks.h"
#include "ServerChecks.h"
#include "StpReceiver.h"
#include "WellFormedXml.h"

namespace probe {

// Checks of the DVB-STP carousels and their SD&S records, read the way a
// set-top box reads them: entry point first, then the regional group.
class DiscoveryChecks {
 public:
  explicit DiscoveryChecks(Checks& checks);

  // Receives every payload of the group (or fails after timeoutMs).
  bool ReceiveAll(StpReceiver* rx, const std::string& address, int port,
                  const std::set<int>& payloads, int timeoutMs);
  // Parses a record and checks the envelope: declaration, root, the first
  // child's name and its "Version" equal to the segment version.
  WellFormedXml Record(const StpReceiver::Segment& segment, const std::string& firstChild);

  bool EntryPoint(const Profile& profile, const std::string& domainSuffix, std::string* address,
                  int* port);
  bool Regional(const std::string& address, int port, const Profile& profile,
                std::vector<std::string>* logoNames);
  // From any point of the carousel, a receiver sees every payload before
  // any of them completes.
  void EveryPayloadBeforeFirstComplete(const std::vector<StpSection>& sections);

 private:
  void Broadcast(const pugi::xml_node& list, std::vector<std::string>* logoNames);
  void Packages(const pugi::xml_node& record, const Profile& profile);
  void PlainHeaders(const std::vector<StpSection>& sections, const std::string& where);

  Checks& c_;
  std::map<std::string, int> serviceTypes_;  // ServiceName -> ServiceType
};

}  // namespace probe
