#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "StpSection.h"

namespace probe {

// Joins one multicast group and gathers DVB-STP sections into segments. When
// the last section of a segment carries a CRC, the assembled segment must
// match it; otherwise its sections are dropped and gathered afresh.
class StpReceiver {
 public:
  struct Segment {
    int payloadId = 0;
    int segmentVersion = 0;
    std::string body;
  };

  StpReceiver() = default;
  ~StpReceiver();
  StpReceiver(const StpReceiver&) = delete;
  StpReceiver& operator=(const StpReceiver&) = delete;

  bool Join(const std::string& group, int port, std::string* error);

  // Receives until done() says so after a datagram, or until timeoutMs.
  // Returns false on timeout.
  bool Receive(int timeoutMs, const std::function<bool()>& done);
  // Receives for the whole time; the count of datagrams seen.
  size_t ReceiveFor(int ms);

  // Completed segments by payload id (segment 0x0000 only), latest version.
  const std::map<int, Segment>& Complete() const { return complete_; }
  const std::vector<StpSection>& Sections() const { return sections_; }
  const std::vector<std::string>& Problems() const { return problems_; }
  size_t Datagrams() const { return datagrams_; }
  size_t CrcFailures() const { return crcFailures_; }
  size_t CrcMatches() const { return crcMatches_; }

 private:
  void Add(const StpSection& s);

  int socket_ = -1;
  size_t datagrams_ = 0;
  size_t crcFailures_ = 0;
  size_t crcMatches_ = 0;
  std::vector<StpSection> sections_;  // every section, in arrival order
  std::vector<std::string> problems_;
  struct Partial {
    std::map<int, std::string> bodies;  // by section number
    bool withCrc = false;               // the last section carries a CRC
    uint32_t crc = 0;
  };
  // (payload, segment, version) -> what has come of that segment
  std::map<std::tuple<int, int, int>, Partial> partial_;
  std::map<std::tuple<int, int, int>, std::pair<int, uint32_t>> shape_;  // last, total size
  std::map<int, Segment> complete_;
};

}  // namespace probe
