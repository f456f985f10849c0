#include "RtpPacker.h"

namespace headend {

namespace {

uint8_t* Put32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
  return p + 4;
}

}  // namespace

RtpPacker::RtpPacker(const RtpSettings& settings)
    : settings_(settings), sequence_(settings.firstSequence) {}

size_t RtpPacker::HeaderSize() const {
  size_t size = 12 + 4 * static_cast<size_t>(settings_.csrcCount);
  if (settings_.extensionWords > 0) size += 4 + 4 * static_cast<size_t>(settings_.extensionWords);
  return size;
}

size_t RtpPacker::Write(uint8_t* out, uint32_t timestamp90k) {
  bool extension = settings_.extensionWords > 0;
  out[0] = static_cast<uint8_t>(0x80 | (extension ? 0x10 : 0) | (settings_.csrcCount & 0x0F));
  out[1] = static_cast<uint8_t>(settings_.payloadType & 0x7F);
  out[2] = static_cast<uint8_t>(sequence_ >> 8);
  out[3] = static_cast<uint8_t>(sequence_);
  uint8_t* p = Put32(out + 4, timestamp90k);
  p = Put32(p, settings_.ssrc);
  for (int i = 0; i < settings_.csrcCount; ++i) p = Put32(p, settings_.ssrc + 1 + i);
  if (extension) {
    // Profile-defined id 0xABAC, then the length in words and the words.
    p = Put32(p, 0xABAC0000u | static_cast<uint32_t>(settings_.extensionWords));
    for (int i = 0; i < settings_.extensionWords; ++i) p = Put32(p, sequence_ + i);
  }
  ++sequence_;
  return static_cast<size_t>(p - out);
}

}  // namespace headend
