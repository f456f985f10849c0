#include "gui/GuiThread.h"

namespace hostsim {

GuiThread::~GuiThread() {
  stop();
}

void GuiThread::post(std::shared_ptr<WindowState> window) {
  std::lock_guard<std::mutex> lock(mutex_);
  queue_.push_back(std::move(window));
  changed_.notify_all();
}

bool GuiThread::waitIdle(std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return queue_.empty() && !busy_; });
}

size_t GuiThread::discard() {
  std::lock_guard<std::mutex> lock(mutex_);
  size_t n = queue_.size();
  queue_.clear();
  changed_.notify_all();
  return n;
}

void GuiThread::wake() {
  std::lock_guard<std::mutex> lock(mutex_);
  changed_.notify_all();
}

void GuiThread::process() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopRequested()) {
    if (queue_.empty()) {
      changed_.wait_for(lock, std::chrono::milliseconds(500));
      continue;
    }
    std::shared_ptr<WindowState> window = std::move(queue_.front());
    queue_.pop_front();
    busy_ = true;
    lock.unlock();
    run_(window);
    window.reset();  // the last reference may go here, outside the lock
    lock.lock();
    busy_ = false;
    changed_.notify_all();
  }
}

}  // namespace hostsim
