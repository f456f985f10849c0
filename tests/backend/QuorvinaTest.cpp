// The controller's own routing logic.
#include <gtest/gtest.h>

#include "backend/Quorvina.h"

namespace {

// The host's speeds reach the on-demand client divided by 1000, whole:
// anything slower than normal backwards is a pause.
TEST(SpeedTest, HostSpeedsBecomeWholeScales) {
  const struct {
    int host, escala;
  } casos[] = {{1000, 1}, {2000, 2}, {-2000, -2}, {-500, 0}, {999, 0}, {0, 0}, {32000, 32}};
  for (const auto& c : casos) EXPECT_EQ(Quorvina::VelocidadCliente(c.host), c.escala) << c.host;
}

}  // namespace
