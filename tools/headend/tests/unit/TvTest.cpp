#include <gtest/gtest.h>

#include <vector>

#include "IgmpGroups.h"
#include "RtpPacker.h"
#include "ScenarioLoader.h"
#include "TsPacket.h"
#include "TvStream.h"

using namespace headend;

namespace {

// A packet of `pid` with payload; a PCR and a PES header with a PTS when asked.
std::vector<uint8_t> Packet(int pid, int64_t pcr27, int64_t pts90) {
  std::vector<uint8_t> p(188, 0xFF);
  p[0] = 0x47;
  p[1] = static_cast<uint8_t>((pts90 >= 0 ? 0x40 : 0) | (pid >> 8));
  p[2] = static_cast<uint8_t>(pid);
  p[3] = 0x10;
  size_t at = 4;
  if (pcr27 >= 0) {
    p[3] = 0x30;
    p[4] = 7;
    p[5] = 0x10;
    for (int i = 6; i < 12; ++i) p[i] = 0;
    p[10] = 0x7E;
    ts::AddToPcr(p.data(), pcr27);
    at = 12;
  }
  if (pts90 >= 0) {
    const uint8_t pes[] = {0, 0, 1, 0xE0, 0, 0, 0x80, 0x80, 5, 0x21, 0, 1, 0, 1};
    std::copy(pes, pes + sizeof pes, p.begin() + static_cast<long>(at));
    ts::AddToPesTimes(p.data(), pts90);
  }
  return p;
}

int64_t PesPts(const uint8_t* p) {
  return ts::Pts(p);
}

}  // namespace

TEST(RtpPacker, WritesCsrcsAndExtensionAndWrapsTheSequence) {
  RtpSettings s;
  s.csrcCount = 2;
  s.extensionWords = 1;
  s.ssrc = 0x01020304;
  s.firstSequence = 0xFFFF;
  RtpPacker rtp(s);
  uint8_t h[RtpPacker::kMaxHeader];
  ASSERT_EQ(28u, rtp.HeaderSize());
  ASSERT_EQ(28u, rtp.Write(h, 0xA0B0C0D0));
  const std::vector<uint8_t> expected = {0x92, 33,   0xFF, 0xFF, 0xA0, 0xB0, 0xC0, 0xD0, 1, 2,
                                         3,    4,    1,    2,    3,    5,    1,    2,    3, 6,
                                         0xAB, 0xAC, 0,    1,    0,    0,    0xFF, 0xFF};
  EXPECT_EQ(expected, std::vector<uint8_t>(h, h + 28));
  RtpPacker plain(RtpSettings{});
  EXPECT_EQ(12u, plain.Write(h, 0));
  EXPECT_EQ(0x80, h[0]);
  rtp.Write(h, 0);
  EXPECT_EQ(0, h[2] << 8 | h[3]);  // 0xFFFF + 1
}

TEST(TsPacket, TimesWrapAndKeepTheirMarkerBits) {
  struct Case {
    int64_t pts, add, expected;
  } cases[] = {
      {0, 432000, 432000},
      {ts::kPtsWrap - 100, 300, 200},
      {5, -10, ts::kPtsWrap - 5},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> p = Packet(0x100, -1, c.pts);
    ASSERT_TRUE(ts::AddToPesTimes(p.data(), c.add));
    EXPECT_EQ(c.expected, PesPts(p.data())) << c.pts << " + " << c.add;
    EXPECT_EQ(0x21, p[13] & 0xF1);  // prefix 0010 and the marker bits
    EXPECT_EQ(1, p[15] & 1);
    EXPECT_EQ(1, p[17] & 1);
  }
  std::vector<uint8_t> p = Packet(0x100, ts::kPcrWrap - 1, -1);
  ASSERT_TRUE(ts::AddToPcr(p.data(), 301));
  EXPECT_EQ(300, ts::Pcr(p.data()));
  EXPECT_FALSE(ts::AddToPcr(Packet(0x100, -1, -1).data(), 1));
}

// A clip of three packets in a 10 ms loop at a rate where a packet slot
// lasts 10000 ticks (27 slots per loop).
class TvStreamTest : public ::testing::Test {
 protected:
  TvStreamTest() {
    std::vector<uint8_t> bytes;
    for (const auto& p : {Packet(0x100, 5000, 900), Packet(0x100, -1, -1), Packet(0x101, -1, 1800)})
      bytes.insert(bytes.end(), p.begin(), p.end());
    clip_ = TsClip::Make(bytes, {0, 10000, 20000}, 5000, 900, kMuxrate);
  }
  static constexpr int64_t kMuxrate = 188 * 8 * 2700;
  TsClip clip_;
};

TEST_F(TvStreamTest, ClocksAndCountersRunOnAcrossTheLoop) {
  TvStream stream(clip_, 0, 1000000);
  std::vector<int64_t> pcrs, videoPts;
  std::vector<int> counters;
  uint8_t d[TvStream::kDatagramBytes];
  for (int k = 0; k < 12; ++k) {
    // The datagram is due when its seventh slot comes.
    EXPECT_EQ((7 * k + 6) * 10000LL * 1000 / 27, stream.Next(d));
    for (int i = 0; i < 7; ++i) {
      const uint8_t* p = d + i * 188;
      if (ts::Pid(p) != 0x100) continue;
      counters.push_back(ts::Continuity(p));
      if (ts::Pcr(p) >= 0) pcrs.push_back(ts::Pcr(p));
      if (ts::Pts(p) >= 0) videoPts.push_back(ts::Pts(p));
    }
  }
  ASSERT_EQ(3u, stream.Loops());
  ASSERT_EQ(4u, pcrs.size());
  EXPECT_NEAR(1000000, pcrs[0], 300);  // the origin, in whole 90 kHz steps
  for (size_t i = 1; i < pcrs.size(); ++i) {
    EXPECT_EQ(270000, pcrs[i] - pcrs[i - 1]);
    EXPECT_EQ(900, videoPts[i] - videoPts[i - 1]);
  }
  for (size_t i = 0; i < counters.size(); ++i) EXPECT_EQ(static_cast<int>(i % 16), counters[i]);
  EXPECT_EQ(12u * 7 - 4 * 3, stream.NullPackets());
}

TEST_F(TvStreamTest, PadsToTheBitrateAndJumpsTheClockOverQuietTime) {
  TvStream stream(clip_, 2 * kMuxrate, 0);
  uint8_t d[TvStream::kDatagramBytes];
  int64_t due = 0;
  for (int k = 0; k < 8; ++k) due = stream.Next(d);
  EXPECT_EQ(55 * 5000LL * 1000 / 27, due);  // twice the slots, the clip's pace unchanged
  EXPECT_EQ(1u, stream.Loops());
  stream.Jump(1000000000);  // one second with nothing sent
  stream.Next(d);
  // The clip starts over at slot 56 (280000 ticks) plus one second.
  EXPECT_NEAR(280000 + 27000000, ts::Pcr(d), 300);
  EXPECT_TRUE(ts::PayloadStart(d));
}

TEST(IgmpGroups, ReadsTheGroupsOfEveryDevice) {
  const std::string text =
      "Idx\tDevice    : Count Querier\tGroup    Users Timer\tReporter\n"
      "1\tlo        :     2      V3\n"
      "\t\t\t\t050000EF     1 0:00000000\t\t0\n"
      "\t\t\t\t010000E0     1 0:00000000\t\t0\n";
  std::set<uint32_t> groups = ParseIgmpGroups(text);
  EXPECT_EQ((std::set<uint32_t>{0x050000EF, 0x010000E0}), groups);
}

TEST(TvScenario, ChannelSwitchesAreCheckedAgainstTheLineUp) {
  const std::string lineUp =
      "\"lineUp\": {\"services\": [{\"id\": \"7\", \"address\": \"239.0.0.7\"}]}";
  Scenario s;
  std::string errors;
  ASSERT_TRUE(ScenarioLoader::LoadText(
      "{" + lineUp +
          ", \"tv\": {\"channels\": [{\"id\": \"7\", \"transport\": \"udp\", "
          "\"bitrate\": 40000000, \"gaps\": [{\"afterMs\": 5, \"forMs\": 9}]}]}}",
      &s, &errors))
      << errors;
  EXPECT_EQ("udp", s.tv.channels["7"].transport);
  EXPECT_EQ(40000000, s.tv.channels["7"].bitrate);
  EXPECT_EQ(9, s.tv.channels["7"].gaps.at(0).forMs);
  struct Case {
    const char* tv;
    const char* error;
  } cases[] = {
      {"{\"channels\": [{\"id\": \"8\"}]}", "no service of the line-up has the id \"8\""},
      {"{\"channels\": [{\"id\": \"7\", \"transport\": \"tcp\"}]}", "transport is"},
      {"{\"fullRate\": \"always\"}", "fullRate is"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(ScenarioLoader::LoadText("{" + lineUp + ", \"tv\": " + c.tv + "}", &s, &errors));
    EXPECT_NE(std::string::npos, errors.find(c.error)) << errors;
  }
}
