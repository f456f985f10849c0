// What the host does after PVR_trigger_*: shortly afterwards, on its own
// thread, it asks the add-on again for the data that changed. Triggers of the
// same kind (and channel, for the guide) that arrive before the follow-up runs
// are coalesced into one call.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <utility>

#include "core/HostThread.h"

namespace hostsim {

enum class FollowUpKind { Timers, Recordings, Channels, Groups, Epg };

const char* followUpKindName(FollowUpKind kind);

struct FollowUp {
  FollowUpKind kind = FollowUpKind::Channels;
  unsigned int channelUid = 0;  // for the guide
};

class FollowUpWorker : public HostThread {
 public:
  using Runner = std::function<void(const FollowUp&)>;

  FollowUpWorker(Runner run, std::chrono::milliseconds delay);
  ~FollowUpWorker() override;

  void trigger(FollowUpKind kind, unsigned int channelUid = 0);
  // Follow-ups wait while the add-on is not ready (being created or gone).
  void setReady(bool ready);
  // Drops what is pending (the add-on is going away).
  void cancelPending();

  size_t triggers(FollowUpKind kind) const;
  size_t runs(FollowUpKind kind) const;
  size_t pending() const;
  // True once nothing is pending or running, false after the timeout.
  bool waitIdle(std::chrono::milliseconds timeout) const;

 protected:
  void process() override;
  void wake() override;

 private:
  using Key = std::pair<FollowUpKind, unsigned int>;
  using Clock = std::chrono::steady_clock;

  Runner run_;
  std::chrono::milliseconds delay_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::map<Key, Clock::time_point> pending_;
  std::map<FollowUpKind, size_t> triggers_;
  std::map<FollowUpKind, size_t> runs_;
  size_t running_ = 0;
  bool ready_ = false;
};

}  // namespace hostsim
