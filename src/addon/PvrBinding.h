// Binding of the host's PVR library: transfers, menu hooks, update triggers
// and demux packets.
#pragma once

#include "host/xbmc_host_api.h"

class CHelper_libXBMC_pvr {
 public:
  CHelper_libXBMC_pvr() = default;
  ~CHelper_libXBMC_pvr();
  CHelper_libXBMC_pvr(const CHelper_libXBMC_pvr&) = delete;
  CHelper_libXBMC_pvr& operator=(const CHelper_libXBMC_pvr&) = delete;

  bool RegisterMe(void* handle);
  void Release();

  void TransferEpgEntry(const ADDON_HANDLE handle, const EPG_TAG* entry);
  void TransferChannelEntry(const ADDON_HANDLE handle, const PVR_CHANNEL* entry);
  void TransferTimerEntry(const ADDON_HANDLE handle, const PVR_TIMER* entry);
  void TransferRecordingEntry(const ADDON_HANDLE handle, const PVR_RECORDING* entry);
  void TransferChannelGroup(const ADDON_HANDLE handle, const PVR_CHANNEL_GROUP* group);
  void TransferChannelGroupMember(const ADDON_HANDLE handle,
                                  const PVR_CHANNEL_GROUP_MEMBER* member);
  void AddMenuHook(PVR_MENUHOOK* hook);
  void Recording(const char* name, const char* fileName, bool on);
  void TriggerTimerUpdate();
  void TriggerRecordingUpdate();
  void TriggerChannelUpdate();
  void TriggerChannelGroupsUpdate();
  void TriggerEpgUpdate(unsigned int channelUid);
  void FreeDemuxPacket(DemuxPacket* packet);
  DemuxPacket* AllocateDemuxPacket(int dataSize);

  PVR_register_me_t PVR_register_me = nullptr;
  PVR_unregister_me_t PVR_unregister_me = nullptr;
  PVR_transfer_epg_entry_t PVR_transfer_epg_entry = nullptr;
  PVR_transfer_channel_entry_t PVR_transfer_channel_entry = nullptr;
  PVR_transfer_timer_entry_t PVR_transfer_timer_entry = nullptr;
  PVR_transfer_recording_entry_t PVR_transfer_recording_entry = nullptr;
  PVR_add_menu_hook_t PVR_add_menu_hook = nullptr;
  PVR_recording_t PVR_recording = nullptr;
  PVR_trigger_timer_update_t PVR_trigger_timer_update = nullptr;
  PVR_trigger_recording_update_t PVR_trigger_recording_update = nullptr;
  PVR_trigger_channel_update_t PVR_trigger_channel_update = nullptr;
  PVR_trigger_channel_groups_update_t PVR_trigger_channel_groups_update = nullptr;
  PVR_trigger_epg_update_t PVR_trigger_epg_update = nullptr;
  PVR_transfer_channel_group_t PVR_transfer_channel_group = nullptr;
  PVR_transfer_channel_group_member_t PVR_transfer_channel_group_member = nullptr;
  PVR_free_demux_packet_t PVR_free_demux_packet = nullptr;
  PVR_allocate_demux_packet_t PVR_allocate_demux_packet = nullptr;

  void* m_libXBMC_pvr = nullptr;
  void* m_Handle = nullptr;
  void* m_Callbacks = nullptr;
};

extern CHelper_libXBMC_pvr* PVR;
