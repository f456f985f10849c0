#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "CycleBuilder.h"
#include "FirstCopyFaults.h"
#include "ScenarioTypes.h"
#include "StpPacketizer.h"
#include "Worker.h"

namespace headend {

class Log;

// The segments a carousel carries after the given number of version bumps.
using SegmentSource = std::function<std::vector<StpSegment>(int bumps)>;

// Sends the segments of one multicast group over and over, as DVB-STP
// datagrams paced at the group's bitrate, until stopped.
class Carousel : public Worker {
 public:
  Carousel(const std::string& label, const CarouselSettings& settings, SegmentSource source,
           Log& log);
  ~Carousel() override;

  // Rebuilds the cycle whenever the count this gives changes (the guide's
  // changes while running).
  void SetChangeClock(std::function<int()> clock) { changeClock_ = std::move(clock); }

  // Opens the sending socket and builds the first cycle.
  bool Open(std::string* error);

  struct Figures {
    size_t datagrams = 0;
    size_t bytes = 0;      // datagram bytes of one cycle, repeats included
    size_t bodyBytes = 0;  // record bytes of one cycle, once
    double seconds = 0;    // time to send one cycle at the bitrate
  };
  Figures CycleFigures() const;

 protected:
  void Process() override;

 private:
  bool Rebuild(int bumps);
  bool SilentAt(std::chrono::steady_clock::time_point now) const;
  void SendCycle(uint64_t cycle);

  std::string label_;
  CarouselSettings settings_;
  SegmentSource source_;
  std::function<int()> changeClock_;
  Log& log_;
  StpPacketizer packetizer_;
  CycleBuilder builder_;
  FirstCopyFaults firstCopyFaults_;
  int socket_ = -1;
  std::vector<StpDatagram> datagrams_;
  size_t bodyBytes_ = 0;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point nextSend_;
  uint64_t sendErrors_ = 0;
};

}  // namespace headend
