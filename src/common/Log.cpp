#include "common/Log.h"

#include "addon/AddonBinding.h"
#include "common/Globals.h"

namespace {
constexpr size_t kMaxMessage = 1024;

void Write(addon_log level, const std::string& message) {
  if (XBMC == nullptr) return;
  // Passed as an argument, never as the format: log texts carry '%' freely.
  if (message.size() > kMaxMessage) {
    XBMC->Log(level, "%s", message.substr(0, kMaxMessage).c_str());
  } else {
    XBMC->Log(level, "%s", message.c_str());
  }
}
}  // namespace

void GenerarLogDebug(const std::string& message) {
  if (ModoDebug) Write(LOG_NOTICE, message);
}

void GenerarLogError(const std::string& message) {
  Write(LOG_ERROR, message);
}
