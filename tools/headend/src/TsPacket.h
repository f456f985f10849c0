#pragma once

#include <cstdint>

// Fields of one 188-byte MPEG transport stream packet (ISO/IEC 13818-1),
// read and rewritten in place. The headend loops a clip by moving its clock
// reference and time stamps forward and renumbering continuity counters.
namespace headend {
namespace ts {

constexpr int kPacketSize = 188;
constexpr int kNullPid = 0x1FFF;
constexpr int64_t kPtsWrap = int64_t{1} << 33;  // 90 kHz time stamps and the PCR base
constexpr int64_t kPcrWrap = kPtsWrap * 300;    // the PCR in 27 MHz ticks

int Pid(const uint8_t* p);
bool HasPayload(const uint8_t* p);
bool PayloadStart(const uint8_t* p);
void SetContinuity(uint8_t* p, int counter);
int Continuity(const uint8_t* p);

// The PCR in 27 MHz ticks, or -1 when the packet carries none.
int64_t Pcr(const uint8_t* p);
// Adds ticks (27 MHz) to the PCR, wrapping at 2^33 * 300; false when none.
bool AddToPcr(uint8_t* p, int64_t ticks);
// Adds ticks (90 kHz) to the PTS and DTS of a PES header starting in this
// packet, wrapping at 2^33; false when there is none.
bool AddToPesTimes(uint8_t* p, int64_t ticks);
// The PES header's PTS, or -1.
int64_t Pts(const uint8_t* p);

// A null packet (PID 0x1FFF), the padding of a constant-rate stream.
void WriteNull(uint8_t* p);

// Renumbers continuity counters per PID: packets with a payload count up by
// one, packets with only an adaptation field repeat the last value.
class ContinuityCounters {
 public:
  ContinuityCounters();
  void Apply(uint8_t* p);

 private:
  uint8_t next_[8192];
};

}  // namespace ts
}  // namespace headend
