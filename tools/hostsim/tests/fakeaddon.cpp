// A tiny PVR add-on for hostsim's own tests. Like a real one it loads the
// three host libraries itself from the callback block's folder, resolves every
// symbol (failing with status 6 when one is missing) and calls the host back
// through them. Its menu hooks exercise dialogs, triggers and demux packets;
// everything it observes goes to the host log as "fake: ..." lines.
#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "host/xbmc_host_api.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Binding {
  void* library = nullptr;
  void* handle = nullptr;  // what register_me returned
  std::map<std::string, void*> symbols;
};

AddonCB* g_callbacks = nullptr;
Binding g_addon, g_pvr, g_gui;
std::atomic<int> g_getChannelsCalls{0};
CAddonGUIWindow* g_shown = nullptr;

const std::vector<const char*> kAddonSymbols = {"XBMC_register_me",
                                                "XBMC_unregister_me",
                                                "XBMC_log",
                                                "XBMC_get_setting",
                                                "XBMC_queue_notification",
                                                "XBMC_wake_on_lan",
                                                "XBMC_unknown_to_utf8",
                                                "XBMC_get_localized_string",
                                                "XBMC_free_string",
                                                "XBMC_get_dvd_menu_language",
                                                "XBMC_open_file",
                                                "XBMC_open_file_for_write",
                                                "XBMC_read_file",
                                                "XBMC_read_file_string",
                                                "XBMC_write_file",
                                                "XBMC_flush_file",
                                                "XBMC_seek_file",
                                                "XBMC_truncate_file",
                                                "XBMC_get_file_position",
                                                "XBMC_get_file_length",
                                                "XBMC_close_file",
                                                "XBMC_get_file_chunk_size",
                                                "XBMC_file_exists",
                                                "XBMC_stat_file",
                                                "XBMC_delete_file",
                                                "XBMC_can_open_directory",
                                                "XBMC_create_directory",
                                                "XBMC_directory_exists",
                                                "XBMC_remove_directory"};
const std::vector<const char*> kPvrSymbols = {"PVR_register_me",
                                              "PVR_unregister_me",
                                              "PVR_transfer_epg_entry",
                                              "PVR_transfer_channel_entry",
                                              "PVR_transfer_timer_entry",
                                              "PVR_transfer_recording_entry",
                                              "PVR_add_menu_hook",
                                              "PVR_recording",
                                              "PVR_trigger_timer_update",
                                              "PVR_trigger_recording_update",
                                              "PVR_trigger_channel_update",
                                              "PVR_trigger_channel_groups_update",
                                              "PVR_trigger_epg_update",
                                              "PVR_transfer_channel_group",
                                              "PVR_transfer_channel_group_member",
                                              "PVR_free_demux_packet",
                                              "PVR_allocate_demux_packet"};
const std::vector<const char*> kGuiSymbols = {"GUI_register_me",
                                              "GUI_unregister_me",
                                              "GUI_lock",
                                              "GUI_unlock",
                                              "GUI_get_screen_height",
                                              "GUI_get_screen_width",
                                              "GUI_get_video_resolution",
                                              "GUI_Window_create",
                                              "GUI_Window_destroy",
                                              "GUI_control_get_spin",
                                              "GUI_control_release_spin",
                                              "GUI_control_get_radiobutton",
                                              "GUI_control_release_radiobutton",
                                              "GUI_control_get_progress",
                                              "GUI_control_release_progress",
                                              "GUI_ListItem_create",
                                              "GUI_ListItem_destroy",
                                              "GUI_control_get_rendering",
                                              "GUI_control_release_rendering"};

template <typename F>
F fn(Binding& b, const char* name) {
  return reinterpret_cast<F>(b.symbols[name]);
}

bool bind(Binding& b, const char* relative, const std::vector<const char*>& names) {
  std::string path = std::string(g_callbacks->libBasePath) + relative;
  b.library = dlopen(path.c_str(), RTLD_LAZY);
  if (b.library == nullptr) {
    std::fprintf(stderr, "Unable to load %s\n", dlerror());
    return false;
  }
  for (const char* name : names) {
    void* s = dlsym(b.library, name);
    if (s == nullptr) {
      std::fprintf(stderr, "Unable to assign function %s\n", dlerror());
      return false;
    }
    b.symbols[name] = s;
  }
  b.handle = reinterpret_cast<void* (*)(void*)>(b.symbols[names[0]])(g_callbacks);
  return b.handle != nullptr;
}

void release(Binding& b, const char* unregister) {
  if (b.handle)
    reinterpret_cast<void (*)(void*, void*)>(b.symbols[unregister])(g_callbacks, b.handle);
  if (b.library) dlclose(b.library);
  b = Binding();
}

void log(const std::string& text) {
  fn<XBMC_log_t>(g_addon, "XBMC_log")(g_callbacks, g_addon.handle, LOG_NOTICE,
                                      ("fake: " + text).c_str());
}

std::string hostString(char* s) {
  std::string out = s ? s : "(null)";
  fn<XBMC_free_string_t>(g_addon, "XBMC_free_string")(g_callbacks, g_addon.handle, s);
  return out;
}

void readSettings() {
  auto get = fn<XBMC_get_setting_t>(g_addon, "XBMC_get_setting");
  char text[1024];
  int number = 0;
  bool flag = false;
  float real = 0;
  auto report = [](const char* key, bool ok, const std::string& value) {
    log(std::string("setting ") + key + (ok ? "=" + value : " unreadable"));
  };
  bool ok = get(g_callbacks, g_addon.handle, "host", text);
  report("host", ok, ok ? text : "");
  ok = get(g_callbacks, g_addon.handle, "port", &number);
  report("port", ok, std::to_string(number));
  ok = get(g_callbacks, g_addon.handle, "debug", &flag);
  report("debug", ok, flag ? "true" : "false");
  ok = get(g_callbacks, g_addon.handle, "window", &real);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2f", real);
  report("window", ok, buffer);
  ok = get(g_callbacks, g_addon.handle, "mode", &number);
  report("mode", ok, std::to_string(number));
  ok = get(g_callbacks, g_addon.handle, "absent", text);
  report("absent", ok, ok ? text : "");
}

// Dialogs. The callback handle is the dialog itself.
struct Dialog {
  CAddonGUIWindow* window = nullptr;
  bool result = false;
  bool stubborn = false;
};

bool onInit(GUIHANDLE) {
  return true;
}
bool onFocus(GUIHANDLE, int) {
  return true;
}
bool onClick(GUIHANDLE h, int id) {
  auto* d = static_cast<Dialog*>(h);
  if (d->stubborn) return true;
  if (id == 11) d->result = true;
  if (id == 10 || id == 11) d->window->Close();
  return true;
}
bool onAction(GUIHANDLE h, int action) {
  auto* d = static_cast<Dialog*>(h);
  if (d->stubborn) return false;
  if (action == 10 || action == 51 || action == 92 || action == 275) {
    d->window->Close();
    return true;
  }
  return false;
}

CAddonGUIWindow* createWindow(const char* file, Dialog& d) {
  auto create = fn<GUI_Window_create_t>(g_gui, "GUI_Window_create");
  CAddonGUIWindow* w = create(g_callbacks, g_gui.handle, file, "", true, true);
  if (w == nullptr) return nullptr;
  d.window = w;
  w->m_cbhdl = &d;
  w->CBOnInit = onInit;
  w->CBOnFocus = onFocus;
  w->CBOnClick = onClick;
  w->CBOnAction = onAction;
  return w;
}

void destroyWindow(CAddonGUIWindow* w) {
  fn<GUI_Window_destroy_t>(g_gui, "GUI_Window_destroy")(w);
}

void yesNoDialog(bool badLabel) {
  Dialog d;
  CAddonGUIWindow* w = createWindow("DialogSiNo.xml", d);
  if (w == nullptr) return log("yesno window missing");
  w->SetControlLabel(1, "Pregunta");
  w->SetControlLabel(9, "¿Recargar los canales?");
  if (badLabel) w->SetControlLabel(99, "nowhere");
  w->DoModal();
  destroyWindow(w);
  log(std::string("yesno=") + (d.result ? "1" : "0"));
}

void optionsDialog() {
  Dialog d;
  CAddonGUIWindow* w = createWindow("DialogOpciones.xml", d);
  if (w == nullptr) return log("options window missing");
  auto getSpin = fn<GUI_control_get_spin_t>(g_gui, "GUI_control_get_spin");
  auto getRadio = fn<GUI_control_get_radiobutton_t>(g_gui, "GUI_control_get_radiobutton");
  CAddonGUISpinControl* spin = getSpin(g_callbacks, g_gui.handle, w, 15);
  CAddonGUIRadioButton* radio = getRadio(g_callbacks, g_gui.handle, w, 7);
  spin->AddLabel("", 0);
  for (int i = 1; i <= 50; ++i) spin->AddLabel(("T. " + std::to_string(i)).c_str(), i);
  spin->SetValue(0);
  radio->SetSelected(false);
  w->DoModal();
  log("options spin15=" + std::to_string(spin->GetValue()) +
      " radio7=" + (radio->IsSelected() ? "1" : "0") + " ok=" + (d.result ? "1" : "0"));
  fn<GUI_control_release_spin_t>(g_gui, "GUI_control_release_spin")(spin);
  fn<GUI_control_release_radiobutton_t>(g_gui, "GUI_control_release_radiobutton")(radio);
  destroyWindow(w);
}

void stubbornDialog() {
  Dialog d;
  d.stubborn = true;
  CAddonGUIWindow* w = createWindow("DialogSiNo.xml", d);
  if (w == nullptr) return;
  w->DoModal();
  destroyWindow(w);
  log("stubborn done");
}

Dialog g_listDialog;

void showList() {
  CAddonGUIWindow* w = createWindow("ListWindow.xml", g_listDialog);
  if (w == nullptr) return log("list window missing");
  auto create = fn<GUI_ListItem_create_t>(g_gui, "GUI_ListItem_create");
  CAddonListItem* item = create(g_callbacks, g_gui.handle, "Serie A", "lunes", "", "", "");
  w->AddItem(item);
  fn<GUI_ListItem_destroy_t>(g_gui, "GUI_ListItem_destroy")(item);
  w->AddStringItem("Serie B");
  w->SetProperty("Titulo", "Series");
  g_shown = w;
  w->Show();
}

void demuxPackets() {
  auto alloc = fn<PVR_allocate_demux_packet_t>(g_pvr, "PVR_allocate_demux_packet");
  auto release = fn<PVR_free_demux_packet_t>(g_pvr, "PVR_free_demux_packet");
  DemuxPacket* kept1 = alloc(g_callbacks, g_pvr.handle, 188);
  DemuxPacket* kept2 = alloc(g_callbacks, g_pvr.handle, 1316);
  DemuxPacket* freed = alloc(g_callbacks, g_pvr.handle, 64);
  std::memset(freed->pData, 0x47, 64);
  release(g_callbacks, g_pvr.handle, freed);
  log("demux sizes " + std::to_string(kept1->iSize) + " " + std::to_string(kept2->iSize));
}

// The PVR side: three channels in one group, two guide entries per channel.
int getChannelsAmount() {
  return 3;
}

PVR_ERROR getChannels(ADDON_HANDLE handle, bool radio) {
  log("GetChannels call " + std::to_string(++g_getChannelsCalls));
  if (radio) return PVR_ERROR_NO_ERROR;
  auto transfer = fn<PVR_transfer_channel_entry_t>(g_pvr, "PVR_transfer_channel_entry");
  for (unsigned i = 1; i <= 3; ++i) {
    PVR_CHANNEL c;
    std::memset(&c, 0, sizeof c);
    c.iUniqueId = 100 + i;
    c.iChannelNumber = i;
    std::snprintf(c.strChannelName, sizeof c.strChannelName, "Canal %u", i);
    std::snprintf(c.strIconPath, sizeof c.strIconPath, "/logos/%u.png", i);
    transfer(g_callbacks, g_pvr.handle, handle, &c);
  }
  return PVR_ERROR_NO_ERROR;
}

int getChannelGroupsAmount() {
  return 1;
}

PVR_ERROR getChannelGroups(ADDON_HANDLE handle, bool radio) {
  if (radio) return PVR_ERROR_NO_ERROR;
  PVR_CHANNEL_GROUP g;
  std::memset(&g, 0, sizeof g);
  std::snprintf(g.strGroupName, sizeof g.strGroupName, "Todos");
  fn<PVR_transfer_channel_group_t>(g_pvr, "PVR_transfer_channel_group")(g_callbacks, g_pvr.handle,
                                                                        handle, &g);
  return PVR_ERROR_NO_ERROR;
}

PVR_ERROR getChannelGroupMembers(ADDON_HANDLE handle, const PVR_CHANNEL_GROUP& group) {
  auto transfer =
      fn<PVR_transfer_channel_group_member_t>(g_pvr, "PVR_transfer_channel_group_member");
  for (unsigned i = 1; i <= 3; ++i) {
    PVR_CHANNEL_GROUP_MEMBER m;
    std::memset(&m, 0, sizeof m);
    std::snprintf(m.strGroupName, sizeof m.strGroupName, "%s", group.strGroupName);
    m.iChannelUniqueId = 100 + i;
    m.iChannelNumber = i;
    transfer(g_callbacks, g_pvr.handle, handle, &m);
  }
  return PVR_ERROR_NO_ERROR;
}

PVR_ERROR getEpg(ADDON_HANDLE handle, const PVR_CHANNEL& channel, time_t start, time_t) {
  log("GetEpg channel " + std::to_string(channel.iUniqueId) + " name " + channel.strChannelName);
  auto transfer = fn<PVR_transfer_epg_entry_t>(g_pvr, "PVR_transfer_epg_entry");
  for (int k = 0; k < 2; ++k) {
    // Texts live only during the call: the host must copy them.
    std::string title = "Programa " + std::to_string(channel.iUniqueId) + "-" + std::to_string(k);
    EPG_TAG tag;
    std::memset(&tag, 0, sizeof tag);
    tag.iUniqueBroadcastId = channel.iUniqueId * 10 + k;
    tag.strTitle = title.c_str();
    tag.strPlot = "Argumento";
    tag.startTime = start + 3600 * k;
    tag.endTime = start + 3600 * (k + 1);
    tag.iChannelNumber = channel.iChannelNumber;
    transfer(g_callbacks, g_pvr.handle, handle, &tag);
  }
  return PVR_ERROR_NO_ERROR;
}

PVR_ERROR getTimers(ADDON_HANDLE handle) {
  PVR_TIMER t;
  std::memset(&t, 0, sizeof t);
  t.iClientIndex = 7;
  t.iClientChannelUid = 101;
  t.state = PVR_TIMER_STATE_SCHEDULED;
  std::snprintf(t.strTitle, sizeof t.strTitle, "Noticias");
  fn<PVR_transfer_timer_entry_t>(g_pvr, "PVR_transfer_timer_entry")(g_callbacks, g_pvr.handle,
                                                                    handle, &t);
  return PVR_ERROR_NO_ERROR;
}

PVR_ERROR getRecordings(ADDON_HANDLE handle) {
  PVR_RECORDING r;
  std::memset(&r, 0, sizeof r);
  std::snprintf(r.strRecordingId, sizeof r.strRecordingId, "rec-7");
  std::snprintf(r.strTitle, sizeof r.strTitle, "Documental");
  // A title that fills its field without a terminator: the host must cut it.
  std::memset(r.strPlot, 'x', sizeof r.strPlot);
  fn<PVR_transfer_recording_entry_t>(g_pvr, "PVR_transfer_recording_entry")(
      g_callbacks, g_pvr.handle, handle, &r);
  return PVR_ERROR_NO_ERROR;
}

PVR_ERROR menuHook(const PVR_MENUHOOK& hook, const PVR_MENUHOOK_DATA& data) {
  switch (hook.iHookId) {
    case 1:
      yesNoDialog(false);
      break;
    case 2:
      for (int i = 0; i < 5; ++i)
        fn<PVR_trigger_channel_update_t>(g_pvr, "PVR_trigger_channel_update")(g_callbacks,
                                                                              g_pvr.handle);
      break;
    case 3:
      log(std::string("recording hook id=") + data.data.recording.strRecordingId);
      break;
    case 4:
      demuxPackets();
      break;
    case 5:
      optionsDialog();
      break;
    case 6:
      stubbornDialog();
      break;
    case 7:
      showList();
      break;
    case 8:
      log("epg hook uid=" + std::to_string(data.data.iEpgUid));
      break;
    case 9:
      fn<PVR_trigger_epg_update_t>(g_pvr, "PVR_trigger_epg_update")(g_callbacks, g_pvr.handle, 102);
      fn<PVR_trigger_timer_update_t>(g_pvr, "PVR_trigger_timer_update")(g_callbacks, g_pvr.handle);
      break;
    case 10: {
      Dialog d;
      log(createWindow("Missing.xml", d) ? "missing window created" : "missing window null");
      break;
    }
    case 11:
      yesNoDialog(true);
      break;
    default:
      return PVR_ERROR_INVALID_PARAMETERS;
  }
  return PVR_ERROR_NO_ERROR;
}

// Live stream: a stream-change packet, then 100 packets alternating between
// the two streams, then nothing. Packets come 2 ms apart, like a live stream.
std::atomic<int> g_sent{-1};

bool openLiveStream(const PVR_CHANNEL& channel) {
  if (channel.iUniqueId < 101 || channel.iUniqueId > 103) return false;
  g_sent = 0;
  return true;
}

void closeLiveStream() {
  g_sent = -1;
}

// MPEG-2 video 720x576 and MPEG audio layer II in Spanish (FFmpeg's codec ids).
PVR_ERROR streamProperties(PVR_STREAM_PROPERTIES* p) {
  std::memset(p, 0, sizeof *p);
  p->iStreamCount = 2;
  p->stream[0].iPhysicalId = 0;
  p->stream[0].iCodecType = XBMC_CODEC_TYPE_VIDEO;
  p->stream[0].iCodecId = 2;
  p->stream[0].iWidth = 720;
  p->stream[0].iHeight = 576;
  p->stream[1].iPhysicalId = 1;
  p->stream[1].iCodecType = XBMC_CODEC_TYPE_AUDIO;
  p->stream[1].iCodecId = 86016;
  p->stream[1].iSampleRate = 48000;
  p->stream[1].iChannels = 2;
  std::memcpy(p->stream[1].strLanguage, "spa", 4);
  return PVR_ERROR_NO_ERROR;
}

void pauseStream(bool pause) {
  log(std::string("PauseStream ") + (pause ? "true" : "false"));
}

void setSpeed(int speed) {
  log("SetSpeed " + std::to_string(speed));
}

time_t playingTime() {
  return 1000;
}

DemuxPacket* demuxRead() {
  int n = g_sent;
  if (n < 0 || n > 100) return nullptr;
  g_sent = n + 1;
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  auto alloc = fn<PVR_allocate_demux_packet_t>(g_pvr, "PVR_allocate_demux_packet");
  if (n == 0) {
    DemuxPacket* change = alloc(g_callbacks, g_pvr.handle, 0);
    change->iStreamId = DMX_SPECIALID_STREAMCHANGE;
    return change;
  }
  DemuxPacket* p = alloc(g_callbacks, g_pvr.handle, 188);
  p->iStreamId = n % 2;
  // 20 ms apart, with a jump of two seconds after packet 60.
  p->pts = p->dts = n * 20000.0 + (n > 60 ? 2000000.0 : 0.0);
  std::memset(p->pData, 0x47, 188);
  return p;
}

const char* backendName() {
  return "Fake Backend";
}
const char* apiVersion() {
  return XBMC_PVR_API_VERSION;
}
const char* guiVersion() {
  return XBMC_GUI_API_VERSION;
}

PVR_ERROR capabilities(PVR_ADDON_CAPABILITIES* caps) {
  std::memset(caps, 0, sizeof *caps);
  caps->bSupportsEPG = true;
  caps->bSupportsTV = true;
  caps->bSupportsChannelGroups = true;
  return PVR_ERROR_NO_ERROR;
}

void addHook(unsigned id, unsigned stringId, PVR_MENUHOOK_CAT cat) {
  PVR_MENUHOOK h{id, stringId, cat};
  fn<PVR_add_menu_hook_t>(g_pvr, "PVR_add_menu_hook")(g_callbacks, g_pvr.handle, &h);
}

}  // namespace

FAKE_EXPORT void get_addon(PVRClient* c) {
  c->GetPVRAPIVersion = apiVersion;
  c->GetMininumPVRAPIVersion = apiVersion;
  c->GetGUIAPIVersion = guiVersion;
  c->GetMininumGUIAPIVersion = guiVersion;
  c->GetAddonCapabilities = capabilities;
  c->GetBackendName = backendName;
  c->GetBackendVersion = apiVersion;
  c->GetConnectionString = backendName;
  c->MenuHook = menuHook;
  c->GetEpg = getEpg;
  c->GetChannelGroupsAmount = getChannelGroupsAmount;
  c->GetChannelGroups = getChannelGroups;
  c->GetChannelGroupMembers = getChannelGroupMembers;
  c->GetChannelsAmount = getChannelsAmount;
  c->GetChannels = getChannels;
  c->GetTimers = getTimers;
  c->GetRecordings = getRecordings;
  c->OpenLiveStream = openLiveStream;
  c->CloseLiveStream = closeLiveStream;
  c->GetStreamProperties = streamProperties;
  c->DemuxRead = demuxRead;
  c->PauseStream = pauseStream;
  c->SetSpeed = setSpeed;
  c->GetPlayingTime = playingTime;
}

FAKE_EXPORT int ADDON_Create(void* callbacks, void* props) {
  if (callbacks == nullptr || props == nullptr) return ADDON_STATUS_UNKNOWN;
  g_callbacks = static_cast<AddonCB*>(callbacks);
  g_getChannelsCalls = 0;
  g_shown = nullptr;
  if (!bind(g_addon, XBMC_ADDON_LIBRARY_PATH, kAddonSymbols)) {
    release(g_addon, "XBMC_unregister_me");
    return ADDON_STATUS_PERMANENT_FAILURE;
  }
  if (!bind(g_pvr, XBMC_PVR_LIBRARY_PATH, kPvrSymbols) ||
      !bind(g_gui, XBMC_GUI_LIBRARY_PATH, kGuiSymbols)) {
    release(g_pvr, "PVR_unregister_me");
    release(g_addon, "XBMC_unregister_me");
    release(g_gui, "GUI_unregister_me");
    return ADDON_STATUS_PERMANENT_FAILURE;
  }
  const auto* p = static_cast<PVR_PROPERTIES*>(props);
  log(std::string("created user=") + p->strUserPath + " client=" + p->strClientPath);
  readSettings();
  log("string 30500=" +
      hostString(fn<XBMC_get_localized_string_t>(g_addon, "XBMC_get_localized_string")(
          g_callbacks, g_addon.handle, 30500)));
  log("utf8=" + hostString(fn<XBMC_unknown_to_utf8_t>(g_addon, "XBMC_unknown_to_utf8")(
                    g_callbacks, g_addon.handle, "Canci\xf3n")));
  for (unsigned id = 1; id <= 11; ++id)
    addHook(id, 30200 + id,
            id == 3   ? PVR_MENUHOOK_RECORDING
            : id == 8 ? PVR_MENUHOOK_EPG
                      : PVR_MENUHOOK_ALL);
  return ADDON_STATUS_OK;
}

FAKE_EXPORT void ADDON_Destroy() {
  if (g_shown) destroyWindow(g_shown);
  g_shown = nullptr;
  release(g_pvr, "PVR_unregister_me");
  release(g_addon, "XBMC_unregister_me");
  release(g_gui, "GUI_unregister_me");
}

FAKE_EXPORT void ADDON_Stop() {
  log("stop");
}
FAKE_EXPORT int ADDON_GetStatus() {
  return ADDON_STATUS_OK;
}
FAKE_EXPORT bool ADDON_HasSettings() {
  return true;
}
FAKE_EXPORT unsigned int ADDON_GetSettings(void*) {
  return 0;
}
FAKE_EXPORT void ADDON_FreeSettings() {}

FAKE_EXPORT int ADDON_SetSetting(const char* name, const void* value) {
  std::string n = name;
  if (n == "port")
    log("SetSetting port=" + std::to_string(*static_cast<const int*>(value)));
  else if (n == "host")
    log("SetSetting host=" + std::string(static_cast<const char*>(value)));
  else if (n == "debug")
    log(std::string("SetSetting debug=") + (*static_cast<const bool*>(value) ? "true" : "false"));
  return ADDON_STATUS_OK;
}

FAKE_EXPORT void ADDON_Announce(const char*, const char*, const char* message, const void*) {
  log(std::string("announce ") + message);
}
