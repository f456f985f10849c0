#include <gtest/gtest.h>

#include "core/StringTable.h"

namespace {

using hostsim::StringTable;

TEST(StringTable, ReadsEntriesTheWayTheHostDoes) {
  StringTable t;
  auto r = t.loadString(
      "\xEF\xBB\xBF# header\n"
      "msgid \"\"\n"
      "msgstr \"\"\n"
      "\"Project-Id-Version: x\\n\"\n"
      "\n"
      "msgctxt \"#30500\"\n"
      "msgid \"Channels\"\n"
      "msgstr \"Canales\"\n"
      "\n"
      "msgctxt \"#30501\"\n"
      "msgid \"Untranslated\"\n"
      "msgstr \"\"\n"
      "\n"
      "msgctxt \"#30502\"\n"
      "msgid \"\"\n"
      "\"Two \"\n"
      "\"lines\"\n"
      "msgstr \"\"\n"
      "\"Dos \"\n"
      "\"l\xC3\xADneas\"\n"
      "\n"
      "msgctxt \"#30503\"\n"
      "msgid \"Quote\"\n"
      "msgstr \"Pulse \\\"S\xC3\xAD\\\" \\\\ fin\\n\"\n");
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(r.warnings.empty());
  EXPECT_EQ(4u, t.size());
  EXPECT_EQ("Canales", t.get(30500));
  EXPECT_EQ("Untranslated", t.get(30501));
  EXPECT_EQ("Dos l\xC3\xADneas", t.get(30502));
  EXPECT_EQ("Pulse \"S\xC3\xAD\" \\ fin\n", t.get(30503));
  EXPECT_EQ("", t.get(99999));
  EXPECT_FALSE(t.has(99999));
}

TEST(StringTable, MalformedLinesAreSkippedWithWarnings) {
  StringTable t;
  auto r = t.loadString(
      "msgctxt \"#1\"\n"
      "msgid \"one\"\n"
      "msgstr \"uno\n"  // unterminated
      "msgctxt \"not-a-number\"\n"
      "msgid \"two\"\n"
      "msgstr \"dos\"\n"
      "garbage line\n"
      "msgctxt \"#3\"\n"
      "msgid \"three\"\n"
      "msgstr \"tres\"\n");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(3u, r.warnings.size());
  EXPECT_EQ("one", t.get(1));  // the broken msgstr is not taken
  EXPECT_EQ("tres", t.get(3));
  EXPECT_EQ(2u, t.size());
}

TEST(StringTable, MissingFileFails) {
  StringTable t;
  auto r = t.loadFile("/nonexistent/strings.po");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(std::string::npos, r.error.find("cannot open"));
}

}  // namespace
