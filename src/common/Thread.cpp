#include "common/Thread.h"

#include <sched.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "common/Globals.h"
#include "common/Log.h"

namespace PLATFORM {

namespace {

// The worker whose Process runs on this thread; null on other threads.
thread_local CThread* t_current = nullptr;

// Sleeps are cut in slices so that the process-wide stop flag is seen quickly.
constexpr uint32_t kSleepSliceMs = 100;

}  // namespace

bool CConditionImpl::Wait(std::recursive_mutex& mutex, uint32_t ms) {
  sched_yield();
  std::unique_lock<std::recursive_mutex> lock(mutex, std::adopt_lock);
  bool woken = true;
  if (ms == 0) {
    m_condition.wait(lock);
  } else {
    woken = m_condition.wait_for(lock, std::chrono::milliseconds(ms)) == std::cv_status::no_timeout;
  }
  lock.release();
  return woken;
}

void CConditionImpl::Broadcast() {
  m_condition.notify_all();
}

CEvent::CEvent(bool autoReset) : m_autoReset(autoReset) {}

// Every waiter wakes; an auto-reset event stays set until the last of them
// has left its wait.
void CEvent::Notify() {
  Broadcast();
}

void CEvent::Broadcast() {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  m_signaled = true;
  m_broadcast = true;
  m_condition.Broadcast();
}

bool CEvent::Wait(uint32_t ms) {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  ++m_waiting;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!m_signaled) {
    uint32_t left = 0;
    if (ms != 0) {
      const auto now = std::chrono::steady_clock::now();
      if (now >= deadline) break;
      left = static_cast<uint32_t>(std::max<int64_t>(
          1, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count()));
    }
    m_condition.Wait(m_mutex, left);
  }
  const bool signaled = m_signaled;
  --m_waiting;
  // An auto-reset event is cleared by the last waiter it woke.
  if (signaled && m_autoReset && (!m_broadcast || m_waiting == 0)) {
    m_signaled = false;
    m_broadcast = false;
  }
  return signaled;
}

void CEvent::Reset() {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  m_signaled = false;
  m_broadcast = false;
}

CThread::CThread() = default;

CThread::~CThread() {
  StopThread(0);
}

bool CThread::Running() {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  return m_bRunning;
}

bool CThread::StopRequested() {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  return m_bStop;
}

bool CThread::IsStopped() {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  return m_bStopped;
}

bool CThread::Start(bool wait) {
  // Checked and started in one scope: two callers never both start a run.
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  if (m_bRunning) return false;
  // A previous run's thread has left Process and needs the lock no more.
  Join();
  m_bStop = false;
  m_bStopped = false;
  m_bEntered = false;
  // Marked running before the thread exists so that a caller polling
  // Running() right after Start() never sees a gap.
  m_bRunning = true;
  if (pthread_create(&m_thread, nullptr, &CThread::ThreadHandler, this) != 0) {
    m_bRunning = false;
    m_bStopped = true;
    return false;
  }
  m_bJoinable = true;
  if (wait) {
    while (!m_bEntered && !m_bStopped) m_condition.Wait(m_mutex, 0);
  }
  return true;
}

void* CThread::ThreadHandler(void* self) {
  auto* thread = static_cast<CThread*>(self);
  t_current = thread;
  {
    std::lock_guard<std::recursive_mutex> lock(thread->m_mutex);
    pthread_setname_np(pthread_self(), thread->m_name.substr(0, 15).c_str());
    thread->m_bRunning = true;
    thread->m_bEntered = true;
    thread->m_condition.Broadcast();
  }
  void* result = thread->Process();
  {
    std::lock_guard<std::recursive_mutex> lock(thread->m_mutex);
    thread->m_bRunning = false;
    thread->m_bStopped = true;
    thread->m_condition.Broadcast();
  }
  return result;
}

bool CThread::StopThread(int ms) {
  bool running = false;
  {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_bStop = true;
    m_condition.Broadcast();
    running = m_bRunning;
    if (running && ms >= 0) {
      if (pthread_equal(pthread_self(), m_thread)) return false;  // cannot wait on itself
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
      while (m_bRunning) {
        if (ms == 0) {
          m_condition.Wait(m_mutex, 0);
        } else {
          const auto now = std::chrono::steady_clock::now();
          if (now >= deadline) return false;
          m_condition.Wait(
              m_mutex,
              static_cast<uint32_t>(std::max<int64_t>(
                  1,
                  std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count())));
        }
      }
    }
  }
  if (ms >= 0) Join();
  return true;
}

bool CThread::SleepFor(uint32_t ms) {
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  if (m_bStop) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!m_bStopped && !m_bStop && !PararProceso) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) break;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
    m_condition.Wait(m_mutex, static_cast<uint32_t>(
                                  std::max<int64_t>(1, std::min<int64_t>(left, kSleepSliceMs))));
  }
  return m_bStopped;
}

void CThread::Join() {
  pthread_t thread{};
  {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!m_bJoinable || m_bRunning) return;
    if (pthread_equal(pthread_self(), m_thread)) return;
    thread = m_thread;
    m_bJoinable = false;
  }
  pthread_join(thread, nullptr);
}

bool Stopping() {
  return PararProceso || (t_current != nullptr && t_current->StopRequested());
}

bool StopWorker(CThread& worker, int ms, const std::string& name) {
  if (worker.StopThread(ms)) return true;
  GenerarLogError("El proceso " + name + " no ha terminado a tiempo");
  return false;
}

}  // namespace PLATFORM
