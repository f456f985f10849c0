#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <future>
#include <map>
#include <thread>
#include <tuple>

#include "common/Globals.h"
#include "discovery/PayLoads.h"
#include "support/FakeHost.h"

namespace {

using namespace std::chrono_literals;

// A DVB-STP datagram built byte by byte, independent of the parser under
// test. Flag bytes 0x01 and 0x41 get four trailing bytes.
std::string Dg(unsigned payload, unsigned segment, unsigned section, unsigned last,
               const std::string& body, unsigned char first = 0x00) {
  const unsigned n = static_cast<unsigned>(body.size());
  const unsigned sections = section << 12 | (last & 0xfff);  // 12 bits each
  const unsigned header[] = {first,          n >> 16,       n >> 8,   n,
                             payload,        segment >> 8,  segment,  7,
                             sections >> 16, sections >> 8, sections, 0x5c};
  std::string d;
  for (unsigned b : header) d += static_cast<char>(b);
  return d + body + (first == 0x01 || first == 0x41 ? "CRC!" : "");
}

Trama Parse(const PayLoads& receiver, const std::string& d) {
  return receiver.GenerarTrama(static_cast<int>(d.size()),
                               reinterpret_cast<const unsigned char*>(d.data()));
}

std::string Guide(const std::string& ref) {
  return "<TVAMain><ProgramDescription><ProgramLocationTable><Schedule serviceIDRef=\"" + ref +
         "\"/></ProgramLocationTable></ProgramDescription></TVAMain>";
}

class PayLoadsTest : public ::testing::Test {
 protected:
  void SetUp() override { ModoDebug = true; }
  void TearDown() override {
    ModoDebug = false;
    PararProceso = false;
  }
  FakeHost host;
  TempDir dir;
};

TEST_F(PayLoadsTest, HeaderIsReadBigEndianAndTheBodyLosesOnlyAFlaggedCrc) {
  const Trama t = Parse(PayLoads(), Dg(0xF1, 0x00A0, 0xABC, 0x123, "<x/>"));
  ASSERT_TRUE(t.valid);
  EXPECT_EQ(std::tie(t.payloadId, t.segmentId, t.flags), std::make_tuple("f1", "00a0", "5c"));
  EXPECT_EQ(std::tie(t.section, t.lastSection, t.segmentVersion, t.totalSize),
            std::make_tuple(0xABCu, 0x123u, 7u, 4u));
  const unsigned char bytes[] = {0x0a, 0xff, 0x12};  // fields never read past the datagram
  EXPECT_EQ(PayLoads::ConvertHex(1, 5, bytes, 3), "ff12");
  EXPECT_EQ(PayLoads::ConvertHex(3, 1, bytes, 3), "");
  EXPECT_EQ(PayLoads::Converttoint(0, 3, bytes, 3), 0x0aff12u);

  const struct {
    std::string datagram;
    bool valid;
    std::string body;
  } cases[] = {
      {Dg(2, 0, 0, 0, "abc", 0x01), true, "abc"}, {Dg(2, 0, 0, 0, "abc", 0x41), true, "abcCRC!"},
      {Dg(2, 0, 0, 0, "abc"), true, "abc"},       {std::string(12, '\0'), true, ""},
      {"\x01" + std::string(15, '\0'), true, ""}, {"", false, ""},
      {std::string(11, '\0'), false, ""},         {"\x01" + std::string(14, '\0'), false, ""}};
  for (const auto& c : cases) {
    host.ClearLogs();
    PayLoads receiver("239.0.2.155", 3937, "");
    const Trama t = Parse(receiver, c.datagram);
    EXPECT_EQ(t.valid, c.valid) << c.datagram.size();
    EXPECT_EQ(t.body, c.body) << c.datagram.size();
    EXPECT_EQ(host.Logged("Trama corta Payload 239.0.2.155"), !c.valid) << c.datagram.size();
    receiver.ProcesarTrama(t);
    EXPECT_EQ(receiver.PayLoadMap().size(), c.valid ? 1u : 0u);
  }
}

TEST_F(PayLoadsTest, AssemblesSegmentsAndPayloads) {
  // Feeds the frames to a receiver with the segment list `fixed` (empty: an
  // open list); checks the whole XML, the finished flag and the files (null
  // content: not written).
  const auto check = [](const char* name, const std::vector<std::string>& fixed,
                        const std::vector<std::string>& frames, const std::string& xml,
                        bool finished, const std::map<std::string, const char*>& files) {
    SCOPED_TRACE(name);
    TempDir folder;
    PayLoads receiver("239.0.2.155", 3937, fixed, folder.path() + "/");
    for (const std::string& d : frames) receiver.ProcesarTrama(Parse(receiver, d));
    EXPECT_EQ(receiver.ObtenerXMLTotal(), xml);
    EXPECT_EQ(receiver.Finished(), finished);
    for (const auto& [file, content] : files) {
      const bool exists = std::ifstream(folder.file(file)).good();
      EXPECT_EQ(exists ? folder.Read(file) : "(none)", content ? content : "(none)") << file;
    }
  };
  check("sections in order, first copy kept", {},
        {Dg(2, 0, 2, 2, "C"), Dg(2, 0, 0, 2, "A"), Dg(2, 0, 0, 2, "X"), Dg(2, 0, 1, 2, "B")}, "ABC",
        true, {{"02_0000.xml", "ABC"}});
  check("written once, on the completing frame", {},
        {Dg(2, 0, 0, 0, "first"), Dg(2, 0, 1, 1, "more")}, "firstmore", true,
        {{"02_0000.xml", "first"}});
  check("fixed list drops unlisted segments", {"0001", "0003"},
        {Dg(2, 2, 0, 0, "s2"), Dg(2, 1, 0, 0, "s1"), Dg(2, 3, 0, 0, "s3")}, "s1s3", true,
        {{"02_0001.xml", "s1"}, {"02_0002.xml", nullptr}, {"02_0003.xml", "s3"}});
  check("fixed list waits for every listed segment", {"0001", "0003"}, {Dg(2, 1, 0, 0, "s1")}, "s1",
        false, {});
  check("open list completes with the segments seen", {},
        {Dg(2, 1, 0, 0, "one"), Dg(2, 2, 0, 1, "two")}, "onetwo", true, {{"02_0002.xml", nullptr}});
  check("an incomplete new payload leaves finished as it was", {},
        {Dg(6, 0, 0, 0, "c"), Dg(2, 0, 0, 0, "a"), Dg(5, 0, 0, 1, "b")}, "abc", true, {});
  check("a payload completing while another waits", {}, {Dg(5, 0, 0, 1, "b"), Dg(2, 0, 0, 0, "a")},
        "ab", false, {{"05_0000.xml", nullptr}});

  // One text per payload, in id order.
  PayLoads receiver;
  for (unsigned id : {6u, 2u, 5u})
    receiver.ProcesarTrama(Parse(receiver, Dg(id, 0, 0, 0, "p" + std::to_string(id))));
  EXPECT_EQ(receiver.ObtenerXMLPayLoads(), (std::vector<std::string>{"p2", "p5", "p6"}));
  EXPECT_EQ(receiver.ObtenerXMLPayLoad("06"), "p6");
  EXPECT_EQ(receiver.ObtenerXMLPayLoad("07"), "");

  // Past its deadline a payload settles for what it has.
  PayLoad payload("02", {"0000", "0001"});
  payload.SetDeadline(time(nullptr) - 1);
  payload.ProcesarTrama(Parse(PayLoads(), Dg(2, 9, 0, 0, "unlisted")));
  EXPECT_FALSE(payload.Complete());
  payload.ProcesarTrama(Parse(PayLoads(), Dg(2, 0, 0, 3, "part")));
  EXPECT_TRUE(payload.Complete());
  EXPECT_TRUE(payload.Pending().empty());
  EXPECT_TRUE(host.Logged("Timeout Payload 02"));
}

TEST_F(PayLoadsTest, GuideModeWritesWantedChannelsUnderTheFileTag) {
  PayLoads receiver("239.0.2.200", 3937, {"0010", "0011", "0012", "0013", "0014"},
                    dir.path() + "/");
  receiver.SetGuideMode(true);
  receiver.SetFileTag("0010");
  receiver.SetWantedChannels({1234, 77});
  for (const std::string& d : {Dg(0x02, 0x10, 0, 0, Guide("1234.tv.es")),  // not the guide
                               Dg(0xF1, 0x10, 0, 0, Guide("1234.tv.es")),
                               Dg(0xF1, 0x11, 0, 0, Guide("555.tv.es")),  // not wanted
                               Dg(0xF1, 0x12, 0, 0, "<TVAMain><A/></TVAMain>")})
    receiver.ProcesarTrama(Parse(receiver, d));
  EXPECT_EQ(receiver.PayLoadMap().count("02"), 0u);
  const PayLoad& guide = receiver.PayLoadMap().at("f1");
  EXPECT_EQ(guide.Pending(), (std::vector<std::string>{"0013", "0014"}));
  EXPECT_EQ(guide.WantedChannels(), std::vector<int>{77});
  EXPECT_EQ(dir.Read("1234_0010.xml"), Guide("1234.tv.es"));
  EXPECT_FALSE(std::ifstream(dir.file("555_0010.xml")).good());
  EXPECT_FALSE(receiver.Finished());
  // The last wanted channel completes the payload with a segment pending.
  receiver.ProcesarTrama(Parse(receiver, Dg(0xF1, 0x13, 0, 0, Guide("77"))));
  EXPECT_TRUE(receiver.Finished());
  EXPECT_EQ(dir.Read("77_0010.xml"), Guide("77"));
}

// The group replaced by a script of steps: a datagram, or "T" (time-out),
// "E" (empty datagram), "S" (raise the stop flag, then time out). An
// exhausted script is a silent group.
class ScriptedPayLoads : public PayLoads {
 public:
  using PayLoads::PayLoads;
  std::deque<std::string> script;
  int failingOpens = 0, opens = 0, closes = 0, receives = 0;

 protected:
  bool OpenGroup() override { return ++opens > failingOpens; }
  void CloseGroup() override { ++closes; }
  int Receive(unsigned char* buffer, int size) override {
    ++receives;
    const std::string step = script.empty() ? "T" : script.front();
    if (!script.empty()) script.pop_front();
    if (step == "S") PararProceso = true;
    if (step.size() == 1) return step == "E" ? 0 : -1;
    const int n = std::min(size, static_cast<int>(step.size()));
    memcpy(buffer, step.data(), static_cast<size_t>(n));
    return n;
  }
};

std::deque<std::string> Script(std::initializer_list<std::pair<std::string, int>> steps) {
  std::deque<std::string> all;
  for (const auto& [step, times] : steps) all.insert(all.end(), static_cast<size_t>(times), step);
  return all;
}

TEST_F(PayLoadsTest, ReceptionLoop) {
  host.SetString(30515, "Sin datos del servidor");
  // Runs `script` with `failing` openings failing first and, when `late`,
  // the overall deadline already past. Every opening is closed again.
  const auto check = [this](const char* name, const std::deque<std::string>& script, int failing,
                            bool late, bool result, int receives, int opens, bool notified,
                            const std::string& xml, const char* log = nullptr) {
    SCOPED_TRACE(name);
    host.ClearLogs();
    PararProceso = false;
    ScriptedPayLoads receiver("239.0.2.155", 3937, "");
    receiver.script = script;
    receiver.failingOpens = failing;
    if (late) receiver.SetDeadline(time(nullptr) - 1);
    EXPECT_EQ(receiver.CargarPayLoads(), result);
    EXPECT_EQ(std::tie(receiver.receives, receiver.opens, receiver.closes),
              std::make_tuple(receives, opens, opens));
    EXPECT_EQ(host.Notified(QUEUE_ERROR, "Sin datos del servidor"), notified);
    EXPECT_EQ(receiver.ObtenerXMLTotal(), xml);
    EXPECT_TRUE(log == nullptr || host.Logged(log)) << log;
  };
  check("carousel", Script({{Dg(2, 0, 0, 1, "A"), 1}, {"T", 9}, {Dg(2, 0, 1, 1, "B"), 1}}), 0,
        false, true, 11, 1, false, "AB", "ProcesarTrama Payload 239.0.2.155");
  check("silent group", Script({{"T", 40}}), 0, false, false, 30, 3, true, "",
        "Timeout recvfrom 239.0.2.155");
  check("empty datagrams", Script({{"E", 40}}), 0, false, false, 30, 3, true, "");
  check("unopenable group", Script({{"T", 40}}), 4, false, false, 30, 7, true, "");
  // 10 + 10 + 5 time-outs, the datagram, then three silent attempts.
  check("datagram resets both counts", Script({{"T", 25}, {Dg(2, 0, 0, 1, "A"), 1}}), 0, false,
        false, 56, 5, true, "A");
  check("stop flag", Script({{"T", 2}, {"S", 1}, {"T", 5}}), 0, false, false, 3, 1, false, "");
  check("overall deadline", Script({{Dg(2, 0, 0, 5, "part"), 2}}), 0, true, true, 1, 1, false,
        "part", "Timeout Payloads");

  // Run as a thread it keeps only its files.
  ScriptedPayLoads background("239.0.2.155", 3937, dir.path() + "/");
  background.script = {Dg(2, 0, 0, 0, "all")};
  ASSERT_TRUE(background.Start(true));
  for (int i = 0; i < 500 && background.Running(); ++i) std::this_thread::sleep_for(10ms);
  ASSERT_FALSE(background.Running());
  EXPECT_TRUE(background.Result());
  EXPECT_EQ(background.ObtenerXMLTotal(), "");
  EXPECT_EQ(dir.Read("02_0000.xml"), "all");
}

// On a real multicast group, inside the private network namespace.
class PayLoadsSocketTest : public PayLoadsTest {
 protected:
  void SetUp() override {
    const char* netns = getenv("QUORVINA_NETNS");
    if (netns == nullptr || std::string(netns) != "1")
      GTEST_SKIP() << "needs the private network namespace (scripts/netns-run.sh)";
    PayLoadsTest::SetUp();
  }
  // Starts the reception and returns once the group is joined.
  std::future<bool> Run(PayLoads& receiver) {
    auto result = std::async(std::launch::async, [&receiver] { return receiver.CargarPayLoads(); });
    for (int i = 0; i < 300 && !host.Logged("CCU Payload " + receiver.Address()); ++i)
      std::this_thread::sleep_for(10ms);
    return result;
  }
};

TEST_F(PayLoadsSocketTest, ReceivesCarouselFromGroup) {
  PayLoads receiver("239.255.42.1", 19371, dir.path() + "/");
  std::future<bool> result = Run(receiver);
  const int out = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{AF_INET, htons(19371), {inet_addr("239.255.42.1")}, {}};
  // Only the last datagram of a round completes everything, so each round
  // is read whole: the big one is cut by the receive buffer.
  const std::string round[] = {Dg(2, 0, 0, 1, "<SD>"), Dg(7, 0, 0, 0, std::string(2500, 'z'), 0x41),
                               Dg(5, 0, 0, 0, "<P/>"), Dg(2, 0, 1, 1, "</SD>")};
  for (int i = 0; i < 50 && result.wait_for(50ms) != std::future_status::ready; ++i) {
    for (const std::string& d : round)
      sendto(out, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
  }
  close(out);
  EXPECT_TRUE(result.get());
  EXPECT_EQ(dir.Read("02_0000.xml"), "<SD></SD>");
  EXPECT_EQ(dir.Read("05_0000.xml"), "<P/>");
  EXPECT_EQ(receiver.ObtenerXMLPayLoad("07"), std::string(PayLoads::kTamanoBuffer - 12, 'z'));
}

TEST_F(PayLoadsSocketTest, StopFlagIsSeenWithinOneTimeout) {
  PayLoads receiver("239.255.42.2", 19372, "");
  std::future<bool> result = Run(receiver);
  std::this_thread::sleep_for(300ms);
  const auto stop = std::chrono::steady_clock::now();
  PararProceso = true;
  EXPECT_FALSE(result.get());
  EXPECT_LT(std::chrono::steady_clock::now() - stop, 2500ms);
  EXPECT_TRUE(host.Notifications().empty());
}

}  // namespace
