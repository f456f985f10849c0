// GUI_lock / GUI_unlock: the host's graphics lock, taken recursively by one
// thread at a time. Waits are bounded so a lock the add-on forgets to release
// is reported instead of hanging the host.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace hostsim {

class GuiLock {
 public:
  // False (and nothing taken) when another thread held it past the timeout.
  bool lock(std::chrono::milliseconds timeout);
  // False when the calling thread does not hold it.
  bool unlock();
  int depth() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable released_;
  std::thread::id owner_;
  int depth_ = 0;
};

}  // namespace hostsim
