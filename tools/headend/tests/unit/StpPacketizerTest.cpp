#include <gtest/gtest.h>

#include "Crc32.h"
#include "CycleBuilder.h"
#include "FirstCopyFaults.h"
#include "StpPacketizer.h"

using namespace headend;

namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s += static_cast<char>(v);
  return s;
}

uint32_t TrailingCrc(const std::string& d) {
  size_t n = d.size();
  return (static_cast<uint32_t>(static_cast<uint8_t>(d[n - 4])) << 24) |
         (static_cast<uint32_t>(static_cast<uint8_t>(d[n - 3])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(d[n - 2])) << 8) |
         static_cast<uint32_t>(static_cast<uint8_t>(d[n - 1]));
}

}  // namespace

TEST(Crc32, MatchesTheMpeg2CheckValue) {
  const std::string check = "123456789";
  EXPECT_EQ(0x0376E6E7u,
            Crc32::Compute(reinterpret_cast<const uint8_t*>(check.data()), check.size()));
}

TEST(StpPacketizer, SectionNumbersUseTwelveBits) {
  CarouselSettings c;
  c.maxSectionBody = 1;
  c.minSections = 1;
  std::vector<StpDatagram> d = StpPacketizer(c).Split({0x05, 0x1234, 1, std::string(0x123, 'x')});
  ASSERT_EQ(0x123u, d.size());
  // Section 0x11A of last section 0x122; segment id 0x1234.
  EXPECT_EQ(Bytes({0x12, 0x34, 1, 0x11, 0xA1, 0x22}), d[0x11A].bytes.substr(5, 6));
  EXPECT_TRUE(StpPacketizer(c).Split({0x05, 0, 1, std::string(4097, 'x')}).empty());
}

// The header layout, and the CRC placement the standard gives.
TEST(StpPacketizer, OneCrcAfterTheLastSectionCoversTheWholeSegment) {
  CarouselSettings c;
  c.maxSectionBody = 4;
  c.minSections = 1;
  c.crc = CrcPlacement::Segment;
  std::vector<StpDatagram> d = StpPacketizer(c).Split({0x02, 0x0000, 38, "ABCDEFGHIJ"});
  ASSERT_EQ(3u, d.size());
  EXPECT_EQ(Bytes({0x00, 0x00, 0x00, 0x0A, 0x02, 0x00, 0x00, 38, 0x00, 0x00, 0x02, 0x00}) + "ABCD",
            d[0].bytes);
  EXPECT_EQ(Bytes({0x00, 0x00, 0x00, 0x0A, 0x02, 0x00, 0x00, 38, 0x00, 0x10, 0x02, 0x00}) + "EFGH",
            d[1].bytes);
  // CRC-32/MPEG-2 of "ABCDEFGHIJ".
  EXPECT_EQ(Bytes({0x01, 0x00, 0x00, 0x0A, 0x02, 0x00, 0x00, 38, 0x00, 0x20, 0x02, 0x00}) + "IJ" +
                Bytes({0x77, 0xFD, 0x05, 0x3E}),
            d[2].bytes);
}

TEST(StpPacketizer, FirstByteAndPlacementDecideWhichSectionsCarryACrc) {
  struct Case {
    CrcPlacement crc;
    int byte0;
    uint8_t first0, last0;  // first header byte of the first and of the last section
    bool firstCrc, lastCrc;
  } cases[] = {
      {CrcPlacement::None, -1, 0x00, 0x00, false, false},
      {CrcPlacement::Segment, -1, 0x00, 0x01, false, true},
      {CrcPlacement::PerSection, -1, 0x01, 0x01, true, true},
      {CrcPlacement::None, 0x41, 0x40, 0x41, false, true},
      {CrcPlacement::Segment, 0x40, 0x40, 0x40, false, false},
      {CrcPlacement::PerSection, 0x41, 0x41, 0x41, true, true},
  };
  for (const auto& k : cases) {
    CarouselSettings c;
    c.crc = k.crc;
    c.headerByte0 = k.byte0;
    std::vector<StpDatagram> d = StpPacketizer(c).Split({0x01, 0, 1, "<x/>"});  // 3 sections
    ASSERT_EQ(3u, d.size());
    std::string why = "placement " + std::to_string(static_cast<int>(k.crc)) + ", byte " +
                      std::to_string(k.byte0);
    EXPECT_EQ(k.first0, static_cast<uint8_t>(d[0].bytes[0])) << why;
    EXPECT_EQ(k.last0, static_cast<uint8_t>(d[2].bytes[0])) << why;
    EXPECT_EQ(12u + 2 + (k.firstCrc ? 4 : 0), d[0].bytes.size()) << why;
    ASSERT_EQ(12u + 1 + (k.lastCrc ? 4 : 0), d[2].bytes.size()) << why;
    // Per section: over its own header and body; per segment: 0x740FB9DA, over "<x/>".
    uint32_t expected =
        k.crc == CrcPlacement::PerSection
            ? Crc32::Compute(reinterpret_cast<const uint8_t*>(d[2].bytes.data()), 13)
            : 0x740FB9DAu;
    if (k.lastCrc) {
      EXPECT_EQ(expected, TrailingCrc(d[2].bytes)) << why;
    }
  }
}

TEST(StpPacketizer, ProviderIdFollowsTheHeader) {
  CarouselSettings c;
  c.serviceProviderId = 0x01020304;
  c.minSections = 1;
  StpDatagram d = StpPacketizer(c).Split({0x01, 0, 1, "body"}).at(0);
  EXPECT_EQ(Bytes({0x10, 1, 2, 3, 4}) + "body", d.bytes.substr(11));
}

TEST(StpPacketizer, SectionSizes) {
  struct Case {
    size_t size;
    int max;
    int min;
    std::vector<size_t> sizes;
  } cases[] = {
      {0, 1400, 3, {0}},
      {2, 1400, 3, {1, 1}},
      {10, 4, 3, {4, 4, 2}},
      {499, 1400, 3, {167, 166, 166}},
      {2800, 1400, 3, {934, 933, 933}},
      {4200, 1400, 3, {1400, 1400, 1400}},
      {4201, 1400, 3, {1400, 1400, 1400, 1}},
      {4201, 1400, 1, {1400, 1400, 1400, 1}},
      {100, 1400, 1, {100}},
  };
  for (const auto& k : cases) {
    CarouselSettings c;
    c.maxSectionBody = k.max;
    c.minSections = k.min;
    EXPECT_EQ(k.sizes, StpPacketizer(c).SectionSizes(k.size))
        << k.size << " " << k.max << " " << k.min;
  }
}

class CycleBuilderTest : public ::testing::Test {
 protected:
  std::string Order(uint64_t cycle = 0) {
    std::vector<StpDatagram> d;
    for (int i = 0; i < 4; ++i) d.push_back({0x02, 0, i, "A" + std::to_string(i)});
    for (int i = 0; i < 2; ++i) d.push_back({0x05, 0, i, "B" + std::to_string(i)});
    std::string out;
    for (size_t i : CycleBuilder(settings).Build(d, cycle)) out += d[i].bytes + " ";
    return out;
  }
  CarouselSettings settings;
};

TEST_F(CycleBuilderTest, InterleavedSpreadsEachPayloadOverTheCycle) {
  EXPECT_EQ("A0 B0 A1 A2 B1 A3 ", Order());
}

TEST_F(CycleBuilderTest, SequentialSendsPayloadAfterPayload) {
  settings.order = "sequential";
  EXPECT_EQ("A0 A1 A2 A3 B0 B1 ", Order());
}

TEST_F(CycleBuilderTest, RepeatsAndReversal) {
  settings.repeatSections = 2;
  settings.reorder = "reverse";
  EXPECT_EQ("A3 A3 B1 B1 A2 A2 A1 A1 B0 B0 A0 A0 ", Order());
}

TEST_F(CycleBuilderTest, ShuffleIsAPermutationThatChangesPerCycle) {
  settings.reorder = "shuffle";
  std::string a = Order(0);
  EXPECT_EQ(a, Order(0));
  bool changed = false;
  for (uint64_t cycle = 1; cycle < 5; ++cycle) changed = changed || Order(cycle) != a;
  EXPECT_TRUE(changed);
  for (const char* item : {"A0 ", "A1 ", "A2 ", "A3 ", "B0 ", "B1 "})
    EXPECT_NE(std::string::npos, a.find(item)) << a;
  EXPECT_EQ(18u, a.size());
}

TEST(FirstCopyFaults, DamagesTheNamedSectionOnItsFirstSendingOnly) {
  CarouselSettings c;
  c.maxSectionBody = 4;
  c.minSections = 1;
  c.serviceProviderId = 7;  // the body starts at byte 16
  std::vector<StpDatagram> d = StpPacketizer(c).Split({0x05, 0, 1, "ABCDEFGH"});
  FirstCopyFaults faults({{0x05, 0, 1, 2}});
  std::string damaged;
  ASSERT_TRUE(faults.Check(d, &damaged)) << damaged;
  EXPECT_FALSE(faults.DamageFirstCopy(d[0], &damaged));
  ASSERT_TRUE(faults.DamageFirstCopy(d[1], &damaged));
  EXPECT_EQ(d[1].bytes.substr(0, 16) + "EFFH", damaged);  // 'G' with its lowest bit flipped
  EXPECT_FALSE(faults.DamageFirstCopy(d[1], &damaged));
}

TEST(FirstCopyFaults, RefusesASectionOrByteTheCarouselLacks) {
  CarouselSettings c;
  c.maxSectionBody = 4;
  c.minSections = 1;
  std::vector<StpDatagram> d = StpPacketizer(c).Split({0x05, 0, 1, "ABCDEFGH"});
  const FirstCopyFault cases[] = {
      {0x06, 0, 0, 0}, {0x05, 1, 0, 0}, {0x05, 0, 2, 0}, {0x05, 0, 1, 4}};
  for (const auto& f : cases) {
    std::string error;
    EXPECT_FALSE(FirstCopyFaults({f}).Check(d, &error)) << f.payloadId << " " << f.section;
    EXPECT_NE(std::string::npos, error.find("corruptFirstCopy: payload")) << error;
  }
}
