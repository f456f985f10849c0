// The add-on's shared library as the host loads it: found through addon.xml,
// opened with RTLD_NOW | RTLD_LOCAL, its exported entry points resolved and
// its PVR function table filled by get_addon.
#pragma once

#include <string>
#include <vector>

#include "host/xbmc_pvr_types.h"

namespace hostsim {

// The add-on's exports as the host calls them.
struct AddonExports {
  void (*getAddon)(PVRClient*) = nullptr;
  int (*create)(void* callbacks, void* props) = nullptr;
  void (*destroy)() = nullptr;
  void (*stop)() = nullptr;
  int (*getStatus)() = nullptr;
  bool (*hasSettings)() = nullptr;
  unsigned int (*getSettings)(void* settings) = nullptr;
  void (*freeSettings)() = nullptr;
  int (*setSetting)(const char* name, const void* value) = nullptr;
  void (*announce)(const char* flag, const char* sender, const char* message,
                   const void* data) = nullptr;
};

struct AddonDescription {
  std::string id;
  std::string name;
  std::string version;
  std::string library;  // file name of the shared library
};

struct AddonOpenResult {
  bool ok = false;
  std::string error;
  std::vector<std::string> warnings;
  explicit operator bool() const { return ok; }
};

class AddonLibrary {
 public:
  AddonLibrary() = default;
  ~AddonLibrary();
  AddonLibrary(const AddonLibrary&) = delete;
  AddonLibrary& operator=(const AddonLibrary&) = delete;

  AddonOpenResult open(const std::string& addonDir);
  void close();
  // Forgets the library without dlclose: it stays mapped, so that leak
  // reports taken at exit can still name its code.
  void abandon();
  bool isOpen() const { return handle_ != nullptr; }

  const AddonExports& exports() const { return exports_; }
  const PVRClient& client() const { return client_; }
  const AddonDescription& description() const { return description_; }
  std::string libraryPath() const { return libraryPath_; }

  static const char* slotName(size_t index);
  static constexpr size_t kSlotCount = 65;

 private:
  void* handle_ = nullptr;
  AddonExports exports_;
  PVRClient client_{};
  AddonDescription description_;
  std::string libraryPath_;
};

// Reads addon.xml; the library defaults to "<folder name>.so".
AddonDescription describeAddon(const std::string& addonDir, std::vector<std::string>& warnings);

}  // namespace hostsim
