#include "common/Library.h"

#include <dlfcn.h>

#include <cstdio>

namespace library {

void* Open(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_LAZY);
  if (handle == nullptr) fprintf(stderr, "Unable to load %s\n", dlerror());
  return handle;
}

bool ResolveRaw(void* handle, const char* name, void** target) {
  dlerror();
  *target = dlsym(handle, name);
  if (*target == nullptr) {
    const char* error = dlerror();
    fprintf(stderr, "Unable to assign function %s\n", error != nullptr ? error : name);
    return false;
  }
  return true;
}

void Close(void*& handle) {
  if (handle != nullptr) {
    dlclose(handle);
    handle = nullptr;
  }
}

}  // namespace library
