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

  const hostsim::Fetch channels = host.fetchChannels();
  ASSERT_EQ(channels.error, PVR_ERROR_NO_ERROR);
  ASSERT_GT(channels.data.channels.size(), 50u);
  std::set<unsigned int> ids;
  bool vod = false;
  for (const auto& c : channels.data.channels) {
    ids.insert(c.uniqueId);
    if (c.uniqueId == 10000) vod = c.name == "V.O.D";
  }
  EXPECT_EQ(ids.size(), channels.data.channels.size());
  EXPECT_TRUE(vod);

  ASSERT_TRUE(host.fetchAllGroups());
  std::set<std::string> groups;
  for (const auto& g : host.pvr().groups()) groups.insert(g.name);
  EXPECT_TRUE(groups.count("V.O.D"));
  EXPECT_TRUE(groups.count("Cine"));
  EXPECT_TRUE(groups.count("Infantil"));
  const hostsim::Fetch members = host.fetchGroupMembers("V.O.D");
  ASSERT_EQ(members.data.members.size(), 1u);
  EXPECT_EQ(members.data.members[0].channelUniqueId, 10000u);
  EXPECT_EQ(members.data.members[0].channelNumber, 10000u);
}

TEST_F(LineUpE2eTest, RestartWithoutTheOperatorShowsTheStoredLineUp) {
  const size_t count = FreshStart().fetchChannels().data.channels.size();
  StopHost();
  StopHeadend();

  hostsim::Host& host = StartHost();
  const auto start = Clock::now();
  ASSERT_TRUE(host.load().ok);
  EXPECT_EQ(host.fetchChannels().data.channels.size(), count);
  EXPECT_LT(Clock::now() - start, 5s);
  EXPECT_FALSE(Notified("Cargando canales..."));
}

TEST_F(LineUpE2eTest, BumpedVersionRebuildsTheFile) {
  FreshStart();
  StopHost();
  const std::string before = ReadUserFile("Canales/Canales.xml");
  StopHeadend();
  StartHeadend(Scenario(
      R"({"demarcations":[{"code":1,"name":"Andalucía","carousel":{"address":"239.0.2.131:3937"}},)"
      R"({"code":19,"name":"Madrid","carousel":{"address":"239.0.2.130:3937"},)"
      R"("versions":{"02":39,"05":12,"06":4}}]})"));
  hostsim::Host& host = StartHost();
  ASSERT_TRUE(host.load().ok);
  EXPECT_TRUE(host.journal().waitFor(hostsim::EntryKind::Notification, "Canales cargados", 30s));
  const std::string after = ReadUserFile("Canales/Canales.xml");
  EXPECT_NE(after, before);
  EXPECT_NE(after.find("VersionCanales=\"39\""), std::string::npos);
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

TEST_F(LineUpE2eTest, MenuHookThreeAsksFirst) {
  hostsim::Host& host = FreshStart();
  host.gui().onNextWindow("DialogSiNo.xml", [](hostsim::Window& w) { w.click(10); });
  host.callMenuHook(3, "");
  const auto asked = host.gui().closedWindows("DialogSiNo.xml");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_NE(asked[0].labels.at(1).find("Recargar canales"), std::string::npos);
}

}  // namespace
}  // namespace e2e
