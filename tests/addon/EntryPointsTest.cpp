#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "addon/AddonMain.h"
#include "addon/HostAdapter.h"
#include "addon/Settings.h"
#include "backend/DatosConfiguracion.h"
#include "backend/Quorvina.h"
#include "common/Globals.h"
#include "host/xbmc_pvr_types.h"
#include "support/FakeHost.h"

extern "C" void get_addon(PVRClient* client);
extern "C" void ADDON_Announce(const char*, const char*, const char*, const void*);
extern "C" ADDON_STATUS ADDON_Create(void*, void*);
extern "C" ADDON_STATUS ADDON_SetSetting(const char*, const void*);

namespace {

class EntryPointsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    memset(&client, 0, sizeof(client));
    get_addon(&client);
    PararProceso = false;
  }
  void TearDown() override { PararProceso = false; }
  PVRClient client;
  FakeHost host;
};

TEST_F(EntryPointsTest, FillsEverySlotOfTheTable) {
  const auto* slots = reinterpret_cast<void* const*>(&client);
  for (size_t i = 0; i < sizeof(client) / sizeof(void*); ++i) {
    EXPECT_NE(slots[i], nullptr) << "slot " << i;
  }
}

TEST_F(EntryPointsTest, IdentityAndCapabilities) {
  EXPECT_STREQ(client.GetPVRAPIVersion(), "1.9.2");
  EXPECT_STREQ(client.GetMininumGUIAPIVersion(), "5.3.0");
  EXPECT_STREQ(client.GetBackendName(), "PVR Quorvina");
  EXPECT_STREQ(client.GetBackendVersion(), "1.0.0");
  EXPECT_STREQ(client.GetConnectionString(), "conectado");
  PVR_ADDON_CAPABILITIES caps;
  memset(&caps, 0xff, sizeof(caps));
  EXPECT_EQ(client.GetAddonCapabilities(&caps), PVR_ERROR_NO_ERROR);
  const bool expected[] = {true, true, false, true, true, true, false,
                           true, true, true,  true, true, false};
  const auto* flags = reinterpret_cast<const bool*>(&caps);
  for (size_t i = 0; i < sizeof(expected); ++i) EXPECT_EQ(flags[i], expected[i]) << i;
}

TEST_F(EntryPointsTest, FixedAnswersWithoutController) {
  ASSERT_EQ(quorvina, nullptr);
  EXPECT_EQ(client.GetChannelsAmount(), -1);
  EXPECT_EQ(client.GetChannelGroupsAmount(), -1);
  EXPECT_EQ(client.GetRecordingsAmount(), -1);
  EXPECT_EQ(client.ReadLiveStream(nullptr, 0), -1);
  EXPECT_EQ(client.PositionRecordedStream(), -1);
  EXPECT_EQ(client.DeleteChannel(PVR_CHANNEL{}), PVR_ERROR_NOT_IMPLEMENTED);
  EXPECT_EQ(client.GetRecordingEdl(PVR_RECORDING{}, nullptr, nullptr), PVR_ERROR_NOT_IMPLEMENTED);
  EXPECT_TRUE(client.CanPauseStream());
  EXPECT_EQ(client.DemuxRead(), nullptr);
  EXPECT_FALSE(client.OpenRecordedStream(PVR_RECORDING{}));
  long long total = 5, used = 5;
  EXPECT_EQ(client.GetDriveSpace(&total, &used), PVR_ERROR_NO_ERROR);
  EXPECT_EQ(total + used, 0);
  EXPECT_STREQ(client.GetLiveStreamURL(PVR_CHANNEL{}), "");
}

TEST_F(EntryPointsTest, SignalStatusFillsOnlyItsFourTexts) {
  PVR_SIGNAL_STATUS status;
  memset(&status, 0, sizeof(status));
  status.iSNR = 77;
  EXPECT_EQ(client.SignalStatus(status), PVR_ERROR_NO_ERROR);
  EXPECT_STREQ(status.strAdapterName, "Quorvina");
  EXPECT_STREQ(status.strAdapterStatus, "OK");
  EXPECT_STREQ(status.strProviderName, "Brastoke");
  EXPECT_EQ(status.iSNR, 77);
}

TEST_F(EntryPointsTest, OnlyTheExactQuitAnnouncementStops) {
  for (const char* message : {"OnQuitNow", "onquit", "ONQUIT", ""}) {
    ADDON_Announce("xbmc", "xbmc", message, nullptr);
    EXPECT_FALSE(PararProceso) << message;
  }
  ADDON_Announce("xbmc", "xbmc", "OnQuit", nullptr);
  EXPECT_TRUE(PararProceso);
}

TEST_F(EntryPointsTest, CreateRefusesNullArguments) {
  EXPECT_EQ(ADDON_Create(nullptr, nullptr), ADDON_STATUS_UNKNOWN);
  AddonCB cb{"/nonexistent", nullptr};
  EXPECT_EQ(ADDON_Create(&cb, nullptr), ADDON_STATUS_UNKNOWN);
}

TEST_F(EntryPointsTest, MenuHooksDependOnTheMarkerFile) {
  ultimos7dias = false;
  AltasMenusHooks();
  ASSERT_EQ(host.MenuHooks().size(), 7u);
  ultimos7dias = true;
  AltasMenusHooks();
  const auto hooks = host.MenuHooks();
  ASSERT_EQ(hooks.size(), 15u);
  EXPECT_EQ(hooks.back().iHookId, 8u);
  EXPECT_EQ(hooks.back().iLocalizedStringId, 30270u);
  EXPECT_EQ(hooks.back().category, PVR_MENUHOOK_EPG);
  EXPECT_EQ(hooks[3].category, PVR_MENUHOOK_RECORDING);
  ultimos7dias = false;
}

TEST_F(EntryPointsTest, SameSearchTypeDoesNothing) {
  configuracionquorvina = DatosConfiguracion();
  configuracionquorvina.TiposdeBusqueda = 2;
  int same = 2;
  EXPECT_EQ(ADDON_SetSetting("TiposdeBusqueda", &same), ADDON_STATUS_OK);
  EXPECT_EQ(configuracionquorvina.TiposdeBusqueda, 2);
  int other = 3;
  ADDON_SetSetting("TiposdeBusqueda", &other);
  EXPECT_EQ(configuracionquorvina.TiposdeBusqueda, 3);
  int ignored = 1;
  ADDON_SetSetting("ModoDebug", &ignored);
  EXPECT_EQ(configuracionquorvina.TiposdeBusqueda, 3);
}

TEST(HostAdapterTest, LongChannelNameIsCutAndTerminated) {
  Canal canal;
  canal.id = 1;
  canal.numero = 5;
  canal.nombre = std::string(3000, 'n');
  canal.logo = "/logo.jpg";
  const PVR_CHANNEL channel = ToHostChannel(canal);
  EXPECT_EQ(strlen(channel.strChannelName), 1023u);
  EXPECT_STREQ(channel.strIconPath, "/logo.jpg");
  EXPECT_EQ(channel.iChannelNumber, 5u);
  EXPECT_FALSE(channel.bIsRadio);
}

}  // namespace
