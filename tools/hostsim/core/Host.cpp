#include "core/Host.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <thread>

#include "core/TestNetwork.h"

#ifndef HOSTSIM_DEFAULT_HOST_LIB_DIR
#define HOSTSIM_DEFAULT_HOST_LIB_DIR ""
#endif

namespace hostsim {

namespace {

bool isDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool makeDirectories(const std::string& path) {
  if (path.empty()) return false;
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string part = path.substr(0, slash);
    if (!part.empty() && ::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  return isDirectory(path);
}

std::string absolute(const std::string& path) {
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

std::string text(const char* s) {
  return s ? std::string(s) : std::string("(null)");
}

const char* const kLibraryNames[3] = {"add-on", "PVR", "GUI"};

}  // namespace

std::vector<std::pair<const char*, bool>> capabilityFlags(const PVR_ADDON_CAPABILITIES& c) {
  return {{"bSupportsEPG", c.bSupportsEPG},
          {"bSupportsTV", c.bSupportsTV},
          {"bSupportsRadio", c.bSupportsRadio},
          {"bSupportsRecordings", c.bSupportsRecordings},
          {"bSupportsTimers", c.bSupportsTimers},
          {"bSupportsChannelGroups", c.bSupportsChannelGroups},
          {"bSupportsChannelScan", c.bSupportsChannelScan},
          {"bSupportsChannelSettings", c.bSupportsChannelSettings},
          {"bHandlesInputStream", c.bHandlesInputStream},
          {"bHandlesDemuxing", c.bHandlesDemuxing},
          {"bSupportsRecordingFolders", c.bSupportsRecordingFolders},
          {"bSupportsRecordingPlayCount", c.bSupportsRecordingPlayCount},
          {"bSupportsLastPlayedPosition", c.bSupportsLastPlayedPosition}};
}

const char* statusName(int status) {
  switch (status) {
    case ADDON_STATUS_OK:
      return "ok";
    case ADDON_STATUS_LOST_CONNECTION:
      return "lost connection";
    case ADDON_STATUS_NEED_RESTART:
      return "needs restart";
    case ADDON_STATUS_NEED_SETTINGS:
      return "needs settings";
    case ADDON_STATUS_UNKNOWN:
      return "unknown";
    case ADDON_STATUS_NEED_SAVEDSETTINGS:
      return "needs saved settings";
    case ADDON_STATUS_PERMANENT_FAILURE:
      return "permanent failure";
    default:
      return "unexpected status";
  }
}

const char* pvrErrorName(int error) {
  switch (error) {
    case PVR_ERROR_NO_ERROR:
      return "no error";
    case PVR_ERROR_UNKNOWN:
      return "unknown";
    case PVR_ERROR_NOT_IMPLEMENTED:
      return "not implemented";
    case PVR_ERROR_SERVER_ERROR:
      return "server error";
    case PVR_ERROR_SERVER_TIMEOUT:
      return "server timeout";
    case PVR_ERROR_REJECTED:
      return "rejected";
    case PVR_ERROR_ALREADY_PRESENT:
      return "already present";
    case PVR_ERROR_INVALID_PARAMETERS:
      return "invalid parameters";
    case PVR_ERROR_RECORDING_RUNNING:
      return "recording running";
    case PVR_ERROR_FAILED:
      return "failed";
    default:
      return "unexpected error";
  }
}

Host::Host(HostOptions options)
    : options_(std::move(options)),
      files_([this](const std::string& e) { journal_.hostError(e); }),
      pvr_([this](const std::string& e) { journal_.hostError(e); }),
      demux_([this](const std::string& e) { journal_.hostError(e); }),
      gui_(journal_, strings_),
      followUps_([this](const FollowUp& f) { runFollowUp(f); }, options_.followUpDelay),
      playback_(std::make_unique<LivePlayback>(*this)),
      jsonRpc_(std::make_unique<JsonRpc>(*this)) {
  journal_.setEcho(options_.echo);
  journal_.setQuietLog(options_.quietLog);
  // Keeps the host's own FFmpeg linked in (see the build file).
  (void)avformat_version();
}

namespace {
std::set<std::string> threadIds() {
  std::set<std::string> ids;
  if (DIR* dir = opendir("/proc/self/task")) {
    while (dirent* entry = readdir(dir))
      if (entry->d_name[0] != '.') ids.insert(entry->d_name);
    closedir(dir);
  }
  return ids;
}
}  // namespace

Host::~Host() {
  unload();
}

LoadResult Host::load() {
  LoadResult result;
  if (loaded_) {
    result.message = "an add-on is loaded already";
    return result;
  }
  if (!options_.realNetwork) {
    result.message = outsideTestNetwork(networkInterfaces());
    if (!result.message.empty()) {
      result.outsideTestNetwork = true;
      journal_.hostError(result.message);
      return result;
    }
  }
  if (!isDirectory(options_.addonDir)) {
    result.message = "add-on folder not found: " + options_.addonDir;
    journal_.hostError(result.message);
    return result;
  }
  if (!makeDirectories(options_.userDir)) {
    result.message = "cannot create the user folder " + options_.userDir;
    journal_.hostError(result.message);
    return result;
  }
  clientPath_ = absolute(options_.addonDir);
  userPath_ = absolute(options_.userDir) + "/";
  libBasePath_ = options_.hostLibDir.empty() ? HOSTSIM_DEFAULT_HOST_LIB_DIR : options_.hostLibDir;
  if (!isDirectory(libBasePath_))
    journal_.hostError("host library folder not found: " + libBasePath_);

  std::string po = clientPath_ + "/resources/language/Spanish/strings.po";
  StringTableResult strings = strings_.loadFile(po);
  if (!strings.ok) journal_.hostError("language file: " + strings.error);
  for (const auto& w : strings.warnings) journal_.hostError("strings.po " + w);
  SettingsResult defs = settings_.loadDefinitions(clientPath_ + "/resources/settings.xml");
  if (!defs) journal_.hostError("settings definitions: " + defs.error);
  SettingsResult values = settings_.loadValues(userPath_ + "settings.xml");
  if (!values) journal_.hostError("user settings: " + values.error);
  if (options_.fillDefaults) settings_.fillDefaults();
  if (options_.diskFullAfter >= 0)
    files_.limitFolders({settings_.value("recordfolder"), userPath_}, options_.diskFullAfter);
  gui_.setSkinFolder(clientPath_ + "/resources/skins/Default/720p");

  threadsBeforeLoad_ = threadIds();
  AddonOpenResult opened = addon_.open(clientPath_);
  for (const auto& w : opened.warnings) journal_.hostError(w);
  if (!opened) {
    result.message = opened.error;
    journal_.hostError(result.message);
    return result;
  }
  loaded_ = true;

  table_ = makeHostTable(*this);
  callbacks_.libBasePath = libBasePath_.c_str();
  callbacks_.addonData = &table_;
  properties_.strUserPath = userPath_.c_str();
  properties_.strClientPath = clientPath_.c_str();
  followUps_.setReady(false);
  followUps_.start();

  if (options_.jsonRpc) {
    std::string error;
    if (jsonRpc_->start(options_.jsonRpcPort, error))
      journal_.host("JSON-RPC server on port " + std::to_string(jsonRpc_->port()));
    else
      journal_.hostError("JSON-RPC server not started: " + error);
  }
  journal_.host("loading " + addon_.libraryPath());
  result.status = addon_.exports().create(&callbacks_, &properties_);
  if (result.status != ADDON_STATUS_OK) {
    result.message = std::string("add-on failed to start: ") + statusName(result.status) + " (" +
                     std::to_string(result.status) + ")";
    journal_.hostError(result.message);
    unload();
    return result;
  }
  created_ = true;
  followUps_.setReady(true);
  result.ok = true;
  result.message = "add-on started";
  journal_.host(result.message);
  return result;
}

void Host::unload() {
  if (!loaded_) return;
  // As the host does on its way out: no more remote requests, the player
  // stops (CloseLiveStream), then the add-on goes.
  jsonRpc_->stop();
  playback_->stop();
  followUps_.setReady(false);
  followUps_.cancelPending();
  followUps_.stop();
  gui_.drain(options_.windowDrain);
  if (created_.exchange(false)) {
    journal_.host("ADDON_Destroy");
    addon_.exports().destroy();
  }
  gui_.shutdown();
  checkAfterDestroy();
  checkThreadsAfterDestroy();
  if (options_.keepLoaded)
    addon_.abandon();
  else
    addon_.close();
  loaded_ = false;
  journal_.host("add-on unloaded");
}

void Host::checkThreadsAfterDestroy() {
  // A joined thread leaves /proc a moment after its join returns.
  std::vector<std::pair<std::string, std::string>> alive;
  for (int attempt = 0; attempt < 10; ++attempt) {
    alive.clear();
    for (const std::string& tid : threadIds()) {
      if (threadsBeforeLoad_.count(tid) != 0) continue;
      std::ifstream comm("/proc/self/task/" + tid + "/comm");
      std::string name;
      std::getline(comm, name);
      if (!comm || name.rfind("hostsim-", 0) == 0) continue;  // gone meanwhile, or ours
      alive.emplace_back(tid, name);
    }
    if (alive.empty()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  for (const auto& t : alive)
    journal_.hostError("add-on thread still alive after destroy: " + t.second + " (" + t.first +
                       ")");
}

void Host::checkAfterDestroy() {
  {
    std::lock_guard<std::mutex> lock(registrationMutex_);
    for (int i = 0; i < 3; ++i) {
      if (registrations_[i] != 0)
        journal_.hostError(std::string("the add-on did not unregister from the ") +
                           kLibraryNames[i] + " library");
      registrations_[i] = 0;
    }
  }
  if (size_t n = files_.closeAll())
    journal_.hostError("the add-on left " + std::to_string(n) + " files open");
  if (size_t n = demux_.outstanding()) {
    journal_.hostError("the add-on did not free " + std::to_string(n) + " demux packets");
    demux_.freeAll();
  }
  if (size_t n = pvr_.openTransfers())
    journal_.hostError(std::to_string(n) + " transfers still open at unload");
}

void* Host::registerLibrary(HostsimLibrary lib) {
  if (static_cast<int>(lib) < 0 || static_cast<int>(lib) > 2) return nullptr;
  std::lock_guard<std::mutex> lock(registrationMutex_);
  ++registrations_[lib];
  return &registrationTokens_[lib];
}

void Host::unregisterLibrary(HostsimLibrary lib, void* cb) {
  if (static_cast<int>(lib) < 0 || static_cast<int>(lib) > 2) return;
  bool ok;
  {
    std::lock_guard<std::mutex> lock(registrationMutex_);
    ok = cb == &registrationTokens_[lib] && registrations_[lib] > 0;
    if (ok) --registrations_[lib];
  }
  if (!ok)
    journal_.hostError(std::string("unregister from the ") + kLibraryNames[lib] +
                       " library with a handle it did not give");
}

void Host::trigger(FollowUpKind kind, unsigned int channelUid) {
  std::string what = std::string("PVR_trigger: ") + followUpKindName(kind);
  if (kind == FollowUpKind::Epg) what += " of channel " + std::to_string(channelUid);
  journal_.host(what);
  followUps_.trigger(kind, channelUid);
}

void Host::runFollowUp(const FollowUp& f) {
  if (!created_) return;
  switch (f.kind) {
    case FollowUpKind::Timers:
      fetchTimers();
      break;
    case FollowUpKind::Recordings:
      fetchRecordings();
      break;
    case FollowUpKind::Channels:
      fetchChannels();
      break;
    case FollowUpKind::Groups:
      fetchAllGroups();
      break;
    case FollowUpKind::Epg: {
      time_t now = time(nullptr);
      fetchEpg(f.channelUid, now - kEpgPast, now + kEpgFuture);
      break;
    }
  }
}

bool Host::running(const char* what) {
  if (created_) return true;
  journal_.hostError(std::string(what) + ": the add-on is not running");
  return false;
}

AddonInfo Host::info() {
  AddonInfo info;
  if (!running("info")) return info;
  const PVRClient& c = client();
  auto str = [](const char* (*f)()) { return f ? text(f()) : std::string("(no entry point)"); };
  info.backendName = str(c.GetBackendName);
  info.backendVersion = str(c.GetBackendVersion);
  info.connectionString = str(c.GetConnectionString);
  info.pvrApiVersion = str(c.GetPVRAPIVersion);
  info.pvrApiMinVersion = str(c.GetMininumPVRAPIVersion);
  info.guiApiVersion = str(c.GetGUIAPIVersion);
  info.guiApiMinVersion = str(c.GetMininumGUIAPIVersion);
  std::memset(&info.capabilities, 0, sizeof info.capabilities);
  if (c.GetAddonCapabilities) info.capabilitiesError = c.GetAddonCapabilities(&info.capabilities);
  info.menuHooks = pvr_.menuHooks();
  return info;
}

int Host::channelsAmount() {
  return running("GetChannelsAmount") && client().GetChannelsAmount ? client().GetChannelsAmount()
                                                                    : -1;
}

int Host::channelGroupsAmount() {
  return running("GetChannelGroupsAmount") && client().GetChannelGroupsAmount
             ? client().GetChannelGroupsAmount()
             : -1;
}

int Host::timersAmount() {
  return running("GetTimersAmount") && client().GetTimersAmount ? client().GetTimersAmount() : -1;
}

int Host::recordingsAmount() {
  return running("GetRecordingsAmount") && client().GetRecordingsAmount
             ? client().GetRecordingsAmount()
             : -1;
}

Fetch Host::collect(TransferKind kind, const std::function<PVR_ERROR(ADDON_HANDLE)>& call) {
  Fetch f;
  ADDON_HANDLE handle = pvr_.begin(kind);
  f.error = call(handle);
  f.data = pvr_.finish(handle);
  return f;
}

Fetch Host::fetchChannels(bool radio) {
  Fetch f;
  if (!running("GetChannels") || !client().GetChannels) return f;
  f = collect(TransferKind::Channels,
              [&](ADDON_HANDLE h) { return client().GetChannels(h, radio); });
  if (f.error == PVR_ERROR_NO_ERROR && !radio) pvr_.setChannels(f.data.channels);
  return f;
}

Fetch Host::fetchChannelGroups(bool radio) {
  Fetch f;
  if (!running("GetChannelGroups") || !client().GetChannelGroups) return f;
  f = collect(TransferKind::Groups,
              [&](ADDON_HANDLE h) { return client().GetChannelGroups(h, radio); });
  if (f.error == PVR_ERROR_NO_ERROR && !radio) pvr_.setGroups(f.data.groups);
  return f;
}

Fetch Host::fetchGroupMembers(const std::string& group, bool radio) {
  Fetch f;
  if (!running("GetChannelGroupMembers") || !client().GetChannelGroupMembers) return f;
  PVR_CHANNEL_GROUP g = toHost(GroupEntry{group, radio});
  f = collect(TransferKind::Members,
              [&](ADDON_HANDLE h) { return client().GetChannelGroupMembers(h, g); });
  if (f.error == PVR_ERROR_NO_ERROR) pvr_.setMembers(group, f.data.members);
  return f;
}

bool Host::fetchAllGroups() {
  Fetch groups = fetchChannelGroups(false);
  if (groups.error != PVR_ERROR_NO_ERROR) return false;
  for (const GroupEntry& g : groups.data.groups) fetchGroupMembers(g.name, g.isRadio);
  return true;
}

Fetch Host::fetchEpg(unsigned int channelUid, time_t start, time_t end) {
  Fetch f;
  if (!running("GetEpg") || !client().GetEpg) return f;
  ChannelEntry known;
  if (!pvr_.findChannel(channelUid, known)) known.uniqueId = channelUid;
  PVR_CHANNEL channel = toHost(known);
  f = collect(TransferKind::Epg,
              [&](ADDON_HANDLE h) { return client().GetEpg(h, channel, start, end); });
  if (f.error == PVR_ERROR_NO_ERROR) pvr_.setEpg(channelUid, f.data.epg);
  return f;
}

Fetch Host::fetchTimers() {
  Fetch f;
  if (!running("GetTimers") || !client().GetTimers) return f;
  f = collect(TransferKind::Timers, [&](ADDON_HANDLE h) { return client().GetTimers(h); });
  if (f.error == PVR_ERROR_NO_ERROR) pvr_.setTimers(f.data.timers);
  return f;
}

Fetch Host::fetchRecordings() {
  Fetch f;
  if (!running("GetRecordings") || !client().GetRecordings) return f;
  f = collect(TransferKind::Recordings, [&](ADDON_HANDLE h) { return client().GetRecordings(h); });
  if (f.error == PVR_ERROR_NO_ERROR) pvr_.setRecordings(f.data.recordings);
  return f;
}

bool Host::waitForChannels(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (created_) {
    if (channelsAmount() > 0 || !pvr_.channels().empty()) return true;
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  return false;
}

MenuHookResult Host::callMenuHook(unsigned int hookId, const std::string& item) {
  MenuHookResult r;
  if (!running("MenuHook") || !client().MenuHook) {
    r.message = "the add-on is not running or has no MenuHook";
    return r;
  }
  MenuHookEntry found{};
  bool registered = false;
  for (const auto& h : pvr_.menuHooks()) {
    if (h.hookId == hookId) {
      found = h;
      registered = true;
      break;
    }
  }
  if (!registered) {
    r.message = "menu hook " + std::to_string(hookId) + " is not registered";
    journal_.hostError(r.message);
    return r;
  }
  PVR_MENUHOOK hook{found.hookId, found.stringId, static_cast<PVR_MENUHOOK_CAT>(found.category)};
  auto data = std::make_unique<PVR_MENUHOOK_DATA>();
  std::memset(data.get(), 0, sizeof *data);
  data->cat = hook.category;
  int number = 0;
  parseSettingInt(item, number);
  switch (hook.category) {
    case PVR_MENUHOOK_EPG:
      data->data.iEpgUid = number;
      break;
    case PVR_MENUHOOK_RECORDING: {
      std::snprintf(data->data.recording.strRecordingId, sizeof data->data.recording.strRecordingId,
                    "%s", item.c_str());
      for (const auto& rec : pvr_.recordings()) {
        if (rec.recordingId != item) continue;
        std::snprintf(data->data.recording.strTitle, sizeof data->data.recording.strTitle, "%s",
                      rec.title.c_str());
        std::snprintf(data->data.recording.strStreamURL, sizeof data->data.recording.strStreamURL,
                      "%s", rec.streamUrl.c_str());
        data->data.recording.recordingTime = rec.recordingTime;
        data->data.recording.iDuration = rec.duration;
      }
      break;
    }
    case PVR_MENUHOOK_CHANNEL: {
      ChannelEntry c;
      if (!pvr_.findChannel(static_cast<unsigned int>(number), c))
        c.uniqueId = static_cast<unsigned int>(number);
      data->data.channel = toHost(c);
      break;
    }
    case PVR_MENUHOOK_TIMER: {
      data->data.timer.iClientIndex = static_cast<unsigned int>(number);
      for (const auto& t : pvr_.timers()) {
        if (t.clientIndex != static_cast<unsigned int>(number)) continue;
        data->data.timer.iClientChannelUid = t.clientChannelUid;
        data->data.timer.startTime = t.startTime;
        data->data.timer.endTime = t.endTime;
        std::snprintf(data->data.timer.strTitle, sizeof data->data.timer.strTitle, "%s",
                      t.title.c_str());
      }
      break;
    }
    default:
      break;
  }
  journal_.host("MenuHook " + std::to_string(hookId) + (item.empty() ? "" : " item " + item));
  r.error = client().MenuHook(hook, *data);
  r.called = true;
  r.message = std::string("menu hook ") + std::to_string(hookId) + ": " + pvrErrorName(r.error);
  return r;
}

SettingsResult Host::setSetting(const std::string& name, const std::string& value) {
  SettingsResult r = settings_.set(name, value);
  if (!r) {
    journal_.hostError(r.error);
    return r;
  }
  SettingsResult saved = settings_.save(userPath_ + "settings.xml");
  if (!saved) journal_.hostError(saved.error);
  if (!running("ADDON_SetSetting") || !addon_.exports().setSetting) return r;
  int asInt = 0;
  bool asBool = false;
  float asFloat = 0;
  const void* typed = value.c_str();
  switch (settings_.typeOf(name)) {
    case SettingType::Int:
      parseSettingInt(value, asInt);
      typed = &asInt;
      break;
    case SettingType::Bool:
      parseSettingBool(value, asBool);
      typed = &asBool;
      break;
    case SettingType::Float:
      parseSettingFloat(value, asFloat);
      typed = &asFloat;
      break;
    default:
      break;
  }
  int status = addon_.exports().setSetting(name.c_str(), typed);
  journal_.host("ADDON_SetSetting " + name + " = " + value + ": " + statusName(status));
  return r;
}

void Host::announce(const std::string& message) {
  if (!running("ADDON_Announce") || !addon_.exports().announce) return;
  journal_.host("ADDON_Announce System xbmc " + message);
  addon_.exports().announce("System", "xbmc", message.c_str(), nullptr);
}

void Host::stop() {
  if (!running("ADDON_Stop") || !addon_.exports().stop) return;
  journal_.host("ADDON_Stop");
  addon_.exports().stop();
}

int Host::status() {
  if (!running("ADDON_GetStatus") || !addon_.exports().getStatus) return -1;
  return addon_.exports().getStatus();
}

}  // namespace hostsim
