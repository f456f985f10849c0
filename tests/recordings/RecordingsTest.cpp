// The recordings library on its own: the stored files, numbering, the
// repair of series file names at load, and what local and cloud entries
// keep of the host's changes.
#include <gtest/gtest.h>

#include <fstream>

#include "common/HttpGlobals.h"
#include "common/SettingValues.h"
#include "common/StorageLayout.h"
#include "discovery/Canales.h"
#include "recordings/Recordings.h"
#include "support/InProcessHost.h"
#include "support/TinyHttpServer.h"

namespace {

class RecordingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host.UseStorage();
    httpHostQuorvina = "127.0.0.1";
    PuertoHttpQuorvina = server.port();
    ConexionEnNubeActivada = false;
    OcultarRecordingseries = false;
    canales = std::make_unique<Canales>();
  }
  void TearDown() override {
    httpHostQuorvina = "172.26.22.23";
    PuertoHttpQuorvina = 2001;
    ConexionEnNubeActivada = true;
    OcultarRecordingseries = false;
  }
  std::unique_ptr<Recordings> Load() { return std::make_unique<Recordings>(*canales); }
  std::string Video(const std::string& name) {
    const std::string path = host.user().file(name);
    std::ofstream(path) << "ts";
    return path;
  }
  static DatosGrabacion Local(const std::string& id, const std::string& video) {
    DatosGrabacion g;
    g.strRecordingId = id;
    g.strTitle = "Local " + id;
    g.strStreamURL = video;
    return g;
  }
  std::vector<std::string> Ids(Recordings& r) {
    std::vector<std::string> ids;
    for (const auto& g : r.GetRecordings()) ids.push_back(g.strRecordingId);
    return ids;
  }

  InProcessHost host;
  TinyHttpServer server;
  std::unique_ptr<Canales> canales;
};

TEST_F(RecordingsTest, FilesAreWrittenExactlyAndReadBack) {
  DatosGrabacion g = Local("7", host.user().file("A & B/<x>.ts"));
  g.strTitle = "T\xC3\xADtulo \"1\" & 'dos' <3>\r\n";
  g.strPlot = "a\r\n\r\nb";
  g.iClientChannelUid = 1001;
  g.recordingTime = 1700000000;
  g.iDuration = 3600;
  g.idSerie = "El tiempo";
  g.HD = true;
  std::unique_ptr<Recordings> r = Load();
  ASSERT_TRUE(r->GrabarRecordings(g));
  const std::string text = host.user().Read("Recordings/Recordings/7.xml");
  const std::string head =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Recording>\n<strRecordingId Value=\"7\" />\n"
      "<strTitle Value=\"T\xC3\xADtulo &quot;1&quot; &amp; &apos;dos&apos; &lt;3&gt;&#xD;&#xA;\" "
      "/>\n";
  const std::string tail = "<HD Value=\"1\" />\n<Cloud Value=\"0\" />\n</Recording>\n";
  EXPECT_EQ(text.substr(0, head.size()), head);
  EXPECT_NE(text.find("<recordingTime Value=\"1700000000\" />\n<iDuration Value=\"3600\" />"),
            std::string::npos);
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
  const DatosGrabacion back = r->LeerRecordings(host.user().file("Recordings/Recordings/7.xml"));
  EXPECT_EQ(back.strTitle, g.strTitle);
  EXPECT_EQ(back.strStreamURL, g.strStreamURL);
  EXPECT_EQ(back.strPlot, g.strPlot);
  EXPECT_TRUE(back.HD);
  EXPECT_EQ(Recordings::GenerarXMLLastPlay(95),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<LastPlayRecordings>\n"
            "<LastPlay Value=\"95\" />\n</LastPlayRecordings>\n");
  // A file cut in half gives an empty record, logged; nothing else is lost.
  host.user().Write("Recordings/Recordings/8.xml", text.substr(0, text.size() / 2));
  EXPECT_EQ(r->LeerRecordings(host.user().file("Recordings/Recordings/8.xml")).strRecordingId, "");
  EXPECT_EQ(host.LevelOfLog("no valido"), "error");
  EXPECT_EQ(host.user().Read("Recordings/Recordings/7.xml"), text);
}

TEST_F(RecordingsTest, NumberingAndSeriesFileNames) {
  std::unique_ptr<Recordings> r = Load();
  DatosTemporizador t;
  t.strTitle = "El tiempo";
  t.idSerie = "El tiempo";
  t.StrDescripcionSerie = "El tiempo";
  t.iTemporada = 3;
  t.iCapitulo = 7;
  const std::string video = Video("El tiempo.mpeg");
  EXPECT_EQ(r->AddRecording(t, video, nullptr, 1000, 1600, -1), 1);
  EXPECT_EQ(host.user().Read("Recordings/Contador.xml"), Recordings::GenerarXMLContador(1));
  EXPECT_EQ(Recordings::GenerarXMLContador(1),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Recording>\n<Contador Value=\"1\" "
            "/>\n</Recording>\n");
  EXPECT_EQ(r->AddRecording(t, Video("otra.ts"), nullptr, 1000, 1600, -1), 2);
  DatosGrabacion first;
  ASSERT_TRUE(r->GetRecording("1", first));
  EXPECT_EQ(first.strDirectory, "El tiempo/Temporada 3");
  EXPECT_EQ(first.iDuration, 600);

  // At the next load the video gets its season and episode in front.
  r = Load();
  const std::string renamed = host.user().file("03x07 El tiempo.mpeg");
  EXPECT_TRUE(std::ifstream(renamed).good());
  EXPECT_FALSE(std::ifstream(video).good());
  ASSERT_TRUE(r->GetRecording("1", first));
  EXPECT_EQ(first.strStreamURL, renamed);
  EXPECT_NE(host.user().Read("Recordings/Recordings/1.xml").find("03x07 El tiempo.mpeg"),
            std::string::npos);
  r = Load();
  ASSERT_TRUE(r->GetRecording("1", first));
  EXPECT_EQ(first.strStreamURL, renamed);
}

TEST_F(RecordingsTest, LocalChangesSurviveARestartAndCloudEntriesIgnoreThem) {
  std::unique_ptr<Recordings> r = Load();
  r->GrabarRecordings(Local("1", Video("uno.ts")));
  DatosGrabacion serie = Local("2", Video("dos.ts"));
  serie.idSerie = "S";
  r->GrabarRecordings(serie);
  DatosGrabacion cloud = Local("900", "");
  cloud.Cloud = true;
  cloud.idSerie = "S";
  r->GrabarRecordings(cloud);
  host.user().Write("Recordings/LastPlay/900.xml", Recordings::GenerarXMLLastPlay(50));
  r = Load();
  for (const char* id : {"1", "900"}) {
    r->RenameRecording(id, "Nuevo");
    r->SetRecordingPlayCount(id, 4);
    r->SetRecordingLastPlayedPosition(id, 120);
  }
  r = Load();
  const struct {
    const char* id;
    const char* title;
    int playCount;
    int position;
  } cases[] = {{"1", "Nuevo", 4, 120}, {"900", "Local 900", 0, 0}, {"5", "", 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    DatosGrabacion g;
    r->GetRecording(c.id, g);
    EXPECT_EQ(g.strTitle, c.title);
    EXPECT_EQ(r->GetRecordingPlayCount(c.id), c.playCount);
    EXPECT_EQ(r->GetRecordingLastPlayedPosition(c.id), c.position);
  }
  EXPECT_EQ(Ids(*r), (std::vector<std::string>{"1", "2", "900"}));
  OcultarRecordingseries = true;
  EXPECT_EQ(Ids(*r), (std::vector<std::string>{"1", "900"}));
}

TEST_F(RecordingsTest, CloudIdOfALocalNumberKeepsTheLocalFile) {
  std::unique_ptr<Recordings> r = Load();
  r->GrabarRecordings(Local("5", Video("cinco.ts")));
  const std::string local = host.user().Read("Recordings/Recordings/5.xml");
  r = Load();
  ConexionEnNubeActivada = true;
  const std::string list =
      "http://127.0.0.1:" + std::to_string(server.port()) +
      "/appserver/bktv.do?action=getRecordingList&mode=0&stateList=2&startDate=0000000000000&"
      "endDate=9000000000000&first=0&max=999&sort=2&intervalFromLastUpdate=0";
  server.AnswerOk(list, R"({"resultCode":0,"resultData":{"result":[{"id":5,"service_uid":1,)"
                        R"("begintime":0,"endtime":1000,"name":"nube","hd":0},{"id":123456789,)"
                        R"("service_uid":1,"begintime":0,"endtime":1000,"name":"x","hd":0}]}})");
  EXPECT_EQ(Ids(*r), (std::vector<std::string>{"123456789", "5"}));
  EXPECT_EQ(host.user().Read("Recordings/Recordings/5.xml"), local);
  EXPECT_TRUE(host.Logged("con el numero de una local"));
  bool asked = false;
  for (const auto& request : server.Requests())
    asked = asked || request.rfind(
                         "GET /appclient/incoming/covers/programmeImages/landscape/big/"
                         "12345/123456789.jpg ",
                         0) == 0;
  EXPECT_TRUE(asked);
}

}  // namespace
