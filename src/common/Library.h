// Loading of one shared library and its symbols, with the messages the host
// expects on standard error when either is missing.
#pragma once

#include <string>

namespace library {

// Opens the library with lazy binding; writes "Unable to load %s\n" with the
// loader's error to standard error and returns null on failure.
void* Open(const std::string& path);

// Resolves one symbol into target; writes "Unable to assign function %s\n"
// with the loader's error to standard error and returns false when missing.
bool ResolveRaw(void* handle, const char* name, void** target);

template <typename T>
bool Resolve(void* handle, const char* name, T& target) {
  void* symbol = nullptr;
  if (!ResolveRaw(handle, name, &symbol)) return false;
  target = reinterpret_cast<T>(symbol);
  return true;
}

void Close(void*& handle);

}  // namespace library
