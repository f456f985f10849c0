// The stream the host plays once a channel is open: the live client, or
// the client of an on-demand stream. The controller routes the host's
// playback calls to the one in use.
#pragma once

#include <ctime>
#include <vector>

#include "live/StreamRecords.h"

class DemuxSource {
 public:
  virtual ~DemuxSource() = default;

  virtual std::vector<StreamInfo> GetStreamProperties() = 0;
  virtual DemuxedPacket DemuxRead() = 0;
  virtual void PauseStream(bool paused) = 0;
  // The host's speed divided by 1000: 1 normal, 0 paused, 2 or more fast.
  virtual void EstablecerVelocidad(int speed) = 0;
  // `startPts`, when given, receives the new start in microseconds.
  virtual bool SeekTime(int milliseconds, bool backwards, double* startPts) = 0;
  virtual time_t GetPlayingTime() = 0;
  virtual time_t GetBufferTimeStart() = 0;
  virtual time_t GetBufferTimeEnd() = 0;
};
