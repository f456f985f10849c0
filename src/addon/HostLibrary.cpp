#include "addon/HostLibrary.h"

#include <dlfcn.h>

#include <cstdio>

#include "host/xbmc_addon_types.h"

namespace hostlib {

std::string BasePath(void* callbacks) {
  const auto* cb = static_cast<const AddonCB*>(callbacks);
  if (cb == nullptr || cb->libBasePath == nullptr) return std::string();
  return cb->libBasePath;
}

void* Open(const std::string& base, const char* relative) {
  const std::string path = base + relative;
  void* library = dlopen(path.c_str(), RTLD_LAZY);
  if (library == nullptr) {
    fprintf(stderr, "Unable to load %s\n", dlerror());
  }
  return library;
}

bool ResolveRaw(void* library, const char* name, void** target) {
  dlerror();
  *target = dlsym(library, name);
  if (*target == nullptr) {
    const char* error = dlerror();
    fprintf(stderr, "Unable to assign function %s\n", error != nullptr ? error : name);
    return false;
  }
  return true;
}

void Close(void*& library) {
  if (library != nullptr) {
    dlclose(library);
    library = nullptr;
  }
}

}  // namespace hostlib
