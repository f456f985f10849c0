// Reading the line-up's stored files, and the logo of each channel.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "common/Globals.h"
#include "discovery/CanalesFiles.h"
#include "discovery/LogoResolver.h"
#include "support/InProcessHost.h"

namespace {

class CanalesFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ModoDebug = true;
    host.user().Write("client/Logos/597.jpg", "default");
    host.user().Write("client/Logos/3.png", "shipped");
    host.user().Write("logos/2.png", "kept");
  }
  void TearDown() override { ModoDebug = false; }
  std::string File(const std::string& name, const std::string& text) {
    host.user().Write(name, text);
    return host.user().file(name);
  }
  // Downloads succeed for the values in `served`; every request is kept.
  LogoResolver Logos(std::vector<std::string> served = {}) {
    const auto download = [this, served](const std::string& path, const std::string& file) {
      requests.push_back(path);
      for (const std::string& value : served) {
        if (LogoResolver::httpBaseLogos + value == path) return bool(std::ofstream(file) << "png");
      }
      return false;
    };
    return LogoResolver(host.user().file("logos"), host.user().file("client"), download);
  }

  InProcessHost host;
  std::vector<std::string> requests;
};

TEST_F(CanalesFilesTest, ChannelFileGivesRecordsVersionsAndLeavesOutBadLines) {
  const std::string path = File(
      "Canales.xml",
      "<Canales>\n<Version VersionOrden=\"4\" VersionCanales=\"7\" paquetes=\"P1\" "
      "demarcacion=\"19\" TipodeBusqueda=\"2\" />\n"
      "<Canal NumeroCanal=\"0\" ID=\"1\" Nombre=\"Uno &amp; medio\" Genero=\"Cine\" "
      "ServiceNameOriginal=\"5\" ServiceType=\"1\" ip=\"239.0.0.1\" puerto=\"8208\" />\n"
      "<Canal NumeroCanal=\"2\" ID=\"2\" Nombre=\"HD\" ServiceNameOriginal=\"2\" ServiceType=\"2\" "
      "ip=\"239.0.0.2\" puerto=\"8208\" />\n"
      "<Canal NumeroCanal=\"3\" ID=\"3\" Nombre=\"Sin ip\" ServiceNameOriginal=\"3\" "
      "ServiceType=\"1\" puerto=\"1\" />\n</Canales>\n");
  for (const bool hd : {true, false}) {
    LogoResolver logos = Logos();
    const auto content = LeerCanalesXml(path, hd, logos);
    ASSERT_TRUE(content.has_value());
    const CanalesRecorded& r = content->recorded;
    EXPECT_EQ(std::tie(r.orderVersion, r.listVersion, r.searchType, r.packages, r.demarcation),
              std::make_tuple(4, 7, 2, "P1", "19"));
    ASSERT_EQ(content->canales.size(), hd ? 2u : 1u);  // without HD, service type 1 only
    const Canal& uno = content->canales[0];
    EXPECT_EQ(
        std::tie(uno.id, uno.numero, uno.nombre, uno.genero, uno.ip, uno.puerto, uno.idSustituto,
                 uno.HD, uno.operador, uno.logo),
        std::make_tuple(1, 9999, "Uno & medio", "Cine", "239.0.0.1", 8208, 5, false, true, ""));
    EXPECT_EQ(content->canales.back().HD, hd);
  }
  EXPECT_TRUE(host.Logged("Canal incompleto en Canales.xml, falta ip: 3"));
  LogoResolver logos = Logos();
  EXPECT_FALSE(LeerCanalesXml(host.user().file("missing.xml"), true, logos).has_value());
  EXPECT_FALSE(host.Logged("Canales.xml no valido"));  // missing is not malformed
  for (const char* bad : {"<Canales>\n<Canal NumeroCanal=\"1\" ID=\"9\"", "<Otros/>", ""}) {
    EXPECT_FALSE(LeerCanalesXml(File("Canales.xml", bad), true, logos).has_value()) << bad;
  }
  EXPECT_EQ(host.journal().countContaining(hostsim::EntryKind::Log, "Canales.xml no valido"), 3u);
}

TEST_F(CanalesFilesTest, ExternalChannelsNeedTheirFiveAttributesAndOrdersSaySomething) {
  LogoResolver logos = Logos();
  const std::vector<Canal> canales = LeerCanalesExternos(
      File("canalesexternos.xml",
           "<Canales><Canal NumeroCanal=\"30\" ID=\"500\" Nombre=\"Local\" BrastokeTV=\"0\" "
           "servidor=\"http://10.0.0.1/tv\" puerto=\"81\" HD=\"1\" Genero=\"Propios\" "
           "ServiceNameOriginal=\"501\"/>"
           "<Canal NumeroCanal=\"0\" ID=\"600\" Nombre=\"Op\" BrastokeTV=\"1\" "
           "servidor=\"239.1.1.1\"/>"
           "<Canal NumeroCanal=\"32\" ID=\"700\" Nombre=\"Sin\" BrastokeTV=\"1\"/></Canales>"),
      logos);
  ASSERT_EQ(canales.size(), 2u);
  const Canal& local = canales[0];
  const Canal& op = canales[1];
  EXPECT_EQ(std::tie(local.numero, local.ip, local.puerto, local.genero, local.idSustituto,
                     local.HD, local.operador),
            std::make_tuple(30, "http://10.0.0.1/tv", 81, "Propios", 501, true, false));
  EXPECT_EQ(std::tie(op.numero, op.puerto, op.idSustituto, op.HD, op.operador),
            std::make_tuple(9999, 0, 600, false, true));

  const std::vector<OrdenCanal> ordenes = LeerOrdenes(
      File("orden.xml",
           "<ordenacion><orden ID=\"1\" Suprimir=\"1\" NumeroCanal=\"40\"/>"
           "<orden ID=\"2\" Suprimir=\"0\" NumeroCanal=\"20\"/><orden ID=\"3\" Suprimir=\"0\"/>"
           "<orden ID=\"4\"/><orden ID=\"5\" NumeroCanal=\"0\"/><orden NumeroCanal=\"5\"/>"
           "</ordenacion>"));
  std::vector<std::tuple<int, bool, bool, int>> read;
  for (const OrdenCanal& o : ordenes) read.emplace_back(o.id, o.suprimir, o.renumerar, o.numero);
  EXPECT_EQ(read, (std::vector<std::tuple<int, bool, bool, int>>{
                      {1, true, true, 40}, {2, false, true, 20}, {5, false, true, 0}}));
  EXPECT_TRUE(
      LeerOrdenes(File("orden.xml", "<ordenacion><orden ID=\"2\" Suprimir=\"1\">")).empty());
  EXPECT_TRUE(host.Logged("orden.xml no valido"));
}

TEST_F(CanalesFilesTest, LogoIsDownloadedKeptShippedOrTheDefault) {
  const struct {
    const char* value;
    bool external, operador;
    const char* logo;
    bool requested;
  } cases[] = {
      {"MAY_1/imSer/1.png", false, false, "logos/1.png", true},   // downloaded
      {"MAY_1/imSer/2.png", false, false, "logos/2.png", false},  // kept from before
      {"x/3.png", false, false, "client/Logos/3.png", true},      // shipped
      {"x/4.png", false, false, "client/Logos/597.jpg", true},    // the default
      {"e/51.png", true, true, "logos/51.png", true},             // an operator's external channel
      {"e/52.png", true, false, "client/Logos/597.jpg", false},   // other ones never download
  };
  LogoResolver logos = Logos({"MAY_1/imSer/1.png", "e/51.png", "e/52.png"});
  for (const auto& c : cases) {
    requests.clear();
    EXPECT_EQ(c.external ? logos.ResolveExternal(c.value, c.operador) : logos.Resolve(c.value),
              host.user().file(c.logo));
    const std::vector<std::string> asked = {LogoResolver::httpBaseLogos + std::string(c.value)};
    EXPECT_EQ(requests, c.requested ? asked : std::vector<std::string>()) << c.value;
  }
  EXPECT_EQ(LogoResolver::NombreLogotipo("a/b/c.png") + LogoResolver::NombreLogotipo("/c.png") +
                LogoResolver::NombreLogotipo("c.png"),
            "c.png/c.pngc.png");
}

TEST_F(CanalesFilesTest, DownloadsStopAfterFourFallbacksWithoutSuccess) {
  const struct {
    const char* name;
    std::vector<std::string> served;
    bool kept;
    size_t requests;
  } cases[] = {{"nothing downloads", {}, false, 4},
               {"one download succeeds", {"l/11.png"}, false, 6},
               {"a logo kept from before counts as a success", {}, true, 5}};
  for (const auto& c : cases) {
    std::remove(host.user().file("logos/11.png").c_str());
    if (c.kept) host.user().Write("logos/11.png", "kept");
    requests.clear();
    LogoResolver logos = Logos(c.served);
    for (int id = 11; id <= 16; ++id) logos.Resolve("l/" + std::to_string(id) + ".png");
    EXPECT_EQ(requests.size(), c.requests) << c.name;
  }
}

}  // namespace
