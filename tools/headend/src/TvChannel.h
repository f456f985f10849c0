#pragma once

#include <netinet/in.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "RtpPacker.h"
#include "ScenarioTypes.h"
#include "TsClip.h"
#include "TvStream.h"
#include "Worker.h"

namespace headend {

class Log;

// What one channel keeps between its runs at full rate: the stream and its
// clock, the RTP numbering and the counts for the log. Owned by TvHeadend;
// while a TvChannel runs, only that thread touches it.
struct TvChannelState {
  TvChannelState(const Service& service, const TvChannelSettings& settings, const TsClip& clip,
                 const TsClip* changeClip, uint32_t seed);

  std::string Label() const;
  // One datagram of seven null packets, for a group nobody watches.
  bool SendKeepAlive(int socket, uint32_t timestamp90k);
  // Header (RTP or none) and payload in one datagram.
  bool Send(int socket, const uint8_t* payload, size_t size, uint32_t timestamp90k);

  const Service& service;
  TvChannelSettings settings;
  const TsClip* changeClip;
  TvStream stream;
  RtpPacker rtp;
  uint32_t rtpOffset;
  uint32_t random;
  sockaddr_in to{};
  bool everRan = false;
  std::chrono::steady_clock::time_point lastStop;

  uint64_t datagrams = 0;  // of the stream, at full rate
  uint64_t keepAlives = 0;
  uint64_t garbage = 0;
  uint64_t droppedInGaps = 0;
  uint64_t sendErrors = 0;
  double fullRateSeconds = 0;
};

// Sends one channel at full rate, paced by its stream's clock, until stopped.
class TvChannel : public Worker {
 public:
  TvChannel(TvChannelState& state, int socket, Log& log);
  ~TvChannel() override;

 protected:
  void Process() override;

 private:
  bool InGap(std::chrono::milliseconds sinceStart) const;
  void SendGarbage();

  TvChannelState& state_;
  int socket_;
  Log& log_;
};

}  // namespace headend
