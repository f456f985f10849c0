// The host never waits on the operator's network: an entry point that can't
// be joined holds neither create nor destroy.
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "E2eFixture.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

class FootingE2eTest : public E2eTest {};

TEST_F(FootingE2eTest, UnjoinableEntryPointHoldsNeitherCreateNorDestroy) {
  // Without a multicast route no group can be joined. No operator answers
  // either, so the profile falls back at once and only discovery is left.
  ASSERT_EQ(std::system("ip route del 224.0.0.0/4 dev lo"), 0);
  hostsim::Host& host = StartHost();
  const auto created = Clock::now();
  ASSERT_TRUE(host.load().ok);
  EXPECT_LT(Clock::now() - created, 10s);
  EXPECT_TRUE(host.info().backendName == "PVR Quorvina");
  EXPECT_EQ(host.channelsAmount(), 0);
  // The controller's thread keeps trying the entry point meanwhile.
  std::this_thread::sleep_for(1s);
  const auto destroyed = Clock::now();
  StopHost();
  EXPECT_LT(Clock::now() - destroyed, 3s);
}

TEST_F(FootingE2eTest, CorruptedFirstCopyNeverReachesTheStoredRecordsWhenACrcIsPresent) {
  // The regional carousel sends nothing until the add-on has joined, then a
  // first copy of the service list with one bit flipped, then good copies.
  StartHeadend(Scenario(R"({"demarcations":[{"code":19,"name":"Madrid",
      "carousel":{"address":"239.0.2.130:3937","crc":true,"startAfterMs":3000,
                  "corruptFirstCopy":[{"payload":"02","section":1,"offset":40}]},
      "versions":{"02":38,"05":12,"06":4}}]})"));
  hostsim::Host& host = StartHost();
  ASSERT_TRUE(host.load().ok);
  ASSERT_TRUE(host.waitForChannels(60s));
  EXPECT_TRUE(host.journal().contains(hostsim::EntryKind::Log, "CRC erroneo en el segmento"));
  // The record ends with its closing tag: the CRC bytes are not stored.
  const std::string stored = ReadUserFile("Base/02_0000.xml");
  EXPECT_EQ(stored.find_last_not_of(" \r\n"), stored.rfind('>'));
  // The line-up is the one the good copies describe.
  std::ifstream expected(QUORVINA_SOURCE_DIR "/tests/e2e/data/Canales-default.xml");
  std::stringstream text;
  text << expected.rdbuf();
  EXPECT_EQ(ReadUserFile("Canales/Canales.xml"), text.str());
}

}  // namespace
}  // namespace e2e
