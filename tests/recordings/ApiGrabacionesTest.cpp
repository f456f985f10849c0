// The application server's recording requests: result codes, the list
// reader's rules and the size bound, against a loopback server.
#include <gtest/gtest.h>

#include "common/HttpGlobals.h"
#include "common/SettingValues.h"
#include "recordings/ApiGrabaciones.h"
#include "support/InProcessHost.h"
#include "support/TinyHttpServer.h"

namespace {

class ApiGrabacionesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host.UseStorage();
    httpHostQuorvina = "127.0.0.1";
    PuertoHttpQuorvina = server.port();
  }
  void TearDown() override {
    httpHostQuorvina = "172.26.22.23";
    PuertoHttpQuorvina = 2001;
  }
  std::string Base() const {
    return "http://127.0.0.1:" + std::to_string(server.port()) + "/appserver/bktv.do?action=";
  }
  std::string Booking(const std::string& action) const {
    return Base() + action + "&extInfoID=77&PIN=0&channelID=1001";
  }

  InProcessHost host;
  TinyHttpServer server;
};

TEST_F(ApiGrabacionesTest, ResultCodesDecideEachBookingRequest) {
  const struct {
    const char* name;
    bool (*call)(int, int);
    const char* action;
    const char* answer;
    const char* cancelAnswer;  // for a delete that falls back to cancel
    bool result;
    const char* logged;
  } cases[] = {
      {"set, number 0", setRecording, "setRecording", R"({"resultCode":0})", nullptr, true},
      {"set, text 0", setRecording, "setRecording", R"({"resultCode":"0"})", nullptr, true},
      {"set, other code", setRecording, "setRecording", R"({"resultCode":3})", nullptr, false},
      {"cancel, no booking", cancelRecording, "cancelRecording", R"({"resultCode":-5})", nullptr,
       true},
      {"cancel, refused", cancelRecording, "cancelRecording",
       R"({"resultCode":-4,"resultText":"no"})", nullptr, false, R"("resultText":"no")"},
      {"cancel, no answer", cancelRecording, "none", "", nullptr, false, "cancel sin respuesta"},
      {"delete, finished", delRecording, "delRecording", R"({"resultCode":0})", nullptr, true},
      {"delete, not finished: cancel", delRecording, "delRecording", R"({"resultCode":-2})",
       R"({"resultCode":0})", true},
      {"delete, cancel refused", delRecording, "delRecording", R"({"resultCode":-2})",
       R"({"resultCode":-4})", false},
      {"delete, no answer", delRecording, "none", "", nullptr, false, "del sin respuesta"},
      {"delete, not an object", delRecording, "delRecording", "[0]", nullptr, false,
       "no es un objeto"},
      {"delete, no resultCode", delRecording, "delRecording", R"({"resultText":"x"})", nullptr,
       false, "respuesta sin resultCode"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TinyHttpServer fresh;
    PuertoHttpQuorvina = fresh.port();
    const std::string base =
        "http://127.0.0.1:" + std::to_string(fresh.port()) + "/appserver/bktv.do?action=";
    fresh.AnswerOk(base + c.action + "&extInfoID=77&PIN=0&channelID=1001", c.answer);
    if (c.cancelAnswer != nullptr)
      fresh.AnswerOk(base + "cancelRecording&extInfoID=77&PIN=0&channelID=1001", c.cancelAnswer);
    EXPECT_EQ(c.call(77, 1001), c.result);
    EXPECT_EQ(fresh.Requests().size(), c.cancelAnswer != nullptr ? 2u : 1u);
    if (c.logged != nullptr) {
      EXPECT_EQ(host.LevelOfLog(c.logged), "error");
    }
  }
}

TEST_F(ApiGrabacionesTest, ListEntriesFollowTheirMembers) {
  const std::string entry =
      R"({"id":7,"service_uid":1001,"begintime":1700000000999,"endtime":1700003600000,)"
      R"("name":"El tiempo","hd":1)";
  const struct {
    const char* name;
    std::string result;  // the "result" member, or the whole resultData when it starts with '!'
    bool ok;
    size_t added;
    const char* skipped;  // ids passed over, "?" for one without a readable id
    const char* logged;
  } cases[] = {
      {"milliseconds truncated", "[" + entry + R"(,"seriesName":null,"season":"3"}])", true, 1, ""},
      {"optional members null", "[" + entry + R"(,"season":null,"episode":null}])", true, 1, ""},
      {"required member missing",
       "[" + entry +
           R"(},{"id":8,"service_uid":1,"begintime":0,)"
           R"("endtime":0,"name":"x"}])",
       true, 1, "8", "sin hd valido"},
      {"member of another type", "[" + entry + R"(,"episode":"7"}])", true, 0, "7",
       "sin episode valido"},
      {"id unreadable", "[" + entry + R"(},{"id":"9"}])", true, 1, "?", "sin id valido"},
      {"duplicate id keeps the first", "[" + entry + "}," + entry + R"(,"name":"otro"}])", true, 1,
       ""},
      {"result not a list", R"({"id":7})", false, 0, "", "result no es una lista"},
      {"no result", "!{}", true, 0, ""},
      {"resultData not an object", "![]", false, 0, "", "resultData no es un objeto"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string data =
        c.result[0] == '!' ? c.result.substr(1) : R"({"result":)" + c.result + "}";
    std::map<std::string, DatosGrabacion> list;
    list["1"].strTitle = "ya estaba";
    EntradasOmitidas omitidas;
    EXPECT_EQ(
        LeerListaGrabaciones(R"({"resultCode":"0","resultData":)" + data + "}", &list, &omitidas),
        c.ok);
    EXPECT_EQ(list.size(), 1 + c.added);
    EXPECT_EQ(list["1"].strTitle, "ya estaba");
    std::string skipped = omitidas.sinId ? "?" : "";
    for (const std::string& id : omitidas.ids) skipped += id;
    EXPECT_EQ(skipped, c.skipped);
    if (c.logged != nullptr) {
      EXPECT_TRUE(host.Logged(c.logged));
    }
  }
  std::map<std::string, DatosGrabacion> list;
  ASSERT_TRUE(LeerListaGrabaciones(R"({"resultCode":0,"resultData":{"result":[)" + entry +
                                       R"(,"seriesName":"El tiempo: 2",)"
                                       R"("season":"3"}]}})",
                                   &list));
  const DatosGrabacion& g = list.at("7");
  EXPECT_EQ(g.recordingTime, 1700000000);
  EXPECT_EQ(g.iDuration, 3600);
  EXPECT_EQ(g.idSerie, "El tiempo  2");
  EXPECT_EQ(g.StrDescripcionSerie, "El tiempo: 2");
  EXPECT_EQ(g.iTemporada, 3);
  EXPECT_EQ(g.iCapitulo, 0);
  EXPECT_TRUE(g.HD && g.Cloud);
  EXPECT_EQ(g.iUniqueBroadcastId, 7);

  std::map<int, DatosTemporizador> timers;
  ASSERT_TRUE(LeerListaTemporizadores(
      R"({"resultCode":0,"resultData":{"result":[)" + entry + "}]}}", &timers, 1));
  EXPECT_EQ(timers.at(7).state, 2);
  EXPECT_EQ(timers.at(7).startTime, 1700000000);
}

TEST_F(ApiGrabacionesTest, PlaybackDataAndBookmarksKeepWhatIsMissing) {
  const std::string data = Base() + "getRecordingData&extInfoID=5&channelID=1001";
  const std::string mark = Base() + "getBookmark&service=1&productID=5";
  const struct {
    const char* name;
    const char* dataAnswer;
    bool dataOk;
    unsigned int duration;
    const char* url;
    const char* markAnswer;
    const char* bookmark;
    const char* productType;
  } cases[] = {
      {"all members", R"({"resultCode":0,"resultData":{"duration":3600,"url":"rtsp://a/b"}})", true,
       3600, "rtsp://a/b", R"({"resultCode":0,"resultData":{"bookmark":95,"productType":"5"}})",
       "95", "5"},
      {"members missing", R"({"resultCode":0,"resultData":{}})", true, 1, "previa",
       R"({"resultCode":0,"resultData":{"bookmark":12}})", "12", "2"},
      {"wrong types", R"({"resultCode":0,"resultData":{"url":5}})", false, 1, "previa",
       R"({"resultCode":0,"resultData":{"bookmark":"12"}})", "", "2"},
      {"failed", R"({"resultCode":1,"resultData":{"url":"rtsp://x"}})", false, 1, "previa",
       R"({"resultCode":1})", "", "2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    server.AnswerOk(data, c.dataAnswer);
    server.AnswerOk(mark, c.markAnswer);
    unsigned int duration = 1;
    std::string url = "previa";
    EXPECT_EQ(getRecordingData(5, 1001, &duration, &url), c.dataOk);
    EXPECT_EQ(duration, c.duration);
    EXPECT_EQ(url, c.url);
    std::string type = "9";
    EXPECT_EQ(getBookmark("5", type), c.bookmark);
    EXPECT_EQ(type, c.productType);
  }
}

TEST_F(ApiGrabacionesTest, RequestsUseTheirTemplatesAndRefuseHugeAnswers) {
  const std::string list = Base() +
                           "getRecordingList&mode=0&stateList=2&startDate=0000000000000&endDate="
                           "9000000000000&first=0&max=999&sort=2&intervalFromLastUpdate=0";
  server.AnswerOk(list, R"({"resultCode":0,"resultData":{"result":[{"id":1,"service_uid":2,)"
                        R"("begintime":0,"endtime":0,"name":")" +
                            std::string(size_t{17} << 20, 'a') + R"(","hd":0}]}})");
  std::map<std::string, DatosGrabacion> recordings;
  EXPECT_FALSE(RecordingListGrabaciones(&recordings));
  EXPECT_TRUE(recordings.empty());
  EXPECT_TRUE(host.Logged("respuesta de mas de 16 MiB descartada"));

  const std::string setMark = Base() +
                              "setBookmark&productID=5&audioID=0&subtitleID=-1&bookmark=95&"
                              "productType=2";
  server.AnswerOk(setMark, R"({"resultCode":0})");
  EXPECT_TRUE(setBookmark("5", "95", "2"));
  server.AnswerOk(Booking("setRecording"), R"({"resultCode":0})");
  EXPECT_TRUE(setRecording(77, 1001));
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].rfind("GET " + list + " HTTP/1.1\r\n", 0), 0u);
}

}  // namespace
