#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "common/Thread.h"

namespace {

using Clock = std::chrono::steady_clock;

class Worker : public PLATFORM::CThread {
 public:
  ~Worker() override { StopThread(0); }
  void* Process() override {
    entered = true;
    while (!StopRequested()) SleepFor(50);
    return nullptr;
  }
  std::atomic<bool> entered{false};
};

class Sleeper : public PLATFORM::CThread {
 public:
  ~Sleeper() override {
    release = true;
    StopThread(0);
  }
  void* Process() override {
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return nullptr;
  }
  std::atomic<bool> release{false};
};

TEST(ThreadTest, RunningFromStartUntilProcessReturns) {
  Sleeper worker;
  ASSERT_TRUE(worker.Start(false));
  EXPECT_TRUE(worker.Running());
  worker.release = true;
  EXPECT_TRUE(worker.StopThread(2000));
  EXPECT_FALSE(worker.Running());
}

TEST(ThreadTest, SleepAfterStopRequestReturnsAtOnce) {
  Sleeper worker;
  worker.Start(true);
  worker.StopThread(-1);  // request only
  const auto start = Clock::now();
  EXPECT_FALSE(worker.SleepFor(2000));
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(100));
  worker.release = true;
}

TEST(ThreadTest, StopWaitsForProcessToEnd) {
  Worker worker;
  worker.Start(true);
  EXPECT_TRUE(worker.entered || worker.Running());
  EXPECT_TRUE(worker.StopThread(0));
  EXPECT_FALSE(worker.Running());
}

TEST(ThreadTest, DestroyingARunningWorkerWaitsForIt) {
  std::atomic<bool> finished{false};
  class Slow : public PLATFORM::CThread {
   public:
    explicit Slow(std::atomic<bool>& done) : done_(done) {}
    ~Slow() override { StopThread(0); }
    void* Process() override {
      while (!StopRequested()) SleepFor(20);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      done_ = true;
      return nullptr;
    }
    std::atomic<bool>& done_;
  };
  {
    Slow slow(finished);
    slow.Start(true);
  }
  EXPECT_TRUE(finished);
}

TEST(ThreadTest, StopAllJoinsEveryStartedWorker) {
  Worker a, b;
  a.Start(true);
  b.Start(true);
  PLATFORM::CThread::StopAll(2000);
  EXPECT_FALSE(a.Running());
  EXPECT_FALSE(b.Running());
}

TEST(EventTest, AutoResetEventIsConsumedByTheWaiter) {
  PLATFORM::CEvent event(true);
  event.Notify();
  EXPECT_TRUE(event.Wait(10));
  EXPECT_FALSE(event.Wait(10));
}

TEST(EventTest, WaitTimesOutWithoutNotify) {
  PLATFORM::CEvent event(false);
  const auto start = Clock::now();
  EXPECT_FALSE(event.Wait(50));
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(45));
}

TEST(EventTest, NotifyFromAnotherThreadWakesTheWaiter) {
  PLATFORM::CEvent event(true);
  std::thread notifier([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    event.Notify();
  });
  EXPECT_TRUE(event.Wait(2000));
  notifier.join();
}

}  // namespace
