// The add-on's life cycle in a host: broken host folders, and a prompt,
// clean unload in the middle of discovery.
#include <thread>

#include "E2eFixture.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

class LifecycleE2eTest : public E2eTest {};

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
