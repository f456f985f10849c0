#include "core/Journal.h"

namespace hostsim {

namespace {

// Bounds what one test run keeps; the terminal still sees everything.
constexpr size_t kMaxEntries = 200000;

const char* logLevelName(int level) {
  switch (level) {
    case 0:
      return "debug";
    case 1:
      return "info";
    case 2:
      return "notice";
    case 3:
      return "error";
    default:
      return "unknown";
  }
}

const char* notificationName(int type) {
  switch (type) {
    case 0:
      return "info";
    case 1:
      return "warning";
    case 2:
      return "error";
    default:
      return "unknown";
  }
}

}  // namespace

std::string JournalEntry::line() const {
  switch (kind) {
    case EntryKind::Log:
      return "[log " + level + "] " + text;
    case EntryKind::Notification:
      return "[notification " + level + "] " + text;
    case EntryKind::Host:
      return (level == "error" ? "[host error] " : "[host] ") + text;
  }
  return text;
}

void Journal::setEcho(bool echo) {
  std::lock_guard<std::mutex> lock(mutex_);
  echo_ = echo;
}

void Journal::setQuietLog(bool quiet) {
  std::lock_guard<std::mutex> lock(mutex_);
  quietLog_ = quiet;
}

void Journal::log(int level, const std::string& text) {
  add({EntryKind::Log, logLevelName(level), text});
}

void Journal::notification(int type, const std::string& text) {
  add({EntryKind::Notification, notificationName(type), text});
}

void Journal::host(const std::string& text) {
  add({EntryKind::Host, "info", text});
}

void Journal::hostError(const std::string& text) {
  add({EntryKind::Host, "error", text});
}

void Journal::print(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!echo_) return;
  std::fprintf(out_, "%s\n", text.c_str());
  std::fflush(out_);
}

void Journal::add(JournalEntry entry) {
  std::lock_guard<std::mutex> lock(mutex_);
  bool quiet = quietLog_ && entry.kind == EntryKind::Log;
  if (echo_ && !quiet) {
    std::fprintf(out_, "%s\n", entry.line().c_str());
    std::fflush(out_);
  }
  if (entries_.size() < kMaxEntries) entries_.push_back(std::move(entry));
  changed_.notify_all();
}

std::vector<JournalEntry> Journal::entries() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_;
}

size_t Journal::count(EntryKind kind) const {
  std::lock_guard<std::mutex> lock(mutex_);
  size_t n = 0;
  for (const auto& e : entries_) n += e.kind == kind;
  return n;
}

bool Journal::contains(EntryKind kind, const std::string& needle) const {
  return countContaining(kind, needle) > 0;
}

size_t Journal::countContaining(EntryKind kind, const std::string& needle) const {
  std::lock_guard<std::mutex> lock(mutex_);
  size_t n = 0;
  for (const auto& e : entries_) n += e.kind == kind && e.text.find(needle) != std::string::npos;
  return n;
}

bool Journal::waitFor(EntryKind kind, const std::string& needle,
                      std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  auto found = [&] {
    for (const auto& e : entries_)
      if (e.kind == kind && e.text.find(needle) != std::string::npos) return true;
    return false;
  };
  return changed_.wait_for(lock, timeout, found);
}

}  // namespace hostsim
