#include "core/Player.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace hostsim {

PlayResult Player::play(unsigned int uid, std::chrono::milliseconds duration, size_t maxPackets) {
  PlayOptions o;
  o.duration = duration;
  o.maxPackets = maxPackets;
  return play(uid, o);
}

PlayResult Player::play(unsigned int uid, const PlayOptions& options) {
  using Clock = std::chrono::steady_clock;
  LivePlayback& playback = host_.playback();
  PlaybackOptions p;
  p.outFile = options.outFile;
  p.gapThreshold = options.gapThreshold;
  p.maxPackets = options.maxPackets;
  Clock::time_point start = Clock::now();
  if (!playback.open(uid, p)) {
    playback.stop();
    return playback.report();
  }
  return follow(start, options);
}

namespace {
PlaybackOptions OptionsOf(const PlayOptions& options) {
  PlaybackOptions p;
  p.outFile = options.outFile;
  p.gapThreshold = options.gapThreshold;
  p.maxPackets = options.maxPackets;
  return p;
}
}  // namespace

PlayResult Player::playBy(const std::function<void()>& ask, const PlayOptions& options) {
  LivePlayback& playback = host_.playback();
  const auto start = std::chrono::steady_clock::now();
  if (!playback.openBy(ask, OptionsOf(options), std::chrono::seconds(30))) {
    playback.stop();
    PlayResult r = playback.report();
    if (r.message.empty()) r.message = "the add-on opened nothing";
    return r;
  }
  return follow(start, options);
}

PlayResult Player::follow(std::chrono::steady_clock::time_point start, const PlayOptions& options) {
  using Clock = std::chrono::steady_clock;
  LivePlayback& playback = host_.playback();
  std::vector<TimelineStep> steps = options.timeline;
  std::stable_sort(steps.begin(), steps.end(),
                   [](const TimelineStep& a, const TimelineStep& b) { return a.at < b.at; });
  Clock::time_point end = start + options.duration;
  size_t next = 0;
  // The add-on may stop the player itself (a recording's end).
  while (Clock::now() < end && playback.report().packets < options.maxPackets &&
         playback.active()) {
    if (next < steps.size() &&
        Clock::now() >= start + std::chrono::duration_cast<Clock::duration>(
                                    std::chrono::duration<double>(steps[next].at))) {
      const TimelineStep& s = steps[next++];
      switch (s.kind) {
        case TimelineStep::Pause:
          playback.pause();
          break;
        case TimelineStep::Resume:
          playback.resume();
          break;
        case TimelineStep::Switch:
          playback.switchChannel(s.channelUid);
          break;
        case TimelineStep::Speed:
          playback.setSpeed(s.speed);
          break;
        case TimelineStep::Seek:
          playback.seek(s.seekMs);
          break;
      }
      continue;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return playback.stop();
}

bool Player::parseStep(const std::string& option, const std::string& text, TimelineStep& out) {
  static const std::pair<const char*, TimelineStep::Kind> kinds[] = {
      {"--pause-at", TimelineStep::Pause},
      {"--resume-at", TimelineStep::Resume},
      {"--switch-at", TimelineStep::Switch},
      {"--speed-at", TimelineStep::Speed},
      {"--seek-at", TimelineStep::Seek}};
  bool known = false;
  for (const auto& k : kinds)
    if (option == k.first) {
      out.kind = k.second;
      known = true;
    }
  if (!known) return false;
  bool wantsValue = out.kind == TimelineStep::Switch || out.kind == TimelineStep::Speed ||
                    out.kind == TimelineStep::Seek;
  size_t colon = text.find(':');
  if (wantsValue != (colon != std::string::npos)) return false;
  char* end = nullptr;
  std::string at = text.substr(0, colon);
  out.at = std::strtod(at.c_str(), &end);
  if (at.empty() || *end != '\0' || out.at < 0) return false;
  if (!wantsValue) return true;
  std::string value = text.substr(colon + 1);
  long v = std::strtol(value.c_str(), &end, 10);
  // Only a speed goes backwards.
  if (value.empty() || *end != '\0' || (v < 0 && out.kind != TimelineStep::Speed)) return false;
  if (out.kind == TimelineStep::Switch)
    out.channelUid = static_cast<unsigned int>(v);
  else if (out.kind == TimelineStep::Seek)
    out.seekMs = static_cast<int>(v * 1000);
  else
    out.speed = static_cast<int>(v * 1000);
  return true;
}

}  // namespace hostsim
