// The guide's week: schedules per channel and day, the record's days as the
// scenario's changes take effect, and the details replies.
#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <set>
#include <utility>
#include <vector>

#include "AppAnswers.h"
#include "GuideAnswers.h"
#include "GuideContent.h"
#include "GuideDocuments.h"
#include "HttpRequest.h"
#include "ProgrammeGenerator.h"
#include "ScenarioLoader.h"

using namespace headend;

namespace {

const char kScenario[] = R"({
  "packages": [{"name": "P1"}],
  "lineUp": {"services": [
    {"id": "7", "name": "Cine", "genre": "Cine", "lcn": 5, "address": "239.0.0.7", "packages": ["P1"],
     "hd": {"id": "8", "address": "239.0.5.7", "packages": ["P1"]}},
    {"id": "9", "name": "Series", "genre": "Series", "lcn": 2, "address": "239.0.0.9", "packages": ["P1"]}
  ]},
  "guide": {"days": 3, "address": "239.0.3.1:3937",
            "changes": [{"day": 1, "bump": 2, "afterSeconds": 10}, {"day": 2, "drop": true, "afterSeconds": 20}]}
})";

TEST(Guide, DaysBackToBackWithUniqueIdsAndTheTwinsLeftOut) {
  Scenario s;
  std::string errors;
  ASSERT_TRUE(ScenarioLoader::LoadText(kScenario, &s, &errors)) << errors;
  const GuideContent guide(s, 20000);
  ASSERT_EQ(guide.Services().size(), 2u);  // 7 and 9; the twin 8 shows 7's guide
  EXPECT_EQ(guide.Segments(1, 4).front().segmentId, 0x0101);
  std::set<uint32_t> ids;
  for (const Service* service : guide.Services()) {
    for (long day = 20000; day < 20003; ++day) {
      const auto programmes = ProgrammeGenerator::Day(*service, day);
      time_t next = day * 86400;
      for (const auto& p : programmes) {
        EXPECT_EQ(p.start, next);
        EXPECT_TRUE(ids.insert(p.id).second) << p.id;
        next += p.minutes * 60;
      }
      EXPECT_EQ(next, (day + 1) * 86400);
    }
  }
  const std::string& doc = guide.Document(0, 0);
  EXPECT_NE(doc.find("<Schedule serviceIDRef=\"7.quorvina.es\""), std::string::npos);
  EXPECT_NE(doc.find("<EventStartTime>2024-10-04T00:00:00.000Z</EventStartTime>"),
            std::string::npos);
}

TEST(Guide, ChangesRaiseVersionsAndDropDays) {
  Scenario s;
  std::string errors;
  ASSERT_TRUE(ScenarioLoader::LoadText(kScenario, &s, &errors)) << errors;
  const auto start = GuideSchedule::Clock::now();
  const GuideSchedule schedule(s.guide, 2, start);
  const struct {
    int seconds;
    size_t days;
    int dayOneVersion;
    int changes;
  } cases[] = {{0, 3, 1, 0}, {10, 3, 3, 1}, {25, 2, 3, 2}};
  for (const auto& c : cases) {
    const auto days = schedule.Announced(start + std::chrono::seconds(c.seconds));
    ASSERT_EQ(days.size(), c.days) << c.seconds;
    EXPECT_EQ(days[1].segments[1], std::make_pair(std::string("0x0102"), c.dayOneVersion));
    EXPECT_EQ(days[1].group.address, "239.0.3.2");
    EXPECT_EQ(schedule.Changes(start + std::chrono::seconds(c.seconds)), c.changes);
  }
  EXPECT_FALSE(ScenarioLoader::LoadText(
      R"({"guide": {"days": 2, "changes": [{"day": 2, "drop": true}], "services": ["5"]}})", &s,
      &errors));
  EXPECT_NE(errors.find("day 2 is not announced"), std::string::npos);
  EXPECT_NE(errors.find("unknown service 5"), std::string::npos);
}

TEST(Guide, DurationsAndDetailsReplies) {
  const struct {
    int minutes;
    const char* text;
  } durations[] = {{90, "PT1H30M"}, {45, "PT45M"}, {120, "PT2H"}, {0, "PT0M"}};
  for (const auto& d : durations) EXPECT_EQ(GuideDocuments::Duration(d.minutes), d.text);

  Programme p;
  p.directors = {"A", "B"};
  p.year = 2019;
  p.description = "uno\\ndos";
  rapidjson::Document even, odd, unknown;
  even.Parse(GuideDocuments::DetailsReply(&p, 10).c_str());
  odd.Parse(GuideDocuments::DetailsReply(&p, 11).c_str());
  unknown.Parse(GuideDocuments::DetailsReply(nullptr, 12).c_str());
  EXPECT_EQ(even["resultCode"].GetInt(), 0);
  EXPECT_STREQ(odd["resultCode"].GetString(), "0");
  EXPECT_EQ(even["resultData"]["productionDate"].GetInt(), 2019);
  EXPECT_STREQ(odd["resultData"]["productionDate"].GetString(), "2019");
  EXPECT_EQ(even["resultData"]["directors"].Size(), 2u);
  EXPECT_STREQ(even["resultData"]["description"].GetString(), "uno\\ndos");
  EXPECT_EQ(unknown["resultCode"].GetInt(), 1);
  EXPECT_FALSE(unknown.HasMember("resultData"));
}

// The scenario's own programmes: in the schedule of their channel (an HD
// twin's in its SD service's) and UTC day, with their series, seconds and
// the clock time of a named day; wrong clock times are refused.
TEST(Guide, ScenarioProgrammesJoinTheirChannelsDay) {
  const char kShorts[] = R"({"short": [
    {"service": "8", "id": 901, "at": "yesterday 21:30", "seconds": 30, "title": "El tiempo",
     "series": "El tiempo", "season": 3, "episode": 7},
    {"service": "9", "id": 902, "at": "tomorrow 06:05:09", "seconds": 90, "title": "B",
     "series": "Otra", "seriesCrid": "crid://x.es/serie/77"},
    {"service": "9", "id": 903, "at": "today 00:00", "seconds": 120, "title": "C",
     "series": "El tiempo", "season": 3, "episode": 8}]})";
  Scenario s;
  std::string errors;
  std::string text = kScenario;
  text.replace(text.find("\"changes\""), 0, std::string(kShorts + 1, sizeof(kShorts) - 3) + ",");
  ASSERT_TRUE(ScenarioLoader::LoadText(text, &s, &errors)) << errors;
  const long yesterday = GuideContent::Yesterday();
  const GuideContent guide(s, yesterday);
  const auto utc = [](time_t t) {
    char out[32];
    struct tm parts {};
    gmtime_r(&t, &parts);
    std::strftime(out, sizeof out, "%Y-%m-%dT%H:%M:%S.000Z", &parts);
    return std::string(out);
  };
  const struct {
    uint32_t id;
    int day;
    size_t service;  // index in the guide's services: 7, 9
    time_t start;
    const char* duration;
    const char* crid;
  } cases[] = {
      {901, 0, 0, yesterday * 86400 + 21 * 3600 + 1800, "PT30S", "crid://quorvina.es/serie/9001"},
      {902, 2, 1, (yesterday + 2) * 86400 + 6 * 3600 + 5 * 60 + 9, "PT1M30S",
       "crid://x.es/serie/77"},
      {903, 1, 1, (yesterday + 1) * 86400, "PT2M", "crid://quorvina.es/serie/9001"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    const std::string& doc = guide.Document(c.day, c.service);
    const size_t at = doc.find("crid://quorvina.es/" + std::to_string(c.id) + "\"");
    ASSERT_NE(at, std::string::npos);
    const std::string event = doc.substr(at, doc.find("</ScheduleEvent>", at) - at);
    EXPECT_NE(event.find("<EventStartTime>" + utc(c.start) + "</EventStartTime>"),
              std::string::npos);
    EXPECT_NE(event.find(std::string("<EventDuration>") + c.duration), std::string::npos);
    EXPECT_NE(event.find(std::string("<EpisodeOf crid=\"") + c.crid), std::string::npos);
    // In start order: the next event starts no earlier.
    const size_t next = doc.find("<EventStartTime>", at + event.size());
    if (next != std::string::npos) {
      EXPECT_GE(doc.substr(next + 16, 24), utc(c.start));
    }
    ASSERT_NE(guide.Find(c.id), nullptr);
    EXPECT_EQ(guide.Find(c.id)->start, c.start);
    for (int day = 0; day < guide.Days(); ++day) {
      for (size_t k = 0; k < guide.Services().size(); ++k) {
        if (day == c.day && k == c.service) continue;
        EXPECT_EQ(guide.Document(day, k).find("quorvina.es/" + std::to_string(c.id) + "\""),
                  std::string::npos);
      }
    }
  }
  for (const char* wrong : {"today 24:00", "today 8:00", "ayer 21:30", "tomorrow 21:30:5"}) {
    text = std::string(R"({"lineUp": {"services": [{"id": "1", "address": "239.0.0.1"}]},)") +
           R"("guide": {"short": [{"service": "1", "at": ")" + wrong + "\"}]}}";
    EXPECT_FALSE(ScenarioLoader::LoadText(text, &s, &errors)) << wrong;
    EXPECT_NE(errors.find("is not yesterday|today|tomorrow"), std::string::npos) << errors;
  }
}

// A path shorter than the image suffix, and ids that are not unsigned 32-bit.
TEST(Guide, RoutesRefuseShortPathsAndSignedIds) {
  Scenario s;
  std::string errors;
  ASSERT_TRUE(ScenarioLoader::LoadText(kScenario, &s, &errors)) << errors;
  const GuideContent guide(s, 20000);
  const uint32_t id = ProgrammeGenerator::Day(*guide.Services().front(), 20000).front().id;
  const std::string details = "/appserver/bktv.do?action=getEpgInfo&extInfoID=";
  for (const auto& [target, found] : std::vector<std::pair<std::string, bool>>{
           {std::string(GuideAnswers::kImagePath) + "1", false},
           {details + std::to_string(id), true},
           {details + "-" + std::to_string(4294967296ull - id), false},
           {details + std::to_string(4294967296ull + id), false}}) {
    HttpReply reply;
    ASSERT_TRUE(GuideAnswers::Answer(
        guide, HttpRequest::Parse("GET " + target + " HTTP/1.1\r\n\r\n"), &reply));
    EXPECT_EQ(reply.body.find("resultData") != std::string::npos, found) << target;
  }
}

}  // namespace
