#include <gtest/gtest.h>

#include "core/Charset.h"

namespace {

struct Case {
  const char* name;
  std::string input;
  std::string expected;
};

TEST(Charset, UnknownTextBecomesUtf8) {
  const Case cases[] = {
      {"ascii", "Canal 1", "Canal 1"},
      {"empty", "", ""},
      {"utf8 kept", "Canci\xC3\xB3n \xE2\x82\xAC", "Canci\xC3\xB3n \xE2\x82\xAC"},
      {"latin letters", "Canci\xF3n espa\xF1ola", "Canci\xC3\xB3n espa\xC3\xB1ola"},
      {"euro and quotes", "\x80 \x93hola\x94", "\xE2\x82\xAC \xE2\x80\x9Chola\xE2\x80\x9D"},
      {"undefined byte", "a\x81z", "a\xC2\x81z"},
      {"nbsp and y-diaeresis", "\xA0\xFF", "\xC2\xA0\xC3\xBF"},
      // Invalid UTF-8 makes the whole text Windows-1252, valid parts too.
      {"overlong", "\xC0\x80", "\xC3\x80\xE2\x82\xAC"},
      {"truncated", "x\xE2\x82", "x\xC3\xA2\xE2\x80\x9A"},
      {"surrogate", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
      {"mixed", "\xC3\xB3\xF3", "\xC3\x83\xC2\xB3\xC3\xB3"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, hostsim::unknownToUtf8(c.input)) << c.name;
}

TEST(Charset, Utf8Validation) {
  EXPECT_TRUE(hostsim::isValidUtf8("\xF0\x9F\x93\xBA"));
  EXPECT_FALSE(hostsim::isValidUtf8("\xF4\x90\x80\x80"));  // past U+10FFFF
  EXPECT_FALSE(hostsim::isValidUtf8("\xE0\x80\xAF"));      // overlong
  EXPECT_FALSE(hostsim::isValidUtf8("\x80"));
}

}  // namespace
