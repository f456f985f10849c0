// Series episodes of the broadcast guide through a real host and operator:
// timers added from the guide record into the series folders, and a series
// rule scheduled from the timer's question books, records and tracks an
// episode while its repeat elsewhere stays unbooked.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <thread>

#include "E2eFixture.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Three channels with a guide and fast carousels; the guide's clock is the
// host's (UTC, offset 0), so the scenario's seconds are the add-on's.
std::string SeriesScenario(const std::string& shorts) {
  return Scenario(
      R"({"subscriber":{"gmtOffset":0},"lineUp":{"families":[],"services":[)"
      R"({"id":"1001","name":"Primera Cadena","genre":"Generalistas","lcn":1,"address":"239.0.0.1","packages":["BASICO"]},)"
      R"({"id":"1030","name":"Cine Estreno","genre":"Cine","lcn":30,"address":"239.0.0.30","packages":["CINE"]},)"
      R"({"id":"1040","name":"Series Xtra","genre":"Series","lcn":40,"address":"239.0.0.40","packages":["CINE"]}]},)"
      R"("guide":{"days":3,"carousel":{"bitrate":8000000,"cyclePeriodMs":500},"short":)" +
      shorts + "}}");
}

// The kinds of a file's streams as ffprobe reads them ("video", "audio"...).
std::string StreamKinds(const std::string& path) {
  const std::string command =
      "ffprobe -v error -show_entries stream=codec_type -of csv=p=0 '" + path + "' 2>/dev/null";
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char line[64];
    while (fgets(line, sizeof line, p) != nullptr) out += line;
    pclose(p);
  }
  return out;
}

bool XmlReadable(const std::string& path) {
  return std::system(("xmllint --noout '" + path + "' 2>/dev/null").c_str()) == 0;
}

class SeriesGuideE2eTest : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    setenv("TZ", "UTC", 1);
    tzset();
  }
  hostsim::Host& Start(const std::string& shorts) {
    started_ = Clock::now();
    StartHeadend(SeriesScenario(shorts));
    folder_ = root_ + "/series";
    fs::create_directories(folder_);
    hostsim::Host& host =
        LoadWithSettings("<setting id=\"recordfolder\" value=\"" + root_ + "/\" />" +
                         "<setting id=\"recordfolderseries\" value=\"" + folder_ + "/\" />" +
                         "<setting id=\"TipoGrabacionPorDefecto\" value=\"2\" />"
                         "<setting id=\"minutosantes\" value=\"0\" />"
                         "<setting id=\"minutosdespues\" value=\"0\" />");
    host.fetchRecordings();  // the library's first listing
    return host;
  }
  static bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
      if (Clock::now() >= deadline) return false;
      std::this_thread::sleep_for(200ms);
    }
    return true;
  }
  // Seconds since the headend started: the scenario's clock.
  double Elapsed() const { return std::chrono::duration<double>(Clock::now() - started_).count(); }
  // Waits until the host's guide of the channel shows the programme.
  bool InGuide(unsigned int channel, unsigned int id, std::chrono::seconds timeout) {
    return WaitFor(
        [&] {
          for (const auto& e : host_->pvr().epg(channel))
            if (e.broadcastId == id) return true;
          return false;
        },
        timeout);
  }
  // A timer as the host fills it from a guide entry.
  hostsim::RecordingCall AddFromGuide(unsigned int channel, unsigned int id) {
    hostsim::TimerEntry t;
    t.clientChannelUid = static_cast<int>(channel);
    t.epgUid = id;
    t.priority = 50;
    t.lifetime = 99;
    for (const auto& e : host_->pvr().epg(channel)) {
      if (e.broadcastId != id) continue;
      t.title = e.title;
      t.startTime = e.startTime;
      t.endTime = e.endTime;
      t.summary = e.plot;
      t.genreType = e.genreType;
    }
    return host_->addTimer(t);
  }
  // The listed timer with that index (or of that guide entry); clientIndex
  // 0 when it is not listed.
  hostsim::TimerEntry Timer(unsigned int index, bool byEntry = false) {
    for (const auto& t : host_->fetchTimers().data.timers)
      if ((byEntry ? t.epgUid : t.clientIndex) == index) return t;
    return {};
  }
  hostsim::TimerEntry ForEntry(unsigned int epgUid) { return Timer(epgUid, true); }

  Clock::time_point started_;
  std::string folder_;
};

TEST_F(SeriesGuideE2eTest, GuideTimersOfAnEpisodeRecordIntoItsSeasonFolder) {
  hostsim::Host& host = Start(R"([
      {"service":"1001","id":910001,"startSeconds":14,"seconds":5,"title":"El tiempo",
       "series":"El tiempo","season":3,"episode":7},
      {"service":"1030","id":910002,"startSeconds":16,"seconds":5,"title":"El tiempo",
       "series":"El tiempo","season":3,"episode":7}])");
  // "No" to the series question: the episodes are recorded, the series not scheduled.
  host.gui().onWindow("DialogSiNo.xml", [](hostsim::Window& w) { w.click(10); });
  ASSERT_TRUE(InGuide(1001, 910001, 20s));
  ASSERT_TRUE(InGuide(1030, 910002, 5s));
  ASSERT_LT(Elapsed(), 12.0) << "too late to book before the start";
  const std::string season = folder_ + "/El tiempo/Temporada 3";
  for (unsigned int channel : {1001u, 1030u}) {
    const unsigned int id = channel == 1001u ? 910001u : 910002u;
    ASSERT_EQ(AddFromGuide(channel, id).error, PVR_ERROR_NO_ERROR);
    const hostsim::TimerEntry t = Timer(id);
    EXPECT_EQ(t.state, 1) << id;
    EXPECT_EQ(t.directory, season) << id;
  }
  ASSERT_TRUE(host.gui().waitForClosed("DialogSiNo.xml", 2, 10s));
  for (const auto& w : host.gui().closedWindows("DialogSiNo.xml")) {
    EXPECT_EQ(w.label(9), "\xc2\xbfProgramar la grabaci\xc3\xb3n de la serie \"El tiempo\"?");
    EXPECT_EQ(w.closingStep, "click 10");
  }

  const std::string first = season + "/03x07 El tiempo.mpeg";
  const std::string second = season + "/03x07 El tiempo 1.mpeg";
  ASSERT_TRUE(WaitFor([&] { return Timer(910002).clientIndex == 0; }, 40s)) << Elapsed();
  for (const std::string& file : {first, second}) {
    ASSERT_TRUE(fs::exists(file)) << file;
    EXPECT_GT(fs::file_size(file), 500000u) << file;
  }
  // Both in the library (beside the operator's cloud recording of the episode).
  std::set<std::string> urls;
  for (const auto& r : host.fetchRecordings().data.recordings)
    if (r.title == "El tiempo" && r.streamUrl.rfind(season, 0) == 0) urls.insert(r.streamUrl);
  EXPECT_EQ(urls, (std::set<std::string>{first, second}));
  EXPECT_TRUE(host.jsonRpc().waitFor("VideoLibrary.Scan", 5s));
  EXPECT_FALSE(fs::exists(userDir_ + "/Series/Grabaciones/El tiempo.xml"));
}

TEST_F(SeriesGuideE2eTest, AScheduledSeriesRecordsAndTracksAnEpisodeButNotItsRepeat) {
  // The key of a title with accents, ":" and "&": plain vowels, blanks.
  const std::string serie = "\xc3\x81guila Roja: F\xc3\xa9nix & Co";
  const std::string key = "Aguila Roja  Fenix   Co";
  hostsim::Host& host = Start(R"([
      {"service":"1001","id":920001,"startSeconds":600,"seconds":60,"title":"Primero",
       "series":"\u00c1guila Roja: F\u00e9nix & Co","season":2,"episode":1},
      {"service":"1030","id":920002,"startSeconds":16,"seconds":5,"title":"F\u00e9nix: cap\u00edtulo 2",
       "series":"\u00c1guila Roja: F\u00e9nix & Co","season":2,"episode":2},
      {"service":"1040","id":920003,"startSeconds":900,"seconds":60,"title":"Repetido",
       "series":"\u00c1guila Roja: F\u00e9nix & Co","season":2,"episode":2},
      {"service":"1040","id":930001,"startSeconds":800,"seconds":60,"title":"Otra 1",
       "series":"Otra serie","season":1,"episode":1},
      {"service":"1030","id":930002,"startSeconds":1000,"seconds":60,"title":"Otra 2",
       "series":"Otra serie","season":1,"episode":2}])");
  // Yes to the series question, locally, for both series.
  host.gui().onWindow("DialogSiNo.xml", [](hostsim::Window& w) { w.click(11); });
  host.gui().onWindow("DialogOpcionesGrabacion.xml", [](hostsim::Window& w) {
    w.setRadio(7, false);
    w.click(11);
  });
  host.gui().onWindow("DialogSI.xml", [](hostsim::Window& w) { w.action(10); });
  ASSERT_TRUE(InGuide(1001, 920001, 20s));
  ASSERT_TRUE(InGuide(1040, 930001, 5s));
  ASSERT_LT(Elapsed(), 12.0) << "too late to book before the episode";

  ASSERT_EQ(AddFromGuide(1001, 920001).error, PVR_ERROR_NO_ERROR);
  const std::string rule = "Series/Grabaciones/" + key + ".xml";
  ASSERT_TRUE(WaitForUserFile(rule, 10s));
  const std::string stored = ReadUserFile(rule);
  EXPECT_NE(stored.find("<IdStrSerie Value=\"" + key + "\" />\n<Descripcion Value=\"" +
                        "\xc3\x81guila Roja: F\xc3\xa9nix &amp; Co\" />\n"),
            std::string::npos)
      << stored;
  EXPECT_NE(stored.find("<Cloud Value=\"0\" />\n<ProgramarGrabaciones Value=\"1\" />\n"),
            std::string::npos)
      << stored;
  EXPECT_TRUE(XmlReadable(userDir_ + "/" + rule));
  // The pass books the next episode; the repeat of its episode waits.
  const std::string season = folder_ + "/" + key + "/Temporada 2";
  ASSERT_TRUE(WaitFor([&] { return ForEntry(920002).clientIndex != 0; }, 5s)) << Elapsed();
  EXPECT_EQ(ForEntry(920002).directory, season);
  EXPECT_EQ(Timer(90000).title, "Serie: " + serie);
  EXPECT_EQ(ForEntry(920003).clientIndex, 0u);

  // Recorded, registered and tracked.
  const std::string file = season + "/02x02 Fenix  capitulo 2.mpeg";
  const std::string tracking = "Series/Tracking/" + key + ".xml";
  ASSERT_TRUE(WaitFor([&] { return ForEntry(920002).clientIndex == 0; }, 30s)) << Elapsed();
  const std::string kinds = StreamKinds(file);
  EXPECT_NE(kinds.find("video"), std::string::npos) << file;
  EXPECT_NE(kinds.find("audio"), std::string::npos) << file;
  const std::string track = ReadUserFile(tracking);
  EXPECT_NE(track.find("<Track>\n<IdTrack Value=\"2-2\" />\n"
                       "<Descripcion Value=\"F\xc3\xa9nix: cap\xc3\xadtulo 2\" />\n"
                       "<iChannelNumber Value=\"1030\" />\n<iTemporada Value=\"2\" />\n"
                       "<iCapitulo Value=\"2\" />\n<iUniqueBroadcastId Value=\"920002\" />\n"),
            std::string::npos)
      << track;
  EXPECT_TRUE(XmlReadable(userDir_ + "/" + tracking));

  // Scheduling a second series wakes a pass over both rules: it books the
  // other series' next episode, and the tracked episode's repeat still not.
  ASSERT_EQ(AddFromGuide(1040, 930001).error, PVR_ERROR_NO_ERROR);
  ASSERT_TRUE(WaitFor([&] { return ForEntry(930002).clientIndex != 0; }, 10s)) << Elapsed();
  EXPECT_EQ(Timer(90001).title, "Serie: Otra serie");
  EXPECT_EQ(ForEntry(920003).clientIndex, 0u);
}

}  // namespace
}  // namespace e2e
