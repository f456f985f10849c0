#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include "AppAnswers.h"
#include "HttpRequest.h"
#include "JpegWriter.h"
#include "ScenarioLoader.h"

using namespace headend;

namespace {

HttpRequest Get(const std::string& target, const std::string& extra = "") {
  return HttpRequest::Parse("GET " + target + " HTTP/1.1\r\nHost: x\r\n" + extra + "\r\n");
}

class AppAnswersTest : public ::testing::Test {
 protected:
  void Load(const std::string& json) {
    std::string errors;
    ASSERT_TRUE(ScenarioLoader::LoadText(json, &scenario, &errors)) << errors;
    logos = std::make_unique<LogoStore>(scenario);
    answers = std::make_unique<AppAnswers>(scenario, *logos);
  }
  rapidjson::Document Json(const HttpReply& reply) {
    rapidjson::Document d;
    d.Parse(reply.body.c_str());
    return d;
  }
  Scenario scenario;
  std::unique_ptr<LogoStore> logos;
  std::unique_ptr<AppAnswers> answers;
};

const char kLineUp[] =
    R"("packages": [{"name": "P"}], "lineUp": {"services": [{"id": "5", "address": "239.0.0.5",
       "packages": ["P"]}, {"id": "6", "address": "239.0.0.6", "logo": "", "packages": ["P"]}]})";

}  // namespace

TEST(HttpRequest, ReadsTargetParametersAndCookies) {
  HttpRequest r =
      Get("/appserver/bktv.do?x=1&action=getClientProfile", "Cookie: a=b; JSESSIONID=ABC\r\n");
  ASSERT_TRUE(r.Ok());
  EXPECT_EQ("/appserver/bktv.do", r.Path());
  EXPECT_EQ("getClientProfile", r.Param("action"));
  EXPECT_EQ("", r.Param("act"));
  EXPECT_EQ("ABC", r.Cookie("JSESSIONID"));
  EXPECT_EQ("x", r.Header("HOST"));
  for (const char* bad : {"GET\r\n\r\n", "GET / SPDY/3\r\n\r\n", "GET x HTTP/1.1\r\n\r\n",
                          "GET / HTTP/1.1\r\nno colon\r\n\r\n"})
    EXPECT_FALSE(HttpRequest::Parse(bad).Ok()) << bad;
}

TEST_F(AppAnswersTest, ProfilesOpenASessionOnce) {
  Load("{}");
  HttpReply first = answers->Answer(Get("/appserver/bktv.do?action=getClientProfile"));
  EXPECT_EQ(200, first.status);
  EXPECT_EQ("application/json;charset=UTF-8", first.contentType);
  ASSERT_EQ(1u, first.headers.size());
  EXPECT_EQ(0u, first.headers[0].find("Set-Cookie: JSESSIONID="));
  EXPECT_EQ(R"({"resultCode":0,"resultText":"OK","resultData":{"tvPackages":"","gmtOffset":1,)"
            R"("demarcation":19,"hdtv":1}})",
            first.body);
  HttpReply again = answers->Answer(
      Get("/appserver/bktv.do?action=getPlatformProfile", "Cookie: JSESSIONID=1\r\n"));
  EXPECT_TRUE(again.headers.empty());
  EXPECT_STREQ("239.0.2.129:3937",
               Json(again)["resultData"]["dvbConfig"]["dvbEntryPoint"].GetString());
}

TEST_F(AppAnswersTest, RoutesLogosAndRefusesTheRest) {
  Load(std::string("{") + R"("appServer": {"missingLogos": ["MAY_1/imSer/5.jpg"]},)" + kLineUp +
       "}");
  HttpReply logo = answers->Answer(Get("/appclient/incoming/epg/big/MAY_1/imSer/6.jpg"));
  EXPECT_EQ(200, logo.status);
  EXPECT_EQ("image/jpeg", logo.contentType);
  EXPECT_EQ(0u, logo.body.find("\xFF\xD8"));
  struct Case {
    const char* request;
    int status;
  } cases[] = {
      {"GET /appclient/incoming/epg/big/MAY_1/imSer/5.jpg HTTP/1.1\r\n\r\n", 404},
      {"GET /appclient/incoming/epg/big/MAY_1/imSer/7.jpg HTTP/1.1\r\n\r\n", 404},
      {"GET /appserver/bktv.do?action=other HTTP/1.1\r\n\r\n", 404},
      {"GET /favicon.ico HTTP/1.1\r\n\r\n", 404},
      {"POST /appserver/bktv.do?action=getClientProfile HTTP/1.1\r\n\r\n", 405},
      {"BREW /pot HTTP/1.0\r\n\r\n", 405},
      {"garbage\r\n\r\n", 400},
  };
  for (const auto& k : cases)
    EXPECT_EQ(k.status, answers->Answer(HttpRequest::Parse(k.request)).status) << k.request;
}

TEST_F(AppAnswersTest, SwitchesShapeTheAnswer) {
  Load(R"({"appServer": {"switches": {
      "getClientProfile": {"missingMembers": ["hdtv", "nothing.here"], "stringMembers": ["gmtOffset"]},
      "getPlatformProfile": {"missingMembers": ["dvbConfig.dvbEntryPoint"], "status": 500, "times": 1}}}})");
  rapidjson::Document client =
      Json(answers->Answer(Get("/appserver/bktv.do?action=getClientProfile")));
  EXPECT_FALSE(client["resultData"].HasMember("hdtv"));
  EXPECT_STREQ("1", client["resultData"]["gmtOffset"].GetString());
  HttpReply failed = answers->Answer(Get("/appserver/bktv.do?action=getPlatformProfile"));
  EXPECT_EQ(500, failed.status);
  EXPECT_EQ("Internal Server Error", failed.reason);
  HttpReply next = answers->Answer(Get("/appserver/bktv.do?action=getPlatformProfile"));
  EXPECT_EQ(200, next.status) << "times 1: only the first request fails";
  EXPECT_TRUE(Json(next)["resultData"]["dvbConfig"].HasMember("dvbEntryPoint"));
}

TEST_F(AppAnswersTest, BodySwitches) {
  Load(R"({"appServer": {"switches": {
      "getClientProfile": {"malformedJson": true, "splitHead": true},
      "getPlatformProfile": {"missingMembers": ["resultData"], "emptyBody": true}}}})");
  HttpReply cut = answers->Answer(Get("/appserver/bktv.do?action=getClientProfile"));
  EXPECT_TRUE(Json(cut).HasParseError());
  EXPECT_EQ(0u, cut.body.find("{\"resultCode\":0"));
  EXPECT_TRUE(cut.switches.splitHead);
  EXPECT_EQ("", answers->Answer(Get("/appserver/bktv.do?action=getPlatformProfile")).body);
}

TEST(JpegWriter, WritesAFramedBaselineImage) {
  std::string jpeg = JpegWriter::TwoBands(30, 17, {255, 0, 0}, {0, 0, 255});
  ASSERT_GT(jpeg.size(), 100u);
  EXPECT_EQ("\xFF\xD8\xFF\xE0", jpeg.substr(0, 4));
  EXPECT_EQ("\xFF\xD9", jpeg.substr(jpeg.size() - 2));
  size_t sof = jpeg.find("\xFF\xC0");
  ASSERT_NE(std::string::npos, sof);
  // Rounded up to whole blocks: 24 rows, 32 columns, 3 components.
  EXPECT_EQ(std::string("\x00\x11\x08\x00\x18\x00\x20\x03", 8), jpeg.substr(sof + 2, 8));
  size_t data = jpeg.find("\xFF\xDA") + 2 + 12;
  for (size_t i = data; i + 2 < jpeg.size(); ++i) {
    if (jpeg[i] == '\xFF') {
      EXPECT_EQ('\0', jpeg[i + 1]) << "unstuffed 0xFF at " << i;
    }
  }
}
