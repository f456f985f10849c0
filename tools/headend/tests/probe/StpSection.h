#pragma once

#include <cstdint>
#include <string>

namespace probe {

// One DVB-STP datagram read field by field as ETSI TS 102 034 lays it out,
// written without looking at the headend's packetizer. A set CRC flag means
// the datagram ends with a CRC-32; which bytes it covers is the receiver's
// business (the whole segment, for the last section of a segment).
struct StpSection {
  uint8_t byte0 = 0;
  int version = 0;     // bits 7-6 of byte 0
  int encryption = 0;  // bits 2-1
  bool crcFlag = false;
  uint32_t totalSize = 0;
  int payloadId = 0;
  int segmentId = 0;
  int segmentVersion = 0;
  int sectionNumber = 0;
  int lastSectionNumber = 0;
  int compression = 0;
  bool providerIdFlag = false;
  int privateHeaderLength = 0;
  uint32_t serviceProviderId = 0;
  std::string body;           // without the CRC
  uint32_t crc = 0;           // the CRC carried when the flag is set
  bool crcOfSection = false;  // that CRC covers this datagram's own header and body

  // False with the reason when the datagram can't be a DVB-STP section.
  static bool Parse(const std::string& datagram, StpSection* out, std::string* error);
  // CRC-32/MPEG-2, bit by bit.
  static uint32_t Crc(const std::string& bytes, size_t length);
};

}  // namespace probe
