#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace headend {

// One named thread with its own Process loop. Stop requests wake any sleep at
// once, so every worker can leave within a few milliseconds of shutdown.
class Worker {
 public:
  explicit Worker(std::string name);
  virtual ~Worker();
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  void Start();
  void RequestStop();
  // RequestStop, then wait for the thread to end.
  void Stop();
  bool Running() const { return running_; }
  const std::string& Name() const { return name_; }

 protected:
  virtual void Process() = 0;
  bool Stopping() const { return stop_; }
  // Both return false when a stop was requested before the time came.
  bool SleepFor(std::chrono::milliseconds duration);
  bool SleepUntil(std::chrono::steady_clock::time_point when);

 private:
  void Run();

  std::string name_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> running_{false};
  std::mutex wakeMutex_;
  std::condition_variable wake_;
};

}  // namespace headend
