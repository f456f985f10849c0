// The stop of an owned worker within a limit. The rest of the thread base is
// exercised by the workers' own tests.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "common/Thread.h"
#include "support/InProcessHost.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Runs until released; with `obeys`, a stop request releases it too.
class Worker : public PLATFORM::CThread {
 public:
  explicit Worker(bool obeys = true) : obeys_(obeys) {}
  ~Worker() override {
    release = true;
    StopThread(0);
  }
  void* Process() override {
    while (!release && !(obeys_ && StopRequested())) std::this_thread::sleep_for(5ms);
    std::this_thread::sleep_for(20ms);  // ends a little after being told
    return nullptr;
  }
  std::atomic<bool> release{false};

 private:
  const bool obeys_;
};

TEST(ThreadTest, AnOwnedWorkerThatDoesNotStopInTimeIsLetGoAndLogged) {
  InProcessHost host;
  std::unique_ptr<Worker> stubborn = std::make_unique<Worker>(false);
  Worker* running = stubborn.get();
  stubborn->Start(true);
  const auto start = Clock::now();
  EXPECT_FALSE(PLATFORM::StopOwnedWorker(stubborn, 200, "terco"));
  EXPECT_LT(Clock::now() - start, 1s);
  EXPECT_TRUE(stubborn == nullptr && running->Running());
  EXPECT_EQ(host.LevelOfLog("El proceso terco no ha terminado a tiempo"), "error");
  delete running;  // the owner let it go; the test ends it

  std::unique_ptr<Worker> obedient = std::make_unique<Worker>(true);
  obedient->Start(true);
  EXPECT_TRUE(PLATFORM::StopOwnedWorker(obedient, 2000, "obediente") && obedient == nullptr);
  EXPECT_FALSE(host.Logged("obediente"));
}

}  // namespace
