#include "GuideContent.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "GuideDocuments.h"
#include "LineUpReader.h"
#include "ProgrammeGenerator.h"

namespace headend {

namespace {
constexpr int kGuidePayload = 0xF1;
// Far above the generated week's series numbers.
constexpr size_t kFirstShortSeries = 9001;
}  // namespace

GuideContent::GuideContent(const Scenario& scenario, long firstDay) : firstDay_(firstDay) {
  const GuideSettings& g = scenario.guide;
  for (const auto& s : scenario.services) {
    bool wanted = g.services.empty() ? s.replacement.empty() : false;
    for (const auto& id : g.services) wanted = wanted || id == s.id;
    if (wanted) services_.push_back(&s);
  }
  const std::string domain = scenario.domainSuffix.substr(scenario.domainSuffix[0] == '.' ? 1 : 0);
  const std::vector<Programme> shorts = ShortProgrammes(scenario, domain, time(nullptr));
  documents_.resize(static_cast<size_t>(g.days));
  for (int day = 0; day < g.days; ++day) {
    for (const Service* s : services_) {
      std::vector<Programme> programmes = ProgrammeGenerator::Day(*s, firstDay + day, day);
      // The scenario's programmes of this channel and day join the broadcast
      // schedule in start order, laid over the generated ones.
      for (size_t k = 0; k < shorts.size(); ++k) {
        const Programme& p = shorts[k];
        if (ServiceOf(scenario, g.shortProgrammes[k].service) != s->id ||
            p.start / 86400 != firstDay + day)
          continue;
        auto at = std::upper_bound(
            programmes.begin(), programmes.end(), p,
            [](const Programme& a, const Programme& b) { return a.start < b.start; });
        programmes.insert(at, p);
      }
      documents_[day].push_back(
          GuideDocuments::Schedule(*s, programmes, domain, scenario.indentedXml));
      for (auto& p : programmes) {
        p.service = s->id;
        programmes_.emplace(p.id, std::move(p));
      }
    }
  }
  // Every one is bookable and has details, in the broadcast guide or not.
  for (const Programme& p : shorts) programmes_[p.id] = p;
}

std::vector<Programme> GuideContent::ShortProgrammes(const Scenario& scenario,
                                                     const std::string& domain, time_t now) {
  // One series crid per series title, unless the scenario gives one.
  std::map<std::string, std::string> crids;
  for (const auto& s : scenario.guide.shortProgrammes) {
    if (s.series.empty() || crids.count(s.series) != 0) continue;
    const size_t number = kFirstShortSeries + crids.size();
    crids.emplace(s.series, "crid://" + domain + "/serie/" + std::to_string(number));
  }
  std::vector<Programme> out;
  for (const auto& s : scenario.guide.shortProgrammes) {
    Programme p;
    p.id = s.id;
    p.service = s.service;
    p.start = s.Start(now);
    p.seconds = s.seconds;
    p.minutes = (s.seconds + 59) / 60;
    p.title = s.title;
    p.genre = "Magacín";
    p.rating = "Suitable for all audiences";
    p.season = s.season;
    p.episode = s.episode;
    p.seriesTitle = s.series;
    if (!s.series.empty()) p.seriesCrid = s.seriesCrid.empty() ? crids[s.series] : s.seriesCrid;
    out.push_back(std::move(p));
  }
  return out;
}

std::string GuideContent::ServiceOf(const Scenario& scenario, const std::string& id) {
  // An HD twin shows its SD service's guide.
  for (const auto& s : scenario.services)
    if (s.id == id && !s.replacement.empty()) return s.replacement;
  return id;
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
