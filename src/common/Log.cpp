#include "common/Log.h"

#include "common/Globals.h"
#include "common/HostServices.h"

namespace {
constexpr size_t kMaxMessage = 1024;

void Write(LogLevel level, const std::string& message) {
  TheHost().Log(level, message.size() > kMaxMessage ? message.substr(0, kMaxMessage) : message);
}
}  // namespace

void GenerarLogDebug(const std::string& message) {
  if (ModoDebug) Write(LogLevel::Notice, message);
}

void GenerarLogError(const std::string& message) {
  Write(LogLevel::Error, message);
}
