// Timers through a real host and operator. Each run carries several timers
// at once, so that one wait for the stream serves many checks.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <thread>
#include <vector>

#include "E2eFixture.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr unsigned int kSd = 1005, kUdp = 1006, kHd = 2001;

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

// Puts an unconnected TCP socket in place of this process's UDP socket
// bound to `group`: the next receive on it fails (ENOTCONN), as a socket
// that broke under the recorder would.
bool RomperSocket(const char* group) {
  const int tcp = socket(AF_INET, SOCK_STREAM, 0);
  bool done = false;
  for (int fd = 3; fd < 1024 && !done; ++fd) {
    sockaddr_in address{};
    socklen_t length = sizeof(address);
    int type = 0;
    socklen_t typeLength = sizeof(type);
    done = fd != tcp && getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &typeLength) == 0 &&
           type == SOCK_DGRAM &&
           getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
           address.sin_addr.s_addr == inet_addr(group) && dup2(tcp, fd) == fd;
  }
  close(tcp);
  return done;
}

class TimersE2eTest : public E2eTest {
 protected:
  hostsim::Host& Start(const std::string& patch, int tipo) {
    StartHeadend(Scenario(patch));
    folder_ = root_ + "/grabaciones";
    fs::create_directories(folder_);
    return LoadWithSettings("<setting id=\"recordfolder\" value=\"" + folder_ + "/\" />" +
                            "<setting id=\"TipoGrabacionPorDefecto\" value=\"" +
                            std::to_string(tipo) + "\" />");
  }
  static hostsim::TimerEntry Local(unsigned int channel, const std::string& title, int from,
                                   int to) {
    hostsim::TimerEntry t;
    t.clientChannelUid = static_cast<int>(channel);
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
  // The index of the listed timer with that title; 0 when none.
  unsigned int Index(const std::string& title) {
    for (const auto& t : host_->fetchTimers().data.timers)
      if (t.title == title) return t.clientIndex;
    return 0;
  }
  std::vector<hostsim::RecordingEntry> Entries(const std::string& title) {
    std::vector<hostsim::RecordingEntry> found;
    for (const auto& r : host_->fetchRecordings().data.recordings)
      if (r.title == title) found.push_back(r);
    return found;
  }
  double TimedStop() {  // seconds
    const auto before = Clock::now();
    StopHost();
    return std::chrono::duration<double>(Clock::now() - before).count();
  }

  std::string folder_;
};

TEST_F(TimersE2eTest, LocalTimersRecordTheirChannelsAndFollowChanges) {
  hostsim::Host& host = Start(R"({"tv":{"channels":[{"id":"1006","transport":"udp"}]}})", 2);
  struct Canal {
    unsigned int channel;
    const char* title;
  } const locals[] = {{kSd, "Contador"}, {kHd, "Alta"}, {kUdp, "Crudo"}};
  for (const Canal& l : locals)
    ASSERT_EQ(host.addTimer(Local(l.channel, l.title, 2, 10)).error, PVR_ERROR_NO_ERROR);
  // A start margin of one minute on a programme 66 s ahead: it starts at +6.
  hostsim::TimerEntry margen = Local(1007, "Margen", 66, 130);
  margen.marginStart = 1;
  const auto added = Clock::now();
  ASSERT_EQ(host.addTimer(margen).error, PVR_ERROR_NO_ERROR);
  for (unsigned int index = 1; index <= 4; ++index) {
    EXPECT_TRUE(fs::exists(userDir_ + "/Timers/" + std::to_string(index) + ".xml"));
    EXPECT_EQ(State(index), 1) << index;
  }
  for (unsigned int index = 1; index <= 3; ++index) EXPECT_TRUE(WaitState(index, 2, 8s)) << index;
  // The third registration follows the state change: the counter is waited for.
  const auto counter = Clock::now() + 5s;
  while (ReadUserFile("Recordings/Contador.xml").find("<Contador Value=\"3\" />") ==
             std::string::npos &&
         Clock::now() < counter)
    std::this_thread::sleep_for(100ms);
  EXPECT_NE(ReadUserFile("Recordings/Contador.xml").find("<Contador Value=\"3\" />"),
            std::string::npos);
  ASSERT_TRUE(WaitState(4, 2, 10s));
  EXPECT_NEAR(std::chrono::duration<double>(Clock::now() - added).count(), 6.0, 2.0);

  // While it records, a change extends its end but keeps its title.
  const time_t later = time(nullptr) + 300;
  EXPECT_EQ(host.updateTimer(4,
                             [&](hostsim::TimerEntry& t) {
                               t.endTime = later;
                               t.title = "Nuevo";
                             })
                .error,
            PVR_ERROR_NO_ERROR);
  for (const auto& t : host.fetchTimers().data.timers) {
    if (t.clientIndex != 4) continue;
    EXPECT_EQ(t.endTime, later);
    EXPECT_EQ(t.title, "Margen");
  }

  std::set<std::string> ids;
  for (const Canal& l : locals) {
    SCOPED_TRACE(l.title);
    EXPECT_TRUE(WaitState(static_cast<unsigned int>(&l - locals) + 1, 0, 16s));
    const auto entries = Entries(l.title);
    ASSERT_EQ(entries.size(), 1u);
    ids.insert(entries[0].recordingId);
    EXPECT_EQ(entries[0].streamUrl, folder_ + "/" + l.title + ".mpeg");
    EXPECT_NEAR(entries[0].duration, 8, 2);
    const hostsim::StreamProbe probe = host.probeRecording(entries[0].recordingId);
    EXPECT_NEAR(probe.duration, 8.0, 2.0);
    ASSERT_EQ(probe.streams.size(), 2u);
    EXPECT_EQ(probe.streams[0].substr(0, 6) + probe.streams[1].substr(0, 6), "video audio ");
    EXPECT_TRUE(probe.gaps.empty());
    EXPECT_EQ(ContinuityErrors(entries[0].streamUrl), 0);
  }
  EXPECT_EQ(ids, (std::set<std::string>{"1", "2", "3"}));

  // A restart in the middle of the recording: the stop closes it and the
  // load goes on recording into a second file, a second entry; the
  // finished timers' files go.
  EXPECT_LT(TimedStop(), 3.0);
  StartHost();
  ASSERT_TRUE(host_->load().ok);
  for (unsigned int index = 1; index <= 3; ++index)
    EXPECT_FALSE(fs::exists(userDir_ + "/Timers/" + std::to_string(index) + ".xml")) << index;
  ASSERT_TRUE(WaitState(4, 2, 10s));
  const auto resumed = Clock::now();
  const std::string second = folder_ + "/Margen 1.mpeg";
  for (int i = 0; i < 40 && !(fs::exists(second) && fs::file_size(second) > 0); ++i)
    std::this_thread::sleep_for(100ms);
  ASSERT_TRUE(fs::exists(second));
  EXPECT_EQ(Entries("Margen").size(), 2u);

  // Deleted while recording: it stops at once, its entry gets the real end.
  std::this_thread::sleep_for(2s);
  const auto deleted = Clock::now();
  EXPECT_EQ(host_->deleteTimer(4).error, PVR_ERROR_NO_ERROR);
  int duration = 0;
  while (Clock::now() - deleted < 3s && (duration == 0 || duration > 60)) {
    for (const auto& r : Entries("Margen"))
      if (r.streamUrl == second) duration = r.duration;
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_LT(Clock::now() - deleted, 2500ms);
  EXPECT_NEAR(duration, std::chrono::duration<double>(deleted - resumed).count(), 2);
  const auto size = fs::file_size(second);
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(fs::file_size(second), size);
  EXPECT_EQ(State(4), 0);
}

TEST_F(TimersE2eTest, GapsAndSocketErrorsNeitherEndNorProlongRecordings) {
  hostsim::Host& host = Start(R"({"tv":{"channels":[
      {"id":"1005","gaps":[{"atSeconds":3,"seconds":8}]},
      {"id":"1008","gaps":[{"atSeconds":3,"seconds":600}]}]}})",
                              2);
  ASSERT_EQ(host.addTimer(Local(kSd, "Corte", 1, 14)).error, PVR_ERROR_NO_ERROR);
  ASSERT_EQ(host.addTimer(Local(1007, "Roto", 1, 300)).error, PVR_ERROR_NO_ERROR);
  ASSERT_EQ(host.addTimer(Local(1008, "Muerto", 1, 300)).error, PVR_ERROR_NO_ERROR);
  // The same dead channel for a recording that ends inside the run, and a
  // channel the line-up does not know.
  ASSERT_EQ(host.addTimer(Local(1008, "Parado", 1, 12)).error, PVR_ERROR_NO_ERROR);
  ASSERT_EQ(host.addTimer(Local(4242, "Nadie", 1, 3)).error, PVR_ERROR_NO_ERROR);
  for (unsigned int index = 1; index <= 4; ++index) EXPECT_TRUE(WaitState(index, 2, 6s)) << index;

  // A receive error under the recorder: it reconnects and the file grows on.
  const std::string roto = folder_ + "/Roto.mpeg";
  std::this_thread::sleep_for(1s);
  ASSERT_TRUE(RomperSocket("239.0.0.7"));
  EXPECT_TRUE(host.journal().waitFor(hostsim::EntryKind::Log, "Reiniciando conexion error ", 5s));
  EXPECT_TRUE(host.journal().waitFor(hostsim::EntryKind::Log, "Conexion reiniciada", 10s));
  const auto size = fs::file_size(roto);
  std::this_thread::sleep_for(1s);
  EXPECT_GT(fs::file_size(roto), size);

  // Unknown channel: an entry without a file.
  EXPECT_TRUE(WaitState(5, 0, 6s));
  const auto nadie = Entries("Nadie");
  ASSERT_EQ(nadie.size(), 1u);
  EXPECT_EQ(nadie[0].streamUrl, "");
  EXPECT_TRUE(host.journal().contains(hostsim::EntryKind::Log, "canal desconocido 4242"));

  // A stream stopped for good: the recording still ends at its end.
  EXPECT_TRUE(WaitState(4, 0, 16s));
  const auto parado = Entries("Parado");
  ASSERT_EQ(parado.size(), 1u);
  EXPECT_NEAR(parado[0].duration, 12, 2);

  // The 8 s gap: the recording ends on time and shows that one gap.
  EXPECT_TRUE(WaitState(1, 0, 16s));
  const auto corte = Entries("Corte");
  ASSERT_EQ(corte.size(), 1u);
  EXPECT_NEAR(corte[0].duration, 13, 2);
  // The host's player reads it through the gap, one jump in each stream.
  const hostsim::StreamProbe probe = host.probeRecording(corte[0].recordingId);
  ASSERT_TRUE(probe.ok) << probe.error;
  EXPECT_NEAR(probe.duration, 13.0, 2.5);
  ASSERT_EQ(probe.gaps.size(), probe.streams.size());
  for (const hostsim::StreamGap& g : probe.gaps) EXPECT_NEAR(g.seconds, 8.0, 1.5);
  EXPECT_FALSE(host.journal().contains(hostsim::EntryKind::Log, "Error grabacion"));

  // Stopped while one channel has been silent for seconds: within 3 s.
  EXPECT_LT(TimedStop(), 3.0);
}

TEST_F(TimersE2eTest, CloudBookingIsFollowedUntilItIsARecording) {
  // The programmes' times count from the headend's start.
  const auto headendStart = Clock::now();
  hostsim::Host& host = Start(R"({"guide":{"short":[
      {"service":"1001","id":900001,"startSeconds":9,"seconds":3,"title":"Avance"},
      {"service":"1001","id":900002,"startSeconds":600,"seconds":60,"title":"Luego"}]}})",
                              1);
  ASSERT_LT(Clock::now() - headendStart, 8s) << "too late to book before the start";
  // Meanwhile a local timer (no guide entry) fills the disk.
  host.files().limitFolder(folder_, 1 << 20);
  ASSERT_EQ(host.addTimer(Local(kSd, "Lleno", 0, 120)).error, PVR_ERROR_NO_ERROR);
  for (unsigned int id : {900001u, 900002u}) {
    hostsim::TimerEntry t = Local(1001, id == 900001u ? "Avance" : "Luego", 8, 16);
    t.epgUid = id;
    t.marginStart = 1;
    t.marginEnd = 1;
    ASSERT_EQ(host.addTimer(t).error, PVR_ERROR_NO_ERROR);
    EXPECT_FALSE(fs::exists(userDir_ + "/Timers/" + std::to_string(id) + ".xml"));
  }
  hostsim::TimerEntry listed;
  for (const auto& e : host.fetchTimers().data.timers)
    if (e.clientIndex == 900001) listed = e;
  EXPECT_EQ(listed.marginStart + listed.marginEnd, 0u);
  EXPECT_EQ(listed.state, 1);
  // Deleted before its start: the booking is cancelled.
  EXPECT_EQ(host.deleteTimer(900002).error, PVR_ERROR_NO_ERROR);

  EXPECT_TRUE(WaitState(900001, 2, 10s));
  EXPECT_TRUE(WaitState(900001, 0, 10s));
  bool recorded = false;
  for (const auto& r : host.fetchRecordings().data.recordings) recorded |= r.title == "Avance";
  EXPECT_TRUE(recorded);
  const std::string log = HeadendLog();
  // One booking, with the guide uid and the channel.
  size_t bookings = 0;
  for (size_t at = log.find("setRecording&extInfoID=900001&PIN=0&channelID=1001");
       at != std::string::npos; at = log.find("setRecording&extInfoID=900001", at + 1))
    ++bookings;
  EXPECT_EQ(bookings, 1u);
  EXPECT_EQ(log.find("cancelRecording&extInfoID=900001"), std::string::npos);
  EXPECT_NE(log.find("cancelRecording&extInfoID=900002"), std::string::npos);
  EXPECT_EQ(State(900002), 0);

  // The full disk ended the local recording with error 1; with room again
  // the next one records.
  EXPECT_TRUE(host.journal().contains(hostsim::EntryKind::Log, "Error grabacion 1"));
  EXPECT_EQ(Index("Lleno"), 0u);
  host.files().limitFolder(folder_, -1);
  ASSERT_EQ(host.addTimer(Local(kSd, "Despues", 0, 2)).error, PVR_ERROR_NO_ERROR);
  const unsigned int despues = Index("Despues");
  EXPECT_TRUE(WaitState(despues, 0, 8s));
  EXPECT_GT(fs::file_size(folder_ + "/Despues.mpeg"), 500000u);
  EXPECT_EQ(host.journal().countContaining(hostsim::EntryKind::Log, "Error grabacion"), 1u);
}

// Bad input meets three timers at once: garbage datagrams among a channel's
// stream (the recording goes on and plays), a group that can't be joined
// (that one timer ends with an error, the next timer records) and a booking
// the operator refuses (told, and gone at the next cloud list).
TEST_F(TimersE2eTest, BadInputEndsOnlyTheTimerItHits) {
  constexpr unsigned int kSorda = 7001;  // its "group" is a unicast address
  hostsim::Host& host = Start(R"({"tv":{"channels":[{"id":"1005","garbageEvery":3}]},
      "lineUp":{"families":[{"count":1,"firstId":7001,"firstLcn":700,"firstAddress":"10.9.9.9",
        "name":"Sorda {n}","genre":"Cine","packages":["BASICO"]}]},
      "guide":{"short":[{"service":"1001","id":900001,"startSeconds":60,"seconds":30,
        "title":"Rechazada"}]},
      "appServer":{"switches":{"setRecording":{"resultCode":-4}}}})",
                              1);
  const struct {
    const char* title;
    unsigned int channel;
    bool recorded;
  } locals[] = {{"Basura", kSd, true}, {"Sorda", kSorda, false}};
  for (const auto& l : locals)
    ASSERT_EQ(host.addTimer(Local(l.channel, l.title, 1, 11)).error, PVR_ERROR_NO_ERROR);
  hostsim::TimerEntry nube = Local(1001, "Rechazada", 60, 90);
  nube.epgUid = 900001;
  ASSERT_EQ(host.addTimer(nube).error, PVR_ERROR_NO_ERROR);
  EXPECT_EQ(State(900001), 0);
  EXPECT_TRUE(host.journal().contains(hostsim::EntryKind::Log,
                                      "reserva rechazada de 900001 en el canal 1001"));
  EXPECT_NE(HeadendLog().find("setRecording&extInfoID=900001"), std::string::npos);
  EXPECT_EQ(HeadendLog().find("cancelRecording"), std::string::npos);

  ASSERT_TRUE(host.journal().waitFor(hostsim::EntryKind::Log, "Error grabacion 1", 15s));
  ASSERT_EQ(host.addTimer(Local(1006, "Despues", 0, 3)).error, PVR_ERROR_NO_ERROR);
  EXPECT_TRUE(WaitState(Index("Despues"), 0, 8s));
  EXPECT_GT(fs::file_size(folder_ + "/Despues.mpeg"), 500000u);
  for (const auto& l : locals) {
    SCOPED_TRACE(l.title);
    EXPECT_TRUE(WaitState(Index(l.title), 0, 16s));
    EXPECT_EQ(fs::exists(folder_ + "/" + l.title + ".mpeg"), l.recorded);
    if (!l.recorded) continue;
    const auto entries = Entries(l.title);
    ASSERT_EQ(entries.size(), 1u);
    const hostsim::StreamProbe probe = host.probeRecording(entries[0].recordingId);
    ASSERT_TRUE(probe.ok) << probe.error;
    EXPECT_NEAR(probe.duration, 10.0, 2.0);
    ASSERT_EQ(probe.streams.size(), 2u);
    EXPECT_EQ(probe.streams[0].substr(0, 6) + probe.streams[1].substr(0, 6), "video audio ");
  }
  // Only the unjoinable group's timer failed.
  EXPECT_EQ(host.journal().countContaining(hostsim::EntryKind::Log, "Error grabacion"), 1u);
}

}  // namespace
}  // namespace e2e
