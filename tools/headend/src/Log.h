#pragma once

#include <string>

namespace headend {

// Timestamped log lines. Each line goes out in one write() on an O_APPEND
// descriptor, so threads never interleave and no lock is held across I/O.
class Log {
 public:
  Log();  // standard error
  ~Log();
  Log(const Log&) = delete;
  Log& operator=(const Log&) = delete;

  // False with the reason in error when the file can't be opened.
  bool OpenFile(const std::string& path, std::string* error);
  void Write(const char* format, ...) __attribute__((format(printf, 2, 3)));

 private:
  int fd_ = 2;
};

}  // namespace headend
