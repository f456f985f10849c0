#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace headend {

// A change of the guide while the headend runs: a day's segment versions
// raised, or a day no longer announced nor sent.
struct GuideChange {
  int day = 0;           // 0 is yesterday
  int afterSeconds = 0;  // from the start; 0 applies it from the first cycle
  int bump = 0;          // added to every segment version of the day
  bool drop = false;
};

// One programme of the generated week, with the details the application
// server gives for it.
struct Programme {
  uint32_t id = 0;
  std::string service;  // the service id whose guide shows it
  time_t start = 0;     // UTC
  int minutes = 0;
  int seconds = 0;  // a short programme's length; 0: minutes x 60
  int Length() const { return seconds > 0 ? seconds : minutes * 60; }
  std::string title;
  std::string genre;
  std::string rating;  // the TV-Anytime parental guidance text
  int season = 0, episode = 0, year = 0;
  std::string seriesCrid, seriesTitle;
  // Details.
  std::string originalTitle, subgenre, description, countries;
  std::vector<std::string> directors, actors;
  std::string scriptwriter, producer;
};

// A short programme the scenario adds to a channel's guide: bookable, with
// details, placed from the headend's start or at a clock time (UTC, the
// guide's clock) of yesterday, today or tomorrow.
struct ShortProgramme {
  uint32_t id = 0;
  std::string service;
  int startSeconds = 0;   // from the headend's start, unless clockSeconds >= 0
  int day = 0;            // -1 yesterday, 0 today, 1 tomorrow
  int clockSeconds = -1;  // seconds after that day's 00:00 UTC
  int seconds = 60;
  std::string title, series, seriesCrid;
  int season = 0, episode = 0;

  time_t Start(time_t now) const {
    if (clockSeconds < 0) return now + startSeconds;
    return (now / 86400 + day) * 86400 + clockSeconds;
  }
};

}  // namespace headend
