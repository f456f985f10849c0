#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <thread>

#include "common/Globals.h"
#include "discovery/PayLoads.h"
#include "support/FakeHost.h"

namespace {

// A DVB-STP datagram built byte by byte, independent of the parser under
// test. Flag bytes 0x01 and 0x41 get four trailing bytes.
std::string Dg(unsigned payload, unsigned segment, unsigned section, unsigned last,
               const std::string& body, unsigned char first = 0x00) {
  const size_t n = body.size();
  std::string d = {char(first),        char(n >> 16),
                   char(n >> 8),       char(n),
                   char(payload),      char(segment >> 8),
                   char(segment),      char(7),
                   char(section >> 4), char((section & 0x0f) << 4 | (last >> 8 & 0x0f)),
                   char(last),         char(0x5c)};
  d += body;
  if (first == 0x01 || first == 0x41) d += "CRC!";
  return d;
}

Trama Parse(const PayLoads& receiver, const std::string& d) {
  return receiver.GenerarTrama(static_cast<int>(d.size()),
                               reinterpret_cast<const unsigned char*>(d.data()));
}

std::string Guide(const std::string& ref) {
  return "<TVAMain><ProgramDescription><ProgramLocationTable><Schedule serviceIDRef=\"" + ref +
         "\"/></ProgramLocationTable></ProgramDescription></TVAMain>";
}

bool Exists(const std::string& path) {
  return std::ifstream(path).good();
}

class PayLoadsTest : public ::testing::Test {
 protected:
  void SetUp() override { ModoDebug = true; }
  void TearDown() override {
    ModoDebug = false;
    PararProceso = false;
  }
  std::string Folder() const { return dir.path() + "/"; }

  FakeHost host;
  TempDir dir;
};

TEST_F(PayLoadsTest, HeaderFieldsAreReadBigEndian) {
  const Trama t = Parse(PayLoads(), Dg(0xF1, 0x00A0, 0xABC, 0x123, "<x/>"));
  ASSERT_TRUE(t.valid);
  EXPECT_EQ(t.payloadId, "f1");
  EXPECT_EQ(t.segmentId, "00a0");
  EXPECT_EQ(t.section, 0xABCu);
  EXPECT_EQ(t.lastSection, 0x123u);
  EXPECT_EQ(t.segmentVersion, 7u);
  EXPECT_EQ(t.totalSize, 4u);
  EXPECT_EQ(t.flags, "5c");
}

TEST_F(PayLoadsTest, BodyStartsAfterTheHeaderAndLosesOnlyAFlaggedCrc) {
  struct Case {
    std::string datagram;
    bool valid;
    std::string body;
  };
  const Case cases[] = {
      {Dg(2, 0, 0, 0, "abc", 0x01), true, "abc"}, {Dg(2, 0, 0, 0, "abc", 0x41), true, "abcCRC!"},
      {Dg(2, 0, 0, 0, "abc"), true, "abc"},       {std::string(12, '\0'), true, ""},
      {"\x01" + std::string(15, '\0'), true, ""}, {"", false, ""},
      {std::string(11, '\0'), false, ""},         {"\x01" + std::string(14, '\0'), false, ""}};
  for (const Case& c : cases) {
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

TEST_F(PayLoadsTest, ConvertHexNeverReadsPastTheBuffer) {
  const unsigned char bytes[] = {0x0a, 0xff, 0x12};
  EXPECT_EQ(PayLoads::ConvertHex(0, 3, bytes, 3), "0aff12");
  EXPECT_EQ(PayLoads::ConvertHex(1, 5, bytes, 3), "ff12");
  EXPECT_EQ(PayLoads::ConvertHex(3, 1, bytes, 3), "");
  EXPECT_EQ(PayLoads::Converttoint(0, 3, bytes, 3), 0x0aff12u);
}

struct AssemblyCase {
  const char* name;
  std::vector<std::string> fixed;  // the segment list; empty for an open list
  std::vector<std::string> datagrams;
  std::string xml;  // ObtenerXMLTotal
  bool finished;
  std::vector<std::pair<const char*, const char*>> files;  // null content: not written
};

TEST_F(PayLoadsTest, AssemblesSegmentsAndPayloads) {
  const AssemblyCase cases[] = {
      {"sections in order, first copy kept",
       {},
       {Dg(2, 0, 2, 2, "C"), Dg(2, 0, 0, 2, "A"), Dg(2, 0, 0, 2, "X"), Dg(2, 0, 1, 2, "B")},
       "ABC",
       true,
       {{"02_0000.xml", "ABC"}}},
      {"written once, on the completing frame",
       {},
       {Dg(2, 0, 0, 0, "first"), Dg(2, 0, 1, 1, "more")},
       "firstmore",
       true,
       {{"02_0000.xml", "first"}}},
      {"fixed list drops unlisted segments",
       {"0001", "0003"},
       {Dg(2, 2, 0, 0, "s2"), Dg(2, 1, 0, 0, "s1"), Dg(2, 3, 0, 0, "s3")},
       "s1s3",
       true,
       {{"02_0001.xml", "s1"}, {"02_0002.xml", nullptr}, {"02_0003.xml", "s3"}}},
      {"fixed list waits for every listed segment",
       {"0001", "0003"},
       {Dg(2, 1, 0, 0, "s1")},
       "s1",
       false,
       {}},
      {"open list completes with the segments seen",
       {},
       {Dg(2, 1, 0, 0, "one"), Dg(2, 2, 0, 1, "two")},
       "onetwo",
       true,
       {{"02_0002.xml", nullptr}}},
      {"an incomplete new payload leaves finished as it was",
       {},
       {Dg(6, 0, 0, 0, "c"), Dg(2, 0, 0, 0, "a"), Dg(5, 0, 0, 1, "b")},
       "abc",
       true,
       {}},
      {"a payload completing while another waits",
       {},
       {Dg(5, 0, 0, 1, "b"), Dg(2, 0, 0, 0, "a")},
       "ab",
       false,
       {{"05_0000.xml", nullptr}}},
  };
  for (const AssemblyCase& c : cases) {
    TempDir folder;
    PayLoads receiver("239.0.2.155", 3937, c.fixed, folder.path() + "/");
    for (const std::string& d : c.datagrams) receiver.ProcesarTrama(Parse(receiver, d));
    EXPECT_EQ(receiver.ObtenerXMLTotal(), c.xml) << c.name;
    EXPECT_EQ(receiver.Finished(), c.finished) << c.name;
    for (const auto& [name, content] : c.files) {
      if (content == nullptr) {
        EXPECT_FALSE(Exists(folder.file(name))) << c.name << ": " << name;
      } else {
        EXPECT_EQ(folder.Read(name), content) << c.name << ": " << name;
      }
    }
  }
}

TEST_F(PayLoadsTest, XmlPerPayloadInIdOrder) {
  PayLoads receiver;
  for (unsigned id : {6u, 2u, 5u})
    receiver.ProcesarTrama(Parse(receiver, Dg(id, 0, 0, 0, "p" + std::to_string(id))));
  EXPECT_EQ(receiver.ObtenerXMLPayLoads(), (std::vector<std::string>{"p2", "p5", "p6"}));
  EXPECT_EQ(receiver.ObtenerXMLPayLoad("06"), "p6");
  EXPECT_EQ(receiver.ObtenerXMLPayLoad("07"), "");
}

TEST_F(PayLoadsTest, GuideModeWritesWantedChannelsUnderTheFileTag) {
  PayLoads receiver("239.0.2.200", 3937, {"0010", "0011", "0012", "0013", "0014"}, Folder());
  receiver.SetGuideMode(true);
  receiver.SetFileTag("0010");
  receiver.SetWantedChannels({1234, 77});
  for (const std::string& d : {Dg(0x02, 0x10, 0, 0, Guide("1234.tv.es")),  // not the guide
                               Dg(0xF1, 0x10, 0, 0, Guide("1234.tv.es")),
                               Dg(0xF1, 0x11, 0, 0, Guide("555.tv.es")),  // not wanted
                               Dg(0xF1, 0x12, 0, 0, "<TVAMain><A/></TVAMain>")}) {
    receiver.ProcesarTrama(Parse(receiver, d));
  }
  EXPECT_EQ(receiver.PayLoadMap().count("02"), 0u);
  const PayLoad& guide = receiver.PayLoadMap().at("f1");
  EXPECT_EQ(guide.Pending(), (std::vector<std::string>{"0013", "0014"}));
  EXPECT_EQ(guide.WantedChannels(), std::vector<int>{77});
  EXPECT_EQ(dir.Read("1234_0010.xml"), Guide("1234.tv.es"));
  EXPECT_FALSE(Exists(dir.file("555_0010.xml")));
  EXPECT_FALSE(receiver.Finished());
  // The last wanted channel completes the payload with a segment pending.
  receiver.ProcesarTrama(Parse(receiver, Dg(0xF1, 0x13, 0, 0, Guide("77"))));
  EXPECT_TRUE(receiver.Finished());
  EXPECT_EQ(dir.Read("77_0010.xml"), Guide("77"));
}

TEST_F(PayLoadsTest, PayloadDeadlineSettlesForWhatItHas) {
  PayLoad payload("02", {"0000", "0001"});
  payload.SetDeadline(time(nullptr) - 1);
  payload.ProcesarTrama(Parse(PayLoads(), Dg(2, 9, 0, 0, "unlisted")));
  EXPECT_FALSE(payload.Complete());
  payload.ProcesarTrama(Parse(PayLoads(), Dg(2, 0, 0, 3, "part")));
  EXPECT_TRUE(payload.Complete());
  EXPECT_TRUE(payload.Pending().empty());
  EXPECT_TRUE(host.Logged("Timeout Payload 02"));
}

// --- the reception loop, with the group replaced by a script ---

// Steps: a datagram, or "T" (time-out), "E" (empty datagram), "S" (raise the
// stop flag, then time out). An exhausted script is a silent group.
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
    if (script.empty()) return -1;
    const std::string step = script.front();
    script.pop_front();
    if (step == "S") PararProceso = true;
    if (step == "E") return 0;
    if (step.size() == 1) return -1;
    const int n = std::min(size, static_cast<int>(step.size()));
    memcpy(buffer, step.data(), static_cast<size_t>(n));
    return n;
  }
};

std::vector<std::string> Times(const std::string& step, int n) {
  return std::vector<std::string>(static_cast<size_t>(n), step);
}

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST_F(PayLoadsTest, ReceptionLoop) {
  struct Case {
    const char* name;
    std::vector<std::string> script;
    int failingOpens;
    bool pastDeadline;
    bool result;
    int receives, opens;
    bool notified;
    std::string xml;
    const char* log;
  };
  const Case cases[] = {
      {"carousel", Join({{Dg(2, 0, 0, 1, "A")}, Times("T", 9), {Dg(2, 0, 1, 1, "B")}}), 0, false,
       true, 11, 1, false, "AB", "ProcesarTrama Payload 239.0.2.155"},
      {"silent group", Times("T", 40), 0, false, false, 30, 3, true, "",
       "Timeout recvfrom 239.0.2.155"},
      {"empty datagrams", Times("E", 40), 0, false, false, 30, 3, true, "", nullptr},
      {"unopenable group", Times("T", 40), 4, false, false, 30, 7, true, "", nullptr},
      // 10 + 10 + 5 time-outs, the datagram, then three silent attempts.
      {"datagram resets both counts", Join({Times("T", 25), {Dg(2, 0, 0, 1, "A")}}), 0, false,
       false, 56, 5, true, "A", nullptr},
      {"stop flag", Join({Times("T", 2), {"S"}, Times("T", 5)}), 0, false, false, 3, 1, false, "",
       nullptr},
      {"overall deadline", Times(Dg(2, 0, 0, 5, "part"), 2), 0, true, true, 1, 1, false, "part",
       "Timeout Payloads"},
      {"long datagram cut",
       {Dg(2, 0, 0, 0, std::string(2500, 'x'), 0x41)},
       0,
       false,
       true,
       1,
       1,
       false,
       std::string(PayLoads::kTamanoBuffer - 12, 'x'),
       nullptr},
  };
  host.SetString(30515, "Sin datos del servidor");
  for (const Case& c : cases) {
    host.ClearLogs();
    PararProceso = false;
    ScriptedPayLoads receiver("239.0.2.155", 3937, "");
    receiver.script.assign(c.script.begin(), c.script.end());
    receiver.failingOpens = c.failingOpens;
    if (c.pastDeadline) receiver.SetDeadline(time(nullptr) - 1);
    EXPECT_EQ(receiver.CargarPayLoads(), c.result) << c.name;
    EXPECT_EQ(receiver.receives, c.receives) << c.name;
    EXPECT_EQ(receiver.opens, c.opens) << c.name;
    EXPECT_EQ(receiver.closes, c.opens) << c.name;
    EXPECT_EQ(host.Notified(QUEUE_ERROR, "Sin datos del servidor"), c.notified) << c.name;
    EXPECT_EQ(receiver.ObtenerXMLTotal(), c.xml) << c.name;
    if (c.log != nullptr) {
      EXPECT_TRUE(host.Logged(c.log)) << c.name;
    }
  }
}

TEST_F(PayLoadsTest, ThreadRunKeepsOnlyItsFiles) {
  ScriptedPayLoads receiver("239.0.2.155", 3937, Folder());
  receiver.script = {Dg(2, 0, 0, 0, "all")};
  ASSERT_TRUE(receiver.Start(true));
  for (int i = 0; i < 500 && receiver.Running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_FALSE(receiver.Running());
  EXPECT_TRUE(receiver.Result());
  EXPECT_EQ(receiver.ObtenerXMLTotal(), "");
  EXPECT_EQ(dir.Read("02_0000.xml"), "all");
}

// --- on a real multicast group, inside the private network namespace ---

class PayLoadsSocketTest : public PayLoadsTest {
 protected:
  void SetUp() override {
    const char* netns = getenv("QUORVINA_NETNS");
    if (netns == nullptr || std::string(netns) != "1") {
      GTEST_SKIP() << "needs the private network namespace (scripts/netns-run.sh)";
    }
    PayLoadsTest::SetUp();
  }
  // Starts the reception and returns once the group is joined.
  void Run(PayLoads& receiver) {
    rx = std::thread([this, &receiver] {
      result = receiver.CargarPayLoads();
      done = true;
    });
    for (int i = 0; i < 300 && !host.Logged("CCU Payload " + receiver.Address()); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  std::thread rx;
  std::atomic<bool> done{false};
  bool result = false;
};

TEST_F(PayLoadsSocketTest, ReceivesCarouselFromGroup) {
  PayLoads receiver("239.255.42.1", 19371, Folder());
  Run(receiver);
  const int out = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(19371);
  to.sin_addr.s_addr = inet_addr("239.255.42.1");
  // Only the last datagram of a round completes everything, so each round
  // is read whole: the big one is cut by the receive buffer.
  const std::string round[] = {Dg(2, 0, 0, 1, "<SD>"), Dg(7, 0, 0, 0, std::string(2500, 'z'), 0x41),
                               Dg(5, 0, 0, 0, "<P/>"), Dg(2, 0, 1, 1, "</SD>")};
  for (int i = 0; i < 50 && !done; ++i) {
    for (const std::string& d : round) {
      sendto(out, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  close(out);
  rx.join();
  EXPECT_TRUE(result);
  EXPECT_EQ(dir.Read("02_0000.xml"), "<SD></SD>");
  EXPECT_EQ(dir.Read("05_0000.xml"), "<P/>");
  EXPECT_EQ(receiver.ObtenerXMLPayLoad("07"), std::string(PayLoads::kTamanoBuffer - 12, 'z'));
}

TEST_F(PayLoadsSocketTest, StopFlagIsSeenWithinOneTimeout) {
  PayLoads receiver("239.255.42.2", 19372, "");
  result = true;
  Run(receiver);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto stop = std::chrono::steady_clock::now();
  PararProceso = true;
  rx.join();
  EXPECT_LT(std::chrono::steady_clock::now() - stop, std::chrono::milliseconds(2500));
  EXPECT_FALSE(result);
  EXPECT_TRUE(host.Notifications().empty());
}

}  // namespace
