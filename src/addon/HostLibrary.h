// Loading of one host library from the host's add-on library folder.
#pragma once

#include <string>

namespace hostlib {

// The host's add-on library folder: the first string of the callback block.
std::string BasePath(void* callbacks);

// Opens base + relative with lazy binding; writes "Unable to load %s\n" with
// the loader's error to standard error and returns null on failure.
void* Open(const std::string& base, const char* relative);

// Resolves one symbol into target; writes "Unable to assign function %s\n"
// with the loader's error to standard error and returns false when missing.
template <typename T>
bool Resolve(void* library, const char* name, T& target);

bool ResolveRaw(void* library, const char* name, void** target);

template <typename T>
bool Resolve(void* library, const char* name, T& target) {
  void* symbol = nullptr;
  if (!ResolveRaw(library, name, &symbol)) return false;
  target = reinterpret_cast<T>(symbol);
  return true;
}

void Close(void*& library);

}  // namespace hostlib
