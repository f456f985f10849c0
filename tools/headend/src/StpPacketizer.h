#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ScenarioTypes.h"

namespace headend {

struct StpSegment {
  int payloadId = 0;
  int segmentId = 0;
  int version = 0;
  std::string body;
};

struct StpDatagram {
  int payloadId = 0;
  int sectionNumber = 0;
  std::string bytes;
};

// Cuts one segment into DVB-STP sections (ETSI TS 102 034): a 12-byte
// header, the optional service-provider id, the body, and the CRC-32 when
// the CRC flag of the first byte is set.
class StpPacketizer {
 public:
  static constexpr int kMaxSections = 4096;  // the section numbers have 12 bits

  explicit StpPacketizer(const CarouselSettings& settings);

  // Empty when the segment needs more than kMaxSections sections.
  std::vector<StpDatagram> Split(const StpSegment& segment) const;
  // Body sizes of the sections of a body of the given size.
  std::vector<size_t> SectionSizes(size_t bodySize) const;

 private:
  std::string Header(const StpSegment& segment, int section, int lastSection) const;

  uint8_t byte0_;
  size_t maxBody_;
  size_t minSections_;
  int64_t providerId_;
};

}  // namespace headend
