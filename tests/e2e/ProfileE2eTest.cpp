// The subscriber's profile through a real host and operator, and the
// add-on's dialogs answered through the host's GUI.
#include <thread>

#include "E2eFixture.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

const char* const kSinServidor = "Sin conexión con el servidor de aplicaciones";
const char* const kSinConfiguracion = "No se ha podido obtener la configuración del servicio";

class ProfileE2eTest : public E2eTest {};

TEST_F(ProfileE2eTest, StartWritesTheCacheExactly) {
  StartHeadend();
  ASSERT_TRUE(StartHost().load().ok);
  EXPECT_EQ(ReadUserFile("Base/Configuracion.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<Configuracion>\n"
            "<Parametros paquetes=\"BASICO|CINE|INFANTIL|DOCUMENTALES|MUSICA|HD\" "
            "HorasDiferencias=\"1\" CargarCanalesHD=\"1\" IPInicial=\"239.0.2.129\" "
            "PuertoInicial=\"3937\" Provincia=\"19\" />\n"
            "</Configuracion>\n");
  EXPECT_FALSE(Notified(kSinConfiguracion));
}

TEST_F(ProfileE2eTest, SecondStartWithoutServerUsesTheCache) {
  StartHeadend();
  hostsim::Host& first = StartHost();
  ASSERT_TRUE(first.load().ok);
  ASSERT_TRUE(first.waitForChannels(30s));
  StopHost();
  // Carousels on, application server silent.
  StartHeadend(Scenario(R"({"appServer":{"switches":{"getClientProfile":{"noAnswer":"close"}}}})"));
  hostsim::Host& host = StartHost();
  ASSERT_TRUE(host.load().ok);
  EXPECT_TRUE(Notified(kSinServidor));
  EXPECT_FALSE(Notified(kSinConfiguracion));
  EXPECT_GT(host.channelsAmount(), 0);
}

TEST_F(ProfileE2eTest, NeitherServerNorCacheRunsOnSettings) {
  StartHeadend(Scenario(R"({"appServer":{"switches":{"getClientProfile":{"noAnswer":"close"}}}})"));
  hostsim::Host& host = StartHost();
  ASSERT_TRUE(host.load().ok);
  EXPECT_TRUE(Notified(kSinConfiguracion));
  EXPECT_EQ(host.journal().countContaining(hostsim::EntryKind::Notification, kSinServidor), 2u);
  // The settings' entry point and demarcation still reach the regional
  // records; without packages every service is probed, which takes minutes
  // against silent streams, so only the start of the rebuild is awaited.
  EXPECT_TRUE(host.journal().waitFor(hostsim::EntryKind::Notification, "Cargando canales", 10s));
  EXPECT_FALSE(ReadUserFile("Base/05_0000.xml").empty());
}

TEST_F(ProfileE2eTest, NoDetailsWarningWhenSettingsNeedNoServer) {
  WriteSettings(
      "<settings><setting id=\"detalleepg\" value=\"false\" />"
      "<setting id=\"TipoGrabacionPorDefecto\" value=\"2\" /></settings>");
  StartHeadend(Scenario(R"({"appServer":{"switches":{"getClientProfile":{"noAnswer":"close"}}}})"));
  hostsim::Host& host = StartHost();
  ASSERT_TRUE(host.load().ok);
  EXPECT_TRUE(Notified(kSinConfiguracion));
  EXPECT_FALSE(Notified(kSinServidor));
}

// Without a profile the demarcation comes from the "ZonaGeografica" setting,
// which decides whether the regional records are found at all.
struct Zone {
  const char* name;
  const char* settings;
  bool regional;
};

class ZoneSettingTest : public E2eTest, public ::testing::WithParamInterface<Zone> {};

TEST_P(ZoneSettingTest, PicksTheRegionalServerOfTheSetting) {
  WriteSettings(GetParam().settings);
  StartHeadend(Scenario(R"({"appServer":{"switches":{"getClientProfile":{"emptyBody":true}}}})"));
  hostsim::Host& host = StartHost();
  ASSERT_TRUE(host.load().ok);
  EXPECT_EQ(ReadUserFile("Base/02_0000.xml").empty(), !GetParam().regional);
}

INSTANTIATE_TEST_SUITE_P(
    Indexes, ZoneSettingTest,
    ::testing::Values(
        Zone{"Unreadable", "<settings></settings>", true},
        Zone{"IndexOneIsMadrid", R"(<settings><setting id="ZonaGeografica" value="1"/></settings>)",
             true},
        Zone{"IndexZeroHasNoServer",
             R"(<settings><setting id="ZonaGeografica" value="0"/></settings>)", false},
        Zone{"IndexTwoIsAndalucia",
             R"(<settings><setting id="ZonaGeografica" value="2"/></settings>)", true},
        Zone{"OutOfRangeIsRefused",
             R"(<settings><setting id="ZonaGeografica" value="17"/></settings>)", true}),
    [](const ::testing::TestParamInfo<Zone>& info) { return info.param.name; });

struct Fault {
  const char* name;
  const char* patch;
  bool fetched;  // the profile still arrives whole
};

class ProfileFaultTest : public E2eTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(ProfileFaultTest, AddOnKeepsRunningWithAFallback) {
  StartHeadend(Scenario(GetParam().patch));
  hostsim::Host& host = StartHost();
  const auto start = Clock::now();
  ASSERT_TRUE(host.load().ok);
  EXPECT_LT(Clock::now() - start, 25s);
  EXPECT_EQ(ReadUserFile("Base/Configuracion.xml").empty(), !GetParam().fetched);
  EXPECT_EQ(host.status(), 0);
  if (GetParam().fetched) {
    EXPECT_TRUE(host.waitForChannels(30s));
  } else {
    // Settings only: discovery still runs on the settings' entry point.
    EXPECT_TRUE(Notified(kSinConfiguracion));
    EXPECT_TRUE(host.journal().contains(hostsim::EntryKind::Log, "no valido") ||
                Notified(kSinServidor));
    EXPECT_TRUE(host.journal().waitFor(hostsim::EntryKind::Notification, "Cargando canales", 10s));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Switches, ProfileFaultTest,
    ::testing::Values(
        Fault{"EmptyBody", R"({"appServer":{"switches":{"getClientProfile":{"emptyBody":true}}}})",
              false},
        Fault{"MalformedJson",
              R"({"appServer":{"switches":{"getClientProfile":{"malformedJson":true}}}})", false},
        Fault{
            "MissingDemarcation",
            R"({"appServer":{"switches":{"getClientProfile":{"missingMembers":["demarcation"]}}}})",
            false},
        Fault{
            "DemarcationAsText",
            R"({"appServer":{"switches":{"getClientProfile":{"stringMembers":["demarcation"]}}}})",
            false},
        Fault{"ServerError", R"({"appServer":{"switches":{"getClientProfile":{"status":500}}}})",
              false},
        Fault{
            "NoEntryPoint",
            R"({"appServer":{"switches":{"getPlatformProfile":{"missingMembers":["dvbConfig.dvbEntryPoint"]}}}})",
            false},
        Fault{
            "HeldWithoutAnswer",
            R"({"appServer":{"switches":{"getClientProfile":{"noAnswer":"hold","holdMs":15000}}}})",
            false},
        Fault{"SlowButInTime",
              R"({"appServer":{"switches":{"getClientProfile":{"delayMs":1500}}}})", true},
        // The whole head must arrive in the first segment.
        Fault{"SplitHead", R"({"appServer":{"switches":{"getClientProfile":{"splitHead":true}}}})",
              false},
        Fault{"NoContentLength",
              R"({"appServer":{"switches":{"getPlatformProfile":{"omitContentLength":true}}}})",
              true}),
    [](const ::testing::TestParamInfo<Fault>& info) { return info.param.name; });

class DialogE2eTest : public E2eTest {
 protected:
  hostsim::Host& Running() {
    StartHeadend();
    hostsim::Host& host = StartHost();
    EXPECT_TRUE(host.load().ok);
    EXPECT_TRUE(host.waitForChannels(30s));
    return host;
  }
};

TEST_F(DialogE2eTest, BackOnTheReloadQuestionReloadsNothing) {
  hostsim::Host& host = Running();
  host.journal().waitFor(hostsim::EntryKind::Notification, "Canales cargados", 10s);
  const size_t loads =
      host.journal().countContaining(hostsim::EntryKind::Notification, "Cargando canales");
  host.gui().onNextWindow("DialogSiNo.xml", [](hostsim::Window& w) {
    w.click(9);  // the text: the box stays open
    w.action(92);
  });
  host.callMenuHook(3, "");
  const auto shown = host.gui().closedWindows("DialogSiNo.xml");
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].closingStep.rfind("action 92", 0), 0u) << shown[0].closingStep;
  // Empty yes/no labels keep those of the window file.
  EXPECT_EQ(shown[0].label(10), "No");
  EXPECT_EQ(shown[0].label(11), "Sí");
  std::this_thread::sleep_for(3s);
  EXPECT_EQ(host.journal().countContaining(hostsim::EntryKind::Notification, "Cargando canales"),
            loads);
}

TEST_F(DialogE2eTest, InformationBoxesPrecedeTheTriggers) {
  hostsim::Host& host = Running();
  host.gui().onNextWindow("DialogSI.xml", [](hostsim::Window& w) { w.click(10); });
  host.callMenuHook(6, "");
  const auto shown = host.gui().closedWindows("DialogSI.xml");
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].label(1), "Utilidades");
  EXPECT_TRUE(host.waitForFollowUps(5s));
  EXPECT_GE(host.followUps().runs(hostsim::FollowUpKind::Timers), 1u);
  EXPECT_GE(host.followUps().runs(hostsim::FollowUpKind::Recordings), 1u);
}

}  // namespace
}  // namespace e2e
