#include "Worker.h"

#include <pthread.h>

namespace headend {

Worker::Worker(std::string name) : name_(std::move(name)) {}

Worker::~Worker() {
  Stop();
}

void Worker::Start() {
  stop_ = false;
  running_ = true;
  thread_ = std::thread(&Worker::Run, this);
}

void Worker::Run() {
  // The OS limits thread names to 15 characters.
  pthread_setname_np(pthread_self(), name_.substr(0, 15).c_str());
  Process();
  running_ = false;
}

void Worker::RequestStop() {
  {
    std::lock_guard<std::mutex> lock(wakeMutex_);
    stop_ = true;
  }
  wake_.notify_all();
}

void Worker::Stop() {
  RequestStop();
  if (thread_.joinable()) thread_.join();
}

bool Worker::SleepFor(std::chrono::milliseconds duration) {
  return SleepUntil(std::chrono::steady_clock::now() + duration);
}

bool Worker::SleepUntil(std::chrono::steady_clock::time_point when) {
  std::unique_lock<std::mutex> lock(wakeMutex_);
  return !wake_.wait_until(lock, when, [this] { return stop_.load(); });
}

}  // namespace headend
