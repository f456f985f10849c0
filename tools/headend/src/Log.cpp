#include "Log.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace headend {

Log::Log() = default;

Log::~Log() {
  if (fd_ > 2) close(fd_);
}

bool Log::OpenFile(const std::string& path, std::string* error) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  if (fd_ > 2) close(fd_);
  fd_ = fd;
  return true;
}

void Log::Write(const char* format, ...) {
  char line[2048];
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  char thread[16] = "?";
  pthread_getname_np(pthread_self(), thread, sizeof(thread));
  int used = std::snprintf(line, sizeof(line), "%02d:%02d:%02d.%03ld [%s] ", local.tm_hour,
                           local.tm_min, local.tm_sec, now.tv_nsec / 1000000L, thread);
  va_list args;
  va_start(args, format);
  int body = std::vsnprintf(line + used, sizeof(line) - used - 1, format, args);
  va_end(args);
  if (body < 0) body = 0;
  size_t length = std::min(sizeof(line) - 2, static_cast<size_t>(used + body));
  line[length++] = '\n';
  ssize_t written = ::write(fd_, line, length);
  (void)written;
}

}  // namespace headend
