// The host's PVR library: forwards every call to the simulator's table.
#include "shims/ShimSupport.h"

using hostsim_shim::TableOf;

#define TABLE_OR(result)                          \
  const HostsimTable* t = TableOf(hdl, __func__); \
  if (t == nullptr) return result

HOSTSIM_EXPORT void* PVR_register_me(void* hdl) {
  TABLE_OR(nullptr);
  return t->registerLibrary(t->ctx, HOSTSIM_LIB_PVR);
}

HOSTSIM_EXPORT void PVR_unregister_me(void* hdl, void* cb) {
  TABLE_OR();
  t->unregisterLibrary(t->ctx, HOSTSIM_LIB_PVR, cb);
}

HOSTSIM_EXPORT void PVR_transfer_epg_entry(void* hdl, void*, const ADDON_HANDLE handle,
                                           const EPG_TAG* entry) {
  TABLE_OR();
  t->transferEpgEntry(t->ctx, handle, entry);
}

HOSTSIM_EXPORT void PVR_transfer_channel_entry(void* hdl, void*, const ADDON_HANDLE handle,
                                               const PVR_CHANNEL* entry) {
  TABLE_OR();
  t->transferChannelEntry(t->ctx, handle, entry);
}

HOSTSIM_EXPORT void PVR_transfer_timer_entry(void* hdl, void*, const ADDON_HANDLE handle,
                                             const PVR_TIMER* entry) {
  TABLE_OR();
  t->transferTimerEntry(t->ctx, handle, entry);
}

HOSTSIM_EXPORT void PVR_transfer_recording_entry(void* hdl, void*, const ADDON_HANDLE handle,
                                                 const PVR_RECORDING* entry) {
  TABLE_OR();
  t->transferRecordingEntry(t->ctx, handle, entry);
}

HOSTSIM_EXPORT void PVR_add_menu_hook(void* hdl, void*, PVR_MENUHOOK* hook) {
  TABLE_OR();
  t->addMenuHook(t->ctx, hook);
}

HOSTSIM_EXPORT void PVR_recording(void* hdl, void*, const char* name, const char* fileName,
                                  bool on) {
  TABLE_OR();
  t->recording(t->ctx, name, fileName, on);
}

HOSTSIM_EXPORT void PVR_trigger_timer_update(void* hdl, void*) {
  TABLE_OR();
  t->triggerTimerUpdate(t->ctx);
}

HOSTSIM_EXPORT void PVR_trigger_recording_update(void* hdl, void*) {
  TABLE_OR();
  t->triggerRecordingUpdate(t->ctx);
}

HOSTSIM_EXPORT void PVR_trigger_channel_update(void* hdl, void*) {
  TABLE_OR();
  t->triggerChannelUpdate(t->ctx);
}

HOSTSIM_EXPORT void PVR_trigger_channel_groups_update(void* hdl, void*) {
  TABLE_OR();
  t->triggerChannelGroupsUpdate(t->ctx);
}

HOSTSIM_EXPORT void PVR_trigger_epg_update(void* hdl, void*, unsigned int channelUid) {
  TABLE_OR();
  t->triggerEpgUpdate(t->ctx, channelUid);
}

HOSTSIM_EXPORT void PVR_transfer_channel_group(void* hdl, void*, const ADDON_HANDLE handle,
                                               const PVR_CHANNEL_GROUP* group) {
  TABLE_OR();
  t->transferChannelGroup(t->ctx, handle, group);
}

HOSTSIM_EXPORT void PVR_transfer_channel_group_member(void* hdl, void*, const ADDON_HANDLE handle,
                                                      const PVR_CHANNEL_GROUP_MEMBER* member) {
  TABLE_OR();
  t->transferChannelGroupMember(t->ctx, handle, member);
}

HOSTSIM_EXPORT void PVR_free_demux_packet(void* hdl, void*, DemuxPacket* packet) {
  TABLE_OR();
  t->freeDemuxPacket(t->ctx, packet);
}

HOSTSIM_EXPORT DemuxPacket* PVR_allocate_demux_packet(void* hdl, void*, int dataSize) {
  TABLE_OR(nullptr);
  return t->allocateDemuxPacket(t->ctx, dataSize);
}
