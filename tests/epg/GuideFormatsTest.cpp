// The guide's small formats: crids, durations, ratings, identifiers, start
// times, the genre map, the details reply and cache, and "mapepg.xml".
#include <gtest/gtest.h>

#include "common/Conversions.h"
#include "epg/CacheDetalles.h"
#include "epg/GuideFields.h"
#include "epg/MapEPG.h"
#include "epg/MapaGeneros.h"
#include "support/InProcessHost.h"

namespace {

TEST(GuideFieldsTest, FieldConversions) {
  const struct {
    std::string crid;
    uint32_t id;
  } ids[] = {{"crid://quorvina.es/123456", 123456},
             {"123456", 4294967295u},
             {"/77", 4294967295u},
             {"crid://a/b/", 0},
             {"crid://a/-3", 4294967293u},
             {"crid://a/3000000000", 3000000000u},
             {"crid://a/4294967296", 0}};
  for (const auto& c : ids) EXPECT_EQ(ObtenerID(c.crid), c.id) << c.crid;

  const struct {
    std::string text;
    long long seconds;
  } durations[] = {{"PT1H30M", 5400}, {"PT45M10S", 2710},
                   {"PT2H", 7200},    {"PT", 0},
                   {"PT1H1H", 3600},  {"P1DT2H", 7200},
                   {"PT1X5M", 300},   {"PT99999999999999H", 1000000000LL * 3600}};
  for (const auto& c : durations) EXPECT_EQ(CalcularDuracionSegundos(c.text), c.seconds) << c.text;

  const struct {
    std::string text;
    int rating;
  } ratings[] = {{"Suitable for all audiences", 0},
                 {"No rating available", -1},
                 {"Not recommended for under 18", 18},
                 {"Not recommended for under 13", 13},
                 {"Mayores de edad", 1},
                 {"", 1},
                 {"1 de cada 8", 18}};
  for (const auto& c : ratings) EXPECT_EQ(CalcularCalificacion(c.text), c.rating) << c.text;

  const struct {
    std::string id;
    size_t width;
    std::string normal;
  } normal[] = {{"0x1A", 4, "001a"},
                {"0x0123", 4, "0123"},
                {"0xF1", 0, "f1"},
                {"0x12345", 4, "12345"},
                {"F", 4, "0000"}};
  for (const auto& c : normal) EXPECT_EQ(NormalizarId(c.id, c.width), c.normal) << c.id;
}

TEST(GuideFieldsTest, StartTimesReadAsTheSystemsConversionDoes) {
  // A zone with summer time: guide times are read as standard time all year.
  const char* zone = getenv("TZ");
  const std::string saved = zone != nullptr ? zone : "";
  setenv("TZ", "Europe/Madrid", 1);
  tzset();
  RelojGuia reloj;
  for (const std::string text :
       {"2024-05-01T20:00:00.000Z", "2024-05-01T23:59:59Z", "2024-05-02T00:00:00.000Z",
        "2024-03-31T02:30:00.000Z", "2024-12-31 25:00:00", "2024-05-01", "basura"}) {
    EXPECT_EQ(reloj.Convertir(text), ConvertStringtotime_T(text)) << text;
  }
  EXPECT_EQ(reloj.Convertir("2024-07-01T12:00:00Z"), 1719835200 - 3600);
  if (zone != nullptr) {
    setenv("TZ", saved.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

TEST(GuideFieldsTest, GenreMapKeepsTheFirstOfEachNameAndSkipsABom) {
  InProcessHost host;
  const MapaGeneros mapa = ProcesarMapa(
      "\xEF\xBB\xBF<Generos><Genero Nombre=\"Cine\" Mapa=\"16\"/><Genero Nombre=\"CINE\" "
      "Mapa=\"32\"/><Genero Nombre=\"Música\" Mapa=\"96\"/><Genero Mapa=\"5\"/></Generos>");
  const struct {
    std::string name;
    int code;
  } cases[] = {{"Cine", 16}, {"cine", 16}, {"MÚSICA", 96}, {"Magacín", 256}, {"", 256}};
  for (const auto& c : cases) EXPECT_EQ(ObtenerGenero(mapa, c.name), c.code) << c.name;
  EXPECT_TRUE(host.Logged("genero repetido CINE"));
  EXPECT_TRUE(host.Logged("genero sin nombre"));
  EXPECT_TRUE(ProcesarMapa("<Generos><Genero").empty());
  EXPECT_TRUE(CargarMapa(host.user().file("none.xml")).empty());
}

TEST(GuideFieldsTest, DetailsReplies) {
  InProcessHost host;
  const struct {
    const char* name;
    std::string json;
    bool ok;
    std::string directors, productionDate, description;
  } cases[] = {
      {"array", R"({"resultCode":0,"resultData":{"directors":["A","B"]}})", true, "A, B"},
      {"text code", R"({"resultCode":"0","resultData":{"productionDate":2019}})", true, "", "2019"},
      {"refused", R"({"resultCode":1,"resultData":{"directors":"A"}})", false},
      {"refused text", R"({"resultCode":"01","resultData":{}})", false},
      {"no data", R"({"resultCode":0})", false},
      {"not an object", R"(["resultCode",0])", false},
      {"cut", R"({"resultCode":0,"resultData":{"directors":["A")", false},
      {"mixed array", R"({"resultCode":0,"resultData":{"directors":["A",3,{},"B"]}})", true,
       "A, B"},
      {"escaped breaks", R"({"resultCode":0,"resultData":{"description":"uno\\ndos\ntres"}})", true,
       "", "", "uno\ndos\ntres"},
      {"other types", R"({"resultCode":0,"resultData":{"directors":1.5,"productionDate":true}})",
       true},
  };
  for (const auto& c : cases) {
    DetalleProgramaEPG d;
    EXPECT_EQ(LeerRespuestaDetalle(c.json, d), c.ok) << c.name;
    EXPECT_EQ(d.directors, c.directors) << c.name;
    EXPECT_EQ(d.productionDate, c.productionDate) << c.name;
    EXPECT_EQ(d.description, c.description) << c.name;
  }
  EXPECT_TRUE(host.Logged("la respuesta no es un objeto JSON"));
}

TEST(GuideFieldsTest, DetailsCacheIsWrittenExactlyAndReadBack) {
  MapaDetalles detalles;
  detalles["crid://q/2"].originalTitle = "Dos & \"tres\"";
  detalles["crid://q/2"].description = "a\nb";
  detalles["crid://q/10"].genre = "Cine";
  const std::string expected =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Detalles>\n"
      "<EPG idEPG=\"crid://q/10\">\n<originalTitle></originalTitle>\n"
      "<productionDate></productionDate>\n<countries></countries>\n<genre>Cine</genre>\n"
      "<subgenre></subgenre>\n<directors></directors>\n<mainActors></mainActors>\n"
      "<scriptwriter></scriptwriter>\n<producer></producer>\n<description></description>\n"
      "</EPG>\n<EPG idEPG=\"crid://q/2\">\n<originalTitle>Dos &amp; &quot;tres&quot;"
      "</originalTitle>\n<productionDate></productionDate>\n<countries></countries>\n"
      "<genre></genre>\n<subgenre></subgenre>\n<directors></directors>\n<mainActors>"
      "</mainActors>\n<scriptwriter></scriptwriter>\n<producer></producer>\n"
      "<description>a&#xA;b</description>\n</EPG>\n</Detalles>\n";
  const std::string written = GenerarXMLFicheroDetalle(detalles);
  EXPECT_EQ(written, expected);

  EtiquetasDetalle labels;
  labels.originalTitle = "[T] ";
  labels.genre = "[G] ";
  const MapaDetalles read = LeerFicheroDetalle(written, labels);
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read.at("crid://q/2").originalTitle, "Dos & \"tres\"");
  EXPECT_EQ(read.at("crid://q/2").description, "a\nb");
  EXPECT_EQ(read.at("crid://q/2").plotOutline, "[T] Dos & \"tres\"\n");
  EXPECT_EQ(read.at("crid://q/10").plotOutline, "[G] Cine\n");
  const MapaDetalles old = LeerFicheroDetalle(
      "<Detalles><EPG idEPG=\"x/1\"><PlotOutline>P</PlotOutline><Plot>D</Plot></EPG></Detalles>",
      labels);
  EXPECT_EQ(old.at("x/1").plotOutline, "P");
  EXPECT_EQ(old.at("x/1").description, "D");
}

const char kRecord[] =
    "<ServiceDiscovery><BCGDiscovery>"
    "<BCG Id=\"Otro\"><TransportMode><DVBSTP Address=\"239.9.9.9\" Port=\"1\"><PayloadId "
    "Id=\"0xF1\"><Segment ID=\"0x0900\" Version=\"1\"/></PayloadId></DVBSTP></TransportMode></BCG>"
    "<BCG Id=\"EPG\"><TransportMode>"
    "<DVBSTP Address=\"239.0.3.1\" Port=\"3937\"><PayloadId Id=\"0xF1\"><Segment ID=\"0x0001\" "
    "Version=\"2\"/><Segment ID=\"0x1A\" Version=\"3\"/><Segment ID=\"0x0123\"/></PayloadId>"
    "</DVBSTP>"
    "<DVBSTP Address=\"239.0.3.2\" Port=\"3937\"><PayloadId Id=\"0xF2\"/><PayloadId "
    "Id=\"0xF2\"><Segment ID=\"0x0101\" Version=\"1\"/></PayloadId></DVBSTP>"
    "<DVBSTP Address=\"239.0.3.3\" Port=\"3937\"><PayloadId Id=\"0xF1\"><Segment ID=\"0x0201\" "
    "Version=\"4\"/></PayloadId></DVBSTP>"
    "</TransportMode></BCG></BCGDiscovery></ServiceDiscovery>";

TEST(MapEPGTest, DaysOfTheRecordAndTheirStoredForm) {
  const TablaDias dias = GenerarNuevoMapEPG(kRecord);
  const std::string expected =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
      "<MapEPG NumeroDia=\"0\" PrimerSegmento=\"0x0001\" Version=\"5\" EstaCargado=\"0\" />"
      "<MapEPG NumeroDia=\"1\" PrimerSegmento=\"0x0101\" Version=\"1\" EstaCargado=\"0\" />"
      "<MapEPG NumeroDia=\"2\" PrimerSegmento=\"0x0201\" Version=\"4\" EstaCargado=\"0\" />";
  EXPECT_EQ(EscribirMapEPG(dias), expected);

  const DiaGuia first = SegmentosDia(kRecord, 0);
  EXPECT_EQ(first.address, "239.0.3.1");
  EXPECT_EQ(first.port, 3937);
  EXPECT_EQ(first.segments, (std::vector<std::string>{"0001", "001a", "0123"}));
  EXPECT_TRUE(SegmentosDia(kRecord, 1).segments.empty());  // no payload f1
  EXPECT_TRUE(SegmentosDia(kRecord, 7).segments.empty());

  TablaDias read = LeerMapEPG(
      "<?xml version=\"1.0\"?><MapEPG NumeroDia=\"3\" PrimerSegmento=\"a\" EstaCargado=\"1\" />"
      "<MapEPG NumeroDia=\"4\" PrimerSegmento=\"b\" Version=\"7\" EstaCargado=\"true\" />");
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(std::make_tuple(read["a"].NumeroDia, read["a"].Version, read["a"].EstaCargado),
            std::make_tuple(3, 99, true));
  EXPECT_EQ(std::make_tuple(read["b"].Version, read["b"].EstaCargado), std::make_tuple(7, false));
  EXPECT_EQ(LeerMapEPG("<?xml version=\"1.0\"?><MapEPG PrimerSegmento=\"x\" />").size(), 1u);
  EXPECT_TRUE(LeerMapEPG("").empty());
  EXPECT_TRUE(GenerarNuevoMapEPG("<ServiceDiscovery><BCGDiscovery/></ServiceDiscovery>").empty());
}

}  // namespace
