// The add-on's life cycle in a host: identity, capabilities, menu hooks,
// broken host folders and a prompt, clean unload.
#include <fstream>
#include <thread>

#include "E2eFixture.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

class LifecycleE2eTest : public E2eTest {};

TEST_F(LifecycleE2eTest, HostSeesIdentityCapabilitiesAndSevenHooks) {
  StartHeadend();
  hostsim::Host& host = StartHost();
  ASSERT_TRUE(host.load().ok);
  const hostsim::AddonInfo info = host.info();
  EXPECT_EQ(info.backendName, "PVR Quorvina");
  EXPECT_EQ(info.pvrApiVersion, "1.9.2");
  EXPECT_EQ(info.guiApiVersion, "5.3.0");
  const auto flags = hostsim::capabilityFlags(info.capabilities);
  ASSERT_EQ(flags.size(), 13u);
  EXPECT_TRUE(flags[0].second);    // EPG
  EXPECT_FALSE(flags[2].second);   // radio
  EXPECT_FALSE(flags[12].second);  // last played position
  EXPECT_EQ(info.menuHooks.size(), 7u);
}

TEST_F(LifecycleE2eTest, MarkerFileAddsTheCatchUpHook) {
  std::ofstream(AddonDir() + "/ultimos7dias").put('\n');
  StartHeadend();
  hostsim::Host& host = StartHost();
  ASSERT_TRUE(host.load().ok);
  const hostsim::AddonInfo info = host.info();
  ASSERT_EQ(info.menuHooks.size(), 8u);
  EXPECT_EQ(info.menuHooks.back().hookId, 8u);
  EXPECT_EQ(info.menuHooks.back().category, PVR_MENUHOOK_EPG);
}

TEST_F(LifecycleE2eTest, BrokenHostFoldersFailWithPermanentFailure) {
  for (const char* folder : {HOSTSIM_BROKEN_SYMBOL_DIR, HOSTSIM_MISSING_GUI_DIR}) {
    hostsim::Host& host = StartHost(folder);
    testing::internal::CaptureStderr();
    const hostsim::LoadResult result = host.load();
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(result.ok) << folder;
    EXPECT_EQ(result.status, 6) << folder;
    EXPECT_TRUE(errors.find("Unable to assign function") != std::string::npos ||
                errors.find("Unable to load") != std::string::npos)
        << errors;
    StopHost();
  }
}

TEST_F(LifecycleE2eTest, DestroyDuringDiscoveryReturnsPromptly) {
  StartHeadend();
  hostsim::Host& first = StartHost();
  ASSERT_TRUE(first.load().ok);
  ASSERT_TRUE(first.waitForChannels(30s));
  StopHost();
  // With a stored line-up the controller's thread starts its pass at once;
  // silent carousels keep it waiting on the entry point.
  StartHeadend(Scenario(R"({"carouselDefaults":{"silent":true}})"));
  hostsim::Host& host = StartHost();
  ASSERT_TRUE(host.load().ok);
  ASSERT_GT(host.channelsAmount(), 0);
  std::this_thread::sleep_for(1500ms);
  const auto start = Clock::now();
  StopHost();
  EXPECT_LT(Clock::now() - start, 3500ms);
}

}  // namespace
}  // namespace e2e
