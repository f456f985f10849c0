#include "live/ComprobarRTP.h"

namespace {
constexpr int kRtpHeader = 12;
constexpr int kPayloadTypeMp2t = 33;
constexpr int kTsPacket = 188;
}  // namespace

bool ComprobarRTP(const char* data, int* len, int& offset) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  const int length = *len;
  if (length < kRtpHeader) return false;
  if ((bytes[0] & 0xC0) != 0x80) return false;
  if ((bytes[1] & 0x7F) != kPayloadTypeMp2t) return false;  // the marker bit does not count
  const int base = kRtpHeader + 4 * (bytes[0] & 0x0F);
  int header = base;
  if ((bytes[0] & 0x10) != 0) {
    if (length < base + 4) return false;
    header = base + 4 + 4 * ((bytes[base + 2] << 8) | bytes[base + 3]);
  }
  const int payload = length - header;
  // Padding is not examined: a padded packet is not a whole number of
  // transport packets and goes through whole.
  if (payload < 0 || payload % kTsPacket != 0) return false;
  offset = header;
  *len = payload;
  return true;
}
