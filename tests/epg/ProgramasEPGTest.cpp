// The guide store: a channel's guide files to entries, the request window,
// genres, ratings, details, damaged files, and the channel a programme is
// answered for when catch-up is on.
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "common/Conversions.h"
#include "common/DatosConfiguracion.h"
#include "common/Globals.h"
#include "common/HttpGlobals.h"
#include "common/SettingValues.h"
#include "discovery/Canales.h"
#include "epg/EPGQuorvina.h"
#include "support/InProcessHost.h"

namespace {

std::string Event(const std::string& crid, const std::string& start, const std::string& duration,
                  const std::string& inner) {
  return "<ScheduleEvent><Program crid=\"" + crid + "\"/><InstanceDescription>" + inner +
         "</InstanceDescription>" +
         (start.empty() ? "" : "<EventStartTime>" + start + "</EventStartTime>") +
         "<EventDuration>" + duration + "</EventDuration></ScheduleEvent>";
}

std::string Guide(const std::string& channel, const std::string& events) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<TVAMain><ProgramDescription>"
         "<ProgramLocationTable><Schedule serviceIDRef=\"" +
         channel + ".tv.es\">" + events +
         "</Schedule></ProgramLocationTable></ProgramDescription></TVAMain>\n";
}

// Channel 1 (SD, number 5) and its HD twin 2, whose guide is channel 1's.
const char kCanales[] =
    "<Canales>\n<Version VersionOrden=\"1\" VersionCanales=\"1\" paquetes=\"P1\" "
    "demarcacion=\"19\" TipodeBusqueda=\"0\" />\n"
    "<Canal NumeroCanal=\"5\" ID=\"1\" Nombre=\"Uno\" Genero=\"Cine\" ServiceNameOriginal=\"1\" "
    "ServiceType=\"1\" ip=\"239.0.0.1\" puerto=\"8208\" />\n"
    "<Canal NumeroCanal=\"105\" ID=\"2\" Nombre=\"Uno HD\" Genero=\"Cine\" "
    "ServiceNameOriginal=\"1\" ServiceType=\"25\" ip=\"239.0.0.2\" puerto=\"8208\" />\n"
    "</Canales>\n";

class ProgramasEPGTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host.UseStorage();
    ModoDebug = true;
    configuracionquorvina = DatosConfiguracion();
    configuracionquorvina.OcultarSustituidos = false;
    IPAdaptador.Set("10.0.0.5");
    host.user().Write("Canales/Canales.xml", kCanales);
    canales =
        std::make_unique<Canales>([](const std::string&, int) { return false; },
                                  [](const std::string&, const std::string&) { return false; });
    t0 = ConvertStringtotime_T("2024-05-01T10:00:00") + 3600;  // the profile's one hour
    host.user().Write(
        "EPG/1_0x0001.xml",
        Guide("1",
              Event("crid://tv.es/100", "2024-05-01T10:00:00.000Z", "PT1H",
                    "<Title>Uno\nDos</Title><Genre><Name>Cine</Name></Genre><ParentalGuidance>"
                    "<R><N>Not recommended for under 18</N></R></ParentalGuidance>"
                    "<ReleaseInformation><ReleaseDate><Season>2</Season><Episode>5</Episode>"
                    "<Year>2019</Year></ReleaseDate></ReleaseInformation>") +
                  Event("777", "2024-05-01T11:00:00.000Z", "PT30M",
                        "<Title>Tres</Title><Genre><Name>Magacín</Name></Genre><ParentalGuidance>"
                        "<R><N>Suitable for all audiences</N></R></ParentalGuidance>") +
                  Event("crid://tv.es/101", "", "PT5M", "<Title>Sin hora</Title>") +
                  Event("crid://tv.es/3000000102", "2024-05-01T11:30:00.000Z", "PT30M",
                        "<Title>Cuatro</Title>")));
  }
  void TearDown() override {
    guia.reset();
    canales.reset();
    ModoDebug = false;
    ultimos7dias = false;
    detalleepg = true;
    configuracionquorvina = DatosConfiguracion();
    IPAdaptador.Clear();
  }
  std::vector<EPG_Quorvina> Load(int channel, time_t start, time_t end) {
    if (!guia) guia = std::make_unique<EPGQuorvina>(*canales);
    std::vector<EPG_Quorvina> list;
    guia->Programas().CargarCanal(static_cast<unsigned int>(channel), start, end, list);
    return list;
  }
  static std::set<uint32_t> Ids(const std::vector<EPG_Quorvina>& list) {
    std::set<uint32_t> ids;
    for (const auto& e : list) ids.insert(e.iUniqueBroadcastId);
    return ids;
  }

  InProcessHost host;
  std::unique_ptr<Canales> canales;
  std::unique_ptr<EPGQuorvina> guia;
  time_t t0 = 0;
};

TEST_F(ProgramasEPGTest, EntriesInTheWindowOnly) {
  const uint32_t none = 4294967295u;
  const struct {
    const char* name;
    time_t start, end;
    std::set<uint32_t> ids;
  } cases[] = {{"one ends at the start", t0 + 5400, t0 + 7200, {none, 3000000102u}},
               {"one starts at the end", t0 - 3600, t0, {100}},
               {"all before", t0 - 3600, t0 - 1, {}},
               {"all after", t0 + 7201, t0 + 9000, {}},
               {"the whole day", 0, t0 + 86400, {100, none, 3000000102u}}};
  for (const auto& c : cases) EXPECT_EQ(Ids(Load(1, c.start, c.end)), c.ids) << c.name;
  EXPECT_TRUE(host.Logged("1 programas sin hora de inicio"));
  EXPECT_TRUE(host.Logged("El genero Magacín no esta mapeado"));
}

TEST_F(ProgramasEPGTest, FieldsOfAnEntry) {
  detalleepg = false;
  const auto list = Load(2, 0, t0 + 86400);  // the HD twin reads channel 1's guide
  ASSERT_EQ(list.size(), 3u);
  const EPG_Quorvina& a = list[0];
  EXPECT_EQ(std::make_tuple(a.strTitle, a.strEpisodeName, a.startTime, a.endTime, a.firstAired),
            std::make_tuple("Uno Dos", "Uno Dos", t0, t0 + 3600, t0));
  EXPECT_EQ(std::make_tuple(a.iGenreType, a.strGenreDescription, a.iParentalRating),
            std::make_tuple(16, "Cine", 18));
  EXPECT_EQ(std::make_tuple(a.iSeriesNumber, a.iEpisodeNumber, a.iEpisodePartNumber),
            std::make_tuple(2, 5, 2019));
  EXPECT_EQ(std::make_tuple(a.iChannelNumber, a.idCanal, a.strPlot), std::make_tuple(105u, 2, ""));
  Canal hd;
  ASSERT_TRUE(canales->ObtenerCanal(2, hd));
  EXPECT_EQ(a.strIconPath, hd.logo);  // no programme images without details
  const EPG_Quorvina& b = list[1];
  EXPECT_EQ(
      std::make_tuple(b.iUniqueBroadcastId, b.iGenreType, b.strGenreDescription, b.iParentalRating),
      std::make_tuple(4294967295u, 256, "Magacín", 0));
  EXPECT_EQ(list[2].iParentalRating, 1);  // no guidance at all
}

TEST_F(ProgramasEPGTest, DetailsGiveThePlotAndTheFullGenre) {
  host.user().Write("EPG/Detalle/1_0x0001.xml",
                    "<Detalles><EPG idEPG=\"crid://tv.es/100\"><originalTitle>One</originalTitle>"
                    "<genre>Cine</genre><subgenre>Comedia</subgenre><description>Texto"
                    "</description></EPG><EPG idEPG=\"777\"><genre>Magacín</genre><subgenre>"
                    "Entretenimiento</subgenre></EPG></Detalles>");
  const auto list = Load(1, 0, t0 + 86400);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].strGenreDescription, "Cine-comedia");
  EXPECT_EQ(list[0].strPlot.substr(0, 12), "[COLOR=blue]");
  EXPECT_NE(list[0].strPlot.find("One\n"), std::string::npos);
  EXPECT_EQ(list[0].strPlot.substr(list[0].strPlot.size() - 7), "\r\nTexto");
  EXPECT_EQ(list[0].strIconPath, "http://10.0.0.5:4243/logoprograma=100;1");
  // Unmapped in the guide, mapped through the details' subgenre.
  EXPECT_EQ(std::make_tuple(list[1].iGenreType, list[1].strGenreDescription, list[1].strPlot),
            std::make_tuple(48, "Magacín-entretenimiento", ""));
  EXPECT_EQ(list[2].iGenreType, 256);
  EXPECT_FALSE(host.Logged("El genero Magacín no esta mapeado"));
}

TEST_F(ProgramasEPGTest, AFileCutShortShowsItsWholeProgrammes) {
  const std::string whole = host.user().Read("EPG/1_0x0001.xml");
  host.user().Write("EPG/1_0x0001.xml", whole.substr(0, whole.find("<Title>Tres")));
  host.user().Write("EPG/1_0x0101.xml", "<TVAMain><ProgramDescription/></TVAMain>");
  host.user().Write("EPG/1_0x0201.xml", "no es xml");
  const auto list = Load(1, 0, t0 + 86400);
  EXPECT_EQ(Ids(list).count(100), 1u);
  EXPECT_TRUE(host.Logged("Fichero de guia incompleto"));
  EXPECT_TRUE(host.Logged("Fichero de guia ilegible"));
}

TEST_F(ProgramasEPGTest, CatchUpAnswersTheHDTwin) {
  ultimos7dias = true;
  Load(1, 0, t0 + 86400);
  EXPECT_EQ(guia->GetProgramaChannelUid(100), 1);
  Load(2, 0, t0 + 86400);
  EXPECT_EQ(guia->GetProgramaChannelUid(100), 2);
  Load(1, 0, t0 + 86400);
  EXPECT_EQ(guia->GetProgramaChannelUid(100), 2);
  EXPECT_EQ(guia->GetProgramaChannelUid(5), -1);
  EXPECT_EQ(guia->GetProgramaChannelUid(3000000102u), 2);  // ids use all 32 bits

  EPG_Quorvina entry;
  EXPECT_TRUE(guia->GetProgramaEPG(1, 3000000102u, entry));
  EXPECT_EQ(std::make_tuple(entry.strTitle, entry.startTime), std::make_tuple("Cuatro", t0 + 5400));
  EXPECT_FALSE(guia->GetProgramaEPG(1, 5, entry));
  EXPECT_FALSE(guia->GetProgramaEPG(9, 100, entry));
}

}  // namespace
