#include "GuideContent.h"

#include <cstdio>
#include <ctime>

#include "GuideDocuments.h"
#include "LineUpReader.h"
#include "ProgrammeGenerator.h"

namespace headend {

namespace {
constexpr int kGuidePayload = 0xF1;
}

GuideContent::GuideContent(const Scenario& scenario, long firstDay) : firstDay_(firstDay) {
  const GuideSettings& g = scenario.guide;
  for (const auto& s : scenario.services) {
    bool wanted = g.services.empty() ? s.replacement.empty() : false;
    for (const auto& id : g.services) wanted = wanted || id == s.id;
    if (wanted) services_.push_back(&s);
  }
  const std::string domain = scenario.domainSuffix.substr(scenario.domainSuffix[0] == '.' ? 1 : 0);
  documents_.resize(static_cast<size_t>(g.days));
  for (int day = 0; day < g.days; ++day) {
    for (const Service* s : services_) {
      std::vector<Programme> programmes = ProgrammeGenerator::Day(*s, firstDay + day, day);
      documents_[day].push_back(
          GuideDocuments::Schedule(*s, programmes, domain, scenario.indentedXml));
      for (auto& p : programmes) {
        p.service = s->id;
        programmes_.emplace(p.id, std::move(p));
      }
    }
  }
  // Short programmes are not in the broadcast documents: the channel's day
  // stays whole, and they are booked by id.
  const time_t now = time(nullptr);
  for (const auto& s : g.shortProgrammes) {
    Programme p;
    p.id = s.id;
    p.service = s.service;
    p.start = now + s.startSeconds;
    p.seconds = s.seconds;
    p.minutes = (s.seconds + 59) / 60;
    p.title = s.title;
    p.genre = "Magacín";
    p.season = s.season;
    p.episode = s.episode;
    p.seriesTitle = s.series;
    if (!s.series.empty()) p.seriesCrid = "crid://quorvina.es/short/" + std::to_string(s.id);
    programmes_[p.id] = std::move(p);
  }
}

long GuideContent::Yesterday() {
  return static_cast<long>(time(nullptr) / 86400) - 1;
}

const Programme* GuideContent::Find(uint32_t id) const {
  auto it = programmes_.find(id);
  return it == programmes_.end() ? nullptr : &it->second;
}

std::string GuideContent::SegmentText(int day, size_t service) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%04X", SegmentId(day, service) & 0xFFFF);
  return text;
}

std::vector<StpSegment> GuideContent::Segments(int day, int version) const {
  std::vector<StpSegment> out;
  for (size_t k = 0; k < services_.size(); ++k) {
    out.push_back(
        StpSegment{kGuidePayload, SegmentId(day, k) & 0xFFFF, version & 0xFF, documents_[day][k]});
  }
  return out;
}

GuideSchedule::GuideSchedule(const GuideSettings& settings, size_t services,
                             Clock::time_point start)
    : settings_(settings), services_(services), start_(start) {}

bool GuideSchedule::InForce(const GuideChange& change, Clock::time_point now) const {
  return now - start_ >= std::chrono::seconds(change.afterSeconds);
}

int GuideSchedule::Changes(Clock::time_point now) const {
  int count = 0;
  for (const auto& c : settings_.changes) count += InForce(c, now) ? 1 : 0;
  return count;
}

int GuideSchedule::Version(int day, Clock::time_point now) const {
  int version = 1;
  for (const auto& c : settings_.changes)
    if (c.day == day && InForce(c, now)) version += c.bump;
  return version;
}

bool GuideSchedule::Dropped(int day, Clock::time_point now) const {
  for (const auto& c : settings_.changes)
    if (c.day == day && c.drop && InForce(c, now)) return true;
  return false;
}

GroupAddress GuideSchedule::Group(int day) const {
  GroupAddress group = settings_.first;
  group.address = LineUpReader::OffsetAddress(group.address, static_cast<uint32_t>(day));
  return group;
}

std::vector<GuideSchedule::Day> GuideSchedule::Announced(Clock::time_point now) const {
  std::vector<Day> days;
  for (int d = 0; d < settings_.days; ++d) {
    if (Dropped(d, now)) continue;
    Day day;
    day.index = d;
    day.group = Group(d);
    const int version = Version(d, now) & 0xFF;
    for (size_t k = 0; k < services_; ++k)
      day.segments.emplace_back(GuideContent::SegmentText(d, k), version);
    days.push_back(day);
  }
  return days;
}

}  // namespace headend
