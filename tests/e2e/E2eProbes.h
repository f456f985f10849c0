// What the end-to-end tests look at from outside the add-on: files, the
// process's threads, programs' output, and waits for a condition.
#pragma once

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

namespace e2e {

inline std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Threads of this process by OS name.
inline int Threads(const std::string& name) {
  int n = 0;
  for (const auto& t : std::filesystem::directory_iterator("/proc/self/task"))
    n += FileText(t.path() / "comm") == name + "\n";
  return n;
}

// What `command` prints, standard error included.
inline std::string Shell(const std::string& command) {
  std::string out;
  char buffer[4096];
  FILE* f = popen((command + " 2>&1").c_str(), "r");
  if (f == nullptr) return out;
  for (size_t n; (n = fread(buffer, 1, sizeof(buffer), f)) > 0;) out.append(buffer, n);
  pclose(f);
  return out;
}

inline size_t CountOf(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

inline bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  for (const auto end = std::chrono::steady_clock::now() + timeout; !condition();) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace e2e
