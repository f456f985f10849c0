#include "addon/PvrBinding.h"

#include "common/Library.h"

CHelper_libXBMC_pvr* PVR = nullptr;

CHelper_libXBMC_pvr::~CHelper_libXBMC_pvr() {
  Release();
}

bool CHelper_libXBMC_pvr::RegisterMe(void* handle) {
  m_Handle = handle;
  m_libXBMC_pvr = library::Open(XbmcLibraryPath(handle, XBMC_PVR_LIBRARY_PATH));
  if (m_libXBMC_pvr == nullptr) return false;

  void* lib = m_libXBMC_pvr;
  const bool resolved =
      library::Resolve(lib, "PVR_register_me", PVR_register_me) &&
      library::Resolve(lib, "PVR_unregister_me", PVR_unregister_me) &&
      library::Resolve(lib, "PVR_transfer_epg_entry", PVR_transfer_epg_entry) &&
      library::Resolve(lib, "PVR_transfer_channel_entry", PVR_transfer_channel_entry) &&
      library::Resolve(lib, "PVR_transfer_timer_entry", PVR_transfer_timer_entry) &&
      library::Resolve(lib, "PVR_transfer_recording_entry", PVR_transfer_recording_entry) &&
      library::Resolve(lib, "PVR_add_menu_hook", PVR_add_menu_hook) &&
      library::Resolve(lib, "PVR_recording", PVR_recording) &&
      library::Resolve(lib, "PVR_trigger_timer_update", PVR_trigger_timer_update) &&
      library::Resolve(lib, "PVR_trigger_recording_update", PVR_trigger_recording_update) &&
      library::Resolve(lib, "PVR_trigger_channel_update", PVR_trigger_channel_update) &&
      library::Resolve(lib, "PVR_trigger_channel_groups_update",
                       PVR_trigger_channel_groups_update) &&
      library::Resolve(lib, "PVR_trigger_epg_update", PVR_trigger_epg_update) &&
      library::Resolve(lib, "PVR_transfer_channel_group", PVR_transfer_channel_group) &&
      library::Resolve(lib, "PVR_transfer_channel_group_member",
                       PVR_transfer_channel_group_member) &&
      library::Resolve(lib, "PVR_free_demux_packet", PVR_free_demux_packet) &&
      library::Resolve(lib, "PVR_allocate_demux_packet", PVR_allocate_demux_packet);
  if (!resolved) return false;

  m_Callbacks = PVR_register_me(m_Handle);
  return m_Callbacks != nullptr;
}

void CHelper_libXBMC_pvr::Release() {
  if (m_Callbacks != nullptr && PVR_unregister_me != nullptr) {
    PVR_unregister_me(m_Handle, m_Callbacks);
  }
  m_Callbacks = nullptr;
  library::Close(m_libXBMC_pvr);
}

void CHelper_libXBMC_pvr::TransferEpgEntry(const ADDON_HANDLE handle, const EPG_TAG* entry) {
  if (PVR_transfer_epg_entry) PVR_transfer_epg_entry(m_Handle, m_Callbacks, handle, entry);
}

void CHelper_libXBMC_pvr::TransferChannelEntry(const ADDON_HANDLE handle,
                                               const PVR_CHANNEL* entry) {
  if (PVR_transfer_channel_entry) PVR_transfer_channel_entry(m_Handle, m_Callbacks, handle, entry);
}

void CHelper_libXBMC_pvr::TransferTimerEntry(const ADDON_HANDLE handle, const PVR_TIMER* entry) {
  if (PVR_transfer_timer_entry) PVR_transfer_timer_entry(m_Handle, m_Callbacks, handle, entry);
}

void CHelper_libXBMC_pvr::TransferRecordingEntry(const ADDON_HANDLE handle,
                                                 const PVR_RECORDING* entry) {
  if (PVR_transfer_recording_entry) {
    PVR_transfer_recording_entry(m_Handle, m_Callbacks, handle, entry);
  }
}

void CHelper_libXBMC_pvr::TransferChannelGroup(const ADDON_HANDLE handle,
                                               const PVR_CHANNEL_GROUP* group) {
  if (PVR_transfer_channel_group) PVR_transfer_channel_group(m_Handle, m_Callbacks, handle, group);
}

void CHelper_libXBMC_pvr::TransferChannelGroupMember(const ADDON_HANDLE handle,
                                                     const PVR_CHANNEL_GROUP_MEMBER* member) {
  if (PVR_transfer_channel_group_member) {
    PVR_transfer_channel_group_member(m_Handle, m_Callbacks, handle, member);
  }
}

void CHelper_libXBMC_pvr::AddMenuHook(PVR_MENUHOOK* hook) {
  if (PVR_add_menu_hook) PVR_add_menu_hook(m_Handle, m_Callbacks, hook);
}

void CHelper_libXBMC_pvr::Recording(const char* name, const char* fileName, bool on) {
  if (PVR_recording) PVR_recording(m_Handle, m_Callbacks, name, fileName, on);
}

void CHelper_libXBMC_pvr::TriggerTimerUpdate() {
  if (PVR_trigger_timer_update) PVR_trigger_timer_update(m_Handle, m_Callbacks);
}

void CHelper_libXBMC_pvr::TriggerRecordingUpdate() {
  if (PVR_trigger_recording_update) PVR_trigger_recording_update(m_Handle, m_Callbacks);
}

void CHelper_libXBMC_pvr::TriggerChannelUpdate() {
  if (PVR_trigger_channel_update) PVR_trigger_channel_update(m_Handle, m_Callbacks);
}

void CHelper_libXBMC_pvr::TriggerChannelGroupsUpdate() {
  if (PVR_trigger_channel_groups_update) PVR_trigger_channel_groups_update(m_Handle, m_Callbacks);
}

void CHelper_libXBMC_pvr::TriggerEpgUpdate(unsigned int channelUid) {
  if (PVR_trigger_epg_update) PVR_trigger_epg_update(m_Handle, m_Callbacks, channelUid);
}

void CHelper_libXBMC_pvr::FreeDemuxPacket(DemuxPacket* packet) {
  if (PVR_free_demux_packet) PVR_free_demux_packet(m_Handle, m_Callbacks, packet);
}

DemuxPacket* CHelper_libXBMC_pvr::AllocateDemuxPacket(int dataSize) {
  return PVR_allocate_demux_packet ? PVR_allocate_demux_packet(m_Handle, m_Callbacks, dataSize)
                                   : nullptr;
}
