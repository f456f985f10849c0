// The host's GUI thread: runs the windows the add-on shows without waiting
// (Show), one after the other, so their scripted steps happen while the
// add-on goes on.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "core/HostThread.h"
#include "gui/WindowState.h"

namespace hostsim {

class GuiThread : public HostThread {
 public:
  using Runner = std::function<void(const std::shared_ptr<WindowState>&)>;

  explicit GuiThread(Runner run) : HostThread("hostsim-gui"), run_(std::move(run)) {}
  ~GuiThread() override;

  void post(std::shared_ptr<WindowState> window);
  // True once nothing is queued or running.
  bool waitIdle(std::chrono::milliseconds timeout) const;
  // Drops what is queued; returns how many.
  size_t discard();

 protected:
  void process() override;
  void wake() override;

 private:
  Runner run_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::deque<std::shared_ptr<WindowState>> queue_;
  bool busy_ = false;
};

}  // namespace hostsim
