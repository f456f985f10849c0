// The subscriber's profile from the application server, and its cached copy
// for starts without the server.
#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>

#include "backend/Configuracion.h"
#include "common/DatosConfiguracion.h"
#include "common/Globals.h"
#include "common/HttpGlobals.h"
#include "common/SettingValues.h"
#include "support/InProcessHost.h"
#include "support/TinyHttpServer.h"

namespace {

const char* const kCliente = "/appserver/bktv.do?action=getClientProfile";
const char* const kPlataforma = "/appserver/bktv.do?action=getPlatformProfile";
const char* const kSinServidor = "Sin conexión con el servidor de aplicaciones";

const char* const kPerfil =
    R"({"resultCode":0,"resultData":{"tvPackages":"TDT|FUT|CINE","gmtOffset":2,)"
    "\n"
    R"("demarcation":15,"hdtv":0}})";
const char* const kPlataformaOk =
    R"({"resultCode":0,"resultData":{"dvbConfig":{"dvbEntryPoint":"239.0.2.140:3938"}}})";

class ConfiguracionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host.UseStorage();
    configuracionquorvina = DatosConfiguracion();
    httpHostQuorvinaConfiguracion = "127.0.0.1";
    PuertoHttpQuorvina = server.port();
    detalleepg = true;
    TipoGrabacionPorDefecto = 0;
    ModoDebug = true;
  }
  void TearDown() override {
    configuracionquorvina = DatosConfiguracion();
    httpHostQuorvinaConfiguracion = "172.26.22.23";
    PuertoHttpQuorvina = 2001;
    ModoDebug = false;
  }
  std::string Cache() const { return host.user().Read("Base/Configuracion.xml"); }
  void WriteCache(const std::string& text) { host.user().Write("Base/Configuracion.xml", text); }

  InProcessHost host;
  TinyHttpServer server;
};

TEST_F(ConfiguracionTest, ProfileFillsTheRecordAndWritesTheCacheExactly) {
  server.AnswerOk(kCliente, kPerfil);
  server.AnswerOk(kPlataforma, kPlataformaOk);
  ASSERT_TRUE(Configuracion().ObtenerConfiguracion());
  const DatosConfiguracion& c = configuracionquorvina;
  EXPECT_EQ(c.ListaPaquetes, (std::vector<std::string>{"TDT", "FUT", "CINE"}));
  EXPECT_EQ(std::tie(c.paquetes, c.HorasDiferencias, c.Provincia, c.CargarCanalesHD, c.IPInicial,
                     c.PuertoInicial),
            std::make_tuple("TDT|FUT|CINE", 2, "15", false, "239.0.2.140", 3938));
  EXPECT_EQ(Cache(),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<Configuracion>\n"
            "<Parametros paquetes=\"TDT|FUT|CINE\" HorasDiferencias=\"2\" CargarCanalesHD=\"0\" "
            "IPInicial=\"239.0.2.140\" PuertoInicial=\"3938\" Provincia=\"15\" />\n"
            "</Configuracion>\n");
  // Without "hdtv" the setting stays.
  server.AnswerOk(kCliente, R"({"resultData":{"tvPackages":"A|","gmtOffset":1,"demarcation":19}})");
  configuracionquorvina.CargarCanalesHD = true;
  ASSERT_TRUE(Configuracion().ObtenerConfiguracionhttp());
  EXPECT_EQ(configuracionquorvina.ListaPaquetes, std::vector<std::string>{"A"});
  EXPECT_TRUE(configuracionquorvina.CargarCanalesHD);
}

TEST_F(ConfiguracionTest, MalformedProfileChangesNothingAndIsLogged) {
  const struct {
    const char* name;
    const char* body;
  } cases[] = {
      {"truncated", R"({"resultData":{"tvPackages":"A",)"},
      {"not an object", R"([1,2,3])"},
      {"no resultData", R"({"resultCode":0})"},
      {"no demarcation", R"({"resultData":{"tvPackages":"A","gmtOffset":1}})"},
      {"wrong type", R"({"resultData":{"tvPackages":1,"gmtOffset":1,"demarcation":19}})"},
      {"binary", "\x01\xff{\"\x80"},
  };
  server.AnswerOk(kPlataforma, kPlataformaOk);
  for (const auto& c : cases) {
    server.AnswerOk(kCliente, c.body);
    EXPECT_FALSE(Configuracion().ObtenerConfiguracionhttp()) << c.name;
    EXPECT_EQ(configuracionquorvina.Provincia, "19") << c.name;
    EXPECT_EQ(configuracionquorvina.IPInicial, "239.0.2.129") << c.name;
    EXPECT_EQ(host.LevelOfLog("Perfil de cliente no valido"), "error") << c.name;
  }
  EXPECT_EQ(Cache(), "");
}

TEST_F(ConfiguracionTest, EntryPointWithoutPortFailsAndTheCacheIsLoaded) {
  server.AnswerOk(kCliente, kPerfil);
  server.AnswerOk(kPlataforma, R"({"resultData":{"dvbConfig":{"dvbEntryPoint":"239.0.2.140"}}})");
  WriteCache(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Configuracion>\n"
      "<Parametros IPInicial=\"239.9.9.9\" PuertoInicial=\"1234\" />\n</Configuracion>\n");
  EXPECT_TRUE(Configuracion().ObtenerConfiguracion());
  // The first request's values stay; the cache carried no others.
  const DatosConfiguracion& c = configuracionquorvina;
  EXPECT_EQ(std::tie(c.IPInicial, c.PuertoInicial, c.Provincia, c.paquetes),
            std::make_tuple("239.9.9.9", 1234, "15", "TDT|FUT|CINE"));
}

TEST_F(ConfiguracionTest, UnreachableServerWarnsOnlyWhenSettingsNeedIt) {
  PuertoHttpQuorvina = 1;  // nobody listens there
  const struct {
    bool details;
    int recordingType;
    bool warned;
  } cases[] = {{true, 0, true}, {false, 0, true}, {true, 2, true}, {false, 2, false}};
  for (const auto& c : cases) {
    detalleepg = c.details;
    TipoGrabacionPorDefecto = c.recordingType;
    const size_t before = host.CountNotified(kSinServidor);
    EXPECT_FALSE(Configuracion().ObtenerConfiguracion());  // no cache either
    EXPECT_EQ(host.CountNotified(kSinServidor) - before, c.warned ? 1u : 0u)
        << c.details << " " << c.recordingType;
  }
}

TEST_F(ConfiguracionTest, CacheChangesOnlyWhatItHoldsAndAMissingOneIsNoError) {
  const struct {
    const char* name;
    const char* cache;  // null: no file
    bool loaded;
    std::vector<std::string> packages;
    const char* logged;
    const char* level;
  } cases[] = {
      // Neither of the lines of the cases below.
      {"partial",
       "<Configuracion>\n<Parametros paquetes=\"X|Y|\" CargarCanalesHD=\"0\" />\n"
       "</Configuracion>\n",
       true,
       {"X", "Y"},
       "Configuracion.xml no",
       ""},
      {"damaged",
       "<Configuracion><Parametros paquetes=\"&bogus;\"/>",
       false,
       {},
       "Configuracion.xml no cargado",
       "error"},
      {"missing", nullptr, false, {}, "Configuracion.xml no existe todavia", "notice"},
  };
  for (const auto& c : cases) {  // in order: each looks for a line of its own
    configuracionquorvina = DatosConfiguracion();
    std::remove(host.user().file("Base/Configuracion.xml").c_str());
    if (c.cache) WriteCache(c.cache);
    EXPECT_EQ(Configuracion().CargarConfiguracionhttp(), c.loaded) << c.name;
    EXPECT_EQ(configuracionquorvina.ListaPaquetes, c.packages) << c.name;
    EXPECT_EQ(configuracionquorvina.CargarCanalesHD, !c.loaded) << c.name;
    EXPECT_EQ(configuracionquorvina.Provincia, "19") << c.name;
    EXPECT_EQ(host.LevelOfLog(c.logged), c.level) << c.name;
  }
}

}  // namespace
