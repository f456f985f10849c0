// Entry points exported to the host: thin adapters that translate host
// structures and delegate to the controller.
#include <cstring>
#include <string>

#include "addon/AddonMain.h"
#include "addon/HostAdapter.h"
#include "addon/MenuHooks.h"
#include "addon/PvrBinding.h"
#include "backend/Quorvina.h"
#include "common/Globals.h"
#include "discovery/Canales.h"
#include "host/xbmc_gui_types.h"
#include "host/xbmc_pvr_types.h"
#include "live/DemuxSource.h"
#include "recordings/Recordings.h"
#include "recordings/Temporizadores.h"

#define ADDON_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr size_t kSignalText = 1024;

const char* PVRAPIVersion() {
  return XBMC_PVR_API_VERSION;
}
const char* MinPVRAPIVersion() {
  return XBMC_PVR_MIN_API_VERSION;
}
const char* GUIAPIVersion() {
  return XBMC_GUI_API_VERSION;
}
const char* MinGUIAPIVersion() {
  return XBMC_GUI_MIN_API_VERSION;
}

PVR_ERROR GetAddonCapabilities(PVR_ADDON_CAPABILITIES* caps) {
  if (caps == nullptr) return PVR_ERROR_INVALID_PARAMETERS;
  memset(caps, 0, sizeof(*caps));
  caps->bSupportsEPG = true;
  caps->bSupportsTV = true;
  caps->bSupportsRadio = false;
  caps->bSupportsRecordings = true;
  caps->bSupportsTimers = true;
  caps->bSupportsChannelGroups = true;
  caps->bSupportsChannelScan = false;
  caps->bSupportsChannelSettings = true;
  caps->bHandlesInputStream = true;
  caps->bHandlesDemuxing = true;
  caps->bSupportsRecordingFolders = true;
  caps->bSupportsRecordingPlayCount = true;
  caps->bSupportsLastPlayedPosition = false;
  return PVR_ERROR_NO_ERROR;
}

PVR_ERROR GetStreamProperties(PVR_STREAM_PROPERTIES* properties) {
  if (properties == nullptr) return PVR_ERROR_INVALID_PARAMETERS;
  if (quorvina == nullptr) return PVR_ERROR_SERVER_ERROR;
  ToHostStreamProperties(quorvina->Reproduccion().GetStreamProperties(), properties);
  return PVR_ERROR_NO_ERROR;
}

const char* GetBackendName() {
  return "PVR Quorvina";
}

const char* GetBackendVersion() {
  static const std::string version = "1.0.0";
  return version.c_str();
}

const char* GetConnectionString() {
  static const std::string connection = "conectado";
  return connection.c_str();
}

PVR_ERROR GetDriveSpace(long long* total, long long* used) {
  if (total != nullptr) *total = 0;
  if (used != nullptr) *used = 0;
  return PVR_ERROR_NO_ERROR;
}

PVR_ERROR MenuHook(const PVR_MENUHOOK& hook, const PVR_MENUHOOK_DATA& item) {
  return CallMenuHook(hook, item);
}

PVR_ERROR GetEpg(ADDON_HANDLE handle, const PVR_CHANNEL& channel, time_t start, time_t end) {
  if (PararProceso || quorvina == nullptr || PVR == nullptr) return PVR_ERROR_NO_ERROR;
  quorvina->GetEPGForChannel(channel.iUniqueId, start, end, [handle](const EPG_Quorvina& entry) {
    const EPG_TAG tag = ToHostEpgTag(entry);
    PVR->TransferEpgEntry(handle, &tag);
  });
  return PVR_ERROR_NO_ERROR;
}

int GetChannelGroupsAmount() {
  return quorvina != nullptr ? quorvina->ListaCanales().NumeroGrupos() : -1;
}

PVR_ERROR GetChannelGroups(ADDON_HANDLE handle, bool radio) {
  if (radio || quorvina == nullptr || PVR == nullptr) return PVR_ERROR_NO_ERROR;
  const auto lineUp = quorvina->ListaCanales().Snapshot();
  for (const auto& entry : lineUp->groups) {
    const PVR_CHANNEL_GROUP group = ToHostGroup(entry.second);
    PVR->TransferChannelGroup(handle, &group);
  }
  return PVR_ERROR_NO_ERROR;
}

PVR_ERROR GetChannelGroupMembers(ADDON_HANDLE handle, const PVR_CHANNEL_GROUP& group) {
  if (quorvina == nullptr || PVR == nullptr) return PVR_ERROR_NO_ERROR;
  const std::string name = HostText(group.strGroupName);
  for (const MiembroGrupo& miembro : quorvina->ListaCanales().GetChannelGroupMembers(name)) {
    const PVR_CHANNEL_GROUP_MEMBER member = ToHostMember(miembro);
    PVR->TransferChannelGroupMember(handle, &member);
  }
  return PVR_ERROR_NO_ERROR;
}

PVR_ERROR NotImplemented() {
  return PVR_ERROR_NOT_IMPLEMENTED;
}
PVR_ERROR NotImplementedChannel(const PVR_CHANNEL&) {
  return PVR_ERROR_NOT_IMPLEMENTED;
}

int GetChannelsAmount() {
  return quorvina != nullptr ? quorvina->ListaCanales().NumeroCanales() : -1;
}

PVR_ERROR GetChannels(ADDON_HANDLE handle, bool radio) {
  if (radio || quorvina == nullptr || PVR == nullptr) return PVR_ERROR_NO_ERROR;
  const auto lineUp = quorvina->ListaCanales().Snapshot();
  for (const auto& entry : lineUp->channels) {
    const PVR_CHANNEL channel = ToHostChannel(entry.second);
    PVR->TransferChannelEntry(handle, &channel);
  }
  return PVR_ERROR_NO_ERROR;
}

// Recordings: the library's list and the changes the host asks for.
int GetRecordingsAmount() {
  return quorvina != nullptr ? quorvina->Grabaciones().GetRecordingsAmount() : -1;
}
PVR_ERROR GetRecordings(ADDON_HANDLE handle) {
  if (quorvina == nullptr || PVR == nullptr) return PVR_ERROR_NO_ERROR;
  for (const DatosGrabacion& g : quorvina->Grabaciones().GetRecordings()) {
    const PVR_RECORDING recording = ToHostRecording(g);
    PVR->TransferRecordingEntry(handle, &recording);
  }
  return PVR_ERROR_NO_ERROR;
}
PVR_ERROR DeleteRecording(const PVR_RECORDING& recording) {
  if (quorvina == nullptr) return PVR_ERROR_SERVER_ERROR;
  quorvina->Grabaciones().DeleteRecording(HostText(recording.strRecordingId),
                                          HostText(recording.strStreamURL));
  return PVR_ERROR_NO_ERROR;
}
PVR_ERROR RenameRecording(const PVR_RECORDING& recording) {
  if (quorvina == nullptr) return PVR_ERROR_SERVER_ERROR;
  quorvina->Grabaciones().RenameRecording(HostText(recording.strRecordingId),
                                          HostText(recording.strTitle));
  return PVR_ERROR_NO_ERROR;
}
PVR_ERROR SetRecordingPlayCount(const PVR_RECORDING& recording, int count) {
  if (quorvina == nullptr) return PVR_ERROR_SERVER_ERROR;
  quorvina->Grabaciones().SetRecordingPlayCount(HostText(recording.strRecordingId), count);
  return PVR_ERROR_NO_ERROR;
}
PVR_ERROR SetRecordingLastPlayedPosition(const PVR_RECORDING& recording, int position) {
  if (quorvina == nullptr) return PVR_ERROR_SERVER_ERROR;
  quorvina->Grabaciones().SetRecordingLastPlayedPosition(HostText(recording.strRecordingId),
                                                         position);
  return PVR_ERROR_NO_ERROR;
}
int GetRecordingLastPlayedPosition(const PVR_RECORDING& recording) {
  if (quorvina == nullptr) return -1;
  return quorvina->Grabaciones().GetRecordingLastPlayedPosition(HostText(recording.strRecordingId));
}
PVR_ERROR GetRecordingEdl(const PVR_RECORDING&, PVR_EDL_ENTRY[], int*) {
  return PVR_ERROR_NOT_IMPLEMENTED;
}

// Timers: the set's list and the host's changes.
int GetTimersAmount() {
  return quorvina != nullptr ? quorvina->ListaTemporizadores().GetTimersAmount() : -1;
}
PVR_ERROR GetTimers(ADDON_HANDLE handle) {
  if (quorvina == nullptr || PVR == nullptr) return PVR_ERROR_NO_ERROR;
  for (const DatosTemporizador& t : quorvina->ListaTemporizadores().GetTimers()) {
    const PVR_TIMER timer = ToHostTimer(t);
    PVR->TransferTimerEntry(handle, &timer);
  }
  return PVR_ERROR_NO_ERROR;
}
PVR_ERROR AddTimer(const PVR_TIMER& timer) {
  if (quorvina == nullptr) return PVR_ERROR_SERVER_ERROR;
  return quorvina->ListaTemporizadores().AddTimer(FromHostTimer(timer)) ? PVR_ERROR_NO_ERROR
                                                                        : PVR_ERROR_REJECTED;
}
PVR_ERROR DeleteTimer(const PVR_TIMER& timer, bool force) {
  if (quorvina == nullptr) return PVR_ERROR_SERVER_ERROR;
  quorvina->ListaTemporizadores().DeleteTimer(timer.iClientIndex, force);
  return PVR_ERROR_NO_ERROR;
}
PVR_ERROR UpdateTimer(const PVR_TIMER& timer) {
  if (quorvina == nullptr) return PVR_ERROR_SERVER_ERROR;
  quorvina->ListaTemporizadores().UpdateTimer(FromHostTimer(timer));
  return PVR_ERROR_NO_ERROR;
}

bool OpenLiveStream(const PVR_CHANNEL& channel) {
  return quorvina != nullptr && quorvina->AbrirCanal(static_cast<int>(channel.iUniqueId));
}
void CloseLiveStream() {
  if (quorvina != nullptr) quorvina->CerrarCanal();
}
int ReadLiveStream(unsigned char*, unsigned int) {
  return -1;
}
long long SeekLiveStream(long long, int) {
  return -1;
}
long long PositionLiveStream() {
  return 0;
}
long long LengthLiveStream() {
  return 0;
}
int GetCurrentClientChannel() {
  return quorvina != nullptr ? quorvina->ObtenerCanalActual() : -1;
}
bool SwitchChannel(const PVR_CHANNEL& channel) {
  return quorvina != nullptr && quorvina->CambiarCanal(static_cast<int>(channel.iUniqueId));
}

PVR_ERROR SignalStatus(PVR_SIGNAL_STATUS& status) {
  snprintf(status.strAdapterName, kSignalText, "%s", "Quorvina");
  snprintf(status.strAdapterStatus, kSignalText, "%s", "OK");
  snprintf(status.strServiceName, kSignalText, "%s", "Quorvina");
  snprintf(status.strProviderName, kSignalText, "%s", "Brastoke");
  return PVR_ERROR_NO_ERROR;
}

const char* GetLiveStreamURL(const PVR_CHANNEL&) {
  return "";
}

// A cloud recording plays through the on-demand channel, never here.
bool OpenRecordedStream(const PVR_RECORDING& recording) {
  if (quorvina != nullptr) quorvina->AbrirRecording(HostText(recording.strRecordingId));
  return false;
}
void CloseRecordedStream() {}
int ReadRecordedStream(unsigned char*, unsigned int) {
  return -1;
}
long long SeekRecordedStream(long long, int) {
  return -1;
}
long long PositionRecordedStream() {
  return -1;
}
long long LengthRecordedStream() {
  return -1;
}
void DemuxNothing() {}
DemuxPacket* DemuxRead() {
  return quorvina != nullptr ? ToHostDemuxPacket(quorvina->Reproduccion().DemuxRead()) : nullptr;
}
unsigned int GetChannelSwitchDelay() {
  return 0;
}
bool CanPauseStream() {
  return true;
}
void PauseStream(bool paused) {
  if (quorvina != nullptr) quorvina->PauseStream(paused);
}
bool CanSeekStream() {
  return true;
}
bool SeekTime(int time, bool backwards, double* startPts) {
  return quorvina != nullptr && quorvina->Reproduccion().SeekTime(time, backwards, startPts);
}
void SetSpeed(int speed) {
  if (quorvina != nullptr) quorvina->SetSpeed(speed);
}
time_t GetPlayingTime() {
  return quorvina != nullptr ? quorvina->Reproduccion().GetPlayingTime() : 0;
}
time_t GetBufferTimeStart() {
  return quorvina != nullptr ? quorvina->Reproduccion().GetBufferTimeStart() : 0;
}
time_t GetBufferTimeEnd() {
  return quorvina != nullptr ? quorvina->Reproduccion().GetBufferTimeEnd() : 0;
}

}  // namespace

ADDON_EXPORT void get_addon(PVRClient* pClient) {
  if (pClient == nullptr) return;
  pClient->GetPVRAPIVersion = PVRAPIVersion;
  pClient->GetMininumPVRAPIVersion = MinPVRAPIVersion;
  pClient->GetGUIAPIVersion = GUIAPIVersion;
  pClient->GetMininumGUIAPIVersion = MinGUIAPIVersion;
  pClient->GetAddonCapabilities = GetAddonCapabilities;
  pClient->GetStreamProperties = GetStreamProperties;
  pClient->GetBackendName = GetBackendName;
  pClient->GetBackendVersion = GetBackendVersion;
  pClient->GetConnectionString = GetConnectionString;
  pClient->GetDriveSpace = GetDriveSpace;
  pClient->MenuHook = MenuHook;
  pClient->GetEpg = GetEpg;
  pClient->GetChannelGroupsAmount = GetChannelGroupsAmount;
  pClient->GetChannelGroups = GetChannelGroups;
  pClient->GetChannelGroupMembers = GetChannelGroupMembers;
  pClient->OpenDialogChannelScan = NotImplemented;
  pClient->GetChannelsAmount = GetChannelsAmount;
  pClient->GetChannels = GetChannels;
  pClient->DeleteChannel = NotImplementedChannel;
  pClient->RenameChannel = NotImplementedChannel;
  pClient->MoveChannel = NotImplementedChannel;
  pClient->OpenDialogChannelSettings = NotImplementedChannel;
  pClient->OpenDialogChannelAdd = NotImplementedChannel;
  pClient->GetRecordingsAmount = GetRecordingsAmount;
  pClient->GetRecordings = GetRecordings;
  pClient->DeleteRecording = DeleteRecording;
  pClient->RenameRecording = RenameRecording;
  pClient->SetRecordingPlayCount = SetRecordingPlayCount;
  pClient->SetRecordingLastPlayedPosition = SetRecordingLastPlayedPosition;
  pClient->GetRecordingLastPlayedPosition = GetRecordingLastPlayedPosition;
  pClient->GetRecordingEdl = GetRecordingEdl;
  pClient->GetTimersAmount = GetTimersAmount;
  pClient->GetTimers = GetTimers;
  pClient->AddTimer = AddTimer;
  pClient->DeleteTimer = DeleteTimer;
  pClient->UpdateTimer = UpdateTimer;
  pClient->OpenLiveStream = OpenLiveStream;
  pClient->CloseLiveStream = CloseLiveStream;
  pClient->ReadLiveStream = ReadLiveStream;
  pClient->SeekLiveStream = SeekLiveStream;
  pClient->PositionLiveStream = PositionLiveStream;
  pClient->LengthLiveStream = LengthLiveStream;
  pClient->GetCurrentClientChannel = GetCurrentClientChannel;
  pClient->SwitchChannel = SwitchChannel;
  pClient->SignalStatus = SignalStatus;
  pClient->GetLiveStreamURL = GetLiveStreamURL;
  pClient->OpenRecordedStream = OpenRecordedStream;
  pClient->CloseRecordedStream = CloseRecordedStream;
  pClient->ReadRecordedStream = ReadRecordedStream;
  pClient->SeekRecordedStream = SeekRecordedStream;
  pClient->PositionRecordedStream = PositionRecordedStream;
  pClient->LengthRecordedStream = LengthRecordedStream;
  pClient->DemuxReset = DemuxNothing;
  pClient->DemuxAbort = DemuxNothing;
  pClient->DemuxFlush = DemuxNothing;
  pClient->DemuxRead = DemuxRead;
  pClient->GetChannelSwitchDelay = GetChannelSwitchDelay;
  pClient->CanPauseStream = CanPauseStream;
  pClient->PauseStream = PauseStream;
  pClient->CanSeekStream = CanSeekStream;
  pClient->SeekTime = SeekTime;
  pClient->SetSpeed = SetSpeed;
  pClient->GetPlayingTime = GetPlayingTime;
  pClient->GetBufferTimeStart = GetBufferTimeStart;
  pClient->GetBufferTimeEnd = GetBufferTimeEnd;
}

ADDON_EXPORT ADDON_STATUS ADDON_Create(void* callbacks, void* properties) {
  return AddonCreate(callbacks, properties);
}
ADDON_EXPORT ADDON_STATUS ADDON_GetStatus() {
  return m_CurStatus;
}
ADDON_EXPORT bool ADDON_HasSettings() {
  return true;
}
ADDON_EXPORT unsigned int ADDON_GetSettings(void** /*settings*/) {
  return 0;
}
ADDON_EXPORT void ADDON_FreeSettings() {}
ADDON_EXPORT ADDON_STATUS ADDON_SetSetting(const char* name, const void* value) {
  AddonSetSetting(name, value);
  return ADDON_STATUS_OK;
}
ADDON_EXPORT void ADDON_Stop() {
  AddonStop();
}
ADDON_EXPORT void ADDON_Announce(const char* /*flag*/, const char* /*sender*/, const char* message,
                                 const void* /*data*/) {
  AddonAnnounce(message);
}
ADDON_EXPORT void ADDON_Destroy() {
  AddonDestroy();
}
