#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One looping clip of a TV channel: the packets of a transport stream made at
// build time (headend_clipgen), with the time at which each is due. Null
// packets are dropped on loading; the sender pads with its own to the
// channel's bitrate.
namespace headend {

class TsClip {
 public:
  // Reads FILE.ts and its sidecar FILE.ts.loop (loop length and mux rate).
  static bool Load(const std::string& path, TsClip* out, std::string* error);
  // A clip made in memory (for tests): packets with their due ticks.
  static TsClip Make(std::vector<uint8_t> packets, std::vector<int64_t> due27, int64_t zeroPcr27,
                     int64_t loop90k, int64_t muxrate);

  size_t Count() const { return due27_.size(); }
  const uint8_t* Packet(size_t i) const { return packets_.data() + i * 188; }
  // 27 MHz ticks after the clip's start at which packet i is due.
  int64_t Due27(size_t i) const { return due27_[i]; }
  // The clip's PCR at its start (time 0).
  int64_t ZeroPcr27() const { return zeroPcr27_; }
  // Length of one loop: the time stamps of loop n + 1 are those of loop n
  // plus this.
  int64_t Loop90k() const { return loop90k_; }
  int64_t Muxrate() const { return muxrate_; }
  const std::string& Description() const { return description_; }

 private:
  std::vector<uint8_t> packets_;
  std::vector<int64_t> due27_;
  int64_t zeroPcr27_ = 0;
  int64_t loop90k_ = 0;
  int64_t muxrate_ = 0;
  std::string description_;
};

}  // namespace headend
