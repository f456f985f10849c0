#include "TsPacket.h"

#include <cstring>

namespace headend {
namespace ts {

namespace {

int64_t Wrap(int64_t value, int64_t modulo) {
  value %= modulo;
  return value < 0 ? value + modulo : value;
}

// Offset of the PES header in the packet, or -1 when this packet starts none.
int PesOffset(const uint8_t* p) {
  if (!PayloadStart(p) || !HasPayload(p)) return -1;
  int at = 4;
  if (p[3] & 0x20) at += 1 + p[4];
  if (at + 14 > kPacketSize) return -1;
  if (p[at] != 0 || p[at + 1] != 0 || p[at + 2] != 1) return -1;
  return at;
}

int64_t ReadTime(const uint8_t* b) {
  return (int64_t{b[0] & 0x0E} << 29) | (int64_t{b[1]} << 22) | (int64_t{b[2] & 0xFE} << 14) |
         (int64_t{b[3]} << 7) | (b[4] >> 1);
}

// Keeps the 4-bit prefix and the marker bits of the 5-byte field.
void WriteTime(uint8_t* b, int64_t t) {
  b[0] = static_cast<uint8_t>((b[0] & 0xF1) | ((t >> 29) & 0x0E));
  b[1] = static_cast<uint8_t>(t >> 22);
  b[2] = static_cast<uint8_t>(((t >> 14) & 0xFE) | 0x01);
  b[3] = static_cast<uint8_t>(t >> 7);
  b[4] = static_cast<uint8_t>(((t << 1) & 0xFE) | 0x01);
}

}  // namespace

int Pid(const uint8_t* p) {
  return ((p[1] & 0x1F) << 8) | p[2];
}

bool HasPayload(const uint8_t* p) {
  return (p[3] & 0x10) != 0;
}

bool PayloadStart(const uint8_t* p) {
  return (p[1] & 0x40) != 0;
}

int Continuity(const uint8_t* p) {
  return p[3] & 0x0F;
}

void SetContinuity(uint8_t* p, int counter) {
  p[3] = static_cast<uint8_t>((p[3] & 0xF0) | (counter & 0x0F));
}

int64_t Pcr(const uint8_t* p) {
  if (!(p[3] & 0x20) || p[4] < 7 || !(p[5] & 0x10)) return -1;
  const uint8_t* b = p + 6;
  int64_t base = (int64_t{b[0]} << 25) | (int64_t{b[1]} << 17) | (int64_t{b[2]} << 9) |
                 (int64_t{b[3]} << 1) | (b[4] >> 7);
  int64_t ext = ((b[4] & 1) << 8) | b[5];
  return base * 300 + ext;
}

bool AddToPcr(uint8_t* p, int64_t ticks) {
  int64_t pcr = Pcr(p);
  if (pcr < 0) return false;
  pcr = Wrap(pcr + ticks, kPcrWrap);
  int64_t base = pcr / 300, ext = pcr % 300;
  uint8_t* b = p + 6;
  b[0] = static_cast<uint8_t>(base >> 25);
  b[1] = static_cast<uint8_t>(base >> 17);
  b[2] = static_cast<uint8_t>(base >> 9);
  b[3] = static_cast<uint8_t>(base >> 1);
  b[4] = static_cast<uint8_t>(((base & 1) << 7) | 0x7E | (ext >> 8));
  b[5] = static_cast<uint8_t>(ext);
  return true;
}

int64_t Pts(const uint8_t* p) {
  int at = PesOffset(p);
  if (at < 0 || !(p[at + 7] & 0x80)) return -1;
  return ReadTime(p + at + 9);
}

bool AddToPesTimes(uint8_t* p, int64_t ticks) {
  int at = PesOffset(p);
  if (at < 0) return false;
  int flags = p[at + 7] >> 6;  // PTS_DTS_flags: 2 PTS, 3 PTS and DTS
  if (flags < 2) return false;
  uint8_t* pts = p + at + 9;
  WriteTime(pts, Wrap(ReadTime(pts) + ticks, kPtsWrap));
  if (flags == 3 && at + 19 <= kPacketSize) {
    uint8_t* dts = pts + 5;
    WriteTime(dts, Wrap(ReadTime(dts) + ticks, kPtsWrap));
  }
  return true;
}

void WriteNull(uint8_t* p) {
  std::memset(p, 0xFF, kPacketSize);
  p[0] = 0x47;
  p[1] = 0x1F;
  p[2] = 0xFF;
  p[3] = 0x10;
}

ContinuityCounters::ContinuityCounters() {
  std::memset(next_, 0, sizeof next_);
}

void ContinuityCounters::Apply(uint8_t* p) {
  int pid = Pid(p);
  if (pid == kNullPid) return;
  if (HasPayload(p)) {
    SetContinuity(p, next_[pid]);
    next_[pid] = static_cast<uint8_t>((next_[pid] + 1) & 0x0F);
  } else {
    SetContinuity(p, next_[pid] - 1);
  }
}

}  // namespace ts
}  // namespace headend
