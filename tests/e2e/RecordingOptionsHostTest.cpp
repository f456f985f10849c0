// The recording options of a series rule, shown through the simulated host's
// GUI library in this process: the add-on's dialog code on one side, the
// host's window built from the shipped window file on the other.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "addon/AddonBinding.h"
#include "addon/GuiBinding.h"
#include "core/Host.h"
#include "gui/GUIOpcionesGrabacion.h"
#include "series/Serie.h"

namespace {

const char* const kFile = "DialogOpcionesGrabacion.xml";

class RecordingOptionsHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/quorvina-gui-XXXXXX";
    user_ = mkdtemp(name);
    hostsim::HostOptions options;
    options.addonDir = QUORVINA_STAGE_DIR;
    options.userDir = user_;
    options.echo = false;
    host_ = std::make_unique<hostsim::Host>(options);
    host_->gui().setSkinFolder(std::string(QUORVINA_STAGE_DIR) + "/resources/skins/Default/720p");
    table_ = hostsim::makeHostTable(*host_);
    callbacks_.libBasePath = HOSTSIM_HOST_DIR;
    callbacks_.addonData = &table_;
    XBMC = new CHelper_libXBMC_addon();
    GUI = new CHelper_libXBMC_gui();
    ASSERT_TRUE(XBMC->RegisterMe(&callbacks_));
    ASSERT_TRUE(GUI->RegisterMe(&callbacks_));
  }

  void TearDown() override {
    delete GUI;
    GUI = nullptr;
    delete XBMC;
    XBMC = nullptr;
    host_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(user_, ignored);
  }

  hostsim::WindowRecord Run(Serie& serie, bool& confirmed,
                            const std::function<void(hostsim::Window&)>& user) {
    const size_t before = host_->gui().closedWindows(kFile).size();
    host_->gui().onNextWindow(kFile, user);
    {
      CGUIOpcionesGrabacion dialog(serie);
      confirmed = dialog.PulsadoOK();
    }
    const auto closed = host_->gui().closedWindows(kFile);
    EXPECT_EQ(closed.size(), before + 1);
    return closed.empty() ? hostsim::WindowRecord() : closed.back();
  }

  std::string user_;
  std::unique_ptr<hostsim::Host> host_;
  HostsimTable table_{};
  AddonCB callbacks_{};
};

TEST_F(RecordingOptionsHostTest, SeasonsFillTheSpinsInOrderAndComeBackOnConfirm) {
  Serie serie;
  serie.Temporadas = {0, 2, 5};
  serie.TipodeCanal = 1;
  serie.Cloud = true;
  bool confirmed = false;
  const hostsim::WindowRecord shown =
      Run(serie, confirmed, [](hostsim::Window& w) { w.click(11); });
  EXPECT_TRUE(confirmed);
  EXPECT_EQ(shown.spins.at(15).value, 2);
  EXPECT_EQ(shown.spins.at(16).value, 5);
  EXPECT_EQ(shown.spins.at(17).value, 0);
  EXPECT_EQ(shown.spins.at(15).entries.size(), 51u);
  EXPECT_EQ(shown.spins.at(13).labelOfValue(), "Solo HD");
  EXPECT_TRUE(shown.radios.at(7).selected);
  EXPECT_EQ(shown.label(1), "Opciones de grabación");
  EXPECT_EQ(serie.Temporadas, (std::vector<int>{2, 5}));
}

TEST_F(RecordingOptionsHostTest, AllSpinsAtZeroMeanEverySeason) {
  Serie serie;
  serie.Temporadas = {3};
  bool confirmed = false;
  Run(serie, confirmed, [](hostsim::Window& w) {
    w.setSpin(15, 0);
    w.click(11);
  });
  EXPECT_TRUE(confirmed);
  EXPECT_TRUE(serie.Temporadas.empty());
}

TEST_F(RecordingOptionsHostTest, CancelAndBackLeaveTheRuleUnchanged) {
  for (const bool byBack : {false, true}) {
    Serie serie;
    serie.Temporadas = {4, 7};
    serie.TipodeCanal = 2;
    bool confirmed = true;
    Run(serie, confirmed, [byBack](hostsim::Window& w) {
      w.setSpin(15, 9);
      w.setSpin(13, 0);
      if (byBack) {
        w.action(92);
      } else {
        w.click(10);
      }
    });
    EXPECT_FALSE(confirmed);
    EXPECT_EQ(serie.Temporadas, (std::vector<int>{4, 7}));
    EXPECT_EQ(serie.TipodeCanal, 2);
  }
}

}  // namespace
