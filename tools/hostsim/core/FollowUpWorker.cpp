#include "core/FollowUpWorker.h"

#include <algorithm>
#include <vector>

namespace hostsim {

const char* followUpKindName(FollowUpKind kind) {
  switch (kind) {
    case FollowUpKind::Timers:
      return "timers";
    case FollowUpKind::Recordings:
      return "recordings";
    case FollowUpKind::Channels:
      return "channels";
    case FollowUpKind::Groups:
      return "channel groups";
    case FollowUpKind::Epg:
      return "epg";
  }
  return "?";
}

FollowUpWorker::FollowUpWorker(Runner run, std::chrono::milliseconds delay)
    : HostThread("hostsim-follow"), run_(std::move(run)), delay_(delay) {}

FollowUpWorker::~FollowUpWorker() {
  stop();
}

void FollowUpWorker::trigger(FollowUpKind kind, unsigned int channelUid) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++triggers_[kind];
  Key key(kind, kind == FollowUpKind::Epg ? channelUid : 0);
  // The first trigger fixes the time; later ones ride along.
  pending_.emplace(key, Clock::now() + delay_);
  changed_.notify_all();
}

void FollowUpWorker::setReady(bool ready) {
  std::lock_guard<std::mutex> lock(mutex_);
  ready_ = ready;
  changed_.notify_all();
}

void FollowUpWorker::cancelPending() {
  std::lock_guard<std::mutex> lock(mutex_);
  pending_.clear();
  changed_.notify_all();
}

size_t FollowUpWorker::triggers(FollowUpKind kind) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = triggers_.find(kind);
  return it == triggers_.end() ? 0 : it->second;
}

size_t FollowUpWorker::runs(FollowUpKind kind) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = runs_.find(kind);
  return it == runs_.end() ? 0 : it->second;
}

size_t FollowUpWorker::pending() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pending_.size();
}

bool FollowUpWorker::waitIdle(std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return pending_.empty() && running_ == 0; });
}

void FollowUpWorker::wake() {
  std::lock_guard<std::mutex> lock(mutex_);
  changed_.notify_all();
}

void FollowUpWorker::process() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopRequested()) {
    if (!ready_ || pending_.empty()) {
      changed_.wait_for(lock, std::chrono::milliseconds(500));
      continue;
    }
    auto now = Clock::now();
    auto earliest = Clock::time_point::max();
    std::vector<FollowUp> due;
    for (auto it = pending_.begin(); it != pending_.end();) {
      if (it->second <= now) {
        due.push_back({it->first.first, it->first.second});
        it = pending_.erase(it);
      } else {
        earliest = std::min(earliest, it->second);
        ++it;
      }
    }
    if (due.empty()) {
      changed_.wait_until(lock, earliest);
      continue;
    }
    running_ += due.size();
    lock.unlock();
    // The add-on is called without the host's lock: it may trigger again.
    for (const FollowUp& f : due) {
      bool ran = !stopRequested();
      if (ran) run_(f);
      std::lock_guard<std::mutex> relock(mutex_);
      if (ran) ++runs_[f.kind];
      --running_;
      changed_.notify_all();
    }
    lock.lock();
  }
}

}  // namespace hostsim
