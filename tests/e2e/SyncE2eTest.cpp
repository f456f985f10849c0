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
#include <vector>

#include "E2eFixture.h"
#include "gui/GuiScript.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

constexpr const char* kCorto =
    R"({"id": 5001, "service": "1001", "name": "El corto", "begin": -10800, "end": -3600})";

// Finished cloud recordings; `segundos` > 0 gives 5001's stream that length
// in real time, else the server's own (20 s sent at 4 x); `rtsp` adds
// members (switches) to the video server.
std::string Nube(int segundos, const std::string& rtsp, const std::string& grabaciones) {
  const std::string assets = segundos > 0 ? R"("assets": [{"path": "/cloud/5001", "duration": )" +
                                                std::to_string(segundos) + "}]"
                                          : R"("assets": [])";
  return R"({
  "cloud": {"rtspBase": "rtsp://vod.quorvina.es:554/", "recordings": [)" +
         grabaciones + R"(]},
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
                          const std::string& ajustes = "",
                          const std::string& grabaciones = kCorto) {
    std::filesystem::create_directories(carpeta = root_ + "/copias");
    std::filesystem::create_directories(userDir_);
    std::ofstream(userDir_ + "/settings.xml") << "<settings><setting id=\"recordfolder\" value=\""
                                              << carpeta << "/\" />" << ajustes << "</settings>";
    StartHeadend(Scenario(Nube(segundos, rtsp, grabaciones)));
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
  // Counted from the first DESCRIBE: on a loaded machine the copy may start
  // late, and a stop before it would leave the server's one silence to the
  // restart.
  for (const auto fin = Clock::now() + 10s;
       HeadendLog().find(R"(> "DESCRIBE )") == std::string::npos && Clock::now() < fin;)
    std::this_thread::sleep_for(100ms);
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

// Copies the server answers badly, one after another in one queue: each
// fails with log lines, leaves no file, no history record and the recording
// in the cloud, and leaves the queue; the next one runs, and the last copies
// whole, with the very bytes the server sent.
struct CopiaFallida {
  const char* id;
  const char* titulo;
  const char* causa;  // the add-on's log lines about it
  const char* fin;
};

TEST_F(SyncE2eTest, BadAnswersAndAFullDiskFailOneCopyAndTheNextRuns) {
  if (IsSkipped()) return;
  const char* const kNoInicia = "no se ha podido iniciar la copia de ";
  const char* const kCortada = "copia interrumpida de ";
  const CopiaFallida fallidas[] = {
      {"5001", "Otro estado", "RTSP/1.0 503", kNoInicia},            // OPTIONS
      {"5002", "Cabecera larga", "respuesta no valida", kNoInicia},  // DESCRIBE
      {"5003", "Sin play", "sin respuesta a CSeq", kNoInicia},       // PLAY
      {"5004", "Ruido", "notificacion no valida", kCortada},         // after GET_PARAMETER's answer
      {"5005", "Disco lleno", "Disco: error de escritura", kCortada},
  };
  const auto entrada = [](const std::string& id, const std::string& titulo) {
    return R"({"id": )" + id + R"(, "service": "1001", "name": ")" + titulo +
           R"(", "begin": -10800, "end": -3600, "mediaSeconds": 8})";
  };
  std::string lista;
  for (const CopiaFallida& f : fallidas) lista += entrada(f.id, f.titulo) + ",";
  hostsim::Host& host = Arrancar(0, R"(, "switches": {"OPTIONS": {"status": 503, "times": 1},
    "DESCRIBE": {"headBytes": 1600, "times": 1}, "PLAY": {"silence": true, "times": 1},
    "GET_PARAMETER": {"noise": 2000, "times": 1}})",
                                 "", lista + entrada("5006", "Entera"));
  ASSERT_FALSE(HasFatalFailure());
  for (const char* id : {"5001", "5002", "5003", "5004", "5005", "5006"})
    ASSERT_EQ(host.callMenuHook(4, id).error, PVR_ERROR_NO_ERROR);
  // The disk is full for the copy after the noise only: a copy starts at
  // least a second after the one before has ended.
  ASSERT_TRUE(host.journal().waitFor(hostsim::EntryKind::Log, "copia incompleta de 5004", 40s));
  host.files().limitFolder(carpeta, 1 << 20);
  ASSERT_TRUE(host.journal().waitFor(hostsim::EntryKind::Log, "copia incompleta de 5005", 15s));
  host.files().limitFolder(carpeta, -1);

  ASSERT_TRUE(WaitForUserFile("Sincronizacion/Track.xml", 20s));
  const std::string track = ReadUserFile("Sincronizacion/Track.xml");
  EXPECT_NE(track.find("ID=\"5006\""), std::string::npos) << track;
  EXPECT_EQ(ReadUserFile("Sincronizacion/Inmediato.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SincInmediado>\n</SincInmediado>\n");
  std::vector<std::string> ficheros;
  for (const auto& e : std::filesystem::directory_iterator(carpeta))
    ficheros.push_back(e.path().filename().string());
  EXPECT_EQ(ficheros, std::vector<std::string>{"Entera.mpeg"});
  const std::string log = HeadendLog();
  const size_t suma = log.rfind(" TS bytes, sha256 ");
  ASSERT_NE(suma, std::string::npos) << log;
  EXPECT_EQ(Salida("sha256sum '" + carpeta + "/Entera.mpeg'").substr(0, 64),
            log.substr(suma + std::strlen(" TS bytes, sha256 "), 64));
  const auto grabaciones = host.fetchRecordings().data.recordings;
  for (const CopiaFallida& f : fallidas) {
    SCOPED_TRACE(f.titulo);
    EXPECT_TRUE(host.journal().contains(hostsim::EntryKind::Log, f.causa));
    EXPECT_TRUE(host.journal().contains(hostsim::EntryKind::Log, std::string(f.fin) + f.id));
    EXPECT_EQ(track.find(std::string("ID=\"") + f.id + "\""), std::string::npos);
    EXPECT_EQ(log.find(std::string("delRecording&extInfoID=") + f.id), std::string::npos);
    bool nube = false;
    for (const auto& r : grabaciones) nube = nube || (r.recordingId == f.id && r.streamUrl.empty());
    EXPECT_TRUE(nube);
  }
}

// One row of the copies window, as the host closed it; an expected
// "Antiguedad" ending in a space is the start of the text.
struct Fila {
  const char* titulo;
  const char* programado;
  const char* grabando;
  std::string antiguedad;
};

void ComprobarFilas(const hostsim::WindowRecord& w, const std::vector<Fila>& filas) {
  ASSERT_EQ(w.items.size(), filas.size());
  for (size_t i = 0; i < filas.size(); ++i) {
    SCOPED_TRACE(filas[i].titulo);
    auto p = w.items[i].properties;
    EXPECT_EQ(p["Titulo"], filas[i].titulo);
    EXPECT_EQ(p["Programado"], filas[i].programado);
    EXPECT_EQ(p["Grabando"], filas[i].grabando);
    const std::string& a = filas[i].antiguedad;
    EXPECT_EQ(a.empty() || a.back() != ' ' ? p["Antiguedad"] : p["Antiguedad"].substr(0, a.size()),
              a);
  }
}

// The window of the copies, as the user works it: screen 0 while a copy
// runs, the third of three queued copies removed on screen 1, and the
// history on screen 2, a record of a deleted recording among them.
TEST_F(SyncE2eTest, TheCopiesWindowShowsTheRunningCopyTheQueueAndTheHistory) {
  if (IsSkipped()) return;
  std::filesystem::create_directories(userDir_ + "/Sincronizacion");
  std::ofstream(userDir_ + "/Sincronizacion/Track.xml")
      << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<TrackSincronizacion>\n"
         "<Track Tipo=\"R\" ID=\"4999\" strTitulo=\"Borrada\" IDCanal=\"1001\" idSerie=\"\" "
         "DescripcionSerie=\"\" Temporada=\"0\" Capitulo=\"0\" Duracion=\"60\" "
         "InicioSincro=\"1780000000\" FinalSincro=\"1780000060\" />\n</TrackSincronizacion>\n";
  // 5001 is 3 days and 5 hours old and takes 12 s to copy.
  hostsim::Host& host = Arrancar(12, "", "", R"(
    {"id": 5001, "service": "1001", "name": "Vieja", "begin": -277200, "end": -275400},
    {"id": 5002, "service": "1001", "name": "Segunda", "begin": -10800, "end": -3600},
    {"id": 5003, "service": "1001", "name": "Tercera", "begin": -10800, "end": -3600},
    {"id": 5004, "service": "1001", "name": "Cuarta", "begin": -10800, "end": -3600})");
  ASSERT_FALSE(HasFatalFailure());
  hostsim::GuiScript script;
  ASSERT_TRUE(script
                  .parse("in Sincronizaciones.xml select 0 then action 117 then select 3\n"
                         "  then action 117 then back\n"
                         "in DialogContext1Boton.xml back\n"
                         "in DialogContext2Botones.xml click 1006\n"
                         "in Sincronizaciones.xml focus 32 then click 32 then select 2\n"
                         "  then action 117 then action 100\n"
                         "in DialogContext1Boton.xml click 1005\n"
                         "in Sincronizaciones.xml focus 33 then click 33 then back\n"
                         "every DialogSI.xml back\n")
                  .ok);
  host.gui().loadScript(script);
  for (const char* id : {"5001", "5002", "5003"})
    ASSERT_EQ(host.callMenuHook(4, id).error, PVR_ERROR_NO_ERROR);
  bool copiando = false;
  for (const auto fin = Clock::now() + 8s; !copiando && Clock::now() < fin;) {
    std::this_thread::sleep_for(250ms);
    for (const auto& t : host.fetchTimers().data.timers)
      copiando = copiando || (t.clientIndex == 5001 && t.state == 2);
  }
  ASSERT_TRUE(copiando);
  const auto abrir = [&](size_t veces) {
    host.callMenuHook(2, "");
    EXPECT_TRUE(host.gui().waitForClosed("Sincronizaciones.xml", veces, 10s));
    const auto cerradas = host.gui().closedWindows("Sincronizaciones.xml");
    return cerradas.size() == veces ? cerradas.back() : hostsim::WindowRecord();
  };

  // Screen 0: the running copy offers its removal only; one not queued is
  // queued for the night.
  ComprobarFilas(abrir(1), {{"Vieja", "false", "true", "3 días desde la grabación."},
                            {"Segunda", "true", "false", "0 días desde la grabación."},
                            {"Tercera", "true", "false", "0 días desde la grabación."},
                            {"Cuarta", "true", "false", "0 días desde la grabación."}});
  const auto eleccion = host.gui().closedWindows("DialogContext1Boton.xml");
  ASSERT_EQ(eleccion.size(), 1u);
  EXPECT_EQ(eleccion[0].label(1005), "Eliminar sincronización");
  const auto nueva = host.gui().closedWindows("DialogContext2Botones.xml");
  ASSERT_EQ(nueva.size(), 1u);
  EXPECT_EQ(nueva[0].label(1006), "Añadir a la cola");
  EXPECT_NE(ReadUserFile("Sincronizacion/Diferido.xml").find("\"5004\""), std::string::npos);

  // Screen 1: the third of three removed, the second one selected.
  const hostsim::WindowRecord cola = abrir(2);
  ComprobarFilas(cola,
                 {{"Vieja", "false", "true", "3 días "},
                  {"Segunda", "true", "false", "0 días desde la grabación. Grabación inmediata."},
                  {"Cuarta", "true", "false", "0 días desde la grabación. Grabación en cola."}});
  EXPECT_EQ(cola.listPosition, 1);
  EXPECT_EQ(ReadUserFile("Sincronizacion/Inmediato.xml").find("5003"), std::string::npos);

  // Screen 2, once the copy has ended: its record, and the deleted one's.
  for (const auto fin = Clock::now() + 20s;
       ReadUserFile("Sincronizacion/Track.xml").find("5001") == std::string::npos &&
       Clock::now() < fin;)
    std::this_thread::sleep_for(250ms);
  const hostsim::WindowRecord historial = abrir(3);
  ComprobarFilas(historial, {{"Grabación eliminada.", "false", "false", ""},
                             {"Vieja", "false", "false", "Grabado el "}});
  EXPECT_TRUE(!historial.items.empty() && historial.items[0].icon.empty());
}

}  // namespace
}  // namespace e2e
