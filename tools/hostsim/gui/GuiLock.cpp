#include "gui/GuiLock.h"

namespace hostsim {

bool GuiLock::lock(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto self = std::this_thread::get_id();
  if (depth_ > 0 && owner_ == self) {
    ++depth_;
    return true;
  }
  if (!released_.wait_for(lock, timeout, [&] { return depth_ == 0; })) return false;
  owner_ = self;
  depth_ = 1;
  return true;
}

bool GuiLock::unlock() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (depth_ == 0 || owner_ != std::this_thread::get_id()) return false;
  if (--depth_ == 0) {
    owner_ = std::thread::id();
    released_.notify_all();
  }
  return true;
}

int GuiLock::depth() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return depth_;
}

}  // namespace hostsim
