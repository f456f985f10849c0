// Live TV from the operator's multicast channels to the host's player: what
// the host gets of each kind of channel, pause and resume through the
// timeshift file, channel switches, the host's JSON-RPC interface and bad
// input.
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "E2eFixture.h"
#include "E2eProbes.h"
#include "core/Player.h"
#include "services/tcpJSON.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using hostsim::TimelineStep;

// Channels of the default line-up, and the switches the headend gives them.
constexpr unsigned int kSd = 1005, kUdp = 1006, kExtension = 1007, kFaulty = 1008, kSilent = 1009,
                       kHd = 2001, kFile = 9001;
const char* const kTv = R"({"tv":{"channels":[{"id":"1006","transport":"udp"},
  {"id":"1007","csrcCount":2,"rtpExtensionWords":3},
  {"id":"1008","garbageEvery":5,"clipChange":{"afterMs":2500,"to":"hd"}},
  {"id":"1009","silent":true}]}})";
const std::string kClips = fs::path(HEADEND_BIN).parent_path().string() + "/clips/";

// One line per stream of the file, in stream order: the entry's value.
std::string Probe(const std::string& entry, const std::string& file) {
  return Shell("ffprobe -v error -show_entries stream=" + entry + " -of flat " + file +
               " | grep ^streams | cut -d'\"' -f2");
}

class LiveE2eTest : public E2eTest {
 protected:
  // The operator's network with its TV channels, and a host that has the
  // line-up and keeps the timeshift file in the test's folder.
  hostsim::Host& Start(const std::string& timeshiftFolder = "") {
    StartHeadend(Scenario(kTv));
    folder_ = timeshiftFolder.empty() ? root_ + "/ts" : timeshiftFolder;
    fs::create_directories(folder_);
    fs::create_directories(userDir_ + "/Canales");
    std::ofstream(userDir_ + "/settings.xml")
        << "<settings><setting id=\"timeshiftfolder\" value=\"" << folder_ << "/\" /></settings>";
    std::ofstream(userDir_ + "/Canales/canalesexternos.xml")
        << "<Canales><Canal NumeroCanal=\"900\" ID=\"9001\" Nombre=\"Fichero\" BrastokeTV=\"0\" "
           "servidor=\""
        << kClips << "sd.ts\" puerto=\"0\" /></Canales>";
    hostsim::Host& host = StartHost();
    EXPECT_TRUE(host.load().ok);
    EXPECT_TRUE(host.waitForChannels(30s));
    EXPECT_EQ(host.fetchChannels().error, PVR_ERROR_NO_ERROR);
    return host;
  }
  hostsim::PlayResult Play(unsigned int uid, std::chrono::milliseconds duration,
                           const std::string& out = "", std::vector<TimelineStep> timeline = {}) {
    hostsim::PlayOptions options;
    options.duration = duration;
    options.outFile = out;
    options.timeline = std::move(timeline);
    return hostsim::Player(*host_).play(uid, options);
  }
  bool TimeShiftFile() const { return fs::exists(folder_ + "/timeshift.ts"); }

  std::string folder_;
};

TEST_F(LiveE2eTest, SdAndHdChannelsGiveTheirCodecsAndSizesAndAFileWithBothStreams) {
  Start();
  const struct {
    unsigned int uid;
    const char* clip;
    const char* size;
  } cases[] = {{kSd, "sd.ts", "720x576"}, {kHd, "hd.ts", "1920x1080"}};
  for (const auto& c : cases) {
    const std::string out = root_ + "/" + c.clip;
    const hostsim::PlayResult r = Play(c.uid, 3s, out);
    ASSERT_TRUE(r.opened) << c.uid;
    ASSERT_EQ(r.properties.iStreamCount, 2u) << c.uid;
    const auto video = r.properties.stream[0];
    const auto audio = r.properties.stream[1];
    EXPECT_EQ(r.streams.at(0).codec + "\n" + r.streams.at(1).codec + "\n",
              Probe("codec_name", kClips + c.clip));
    EXPECT_EQ(std::to_string(video.iWidth) + "x" + std::to_string(video.iHeight), c.size);
    EXPECT_STREQ(audio.strLanguage, "spa");
    EXPECT_EQ(Probe("codec_type", out), "video\naudio\n") << c.uid;
    // The file's clock is the stream's: about the 3 s that were played.
    EXPECT_EQ(Probe("width,height", out), Probe("width,height", kClips + c.clip)) << c.uid;
    EXPECT_NEAR(std::atof(Probe("duration", out).c_str()), 3.0, 1.0) << c.uid;
  }
}

// The channel opened by its address is a file: its clip's frames, then its end.
TEST_F(LiveE2eTest, RtpRawExtensionHeaderAndUrlChannelsPlayWithoutGaps) {
  Start();
  for (unsigned int uid : {kSd, kUdp, kExtension, kFile}) {
    const hostsim::PlayResult r = Play(uid, 2s);
    ASSERT_TRUE(r.opened) << uid;
    EXPECT_GT(r.streams.at(0).packets, 20u) << uid;
    EXPECT_GT(r.streams.at(1).packets, 40u) << uid;
    EXPECT_TRUE(r.gaps.empty()) << uid;
  }
  EXPECT_EQ(Play(kFile, 1s).packets, 320u);
}

// Every frame of the clips lasts 40 ms (video) or 24 ms (audio): a stream
// that lost nothing has one packet per frame between its first and last
// time stamp.
TEST_F(LiveE2eTest, APauseLosesNothingAndReplaysFromTheTimeshiftFile) {
  hostsim::Host& host = Start();
  hostsim::LivePlayback& player = host.playback();
  ASSERT_TRUE(player.open(kSd));
  std::this_thread::sleep_for(1500ms);
  player.pause();
  ASSERT_TRUE(player.waitIdle(2s));
  const time_t paused = time(nullptr);
  int replaying = 0;
  EXPECT_TRUE(WaitFor([&] { return TimeShiftFile(); }, 2s)) << "recording";
  std::this_thread::sleep_for(3s);
  player.resume();
  ASSERT_TRUE(player.waitIdle(2s));
  // The replay catches up quickly; until then it runs 3 s behind.
  for (hostsim::PlaybackTimes t; (t = player.times()).playing != 0;
       ++replaying, std::this_thread::sleep_for(1ms)) {
    EXPECT_NEAR(static_cast<double>(t.playing + 3 - time(nullptr)), 0.0, 1.0);
    EXPECT_NEAR(static_cast<double>(t.bufferStart - paused), 0.0, 1.0);
  }
  EXPECT_GT(replaying, 0);
  EXPECT_TRUE(WaitFor([&] { return !TimeShiftFile(); }, 5s)) << "gone after catching up";
  std::this_thread::sleep_for(1s);
  player.pause();  // and a file of a pause that is closed goes with the close
  ASSERT_TRUE(WaitFor([&] { return TimeShiftFile(); }, 2s));
  const hostsim::PlaybackReport r = player.stop();
  EXPECT_FALSE(TimeShiftFile());
  EXPECT_TRUE(r.gaps.empty());
  const double frame[] = {40000, 24000};
  for (int id : {0, 1}) {
    const hostsim::StreamReport& s = r.streams.at(id);
    EXPECT_EQ(s.packets, static_cast<size_t>(std::lround((s.lastPts - s.firstPts) / frame[id])) + 1)
        << "stream " << id;
  }
}

TEST_F(LiveE2eTest, ASwitchDuringTimeshiftEndsTheRecorder) {
  hostsim::Host& host = Start();
  hostsim::LivePlayback& player = host.playback();
  ASSERT_TRUE(player.open(kSd));
  std::this_thread::sleep_for(1s);
  player.pause();
  ASSERT_TRUE(WaitFor([&] { return TimeShiftFile(); }, 2s));
  player.switchChannel(kUdp);
  ASSERT_TRUE(player.waitIdle(5s));
  EXPECT_FALSE(TimeShiftFile());
  player.resume();
  std::this_thread::sleep_for(1500ms);
  const hostsim::PlaybackReport r = player.stop();
  EXPECT_EQ(r.channelUid, kUdp);
  EXPECT_TRUE(host.journal().contains(hostsim::EntryKind::Host, "SwitchChannel 1006"));
  EXPECT_GT(r.packets, 50u);
}

// The host quits while paused: the recorder is writing the timeshift file.
TEST_F(LiveE2eTest, QuittingDuringATimeshiftReturnsInTimeAndLeavesNoFile) {
  hostsim::Host& host = Start();
  hostsim::LivePlayback& player = host.playback();
  ASSERT_TRUE(player.open(kSd));
  std::this_thread::sleep_for(1s);
  player.pause();
  ASSERT_TRUE(WaitFor([&] { return TimeShiftFile(); }, 2s));
  std::this_thread::sleep_for(500ms);
  const auto start = Clock::now();
  StopHost();
  EXPECT_LT(Clock::now() - start, 3s);
  EXPECT_FALSE(TimeShiftFile());
}

TEST_F(LiveE2eTest, PlayerOpenOverJsonRpcMakesTheHostTuneTheChannel) {
  hostsim::Host& host = Start();
  tcpJSON json;
  const uint32_t canal = json.ObtenerCanalporNombre("TELE cinco VILLAS");
  ASSERT_NE(canal, tcpJSON::kSinCanal);
  EXPECT_NE(json.ObtenerCanalporNombre("v.o.d"), tcpJSON::kSinCanal);
  EXPECT_TRUE(json.EstablecerCanalPVR(canal));
  EXPECT_TRUE(WaitFor([&] { return host.playback().report().packets > 20; }, 10s));
  EXPECT_TRUE(host.journal().contains(hostsim::EntryKind::Host, "OpenLiveStream 1005"));
  EXPECT_TRUE(json.PararCanalPVR());
  EXPECT_TRUE(WaitFor([&] { return !host.playback().active() && !TimeShiftFile(); }, 5s));
}

// Garbage datagrams, a programme that changes its streams, a timeshift file
// on a full disk and a group that never answers: the host gets markers and
// empty packets, never a crash, and the next channel plays.
TEST_F(LiveE2eTest, DamagedStreamsAFullDiskAndASilentGroupLeaveTheAddOnUsable) {
  fs::create_directories(root_ + "/full");
  fs::create_symlink("/dev/full", root_ + "/full/timeshift.ts");
  hostsim::Host& host = Start(root_ + "/full");
  const hostsim::PlayResult r =
      Play(kFaulty, 5s, "", {{1.0, TimelineStep::Pause}, {1.5, TimelineStep::Resume}});
  ASSERT_TRUE(r.opened);
  EXPECT_GE(r.streamChanges, 1u);
  EXPECT_EQ(r.properties.iStreamCount, 4u);
  EXPECT_EQ(r.packetsPerStream.count(2) + r.packetsPerStream.count(3), 2u) << "the new programme";
  EXPECT_TRUE(host.journal().contains(hostsim::EntryKind::Log, "TimeShift: error de escritura"));
  const auto start = Clock::now();
  EXPECT_FALSE(Play(kSilent, 1s).opened);
  EXPECT_GE(Clock::now() - start, 7s);  // four receive time-outs
  EXPECT_TRUE(host.journal().contains(hostsim::EntryKind::Log, "no se reconoce el stream"));
  const hostsim::PlayResult next = Play(kSd, 2s);
  EXPECT_TRUE(next.opened);
  EXPECT_GT(next.packets, 50u);
}

}  // namespace
}  // namespace e2e
