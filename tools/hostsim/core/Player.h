// Live playback as the host's player drives it: OpenLiveStream, the stream
// properties, DemuxRead until the time is up, CloseLiveStream. Packets are
// counted per stream and freed the way the host frees them.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>

#include "core/Host.h"

namespace hostsim {

struct PlayResult {
  bool opened = false;
  size_t packets = 0;
  size_t bytes = 0;
  size_t emptyReads = 0;     // DemuxRead returned null
  size_t streamChanges = 0;  // DMX_SPECIALID_STREAMCHANGE / STREAMINFO packets
  std::map<int, size_t> packetsPerStream;
  PVR_ERROR propertiesError = PVR_ERROR_NOT_IMPLEMENTED;
  PVR_STREAM_PROPERTIES properties{};
  std::string message;
};

class Player {
 public:
  explicit Player(Host& host) : host_(host) {}
  // Plays the channel for `duration`, or until `maxPackets` arrived.
  PlayResult play(unsigned int channelUid, std::chrono::milliseconds duration,
                  size_t maxPackets = SIZE_MAX);

 private:
  void readProperties(PlayResult& result);

  Host& host_;
};

}  // namespace hostsim
