#pragma once

#include <string>

#include "Checks.h"

namespace probe {

// Receives the headend's TV channels as a set-top box would: strips RTP by
// RFC 3550, checks sequence numbers, continuity counters and the PCR across
// the clip's loop point, then demultiplexes what arrived with libavformat.
class TvChecks {
 public:
  explicit TvChecks(Checks& c) : c_(c) {}
  void LoopingRtpChannel();  // 101: extension, CSRCs, garbage
  void FastUdpChannel();     // 102: 40 Mbit/s, HD
  void QuietChannels();      // 103 silent, 104 keep-alives
  void ChangingChannel();    // 105: a change of programme, then a gap

 private:
  Checks& c_;
};

}  // namespace probe
