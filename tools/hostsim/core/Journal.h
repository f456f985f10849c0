// Everything the add-on told the user or the log, plus the host's own remarks,
// printed to the terminal as it happens and kept for tests. Thread-safe.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace hostsim {

enum class EntryKind { Log, Notification, Host };

struct JournalEntry {
  EntryKind kind;
  std::string level;  // "debug".."error" for logs, "info".."error" otherwise
  std::string text;

  std::string line() const;  // "[log notice] text", "[notification info] text"...
};

class Journal {
 public:
  explicit Journal(FILE* out = stdout) : out_(out) {}

  void setEcho(bool echo);
  void setQuietLog(bool quiet);

  void log(int level, const std::string& text);
  void notification(int type, const std::string& text);
  void host(const std::string& text);       // "[host] text"
  void hostError(const std::string& text);  // "[host error] text"
  // A line printed as it is (reports of commands); not kept.
  void print(const std::string& text);

  std::vector<JournalEntry> entries() const;
  size_t count(EntryKind kind) const;
  // True when some kept entry of that kind holds `needle` in its text.
  bool contains(EntryKind kind, const std::string& needle) const;
  size_t countContaining(EntryKind kind, const std::string& needle) const;
  // Waits until contains(kind, needle) or the timeout.
  bool waitFor(EntryKind kind, const std::string& needle, std::chrono::milliseconds timeout) const;

 private:
  void add(JournalEntry entry);

  FILE* out_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<JournalEntry> entries_;
  bool echo_ = true;
  bool quietLog_ = false;
};

}  // namespace hostsim
