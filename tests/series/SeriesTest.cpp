// Series rules on their own: the stored files, their damaged forms, and the
// scheduler booking guide entries into a real timer set.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "common/HttpGlobals.h"
#include "common/SettingValues.h"
#include "discovery/Canales.h"
#include "recordings/Recordings.h"
#include "recordings/Temporizadores.h"
#include "series/Series.h"
#include "support/InProcessHost.h"

namespace {

// Channel 1 is SD, channel 2 its HD twin, channel 3 another SD channel.
const char kCanales[] =
    "<Canales>\n<Version VersionOrden=\"1\" VersionCanales=\"1\" paquetes=\"P1\" "
    "demarcacion=\"19\" TipodeBusqueda=\"0\" />\n"
    "<Canal NumeroCanal=\"5\" ID=\"1\" Nombre=\"Uno\" Genero=\"Cine\" ServiceNameOriginal=\"1\" "
    "ServiceType=\"1\" ip=\"239.0.0.1\" puerto=\"8208\" />\n"
    "<Canal NumeroCanal=\"105\" ID=\"2\" Nombre=\"Uno HD\" Genero=\"Cine\" "
    "ServiceNameOriginal=\"1\" ServiceType=\"25\" ip=\"239.0.0.2\" puerto=\"8208\" />\n"
    "<Canal NumeroCanal=\"7\" ID=\"3\" Nombre=\"Tres\" Genero=\"Cine\" ServiceNameOriginal=\"3\" "
    "ServiceType=\"1\" ip=\"239.0.0.3\" puerto=\"8208\" />\n"
    "</Canales>\n";

const char kReglaEsperada[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<serie>\n"
    "<IdStrSerie Value=\"Cuentos    viejos\" />\n<Descripcion Value=\"Cuentos: &amp; viejos\" />\n"
    "<Logo Value=\"/l/c.jpg\" />\n<PlotOutLine Value=\"o\" />\n<Plot Value=\"&lt;p&gt;\" />\n"
    "<TipodeCanal Value=\"1\" />\n<iTipoTemporizador Value=\"2\" />\n"
    "<Logocorrecto Value=\"1\" />\n<Cloud Value=\"0\" />\n<ProgramarGrabaciones Value=\"1\" />\n"
    "<SincroPersonalizado Value=\"1\" />\n<SincroDias Value=\"7\" />\n"
    "<Temporadas>\n<Temporada Value=\"2\" />\n<Temporada Value=\"3\" />\n</Temporadas>\n"
    "</serie>\n";

class SeriesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host.UseStorage();
    ConexionEnNubeActivada = false;
    httpHostQuorvina = "127.0.0.1";  // nothing listens: bookings fail at once
    PuertoHttpQuorvina = 1;
    minutosantes = 5;
    nconcurrentes = 2;
    ntemporizadores = 3;
    host.user().Write("Canales/Canales.xml", kCanales);
    canales =
        std::make_unique<Canales>([](const std::string&, int) { return false; },
                                  [](const std::string&, const std::string&) { return false; });
    grabaciones = std::make_unique<Recordings>(*canales);
    series = std::make_unique<Series>(*canales);
    timers = std::make_unique<Temporizadores>(
        EntornoTemporizador{*canales, nullptr, *grabaciones, series.get()});
    series->Enlazar(nullptr, timers.get(), grabaciones.get());
  }
  void TearDown() override {
    timers.reset();
    series.reset();
    ConexionEnNubeActivada = true;
    httpHostQuorvina = "172.26.22.23";
    PuertoHttpQuorvina = 2001;
  }
  // An episode of `titulo` on `canal`, `desde` seconds from now, one hour.
  void Emision(const std::string& titulo, int canal, int desde, int temporada, int capitulo) {
    host.user().Write("Series/Logos/" + Series::ClaveSerie(titulo) + ".jpg", "jpg");
    EPG_Quorvina e;
    e.iUniqueBroadcastId = static_cast<uint32_t>(1000 * canal + 10 * temporada + capitulo);
    e.strTitle = titulo + " " + ClaveCapitulo(temporada, capitulo);
    e.idCanal = canal;
    e.startTime = time(nullptr) + desde;
    e.endTime = e.startTime + 3600;
    e.iSeriesNumber = temporada;
    e.iEpisodeNumber = capitulo;
    e.tituloSerie = titulo;
    e.cridSerie = "crid://tv.es/55";
    series->ComprobarSerie(e);
  }
  void Programar(const std::string& titulo, int tipo, bool cloud, std::vector<int> temporadas) {
    OpcionesSerie o;
    o.TipodeCanal = tipo;
    o.Cloud = cloud;
    o.Temporadas = std::move(temporadas);
    ASSERT_TRUE(series->ProgramarSerie(Series::ClaveSerie(titulo), o));
  }
  std::set<std::string> Reservados(const std::string& titulo) {
    Serie s;
    EXPECT_TRUE(series->ObtenerSerie(Series::ClaveSerie(titulo), s));
    std::set<std::string> claves;
    for (const auto& kv : s.programados)
      claves.insert(kv.second.strTitle + "@" + std::to_string(kv.second.iClientChannelUid));
    return claves;
  }

  InProcessHost host;
  std::unique_ptr<Canales> canales;
  std::unique_ptr<Recordings> grabaciones;
  std::unique_ptr<Series> series;
  std::unique_ptr<Temporizadores> timers;
};

TEST_F(SeriesTest, RuleAndHistoryFilesAreExactAndReadBack) {
  Serie s;
  s.IdStrSerie = Series::ClaveSerie("Cuentos: & viejos");
  s.Descripcion = "Cuentos: & viejos";
  s.Logo = "/l/c.jpg";
  s.PlotOutLine = "o";
  s.Plot = "<p>";
  s.TipodeCanal = 1;
  s.Logocorrecto = s.ProgramarGrabaciones = s.SincroPersonalizado = true;
  s.SincroDias = 7;
  s.Temporadas = {2, 0, 3};
  EXPECT_EQ(Series::TextoSerie(s), kReglaEsperada);
  host.user().Write("r.xml", kReglaEsperada);
  Serie leida;
  ASSERT_TRUE(Series::LeerSerie(host.user().file("r.xml"), leida));
  EXPECT_EQ(Series::TextoSerie(leida), kReglaEsperada);

  TrackSerie t{"3-12", "Cuentos T3 Cap. 12 - El fin", 2, 3, 12, 4512, 9, 1700000000, 1700003600,
               3600};
  s.trackings[t.IdTrack] = t;
  const std::string historial = Series::TextoTrackings(s);
  EXPECT_EQ(historial,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<serie>\n<Track>\n"
            "<IdTrack Value=\"3-12\" />\n<Descripcion Value=\"Cuentos T3 Cap. 12 - El fin\" />\n"
            "<iChannelNumber Value=\"2\" />\n<iTemporada Value=\"3\" />\n"
            "<iCapitulo Value=\"12\" />\n<iUniqueBroadcastId Value=\"4512\" />\n"
            "<iRecording Value=\"9\" />\n<InicioGrabacion Value=\"1700000000\" />\n"
            "<FinalGrabacion Value=\"1700003600\" />\n<iDuration Value=\"3600\" />\n"
            "</Track>\n</serie>\n");
  host.user().Write("t.xml", historial);
  ASSERT_TRUE(Series::LeerTrackings(host.user().file("t.xml"), leida));
  EXPECT_EQ(Series::TextoTrackings(leida), historial);
}

TEST_F(SeriesTest, DamagedFilesLoadWhatCanBeReadAndAreKeptAside) {
  struct Caso {
    const char* name;
    std::string regla;
    std::string historial;
    std::string apartadoAntes;  // a history kept aside at an earlier start
    bool cargada;
    bool activa;
    std::vector<int> temporadas;
    int tipoTemporizador;
    size_t tracks;
    bool reglaApartada;
    bool historialApartado;
  };
  const std::string cabecera = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<serie>\n";
  const std::string activa = cabecera +
                             "<IdStrSerie Value=\"X\" />\n<ProgramarGrabaciones "
                             "Value=\"1\" />\n<Temporadas>\n<Temporada Value=\"2\" />\n";
  const std::string track =
      "<Track>\n<IdTrack Value=\"1-1\" />\n<iTemporada Value=\"1\" />\n"
      "<iCapitulo Value=\"1\" />\n</Track>\n";
  std::string grande = cabecera + "<IdStrSerie Value=\"X\" />\n";
  while (grande.size() < 10u << 20) grande += "<Otro A=\"1\" />\n";
  const Caso casos[] = {
      {.name = "unreadable rule kept aside", .regla = cabecera + "<IdStrSerie Va"},
      {.name = "rule cut in its seasons: read, paused",
       .regla = activa + "<Tempor",
       .cargada = true,
       .temporadas = {2},
       .tipoTemporizador = 2,
       .reglaApartada = true},
      {.name = "rule cut after its seasons: read, active",
       .regla = activa + "<Temporada Value=\"3\" />\n</Temporadas>\n</se",
       .cargada = true,
       .activa = true,
       .temporadas = {2, 3},
       .tipoTemporizador = 2,
       .reglaApartada = true},
      {.name = "10 MB of unknown elements, cut",
       .regla = grande + "<Ot",
       .cargada = true,
       .tipoTemporizador = 2,
       .reglaApartada = true},
      {.name = "missing fields default",
       .regla = cabecera + "<IdStrSerie Value=\"X\" />\n</serie>\n",
       .cargada = true,
       .tipoTemporizador = 2},
      {.name = "bad seasons dropped, unknown elements ignored",
       .regla =
           cabecera +
           "<IdStrSerie Value=\"X\" /><Otro A=\"1\" />\n<Temporadas><Temporada Value=\"dos\" />"
           "<Temporada Value=\"0\" /><Temporada Value=\"4\" /></Temporadas>\n</serie>\n",
       .cargada = true,
       .temporadas = {4},
       .tipoTemporizador = 2},
      {.name = "unreadable history kept aside",
       .regla = cabecera + "<IdStrSerie Value=\"X\" />\n</serie>\n",
       .historial = cabecera + "<Track><IdTrack Value=\"1-1\"",
       .cargada = true,
       .tipoTemporizador = 2,
       .historialApartado = true},
      {.name = "cut history keeps its whole tracks, an older copy stays",
       .regla = cabecera + "<IdStrSerie Value=\"X\" />\n</serie>\n",
       .historial = cabecera + track + "<Track>\n<IdTr",
       .apartadoAntes = "older",
       .cargada = true,
       .tipoTemporizador = 2,
       .tracks = 1,
       .historialApartado = true},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(host.user().file("Series"));
    host.user().Write("Series/Grabaciones/X.xml", c.regla);
    if (!c.historial.empty()) host.user().Write("Series/Tracking/X.xml", c.historial);
    if (!c.apartadoAntes.empty())
      host.user().Write("Series/Tracking/X.xml.danado", c.apartadoAntes);
    Series cargadas(*canales);
    Serie s;
    ASSERT_EQ(cargadas.ObtenerSerie("X", s), c.cargada);
    if (c.cargada) {
      EXPECT_EQ(s.ProgramarGrabaciones, c.activa);
      EXPECT_EQ(s.Temporadas, c.temporadas);
      EXPECT_EQ(s.iTipoTemporizador, c.tipoTemporizador);
      EXPECT_EQ(s.trackings.size(), c.tracks);
    }
    EXPECT_EQ(std::filesystem::exists(host.user().file("Series/Grabaciones/X.xml.danado")),
              c.reglaApartada || !c.cargada);
    if (c.reglaApartada) {
      EXPECT_EQ(host.user().Read("Series/Grabaciones/X.xml.danado"), c.regla);
    }
    const std::string aparte =
        c.apartadoAntes.empty() ? "Series/Tracking/X.xml.danado" : "Series/Tracking/X.xml.danado.1";
    EXPECT_EQ(std::filesystem::exists(host.user().file(aparte)), c.historialApartado);
    if (c.historialApartado) {
      EXPECT_EQ(host.user().Read(aparte), c.historial);
      EXPECT_EQ(host.user().Read("Series/Tracking/X.xml"), c.historial);
    }
    if (!c.apartadoAntes.empty()) {
      EXPECT_EQ(host.user().Read("Series/Tracking/X.xml.danado"), c.apartadoAntes);
    }
    if (c.historialApartado && c.tracks == 0) {
      // New tracks never replace the unreadable history.
      cargadas.AgnadirTrack("X", TrackSerie{"2-1", "X", 1, 2, 1, 1, 1, 0, 0, 0});
      EXPECT_EQ(host.user().Read("Series/Tracking/X.xml"), c.historial);
    } else if (c.tracks > 0) {
      cargadas.AgnadirTrack("X", TrackSerie{"2-1", "X", 1, 2, 1, 1, 1, 0, 0, 0});
      const std::string nuevo = host.user().Read("Series/Tracking/X.xml");
      EXPECT_NE(nuevo.find("\"1-1\""), std::string::npos) << "the read track is kept";
      EXPECT_NE(nuevo.find("\"2-1\""), std::string::npos);
    }
  }
}

// Titles that can't name a file, and a disk that fills up while a rule is
// saved: logged, and no stored rule is lost.
TEST_F(SeriesTest, TitlesWithoutAFileNameAndAFullDiskNeverCostARule) {
  std::string largo;
  while (largo.size() < 300) largo += "Ñandú ";
  const struct {
    const char* name;
    std::string titulo;
    bool regla;
    const char* log;
  } casos[] = {
      {"only dots", "...", false, "titulo sin nombre de fichero posible: ..."},
      {"300 bytes: cut at a whole character", largo, true, "titulo recortado para su fichero"},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(c.name);
    Emision(c.titulo, 1, 7200, 1, 1);
    const std::string clave = Series::ClaveSerie(c.titulo);
    Serie s;
    EXPECT_EQ(!clave.empty() && series->ObtenerSerie(clave, s), c.regla);
    EXPECT_LE(clave.size(), 200u);
    EXPECT_TRUE(clave.empty() || (static_cast<unsigned char>(clave.back()) & 0xC0) != 0xC0);
    EXPECT_TRUE(host.Logged(c.log));
  }

  Emision("Lleno", 1, 7200, 1, 1);
  Programar("Lleno", 0, false, {2});
  const std::string guardada = host.user().Read("Series/Grabaciones/Lleno.xml");
  ASSERT_NE(guardada.find("<Temporada Value=\"2\" />"), std::string::npos);
  host.host().files().limitFolder(host.user().path(), 0);
  Programar("Lleno", 0, false, {3});
  host.host().files().limitFolder(host.user().path(), -1);
  EXPECT_EQ(host.user().Read("Series/Grabaciones/Lleno.xml"), guardada);
  EXPECT_TRUE(host.Logged("Series: no se pudo escribir"));
}

TEST_F(SeriesTest, SchedulerBooksOnlyTheEpisodesTheRuleAllows) {
  struct Caso {
    const char* name;
    int tipo;
    bool cloud;
    std::vector<int> temporadas;
    std::vector<std::tuple<int, int, int, int>> emisiones;  // channel, from now, season, episode
    std::set<std::string> esperados;
  };
  const Caso casos[] = {
      {.name = "chosen seasons only",
       .temporadas = {2, 3},
       .emisiones = {{1, 7200, 1, 1}, {1, 14400, 2, 1}},
       .esperados = {"A 2-1@1"}},
      {.name = "local needs the margin before its start",
       .emisiones = {{1, 120, 1, 1}, {1, 7200, 1, 2}},
       .esperados = {"A 1-2@1"}},
      {.name = "cloud books until the end",
       .cloud = true,
       .emisiones = {{1, -600, 1, 1}, {1, -7200, 1, 2}},
       .esperados = {"A 1-1@1"}},
      {.name = "HD only",
       .tipo = 1,
       .emisiones = {{1, 7200, 1, 1}, {2, 7200, 1, 1}},
       .esperados = {"A 1-1@2"}},
      {.name = "SD only, one repeat booked once",
       .tipo = 2,
       .emisiones = {{2, 7200, 1, 1}, {1, 9000, 1, 1}, {3, 20000, 1, 1}},
       .esperados = {"A 1-1@1"}},
      {.name = "at most ntemporizadores",
       .emisiones = {{1, 7200, 1, 1}, {1, 14400, 1, 2}, {1, 21600, 1, 3}, {1, 28800, 1, 4}},
       .esperados = {"A 1-1@1", "A 1-2@1", "A 1-3@1"}},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.name);
    TearDown();
    for (const auto& e : std::filesystem::directory_iterator(host.user().path()))
      std::filesystem::remove_all(e.path());
    SetUp();
    for (const auto& [canal, desde, temporada, capitulo] : c.emisiones)
      Emision("A", canal, desde, temporada, capitulo);
    Programar("A", c.tipo, c.cloud, c.temporadas);
    EXPECT_EQ(series->ProgramarSeries(), !c.esperados.empty());
    EXPECT_EQ(Reservados("A"), c.esperados);
    EXPECT_FALSE(series->ProgramarSeries()) << "a second pass books nothing new";
  }
}

TEST_F(SeriesTest, ConcurrencyTracksAndPlaceholders) {
  for (const char* t : {"A", "B", "C", "D"}) Emision(t, 1, 7200, 1, 1);
  Emision("E", 3, 7200, 1, 1);
  Programar("A", 0, false, {});
  Programar("B", 0, false, {});
  Programar("C", 0, false, {});
  Programar("D", 0, true, {});
  Programar("E", 0, false, {});
  // E's only episode is already recorded, on another channel.
  series->AgnadirTrack("E", TrackSerie{"1-1", "E", 1, 1, 1, 1011, 1, 0, 0, 0});
  series->ProgramarSeries();
  EXPECT_EQ(Reservados("A").size(), 1u);
  EXPECT_EQ(Reservados("B").size(), 1u);
  EXPECT_TRUE(Reservados("C").empty()) << "a third local timer at once";
  EXPECT_EQ(Reservados("D").size(), 1u) << "the cloud does not count";
  EXPECT_TRUE(Reservados("E").empty());
  EXPECT_TRUE(std::filesystem::exists(host.user().file("Series/Tracking/E.xml")));

  std::vector<int> placeholders;
  for (const DatosTemporizador& t : timers->GetTimers())
    if (t.iTipoTemporizador == 2) placeholders.push_back(t.iClientIndex);
  EXPECT_EQ(placeholders, (std::vector<int>{90000, 90001, 90002, 90003, 90004}));

  // Paused and deleted rules drop their timers and stay out of later passes.
  series->PausarSerie("A");
  series->EliminarSerie("B", true);
  EXPECT_TRUE(Reservados("A").empty());
  EXPECT_FALSE(std::filesystem::exists(host.user().file("Series/Grabaciones/B.xml")));
  EXPECT_NE(host.user().Read("Series/Grabaciones/A.xml").find("<ProgramarGrabaciones Value=\"0\""),
            std::string::npos);
  series->ProgramarSeries();
  EXPECT_TRUE(Reservados("A").empty());
  EXPECT_TRUE(Reservados("B").empty());
  EXPECT_EQ(Reservados("C").size(), 1u) << "the freed slot goes to the next rule";
}

// A reload of one channel drops that channel's broadcasts that did not come
// again, and nothing of the other channels.
TEST_F(SeriesTest, ChannelReloadKeepsWhatTheGuideStillHas) {
  ntemporizadores = 10;
  Emision("A", 1, 7200, 1, 1);
  Emision("A", 3, 9000, 1, 2);
  Emision("B", 1, 7200, 1, 1);
  series->LimpiarSeriesCanal(1);
  Emision("A", 1, 10800, 1, 3);
  series->LimpiarSeries();
  Serie b;
  EXPECT_FALSE(series->ObtenerSerie("B", b)) << "a guide-made rule left without broadcasts";
  FichaSerie ficha;
  ASSERT_TRUE(series->Ficha("A", ficha));
  std::vector<std::string> claves;
  for (const auto& kv : ficha.programas)
    claves.push_back(kv.second.programa.strTitle + "@" + kv.first.substr(13));
  EXPECT_EQ(claves, (std::vector<std::string>{"A 1-2@3", "A 1-3@1"}));
  Programar("A", 0, false, {});
  series->ProgramarSeries();
  EXPECT_EQ(Reservados("A"), (std::set<std::string>{"A 1-2@3", "A 1-3@1"}));
}

// A guide reload, scheduler passes and a window's deletes at once: every
// rule stays consistent (run under the thread sanitizer in CI).
TEST_F(SeriesTest, GuideReloadPassesAndDeletesAtOnce) {
  ntemporizadores = 1000;
  nconcurrentes = 1000;
  for (int i = 0; i < 20; ++i) Emision("S" + std::to_string(i % 4), 1 + i % 3, 7200 + 60 * i, 1, i);
  for (int i = 0; i < 4; ++i) Programar("S" + std::to_string(i), 0, false, {});
  std::thread guia([this] {
    for (int vuelta = 0; vuelta < 30; ++vuelta) {
      series->LimpiarSeriesCanal(1 + vuelta % 3);
      for (int i = 0; i < 20; ++i)
        Emision("S" + std::to_string(i % 4), 1 + i % 3, 7200 + 60 * i, 1, i);
      series->LimpiarSeries();
    }
  });
  std::thread pasadas([this] {
    for (int vuelta = 0; vuelta < 30; ++vuelta) series->ProgramarSeries();
  });
  for (int vuelta = 0; vuelta < 30; ++vuelta) {
    const std::string id = "S" + std::to_string(vuelta % 4);
    series->EliminarSerie(id, true);
    Programar(id, 0, false, {});
  }
  guia.join();
  pasadas.join();
  series->ProgramarSeries();
  // Each episode booked once, whatever the interleaving.
  std::map<std::string, int> veces;
  for (const DatosTemporizador& t : timers->GetTimers())
    if (t.iTipoTemporizador != 2) ++veces[t.idSerie + ClaveCapitulo(t.iTemporada, t.iCapitulo)];
  for (const auto& kv : veces) EXPECT_EQ(kv.second, 1) << kv.first;
  EXPECT_EQ(veces.size(), 20u);
}

}  // namespace
