// Cloud recordings and catch-up over RTSP, from the host's lists to its
// player: the resume chooser, pause and speed, the bookmark stored at the
// close, a refused stream, and catch-up taking over live TV.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "E2eFixture.h"
#include "core/Player.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;
using hostsim::TimelineStep;

// A finished cloud recording served by headend's video server under a name
// its DNS server knows.
const char* const kCloud = R"({
  "cloud": {"rtspBase": "rtsp://cdn.quorvina.es:554/", "recordings": [
    {"id": 5001, "service": "1001", "name": "La gran película", "begin": -10800, "end": -3600,
     "bookmark": 3725, "productType": "3"}]},
  "rtsp": {"assets": [{"path": "/cloud/5001", "duration": 7200}]},
  "dns": {"records": [{"name": "vod.quorvina.es", "a": "172.26.24.10"},
                      {"name": "cdn.quorvina.es", "cname": "vod.quorvina.es"}]}})";

class RtspE2eTest : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    if (IsSkipped()) return;
    StartHeadend(Scenario(kCloud));
    hostsim::Host& host = StartHost();
    ASSERT_TRUE(host.load().ok);
    ASSERT_TRUE(host.waitForChannels(60s));
    host.fetchChannels();
    ASSERT_TRUE(host.waitForRecordings(30s));
  }

  hostsim::PlayResult Play(const std::string& id, const hostsim::PlayOptions& options) {
    return hostsim::Player(*host_).playBy([&] { host_->openRecordedStream(id); }, options);
  }
  std::vector<std::string> Offers() const {
    std::vector<std::string> texts;
    for (const auto& w : host_->gui().closedWindows("DialogContextIniciarEn.xml"))
      texts.push_back(w.labels.count(1008) ? w.labels.at(1008) : "");
    return texts;
  }
};

TEST_F(RtspE2eTest, RecordingResumesAtItsBookmarkAndKeepsWhereItStopped) {
  host_->gui().onNextWindow("DialogContextIniciarEn.xml",
                            [](hostsim::Window& w) { w.click(1008); });
  hostsim::PlayOptions o;
  o.duration = 9s;
  o.timeline = {{.at = 2, .kind = TimelineStep::Pause},
                {.at = 4, .kind = TimelineStep::Resume},
                {.at = 5, .kind = TimelineStep::Speed, .speed = 2000}};
  const hostsim::PlayResult r = Play("5001", o);
  ASSERT_TRUE(r.opened) << r.message;
  EXPECT_EQ(r.channelUid, 10000u);
  EXPECT_EQ(Offers(), std::vector<std::string>{"Continuar desde 1:02:05"});
  EXPECT_GT(r.packets, 50u);

  // The next play offers where this one stopped: 3725, plus 3 s at normal
  // speed and 4 s at twice that.
  host_->gui().onNextWindow("DialogContextIniciarEn.xml",
                            [](hostsim::Window& w) { w.click(1009); });
  o.timeline.clear();
  o.duration = 3s;
  const hostsim::PlayResult again = Play("5001", o);
  ASSERT_TRUE(again.opened) << again.message;
  const std::vector<std::string> offers = Offers();
  ASSERT_EQ(offers.size(), 2u);
  const int seconds = std::atoi(offers[1].substr(offers[1].rfind(':') + 1).c_str());
  EXPECT_EQ(offers[1].rfind("Continuar desde 1:02:", 0), 0u) << offers[1];
  EXPECT_GE(seconds, 9) << offers[1];
  EXPECT_LE(seconds, 20) << offers[1];
  // Button 1009 starts from the beginning.
  EXPECT_LT(again.streams.begin()->second.firstPts / 1e6, 3);
}

// A video server that refuses the stream: the user is told in the "Rtsp"
// box, and the host's player opens nothing.
TEST_F(E2eTest, ARefusedStreamIsToldInTheRtspBox) {
  if (IsSkipped()) return;
  std::string escenario = kCloud;
  escenario.insert(escenario.find("\"rtsp\": {") + 9,
                   R"("switches": {"DESCRIBE": {"status": 404}}, )");
  StartHeadend(Scenario(escenario));
  hostsim::Host& host = StartHost();
  ASSERT_TRUE(host.load().ok);
  ASSERT_TRUE(host.waitForChannels(60s));
  host.fetchChannels();
  ASSERT_TRUE(host.waitForRecordings(30s));
  hostsim::PlayOptions o;
  o.duration = 2s;
  const hostsim::PlayResult r =
      hostsim::Player(host).playBy([&] { host.openRecordedStream("5001"); }, o);
  EXPECT_FALSE(r.opened);
  const auto cajas = host.gui().closedWindows("DialogSI.xml");
  ASSERT_FALSE(cajas.empty());
  EXPECT_EQ(cajas.back().label(1), "Rtsp");
  EXPECT_EQ(cajas.back().label(9), "No se ha podido abrir el stream.");
}

// A programme of two hours ago picked from the guide's menu while live TV
// plays: the live stream closes and the host's player takes the catch-up
// stream the add-on asked it to open, from the programme's start.
TEST_F(E2eTest, CatchUpFromTheGuideTakesOverLiveTv) {
  if (IsSkipped()) return;
  std::ofstream(addonDir_ + "/ultimos7dias");
  StartHeadend(
      Scenario(R"({"lineUp":{"families":[],"services":[{"id":"1001","name":"Primera Cadena",)"
               R"("genre":"Generalistas","lcn":1,"address":"239.0.0.1","packages":["BASICO"]}]},)"
               R"("guide":{"days":2,"carousel":{"bitrate":8000000,"cyclePeriodMs":500}}})"));
  hostsim::Host& host = StartHost();
  ASSERT_TRUE(host.load().ok);
  ASSERT_TRUE(host.waitForChannels(60s));
  host.fetchChannels();
  const time_t now = time(nullptr);
  hostsim::Fetch guide;
  for (int i = 0; i < 60 && guide.data.epg.empty(); ++i) {
    if (i > 0) std::this_thread::sleep_for(500ms);
    guide = host.fetchEpg(1001, now - 3 * 3600, now - 2 * 3600);
  }
  ASSERT_FALSE(guide.data.epg.empty());
  const unsigned int uid = guide.data.epg.front().broadcastId;

  host.playback().openAsync(1001);
  for (int i = 0; i < 50 && host.playback().report().packets < 20; ++i)
    std::this_thread::sleep_for(100ms);
  ASSERT_GE(host.playback().report().packets, 20u) << "live TV never played";
  hostsim::PlayOptions o;
  o.duration = 4s;
  const hostsim::PlayResult r = hostsim::Player(host).playBy(
      [&] { EXPECT_EQ(host.callMenuHook(8, std::to_string(uid)).error, PVR_ERROR_NO_ERROR); }, o);
  ASSERT_TRUE(r.opened) << r.message;
  EXPECT_EQ(r.channelUid, 10000u);
  EXPECT_GT(r.packets, 50u);
  EXPECT_LT(r.streams.begin()->second.firstPts / 1e6, 3);
  EXPECT_NE(HeadendLog().find("PLAY rtsp://"), std::string::npos);
  EXPECT_NE(HeadendLog().find("/catchup/" + std::to_string(uid)), std::string::npos);
}

}  // namespace
}  // namespace e2e
