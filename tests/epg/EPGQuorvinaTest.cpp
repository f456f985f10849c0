// The guide download: the day table against "mapepg.xml", stale files, and
// one receiver per day to fetch.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "common/DatosConfiguracion.h"
#include "discovery/Canales.h"
#include "epg/EPGQuorvina.h"
#include "support/InProcessHost.h"

namespace {

std::string Record(const std::vector<std::pair<std::string, int>>& days) {
  std::string text = "<ServiceDiscovery><BCGDiscovery><BCG Id=\"EPG\"><TransportMode>";
  int n = 0;
  for (const auto& [first, version] : days) {
    text += "<DVBSTP Address=\"239.0.3." + std::to_string(++n) +
            "\" Port=\"3937\"><PayloadId Id=\"0xF1\"><Segment ID=\"" + first + "\" Version=\"" +
            std::to_string(version) + "\"/></PayloadId></DVBSTP>";
  }
  return text + "</TransportMode></BCG></BCGDiscovery></ServiceDiscovery>";
}

class EPGQuorvinaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host.UseStorage();
    configuracionquorvina = DatosConfiguracion();
    host.user().Write("Canales/Canales.xml",
                      "<Canales>\n<Version VersionOrden=\"1\" VersionCanales=\"1\" paquetes=\"\" "
                      "demarcacion=\"19\" TipodeBusqueda=\"0\" />\n<Canal NumeroCanal=\"1\" "
                      "ID=\"7\" Nombre=\"Siete\" ServiceNameOriginal=\"7\" ServiceType=\"1\" "
                      "ip=\"239.0.0.7\" puerto=\"8208\" />\n</Canales>\n");
    canales =
        std::make_unique<Canales>([](const std::string&, int) { return false; },
                                  [](const std::string&, const std::string&) { return false; });
  }
  void TearDown() override {
    guia.reset();
    canales.reset();
  }
  bool Exists(const std::string& name) const {
    return std::ifstream(host.user().file(name)).good();
  }

  InProcessHost host;
  std::unique_ptr<Canales> canales;
  std::unique_ptr<EPGQuorvina> guia;
};

TEST_F(EPGQuorvinaTest, AnEmptyTableFetchesEveryDayAndStaleFilesGo) {
  for (const char* name : {"EPG/7_0x0001.xml", "EPG/7_0x0900.xml", "EPG/Detalle/7_0x0900.xml",
                           "EPG/Detalle/7_0x0101.xml", "EPG/notas.txt"}) {
    host.user().Write(name, "x");
  }
  guia = std::make_unique<EPGQuorvina>(*canales);
  guia->GenerarEPG(Record({{"0x0001", 1}, {"0x0101", 1}, {"0x0201", 1}}));
  EXPECT_EQ(host.user().Read("EPG/mapepg.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
            "<MapEPG NumeroDia=\"0\" PrimerSegmento=\"0x0001\" Version=\"1\" EstaCargado=\"0\" />"
            "<MapEPG NumeroDia=\"1\" PrimerSegmento=\"0x0101\" Version=\"1\" EstaCargado=\"0\" />"
            "<MapEPG NumeroDia=\"2\" PrimerSegmento=\"0x0201\" Version=\"1\" EstaCargado=\"0\" />");
  EXPECT_EQ(guia->Receptores(), 3u);
  const struct {
    const char* name;
    bool kept;
  } files[] = {{"EPG/7_0x0001.xml", true},
               {"EPG/7_0x0900.xml", false},
               {"EPG/Detalle/7_0x0900.xml", false},
               {"EPG/Detalle/7_0x0101.xml", true},
               {"EPG/notas.txt", true},
               {"EPG/mapepg.xml", true}};
  for (const auto& f : files) EXPECT_EQ(Exists(f.name), f.kept) << f.name;

  // Nothing announced: every day's files go.
  guia->GenerarEPG("<ServiceDiscovery><BCGDiscovery/></ServiceDiscovery>");
  EXPECT_FALSE(Exists("EPG/7_0x0001.xml"));
  EXPECT_EQ(guia->Receptores(), 0u);
}

TEST_F(EPGQuorvinaTest, OnlyDaysWithAnotherVersionAreFetchedAgain) {
  host.user().Write(
      "EPG/mapepg.xml",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
      "<MapEPG NumeroDia=\"0\" PrimerSegmento=\"0x0001\" Version=\"4\" EstaCargado=\"1\" />"
      "<MapEPG NumeroDia=\"1\" PrimerSegmento=\"0x0101\" Version=\"4\" EstaCargado=\"1\" />"
      "<MapEPG NumeroDia=\"2\" PrimerSegmento=\"0x0201\" Version=\"4\" EstaCargado=\"0\" />");
  guia = std::make_unique<EPGQuorvina>(*canales);
  guia->GenerarEPG(Record({{"0x0001", 4}, {"0x0101", 5}, {"0x0201", 4}}));
  const TablaDias dias = guia->Dias();
  EXPECT_TRUE(dias.at("0x0001").EstaCargado);
  EXPECT_FALSE(dias.at("0x0101").EstaCargado);
  EXPECT_FALSE(dias.at("0x0201").EstaCargado);
  EXPECT_EQ(guia->Receptores(), 2u);
}

}  // namespace
