// Thread base, event and condition on which every worker is built.
#pragma once

#include <pthread.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace PLATFORM {

// Waits on a condition with a recursive mutex held by the caller.
class CConditionImpl {
 public:
  // Yields first, then waits; ms 0 waits without limit. True when woken.
  bool Wait(std::recursive_mutex& mutex, uint32_t ms);
  void Broadcast();

 private:
  std::condition_variable_any m_condition;
};

class CEvent {
 public:
  explicit CEvent(bool autoReset = true);
  void Notify();
  void Broadcast();
  // Waits at most ms (0: without limit). True when the event was set.
  bool Wait(uint32_t ms = 0);
  void Reset();

 private:
  std::recursive_mutex m_mutex;
  CConditionImpl m_condition;
  bool m_autoReset;
  bool m_signaled = false;
  bool m_broadcast = false;
  unsigned int m_waiting = 0;
};

class CThread {
 public:
  CThread();
  virtual ~CThread();
  CThread(const CThread&) = delete;
  CThread& operator=(const CThread&) = delete;

  virtual bool Running();
  virtual bool StopRequested();
  // Starts the thread; with wait true returns once it runs.
  virtual bool Start(bool wait = false);
  // Raises the stop request; waits for the end when ms >= 0 (0: no limit).
  virtual bool StopThread(int ms = 5000);
  // False at once when stop was requested; else waits up to ms, and true
  // only when the thread ended meanwhile. Wakes early on a stop request or
  // when the process-wide stop flag is raised.
  virtual bool SleepFor(uint32_t ms);
  virtual void* Process() = 0;

  bool IsStopped();
  // Name shown by debuggers and top -H (at most 15 characters are kept).
  void SetThreadName(const std::string& name) { m_name = name; }

 private:
  static void* ThreadHandler(void* self);
  void Join();

  std::recursive_mutex m_mutex;
  CConditionImpl m_condition;
  bool m_bStop = false;
  bool m_bRunning = false;
  bool m_bStopped = true;
  bool m_bJoinable = false;
  bool m_bEntered = false;
  pthread_t m_thread{};
  std::string m_name = "quorvina";
};

// True when the add-on stops, or when the worker running on this thread has
// been asked to stop: every wait in shared code polls it, so that stopping
// one worker also cuts its network waits.
bool Stopping();

// Stops a worker its owner holds, waiting at most `ms`. A worker that does
// not end in time is let go instead of destroyed under its running thread,
// and logged; false then.
bool StopWorker(CThread& worker, int ms, const std::string& name);

template <typename T>
bool StopOwnedWorker(std::unique_ptr<T>& worker, int ms, const std::string& name) {
  if (!worker) return true;
  if (StopWorker(*worker, ms, name)) {
    worker.reset();
    return true;
  }
  worker.release();  // still running: its memory must outlive it
  return false;
}

}  // namespace PLATFORM
