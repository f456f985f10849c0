#include "core/HostThread.h"

#include <pthread.h>

#include <cstdio>

namespace hostsim {

HostThread::~HostThread() {
  // A derived class stops its thread in its own destructor, while its members
  // still exist; this is the last resort.
  if (thread_.joinable()) {
    std::fprintf(stderr, "hostsim: thread %s was not stopped by its owner\n", name_.c_str());
    stop_ = true;
    thread_.join();
  }
}

void HostThread::start() {
  if (thread_.joinable()) return;
  stop_ = false;
  thread_ = std::thread([this] {
    // Linux limits thread names to 15 bytes.
    pthread_setname_np(pthread_self(), name_.substr(0, 15).c_str());
    process();
  });
}

void HostThread::stop() {
  stop_ = true;
  if (!thread_.joinable()) return;
  wake();
  thread_.join();
}

}  // namespace hostsim
