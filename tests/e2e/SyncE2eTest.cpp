// A cloud recording copied to a local file from the recordings menu: the
// queue file while it copies, the file the operator's server sent, the
// library's local entry, the history, and the cloud's copy deleted.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "E2eFixture.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

// A finished cloud recording; `segundos` > 0 gives its stream that length in
// real time, else the server's own (20 s sent at 4 x); `rtsp` adds members
// (switches) to the video server.
std::string Nube(int segundos, const std::string& rtsp = "") {
  const std::string assets = segundos > 0 ? R"("assets": [{"path": "/cloud/5001", "duration": )" +
                                                std::to_string(segundos) + "}]"
                                          : R"("assets": [])";
  return R"({
  "cloud": {"rtspBase": "rtsp://vod.quorvina.es:554/", "recordings": [
    {"id": 5001, "service": "1001", "name": "El corto", "begin": -10800, "end": -3600}]},
  "rtsp": {)" +
         assets + rtsp + R"(},
  "dns": {"records": [{"name": "vod.quorvina.es", "a": "172.26.24.10"}]}})";
}

// What a command prints (its first 4 KB).
std::string Salida(const std::string& comando) {
  std::string out(4096, '\0');
  FILE* p = popen(comando.c_str(), "r");
  out.resize(p != nullptr ? fread(&out[0], 1, out.size(), p) : 0);
  if (p != nullptr) pclose(p);
  return out;
}

// The stream types ffprobe reads, one a line, then the length in seconds.
std::string Ffprobe(const std::string& file) {
  return Salida("ffprobe -v error -show_entries stream=codec_type:format=duration -of csv=p=0 '" +
                file + "'");
}

class SyncE2eTest : public E2eTest {
 protected:
  // The add-on up with the cloud listed; copies go to `carpeta`.
  hostsim::Host& Arrancar(int segundos, const std::string& rtsp = "",
                          const std::string& ajustes = "") {
    std::filesystem::create_directories(carpeta = root_ + "/copias");
    std::filesystem::create_directories(userDir_);
    std::ofstream(userDir_ + "/settings.xml") << "<settings><setting id=\"recordfolder\" value=\""
                                              << carpeta << "/\" />" << ajustes << "</settings>";
    StartHeadend(Scenario(Nube(segundos, rtsp)));
    hostsim::Host& host = StartHost();
    EXPECT_TRUE(host.load().ok);
    EXPECT_TRUE(host.waitForRecordings(30s));
    host.fetchRecordings();
    return host;
  }
  std::string carpeta;
};

TEST_F(SyncE2eTest, Hook4CopiesACloudRecordingToALocalFile) {
  if (IsSkipped()) return;
  hostsim::Host& host = Arrancar(0);
  ASSERT_FALSE(HasFatalFailure());

  // A refused id changes nothing; it is logged, the menu gets no error.
  EXPECT_EQ(host.callMenuHook(4, "77").error, PVR_ERROR_NO_ERROR);
  EXPECT_TRUE(host.journal().contains(hostsim::EntryKind::Log, "no se sincroniza '77'"));
  ASSERT_EQ(host.callMenuHook(4, "5001").error, PVR_ERROR_NO_ERROR);
  EXPECT_EQ(ReadUserFile("Sincronizacion/Inmediato.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SincInmediado>\n"
            "<Inmediado Tipo=\"R\" ID=\"5001\" />\n</SincInmediado>\n");

  ASSERT_TRUE(WaitForUserFile("Sincronizacion/Track.xml", 20s));
  const std::string fichero = carpeta + "/El corto.mpeg";
  const std::string tipos = Ffprobe(fichero);
  EXPECT_NE(tipos.find("video"), std::string::npos) << tipos;
  EXPECT_NE(tipos.find("audio"), std::string::npos) << tipos;
  EXPECT_NEAR(std::atof(tipos.substr(tipos.rfind('\n', tipos.size() - 2) + 1).c_str()), 20, 1)
      << tipos;
  // The very bytes the server sent in the session.
  const std::string log = HeadendLog();
  const size_t enviado = log.find("sent ");
  const size_t suma = log.find(" TS bytes, sha256 ", enviado);
  ASSERT_TRUE(enviado != std::string::npos && suma != std::string::npos) << log;
  EXPECT_EQ(std::to_string(std::filesystem::file_size(fichero)),
            log.substr(enviado + 5, suma - enviado - 5));
  EXPECT_EQ(Salida("sha256sum '" + fichero + "'").substr(0, 64),
            log.substr(suma + std::strlen(" TS bytes, sha256 "), 64));
  EXPECT_NE(ReadUserFile("Sincronizacion/Track.xml").find("ID=\"5001\" strTitulo=\"El corto\""),
            std::string::npos);
  EXPECT_EQ(ReadUserFile("Sincronizacion/Inmediato.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SincInmediado>\n</SincInmediado>\n");
  EXPECT_NE(HeadendLog().find("delRecording"), std::string::npos);
  bool local = false;
  for (const auto& r : host.fetchRecordings().data.recordings)
    if (r.recordingId == "5001") local = r.streamUrl == fichero;
  EXPECT_TRUE(local);
}

// The add-on stopped while a copy runs, or while it is still starting (the
// server silent on its first DESCRIBE): the stop keeps its bound, no partial
// file stays, the copy stays queued and the next start copies it whole.
struct Parada {
  const char* nombre;
  const char* rtsp;
  std::chrono::milliseconds tras;
};

class SyncParadaTest : public SyncE2eTest, public ::testing::WithParamInterface<Parada> {};

TEST_P(SyncParadaTest, TheStopKeepsItQueuedAndTheRestartCopiesItWhole) {
  if (IsSkipped()) return;
  const Parada& p = GetParam();
  hostsim::Host& host = Arrancar(6, p.rtsp);
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_EQ(host.callMenuHook(4, "5001").error, PVR_ERROR_NO_ERROR);
  std::this_thread::sleep_for(p.tras);
  const auto antes = Clock::now();
  StopHost();
  EXPECT_LT(Clock::now() - antes, 3s) << p.nombre;
  EXPECT_TRUE(std::filesystem::is_empty(carpeta)) << p.nombre;
  EXPECT_NE(ReadUserFile("Sincronizacion/Inmediato.xml").find("ID=\"5001\""), std::string::npos);

  ASSERT_TRUE(StartHost().load().ok);
  ASSERT_TRUE(WaitForUserFile("Sincronizacion/Track.xml", 20s)) << p.nombre;
  EXPECT_NE(Ffprobe(carpeta + "/El corto.mpeg").find("video"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Paradas, SyncParadaTest,
    ::testing::Values(Parada{"copiando", "", 3000ms},
                      Parada{"arrancando",
                             R"(, "switches": {"DESCRIBE": {"silence": true, "times": 1}})",
                             1500ms}),
    [](const auto& info) { return std::string(info.param.nombre); });

// A copy queued for the window, read from its file at the start: copied
// while the window is open, kept queued while copies are off.
TEST_F(SyncE2eTest, TheDeferredQueueIsCopiedInsideTheWindowOnly) {
  if (IsSkipped()) return;
  for (const bool sincronizar : {false, true}) {
    std::filesystem::remove_all(root_ + "/copias");
    std::filesystem::create_directories(userDir_ + "/Sincronizacion");
    std::ofstream(userDir_ + "/Sincronizacion/Diferido.xml")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SincDiferido>\n"
           "<Diferido Tipo=\"R\" ID=\"5001\" />\n</SincDiferido>\n";
    Arrancar(0, "",
             std::string("<setting id=\"sincronizar\" value=\"") +
                 (sincronizar ? "true" : "false") +
                 "\" /><setting id=\"inicioventana\" value=\"0.0\" />"
                 "<setting id=\"finalventana\" value=\"24.0\" />");
    ASSERT_FALSE(HasFatalFailure());
    if (sincronizar) {
      EXPECT_TRUE(WaitForUserFile("Sincronizacion/Track.xml", 20s));
    } else {
      std::this_thread::sleep_for(4s);
    }
    EXPECT_EQ(
        HeadendLog().find("DESCRIBE rtsp://vod.quorvina.es:554/cloud/5001") != std::string::npos,
        sincronizar);
    EXPECT_EQ(ReadUserFile("Sincronizacion/Diferido.xml").find("5001") == std::string::npos,
              sincronizar);
    EXPECT_EQ(std::filesystem::exists(carpeta + "/El corto.mpeg"), sincronizar);
    StopHost();
  }
}

// A copy cut by the server, or removed through its timer in the host,
// leaves no file and no history record, and the recording in the cloud.
struct Corte {
  const char* nombre;
  const char* rtsp;  // switches of the video server
  bool borrarTimer;
};

class SyncCorteTest : public SyncE2eTest, public ::testing::WithParamInterface<Corte> {};

TEST_P(SyncCorteTest, AnEndedCopyLeavesNothingBehind) {
  if (IsSkipped()) return;
  const Corte& c = GetParam();
  hostsim::Host& host = Arrancar(60, c.rtsp);
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_EQ(host.callMenuHook(4, "5001").error, PVR_ERROR_NO_ERROR);
  std::this_thread::sleep_for(3s);
  if (c.borrarTimer) {
    bool listado = false;
    for (const auto& t : host.fetchTimers().data.timers)
      listado = listado || (t.clientIndex == 5001 && t.state == 2);
    EXPECT_TRUE(listado);
    // The host's thread only raises the copy's stop.
    const auto antes = Clock::now();
    EXPECT_EQ(host.deleteTimer(5001).error, PVR_ERROR_NO_ERROR);
    EXPECT_LT(Clock::now() - antes, 500ms);
  }
  const auto fin = Clock::now() + 10s;
  while (Clock::now() < fin &&
         ReadUserFile("Sincronizacion/Inmediato.xml").find("5001") != std::string::npos)
    std::this_thread::sleep_for(200ms);
  EXPECT_EQ(ReadUserFile("Sincronizacion/Inmediato.xml").find("5001"), std::string::npos);
  std::this_thread::sleep_for(1s);
  EXPECT_TRUE(std::filesystem::is_empty(carpeta)) << c.nombre;
  EXPECT_EQ(ReadUserFile("Sincronizacion/Track.xml").find("5001"), std::string::npos);
  if (c.borrarTimer) {
    // One whole TEARDOWN of the session the server then tore down.
    const std::string log = HeadendLog();
    const std::string cabeza = R"(> "TEARDOWN rtsp://vod.quorvina.es:554/cloud/5001 RTSP/1.0\r\n)"
                               R"(User-Agent: MICA-IP-STB\r\nSession: )";
    const size_t at = log.find(cabeza);
    ASSERT_NE(at, std::string::npos) << log;
    const std::string cseq = R"(\r\nCSeq: )";
    const size_t fin = log.find(cseq, at + cabeza.size());
    ASSERT_NE(fin, std::string::npos) << log;
    const std::string sesion = log.substr(at + cabeza.size(), fin - at - cabeza.size());
    const size_t cola = log.find(R"(\r\n\r\n")", fin);
    ASSERT_NE(cola, std::string::npos) << log;
    EXPECT_TRUE(std::all_of(log.begin() + fin + cseq.size(), log.begin() + cola, ::isdigit)) << log;
    EXPECT_NE(log.find("session " + sesion + " torn down"), std::string::npos);
  }
  bool nube = false;
  for (const auto& r : host.fetchRecordings().data.recordings)
    nube = nube || (r.recordingId == "5001" && r.streamUrl.empty());
  EXPECT_TRUE(nube) << c.nombre;
}

INSTANTIATE_TEST_SUITE_P(
    Cortes, SyncCorteTest,
    ::testing::Values(Corte{"caida", R"(, "switches": {"PLAY": {"dropAfterSeconds": 2}})", false},
                      Corte{"timer borrado", "", true}),
    [](const auto& info) {
      return std::string(info.param.borrarTimer ? "TimerDeleted" : "ServerDrop");
    });

}  // namespace
}  // namespace e2e
