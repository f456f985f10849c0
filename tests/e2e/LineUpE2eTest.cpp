// The channel line-up from the operator's discovery to the host.
#include <fstream>
#include <set>
#include <thread>

#include "E2eFixture.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

class LineUpE2eTest : public E2eTest {
 protected:
  hostsim::Host& FreshStart(const std::string& scenario = Scenario()) {
    StartHeadend(scenario);
    hostsim::Host& host = StartHost();
    EXPECT_TRUE(host.load().ok);
    EXPECT_TRUE(host.waitForChannels(30s));
    return host;
  }
};

TEST_F(LineUpE2eTest, FreshInstallationDiscoversAndStoresTheLineUp) {
  hostsim::Host& host = FreshStart();
  EXPECT_TRUE(Notified("Cargando canales..."));
  EXPECT_TRUE(host.journal().waitFor(hostsim::EntryKind::Notification, "Canales cargados", 10s));

  const std::string stored = ReadUserFile("Canales/Canales.xml");
  ASSERT_FALSE(stored.empty());
  std::ifstream expectedFile(QUORVINA_SOURCE_DIR "/tests/e2e/data/Canales-default.xml",
                             std::ios::binary);
  const std::string expected((std::istreambuf_iterator<char>(expectedFile)),
                             std::istreambuf_iterator<char>());
  EXPECT_EQ(stored, expected);
  // The discovery records the regional carousel carried.
  EXPECT_FALSE(ReadUserFile("Base/02_0000.xml").empty());
  EXPECT_FALSE(ReadUserFile("Base/05_0000.xml").empty());

  // The host gets the channels of the file, less the replaced ones, and the
  // on-demand channel.
  const hostsim::Fetch channels = host.fetchChannels();
  ASSERT_EQ(channels.error, PVR_ERROR_NO_ERROR);
  ASSERT_GT(channels.data.channels.size(), 50u);
  for (const auto& c : channels.data.channels) {
    const std::string id = " ID=\"" + std::to_string(c.uniqueId) + "\"";
    EXPECT_TRUE(c.uniqueId == 10000 || stored.find(id) != std::string::npos) << id;
  }
  ASSERT_TRUE(host.fetchAllGroups());
  std::set<std::string> groups;
  for (const auto& g : host.pvr().groups()) groups.insert(g.name);
  EXPECT_EQ(groups.count("V.O.D") + groups.count("Cine") + groups.count("Infantil"), 3u);
  EXPECT_EQ(host.pvr().members().at("V.O.D").size(), 1u);
}

TEST_F(LineUpE2eTest, MalformedRecordLeavesThePreviousLineUp) {
  const size_t count = FreshStart().fetchChannels().data.channels.size();
  StopHost();
  const std::string before = ReadUserFile("Canales/Canales.xml");
  // A newer service list that arrives cut in half.
  StartHeadend(Scenario(
      R"({"carouselDefaults":{"brokenRecords":{"02":"truncate"}},)"
      R"("demarcations":[{"code":1,"name":"Andalucía","carousel":{"address":"239.0.2.131:3937"}},)"
      R"({"code":19,"name":"Madrid","carousel":{"address":"239.0.2.130:3937"},)"
      R"("versions":{"02":39,"05":12,"06":4}}]})"));
  hostsim::Host& host = StartHost();
  ASSERT_TRUE(host.load().ok);
  // Let the controller's first pass receive the damaged records.
  std::this_thread::sleep_for(5s);
  EXPECT_EQ(host.fetchChannels().data.channels.size(), count);
  EXPECT_EQ(ReadUserFile("Canales/Canales.xml"), before);
  EXPECT_FALSE(Notified("Cargando canales..."));
}

TEST_F(LineUpE2eTest, SearchTypeChangeReloadsWithoutAsking) {
  // Searching all packages probes every service the subscriber lacks (2 s
  // each, the streams are silent here): keep that to one small package.
  hostsim::Host& host = FreshStart(Scenario(
      R"({"subscriber":{"tvPackages":"BASICO|CINE|INFANTIL|DOCUMENTALES|MUSICA|HD|DEPORTES|FUTBOL"}})"));
  ASSERT_TRUE(host.journal().waitFor(hostsim::EntryKind::Notification, "Canales cargados", 10s));
  const size_t loads =
      host.journal().countContaining(hostsim::EntryKind::Notification, "Canales cargados");
  host.setSetting("TiposdeBusqueda", "2");
  const auto deadline = Clock::now() + 60s;
  while (Clock::now() < deadline && host.journal().countContaining(hostsim::EntryKind::Notification,
                                                                   "Canales cargados") == loads) {
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_TRUE(host.gui().closedWindows("DialogSiNo.xml").empty());
  EXPECT_NE(ReadUserFile("Canales/Canales.xml").find("TipodeBusqueda=\"2\""), std::string::npos);
}

TEST_F(LineUpE2eTest, BackOnTheReloadQuestionReloadsNothing) {
  hostsim::Host& host = FreshStart();
  ASSERT_TRUE(host.journal().waitFor(hostsim::EntryKind::Notification, "Canales cargados", 10s));
  const size_t loads =
      host.journal().countContaining(hostsim::EntryKind::Notification, "Cargando canales");
  host.gui().onNextWindow("DialogSiNo.xml", [](hostsim::Window& w) {
    w.click(9);  // the text: the box stays open
    w.action(92);
  });
  host.callMenuHook(3, "");
  const auto asked = host.gui().closedWindows("DialogSiNo.xml");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_NE(asked[0].label(1).find("Recargar canales"), std::string::npos);
  EXPECT_EQ(asked[0].closingStep, "action 92");
  std::this_thread::sleep_for(3s);
  EXPECT_EQ(host.journal().countContaining(hostsim::EntryKind::Notification, "Cargando canales"),
            loads);
}

}  // namespace
}  // namespace e2e
