#include <gtest/gtest.h>

#include "LineUpReader.h"
#include "ScenarioLoader.h"

using namespace headend;

TEST(ScenarioLoader, AnEmptyScenarioTakesTheDefaults) {
  Scenario s;
  std::string errors;
  ASSERT_TRUE(ScenarioLoader::LoadText("{}", &s, &errors)) << errors;
  EXPECT_EQ("172.26.22.23:2001", s.appServer.listen.Text());
  EXPECT_EQ("239.0.2.129:3937", s.entryPoint.group.Text());
  EXPECT_EQ(2000000, s.entryPoint.bitrate);
  EXPECT_EQ(19, (*s.clientProfile)["demarcation"].GetInt());
  EXPECT_EQ(1, (*s.clientProfile)["hdtv"].GetInt());
}

TEST(ScenarioLoader, ReportsEveryMistakeWithItsPath) {
  struct Case {
    const char* json;
    const char* error;
  } cases[] = {
      {"[", "offset 1"},
      {"{\"colour\": 1}", "/colour: unknown member"},
      {"{\"appServer\": {\"address\": \"nowhere\"}}", "/appServer: bad address nowhere"},
      {"{\"appServer\": {\"switches\": {\"getX\": {}}}}", "unknown request kind \"getX\""},
      {"{\"appServer\": {\"switches\": {\"logo\": {\"noAnswer\": \"later\"}}}}",
       "/appServer/switches/logo: noAnswer"},
      {"{\"subscriber\": {\"gmtOffset\": \"1\"}}", "/subscriber/gmtOffset: expected an integer"},
      {"{\"carouselDefaults\": {\"address\": \"239.1.1.1\"}}", "address is not allowed here"},
      {"{\"demarcations\": [{\"code\": 1}]}",
       "/demarcations/0: a demarcation needs carousel/address"},
      {"{\"demarcations\": [{\"code\": 1, \"carousel\": {\"address\": \"239.1.1.1\", "
       "\"reorder\": \"random\"}}]}",
       "reorder is"},
      {"{\"lineUp\": {\"services\": [{\"id\": \"1\", \"address\": \"239.0.0.1\", "
       "\"packages\": [\"X\"]}]}}",
       "/lineUp/services/0: package \"X\" is not in /packages"},
      {"{\"lineUp\": {\"services\": [{\"id\": \"1\", \"address\": \"239.0.0.1:99999\"}]}}",
       "bad \"address\""},
      {"{\"platform\": {\"dvbEntryPoint\": \"239.0.2.129\"}, \"entryPoint\": {\"version\": 300}}",
       "/entryPoint/version: 300 is outside 0..255"},
      {"{\"carouselDefaults\": {\"crc\": \"each\"}}",
       "/carouselDefaults: crc is true, false or \"per-section\""},
      {"{\"carouselDefaults\": {\"corruptFirstCopy\": [{\"payload\": \"x2\"}]}}",
       "/carouselDefaults/corruptFirstCopy/0: bad payload id \"x2\""},
  };
  for (const auto& k : cases) {
    Scenario s;
    std::string errors;
    EXPECT_FALSE(ScenarioLoader::LoadText(k.json, &s, &errors)) << k.json;
    EXPECT_NE(std::string::npos, errors.find(k.error)) << k.json << "\n" << errors;
  }
}

TEST(ScenarioLoader, AnEntryPointWithoutPortIsAnsweredAsGiven) {
  Scenario s;
  std::string errors;
  ASSERT_TRUE(ScenarioLoader::LoadText(
      R"({"platform": {"dvbEntryPoint": "239.0.2.129"},
          "entryPoint": {"carousel": {"address": "239.0.2.129:3937"}}})",
      &s, &errors))
      << errors;
  EXPECT_STREQ("239.0.2.129", (*s.platformProfile)["dvbConfig"]["dvbEntryPoint"].GetString());
}

TEST(LineUpReader, TwinsAndFamiliesExpand) {
  Scenario s;
  std::string errors;
  ASSERT_TRUE(ScenarioLoader::LoadText(R"({
    "packages": [{"name": "P"}, {"name": "HD"}],
    "lineUp": {"port": 5000,
      "services": [{"id": "1", "name": "Uno", "short": "1", "lcn": 3, "address": "239.0.0.1",
                    "packages": ["P"], "hd": {"id": "2", "address": "239.0.5.1", "packages": ["HD"]}}],
      "families": [{"count": 3, "firstId": 90, "firstLcn": 40, "firstAddress": "239.0.0.254",
                    "name": "Sala {n}", "logo": false, "packages": ["P"]}]}})",
                                       &s, &errors))
      << errors;
  ASSERT_EQ(5u, s.services.size());
  const Service& hd = s.services[1];
  EXPECT_EQ("Uno HD", hd.name);
  EXPECT_EQ("1 HD", hd.shortName);
  EXPECT_EQ(25, hd.type);
  EXPECT_EQ(103, hd.lcn);
  EXPECT_EQ("1", hd.replacement);
  EXPECT_EQ(std::vector<std::string>{"HD"}, hd.packages);
  EXPECT_EQ("239.0.5.1:5000", hd.location.Text());
  EXPECT_EQ("MAY_1/imSer/2.jpg", hd.logo);
  const Service& last = s.services[4];
  EXPECT_EQ("92", last.id);
  EXPECT_EQ("Sala 3", last.name);
  EXPECT_EQ(42, last.lcn);
  EXPECT_EQ("239.0.1.0:5000", last.location.Text());
  EXPECT_EQ("", last.logo);
  EXPECT_EQ("MAY_1/imSer/92.jpg", last.LogoName());
}
