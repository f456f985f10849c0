#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
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

// DVB-STP datagram built byte by byte, independent of the parser under test.
struct Frame {
  unsigned char first = 0x00;  // version, encryption and CRC flag
  unsigned payload = 0x02;
  unsigned segment = 0x0000;
  unsigned section = 0;
  unsigned last = 0;
  std::string body;
  unsigned version = 1;
  unsigned char flags = 0x00;

  std::string Bytes() const {
    const size_t total = body.size();
    std::string d;
    d += static_cast<char>(first);
    d += static_cast<char>((total >> 16) & 0xff);
    d += static_cast<char>((total >> 8) & 0xff);
    d += static_cast<char>(total & 0xff);
    d += static_cast<char>(payload);
    d += static_cast<char>(segment >> 8);
    d += static_cast<char>(segment & 0xff);
    d += static_cast<char>(version);
    d += static_cast<char>((section >> 4) & 0xff);
    d += static_cast<char>(((section & 0x0f) << 4) | ((last >> 8) & 0x0f));
    d += static_cast<char>(last & 0xff);
    d += static_cast<char>(flags);
    d += body;
    // Four trailing bytes: a CRC only when the flag byte says so.
    if (first == 0x01 || first == 0x41) d += "CRC!";
    return d;
  }
};

Trama Parse(const PayLoads& receiver, const std::string& datagram) {
  return receiver.GenerarTrama(static_cast<int>(datagram.size()),
                               reinterpret_cast<const unsigned char*>(datagram.data()));
}

void Feed(PayLoads& receiver, const Frame& frame) {
  receiver.ProcesarTrama(Parse(receiver, frame.Bytes()));
}

std::string Guide(const std::string& ref) {
  return "<TVAMain><ProgramDescription><ProgramLocationTable><Schedule serviceIDRef=\"" + ref +
         "\"/></ProgramLocationTable></ProgramDescription></TVAMain>";
}

bool Exists(const std::string& path) {
  return std::ifstream(path).good();
}

// Receiver whose group is a script: datagrams, time-outs, empty datagrams,
// or a step that raises the stop flag. An exhausted script is a silent group.
class ScriptedPayLoads : public PayLoads {
 public:
  using PayLoads::PayLoads;
  enum Kind { kDatagram, kTimeout, kEmpty, kStop };
  struct Step {
    Kind kind;
    std::string bytes;
  };
  void Add(Kind kind, int times = 1) {
    for (int i = 0; i < times; ++i) script.push_back({kind, ""});
  }
  void Add(const Frame& frame) { script.push_back({kDatagram, frame.Bytes()}); }

  std::deque<Step> script;
  int failingOpens = 0;
  int opens = 0, closes = 0, receives = 0;
  int capacity = 0;

 protected:
  bool OpenGroup() override {
    ++opens;
    if (failingOpens == 0) return true;
    --failingOpens;
    return false;
  }
  int Receive(unsigned char* buffer, int size) override {
    ++receives;
    capacity = size;
    if (script.empty()) return -1;
    const Step step = script.front();
    script.pop_front();
    if (step.kind == kStop) PararProceso = true;
    if (step.kind == kEmpty) return 0;
    if (step.kind != kDatagram) return -1;
    const int n = std::min(size, static_cast<int>(step.bytes.size()));
    memcpy(buffer, step.bytes.data(), static_cast<size_t>(n));
    return n;
  }
  void CloseGroup() override { ++closes; }
};

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
  PayLoads receiver;
  Frame f;
  f.payload = 0xF1;
  f.segment = 0x00A0;
  f.section = 0xABC;
  f.last = 0x123;
  f.version = 7;
  f.flags = 0x5C;
  f.body = "<x/>";
  const Trama t = Parse(receiver, f.Bytes());
  ASSERT_TRUE(t.valid);
  EXPECT_EQ(t.payloadId, "f1");
  EXPECT_EQ(t.segmentId, "00a0");
  EXPECT_EQ(t.section, 0xABCu);
  EXPECT_EQ(t.lastSection, 0x123u);
  EXPECT_EQ(t.segmentVersion, 7u);
  EXPECT_EQ(t.totalSize, 4u);
  EXPECT_EQ(t.flags, "5c");
  EXPECT_EQ(t.body, "<x/>");
}

TEST_F(PayLoadsTest, CrcIsCutOnlyWhenFirstByteIsExactlyOne) {
  struct Case {
    unsigned char first;
    bool crc;
    std::string body;
  };
  for (const Case& c :
       {Case{0x01, true, "abc"}, Case{0x41, false, "abcCRC!"}, Case{0x00, false, "abc"}}) {
    PayLoads receiver;
    Frame f;
    f.first = c.first;
    f.body = "abc";
    const Trama t = Parse(receiver, f.Bytes());
    EXPECT_EQ(t.crc, c.crc) << int(c.first);
    EXPECT_EQ(t.body, c.body) << int(c.first);
  }
}

TEST_F(PayLoadsTest, DatagramShorterThanHeaderIsRejected) {
  struct Case {
    std::string datagram;
    bool valid;
  };
  const std::string header(11, '\0');
  const Case cases[] = {{"", false},
                        {"\x02", false},
                        {header, false},
                        {header + '\0', true},                    // empty body
                        {"\x01" + std::string(14, '\0'), false},  // no room for the CRC
                        {"\x01" + std::string(15, '\0'), true}};
  for (const Case& c : cases) {
    host.ClearLogs();
    PayLoads receiver("239.0.2.155", 3937, "");
    const Trama t = Parse(receiver, c.datagram);
    EXPECT_EQ(t.valid, c.valid) << c.datagram.size();
    EXPECT_TRUE(t.body.empty());
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
  EXPECT_EQ(PayLoads::ConvertHex(-1, 2, bytes, 3), "");
  EXPECT_EQ(PayLoads::Converttoint(0, 3, bytes, 3), 0x0aff12u);
  EXPECT_EQ(PayLoads::Converttoint(2, 4, bytes, 3), 0x12u);
}

TEST_F(PayLoadsTest, SectionsJoinInOrderAndDuplicatesKeepTheFirstBody) {
  PayLoads receiver("239.0.2.155", 3937, Folder());
  Frame f;
  f.last = 2;
  for (const auto& [section, body] :
       std::vector<std::pair<unsigned, std::string>>{{2, "C"}, {0, "A"}, {0, "X"}}) {
    f.section = section;
    f.body = body;
    Feed(receiver, f);
  }
  EXPECT_FALSE(receiver.Finished());
  EXPECT_FALSE(Exists(dir.file("02_0000.xml")));
  f.section = 1;
  f.body = "B";
  Feed(receiver, f);
  EXPECT_TRUE(receiver.Finished());
  EXPECT_EQ(receiver.ObtenerXMLPayLoad("02"), "ABC");
  EXPECT_EQ(dir.Read("02_0000.xml"), "ABC");
}

TEST_F(PayLoadsTest, SegmentIsWrittenOnceOnTheFrameThatCompletesIt) {
  PayLoads receiver("239.0.2.155", 3937, Folder());
  Frame f;
  f.payload = 0x05;
  f.body = "first";
  Feed(receiver, f);  // last section 0: complete at once
  EXPECT_EQ(dir.Read("05_0000.xml"), "first");
  std::remove(dir.file("05_0000.xml").c_str());
  f.body = "again";
  Feed(receiver, f);
  EXPECT_FALSE(Exists(dir.file("05_0000.xml")));
}

TEST_F(PayLoadsTest, OpenListCompletesWithTheSegmentsSeenSoFar) {
  PayLoads receiver("239.0.2.155", 3937, "");
  Frame f;
  f.segment = 0x0001;
  f.body = "one";
  Feed(receiver, f);
  EXPECT_TRUE(receiver.Finished());
  // A segment seen later is pending but does not reopen the payload.
  f.segment = 0x0002;
  f.last = 1;
  Feed(receiver, f);
  EXPECT_EQ(receiver.PayLoadMap().at("02").Pending(), std::vector<std::string>{"0002"});
  EXPECT_TRUE(receiver.PayLoadMap().at("02").Complete());
  EXPECT_TRUE(receiver.Finished());
  // A new incomplete payload leaves finished as it was; the next payload to
  // complete looks at all of them again.
  f.payload = 0x05;
  Feed(receiver, f);
  EXPECT_TRUE(receiver.Finished());
  f.payload = 0x02;
  f.section = 1;
  f.body = "two";
  Feed(receiver, f);
  EXPECT_FALSE(receiver.Finished());
  EXPECT_EQ(receiver.ObtenerXMLPayLoad("02"), "oneonetwo");
}

TEST_F(PayLoadsTest, FixedListDropsUnlistedSegments) {
  PayLoads receiver("239.0.2.155", 3937, {"0001", "0003"}, Folder());
  Frame f;
  for (unsigned segment : {0x0002u, 0x0001u, 0x0003u}) {
    f.segment = segment;
    f.body = "s" + std::to_string(segment);
    Feed(receiver, f);
    if (segment == 0x0001u) {
      EXPECT_FALSE(receiver.Finished());
    }
  }
  EXPECT_TRUE(receiver.Finished());
  EXPECT_EQ(receiver.PayLoadMap().at("02").Segments().count("0002"), 0u);
  EXPECT_FALSE(Exists(dir.file("02_0002.xml")));
  EXPECT_EQ(dir.Read("02_0003.xml"), "s3");
}

TEST_F(PayLoadsTest, XmlTextsFollowPayloadIdOrder) {
  PayLoads receiver;
  Frame f;
  for (unsigned payload : {0x06u, 0x02u, 0x05u}) {
    f.payload = payload;
    f.body = "p" + std::to_string(payload);
    Feed(receiver, f);
  }
  EXPECT_EQ(receiver.ObtenerXMLTotal(), "p2p5p6");
  EXPECT_EQ(receiver.ObtenerXMLPayLoads(), (std::vector<std::string>{"p2", "p5", "p6"}));
  EXPECT_EQ(receiver.ObtenerXMLPayLoad("06"), "p6");
  EXPECT_EQ(receiver.ObtenerXMLPayLoad("07"), "");
}

TEST_F(PayLoadsTest, GuideModeWritesWantedChannelsUnderTheFileTag) {
  PayLoads receiver("239.0.2.200", 3937, {"0010", "0011", "0012", "0013", "0014"}, Folder());
  receiver.SetGuideMode(true);
  receiver.SetFileTag("0010");
  receiver.SetWantedChannels({1234, 77});
  struct Case {
    unsigned payload;
    unsigned segment;
    std::string body;
  };
  const Case cases[] = {{0x02, 0x0010, Guide("1234.tv.es")},  // not the guide payload
                        {0xF1, 0x0010, Guide("1234.tv.es")},
                        {0xF1, 0x0011, Guide("555.tv.es")},  // channel not wanted
                        {0xF1, 0x0012, "<TVAMain><A/></TVAMain>"}};
  for (const Case& c : cases) {
    Frame f;
    f.payload = c.payload;
    f.segment = c.segment;
    f.body = c.body;
    Feed(receiver, f);
  }
  EXPECT_EQ(receiver.PayLoadMap().count("02"), 0u);
  const PayLoad& guide = receiver.PayLoadMap().at("f1");
  EXPECT_EQ(guide.Pending(), (std::vector<std::string>{"0013", "0014"}));
  EXPECT_EQ(guide.WantedChannels(), std::vector<int>{77});
  EXPECT_EQ(dir.Read("1234_0010.xml"), Guide("1234.tv.es"));
  EXPECT_FALSE(Exists(dir.file("555_0010.xml")));
  EXPECT_FALSE(Exists(dir.file("_0010.xml")));
  EXPECT_FALSE(receiver.Finished());

  // The last wanted channel completes the payload although a segment is pending.
  Frame f;
  f.payload = 0xF1;
  f.segment = 0x0013;
  f.body = Guide("77");
  Feed(receiver, f);
  EXPECT_TRUE(receiver.Finished());
  EXPECT_EQ(receiver.PayLoadMap().at("f1").Pending(), std::vector<std::string>{"0014"});
  EXPECT_EQ(dir.Read("77_0010.xml"), Guide("77"));
}

TEST_F(PayLoadsTest, ChannelIsCutAtTheFirstDotUnlessItLeads) {
  const std::pair<std::string, std::string> cases[] = {{Guide("1234.imagenio.es"), "1234"},
                                                       {Guide(".5"), ".5"},
                                                       {Guide("42"), "42"},
                                                       {"<TVAMain><A><B/></A></TVAMain>", ""},
                                                       {"not xml", ""}};
  for (const auto& [text, channel] : cases) {
    Frame f;
    f.body = text;
    Segment segment("0000");
    segment.AddFragment(Parse(PayLoads(), f.Bytes()));
    EXPECT_EQ(PayLoad().ObtenerCanal(segment), channel) << text;
  }
}

TEST_F(PayLoadsTest, PayloadDeadlineSettlesForWhatItHas) {
  PayLoad payload("02", {"0000", "0001"});
  payload.SetDeadline(time(nullptr) - 1);
  Frame f;
  f.segment = 0x0009;  // unlisted: dropped before the deadline is looked at
  payload.ProcesarTrama(Parse(PayLoads(), f.Bytes()));
  EXPECT_FALSE(payload.Complete());
  EXPECT_FALSE(host.Logged("Timeout Payload"));
  f.segment = 0x0000;
  f.last = 3;
  payload.ProcesarTrama(Parse(PayLoads(), f.Bytes()));
  EXPECT_TRUE(payload.Complete());
  EXPECT_TRUE(payload.Pending().empty());
  EXPECT_TRUE(host.Logged("Timeout Payload 02"));
}

// --- the reception loop ---

TEST_F(PayLoadsTest, CarouselEndsReceptionWithTrue) {
  ScriptedPayLoads receiver("239.0.2.155", 3937, Folder());
  Frame f;
  f.last = 1;
  f.body = "A";
  receiver.Add(f);
  receiver.Add(ScriptedPayLoads::kTimeout, 9);
  f.section = 1;
  f.body = "B";
  receiver.Add(f);
  EXPECT_TRUE(receiver.CargarPayLoads());
  EXPECT_EQ(receiver.receives, 11);
  EXPECT_EQ(receiver.opens, 1);
  EXPECT_EQ(receiver.closes, 1);
  EXPECT_EQ(receiver.capacity, PayLoads::kTamanoBuffer);
  EXPECT_EQ(dir.Read("02_0000.xml"), "AB");
  EXPECT_TRUE(host.Notifications().empty());
}

TEST_F(PayLoadsTest, SilentGroupIsGivenUpAfterThreeAttempts) {
  struct Case {
    const char* name;
    ScriptedPayLoads::Kind silence;
    int failingOpens;
  };
  for (const Case& c : {Case{"timeouts", ScriptedPayLoads::kTimeout, 0},
                        Case{"empty datagrams", ScriptedPayLoads::kEmpty, 0},
                        Case{"unopenable first", ScriptedPayLoads::kTimeout, 4}}) {
    host.ClearLogs();
    host.SetString(30515, "Sin datos del servidor");
    ScriptedPayLoads receiver("239.0.2.155", 3937, "");
    receiver.failingOpens = c.failingOpens;
    receiver.Add(c.silence, 40);
    EXPECT_FALSE(receiver.CargarPayLoads()) << c.name;
    EXPECT_EQ(receiver.receives, 30) << c.name;
    EXPECT_EQ(receiver.opens, 3 + c.failingOpens) << c.name;
    EXPECT_EQ(receiver.closes, receiver.opens) << c.name;
    EXPECT_TRUE(host.Notified(QUEUE_ERROR, "Sin datos del servidor")) << c.name;
    EXPECT_TRUE(host.Logged("Timeout recvfrom 239.0.2.155")) << c.name;
  }
}

TEST_F(PayLoadsTest, DatagramResetsBothSilenceCounts) {
  ScriptedPayLoads receiver("239.0.2.155", 3937, "");
  receiver.Add(ScriptedPayLoads::kTimeout, 25);
  Frame f;
  f.last = 1;  // incomplete, so reception goes on
  receiver.Add(f);
  EXPECT_FALSE(receiver.CargarPayLoads());
  // 10 + 10 + 5, the datagram, then three more silent attempts.
  EXPECT_EQ(receiver.receives, 56);
  EXPECT_EQ(receiver.opens, 5);
}

TEST_F(PayLoadsTest, StopFlagEndsReceptionWithoutNotification) {
  ScriptedPayLoads receiver("239.0.2.155", 3937, "");
  receiver.Add(ScriptedPayLoads::kTimeout, 2);
  receiver.Add(ScriptedPayLoads::kStop);
  receiver.Add(ScriptedPayLoads::kTimeout, 5);
  EXPECT_FALSE(receiver.CargarPayLoads());
  EXPECT_EQ(receiver.receives, 3);
  EXPECT_TRUE(host.Notifications().empty());

  ScriptedPayLoads stopped("239.0.2.155", 3937, "");
  EXPECT_FALSE(stopped.CargarPayLoads());
  EXPECT_EQ(stopped.opens, 0);
}

TEST_F(PayLoadsTest, OverallDeadlineKeepsWhatArrived) {
  ScriptedPayLoads receiver("239.0.2.155", 3937, "");
  receiver.SetDeadline(time(nullptr) - 1);
  Frame f;
  f.last = 5;
  f.body = "part";
  receiver.Add(f);
  receiver.Add(f);
  EXPECT_TRUE(receiver.CargarPayLoads());
  EXPECT_EQ(receiver.receives, 1);
  EXPECT_TRUE(host.Logged("Timeout Payloads"));
  EXPECT_EQ(receiver.ObtenerXMLTotal(), "part");
}

TEST_F(PayLoadsTest, LongDatagramIsCutToTheBuffer) {
  ScriptedPayLoads receiver("239.0.2.155", 3937, "");
  Frame f;
  f.first = 0x41;  // trailing bytes stay in the body
  f.body = std::string(2500, 'x');
  receiver.Add(f);
  EXPECT_TRUE(receiver.CargarPayLoads());
  EXPECT_EQ(receiver.ObtenerXMLTotal(), std::string(PayLoads::kTamanoBuffer - 12, 'x'));
}

TEST_F(PayLoadsTest, ThreadRunKeepsOnlyItsFiles) {
  ScriptedPayLoads receiver("239.0.2.155", 3937, Folder());
  Frame f;
  f.body = "all";
  receiver.Add(f);
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
  bool WaitJoined(const std::string& group) {
    for (int i = 0; i < 300; ++i) {
      if (host.Logged("CCU Payload " + group)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
};

TEST_F(PayLoadsSocketTest, ReceivesCarouselFromGroup) {
  const std::string group = "239.255.42.1";
  const int port = 19371;
  PayLoads receiver(group, port, Folder());
  std::atomic<bool> done{false};
  bool result = false;
  std::thread rx([&] {
    result = receiver.CargarPayLoads();
    done = true;
  });
  ASSERT_TRUE(WaitJoined(group));

  const int out = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = inet_addr(group.c_str());
  Frame a, big, order, b;
  a.last = 1;
  a.body = "<ServiceDiscovery>";
  big.first = 0x41;
  big.payload = 0x07;
  big.body = std::string(2500, 'z');
  order.payload = 0x05;
  order.body = "<Packages/>";
  b = a;
  b.section = 1;
  b.body = "</ServiceDiscovery>";
  // The big one and the order complete at once; the list only with its
  // last section, so every datagram is read before the reception ends.
  for (int round = 0; round < 50 && !done; ++round) {
    for (const Frame* f : {&a, &big, &order, &b}) {
      const std::string bytes = f->Bytes();
      sendto(out, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  close(out);
  rx.join();
  EXPECT_TRUE(result);
  EXPECT_EQ(dir.Read("02_0000.xml"), "<ServiceDiscovery></ServiceDiscovery>");
  EXPECT_EQ(dir.Read("05_0000.xml"), "<Packages/>");
  EXPECT_EQ(receiver.ObtenerXMLPayLoad("07"), std::string(PayLoads::kTamanoBuffer - 12, 'z'));
}

TEST_F(PayLoadsSocketTest, StopFlagIsSeenWithinOneTimeout) {
  const std::string group = "239.255.42.2";
  PayLoads receiver(group, 19372, "");
  std::atomic<bool> done{false};
  bool result = true;
  std::thread rx([&] {
    result = receiver.CargarPayLoads();
    done = true;
  });
  ASSERT_TRUE(WaitJoined(group));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto stop = std::chrono::steady_clock::now();
  PararProceso = true;
  rx.join();
  const auto took = std::chrono::steady_clock::now() - stop;
  EXPECT_LT(took, std::chrono::milliseconds(2500));
  EXPECT_FALSE(result);
  EXPECT_TRUE(host.Notifications().empty());
}

}  // namespace
