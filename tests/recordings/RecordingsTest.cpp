// The recordings library on its own: the stored files, numbering, the
// repair of series file names at load, and what local and cloud entries
// keep of the host's changes, made at once from several threads too.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

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

  // The copy can't be written (as on a full disk): the old file stays, one line tells.
  std::filesystem::create_directory(host.user().file("Recordings/Recordings/7.xml.tmp"));
  g.strTitle = "otro";
  EXPECT_FALSE(r->GrabarRecordings(g));
  EXPECT_EQ(host.user().Read("Recordings/Recordings/7.xml"), text);
  EXPECT_EQ(host.LevelOfLog("No se puede escribir la grabacion 7"), "error");
  // A complete copy stands for its lost file, and goes at the next rewrite.
  g.strRecordingId = "9";
  host.user().Write("Recordings/Recordings/9.xml.tmp", Recordings::GenerarXML(g));
  r = Load();
  EXPECT_EQ(r->GetLstRecordings()["9"].strTitle, "otro");
  EXPECT_TRUE(r->GrabarRecordings(g));
  EXPECT_FALSE(std::filesystem::exists(host.user().file("Recordings/Recordings/9.xml.tmp")));
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
  DatosTemporizador t100 = t;
  t100.iTemporada = 100;
  t100.iCapitulo = 2;
  EXPECT_EQ(r->AddRecording(t100, Video("otra.ts"), nullptr, 1000, 1600, -1), 2);
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
  ASSERT_TRUE(r->GetRecording("2", first));
  EXPECT_EQ(first.strStreamURL, host.user().file("100x02 otra.ts"));

  // Without the counter, numbers go on above the stored local ones and pass
  // over a cloud recording's.
  DatosGrabacion cloud = Local("4", "");
  cloud.Cloud = true;
  r->GrabarRecordings(cloud);
  std::filesystem::remove(host.user().file("Recordings/Contador.xml"));
  r = Load();
  EXPECT_EQ(r->AddRecording(t, Video("tres.ts"), nullptr, 1000, 1600, -1), 3);
  EXPECT_EQ(r->AddRecording(t, Video("cinco.ts"), nullptr, 1000, 1600, -1), 5);
  EXPECT_EQ(host.user().Read("Recordings/Recordings/4.xml"), Recordings::GenerarXML(cloud));
  // A name already taken is left alone.
  std::ofstream(host.user().file("03x07 tres.ts")) << "otro";
  r = Load();
  EXPECT_EQ(host.user().Read("03x07 tres.ts"), "otro");
  EXPECT_TRUE(std::filesystem::exists(host.user().file("tres.ts")));
  EXPECT_EQ(host.LevelOfLog("ya existe"), "error");
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
  // Changes made at once from two threads, beside listings, all reach the file.
  std::thread titles([&r] {
    for (int i = 1; i <= 40; ++i) r->RenameRecording("1", "T" + std::to_string(i));
  });
  for (int i = 1; i <= 40; ++i) {
    r->SetRecordingPlayCount("1", i);
    r->GetRecordings();
  }
  titles.join();
  r->RenameRecording("900", "Nuevo");
  r->SetRecordingPlayCount("900", 4);
  for (const char* id : {"1", "900"}) r->SetRecordingLastPlayedPosition(id, 120);
  r = Load();
  const struct {
    const char* id;
    const char* title;
    int playCount;
    int position;
  } cases[] = {{"1", "T40", 40, 120}, {"900", "Local 900", 0, 0}, {"5", "", 0, 0}};
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
  Ids(*r);  // a second listing does not repeat the line
  EXPECT_EQ(host.journal().countContaining(hostsim::EntryKind::Log, "con el numero de una local"),
            1u);
  bool asked = false;
  for (const auto& request : server.Requests())
    asked = asked || request.rfind(
                         "GET /appclient/incoming/covers/programmeImages/landscape/big/"
                         "12345/123456789.jpg ",
                         0) == 0;
  EXPECT_TRUE(asked);
}

}  // namespace
