// One segment rebuilt from its numbered sections, checked against the CRC-32
// its last section carries.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "discovery/Segment.h"
#include "support/InProcessHost.h"

namespace {

Trama Section(uint32_t section, uint32_t last, const std::string& body) {
  Trama trama;
  trama.valid = true;
  trama.segmentId = "0000";
  trama.section = section;
  trama.lastSection = last;
  trama.body = body;
  return trama;
}

// The last section, carrying the CRC of the whole segment.
Trama WithCrc(Trama trama, uint32_t crc) {
  trama.crc = true;
  trama.crcValue = crc;
  return trama;
}

TEST(SegmentTest, CompleteWhenEverySectionUpToTheLastHasArrived) {
  const struct {
    const char* name;
    std::vector<Trama> frames;
    bool complete;
    std::string text;
  } cases[] = {
      {"one section", {Section(0, 0, "A")}, true, "A"},
      {"in any order", {Section(2, 2, "C"), Section(0, 2, "A"), Section(1, 2, "B")}, true, "ABC"},
      {"one missing", {Section(2, 2, "C"), Section(0, 2, "A")}, false, "AC"},
      {"without a CRC the first copy wins",
       {Section(0, 1, "A"), Section(0, 1, "X"), Section(1, 1, "B")},
       true,
       "AB"},
      {"a matching CRC",
       {Section(0, 1, "<SD>"), WithCrc(Section(1, 1, "</SD>"), Segment::Crc32("<SD></SD>"))},
       true,
       "<SD></SD>"},
  };
  for (const auto& c : cases) {
    Segment segment("0000");
    for (const Trama& frame : c.frames) segment.AddFragment(frame);
    EXPECT_EQ(segment.Complete(), c.complete) << c.name;
    EXPECT_EQ(segment.getSegment(), c.text) << c.name;
    EXPECT_EQ(segment.Rejected(), 0) << c.name;
  }
  EXPECT_EQ(Segment::Crc32("123456789"), 0x0376E6E7u);  // the MPEG-2 check value
}

TEST(SegmentTest, AMismatchDropsTheSegmentUntilALaterCycleBringsItWhole) {
  InProcessHost host;
  const uint32_t crc = Segment::Crc32("<SD></SD>");
  Segment segment("0007");
  // The first cycle carried a damaged first section.
  segment.AddFragment(Section(0, 1, "<SX>"));
  segment.AddFragment(WithCrc(Section(1, 1, "</SD>"), crc));
  EXPECT_EQ(std::make_tuple(segment.Complete(), segment.Sections(), segment.Rejected()),
            std::make_tuple(false, size_t{0}, 1));
  EXPECT_EQ(host.LevelOfLog("CRC erroneo en el segmento 0007"), "error");
  // The next cycle, last section first.
  segment.AddFragment(WithCrc(Section(1, 1, "</SD>"), crc));
  EXPECT_FALSE(segment.Complete());
  segment.AddFragment(Section(0, 1, "<SD>"));
  EXPECT_EQ(std::make_tuple(segment.Complete(), segment.getSegment(), segment.Rejected()),
            std::make_tuple(true, "<SD></SD>", 1));
}

}  // namespace
