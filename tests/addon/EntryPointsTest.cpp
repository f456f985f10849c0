// The exported entry points as the host calls them.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <tuple>

#include "addon/AddonMain.h"
#include "addon/HostAdapter.h"
#include "addon/MenuHooks.h"
#include "backend/Quorvina.h"
#include "common/DatosConfiguracion.h"
#include "common/Globals.h"
#include "common/HostServices.h"
#include "common/HttpGlobals.h"
#include "common/SettingValues.h"
#include "common/StorageLayout.h"
#include "host/xbmc_pvr_types.h"
#include "support/InProcessHost.h"

extern "C" void get_addon(PVRClient* client);
extern "C" void ADDON_Announce(const char*, const char*, const char*, const void*);

namespace {

class EntryPointsTest : public ::testing::Test {
 protected:
  void SetUp() override { get_addon(&client); }
  void TearDown() override { PararProceso = false; }
  PVRClient client{};
  InProcessHost host;
};

// A controller, not started, over a stored line-up of two channels and
// without a profile server.
class WithControllerTest : public EntryPointsTest {
 protected:
  void SetUp() override {
    EntryPointsTest::SetUp();
    host.UseStorage();
    httpHostQuorvinaConfiguracion = "127.0.0.1";
    PuertoHttpQuorvina = 1;
    std::string canales = "<Canales>";
    for (const char* id : {"1", "2"}) {
      canales += std::string("<Canal NumeroCanal=\"1\" ID=\"") + id +
                 "\" Nombre=\"A\" ServiceNameOriginal=\"" + id +
                 "\" ServiceType=\"1\" ip=\"239.0.0.1\" puerto=\"1\"/>";
    }
    EscribirFichero(PathCompletoCanales, canales + "</Canales>");
    quorvina = new Quorvina();
  }
  void TearDown() override {
    // As the host's destroy does: every worker told, then the controller goes.
    PararProceso = true;
    quorvina->ParaProceso();
    delete quorvina;
    quorvina = nullptr;
    configuracionquorvina = DatosConfiguracion();
    httpHostQuorvinaConfiguracion = "172.26.22.23";
    PuertoHttpQuorvina = 2001;
    EntryPointsTest::TearDown();
  }
  PVR_ERROR Hook(unsigned int id) {
    const PVR_MENUHOOK hook{.iHookId = id, .iLocalizedStringId = 0, .category = PVR_MENUHOOK_ALL};
    PVR_MENUHOOK_DATA item{};
    return client.MenuHook(hook, item);
  }
};

TEST_F(EntryPointsTest, EverySlotOfTheTableIsFilled) {
  const auto* slots = reinterpret_cast<void* const*>(&client);
  for (size_t i = 0; i < sizeof(client) / sizeof(void*); ++i) {
    EXPECT_NE(slots[i], nullptr) << "slot " << i;
  }
}

// An action that nothing carries out must not answer success.
TEST_F(WithControllerTest, ActionsWithoutASubsystemAnswerNotImplemented) {
  const PVR_CHANNEL channel{};
  const struct {
    const char* entry;
    std::function<PVR_ERROR()> call;
  } cases[] = {
      {"DeleteChannel", [&] { return client.DeleteChannel(channel); }},
      {"unknown hook", [&] { return Hook(9); }},
  };
  for (const auto& c : cases) EXPECT_EQ(c.call(), PVR_ERROR_NOT_IMPLEMENTED) << c.entry;
  EXPECT_TRUE(host.gui().closedWindows().empty());
}

TEST_F(WithControllerTest, ReloadHooksTellTheUserThenTriggerTheHost) {
  using hostsim::FollowUpKind;
  const struct {
    unsigned int hook;
    size_t timers, recordings, guides;
  } cases[] = {{6, 1, 1, 0}, {7, 1, 1, 2}};  // a guide per channel; none for on demand
  for (const auto& c : cases) {
    EXPECT_EQ(Hook(c.hook), PVR_ERROR_NO_ERROR) << c.hook;
    EXPECT_EQ(host.gui().closedWindows("DialogSI.xml").back().label(1), "Utilidades") << c.hook;
    EXPECT_EQ(host.host().followUps().triggers(FollowUpKind::Timers), c.timers) << c.hook;
    EXPECT_EQ(host.host().followUps().triggers(FollowUpKind::Recordings), c.recordings) << c.hook;
    EXPECT_EQ(host.host().followUps().triggers(FollowUpKind::Epg), c.guides) << c.hook;
  }
}

TEST_F(EntryPointsTest, TheCatchUpHookNeedsTheMarkerFile) {
  for (const bool marker : {false, true}) {
    ultimos7dias = marker;
    AltasMenusHooks();
  }
  ultimos7dias = false;
  const auto hooks = host.host().pvr().menuHooks();
  ASSERT_EQ(hooks.size(), 15u);  // seven, then eight
  EXPECT_EQ(hooks[6].hookId, 7u);
  EXPECT_EQ(std::make_tuple(hooks.back().hookId, hooks.back().stringId, hooks.back().category),
            std::make_tuple(8u, 30270u, int(PVR_MENUHOOK_EPG)));
}

TEST_F(EntryPointsTest, OnlyTheExactQuitAnnouncementStops) {
  for (const char* message : {"OnQuitNow", "onquit", "ONQUIT", ""}) {
    ADDON_Announce("xbmc", "xbmc", message, nullptr);
    EXPECT_FALSE(PararProceso) << message;
  }
  ADDON_Announce("xbmc", "xbmc", "OnQuit", nullptr);
  EXPECT_TRUE(PararProceso);
}

TEST(HostAdapterTest, LongChannelNameIsCutAndTerminated) {
  Canal canal;
  canal.id = 1;
  canal.numero = 5;
  canal.nombre = std::string(3000, 'n');
  canal.logo = "/logo.jpg";
  const PVR_CHANNEL channel = ToHostChannel(canal);
  EXPECT_EQ(strnlen(channel.strChannelName, sizeof(channel.strChannelName)), 1023u);
  EXPECT_STREQ(channel.strIconPath, "/logo.jpg");
  EXPECT_EQ(channel.iChannelNumber, 5u);
}

}  // namespace
