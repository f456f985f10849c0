// The live client's answers that do not need a stream: the times around a
// pause, the seek, and a channel it does not know.
#include <gtest/gtest.h>

#include <chrono>

#include "discovery/Canales.h"
#include "live/Cliente.h"
#include "support/InProcessHost.h"

namespace {

using namespace std::chrono_literals;

class ClienteTest : public ::testing::Test {
 protected:
  ClienteTest() { host_.UseStorage(); }

  InProcessHost host_;
  Canales canales_;
  time_t now_ = 36000;  // 10:00:00
  int restored_ = 0;
  Cliente cliente_{canales_, [this] { ++restored_; }, [this] { return now_; }};
};

TEST_F(ClienteTest, PlayingTimeAndBufferStartAroundAPause) {
  EXPECT_EQ(cliente_.GetPlayingTime(), 0);  // live, nothing recorded
  cliente_.EstablecerVelocidad(0);
  now_ += 30;
  EXPECT_EQ(cliente_.GetPlayingTime(), 36000);
  cliente_.EstablecerVelocidad(1);
  cliente_.Datos().TimeShiftActivo = true;  // as the recorder sets it
  now_ += 5;
  EXPECT_EQ(cliente_.GetPlayingTime(), now_ - 30);
  EXPECT_EQ(cliente_.GetBufferTimeStart(), 36000);
  EXPECT_EQ(cliente_.GetBufferTimeEnd(), now_);
  cliente_.EstablecerVelocidad(0);  // a second pause adds to the first
  now_ += 10;
  cliente_.EstablecerVelocidad(1);
  EXPECT_EQ(cliente_.GetPlayingTime(), now_ - 40);
  EXPECT_EQ(cliente_.GetBufferTimeStart(), 36000);
}

TEST_F(ClienteTest, SeekReportsItsStartOrAsksTheHostForNormalSpeed) {
  double start = 0;
  EXPECT_TRUE(cliente_.SeekTime(600000, false, &start));
  EXPECT_EQ(start, 600000000.0);
  EXPECT_EQ(restored_, 0);

  cliente_.EstablecerVelocidad(2);  // fast forward on the live stream
  EXPECT_FALSE(cliente_.SeekTime(600000, false, &start));
  EXPECT_EQ(start, -4503599627370496.0);
  EXPECT_EQ(restored_, 1);
  EXPECT_TRUE(cliente_.SeekTime(1000, true, nullptr));  // back at speed 1
}

TEST_F(ClienteTest, AnUnknownChannelFailsAtOnceAndLeavesNothingOpen) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(cliente_.AbrirCanal(4242));
  EXPECT_FALSE(cliente_.AbrirCanal(4243));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
  EXPECT_EQ(cliente_.ObtenerCanalActual(), -1);
  EXPECT_EQ(cliente_.DemuxRead().kind(), DemuxedPacket::Kind::None);
  EXPECT_TRUE(cliente_.GetStreamProperties().empty());
  EXPECT_TRUE(host_.Logged("AbrirCanal: no existe el canal 4243"));
}

}  // namespace
