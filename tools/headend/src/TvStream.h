#pragma once

#include <cstdint>

#include "TsClip.h"
#include "TsPacket.h"

// The endless transport stream of one channel: its clip played loop after
// loop with the clock reference, time stamps and continuity counters running
// on, padded with null packets to a constant bitrate, cut into datagrams of
// seven packets. Each datagram is due when its last packet's slot comes.
namespace headend {

class TvStream {
 public:
  static constexpr int kPacketsPerDatagram = 7;
  static constexpr int kDatagramBytes = kPacketsPerDatagram * ts::kPacketSize;

  // bitrate 0: the clip's own mux rate. pcrOrigin27: the PCR at time 0.
  TvStream(const TsClip& clip, int64_t bitrate, int64_t pcrOrigin27);

  // Writes the next seven packets to `out` (kDatagramBytes); returns the
  // time, in ns after the stream's start, at which they are due.
  int64_t Next(uint8_t* out);
  // From the next packet on, plays `clip` from its start (a change of
  // programme: other PIDs, another codec); the clock runs on.
  void ChangeClip(const TsClip& clip);
  // The clock moves on by `ns` while nothing is sent; the clip starts over.
  void Jump(int64_t ns);

  int64_t Bitrate() const { return bitrate_; }
  uint64_t Loops() const { return loops_; }
  uint64_t NullPackets() const { return nulls_; }
  // The PCR of a packet due at `ns` after the start.
  int64_t PcrAt(int64_t ns) const;

 private:
  int64_t SlotTime27(uint64_t slot) const;
  int64_t NextDue27() const;

  const TsClip* clip_;
  int64_t bitrate_;
  int64_t pcrOrigin27_;
  size_t index_ = 0;         // next packet of the clip
  int64_t loopStart27_ = 0;  // stream time at which this loop of the clip started
  uint64_t slot_ = 0;        // packets written since the start
  uint64_t slotBase_ = 0;    // slot at which slotBase27_ holds (moved by Jump)
  int64_t slotBase27_ = 0;
  uint64_t loops_ = 0;
  uint64_t nulls_ = 0;
  ts::ContinuityCounters counters_;
};

}  // namespace headend
