// A headend child process for the unit tests that need the operator's
// servers (video server, DNS): started on a scenario text, with its log in a
// file the test reads.
#pragma once

#include <sys/types.h>

#include <string>

class HeadendRunner {
 public:
  // Waits (bounded) for "headend ready".
  explicit HeadendRunner(const std::string& scenario);
  ~HeadendRunner();
  bool ready() const { return ready_; }
  std::string Log() const;
  // Log lines holding `fragment`.
  int Count(const std::string& fragment) const;

 private:
  pid_t pid_ = -1;
  bool ready_ = false;
  std::string dir_;
};
