#include <gtest/gtest.h>

#include "addon/Settings.h"
#include "addon/StorageLayout.h"
#include "backend/Configuracion.h"
#include "backend/DatosConfiguracion.h"
#include "backend/HttpGlobals.h"
#include "support/FakeHost.h"
#include "support/TinyHttpServer.h"

namespace {

const char* const kCliente = "/appserver/bktv.do?action=getClientProfile";
const char* const kPlataforma = "/appserver/bktv.do?action=getPlatformProfile";

const char* const kPerfil =
    R"({"resultCode":0,"resultData":{"tvPackages":"TDT|FUT|CINE","gmtOffset":2,)"
    "\n"
    R"("demarcation":15,"hdtv":0}})";
const char* const kPlataformaOk =
    R"({"resultCode":0,"resultData":{"dvbConfig":{"dvbEntryPoint":"239.0.2.140:3938"}}})";

class ConfiguracionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    configuracionquorvina = DatosConfiguracion();
    PathPayloadBase = dir.path() + "/";
    httpHostQuorvinaConfiguracion = "127.0.0.1";
    PuertoHttpQuorvina = server.port();
    detalleepg = true;
    TipoGrabacionPorDefecto = 0;
    host.SetString(30514, "sin servidor");
  }
  void TearDown() override { PuertoHttpQuorvina = 2001; }

  FakeHost host;
  TempDir dir;
  TinyHttpServer server;
};

TEST_F(ConfiguracionTest, ProfileFillsTheRecordAndWritesTheCacheExactly) {
  server.AnswerOk(kCliente, kPerfil);
  server.AnswerOk(kPlataforma, kPlataformaOk);
  Configuracion conf;
  ASSERT_TRUE(conf.ObtenerConfiguracion());
  const DatosConfiguracion& c = configuracionquorvina;
  EXPECT_EQ(c.paquetes, "TDT|FUT|CINE");
  EXPECT_EQ(c.ListaPaquetes, (std::vector<std::string>{"TDT", "FUT", "CINE"}));
  EXPECT_EQ(c.HorasDiferencias, 2);
  EXPECT_EQ(c.Provincia, "15");
  EXPECT_FALSE(c.CargarCanalesHD);
  EXPECT_EQ(c.IPInicial, "239.0.2.140");
  EXPECT_EQ(c.PuertoInicial, 3938);
  EXPECT_EQ(dir.Read("Configuracion.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<Configuracion>\n"
            "<Parametros paquetes=\"TDT|FUT|CINE\" HorasDiferencias=\"2\" CargarCanalesHD=\"0\" "
            "IPInicial=\"239.0.2.140\" PuertoInicial=\"3938\" Provincia=\"15\" />\n"
            "</Configuracion>\n");
}

TEST_F(ConfiguracionTest, AbsentHdtvKeepsTheSetting) {
  server.AnswerOk(kCliente, R"({"resultData":{"tvPackages":"A|","gmtOffset":1,"demarcation":19}})");
  server.AnswerOk(kPlataforma, kPlataformaOk);
  configuracionquorvina.CargarCanalesHD = true;
  Configuracion conf;
  ASSERT_TRUE(conf.ObtenerConfiguracionhttp());
  EXPECT_TRUE(configuracionquorvina.CargarCanalesHD);
  EXPECT_EQ(configuracionquorvina.ListaPaquetes, std::vector<std::string>{"A"});
}

TEST_F(ConfiguracionTest, EntryPointWithoutPortFailsAndTheCacheIsLoaded) {
  server.AnswerOk(kCliente, kPerfil);
  server.AnswerOk(kPlataforma, R"({"resultData":{"dvbConfig":{"dvbEntryPoint":"239.0.2.140"}}})");
  dir.Write("Configuracion.xml",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Configuracion>\n"
            "<Parametros IPInicial=\"239.9.9.9\" PuertoInicial=\"1234\" />\n</Configuracion>\n");
  Configuracion conf;
  EXPECT_TRUE(conf.ObtenerConfiguracion());
  EXPECT_EQ(configuracionquorvina.IPInicial, "239.9.9.9");
  EXPECT_EQ(configuracionquorvina.PuertoInicial, 1234);
  // The first request's values stay; the cache carried no others.
  EXPECT_EQ(configuracionquorvina.Provincia, "15");
  EXPECT_EQ(configuracionquorvina.paquetes, "TDT|FUT|CINE");
}

TEST_F(ConfiguracionTest, EmptyPackagesStayEmpty) {
  server.AnswerOk(kCliente, R"({"resultData":{"tvPackages":"","gmtOffset":1,"demarcation":19}})");
  server.AnswerOk(kPlataforma, kPlataformaOk);
  Configuracion conf;
  ASSERT_TRUE(conf.ObtenerConfiguracionhttp());
  EXPECT_TRUE(configuracionquorvina.paquetes.empty());
  EXPECT_TRUE(configuracionquorvina.ListaPaquetes.empty());
}

struct BadAnswer {
  const char* name;
  const char* body;
};

class MalformedProfileTest : public ConfiguracionTest,
                             public ::testing::WithParamInterface<BadAnswer> {};

TEST_P(MalformedProfileTest, ChangesNothingAndLogs) {
  server.AnswerOk(kCliente, GetParam().body);
  server.AnswerOk(kPlataforma, kPlataformaOk);
  Configuracion conf;
  EXPECT_FALSE(conf.ObtenerConfiguracionhttp());
  EXPECT_EQ(configuracionquorvina.Provincia, "19");
  EXPECT_EQ(configuracionquorvina.IPInicial, "239.0.2.129");
  EXPECT_FALSE(host.Logs().empty());
  EXPECT_EQ(dir.Read("Configuracion.xml"), "");
}

INSTANTIATE_TEST_SUITE_P(
    Answers, MalformedProfileTest,
    ::testing::Values(
        BadAnswer{"Truncated", R"({"resultData":{"tvPackages":"A",)"},
        BadAnswer{"NotAnObject", R"([1,2,3])"}, BadAnswer{"NoResultData", R"({"resultCode":0})"},
        BadAnswer{"NoDemarcation", R"({"resultData":{"tvPackages":"A","gmtOffset":1}})"},
        BadAnswer{"WrongType", R"({"resultData":{"tvPackages":1,"gmtOffset":1,"demarcation":19}})"},
        BadAnswer{"Binary", "\x01\xff{\"\x80"}),
    [](const ::testing::TestParamInfo<BadAnswer>& info) { return info.param.name; });

TEST_F(ConfiguracionTest, UnreachableServerWarnsAndFallsBackToTheCache) {
  PuertoHttpQuorvina = 1;  // nobody listens there
  Configuracion conf;
  EXPECT_FALSE(conf.ObtenerConfiguracion());  // no cache either
  EXPECT_TRUE(host.Notified(QUEUE_ERROR, "sin servidor"));
}

TEST_F(ConfiguracionTest, NoWarningWhenDetailsOffAndCloudDefault) {
  PuertoHttpQuorvina = 1;
  detalleepg = false;
  TipoGrabacionPorDefecto = 2;
  Configuracion conf;
  EXPECT_FALSE(conf.ObtenerConfiguracionhttp());
  EXPECT_TRUE(host.Notifications().empty());
}

TEST_F(ConfiguracionTest, PartialCacheChangesOnlyItsAttributes) {
  dir.Write("Configuracion.xml",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Configuracion>\n"
            "<Parametros paquetes=\"X|Y|\" CargarCanalesHD=\"0\" />\n</Configuracion>\n");
  Configuracion conf;
  ASSERT_TRUE(conf.CargarConfiguracionhttp());
  EXPECT_EQ(configuracionquorvina.ListaPaquetes, (std::vector<std::string>{"X", "Y"}));
  EXPECT_FALSE(configuracionquorvina.CargarCanalesHD);
  EXPECT_EQ(configuracionquorvina.Provincia, "19");
  EXPECT_EQ(configuracionquorvina.PuertoInicial, 3937);
}

TEST_F(ConfiguracionTest, DamagedCacheIsRefused) {
  dir.Write("Configuracion.xml", "<Configuracion><Parametros paquetes=\"&bogus;\"/>");
  Configuracion conf;
  EXPECT_FALSE(conf.CargarConfiguracionhttp());
  EXPECT_EQ(configuracionquorvina.paquetes, "");
}

}  // namespace
