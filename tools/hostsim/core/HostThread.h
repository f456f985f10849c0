// Base of the host's own threads: one Process loop per role, an OS-visible
// name, and a stop that wakes and joins.
#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace hostsim {

class HostThread {
 public:
  explicit HostThread(std::string name) : name_(std::move(name)) {}
  virtual ~HostThread();
  HostThread(const HostThread&) = delete;
  HostThread& operator=(const HostThread&) = delete;

  void start();
  // Asks the loop to end, wakes it and joins; safe to call twice. Must not be
  // called from the thread itself.
  void stop();
  bool running() const { return thread_.joinable(); }
  bool isCurrent() const { return std::this_thread::get_id() == thread_.get_id(); }

 protected:
  virtual void process() = 0;
  // Wakes the loop from its wait so that it sees the stop request.
  virtual void wake() = 0;
  bool stopRequested() const { return stop_.load(); }

 private:
  std::string name_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
};

}  // namespace hostsim
