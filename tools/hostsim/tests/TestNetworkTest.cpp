#include <gtest/gtest.h>

#include "core/TestNetwork.h"

namespace {

TEST(TestNetwork, OnlyLoopbackIsTheTestNetwork) {
  struct Case {
    std::vector<std::string> interfaces;
    const char* named;  // nullptr: allowed
  } cases[] = {
      {{"lo"}, nullptr},
      {{"lo", "eth0"}, "interface eth0 "},
      {{"wlan0", "lo", "eth1"}, "interface wlan0 "},
      {{"lo0"}, "interface lo0 "},
      {{}, "cannot list"},
  };
  for (const auto& c : cases) {
    std::string why = hostsim::outsideTestNetwork(c.interfaces);
    if (c.named == nullptr) {
      EXPECT_EQ("", why);
      continue;
    }
    EXPECT_NE(std::string::npos, why.find(c.named)) << why;
    EXPECT_NE(std::string::npos, why.find("scripts/netns-run.sh")) << why;
  }
}

}  // namespace
