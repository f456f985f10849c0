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
