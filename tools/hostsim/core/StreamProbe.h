// Opens a local stream URL with libavformat, as the host's player does with
// a recording whose stream URL is a file, and reads it whole: its length,
// its streams and the jumps in its time stamps.
#pragma once

#include <string>
#include <vector>

namespace hostsim {

struct StreamGap {
  int stream = 0;
  double at = 0;       // seconds from the stream's first time stamp
  double seconds = 0;  // how far the time stamps jump
};

struct StreamProbe {
  bool ok = false;
  std::string error;
  double duration = 0;               // seconds, as the demuxer reports it
  std::vector<std::string> streams;  // "video mpeg2video", "audio mp2", ...
  std::vector<StreamGap> gaps;       // jumps longer than the threshold
  long long packets = 0;
};

// Jumps of more than `gapSeconds` between one packet's time stamp and the
// next of the same stream count as gaps.
StreamProbe probeStream(const std::string& url, double gapSeconds = 1.0);

}  // namespace hostsim
