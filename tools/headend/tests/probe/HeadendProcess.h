#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace probe {

// Runs the headend as a child process and stops it the way a test does.
class HeadendProcess {
 public:
  ~HeadendProcess();

  // Starts it and waits for its "headend ready" line.
  bool Start(const std::vector<std::string>& argv, int timeoutMs, std::string* error);
  // SIGTERM, then waits up to timeoutMs; false when it had to be killed.
  bool Terminate(int timeoutMs, long* tookMs, int* exitCode);

 private:
  pid_t pid_ = -1;
  int stdout_ = -1;
};

}  // namespace probe
