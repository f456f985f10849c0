// The host's structures as the host lays them out: its PVR data structures
// and guide tag are packed. hostsim shares these declarations, so only this
// test would notice them drifting from the host's.
#include <gtest/gtest.h>

#include <cstddef>

#include "host/xbmc_pvr_types.h"

namespace {

struct Layout {
  const char* what;
  size_t actual;
  size_t expected;
};

TEST(HostLayoutTest, StructuresMatchTheHostByteForByte) {
  const Layout kLayouts[] = {
      {"sizeof PVR_CHANNEL", sizeof(PVR_CHANNEL), 3122},
      {"PVR_CHANNEL.iChannelNumber", offsetof(PVR_CHANNEL, iChannelNumber), 5},
      {"PVR_CHANNEL.strChannelName", offsetof(PVR_CHANNEL, strChannelName), 13},
      {"PVR_CHANNEL.strIconPath", offsetof(PVR_CHANNEL, strIconPath), 2097},
      {"PVR_CHANNEL.bIsHidden", offsetof(PVR_CHANNEL, bIsHidden), 3121},
      {"sizeof PVR_TIMER", sizeof(PVR_TIMER), 3141},
      {"PVR_TIMER.strTitle", offsetof(PVR_TIMER, strTitle), 28},
      {"PVR_TIMER.iEpgUid", offsetof(PVR_TIMER, iEpgUid), 3121},
      {"sizeof PVR_RECORDING", sizeof(PVR_RECORDING), 10276},
      {"PVR_RECORDING.recordingTime", offsetof(PVR_RECORDING, recordingTime), 10240},
      {"PVR_RECORDING.iPlayCount", offsetof(PVR_RECORDING, iPlayCount), 10268},
      {"sizeof PVR_MENUHOOK_DATA", sizeof(PVR_MENUHOOK_DATA), 10280},
      {"sizeof EPG_TAG", sizeof(EPG_TAG), 117},
      {"EPG_TAG.strTitle", offsetof(EPG_TAG, strTitle), 4},
      {"EPG_TAG.startTime", offsetof(EPG_TAG, startTime), 16},
      {"EPG_TAG.strRecordingId", offsetof(EPG_TAG, strRecordingId), 109},
      {"sizeof PVR_ADDON_CAPABILITIES", sizeof(PVR_ADDON_CAPABILITIES), 13},
      {"sizeof PVR_CHANNEL_GROUP", sizeof(PVR_CHANNEL_GROUP), 1025},
      {"sizeof PVR_CHANNEL_GROUP_MEMBER", sizeof(PVR_CHANNEL_GROUP_MEMBER), 1032},
      {"sizeof PVR_MENUHOOK", sizeof(PVR_MENUHOOK), 12},
      // The function table and the properties block are not packed.
      {"PVR_PROPERTIES.strClientPath", offsetof(PVR_PROPERTIES, strClientPath), sizeof(void*)},
  };
  for (const Layout& layout : kLayouts) {
    EXPECT_EQ(layout.actual, layout.expected) << layout.what;
  }
}

}  // namespace
