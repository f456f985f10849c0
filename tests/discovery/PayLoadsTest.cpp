// The DVB-STP receiver: datagrams to frames, frames to segments, payloads
// and files, and the reception loop on a group that a script stands in for.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <thread>
#include <tuple>

#include "common/Globals.h"
#include "common/Text.h"
#include "discovery/PayLoads.h"
#include "support/InProcessHost.h"

namespace {

using namespace std::chrono_literals;

const char* const kSinDatos = "No se reciben datos del servicio de descubrimiento";

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
  InProcessHost host;
  const TempDir& dir = host.user();
};

TEST_F(PayLoadsTest, HeaderIsReadBigEndianAndTheBodyLosesOnlyAFlaggedCrc) {
  const Trama t = Parse(PayLoads(), Dg(0xF1, 0x00A0, 0xABC, 0x123, "<x/>"));
  EXPECT_EQ(std::tie(t.payloadId, t.segmentId, t.flags, t.section, t.lastSection, t.segmentVersion,
                     t.totalSize, t.crc),
            std::make_tuple("f1", "00a0", "5c", 0xABCu, 0x123u, 7u, 4u, false));
  EXPECT_EQ(Parse(PayLoads(), Dg(2, 0, 0, 0, "abc", 0x01)).crcValue, 0x43524321u);  // "CRC!"
  const struct {
    std::string datagram;
    bool valid;
    std::string body;
  } cases[] = {{Dg(2, 0, 0, 0, "abc", 0x01), true, "abc"},
               {Dg(2, 0, 0, 0, "abc", 0x41), true, "abcCRC!"},  // 0x41 is no CRC flag
               {std::string(12, '\0'), true, ""},
               {"\x01" + std::string(15, '\0'), true, ""},
               {"", false, ""},
               {std::string(11, '\0'), false, ""},
               {"\x01" + std::string(14, '\0'), false, ""}};
  for (const auto& c : cases) {
    PayLoads receiver("239.0.2.155", 3937, "");
    const Trama frame = Parse(receiver, c.datagram);
    EXPECT_EQ(frame.valid, c.valid) << c.datagram.size();
    EXPECT_EQ(frame.body, c.body) << c.datagram.size();
    receiver.ProcesarTrama(frame);
    EXPECT_EQ(receiver.PayLoadMap().size(), c.valid ? 1u : 0u);
  }
  EXPECT_EQ(host.journal().countContaining(hostsim::EntryKind::Log, "Trama corta Payload"), 3u);
}

template <typename... Datagrams>
std::vector<std::string> Frames(Datagrams... datagrams) {
  return {datagrams...};
}

TEST_F(PayLoadsTest, SegmentsMakePayloadsAndEachIsWrittenOnceOnCompletion) {
  const struct {
    const char* name;
    const char* fixed;  // the segments accepted, "|" between; empty: any
    std::vector<std::string> frames;
    std::string xml;
    bool finished;
    const char* file;
    const char* content;  // "-": not written
  } cases[] = {
      {"completing frame", "", Frames(Dg(2, 0, 0, 0, "first"), Dg(2, 0, 1, 1, "more")), "firstmore",
       true, "02_0000.xml", "first"},
      {"unlisted segment", "0001|0003",
       Frames(Dg(2, 2, 0, 0, "s2"), Dg(2, 1, 0, 0, "s1"), Dg(2, 3, 0, 0, "s3")), "s1s3", true,
       "02_0002.xml", "-"},
      {"listed segment missing", "0001|0003", Frames(Dg(2, 1, 0, 0, "s1")), "s1", false,
       "02_0001.xml", "s1"},
      {"open list, segments seen", "", Frames(Dg(2, 1, 0, 0, "one"), Dg(2, 2, 0, 1, "two")),
       "onetwo", true, "02_0002.xml", "-"},
      // An incomplete new payload leaves finished as it was.
      {"new payload", "", Frames(Dg(6, 0, 0, 0, "c"), Dg(2, 0, 0, 0, "a"), Dg(5, 0, 0, 1, "b")),
       "abc", true, "05_0000.xml", "-"},
      {"another payload waits", "", Frames(Dg(5, 0, 0, 1, "b"), Dg(2, 0, 0, 0, "a")), "ab", false,
       "02_0000.xml", "a"},
  };
  for (const auto& c : cases) {
    TempDir folder;
    PayLoads receiver("239.0.2.155", 3937, split(c.fixed, '|'), folder.path() + "/");
    for (const std::string& d : c.frames) receiver.ProcesarTrama(Parse(receiver, d));
    EXPECT_EQ(receiver.ObtenerXMLTotal(), c.xml) << c.name;
    EXPECT_EQ(receiver.Finished(), c.finished) << c.name;
    const bool written = std::ifstream(folder.file(c.file)).good();
    EXPECT_EQ(written ? folder.Read(c.file) : "-", c.content) << c.name;
  }
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
  EXPECT_EQ(receiver.PayLoadMap().at("f1").Pending(), (std::vector<std::string>{"0013", "0014"}));
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

TEST_F(PayLoadsTest, ReceptionEndsFinishedGivenUpStoppedOrLate) {
  const struct {
    const char* name;
    std::deque<std::string> script;
    int failingOpens;
    bool late;  // the overall deadline already past
    bool result;
    int receives, opens;  // every opening is closed again
    bool notified;
    std::string xml;
  } cases[] = {
      {"carousel", Script({{Dg(2, 0, 0, 1, "A"), 1}, {"T", 9}, {Dg(2, 0, 1, 1, "B"), 1}}), 0, false,
       true, 11, 1, false, "AB"},
      {"silent group", Script({{"T", 40}}), 0, false, false, 30, 3, true, ""},
      {"empty datagrams", Script({{"E", 40}}), 0, false, false, 30, 3, true, ""},
      {"unopenable group", Script({{"T", 40}}), 4, false, false, 30, 7, true, ""},
      // 10 + 10 + 5 time-outs, the datagram, then three silent attempts.
      {"a datagram resets both counts", Script({{"T", 25}, {Dg(2, 0, 0, 1, "A"), 1}}), 0, false,
       false, 56, 5, true, "A"},
      {"stop flag", Script({{"T", 2}, {"S", 1}, {"T", 5}}), 0, false, false, 3, 1, false, ""},
      {"overall deadline", Script({{Dg(2, 0, 0, 5, "part"), 2}}), 0, true, true, 1, 1, false,
       "part"},
      // The receive buffer cuts a longer datagram.
      {"long datagram", Script({{Dg(2, 0, 0, 0, std::string(2500, 'z')), 1}}), 0, false, true, 1, 1,
       false, std::string(PayLoads::kTamanoBuffer - 12, 'z')},
  };
  for (const auto& c : cases) {
    const size_t notices = host.CountNotified(kSinDatos);
    PararProceso = false;
    ScriptedPayLoads receiver("239.0.2.155", 3937, "");
    receiver.script = c.script;
    receiver.failingOpens = c.failingOpens;
    if (c.late) receiver.SetDeadline(time(nullptr) - 1);
    EXPECT_EQ(receiver.CargarPayLoads(), c.result) << c.name;
    EXPECT_EQ(std::tie(receiver.receives, receiver.opens, receiver.closes),
              std::tie(c.receives, c.opens, c.opens))
        << c.name;
    EXPECT_EQ(host.CountNotified(kSinDatos) - notices, c.notified ? 1u : 0u) << c.name;
    EXPECT_EQ(receiver.ObtenerXMLTotal(), c.xml) << c.name;
  }
  EXPECT_TRUE(host.Logged("Timeout Payloads"));
}

}  // namespace
