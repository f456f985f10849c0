// One DVB-STP datagram split into its header fields and its section body.
#pragma once

#include <cstdint>
#include <string>

struct Trama {
  // False when the datagram was too short to hold its header; such a frame
  // carries no fields and is never dispatched.
  bool valid = false;
  // Byte 0 equals 0x01: the last four bytes are a CRC-32 and not body.
  bool crc = false;
  uint32_t crcValue = 0;  // those four bytes, big-endian
  uint32_t totalSize = 0;
  std::string payloadId;  // two lower-case hex digits
  std::string segmentId;  // four lower-case hex digits
  uint32_t segmentVersion = 0;
  uint32_t section = 0;
  uint32_t lastSection = 0;
  std::string flags;  // byte 11 as two hex digits, not interpreted
  std::string body;
};
