// Copies of cloud recordings: the window on a moved clock, the queue and
// history files, and the thread's steps against a copier that does what the
// case says.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/Globals.h"
#include "common/Paths.h"
#include "common/StorageLayout.h"
#include "series/SyncRecording.h"
#include "support/InProcessHost.h"

namespace {

TEST(VentanaSincronizacionTest, OpensOnTheMachinesClockWhateverTheOffset) {
  struct Caso {
    float inicio, fin;
    int horas, hora, minuto;
    bool dentro;
  };
  const Caso casos[] = {
      {1.30f, 6.00f, 1, 0, 29, false}, {1.30f, 6.00f, 1, 0, 30, true},
      {1.30f, 6.00f, 1, 5, 0, true},   {1.30f, 6.00f, 1, 5, 1, false},
      {0.30f, 6.00f, 1, 23, 30, true}, {0.30f, 6.00f, 1, 23, 29, false},
      {23.0f, 6.00f, 0, 1, 0, true},   {23.0f, 6.00f, 0, 12, 0, false},
      {0.0f, 24.0f, 1, 12, 0, true},   {0.0f, 24.0f, 1, 23, 59, true},
      {2.00f, 2.00f, 0, 2, 0, false},  {22.45f, 22.45f, 3, 19, 45, false},
  };
  for (const Caso& c : casos) {
    const VentanaSincronizacion v(c.inicio, c.fin, c.horas);
    EXPECT_EQ(v.Contiene(c.hora, c.minuto), c.dentro)
        << c.inicio << "-" << c.fin << " +" << c.horas << " at " << c.hora << ":" << c.minuto;
  }
  EXPECT_EQ(VentanaSincronizacion(0.30f, 6.0f, 1).HoraInicio(), 23);
  EXPECT_TRUE(VentanaSincronizacion(4.0f, 4.0f, 1).Vacia());
}

TEST(SincronizacionFicherosTest, WritesExactBytesAndReadsWhatItCan) {
  ColaSincronizacion cola{{"12", {"R", "12"}}, {"7", {"R", "7"}}};
  EXPECT_EQ(GenerarXMLCola(cola, kColaInmediata),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SincInmediado>\n"
            "<Inmediado Tipo=\"R\" ID=\"12\" />\n<Inmediado Tipo=\"R\" ID=\"7\" />\n"
            "</SincInmediado>\n");
  HistorialSincronizacion historial{{0, {"R", "5", "A & \"B\"", 3, "", "", 0, 0, 60, 100, 200}}};
  const std::string track = GenerarXMLHistorial(historial);
  EXPECT_EQ(track,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<TrackSincronizacion>\n"
            "<Track Tipo=\"R\" ID=\"5\" strTitulo=\"A &amp; &quot;B&quot;\" IDCanal=\"3\" "
            "idSerie=\"\" DescripcionSerie=\"\" Temporada=\"0\" Capitulo=\"0\" Duracion=\"60\" "
            "InicioSincro=\"100\" FinalSincro=\"200\" />\n</TrackSincronizacion>\n");
  EXPECT_EQ(LeerXMLHistorial(track, "Track.xml").at(0).strTitulo, "A & \"B\"");

  std::string diez = "<SincDiferido>\n";
  for (int i = 0; i < 10000; ++i)
    diez += "<Diferido Tipo=\"R\" ID=\"" + std::to_string(i) + "\" />\n";
  struct Caso {
    const char* nombre;
    std::string texto;
    size_t entradas;
    bool registrado;
  };
  const std::string completo = GenerarXMLCola(cola, kColaDiferida);
  const Caso casos[] = {
      {"entero", completo, 2, false},
      {"cortado", completo.substr(0, completo.find("ID=\"7\"") + 4), 1, true},
      {"tipo y ID",
       "<SincDiferido><Diferido Tipo=\"X\" ID=\"1\"/><Diferido Tipo=\"R\"/>"
       "<Diferido Tipo=\"R\" ID=\"2\"/><Diferido Tipo=\"R\" ID=\"2\"/></SincDiferido>",
       1, true},
      {"diez mil", diez + "</SincDiferido>\n", 10000, false},
      {"basura", std::string("\x01<<\"\0", 5), 0, true},
  };
  for (const Caso& c : casos) {
    InProcessHost host;
    EXPECT_EQ(LeerXMLCola(c.texto, kColaDiferida, "Diferido.xml").size(), c.entradas) << c.nombre;
    EXPECT_EQ(host.Logged("Diferido.xml"), c.registrado) << c.nombre;
  }
}

class CopiadorFalso : public CopiadorSinc {
 public:
  bool Iniciar(const std::string& id) override {
    iniciados.push_back(id);
    enCurso = aceptar;
    return aceptar;
  }
  bool EnCurso() override { return enCurso; }
  bool Completa() override { return completa; }
  void PedirParada() override { ++pedidas; }
  void Parar() override {
    ++paradas;
    enCurso = false;
  }
  std::vector<std::string> iniciados;
  bool aceptar = true, enCurso = false, completa = false;
  int paradas = 0, pedidas = 0;
};

class SyncRecordingTest : public ::testing::Test {
 protected:
  SyncRecordingTest() {
    host_.UseStorage();
    tm mediodia{};
    mediodia.tm_year = 126;
    mediodia.tm_mon = 5;
    mediodia.tm_mday = 10;
    mediodia.tm_hour = 12;
    mediodia.tm_isdst = -1;
    ahora_ = mktime(&mediodia);
    // Cloud recordings 31 and 10 days old, and a series episode 3 days old.
    Nube("100", 31, "");
    Nube("200", 10, "");
    Nube("300", 3, "Serie");
    Nube("2147483648", 40, "");  // an id no timer can carry
    Nube("0", 40, "");
  }
  void Nube(const std::string& id, int dias, const std::string& serie) {
    GrabacionNube g;
    g.id = id;
    g.titulo = "Titulo " + id;
    g.recordingTime = ahora_ - dias * 86400 - 3600;
    g.duracion = 20;
    g.idSerie = serie;
    g.Cloud = true;
    nube_[id] = g;
  }
  std::unique_ptr<SyncRecording> Crear(AjustesSincronizacion a) {
    auto copiador = std::make_unique<CopiadorFalso>();
    copiador_ = copiador.get();
    AccesoGrabaciones acceso{[this] { return nube_; },
                             [this](const std::string& id, GrabacionNube& g) {
                               auto it = nube_.find(id);
                               if (it == nube_.end()) return false;
                               g = it->second;
                               return true;
                             },
                             nullptr};
    return std::make_unique<SyncRecording>(a, acceso, std::move(copiador),
                                           [this] { return ahora_; });
  }
  static AjustesSincronizacion Ajustes(bool sincronizar, float inicio, float fin) {
    AjustesSincronizacion a;
    a.sincronizar = sincronizar;
    a.inicioventana = inicio;
    a.finalventana = fin;
    a.registroshistorial = 2;
    return a;
  }
  // One turn of the thread, the copy ending as `completa` says.
  void Vuelta(SyncRecording& s, bool termina = true, bool completa = true) {
    s.Paso();
    if (termina) {
      copiador_->completa = completa;
      copiador_->enCurso = false;
    }
    s.Revisar();
  }
  std::string Fichero(const char* nombre) {
    std::ifstream in(PathCombine(PathSincronizacion, nombre));
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  InProcessHost host_;
  time_t ahora_ = 0;
  std::map<std::string, GrabacionNube> nube_;
  CopiadorFalso* copiador_ = nullptr;
};

TEST_F(SyncRecordingTest, AutomaticCopiesTakeRecordingsDueInsideTheWindowOnly) {
  struct Caso {
    const char* nombre;
    bool sincronizar;
    float inicio, fin;
    bool regla;
    std::vector<std::string> copiados;
  };
  const Caso casos[] = {
      {"31 dias", true, 11.0f, 13.0f, false, {"100"}},
      {"regla de 2 dias", true, 11.0f, 13.0f, true, {"100", "300"}},
      {"fuera de la ventana", true, 13.0f, 14.0f, false, {}},
      {"ventana vacia", true, 12.0f, 12.0f, false, {}},
      {"apagado", false, 0.0f, 24.0f, false, {}},
  };
  for (const Caso& c : casos) {
    auto sync = Crear(Ajustes(c.sincronizar, c.inicio, c.fin));
    if (c.regla) {
      sync->FijarReglaSerie([](const std::string& id, Serie& s) {
        s.SincroPersonalizado = true;
        s.SincroDias = 2;
        return id == "Serie";
      });
    }
    for (int i = 0; i < 6; ++i) {
      Vuelta(*sync);
      // A finished copy is a local recording of the library.
      for (const auto& id : copiador_->iniciados) nube_[id].Cloud = false;
    }
    EXPECT_EQ(copiador_->iniciados, c.copiados) << c.nombre;
    for (auto& kv : nube_) kv.second.Cloud = true;
  }
}

TEST_F(SyncRecordingTest, AnInterruptedCopyLeavesNoRecordAndIsQueuedAgainAnHourLater) {
  auto sync = Crear(Ajustes(true, 11.0f, 13.0f));
  Vuelta(*sync, false);  // the check queues 100
  Vuelta(*sync, true, false);
  EXPECT_EQ(copiador_->iniciados, std::vector<std::string>{"100"});
  EXPECT_TRUE(sync->ObtenerSincInmediado().empty());
  EXPECT_TRUE(sync->ObtenerTrackSincronizacion().empty());
  EXPECT_EQ(sync->ProximaComprobacion(), ahora_ + SyncRecording::kEspera);
  Vuelta(*sync);
  EXPECT_EQ(copiador_->iniciados.size(), 1u);
  ahora_ += SyncRecording::kEspera;  // 13:00, the window's last minute
  Vuelta(*sync, false);
  EXPECT_EQ(sync->EstadoRecording("100"), 2);
}

TEST_F(SyncRecordingTest, ImmediateCopiesRunInAnEmptyWindowAndFillTheFiles) {
  auto sync = Crear(Ajustes(true, 5.0f, 5.0f));
  // Not a number, not in the cloud, beyond a timer's index.
  for (const char* id : {"abc", "999", "0", "2147483648"}) {
    EXPECT_FALSE(sync->AgnadirRecordingInmediato(id, "R")) << id;
    EXPECT_TRUE(host_.Logged(std::string("no se sincroniza '") + id + "'")) << id;
  }
  ASSERT_TRUE(sync->AgnadirRecordingInmediato("200", "R"));
  ASSERT_TRUE(sync->AgnadirRecordingDiferido("300", "R"));
  EXPECT_EQ(Fichero("Inmediato.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SincInmediado>\n"
            "<Inmediado Tipo=\"R\" ID=\"200\" />\n</SincInmediado>\n");
  EXPECT_EQ(sync->EstadoRecording("200"), 2);
  sync->Paso();
  EXPECT_EQ(sync->EstadoRecording("200"), 1);
  EXPECT_EQ(sync->EstadoRecording("100"), 0);
  const auto timers = sync->Temporizador();
  ASSERT_EQ(timers.size(), 2u);
  EXPECT_EQ(timers[0].id, "200");
  EXPECT_EQ(timers[0].estado, 2);
  EXPECT_EQ(timers[1].estado, 1);
  copiador_->completa = true;
  copiador_->enCurso = false;
  sync->Revisar();
  const auto primero = sync->ObtenerTrackSincronizacion();
  ASSERT_EQ(primero.size(), 1u);
  EXPECT_EQ(primero.begin()->second.strTitulo, "Titulo 200");
  EXPECT_NE(Fichero("Track.xml").find("ID=\"200\" strTitulo=\"Titulo 200\""), std::string::npos);
  // Well-formed XML for any reader, not only ours.
  for (const char* f : {"Inmediato.xml", "Diferido.xml", "Track.xml"}) {
    EXPECT_EQ(std::system(("xmllint --noout '" + PathCombine(PathSincronizacion, f) + "'").c_str()),
              0)
        << f;
  }
  // The deferred one waits for a window that never opens; the history keeps
  // the newest two.
  for (const char* id : {"100", "200", "100"}) {
    ASSERT_TRUE(sync->AgnadirRecordingInmediato(id, "R"));
    Vuelta(*sync);
  }
  const auto historial = sync->ObtenerTrackSincronizacion();
  ASSERT_EQ(historial.size(), 2u);
  EXPECT_EQ(historial.rbegin()->second.ID, "100");
  EXPECT_EQ(sync->EstadoRecording("300"), 2);
  // Removing the running copy only raises its stop; the thread's next turn
  // waits for it before any other copy starts. The restart reads the queue.
  ASSERT_TRUE(sync->AgnadirRecordingInmediato("100", "R"));
  sync->Paso();
  ASSERT_TRUE(sync->AgnadirRecordingInmediato("200", "R"));
  EXPECT_TRUE(sync->EliminarGrabacion("100"));
  EXPECT_EQ(copiador_->pedidas, 1);
  EXPECT_EQ(copiador_->paradas, 0);
  sync->Paso();
  EXPECT_EQ(copiador_->paradas, 1);
  EXPECT_EQ(copiador_->iniciados.back(), "200");
  EXPECT_FALSE(sync->EliminarGrabacion("100"));
  sync.reset();
  EXPECT_EQ(Crear(Ajustes(true, 5.0f, 5.0f))->EstadoRecording("300"), 2);
}

TEST_F(SyncRecordingTest, LoadingCapsTheFilesAndKeepsTheNewestRecords) {
  HistorialSincronizacion historial;
  for (int i = 0; i < 5; ++i) historial[i] = {"R", std::to_string(i)};
  std::ofstream(PathCombine(PathSincronizacion, "Track.xml")) << GenerarXMLHistorial(historial);
  // The second entry lies beyond the most that is read.
  std::ofstream(PathCombine(PathSincronizacion, "Inmediato.xml"))
      << "<SincInmediado>\n<Inmediado Tipo=\"R\" ID=\"200\" />\n<!--"
      << std::string(SyncRecording::kMaxFichero, ' ') << "-->\n<Inmediado Tipo=\"R\" ID=\"100\" />";
  auto sync = Crear(Ajustes(false, 0.0f, 24.0f));
  const auto cargado = sync->ObtenerTrackSincronizacion();
  ASSERT_EQ(cargado.size(), 2u);
  EXPECT_EQ(cargado.begin()->second.ID, "3");
  EXPECT_EQ(sync->EstadoRecording("200"), 2);
  EXPECT_EQ(sync->EstadoRecording("100"), 0);
  EXPECT_TRUE(host_.Logged("Inmediato.xml supera"));
}

TEST_F(SyncRecordingTest, ACopyEndedWhileStoppingIsRecordedOnlyWhenWhole) {
  struct Caso {
    const char* nombre;
    bool completa;
    size_t registros;
    int estado;  // of the copy once checked
  };
  const Caso casos[] = {{"entera", true, 1, 0}, {"cortada", false, 0, 1}};
  for (const Caso& c : casos) {
    auto sync = Crear(Ajustes(false, 0.0f, 24.0f));
    ASSERT_TRUE(sync->AgnadirRecordingInmediato("200", "R"));
    sync->Paso();
    PararProceso = true;
    copiador_->completa = c.completa;
    copiador_->enCurso = false;
    sync->Revisar();
    PararProceso = false;
    EXPECT_EQ(sync->ObtenerTrackSincronizacion().size(), c.registros) << c.nombre;
    EXPECT_EQ(sync->EstadoRecording("200"), c.estado) << c.nombre;
    sync.reset();
    std::remove(PathCombine(PathSincronizacion, "Track.xml").c_str());
  }
}

}  // namespace
