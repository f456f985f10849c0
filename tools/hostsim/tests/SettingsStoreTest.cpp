#include <gtest/gtest.h>

#include <cstring>

#include "FakeAddonFolder.h"
#include "core/SettingsStore.h"

namespace {

using hostsim::SettingsStore;
using hostsim::SettingType;

const char kDefinitions[] =
    "<settings><category label=\"1\">"
    "<setting id=\"folder\" type=\"folder\" default=\"/tmp\"/>"
    "<setting id=\"address\" type=\"ipaddress\" default=\"239.0.2.129\"/>"
    "<setting id=\"count\" type=\"number\" default=\"5\"/>"
    "<setting id=\"zone\" type=\"enum\" lvalues=\"1|2|3\" default=\"1\"/>"
    "<setting id=\"numbered\" type=\"labelenum\" values=\"0|1|2|3\" default=\"0\"/>"
    "<setting id=\"named\" type=\"labelenum\" values=\"Alto|Bajo\" default=\"Alto\"/>"
    "<setting id=\"flag\" type=\"bool\" default=\"true\"/>"
    "<setting id=\"hour\" type=\"slider\" option=\"float\" default=\"0\"/>"
    "<setting id=\"ratio\" type=\"slider\" default=\"0.5\"/>"
    "<setting id=\"steps\" type=\"slider\" option=\"int\" default=\"3\"/>"
    "<setting id=\"button\" type=\"action\"/>"
    "</category></settings>";

struct TypeCase {
  const char* key;
  SettingType type;
};

TEST(SettingsStoreTypes, DefinitionTypeDecidesTheValueForm) {
  SettingsStore s;
  ASSERT_TRUE(s.loadDefinitionsString(kDefinitions).ok);
  const TypeCase cases[] = {{"folder", SettingType::Text},  {"address", SettingType::Text},
                            {"count", SettingType::Int},    {"zone", SettingType::Int},
                            {"numbered", SettingType::Int}, {"named", SettingType::Text},
                            {"flag", SettingType::Bool},    {"hour", SettingType::Float},
                            {"ratio", SettingType::Float},  {"steps", SettingType::Int},
                            {"button", SettingType::None},  {"undefined", SettingType::None}};
  for (const auto& c : cases) EXPECT_EQ(c.type, s.typeOf(c.key)) << c.key;
}

class SettingsStoreValues : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(store.loadDefinitionsString(kDefinitions).ok);
    ASSERT_TRUE(store
                    .loadValuesString("<settings>"
                                      "<setting id=\"folder\" value=\"/media/grab &amp; co\"/>"
                                      "<setting id=\"count\" value=\"-12\"/>"
                                      "<setting id=\"numbered\" value=\"3\"/>"
                                      "<setting id=\"flag\" value=\"false\"/>"
                                      "<setting id=\"hour\" value=\"23.5\"/>"
                                      "<setting id=\"zone\" value=\"abc\"/>"
                                      "<setting id=\"named\">Bajo</setting>"
                                      "<setting id=\"ghost\" value=\"1\"/>"
                                      "</settings>")
                    .ok);
  }
  SettingsStore store;
};

TEST_F(SettingsStoreValues, EachTypeArrivesInItsOwnForm) {
  char text[SettingsStore::kTextBufferSize];
  std::memset(text, '#', sizeof text);
  ASSERT_TRUE(store.get("folder", text));
  EXPECT_STREQ("/media/grab & co", text);
  ASSERT_TRUE(store.get("named", text));
  EXPECT_STREQ("Bajo", text);

  int number = 0;
  ASSERT_TRUE(store.get("count", &number));
  EXPECT_EQ(-12, number);
  ASSERT_TRUE(store.get("numbered", &number));
  EXPECT_EQ(3, number);

  // A bool is one byte: the bytes around it stay untouched.
  unsigned char bytes[3] = {0xAA, 0x01, 0xAA};
  ASSERT_TRUE(store.get("flag", &bytes[1]));
  EXPECT_EQ(0, bytes[1]);
  EXPECT_EQ(0xAA, bytes[0]);
  EXPECT_EQ(0xAA, bytes[2]);

  float hour = 0;
  ASSERT_TRUE(store.get("hour", &hour));
  EXPECT_FLOAT_EQ(23.5f, hour);
}

TEST_F(SettingsStoreValues, MissingUndefinedOrUnreadableValuesAreRefused) {
  int number = 77;
  std::string problem;
  EXPECT_FALSE(store.get("steps", &number, &problem));  // defined, no value stored
  EXPECT_TRUE(problem.empty());
  EXPECT_FALSE(store.get("ghost", &number, &problem));  // stored, never defined
  EXPECT_NE(std::string::npos, problem.find("no definition"));
  EXPECT_FALSE(store.get("zone", &number, &problem));  // "abc" is no integer
  EXPECT_NE(std::string::npos, problem.find("is not a int"));
  EXPECT_EQ(77, number);
}

TEST(SettingsStoreText, LongTextIsCutToTheBuffer) {
  SettingsStore s;
  ASSERT_TRUE(s.loadDefinitionsString(kDefinitions).ok);
  ASSERT_TRUE(s.set("folder", std::string(3000, 'a')).ok);
  char buffer[SettingsStore::kTextBufferSize + 8];
  std::memset(buffer, '#', sizeof buffer);
  std::string problem;
  ASSERT_TRUE(s.get("folder", buffer, &problem));
  EXPECT_EQ(1023u, std::strlen(buffer));
  EXPECT_EQ('#', buffer[1024]);
  EXPECT_NE(std::string::npos, problem.find("cut"));
}

TEST(SettingsStoreSave, SetChecksTheTypeAndSavesTheHostFormat) {
  SettingsStore s;
  ASSERT_TRUE(s.loadDefinitionsString(kDefinitions).ok);
  EXPECT_FALSE(s.set("count", "ten").ok);
  EXPECT_FALSE(s.set("flag", "yes").ok);
  EXPECT_FALSE(s.set("nothing", "1").ok);
  ASSERT_TRUE(s.set("flag", "true").ok);
  ASSERT_TRUE(s.set("folder", "a\"<b>").ok);
  EXPECT_EQ(
      "<settings>\n"
      "    <setting id=\"flag\" value=\"true\" />\n"
      "    <setting id=\"folder\" value=\"a&quot;&lt;b&gt;\" />\n"
      "</settings>\n",
      s.valuesXml());

  SettingsStore back;
  ASSERT_TRUE(back.loadDefinitionsString(kDefinitions).ok);
  ASSERT_TRUE(back.loadValuesString(s.valuesXml()).ok);
  EXPECT_EQ("a\"<b>", back.value("folder"));
}

TEST(SettingsStoreDefaults, FillDefaultsOnlyAddsAbsentKeys) {
  SettingsStore s;
  ASSERT_TRUE(s.loadDefinitionsString(kDefinitions).ok);
  ASSERT_TRUE(s.loadValuesString("<settings><setting id=\"count\" value=\"9\"/></settings>").ok);
  s.fillDefaults();
  EXPECT_EQ("9", s.value("count"));
  EXPECT_EQ("239.0.2.129", s.value("address"));
  EXPECT_FALSE(s.hasValue("button"));
}

TEST(SettingsStoreFiles, MalformedFilesAreReportedAndAbsentFileIsEmpty) {
  SettingsStore s;
  EXPECT_FALSE(s.loadDefinitionsString("<settings><setting id=\"a\"").ok);
  EXPECT_FALSE(s.loadValuesString("<other/>").ok);
  EXPECT_TRUE(s.loadValues("/nonexistent/hostsim/settings.xml").ok);
  EXPECT_FALSE(s.loadDefinitions("/nonexistent/hostsim/settings.xml").ok);
}

}  // namespace
