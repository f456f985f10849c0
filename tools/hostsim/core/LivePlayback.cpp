#include "core/LivePlayback.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <cstring>

#include "core/Host.h"

namespace hostsim {

namespace {

constexpr int kNormalSpeed = 1000;

std::string seconds(std::chrono::steady_clock::duration d) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", std::chrono::duration<double>(d).count());
  return text;
}

bool validPts(double pts) {
  return pts > DVD_NOPTS_VALUE;
}

}  // namespace

LivePlayback::LivePlayback(Host& host) : HostThread("hostsim-player"), host_(host) {}

LivePlayback::~LivePlayback() {
  stop();
}

void LivePlayback::ensureThread() {
  std::lock_guard<std::mutex> lock(lifecycle_);
  if (!finished_) return;
  HostThread::stop();  // joins a thread that ended by itself
  finished_ = false;
  start();
}

void LivePlayback::post(Command command) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(command);
  }
  changed_.notify_all();
}

void LivePlayback::wake() {
  { std::lock_guard<std::mutex> lock(mutex_); }
  changed_.notify_all();
}

bool LivePlayback::open(unsigned int uid, const PlaybackOptions& options) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    options_ = options;
    lastOpenDone_ = false;
  }
  openAsync(uid);
  std::unique_lock<std::mutex> lock(mutex_);
  // The add-on may retry its join for several seconds before it gives up.
  changed_.wait_for(lock, std::chrono::seconds(60), [this] { return lastOpenDone_; });
  return lastOpenDone_ && lastOpenOk_;
}

bool LivePlayback::openBy(const std::function<void()>& ask, const PlaybackOptions& options,
                          std::chrono::milliseconds timeout) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    options_ = options;
    lastOpenDone_ = false;
  }
  ask();
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, timeout, [this] { return lastOpenDone_; });
  return lastOpenDone_ && lastOpenOk_;
}

void LivePlayback::seek(int ms) {
  post({Action::Seek, 0, ms});
}

void LivePlayback::openAsync(unsigned int uid) {
  active_ = true;
  ensureThread();
  post({Action::Open, uid, 0});
}

void LivePlayback::pause() {
  post({Action::Pause, 0, 0});
}

void LivePlayback::resume() {
  post({Action::Resume, 0, kNormalSpeed});
}

void LivePlayback::setSpeed(int speed) {
  post({Action::Speed, 0, speed});
}

void LivePlayback::switchChannel(unsigned int uid) {
  post({Action::Switch, uid, 0});
}

void LivePlayback::stopAsync() {
  if (!finished_) post({Action::Stop, 0, 0});
}

PlaybackReport LivePlayback::stop() {
  std::lock_guard<std::mutex> lifecycle(lifecycle_);
  if (!finished_) {
    post({Action::Stop, 0, 0});
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::seconds(15), [this] { return finished_.load(); }))
      host_.journal().hostError("the player waits for DemuxRead to return for 15 s already");
  }
  HostThread::stop();
  return report();
}

bool LivePlayback::waitIdle(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout,
                           [this] { return (queue_.empty() && !busy_) || finished_.load(); });
}

PlaybackReport LivePlayback::report() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return report_;
}

PlaybackTimes LivePlayback::times() {
  PlaybackTimes t;
  if (!host_.isRunning()) return t;
  const PVRClient& c = host_.client();
  if (c.GetPlayingTime) t.playing = c.GetPlayingTime();
  if (c.GetBufferTimeStart) t.bufferStart = c.GetBufferTimeStart();
  if (c.GetBufferTimeEnd) t.bufferEnd = c.GetBufferTimeEnd();
  return t;
}

void LivePlayback::process() {
  while (true) {
    Command c{Action::Stop};
    bool have = false;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!queue_.empty()) {
        c = queue_.front();
        queue_.pop_front();
        busy_ = have = true;
      } else if (stopRequested()) {
        break;
      } else if (!opened_ || paused_ || report_.packets >= current_.maxPackets) {
        changed_.wait_for(lock, std::chrono::milliseconds(50),
                          [this] { return !queue_.empty() || stopRequested(); });
        continue;
      }
    }
    if (have) {
      run(c);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        busy_ = false;
      }
      changed_.notify_all();
      if (c.action == Action::Stop) break;
      continue;
    }
    readOne();
  }
  if (opened_) doClose();
  active_ = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.clear();
    busy_ = false;
    finished_ = true;
  }
  changed_.notify_all();
}

void LivePlayback::run(const Command& c) {
  switch (c.action) {
    case Action::Open:
      doOpen(c.channelUid);
      break;
    case Action::Pause:
      doPause(true, 0);
      break;
    case Action::Resume:
      doPause(false, c.speed);
      break;
    case Action::Speed:
      if (c.speed == 0) {
        doPause(true, 0);
      } else if (paused_) {
        doPause(false, c.speed);
      } else if (opened_ && host_.client().SetSpeed) {
        host_.journal().host("SetSpeed " + std::to_string(c.speed));
        host_.client().SetSpeed(c.speed);
        event("speed " + std::to_string(c.speed));
      }
      break;
    case Action::Switch:
      doSwitch(c.channelUid);
      break;
    case Action::Seek:
      if (opened_ && host_.client().SeekTime) {
        double start = 0;
        host_.journal().host("SeekTime " + std::to_string(c.speed));
        const bool ok = host_.client().SeekTime(c.speed, false, &start);
        event("seek " + std::to_string(c.speed) + " ms: " + (ok ? "true" : "false"));
      }
      break;
    case Action::Stop:
      break;
  }
}

PVR_CHANNEL LivePlayback::channelFor(unsigned int uid) {
  ChannelEntry known;
  if (!host_.pvr().findChannel(uid, known)) known.uniqueId = uid;
  return toHost(known);
}

void LivePlayback::event(const std::string& what) {
  std::lock_guard<std::mutex> lock(mutex_);
  report_.events.push_back(seconds(std::chrono::steady_clock::now() - start_) + ": " + what);
}

void LivePlayback::doOpen(unsigned int uid) {
  if (opened_) doClose();
  PlaybackReport fresh;
  fresh.channelUid = uid;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    current_ = options_;
    options_ = PlaybackOptions();
    fresh.outFile = current_.outFile;
    report_ = fresh;
  }
  start_ = std::chrono::steady_clock::now();
  lastPts_.clear();
  paused_ = false;
  const PVRClient& c = host_.client();
  bool ok = false;
  if (!host_.isRunning() || !c.OpenLiveStream || !c.DemuxRead || !c.CloseLiveStream) {
    std::lock_guard<std::mutex> lock(mutex_);
    report_.message = "the add-on is not running or cannot play live streams";
  } else {
    host_.journal().host("OpenLiveStream " + std::to_string(uid));
    ok = c.OpenLiveStream(channelFor(uid));
    if (ok) readProperties();
  }
  std::string error;
  if (ok && !current_.outFile.empty()) {
    writer_ = std::make_unique<TsWriter>();
    PVR_STREAM_PROPERTIES props = report().properties;
    if (!writer_->open(current_.outFile, props, error)) writer_.reset();
  }
  opened_ = ok;
  active_ = ok;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    report_.opened = ok;
    report_.writeError = error;
    if (!ok && report_.message.empty())
      report_.message = "OpenLiveStream of channel " + std::to_string(uid) + " failed";
    lastOpenDone_ = true;
    lastOpenOk_ = ok;
  }
  changed_.notify_all();
}

void LivePlayback::doClose() {
  PlaybackTimes t = times();
  host_.journal().host("CloseLiveStream");
  host_.client().CloseLiveStream();
  std::string error;
  if (writer_) writer_->close(error);
  writer_.reset();
  opened_ = false;
  paused_ = false;
  std::lock_guard<std::mutex> lock(mutex_);
  report_.times = t;
  if (!error.empty()) report_.writeError = error;
  report_.message = "played channel " + std::to_string(report_.channelUid) + ": " +
                    std::to_string(report_.packets) + " packets, " + std::to_string(report_.bytes) +
                    " bytes";
}

void LivePlayback::doPause(bool pause, int speed) {
  const PVRClient& c = host_.client();
  if (!opened_ || pause == paused_) return;
  // The host's order: the stream pauses before the speed drops to 0, and
  // resumes before the speed is set again.
  if (pause) paused_ = true;
  if (c.PauseStream) {
    host_.journal().host(std::string("PauseStream ") + (pause ? "true" : "false"));
    c.PauseStream(pause);
  }
  if (c.SetSpeed) {
    host_.journal().host("SetSpeed " + std::to_string(pause ? 0 : speed));
    c.SetSpeed(pause ? 0 : speed);
  }
  if (!pause) paused_ = false;
  event(pause ? "pause" : "resume");
}

void LivePlayback::doSwitch(unsigned int uid) {
  if (!opened_) {
    doOpen(uid);
    return;
  }
  const PVRClient& c = host_.client();
  bool ok;
  if (c.SwitchChannel) {
    host_.journal().host("SwitchChannel " + std::to_string(uid));
    ok = c.SwitchChannel(channelFor(uid));
  } else {
    host_.journal().host("CloseLiveStream");
    c.CloseLiveStream();
    host_.journal().host("OpenLiveStream " + std::to_string(uid));
    ok = c.OpenLiveStream(channelFor(uid));
  }
  event("switch to " + std::to_string(uid) + (ok ? "" : " failed"));
  if (!ok) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    report_.channelUid = uid;
  }
  readProperties();
}

void LivePlayback::readProperties() {
  PVR_STREAM_PROPERTIES props;
  std::memset(&props, 0, sizeof props);
  const PVRClient& c = host_.client();
  PVR_ERROR error =
      c.GetStreamProperties ? c.GetStreamProperties(&props) : PVR_ERROR_NOT_IMPLEMENTED;
  std::lock_guard<std::mutex> lock(mutex_);
  report_.propertiesError = error;
  report_.properties = props;
  for (unsigned int i = 0; i < props.iStreamCount && i < PVR_STREAM_MAX_STREAMS; ++i) {
    const auto& s = props.stream[i];
    StreamReport& r = report_.streams[static_cast<int>(s.iPhysicalId)];
    r.id = static_cast<int>(s.iPhysicalId);
    r.codecType = s.iCodecType;
    r.codecId = s.iCodecId;
    r.codec = avcodec_get_name(static_cast<AVCodecID>(s.iCodecId));
    r.width = s.iWidth;
    r.height = s.iHeight;
    r.language.assign(s.strLanguage, strnlen(s.strLanguage, sizeof s.strLanguage));
    r.channels = s.iChannels;
    r.sampleRate = s.iSampleRate;
  }
}

void LivePlayback::readOne() {
  DemuxPacket* p = host_.client().DemuxRead();
  if (p == nullptr) {
    std::unique_lock<std::mutex> lock(mutex_);
    ++report_.emptyReads;
    changed_.wait_for(lock, std::chrono::milliseconds(5));
    return;
  }
  if (p->iStreamId == DMX_SPECIALID_STREAMCHANGE || p->iStreamId == DMX_SPECIALID_STREAMINFO) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++report_.streamChanges;
    }
    event("stream change");
    readProperties();
  } else if (p->iSize <= 0) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++report_.emptyPackets;
  } else {
    bool written = writer_ && writer_->write(*p);
    std::lock_guard<std::mutex> lock(mutex_);
    PlaybackReport& r = report_;
    ++r.packets;
    r.bytes += static_cast<size_t>(p->iSize);
    ++r.packetsPerStream[p->iStreamId];
    StreamReport& s = r.streams[p->iStreamId];
    s.id = p->iStreamId;
    ++s.packets;
    s.bytes += static_cast<size_t>(p->iSize);
    if (writer_) ++(written ? r.written : r.notWritten);
    if (validPts(p->pts)) {
      if (std::isnan(s.firstPts)) s.firstPts = p->pts;
      s.lastPts = p->pts;
      r.minPts = std::isnan(r.minPts) ? p->pts : std::min(r.minPts, p->pts);
      r.maxPts = std::isnan(r.maxPts) ? p->pts : std::max(r.maxPts, p->pts);
      auto last = lastPts_.find(p->iStreamId);
      double threshold = std::chrono::duration<double, std::micro>(current_.gapThreshold).count();
      if (last != lastPts_.end() && std::fabs(p->pts - last->second) > threshold)
        r.gaps.push_back({p->iStreamId, last->second, p->pts});
      lastPts_[p->iStreamId] = p->pts;
    }
  }
  host_.demux().release(p);
}

}  // namespace hostsim
