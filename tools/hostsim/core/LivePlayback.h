// The host's player for live TV. As the real player does, one thread of its
// own ("hostsim-player") opens the channel (OpenLiveStream, then
// GetStreamProperties), reads it with DemuxRead, frees each packet, and
// carries out the user's actions between two reads: pause (PauseStream(true)
// then SetSpeed(0)), resume (PauseStream(false) then SetSpeed(1000)), speed,
// channel switch, stop (CloseLiveStream). Time queries (GetPlayingTime and
// the buffer times) come from the caller's thread, as the host's GUI asks.
#pragma once

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/HostThread.h"
#include "core/TsWriter.h"
#include "host/xbmc_pvr_types.h"

namespace hostsim {

class Host;

struct PlaybackOptions {
  std::string outFile;  // every packet remuxed into this transport stream file
  std::chrono::milliseconds gapThreshold{500};
  size_t maxPackets = SIZE_MAX;  // stop reading after this many packets
};

// One stream as GetStreamProperties reported it, and what arrived of it.
struct StreamReport {
  int id = 0;
  int codecType = -1;  // XBMC_CODEC_TYPE_*
  unsigned int codecId = 0;
  std::string codec;  // FFmpeg's name of the codec id
  int width = 0, height = 0;
  std::string language;
  int channels = 0, sampleRate = 0;
  size_t packets = 0, bytes = 0;
  double firstPts = NAN, lastPts = NAN;  // microseconds
};

// Consecutive packets of one stream whose time stamps differ by more than
// the threshold (forwards or back).
struct PtsGap {
  int streamId = 0;
  double fromUs = 0, toUs = 0;
};

struct PlaybackTimes {
  time_t playing = 0, bufferStart = 0, bufferEnd = 0;
};

struct PlaybackReport {
  bool opened = false;
  unsigned int channelUid = 0;
  std::string message;
  PVR_ERROR propertiesError = PVR_ERROR_NOT_IMPLEMENTED;
  PVR_STREAM_PROPERTIES properties{};
  std::map<int, StreamReport> streams;  // by stream id
  std::map<int, size_t> packetsPerStream;
  size_t packets = 0, bytes = 0;
  size_t emptyReads = 0;     // DemuxRead returned null
  size_t emptyPackets = 0;   // a packet of size 0 that is no marker
  size_t streamChanges = 0;  // DMX_SPECIALID_STREAMCHANGE / STREAMINFO packets
  std::vector<PtsGap> gaps;
  std::vector<std::string> events;  // "2.0 s: pause", "3.1 s: stream change"...
  double minPts = NAN, maxPts = NAN;
  PlaybackTimes times;  // asked just before CloseLiveStream
  std::string outFile;
  size_t written = 0, notWritten = 0;
  std::string writeError;
};

class LivePlayback : private HostThread {
 public:
  explicit LivePlayback(Host& host);
  ~LivePlayback() override;

  // Opens the channel on the player's thread (closing what plays) and waits
  // for the outcome; reading goes on until stop().
  bool open(unsigned int channelUid, const PlaybackOptions& options = PlaybackOptions());
  // The same without waiting (a JSON-RPC Player.Open).
  void openAsync(unsigned int channelUid);
  // Runs `ask` (an action after which the add-on opens a channel through
  // JSON-RPC), then waits for that open, with these options, at most
  // `timeout`.
  bool openBy(const std::function<void()>& ask, const PlaybackOptions& options,
              std::chrono::milliseconds timeout);
  // SeekTime to `ms` of the add-on's playing time; the event tells its answer.
  void seek(int ms);
  void pause();
  void resume();
  // In the host's units: 1000 is normal speed; 0 pauses.
  void setSpeed(int speed);
  // SwitchChannel (or close and open, without it).
  void switchChannel(unsigned int channelUid);
  // Ends reading, closes the stream, returns the report of the session.
  PlaybackReport stop();
  void stopAsync();
  // Waits until the actions asked so far have been carried out.
  bool waitIdle(std::chrono::milliseconds timeout);

  bool active() const { return active_; }
  bool paused() const { return paused_; }
  PlaybackReport report() const;
  // The add-on's playing and buffer times, asked now.
  PlaybackTimes times();

 private:
  enum class Action { Open, Pause, Resume, Speed, Switch, Stop, Seek };
  struct Command {
    Action action;
    unsigned int channelUid = 0;
    int speed = 0;
  };

  void post(Command command);
  void process() override;
  void wake() override;
  void run(const Command& c);
  void doOpen(unsigned int channelUid);
  void doClose();
  void doPause(bool pause, int speed);
  void doSwitch(unsigned int channelUid);
  void readOne();
  void readProperties();
  void ensureThread();
  void event(const std::string& what);
  PVR_CHANNEL channelFor(unsigned int uid);

  Host& host_;
  std::mutex lifecycle_;  // starts and joins of the thread
  std::chrono::steady_clock::time_point start_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Command> queue_;
  bool busy_ = false;
  PlaybackOptions options_;    // of the next open
  PlaybackOptions current_;    // of the session (player thread)
  PlaybackReport report_;      // under mutex_
  bool opened_ = false;        // player thread
  bool lastOpenDone_ = false;  // under mutex_
  bool lastOpenOk_ = false;
  std::map<int, double> lastPts_;  // player thread
  std::unique_ptr<TsWriter> writer_;
  std::atomic<bool> active_{false};
  std::atomic<bool> paused_{false};
  std::atomic<bool> finished_{true};
};

}  // namespace hostsim
