// Live playback as the host's player drives it, for a given time: the
// channel opens on the host's player (LivePlayback), a timeline of user
// actions plays against it (pause, resume, switch, speed), and at the end
// the stream closes and the report tells what arrived: packets per stream,
// time stamps, gaps, stream changes and the add-on's playing and buffer
// times.
//
//   hostsim::PlayOptions o;
//   o.duration = std::chrono::seconds(12);
//   o.outFile = dir + "/out.ts";
//   o.timeline = {{3.0, hostsim::TimelineStep::Pause}, {6.0, hostsim::TimelineStep::Resume}};
//   hostsim::PlayResult r = hostsim::Player(host).play(channelUid, o);
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/Host.h"
#include "core/LivePlayback.h"

namespace hostsim {

using PlayResult = PlaybackReport;

struct TimelineStep {
  enum Kind { Pause, Resume, Switch, Speed, Seek };
  double at = 0;  // seconds after the open
  Kind kind = Pause;
  unsigned int channelUid = 0;  // Switch
  int speed = 1000;             // Speed, in the host's units (1000 is normal)
  int seekMs = 0;               // Seek: the playing time to go to
};

struct PlayOptions {
  std::chrono::milliseconds duration{5000};
  size_t maxPackets = SIZE_MAX;
  std::string outFile;
  std::chrono::milliseconds gapThreshold{500};
  std::vector<TimelineStep> timeline;
};

class Player {
 public:
  explicit Player(Host& host) : host_(host) {}
  PlayResult play(unsigned int channelUid, const PlayOptions& options);
  // Plays what the add-on opens through JSON-RPC after `ask` (a recording
  // or a catch-up programme switches the host to the on-demand channel).
  PlayResult playBy(const std::function<void()>& ask, const PlayOptions& options);
  // Plays the channel for `duration`, or until `maxPackets` arrived.
  PlayResult play(unsigned int channelUid, std::chrono::milliseconds duration,
                  size_t maxPackets = SIZE_MAX);

  // "S" (seconds) or "S:VALUE" for --pause-at, --resume-at, --switch-at
  // (VALUE a channel uid), --speed-at (VALUE a factor: 2 is twice normal
  // speed, -2 backwards) and --seek-at (VALUE seconds of playing time);
  // false when the text is not one.
  static bool parseStep(const std::string& option, const std::string& text, TimelineStep& out);

 private:
  PlayResult follow(std::chrono::steady_clock::time_point start, const PlayOptions& options);
  Host& host_;
};

}  // namespace hostsim
