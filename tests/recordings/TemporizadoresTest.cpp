// Timers on their own: the stored file, the load's corrections, the keys new
// timers get and the names recordings are written under.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "common/HttpGlobals.h"
#include "common/SettingValues.h"
#include "common/StorageLayout.h"
#include "discovery/Canales.h"
#include "recordings/Recordings.h"
#include "recordings/Temporizadores.h"
#include "support/InProcessHost.h"
#include "support/TinyHttpServer.h"

namespace {

class TemporizadoresTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host.UseStorage();
    ConexionEnNubeActivada = false;
    canales = std::make_unique<Canales>();
    grabaciones = std::make_unique<Recordings>(*canales);
  }
  void TearDown() override {
    ConexionEnNubeActivada = true;
    TipoGrabacionPorDefecto = 0;
    httpHostQuorvina = "172.26.22.23";
    PuertoHttpQuorvina = 2001;
  }
  EntornoTemporizador Entorno() { return {*canales, nullptr, *grabaciones}; }
  bool Exists(const std::string& relative) const {
    return std::filesystem::exists(host.user().file(relative));
  }
  static DatosTemporizador Timer(int index, time_t start, time_t end, int state) {
    DatosTemporizador t;
    t.iClientIndex = index;
    t.iClientChannelUid = 1001;
    t.startTime = start;
    t.endTime = end;
    t.state = state;
    t.strTitle = "P" + std::to_string(index);
    return t;
  }

  InProcessHost host;
  std::unique_ptr<Canales> canales;
  std::unique_ptr<Recordings> grabaciones;
};

TEST_F(TemporizadoresTest, FileIsWrittenExactlyAndReadBack) {
  DatosTemporizador t = Timer(17, 1700000000, 1700003600, 1);
  t.strTitle = "A & \"B\" <c>\r\n";
  t.strDirectory = "/v/a&b";
  t.bIsRepeating = true;
  t.iEpgUid = 17;
  t.iMarginStart = 2;
  t.iMarginEnd = 10;
  t.idSerie = "El tiempo";
  t.iTemporada = 3;
  t.iCapitulo = 7;
  t.Cloud = true;
  const std::string text = Temporizador::TextoFichero(t);
  EXPECT_EQ(text,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Temporizador>\n"
            "<iClientIndex Value=\"17\" />\n<iClientChannelUid Value=\"1001\" />\n"
            "<startTime Value=\"1700000000\" />\n<endTime Value=\"1700003600\" />\n"
            "<state Value=\"1\" />\n<strTitle Value=\"A &amp; &quot;B&quot; &lt;c&gt;&#xD;&#xA;\" "
            "/>\n<strDirectory Value=\"/v/a&amp;b\" />\n<strSummary Value=\"\" />\n"
            "<iPriority Value=\"0\" />\n<iLifetime Value=\"0\" />\n<bIsRepeating Value=\"1\" />\n"
            "<firstDay Value=\"0\" />\n<iWeekdays Value=\"0\" />\n<iEpgUid Value=\"17\" />\n"
            "<iMarginStart Value=\"2\" />\n<iMarginEnd Value=\"10\" />\n"
            "<iGenreType Value=\"0\" />\n<iGenreSubType Value=\"0\" />\n"
            "<idSerie Value=\"El tiempo\" />\n<StrDescripcionSerie Value=\"\" />\n"
            "<iTemporada Value=\"3\" />\n<iCapitulo Value=\"7\" />\n"
            "<iUniqueBroadcastId Value=\"0\" />\n<HD Value=\"0\" />\n<Cloud Value=\"1\" />\n"
            "<iTipoTemporizador Value=\"0\" />\n</Temporizador>\n");
  const DatosTemporizador back =
      Temporizador::ProcesarFicheroTemporizador(Temporizador::TextoFichero(t));
  EXPECT_EQ(back.strTitle, t.strTitle);
  EXPECT_EQ(back.strDirectory, t.strDirectory);
  EXPECT_EQ(Temporizador::TextoFichero(back), Temporizador::TextoFichero(t));
  EXPECT_EQ(Temporizador::ProcesarFicheroTemporizador("<Temporizador><x").endTime, 0);
}

TEST_F(TemporizadoresTest, LoadKeepsPendingAndDropsWhatIsOver) {
  struct Case {
    const char* name;
    int index;
    time_t endOffset;
    int state;
    bool listed;
    bool fileKept;
  } const cases[] = {
      {.name = "future pending",
       .index = 1,
       .endOffset = 3600,
       .state = 1,
       .listed = true,
       .fileKept = true},
      {.name = "past pending", .index = 2, .endOffset = -60, .state = 1, .fileKept = false},
      {.name = "past recording", .index = 3, .endOffset = -60, .state = 2, .fileKept = false},
      {.name = "finished", .index = 4, .endOffset = 3600, .state = 3, .fileKept = false},
  };
  const time_t now = time(nullptr);
  for (const Case& c : cases) {
    host.user().Write("Timers/" + std::to_string(c.index) + ".xml",
                      Temporizador::TextoFichero(
                          Timer(c.index, now + c.endOffset - 1800, now + c.endOffset, c.state)));
  }
  host.user().Write("Timers/9.xml", "<Temporizador><iClientIndex Value=");
  {
    Temporizadores set(Entorno());
    EXPECT_EQ(set.GetTimersAmount(), 1);
    for (const Case& c : cases) {
      EXPECT_EQ(Exists("Timers/" + std::to_string(c.index) + ".xml"), c.fileKept) << c.name;
    }
    // An unreadable file is replaced by an aborted timer 0, removed next time.
    EXPECT_FALSE(Exists("Timers/9.xml"));
    EXPECT_TRUE(Exists("Timers/0.xml"));
    const auto list = set.GetTimers();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].iClientIndex, 1);
  }
  temporizadorCargadoCompleto = false;
  Temporizadores again(Entorno());
  EXPECT_FALSE(Exists("Timers/0.xml"));
  EXPECT_TRUE(temporizadorCargadoCompleto);
}

TEST_F(TemporizadoresTest, NewTimersGetTheirKeys) {
  const time_t now = time(nullptr);
  Temporizadores set(Entorno());
  DatosTemporizador guia = Timer(0, now + 3600, now + 7200, 0);
  guia.iEpgUid = 123456;
  EXPECT_TRUE(set.AddTimer(guia));
  EXPECT_TRUE(Exists("Timers/123456.xml"));
  DatosTemporizador mano = Timer(0, now + 3600, now + 7200, 0);
  mano.iEpgUid = -1;  // no guide entry
  EXPECT_TRUE(set.AddTimer(mano));
  EXPECT_TRUE(Exists("Timers/123457.xml"));
  // The same guide entry again is refused before its file is touched; from
  // several threads at once, one is taken; a timer on the VOD channel too.
  guia.strTitle = "otra vez";
  EXPECT_FALSE(set.AddTimer(guia));
  EXPECT_EQ(host.user().Read("Timers/123456.xml").find("otra vez"), std::string::npos);
  DatosTemporizador carrera = guia;
  carrera.iEpgUid = 5555;
  std::atomic<int> taken{0};
  std::vector<std::thread> hilos;
  for (int i = 0; i < 4; ++i) hilos.emplace_back([&] { taken += set.AddTimer(carrera) ? 1 : 0; });
  for (auto& h : hilos) h.join();
  EXPECT_EQ(taken, 1);
  set.DeleteTimer(5555, false);
  DatosTemporizador vod = mano;
  vod.iClientChannelUid = static_cast<int>(CanalVOD);
  EXPECT_FALSE(set.AddTimer(vod));
  EXPECT_EQ(set.GetTimersAmount(), 2);
  EXPECT_TRUE(host.Logged("Temporizador duplicado 123456"));
  const auto list = set.GetTimers();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].strTitle, "P0");
  EXPECT_EQ(list[0].state, 1);
  EXPECT_EQ(list[0].strDirectory, PathRecorded);
  // A pending timer takes the host's changes but keeps its own folder.
  DatosTemporizador cambio = list[0];
  cambio.strTitle = "Cambiado";
  cambio.strDirectory = "/otra";
  set.UpdateTimer(cambio);
  const std::string stored = host.user().Read("Timers/123456.xml");
  EXPECT_NE(stored.find("<strTitle Value=\"Cambiado\" />"), std::string::npos);
  EXPECT_NE(stored.find("<strDirectory Value=\"" + PathRecorded + "\" />"), std::string::npos);
  set.DeleteTimer(123456, false);
  EXPECT_EQ(set.GetTimersAmount(), 1);
  EXPECT_NE(host.user().Read("Timers/123456.xml").find("<state Value=\"4\" />"), std::string::npos);
}

TEST_F(TemporizadoresTest, CloudOrLocalFollowsTheSettingOrTheAnswer) {
  struct Case {
    const char* name;
    bool nube;
    int tipo;
    const char* click;  // the answer, when asked
    bool booked;
  } const cases[] = {
      {.name = "ask, cloud", .nube = true, .tipo = 0, .click = "11", .booked = true},
      {.name = "ask, local", .nube = true, .tipo = 0, .click = "10", .booked = false},
      {.name = "cloud", .nube = true, .tipo = 1, .booked = true},
      {.name = "profile failed: local, not asked", .nube = false, .tipo = 0, .booked = false},
  };
  const time_t now = time(nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TinyHttpServer server;
    httpHostQuorvina = "127.0.0.1";
    PuertoHttpQuorvina = server.port();
    server.AnswerOk("http://127.0.0.1:" + std::to_string(server.port()) +
                        "/appserver/bktv.do?action=setRecording&extInfoID=77&PIN=0&channelID=1001",
                    R"({"resultCode":0})");
    ConexionEnNubeActivada = c.nube;
    TipoGrabacionPorDefecto = c.tipo;
    if (c.click != nullptr) host.Script(std::string("in DialogSiNo.xml click ") + c.click);
    std::filesystem::remove_all(host.user().file("Timers"));
    std::filesystem::create_directories(host.user().file("Timers"));
    const size_t asked = host.gui().closedWindows("DialogSiNo.xml").size();
    const size_t onTimerThread = host.journal().countContaining(
        hostsim::EntryKind::Host, "DialogSiNo.xml opened (modal) on thread quorvina-timer");
    {
      Temporizadores set(Entorno());
      DatosTemporizador t = Timer(0, now + 3600, now + 7200, 0);
      t.iEpgUid = 77;
      t.iMarginStart = 5;
      set.AddTimer(t);
      // Decided on the timer's own thread: booked or saved.
      for (int i = 0; i < 100 && server.Requests().empty() && !Exists("Timers/77.xml"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      EXPECT_EQ(set.GetTimersAmount(), 1);
    }
    const auto shown = host.gui().closedWindows("DialogSiNo.xml");
    ASSERT_EQ(shown.size() - asked, c.click != nullptr ? 1u : 0u);
    if (c.click != nullptr) {
      EXPECT_EQ(shown.back().label(11), "Nube");
      // Asked on the timer's own thread, never on the host's calling one.
      EXPECT_EQ(
          host.journal().countContaining(hostsim::EntryKind::Host,
                                         "DialogSiNo.xml opened (modal) on thread quorvina-timer"),
          onTimerThread + 1);
    }
    EXPECT_EQ(server.Requests().size(), c.booked ? 1u : 0u);
    EXPECT_EQ(Exists("Timers/77.xml"), !c.booked);
  }
}

TEST_F(TemporizadoresTest, CloudTimersFollowTheServersLists) {
  const time_t now = time(nullptr);
  const std::string booked = R"([{"id":77,"service_uid":1001,"begintime":)" +
                             std::to_string((now + 3600) * 1000) + R"(,"endtime":)" +
                             std::to_string((now + 7200) * 1000) + R"(,"name":"A","hd":0}])";
  // Each step answers the two lists and fetches.
  const struct {
    const char* name;
    const char* pending;  // the stateList 0 result
    bool recordingFails;  // the stateList 1 request: a 500, or an empty list
    size_t listed;
  } steps[] = {
      {"booked, listed", booked.c_str(), false, 1},
      {"a list of the wrong shape: kept", R"({"id":77})", false, 1},
      {"one list failing: kept", "[]", true, 1},
      {"missing from both lists: removed", "[]", false, 0},
  };
  TinyHttpServer server;
  httpHostQuorvina = "127.0.0.1";
  PuertoHttpQuorvina = server.port();
  ConexionEnNubeActivada = true;
  const auto lista = [&server](int n) {
    return "http://127.0.0.1:" + std::to_string(server.port()) +
           "/appserver/bktv.do?action=getRecordingList&mode=0&stateList=" + std::to_string(n) +
           "&startDate=0000000000000&endDate=9000000000000&first=0&max=999&sort=2&"
           "intervalFromLastUpdate=0";
  };
  Temporizadores set(Entorno());
  for (const auto& s : steps) {
    SCOPED_TRACE(s.name);
    server.AnswerOk(lista(0),
                    std::string(R"({"resultCode":0,"resultData":{"result":)") + s.pending + "}}");
    if (s.recordingFails) {
      server.Answer(lista(1), {"HTTP/1.1 500 Error\r\nContent-Length: 0\r\n\r\n"});
    } else {
      server.AnswerOk(lista(1), R"({"resultCode":0,"resultData":{"result":[]}})");
    }
    const auto list = set.GetTimers();
    ASSERT_EQ(list.size(), s.listed);
    if (s.listed == 1) {
      EXPECT_EQ(list[0].startTime, now + 3600);
    }
    EXPECT_EQ(set.GetTimersAmount(), static_cast<int>(s.listed));
  }
}

TEST_F(TemporizadoresTest, RecordingNamesStayFreeAndInsideTheirFolder) {
  struct Case {
    const char* title;
    const char* serie;
    const char* existing;
    const char* expected;
  } const cases[] = {
      {.title = "Noticias", .serie = "", .existing = "", .expected = "Noticias.mpeg"},
      {.title = "Noticias",
       .serie = "",
       .existing = "Noticias.mpeg",
       .expected = "Noticias 1.mpeg"},
      {.title = "El tiempo",
       .serie = "El tiempo",
       .existing = "03x07 El tiempo.mpeg",
       .expected = "03x07 El tiempo 1.mpeg"},
      {.title = "a/b:c?", .serie = "", .existing = "", .expected = "a b c .mpeg"},
      {.title = "../..", .serie = "", .existing = "", .expected = ".. ...mpeg"},
  };
  for (const Case& c : cases) {
    const std::string folder = host.user().file("n");
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    if (*c.existing != '\0') host.user().Write(std::string("n/") + c.existing, "ts");
    DatosTemporizador t = Timer(1, 0, 0, 1);
    t.strTitle = c.title;
    t.idSerie = c.serie;
    t.iTemporada = 3;
    t.iCapitulo = 7;
    t.strDirectory = folder;
    Temporizador timer(Entorno());
    timer.CargarTemporizador(t);
    EXPECT_EQ(timer.ObtenerNombreFichero(".mpeg"), folder + "/" + c.expected) << c.title;
  }
}

}  // namespace
