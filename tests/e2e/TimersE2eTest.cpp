// Timers through a real host and operator: a local recording of a
// multicast channel checked packet by packet, a cloud booking followed
// until it is a cloud recording, and a deletion that stops a recording.
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "E2eFixture.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr unsigned int kSd = 1005;
const char* const kCloud = R"({"guide":{"short":[{"service":"1001","id":900001,
  "startSeconds":20,"seconds":8,"title":"Avance"}]}})";

std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof(buffer), pipe) != nullptr) out += buffer;
    pclose(pipe);
  }
  return out;
}

// Continuity-counter faults of a transport stream file: packets with a
// payload must count up by one per PID (ISO/IEC 13818-1, 2.4.3.3).
int ContinuityErrors(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::map<int, int> last;
  int errors = 0;
  unsigned char p[188];
  while (in.read(reinterpret_cast<char*>(p), sizeof p)) {
    if (p[0] != 0x47) return -1;
    const int pid = ((p[1] & 0x1F) << 8) | p[2];
    const bool payload = (p[3] & 0x10) != 0;
    const bool discontinuity = (p[3] & 0x20) != 0 && p[4] > 0 && (p[5] & 0x80) != 0;
    if (pid == 0x1FFF || !payload) continue;
    const int cc = p[3] & 0x0F;
    auto it = last.find(pid);
    if (it != last.end() && !discontinuity && cc != ((it->second + 1) & 0x0F)) ++errors;
    last[pid] = cc;
  }
  return errors;
}

class TimersE2eTest : public E2eTest {
 protected:
  hostsim::Host& Start(const std::string& patch, int tipo) {
    StartHeadend(Scenario(patch));
    folder_ = root_ + "/grabaciones";
    fs::create_directories(folder_);
    fs::create_directories(userDir_);
    std::ofstream(userDir_ + "/settings.xml")
        << "<settings><setting id=\"recordfolder\" value=\"" << folder_ << "/\" />"
        << "<setting id=\"TipoGrabacionPorDefecto\" value=\"" << tipo << "\" /></settings>";
    hostsim::Host& host = StartHost();
    EXPECT_TRUE(host.load().ok);
    EXPECT_TRUE(host.waitForChannels(30s));
    return host;
  }
  hostsim::TimerEntry Local(const std::string& title, int from, int to) const {
    hostsim::TimerEntry t;
    t.clientChannelUid = kSd;
    t.startTime = time(nullptr) + from;
    t.endTime = time(nullptr) + to;
    t.title = title;
    return t;
  }
  // The state of the listed timer with that index; 0 when it is not listed.
  int State(unsigned int index) {
    for (const auto& t : host_->fetchTimers().data.timers)
      if (t.clientIndex == index) return t.state;
    return 0;
  }
  bool WaitState(unsigned int index, int state, std::chrono::seconds timeout) {
    const auto end = Clock::now() + timeout;
    while (State(index) != state) {
      if (Clock::now() > end) return false;
      std::this_thread::sleep_for(250ms);
    }
    return true;
  }

  std::string folder_;
};

TEST_F(TimersE2eTest, LocalTimerRecordsTheChannelWithoutLoss) {
  hostsim::Host& host = Start("{}", 2);
  ASSERT_EQ(host.addTimer(Local("Contador", 3, 13)).error, PVR_ERROR_NO_ERROR);
  EXPECT_TRUE(fs::exists(userDir_ + "/Timers/1.xml"));
  EXPECT_EQ(State(1), 1);
  EXPECT_TRUE(WaitState(1, 2, 8s));
  EXPECT_TRUE(WaitState(1, 0, 16s));
  const std::string file = folder_ + "/Contador.mpeg";
  ASSERT_TRUE(fs::exists(file));
  const double seconds = std::atof(
      Shell("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + file + "'").c_str());
  EXPECT_NEAR(seconds, 10.0, 2.0);
  EXPECT_EQ(Shell("ffprobe -v error -show_entries stream=codec_type -of flat '" + file +
                  "' | grep ^streams | cut -d'\"' -f2"),
            "video\naudio\n");
  EXPECT_EQ(ContinuityErrors(file), 0);
  hostsim::RecordingEntry local;
  for (const auto& r : host.fetchRecordings().data.recordings)
    if (r.title == "Contador") local = r;
  EXPECT_EQ(local.streamUrl, file);
  EXPECT_NEAR(local.duration, 10, 2);
  // The finished timer's file goes at the next start.
  StopHost();
  StartHost();
  EXPECT_TRUE(host_->load().ok);
  EXPECT_FALSE(fs::exists(userDir_ + "/Timers/1.xml"));
}

TEST_F(TimersE2eTest, AGapInTheStreamNeitherEndsNorProlongsTheRecording) {
  hostsim::Host& host =
      Start(R"({"tv":{"channels":[{"id":"1005","gaps":[{"atSeconds":3,"seconds":5}]}]}})", 2);
  ASSERT_EQ(host.addTimer(Local("Corte", 1, 12)).error, PVR_ERROR_NO_ERROR);
  EXPECT_TRUE(WaitState(1, 2, 6s));
  EXPECT_TRUE(WaitState(1, 0, 16s));
  hostsim::RecordingEntry local;
  for (const auto& r : host.fetchRecordings().data.recordings)
    if (r.title == "Corte") local = r;
  EXPECT_NEAR(local.duration, 11, 2);
  const double seconds = std::atof(
      Shell("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + local.streamUrl + "'")
          .c_str());
  EXPECT_NEAR(seconds, 11.0, 2.5);
  EXPECT_GT(ContinuityErrors(local.streamUrl), 0);  // the gap is a real loss
  EXPECT_FALSE(host.journal().contains(hostsim::EntryKind::Log, "Error grabacion"));
}

TEST_F(TimersE2eTest, CloudBookingIsFollowedUntilItIsARecording) {
  hostsim::Host& host = Start(kCloud, 1);
  hostsim::TimerEntry t = Local("Avance", 8, 16);
  t.clientChannelUid = 1001;
  t.epgUid = 900001;
  t.marginStart = 1;
  t.marginEnd = 1;
  ASSERT_EQ(host.addTimer(t).error, PVR_ERROR_NO_ERROR);
  EXPECT_FALSE(fs::exists(userDir_ + "/Timers/900001.xml"));
  hostsim::TimerEntry listed;
  for (const auto& e : host.fetchTimers().data.timers)
    if (e.clientIndex == 900001) listed = e;
  EXPECT_EQ(listed.marginStart + listed.marginEnd, 0u);
  EXPECT_EQ(listed.state, 1);
  EXPECT_TRUE(WaitState(900001, 2, 30s));
  EXPECT_TRUE(WaitState(900001, 0, 20s));
  bool recorded = false;
  for (const auto& r : host.fetchRecordings().data.recordings) recorded |= r.title == "Avance";
  EXPECT_TRUE(recorded);
  const std::string log = HeadendLog();
  EXPECT_NE(log.find("setRecording"), std::string::npos);
  EXPECT_EQ(log.find("cancelRecording"), std::string::npos);
}

TEST_F(TimersE2eTest, ARecordingTimerIsExtendedByAChangeAndStoppedAtOnceByDeletion) {
  hostsim::Host& host = Start("{}", 2);
  ASSERT_EQ(host.addTimer(Local("Borrado", 1, 120)).error, PVR_ERROR_NO_ERROR);
  ASSERT_TRUE(WaitState(1, 2, 6s));
  // While it records, a change extends its end but keeps its title.
  const time_t later = time(nullptr) + 300;
  EXPECT_EQ(host.updateTimer(1,
                             [&](hostsim::TimerEntry& t) {
                               t.endTime = later;
                               t.title = "Nuevo";
                             })
                .error,
            PVR_ERROR_NO_ERROR);
  for (const auto& t : host.fetchTimers().data.timers) {
    if (t.clientIndex != 1) continue;
    EXPECT_EQ(t.endTime, later);
    EXPECT_EQ(t.title, "Borrado");
  }
  std::this_thread::sleep_for(3s);
  const auto deleted = Clock::now();
  EXPECT_EQ(host.deleteTimer(1).error, PVR_ERROR_NO_ERROR);
  const std::string file = folder_ + "/Borrado.mpeg";
  // Stopped: the library entry gets its real, short length.
  int duration = 0;
  while (Clock::now() - deleted < 3s && (duration == 0 || duration > 60)) {
    for (const auto& r : host.fetchRecordings().data.recordings)
      if (r.title == "Borrado") duration = r.duration;
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_LT(Clock::now() - deleted, 2500ms);
  EXPECT_NEAR(duration, 4, 2);
  const auto size = fs::file_size(file);
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(fs::file_size(file), size);
  EXPECT_EQ(State(1), 0);
}

}  // namespace
}  // namespace e2e
