// Devices of the home network playing channels through the add-on's web relay:
// the stream against the groups, who gets nothing, a full house, the unload.
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <thread>
#include <vector>

#include "E2eFixture.h"
#include "E2eProbes.h"
#include "common/Socket.h"
#include "core/Player.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

const std::string kOk = "HTTP/1.1 200 OK\r\n";
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// Sanitizers check the code, not its speed: half the rate, and
// their own memory (quarantine, shadow) is not the relay's.
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// `request` is a method and a path, or a raw text ending in a line break.
Socket Get(int port, const std::string& request) {
  Socket s(socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in at{AF_INET, htons(static_cast<uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
  if (connect(s.fd(), reinterpret_cast<sockaddr*>(&at), sizeof(at)) != 0) return Socket();
  const std::string head = request.back() == '\n' ? request : request + " HTTP/1.1\r\n\r\n";
  send(s.fd(), head.data(), head.size(), MSG_NOSIGNAL);
  return s;
}

// What arrives within `time`, or until the peer closes; `closed` tells which.
std::string Read(int fd, std::chrono::milliseconds time, bool* closed = nullptr) {
  std::string out;
  char buffer[65536];
  for (const auto end = Clock::now() + time; Clock::now() < end;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    const ssize_t n = recv(fd, buffer, sizeof(buffer), 0);
    if (n <= 0) {
      if (closed) *closed = true;
      break;
    }
    out.append(buffer, static_cast<size_t>(n));
  }
  return out;
}

// One client's stream after its head: bytes, and continuity errors (null
// packets and flagged discontinuities skipped; a lost sync counts too).
struct Continuity {
  std::string pending;
  std::map<int, int> last;
  size_t errors = 0, bytes = 0;
  void Feed(const char* data, size_t size) {
    pending.append(data, size);
    if (bytes == 0) pending.erase(0, pending.find("\r\n\r\n") + 4);
    bytes += size;
    size_t i = 0;
    for (; i + 188 <= pending.size(); i += 188) {
      const auto* p = reinterpret_cast<const unsigned char*>(pending.data() + i);
      const int pid = ((p[1] & 0x1F) << 8) | p[2], cc = p[3] & 0x0F;
      const bool discontinuity = (p[3] & 0x20) && p[4] && (p[5] & 0x80);
      if (p[0] != 0x47 || (pid != 0x1FFF && last.count(pid) && !discontinuity &&
                           cc != ((p[3] & 0x10) ? (last[pid] + 1) & 15 : last[pid])))
        ++errors;
      last[pid] = cc;
    }
    pending.erase(0, i);
  }
};

bool Joined(const char* hexGroup) {
  return FileText("/proc/net/igmp").find(hexGroup) != std::string::npos;
}

class RelayE2eTest : public E2eTest {
 protected:
  hostsim::Host& Start(const std::string& settings, const std::string& tv = "{}") {
    if (!headend_) StartHeadend(Scenario(tv));
    std::filesystem::create_directories(userDir_ + "/Canales");
    std::ofstream(userDir_ + "/settings.xml") << "<settings>" << settings << "</settings>";
    std::ofstream(userDir_ + "/Canales/canalesexternos.xml")
        << "<Canales><Canal NumeroCanal=\"901\" ID=\"9001\" Nombre=\"a\" servidor=\"127.0.0.1\" "
           "puerto=\"5555\" /><Canal NumeroCanal=\"902\" ID=\"9002\" Nombre=\"b\" "
           "servidor=\"10.1.2.3\" puerto=\"5555\" /><Canal NumeroCanal=\"903\" ID=\"9003\" "
           "Nombre=\"c\" servidor=\"http://127.0.0.1:5555/c.ts\" puerto=\"0\" /></Canales>";
    hostsim::Host& host = StartHost();
    EXPECT_TRUE(host.load().ok);
    EXPECT_TRUE(host.waitForChannels(30s));
    // The relay's thread listens a moment after the create.
    WaitFor([] { return Get(4242, "HEAD /").valid() || Get(5050, "HEAD /").valid(); }, 5s);
    return host;
  }
};

const char* const kTv = R"({"tv":{"channels":[{"id":"1006","transport":"udp"},
  {"id":"1007","csrcCount":2,"rtpExtensionWords":3}]}})";

// The head, then the stream from the relay's join on, byte for byte (what
// ffprobe reads of the relay's URLs is checked with the media server).
TEST_F(RelayE2eTest, ClientsGetTheHeadThenAnUnbrokenRunOfTheGroup) {
  const char* const k5050 = R"(<setting id="PuertoHttp" value="5050"/>)";
  const struct {
    const char* settings;
    int port;
    unsigned int channel;
    const char* group;
  } cases[] = {
      {k5050, 5050, 1005, "239.0.0.5"},
      {k5050, 5050, 2001, "239.0.5.1"},
      {k5050, 5050, 1006, "239.0.0.6"},
      {k5050, 5050, 1007, "239.0.0.7"},
      {R"(<setting id="BUFSIZE" value="1000"/>)", 4242, 1005, "239.0.0.5"},
  };
  for (const auto& c : cases) {
    if (!host_ || c.port == 4242) Start(c.settings, kTv);
    UdpSocket udp;  // the direct capture, RTP headers removed
    CrearClienteUdp(udp, c.group, 8208, 4 << 20, false);
    std::this_thread::sleep_for(500ms);  // the headend's full rate starts
    const std::string path = "GET /canal=" + std::to_string(c.channel) + ".mpg";
    auto client = std::async([&] { return Read(Get(c.port, path).fd(), 2s); });
    std::string direct;
    char d[1500];
    for (const auto end = Clock::now() + 2500ms; Clock::now() < end;) {
      const ssize_t n = recv(udp.fd(), d, sizeof(d), 0);
      size_t h = (n >= 12 && (d[0] & 0xC0) == 0x80) ? 12 + 4 * (d[0] & 0x0F) : 0;
      if (h && (d[0] & 0x10)) h += 4 + 4 * ((uint8_t(d[h + 2]) << 8) | uint8_t(d[h + 3]));
      if (n > static_cast<ssize_t>(h)) direct.append(d + h, static_cast<size_t>(n) - h);
    }
    std::string body = client.get();
    ASSERT_EQ(body.rfind(kOk, 0), 0u) << c.channel;
    body.erase(0, body.find("\r\n\r\n") + 4);
    body.resize(body.size() - body.size() % 188);
    ASSERT_GT(body.size(), 100000u) << c.channel;
    // Null packets all look alike: the anchor is the first run of others.
    size_t mark = 0;
    while ((body[mark + 1] & 0x1F) == 0x1F && uint8_t(body[mark + 2]) == 0xFF) mark += 188;
    const size_t at = direct.find(body.substr(mark, 1880));
    ASSERT_TRUE(at != std::string::npos && at >= mark) << c.channel;
    EXPECT_EQ(direct.compare(at - mark, body.size(), body), 0) << c.channel;
  }
}

TEST_F(RelayE2eTest, ExternalChannelsGetNoStreamWhileSlowHeadsWait) {
  // First with the relay's port taken: it says so, live TV plays on.
  StartHeadend(Scenario());  // before: it would inherit the taken port
  Socket taken;
  ASSERT_TRUE(AbrirListenSocket(taken, 4242));
  Start("");
  EXPECT_TRUE(
      host_->journal().contains(hostsim::EntryKind::Log, "Relay no se puede abrir el puerto 4242"));
  EXPECT_GT(hostsim::Player(*host_).play(1005, 1s, SIZE_MAX).packets, 10u);
  taken.reset();
  Start("");

  UdpSocket external;  // where the external channels point
  ASSERT_TRUE(CrearClienteUdp(external, "127.0.0.1", 5555, 0, true));
  std::vector<Socket> slow;  // heads that never end hold back nobody
  for (int i = 0; i < 3; ++i) slow.push_back(Get(4242, "GET /canal=1005.mpg HTTP/1.1\r\n"));
  for (const char* path : {"GET /canal=9001.mpg", "GET /canal=9002.mpg", "GET /canal=9003.mpg",
                           "GET /canal=10000.mpg"}) {
    bool closed = false;
    EXPECT_EQ(Read(Get(4242, path).fd(), 3s, &closed), "") << path;
    EXPECT_TRUE(closed) << path;
  }
  char d[1500];
  EXPECT_LT(recv(external.fd(), d, sizeof(d), MSG_DONTWAIT), 0);

  // A newer client with the same "id" takes over; then it leaves: the
  // group is left and the threads end.
  Socket older = Get(4242, "GET /canal=1006.mpg&id=sala");
  EXPECT_FALSE(Read(older.fd(), 1s).empty());
  Socket client = Get(4242, "GET /canal=1006.mpg&id=sala");
  bool closed = false;
  Read(older.fd(), 2s, &closed);
  EXPECT_TRUE(closed);
  EXPECT_TRUE(WaitFor([] { return Joined("060000EF"); }, 2s));
  client.reset();
  EXPECT_TRUE(WaitFor([] { return !Joined("060000EF") && Threads("quorvina-relayw") == 0; }, 2s));
}

TEST_F(RelayE2eTest, ThirtyTwoClientsAtMostThenTheUnloadEndsThemAll) {
  Start("");
  std::vector<Socket> clients;
  for (int i = 0; i < 32; ++i) clients.push_back(Get(4242, "GET /canal=1005.mpg"));
  std::atomic<bool> stop{false};
  std::thread reader([&] {  // the first leaves, the last four never read
    char buffer[65536];
    while (!stop)
      for (int i = 1; i < 28; ++i) recv(clients[i].fd(), buffer, sizeof(buffer), MSG_DONTWAIT);
  });
  ASSERT_TRUE(WaitFor([] { return Threads("quorvina-relayw") == 32; }, 10s));
  EXPECT_EQ(Read(Get(4242, "GET /canal=1005.mpg").fd(), 3s),
            "HTTP/1.1 503 Service Unavailable\r\nConnection: close\r\n\r\n");
  clients[0].reset();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(Read(Get(4242, "GET /canal=1005.mpg").fd(), 3s).rfind(kOk, 0), 0u);  // within 3 s
  stop = true;
  reader.join();

  const auto start = Clock::now();
  StopHost();
  EXPECT_LT(Clock::now() - start, 3s);
  EXPECT_FALSE(Joined("050000EF"));
  EXPECT_EQ(Threads("quorvina-relayw") + Threads("quorvina-sockbf"), 0);
}

long ResidentKb() {
  const std::string status = FileText("/proc/self/status");
  return std::stol(status.substr(status.find("VmRSS:") + 6));
}

TEST_F(RelayE2eTest, AClientThatStopsReadingIsDroppedAndTheOthersLoseNothing) {
  const int mbits = kSanitized ? 20 : 40;
  Start("", R"({"tv":{"channels":[{"id":"1005","bitrate":)" + std::to_string(mbits) + "000000}]}}");
  const long before = ResidentKb();
  long peak = before;
  std::vector<Socket> clients;
  for (int i = 0; i < 9; ++i) clients.push_back(Get(4242, "GET /canal=1005.mpg"));
  std::vector<Continuity> figures(8);
  char buffer[1 << 16];
  const auto start = Clock::now();
  const auto dropped = [this] {
    return host_->journal().contains(hostsim::EntryKind::Log, "Relay cliente lento ");
  };
  for (; Clock::now() < start + 8s || (!dropped() && Clock::now() < start + 20s);
       peak = std::max(peak, ResidentKb())) {
    for (int i = 0; i < 8; ++i) {  // the ninth never reads
      const ssize_t n = recv(clients[i].fd(), buffer, sizeof(buffer), MSG_DONTWAIT);
      if (n > 0) figures[i].Feed(buffer, static_cast<size_t>(n));
    }
  }
  for (const Continuity& f : figures) {
    EXPECT_GT(f.bytes, mbits * (1u << 20) / 2u);  // 8 s of mbits Mbit/s is mbits MB
    EXPECT_EQ(f.errors, 0u);
  }
  EXPECT_TRUE(dropped());
  if (!kSanitized) {
    EXPECT_LE(peak - before, (64 * 127840 + (32 << 20)) / 1024);
  }
}

}  // namespace
}  // namespace e2e
