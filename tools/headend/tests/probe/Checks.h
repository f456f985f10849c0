#pragma once

#include <cstdio>
#include <string>

namespace probe {

// Collects the outcome of many checks: each failure is printed with what
// was expected, and the probe fails when any did.
class Checks {
 public:
  bool Expect(bool ok, const std::string& what) {
    ++count_;
    if (!ok) {
      ++failures_;
      std::printf("FAIL: %s\n", what.c_str());
    }
    return ok;
  }
  void Note(const std::string& what) { std::printf("  %s\n", what.c_str()); }
  int Failures() const { return failures_; }
  int Count() const { return count_; }

 private:
  int count_ = 0;
  int failures_ = 0;
};

}  // namespace probe
