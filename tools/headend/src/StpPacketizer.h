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
  int segmentId = 0;
  int sectionNumber = 0;
  std::string bytes;
  size_t bodyAt = 0;  // where the section body starts in bytes
  size_t bodySize = 0;
};

// Cuts one segment into DVB-STP sections (ETSI TS 102 034): a 12-byte
// header, the optional service-provider id and the body. With a CRC, the
// last section sets the CRC flag of the first byte and ends with the CRC-32
// of the whole segment's body (or, as a fault, every section sets the flag
// and ends with the CRC-32 of its own header and body).
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

  uint8_t byte0_;  // of the sections that carry a CRC, when there is one
  CrcPlacement crc_;
  size_t maxBody_;
  size_t minSections_;
  int64_t providerId_;
};

}  // namespace headend
