#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "GuideTypes.h"
#include "ScenarioTypes.h"
#include "StpPacketizer.h"

namespace headend {

// The generated week of guide: one TV-Anytime document per channel and day,
// made once at start, and every programme by id for the details requests.
class GuideContent {
 public:
  // `firstDay` (days since 1970-01-01, UTC) is the guide's day 0.
  GuideContent(const Scenario& scenario, long firstDay);

  // Yesterday, the first day a guide announces.
  static long Yesterday();

  int Days() const { return static_cast<int>(documents_.size()); }
  long FirstDay() const { return firstDay_; }
  const std::vector<const Service*>& Services() const { return services_; }
  const std::string& Document(int day, size_t service) const { return documents_[day][service]; }
  const Programme* Find(uint32_t id) const;
  size_t Programmes() const { return programmes_.size(); }
  const std::map<uint32_t, Programme>& All() const { return programmes_; }

  // The segments of a day: one per channel, ids day x 256 + 1, + 2...
  std::vector<StpSegment> Segments(int day, int version) const;
  static int SegmentId(int day, size_t service) {
    return day * 256 + static_cast<int>(service) + 1;
  }
  static std::string SegmentText(int day, size_t service);

 private:
  // The scenario's short programmes as the guide gives them, placed from `now`.
  static std::vector<Programme> ShortProgrammes(const Scenario& scenario, const std::string& domain,
                                                time_t now);
  // The service whose guide shows that service's programmes.
  static std::string ServiceOf(const Scenario& scenario, const std::string& id);

  long firstDay_;
  std::vector<const Service*> services_;
  std::vector<std::vector<std::string>> documents_;  // by day, then service
  std::map<uint32_t, Programme> programmes_;
};

// What the guide looks like at a moment of the run: the scenario's changes
// (a day's versions raised, a day dropped) take effect at their time.
class GuideSchedule {
 public:
  using Clock = std::chrono::steady_clock;

  GuideSchedule(const GuideSettings& settings, size_t services, Clock::time_point start);

  struct Day {
    int index = 0;
    GroupAddress group;
    std::vector<std::pair<std::string, int>> segments;  // "0x0001", version
  };
  // The days announced at `now`.
  std::vector<Day> Announced(Clock::time_point now) const;
  // How many changes have taken effect.
  int Changes(Clock::time_point now) const;
  int Version(int day, Clock::time_point now) const;
  bool Dropped(int day, Clock::time_point now) const;
  GroupAddress Group(int day) const;

 private:
  bool InForce(const GuideChange& change, Clock::time_point now) const;

  const GuideSettings& settings_;
  size_t services_;
  Clock::time_point start_;
};

}  // namespace headend
