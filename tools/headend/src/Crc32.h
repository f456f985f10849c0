#pragma once

#include <cstddef>
#include <cstdint>

namespace headend {

// CRC-32 of MPEG-2 systems (polynomial 0x04C11DB7, initial value all ones,
// no reflection, no final inversion), as DVB-STP carries after a section.
class Crc32 {
 public:
  static uint32_t Compute(const uint8_t* data, size_t size);
};

}  // namespace headend
