#pragma once

#include <ctime>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "ScenarioTypes.h"

namespace headend {

class GuideContent;

// The operator's cloud: the scenario's recordings and the bookings made
// while the headend runs, each in the state the clock gives it, and the
// bookmarks stored per product. Thread-safe.
class CloudRecordings {
 public:
  enum State { kPending = 0, kRecording = 1, kFinished = 2 };

  struct Entry {
    CloudRecording data;  // begin and end as seconds since the epoch
    State state = kPending;
  };
  struct Bookmark {
    int64_t position = 0;
    std::string productType = "2";
  };

  // `start` is the headend's start, the origin of the scenario's times.
  CloudRecordings(const CloudSettings& settings, const GuideContent* guide, time_t start);

  std::vector<Entry> List(int state, time_t now) const;
  bool Find(uint32_t id, time_t now, Entry* out) const;
  bool ImageMissing(uint32_t id) const;
  const std::string& RtspBase() const { return settings_.rtspBase; }

  // The recording API's result codes.
  int Book(uint32_t programme, time_t now);
  int Cancel(uint32_t id, time_t now);
  int Delete(uint32_t id, time_t now);
  Bookmark GetBookmark(const std::string& product) const;
  void SetBookmark(const std::string& product, const Bookmark& mark);

  // The bookings and the bookmarks as JSON, for tests.
  std::string Json(time_t now) const;

 private:
  static State StateAt(const CloudRecording& r, time_t now);
  bool Present(const CloudRecording& r, time_t now) const;

  const CloudSettings& settings_;
  const GuideContent* guide_;
  const time_t start_;
  mutable std::mutex mutex_;
  std::map<uint32_t, CloudRecording> recordings_;  // times as seconds since the epoch
  std::map<std::string, Bookmark> bookmarks_;
};

}  // namespace headend
