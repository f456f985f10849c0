// The on-demand client against headend's video and DNS servers: the
// session's requests byte for byte, speeds, the bookmark, the resolver's
// paths, the faults that must fail an open or end a session, and copies.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/Dns.h"
#include "common/SettingValues.h"
#include "live/Rtsp.h"
#include "support/HeadendRunner.h"
#include "support/InProcessHost.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The scenario: assets, names, and the members a case adds to "rtsp"/"dns".
std::string Escenario(const std::string& rtsp = "", const std::string& dns = "") {
  return R"({"rtsp":{"assets":[{"path":"/vod/7200","duration":7200},
    {"path":"/vod/corto","duration":4},{"path":"/vod/hd","duration":600,"clip":"hd",
    "transport":"udp","controlToken":"ab12"}])" +
         (rtsp.empty() ? "" : "," + rtsp) +
         R"(},"dns":{"records":[{"name":"vod.quorvina.es","a":"172.26.24.10"},
    {"name":"cdn.quorvina.es","cname":"edge.cdn.quorvina.es"},
    {"name":"edge.cdn.quorvina.es","cname":"vod.quorvina.es"}])" +
         (dns.empty() ? "" : "," + dns) + "}}";
}

class Servicios : public ServiciosVod {
 public:
  std::string ObtenerMarcador(const std::string&, std::string& productType) override {
    productType = "7";
    return marcador;
  }
  bool GuardarMarcador(const std::string& id, const std::string& posicion,
                       const std::string& productType) override {
    std::lock_guard<std::mutex> lock(mutex);
    guardados.push_back(id + " " + posicion + " " + productType);
    return true;
  }
  bool ElegirContinuar(const std::string& texto) override {
    textos.push_back(texto);
    return true;
  }
  void PararReproductor() override { ++paradas; }
  void PasarALocal(const DatosVod& d, const std::string& fichero, int) override {
    std::lock_guard<std::mutex> lock(mutex);
    locales.push_back(d.strRecordingId + " " + fichero);
  }

  bool DatosCopia(const std::string& id, DatosVod& d, std::string& url) override {
    if (id != copia.strRecordingId) return false;
    d = copia;
    url = urlCopia;
    return true;
  }

  DatosVod copia;
  std::string urlCopia;
  std::string marcador;
  std::vector<std::string> textos;
  std::mutex mutex;
  std::vector<std::string> guardados;
  std::vector<std::string> locales;
  std::atomic<int> paradas{0};
};

std::string Escapado(const std::string& texto) {
  std::string out;
  for (char c : texto) out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
  return out;
}

// Debian's dnsmasq as the operator's DNS server, with a CNAME to an address.
struct Dnsmasq {
  Dnsmasq() {
    if (access("/usr/sbin/dnsmasq", X_OK) == 0 && (pid = fork()) == 0) {
      execl("/usr/sbin/dnsmasq", "dnsmasq", "--keep-in-foreground", "--no-resolv", "--no-hosts",
            "--bind-interfaces", "--listen-address=172.26.23.3", "--user=root", "--group=root",
            "--pid-file=", "--host-record=vod.quorvina.es,172.26.24.10",
            "--cname=cdn.quorvina.es,vod.quorvina.es", static_cast<char*>(nullptr));
      _exit(127);
    }
    // Ready once it answers.
    for (int i = 0; pid > 0 && i < 30 && !ConsultarDns("vod.quorvina.es", "172.26.23.3"); ++i)
      std::this_thread::sleep_for(100ms);
  }
  ~Dnsmasq() {
    if (pid > 0 && kill(pid, SIGTERM) == 0) waitpid(pid, nullptr, 0);
  }
  pid_t pid = -1;
};

class RtspTest : public ::testing::Test {
 protected:
  RtspTest() { host_.UseStorage(); }
  ~RtspTest() override { sesion_.reset(); }

  // Reads packets as the host does until `hasta` holds or the time is up.
  template <typename Cond>
  bool Leer(Cond hasta, std::chrono::milliseconds plazo) {
    const auto fin = Clock::now() + plazo;
    while (Clock::now() < fin) {
      if (hasta()) return true;
      DemuxedPacket p = sesion_->DemuxRead();
      if (p.kind() == DemuxedPacket::Kind::StreamChange) sesion_->GetStreamProperties();
      if (p.kind() == DemuxedPacket::Kind::Data && p.pts && primerPts_ < 0) primerPts_ = *p.pts;
      if (p.kind() == DemuxedPacket::Kind::Data) ++paquetes_;
      if (p.kind() != DemuxedPacket::Kind::Data) std::this_thread::sleep_for(20ms);
    }
    return hasta();
  }
  bool Terminar() {
    sesion_->Cerrar();
    for (int i = 0; i < 100 && sesion_->Running(); ++i) std::this_thread::sleep_for(100ms);
    return !sesion_->Running() && !sesion_->SesionAbierta();
  }

  InProcessHost host_;
  Servicios servicios_;
  std::unique_ptr<rtsp> sesion_ = std::make_unique<rtsp>(servicios_);
  double primerPts_ = -1;
  int paquetes_ = 0;
};

TEST_F(RtspTest, RecordingResumesPausesChangesSpeedAndStoresItsBookmark) {
  HeadendRunner headend(Escenario());
  ASSERT_TRUE(headend.ready());
  servicios_.marcador = "3725";
  DatosVod datos{.strRecordingId = "5001", .strTitle = "Cine", .iDuration = 7200};
  const std::string url = "rtsp://vod.quorvina.es:554/vod/7200";
  ASSERT_TRUE(sesion_->AbrirVod(datos, url));
  EXPECT_EQ(servicios_.textos, std::vector<std::string>{"Continuar desde 1:02:05"});
  std::vector<EPG_Quorvina> guia;
  const auto sumidero = [&](const EPG_Quorvina& e) { guia.push_back(e); };
  sesion_->GetEPGVOD(sumidero);
  ASSERT_EQ(guia.size(), 1u);
  EXPECT_EQ(guia[0].iUniqueBroadcastId, 2u);
  EXPECT_EQ(guia[0].strTitle, "Cine");
  EXPECT_EQ(guia[0].endTime - guia[0].startTime, 7200);
  const time_t primerAncla = guia[0].startTime;
  ASSERT_TRUE(Leer([&] { return paquetes_ > 50 && primerPts_ >= 0; }, 5s));
  EXPECT_NEAR(primerPts_ / 1e6, 3725, 2);
  EXPECT_EQ(sesion_->GetStreamProperties().size(), 2u);

  // A pause moves the programme's start on: the next position report
  // re-anchors the entry, and the old one is cleared.
  sesion_->EstablecerVelocidad(0);
  std::this_thread::sleep_for(2s);
  sesion_->EstablecerVelocidad(1);
  Leer([] { return false; }, 1200ms);
  guia.clear();
  sesion_->GetEPGVOD(sumidero);
  ASSERT_EQ(guia.size(), 2u);
  EXPECT_EQ(guia[0].iUniqueBroadcastId, 1u);
  EXPECT_EQ(guia[0].startTime, primerAncla);
  EXPECT_EQ(guia[0].endTime, 0);
  EXPECT_NEAR(static_cast<double>(guia[1].startTime - primerAncla), 2, 1);

  for (int escala : {0, 1, 2, -2, 1}) {
    sesion_->EstablecerVelocidad(escala);
    if (escala == 2) {
      EXPECT_GT(sesion_->GetPlayingTime(), time(nullptr) - 1);
    }
  }
  Leer([] { return false; }, 1500ms);
  ASSERT_TRUE(Terminar());

  const int puerto = sesion_->PuertoCliente();
  const std::string s = "48213007";
  // The first four requests of the session, numbered from 1.
  for (const std::string& peticion :
       {PeticionOptions(1), PeticionDescribe(url, 2), PeticionSetup(url, 3, puerto),
        PeticionPlay(url, 4, s, "3725", 1)}) {
    EXPECT_EQ(headend.Count("> \"" + Escapado(peticion) + "\""), 1) << Escapado(peticion);
  }
  const std::string log = headend.Log();
  for (const char* texto : {"Range: npt=-end\\r\\nScale: 1.000", "Scale: 2.000", "Scale: -2.000"})
    EXPECT_NE(log.find(texto), std::string::npos) << texto;
  // Whole requests, whatever CSeq each got: two pauses, keep-alives (the
  // first, and one after a PLAY at normal speed that the session thread
  // saw before the next speed change), one teardown.
  struct Entera {
    const char* metodo;
    std::function<std::string(int)> peticion;
    int minimo, maximo;
  };
  const Entera enteras[] = {
      {"PAUSE", [&](int n) { return PeticionPause(url, n, s); }, 2, 2},
      {"GET_PARAMETER", [&](int n) { return PeticionGetParameter(url, n, s); }, 2, 3},
      {"TEARDOWN", [&](int n) { return PeticionTeardown(url, n, s); }, 1, 1},
  };
  for (const Entera& e : enteras) {
    int veces = 0;
    for (int n = 5; n < 40; ++n) veces += headend.Count("> \"" + Escapado(e.peticion(n)) + "\"");
    EXPECT_GE(veces, e.minimo) << e.metodo;
    EXPECT_LE(veces, e.maximo) << e.metodo;
  }
  // Three NAT datagrams before the first PLAY and again after each pause.
  EXPECT_EQ(headend.Count("nat: 3 datagrams to 172.26.24.10:" + std::to_string(puerto) +
                          ", 3 of two zero bytes"),
            3);
  std::lock_guard<std::mutex> lock(servicios_.mutex);
  ASSERT_EQ(servicios_.guardados.size(), 1u);
  EXPECT_EQ(servicios_.guardados[0].substr(0, 7), "5001 37");
  EXPECT_EQ(servicios_.guardados[0].substr(servicios_.guardados[0].size() - 2), " 7");
}

TEST_F(RtspTest, OpensFailCleanlyAndTheNextOpenWorks) {
  struct Caso {
    const char* nombre;
    std::string rtsp, dns;
    std::string url = "rtsp://vod.quorvina.es:554/vod/7200";
    bool abre = false;
    const char* log = "rtsp Error";
    bool dnsmasq = false;
    std::chrono::milliseconds plazo = 8s;  // for the open to fail
  };
  const std::vector<Caso> casos = {
      {.nombre = "404", .rtsp = R"("switches":{"DESCRIBE":{"status":404,"times":1}})"},
      {.nombre = "bare SDP",
       .rtsp = R"("switches":{"DESCRIBE":{"bareSdp":true,"times":1}})",
       .log = "DESCRIBE sin a=control"},
      {.nombre = "wrong CSeq",
       .rtsp = R"("switches":{"SETUP":{"wrongCSeq":true,"times":1}})",
       .log = "sin respuesta a CSeq 3"},
      {.nombre = "silence",
       .rtsp = R"("switches":{"OPTIONS":{"silence":true,"times":1}})",
       .log = "sin respuesta a CSeq 1"},
      // The operator's server gives up after about 400 ms, then the system's
      // resolver is asked.
      {.nombre = "no DNS answer",
       .dns = R"("noAnswer":true,"times":1)",
       .log = "gethostbyname: vod.quorvina.es",
       .plazo = 2s},
      {.nombre = "truncated", .dns = R"("truncated":true,"times":1)", .log = "gethostbyname: vod"},
      {.nombre = "pointer loop",
       .dns = R"("pointerLoop":true,"times":1)",
       .log = "gethostbyname: vod"},
      {.nombre = "split head", .rtsp = R"("switches":{"PLAY":{"splitHead":true}})", .abre = true},
      {.nombre = "CNAME chain", .url = "rtsp://cdn.quorvina.es:554/vod/hd", .abre = true},
      {.nombre = "system resolver", .url = "rtsp://localhost:554/vod/7200", .abre = true},
      {.nombre = "dnsmasq",
       .dns = R"("off":true)",
       .url = "rtsp://cdn.quorvina.es:554/vod/hd",
       .abre = true,
       .dnsmasq = true},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    HeadendRunner headend(Escenario(c.rtsp, c.dns));
    ASSERT_TRUE(headend.ready());
    std::unique_ptr<Dnsmasq> dnsmasq;
    if (c.dnsmasq) dnsmasq = std::make_unique<Dnsmasq>();
    if (c.dnsmasq && dnsmasq->pid <= 0) continue;  // not installed
    DatosVod datos{.strRecordingId = "7", .iDuration = 7200};
    const auto inicio = Clock::now();
    EXPECT_EQ(sesion_->AbrirVod(datos, c.url), c.abre);
    EXPECT_LT(Clock::now() - inicio, c.abre ? 8s : c.plazo);
    if (!c.abre) {
      EXPECT_TRUE(host_.Logged(c.log));
      EXPECT_FALSE(sesion_->SesionAbierta());
      EXPECT_FALSE(sesion_->Running());
      EXPECT_EQ(sesion_->DemuxRead().kind(), DemuxedPacket::Kind::None);
      ASSERT_TRUE(sesion_->AbrirVod(datos, c.url));  // the fault was once
    }
    EXPECT_TRUE(Leer([&] { return paquetes_ > 20; }, 5s));
    EXPECT_TRUE(Terminar());
    paquetes_ = 0;
  }
}

TEST_F(RtspTest, EndsOfStreamStopTheHostAndKeepTheLastPosition) {
  struct Caso {
    const char* nombre;
    std::string rtsp;
    std::string url = "rtsp://vod.quorvina.es:554/vod/7200";
    int desde = 0, hasta = 0;  // the stored position lies there
  };
  const std::vector<Caso> casos = {
      // At the end the bookmark goes back to the start.
      {.nombre = "x-notice at the end", .url = "rtsp://vod.quorvina.es:554/vod/corto"},
      {.nombre = "Notice header",
       .rtsp = R"("noticeHeader":"Notice")",
       .url = "rtsp://vod.quorvina.es:554/vod/corto"},
      {.nombre = "notice in the PLAY answer's segment",
       .rtsp = R"("switches":{"PLAY":{"coalesce":"2101 End-of-Stream Reached"}})",
       .hasta = 2},
      // Without a server to ask, the last position the media reached.
      {.nombre = "dropped connection",
       .rtsp = R"("switches":{"PLAY":{"dropAfterSeconds":2}})",
       .desde = 1,
       .hasta = 3},
      {.nombre = "session timeout", .rtsp = R"("sessionTimeoutSeconds":1)", .hasta = 2},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.nombre);
    HeadendRunner headend(Escenario(c.rtsp));
    ASSERT_TRUE(headend.ready());
    servicios_.paradas = 0;
    servicios_.guardados.clear();
    const int duracion = c.url.find("corto") != std::string::npos ? 4 : 7200;
    ASSERT_TRUE(sesion_->AbrirVod(DatosVod{.strRecordingId = "9", .iDuration = duracion}, c.url));
    EXPECT_TRUE(Leer([&] { return servicios_.paradas > 0; }, 15s));
    EXPECT_TRUE(Terminar());
    std::lock_guard<std::mutex> lock(servicios_.mutex);
    ASSERT_EQ(servicios_.guardados.size(), 1u);
    const int posicion = std::atoi(servicios_.guardados[0].c_str() + 2);
    EXPECT_GE(posicion, c.desde) << servicios_.guardados[0];
    EXPECT_LE(posicion, c.hasta) << servicios_.guardados[0];
  }
}

// What the copy holds, and a copy cut short or stopped, are checked end to
// end with the copies' queue.
TEST_F(RtspTest, ACopyTakesItsFinalNameOnlyAtTheEnd) {
  PathGrabacionSeries = host_.user().file("series");
  DatosVod datos{.strRecordingId = "3003",
                 .strTitle = "El final",
                 .iTemporada = 1,
                 .iCapitulo = 3,
                 .idSerie = "La serie",
                 .iDuration = 4};
  const std::string fichero = rtsp::ObtenerNombreFichero(datos, ".mpeg");
  EXPECT_EQ(fichero, host_.user().file("series/La serie/Temporada 1/01x03 El final.mpeg"));
  servicios_.copia = datos;
  servicios_.urlCopia = "rtsp://vod.quorvina.es:554/vod/corto";
  // Only a cloud recording the library knows is copied.
  EXPECT_FALSE(sesion_->GrabarRecording("3004"));
  EXPECT_TRUE(host_.Logged("GrabarRecording: 3004"));
  {
    HeadendRunner headend(Escenario());
    ASSERT_TRUE(sesion_->GrabarRecording("3003"));
    // Under its final name only at the end.
    EXPECT_FALSE(host_.host().files().exists(fichero.c_str()));
    for (int i = 0; i < 100 && !sesion_->CopiaCompleta(); ++i) std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(sesion_->CopiaCompleta());
    EXPECT_EQ(sesion_->FicheroCopia(), fichero);
    EXPECT_EQ(rtsp::ObtenerNombreFichero(datos, ".mpeg"),
              host_.user().file("series/La serie/Temporada 1/01x03 El final 1.mpeg"));
    EXPECT_EQ(servicios_.locales, std::vector<std::string>{"3003 " + fichero});
  }
}

}  // namespace
