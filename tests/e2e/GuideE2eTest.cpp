// The programme guide from the operator's carousels to the host: a week of
// days received on a fresh installation, details fetched afterwards, a day
// whose version changes fetched again alone, a day no longer announced gone.
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "E2eFixture.h"
#include "E2eProbes.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Three channels with a guide (one with an HD twin that shares it) and
// short, fast carousels, so a whole week arrives in seconds.
std::string GuideScenario(const std::string& changes = "[]", const std::string& more = "") {
  return Scenario(
      R"({"lineUp":{"families":[],"services":[)"
      R"({"id":"1001","name":"Primera Cadena","genre":"Generalistas","lcn":1,"address":"239.0.0.1",)"
      R"("packages":["BASICO"],"parental":"TP","hd":{"id":"2001","address":"239.0.5.1","packages":["HD"]}},)"
      R"({"id":"1030","name":"Cine Estreno","genre":"Cine","lcn":30,"address":"239.0.0.30","packages":["CINE"]},)"
      R"({"id":"1040","name":"Series Xtra","genre":"Series","lcn":40,"address":"239.0.0.40","packages":["CINE"]}]},)"
      R"("guide":{"days":8,"carousel":{"bitrate":8000000,"cyclePeriodMs":500},"changes":)" +
      changes + "}" + more + "}");
}

const char* const kGuideChannels[] = {"1001", "1030", "1040"};

std::string DayTag(int day) {
  char tag[8];
  std::snprintf(tag, sizeof(tag), "0x%02X01", day);
  return tag;
}

class GuideE2eTest : public E2eTest {
 protected:
  size_t Files(const std::string& folder) const {
    size_t n = 0;
    for (const auto& entry : fs::directory_iterator(userDir_ + "/" + folder)) {
      n += entry.is_regular_file() && entry.path().filename() != "mapepg.xml" ? 1 : 0;
    }
    return n;
  }
  // Starts both sides and waits until every day is stored and every guide
  // file has its details.
  hostsim::Host& LoadWeek(const std::string& scenario) {
    StartHeadend(scenario);
    hostsim::Host& host = StartHost();
    EXPECT_TRUE(host.load().ok);
    EXPECT_TRUE(host.waitForChannels(30s));
    EXPECT_TRUE(WaitFor(
        [&] { return CountOf(ReadUserFile("EPG/mapepg.xml"), "EstaCargado=\"1\"") == 8; }, 90s))
        << ReadUserFile("EPG/mapepg.xml");
    EXPECT_TRUE(WaitFor([&] { return Files("EPG/Detalle") == 24; }, 120s)) << Files("EPG/Detalle");
    return host;
  }
  std::map<std::string, fs::file_time_type> Times() const {
    std::map<std::string, fs::file_time_type> times;
    for (const auto& entry : fs::directory_iterator(userDir_ + "/EPG")) {
      if (entry.is_regular_file()) times[entry.path().filename()] = entry.last_write_time();
    }
    return times;
  }
};

TEST_F(GuideE2eTest, AFreshInstallationGetsTheWeekAndThenTheDetails) {
  hostsim::Host& host = LoadWeek(GuideScenario());
  // One file per channel and day, named after the day's first segment.
  EXPECT_EQ(Files("EPG"), 24u);
  for (const char* channel : kGuideChannels) {
    for (int day = 0; day < 8; ++day) {
      EXPECT_FALSE(ReadUserFile("EPG/" + std::string(channel) + "_" + DayTag(day) + ".xml").empty())
          << channel << " " << day;
    }
  }
  // The details thread tells the host when it is done; the guide it asks
  // for then carries them.
  ASSERT_TRUE(host.waitForFollowUps(20s));
  const time_t now = time(nullptr);
  // The guide's UTC times are read as local standard time, then the
  // profile's offset (one hour) is added.
  const time_t utcYesterday = now / 86400 * 86400 - 86400;
  struct tm parts {};
  gmtime_r(&utcYesterday, &parts);
  parts.tm_isdst = 0;
  const time_t yesterday = mktime(&parts);
  for (unsigned int uid : {2001u, 1030u, 1040u}) {
    const hostsim::Fetch f =
        host.fetchEpg(uid, now - hostsim::Host::kEpgPast, now + hostsim::Host::kEpgFuture);
    ASSERT_EQ(f.error, PVR_ERROR_NO_ERROR);
    ASSERT_GT(f.data.epg.size(), 8u * 10) << uid;
    // Yesterday to six days ahead, back to back.
    EXPECT_EQ(f.data.epg.front().startTime, yesterday + 3600) << uid;
    EXPECT_EQ(f.data.epg.back().endTime, yesterday + 8 * 86400 + 3600) << uid;
    size_t withPlot = 0, fullGenre = 0, series = 0;
    for (const auto& e : f.data.epg) {
      withPlot += e.plot.find("\r\n") != std::string::npos ? 1 : 0;
      fullGenre += e.genreDescription.find('-') != std::string::npos ? 1 : 0;
      series += e.seriesNumber > 0 && e.episodeNumber > 0 ? 1 : 0;
      EXPECT_NE(e.iconPath.find("/logoprograma=" + std::to_string(e.broadcastId) + ";" +
                                std::to_string(uid)),
                std::string::npos);
    }
    EXPECT_GT(withPlot, 0u) << uid;
    EXPECT_GT(fullGenre, 0u) << uid;
    if (uid == 1040u) {
      EXPECT_GT(series, 0u);
    }
  }
  // The HD twin shows its SD channel's guide.
  EXPECT_EQ(host.fetchEpg(2001, now - hostsim::Host::kEpgPast, now + hostsim::Host::kEpgFuture)
                .data.epg.front()
                .broadcastId,
            host.pvr().epg(2001).front().broadcastId);
}

TEST_F(GuideE2eTest, AChangedDayAloneIsFetchedAgainAndADroppedDayGoes) {
  LoadWeek(GuideScenario());
  StopHost();
  const auto before = Times();
  ASSERT_EQ(before.size(), 25u);  // 24 guide files and the day table
  StartHeadend(GuideScenario(R"([{"day":2,"bump":1},{"day":7,"drop":true}])"));
  hostsim::Host& host = StartHost();
  ASSERT_TRUE(host.load().ok);
  ASSERT_TRUE(WaitFor(
      [&] {
        const std::string table = ReadUserFile("EPG/mapepg.xml");
        return CountOf(table, "<MapEPG") == 7 && CountOf(table, "EstaCargado=\"1\"") == 7;
      },
      90s))
      << ReadUserFile("EPG/mapepg.xml");
  EXPECT_NE(ReadUserFile("EPG/mapepg.xml").find("PrimerSegmento=\"0x0201\" Version=\"6\""),
            std::string::npos);
  const auto after = Times();
  for (const auto& [name, time] : before) {
    if (name == "mapepg.xml") continue;
    const bool dropped = name.find(DayTag(7)) != std::string::npos;
    const bool changed = name.find(DayTag(2)) != std::string::npos;
    EXPECT_EQ(after.count(name), dropped ? 0u : 1u) << name;
    if (!dropped) {
      EXPECT_EQ(after.at(name) != time, changed) << name;
    }
  }
  for (const char* channel : kGuideChannels) {
    EXPECT_TRUE(
        ReadUserFile("EPG/Detalle/" + std::string(channel) + "_" + DayTag(7) + ".xml").empty());
    EXPECT_FALSE(
        ReadUserFile("EPG/Detalle/" + std::string(channel) + "_" + DayTag(2) + ".xml").empty());
  }
}

TEST_F(GuideE2eTest, DestroyReturnsWhileDaysAreBeingReceived) {
  // Silent day groups: every receiver waits on its socket when the host quits.
  StartHeadend(Scenario(R"({"guide":{"days":8,"carousel":{"silent":true}}})"));
  hostsim::Host& host = StartHost();
  ASSERT_TRUE(host.load().ok);
  ASSERT_TRUE(host.waitForChannels(30s));
  ASSERT_TRUE(WaitForUserFile("EPG/mapepg.xml", 30s));
  std::this_thread::sleep_for(1s);
  const auto start = Clock::now();
  StopHost();
  EXPECT_LT(Clock::now() - start, 3s);
  EXPECT_EQ(CountOf(ReadUserFile("EPG/mapepg.xml"), "EstaCargado=\"1\""), 0u);
}

TEST_F(GuideE2eTest, DestroyReturnsWhileDetailsAreBeingFetched) {
  // The application server holds every details request unanswered.
  StartHeadend(GuideScenario(
      "[]", R"(,"appServer":{"switches":{"getEpgInfo":{"noAnswer":"hold","holdMs":60000}}})"));
  fs::create_directories(userDir_);
  std::ofstream(userDir_ + "/settings.xml")
      << "<settings><setting id=\"ModoDebug\" value=\"true\" /></settings>";
  hostsim::Host& host = StartHost();
  ASSERT_TRUE(host.load().ok);
  ASSERT_TRUE(host.waitForChannels(30s));
  ASSERT_TRUE(WaitFor(
      [&] { return CountOf(ReadUserFile("EPG/mapepg.xml"), "EstaCargado=\"1\"") == 8; }, 90s));
  // Every request after the days is one of the details thread's.
  const auto requests = [&] {
    return host.journal().countContaining(hostsim::EntryKind::Log, "conectarhttp");
  };
  const size_t before = requests();
  ASSERT_TRUE(WaitFor([&] { return requests() > before; }, 30s));
  std::this_thread::sleep_for(500ms);
  const auto start = Clock::now();
  StopHost();
  EXPECT_LT(Clock::now() - start, 3s);
  EXPECT_EQ(Files("EPG/Detalle"), 0u);
}

}  // namespace
}  // namespace e2e
