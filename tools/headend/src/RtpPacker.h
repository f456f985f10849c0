#pragma once

#include <cstddef>
#include <cstdint>

// RTP fixed header (RFC 3550) for MPEG-2 transport streams (RFC 2250,
// payload type 33): version 2, no padding, no marker, one sequence number
// per datagram and a 90 kHz time stamp; optionally CSRCs and a header
// extension, which receivers must skip.
namespace headend {

struct RtpSettings {
  int payloadType = 33;
  int csrcCount = 0;       // 0..15
  int extensionWords = 0;  // > 0: an extension of this many 32-bit words
  uint32_t ssrc = 0;
  uint16_t firstSequence = 0;
};

class RtpPacker {
 public:
  static constexpr size_t kMaxHeader = 12 + 15 * 4 + 4 + 255 * 4;

  explicit RtpPacker(const RtpSettings& settings);
  size_t HeaderSize() const;
  // Writes the header of the next datagram; returns its size.
  size_t Write(uint8_t* out, uint32_t timestamp90k);
  uint16_t NextSequence() const { return sequence_; }

 private:
  RtpSettings settings_;
  uint16_t sequence_;
};

}  // namespace headend
