// The recording API: states that follow the clock, the result codes of each
// action, and the JSON switches that damage its answers.
#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include "AppAnswers.h"
#include "CloudAnswers.h"
#include "CloudRecordings.h"
#include "HttpRequest.h"
#include "ScenarioLoader.h"

using namespace headend;

namespace {

const char kScenario[] = R"({"packages": [{"name": "P"}], "lineUp": {"services": [
  {"id": "1001", "address": "239.0.0.1", "packages": ["P"]}]},
  "cloud": {"recordings": [
    {"id": 11, "service": "1001", "name": "Hecha", "seriesName": "El tiempo", "season": "3",
     "episode": 7, "begin": -7200, "end": -3600, "bookmark": 95, "productType": "5"},
    {"id": 12, "service": "1001", "name": "Grabando", "seriesName": null, "begin": -60, "end": 600},
    {"id": 13, "service": "1001", "name": "Pendiente", "begin": 600, "end": 1200},
    {"id": 14, "service": "1001", "name": "Se va", "begin": -900, "end": -600,
     "goneAfterSeconds": 30}],
   "families": [{"count": 3, "firstId": 500, "service": "1001", "name": "G {n}",
     "begin": -90000, "duration": 1800}]},
  "appServer": {"switches": {%s}}})";

class CloudTest : public ::testing::Test {
 protected:
  void Load(const std::string& switches = "") {
    char text[4096];
    std::snprintf(text, sizeof text, kScenario, switches.c_str());
    std::string errors;
    ASSERT_TRUE(ScenarioLoader::LoadText(text, &scenario, &errors)) << errors;
    cloud = std::make_unique<CloudRecordings>(scenario.cloud, nullptr, kStart);
    logos = std::make_unique<LogoStore>(scenario);
    app = std::make_unique<AppAnswers>(scenario, *logos);
    cloudAnswers = std::make_unique<CloudAnswers>(*cloud, nullptr);
    app->SetCloud(cloudAnswers.get());
  }
  // The answer to an absolute-form request, as a client of the server sends it.
  rapidjson::Document Ask(const std::string& query, time_t at = kStart) {
    HttpRequest r =
        HttpRequest::Parse("GET http://172.26.22.23:2001/appserver/bktv.do?action=" + query +
                           " HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_TRUE(r.Ok());
    HttpReply reply;
    if (!cloudAnswers->Answer(
            r, [this](const std::string& kind) { return Switches(kind); }, &reply, at))
      ADD_FAILURE() << "not answered: " << query;
    rapidjson::Document d;
    d.Parse(reply.body.c_str());
    return d;
  }
  HttpSwitches Switches(const std::string& kind) {
    auto it = scenario.appServer.switches.find(kind);
    return it == scenario.appServer.switches.end() ? HttpSwitches() : it->second;
  }
  static constexpr time_t kStart = 1765000000;
  Scenario scenario;
  std::unique_ptr<CloudRecordings> cloud;
  std::unique_ptr<LogoStore> logos;
  std::unique_ptr<AppAnswers> app;
  std::unique_ptr<CloudAnswers> cloudAnswers;
};

const char kList[] = "getRecordingList&mode=0&stateList=%d&max=999";

std::string List(int state) {
  char q[64];
  std::snprintf(q, sizeof q, kList, state);
  return q;
}

}  // namespace

TEST_F(CloudTest, StatesFollowTheClockAndActionsAnswerTheirCodes) {
  Load();
  const struct {
    const char* name;
    std::string query;
    time_t at;
    int code;
    size_t entries;  // in the answer's result list, when it has one
  } cases[] = {
      {"finished, newest first", List(2), kStart, 0, 5},
      {"recording", List(1), kStart, 0, 1},
      {"pending", List(0), kStart, 0, 1},
      {"gone later", List(2), kStart + 60, 0, 4},
      {"pending later finished", List(2), kStart + 1300, 0, 6},
      {"wrong PIN", "delRecording&extInfoID=11&PIN=12&channelID=1001", kStart, -3, 0},
      {"delete before the end", "delRecording&extInfoID=12&PIN=0&channelID=1001", kStart, -2, 0},
      {"cancel without booking", "cancelRecording&extInfoID=99&PIN=0&channelID=1001", kStart, -5,
       0},
      {"cancel recording", "cancelRecording&extInfoID=12&PIN=0&channelID=1001", kStart, 0, 0},
      {"delete finished", "delRecording&extInfoID=11&PIN=0&channelID=1001", kStart, 0, 0},
      {"deleted is gone", "delRecording&extInfoID=11&PIN=0&channelID=1001", kStart, -1, 0},
      {"book unknown programme", "setRecording&extInfoID=77&PIN=0&channelID=1001", kStart, -4, 0},
      {"store bookmark", "setBookmark&productID=500&bookmark=42&productType=2", kStart, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    rapidjson::Document d = Ask(c.query, c.at);
    ASSERT_TRUE(d.IsObject());
    EXPECT_EQ(d["resultCode"].GetInt(), c.code);
    if (c.code == 0 && d.HasMember("resultData") && d["resultData"].HasMember("result")) {
      EXPECT_EQ(d["resultData"]["result"].Size(), c.entries);
    }
  }
  rapidjson::Document list = Ask(List(2));
  const auto& first = list["resultData"]["result"][0];
  EXPECT_EQ(first["id"].GetUint(), 14u);
  EXPECT_EQ(first["begintime"].GetInt64(), (kStart - 900) * 1000);
  rapidjson::Document mark = Ask("getBookmark&service=1&productID=500");
  EXPECT_EQ(mark["resultData"]["bookmark"].GetInt64(), 42);
  rapidjson::Document data = Ask("getRecordingData&extInfoID=13&channelID=1001");
  EXPECT_EQ(data["resultData"]["duration"].GetUint(), 600u);
  EXPECT_STREQ(data["resultData"]["url"].GetString(), "rtsp://172.26.23.3:554/cloud/13");
  EXPECT_EQ(cloud->Json(kStart).find(R"("id":11)"), std::string::npos);
}

TEST_F(CloudTest, SwitchesDamageTheAnswerWhereTheyAreAimed) {
  const struct {
    const char* name;
    const char* switches;
    const char* query;
    const char* expected;  // a fragment of the body
  } cases[] = {
      {"forced code, nothing deleted", R"("delRecording": {"resultCode": -2})",
       "delRecording&extInfoID=11&PIN=0&channelID=1001", R"("resultCode":-2)"},
      {"code as text", R"("getRecordingList": {"stringMembers": ["resultCode"]})", kList,
       R"("resultCode":"0")"},
      {"member of every entry", R"("getRecordingList": {"missingMembers": ["result[].hd"]})", kList,
       R"("name":"Hecha","seriesName":"El tiempo","season":"3","episode":7})"},
      {"null member", R"("getRecordingList": {"nullMembers": ["result[].name"]})", kList,
       R"("name":null)"},
      {"list as an object", R"("getRecordingList": {"wrongTypes": ["result"]})", kList,
       R"("result":{})"},
      {"bookmark as text", R"("getBookmark": {"wrongTypes": ["bookmark"]})",
       "getBookmark&service=1&productID=11", R"("bookmark":"95")"},
      {"duplicate ids", R"("getRecordingList": {"duplicateIds": true})", kList,
       R"("id":500,"service_uid":1001,"begintime":1764910000000,"endtime":1764911800000,)"
       R"("name":"G 1","hd":0},{"id":500,)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Load(c.switches);
    std::string query = c.query;
    if (query == kList) query = List(2);
    HttpRequest r = HttpRequest::Parse("GET /appserver/bktv.do?action=" + query +
                                       " HTTP/1.1\r\nHost: x\r\n\r\n");
    const HttpReply reply = app->Answer(r);
    EXPECT_NE(reply.body.find(c.expected), std::string::npos) << reply.body;
    EXPECT_NE(cloud->Json(kStart).find(R"("id":11,)"), std::string::npos);
  }
}
