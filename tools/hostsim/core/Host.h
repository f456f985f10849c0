// The simulated XBMC host: loads an installed add-on folder, gives it the
// three host libraries through its callback block, and answers for them:
// settings, strings, files, log and notifications, PVR transfers and
// triggers, demux packets and the GUI. The add-on is always called without a
// host lock held, since it may call back into the host from any entry point.
//
//   hostsim::HostOptions options;
//   options.addonDir = ".../pvr.quorvina";
//   options.userDir = ".../user";
//   hostsim::Host host(options);
//   hostsim::LoadResult loaded = host.load();   // loaded.message on failure
//   host.waitForChannels(std::chrono::seconds(30));
//   auto channels = host.fetchChannels();
//   host.unload();
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "core/AddonLibrary.h"
#include "core/DemuxPool.h"
#include "core/FileService.h"
#include "core/FollowUpWorker.h"
#include "core/Journal.h"
#include "core/JsonRpc.h"
#include "core/LivePlayback.h"
#include "core/PvrStore.h"
#include "core/SettingsStore.h"
#include "core/StreamProbe.h"
#include "core/StringTable.h"
#include "gui/Gui.h"
#include "shims/HostTable.h"

namespace hostsim {

struct HostOptions {
  std::string addonDir;       // the installed add-on folder (holds addon.xml)
  std::string userDir;        // created when missing
  std::string hostLibDir;     // holds library.xbmc.*; empty: the build's host folder
  bool echo = true;           // print the journal to the terminal
  bool quietLog = false;      // but not the add-on's log lines
  bool fillDefaults = false;  // absent settings take resources/settings.xml defaults
  bool keepLoaded = false;    // no dlclose at unload, for leak reports that name the add-on
  bool realNetwork = false;   // load even outside the private test network
  std::chrono::milliseconds followUpDelay{200};
  bool jsonRpc = true;                           // the JSON-RPC server, started with the add-on
  uint16_t jsonRpcPort = JsonRpc::kDefaultPort;  // 0: any free port
  // Bytes the recordings folder (the recordfolder setting) and the user
  // folder take together before their writes fail as on a full disk;
  // negative: no limit.
  int64_t diskFullAfter = -1;
  // How long unload lets shown windows finish before ADDON_Destroy; a window
  // still open then meets the destroy open, as in a host that quits.
  std::chrono::milliseconds windowDrain{10000};
};

struct LoadResult {
  bool ok = false;
  int status = -1;                  // what ADDON_Create returned; -1 when it was not called
  bool outsideTestNetwork = false;  // refused: not in the private test network
  std::string message;
  explicit operator bool() const { return ok; }
};

struct AddonInfo {
  std::string backendName;
  std::string backendVersion;
  std::string connectionString;
  std::string pvrApiVersion;
  std::string pvrApiMinVersion;
  std::string guiApiVersion;
  std::string guiApiMinVersion;
  PVR_ERROR capabilitiesError = PVR_ERROR_NOT_IMPLEMENTED;
  PVR_ADDON_CAPABILITIES capabilities{};
  std::vector<MenuHookEntry> menuHooks;
};

// The thirteen capability flags in the structure's order.
std::vector<std::pair<const char*, bool>> capabilityFlags(const PVR_ADDON_CAPABILITIES& caps);
const char* statusName(int status);
const char* pvrErrorName(int error);

struct Fetch {
  PVR_ERROR error = PVR_ERROR_NO_ERROR;
  Transfer data;
};

// A call about one recording of the host's latest list.
struct RecordingCall {
  bool found = false;  // the id was in the latest list
  PVR_ERROR error = PVR_ERROR_UNKNOWN;
  int value = 0;  // what GetRecordingLastPlayedPosition answered
  std::string message;
};

struct MenuHookResult {
  bool called = false;
  PVR_ERROR error = PVR_ERROR_UNKNOWN;
  std::string message;
};

class Host {
 public:
  explicit Host(HostOptions options);
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  LoadResult load();
  // ADDON_Destroy, then the host's checks (bindings released, files, demux
  // packets, GUI objects), then dlclose.
  void unload();
  void setWindowDrain(std::chrono::milliseconds drain) { options_.windowDrain = drain; }
  bool isRunning() const { return created_.load(); }
  const HostOptions& options() const { return options_; }

  Journal& journal() { return journal_; }
  Gui& gui() { return gui_; }
  PvrStore& pvr() { return pvr_; }
  DemuxPool& demux() { return demux_; }
  FileService& files() { return files_; }
  SettingsStore& settings() { return settings_; }
  const StringTable& strings() const { return strings_; }
  FollowUpWorker& followUps() { return followUps_; }
  // The player of live TV and the JSON-RPC interface that drives it.
  LivePlayback& playback() { return *playback_; }
  JsonRpc& jsonRpc() { return *jsonRpc_; }
  const AddonLibrary& addon() const { return addon_; }
  // The add-on's function table, for calls the helpers below don't cover.
  const PVRClient& client() const { return addon_.client(); }

  // Calls into the add-on. Fetches replace the host's latest lists.
  AddonInfo info();
  int channelsAmount();
  int channelGroupsAmount();
  int timersAmount();
  int recordingsAmount();
  Fetch fetchChannels(bool radio = false);
  Fetch fetchChannelGroups(bool radio = false);
  Fetch fetchGroupMembers(const std::string& group, bool radio = false);
  Fetch fetchEpg(unsigned int channelUid, time_t start, time_t end);
  Fetch fetchTimers();
  Fetch fetchRecordings();
  // Groups and the members of each.
  bool fetchAllGroups();
  // Fetches the recordings every second until the add-on lists some.
  bool waitForRecordings(std::chrono::milliseconds timeout);
  // Each passes the recording of the latest list with that id, as the host
  // does; a new title replaces the listed one.
  RecordingCall renameRecording(const std::string& id, const std::string& title);
  RecordingCall deleteRecording(const std::string& id);
  RecordingCall setRecordingPlayCount(const std::string& id, int count);
  RecordingCall setRecordingLastPlayedPosition(const std::string& id, int seconds);
  RecordingCall recordingLastPlayedPosition(const std::string& id);
  // OpenRecordedStream of a listed recording (the list is fetched when the
  // host has none); `value` is what the add-on answered (0 or 1).
  RecordingCall openRecordedStream(const std::string& id);
  // A listed local recording (a stream URL that is a file) opened and read
  // whole with libavformat, as the host's player plays it.
  StreamProbe probeRecording(const std::string& id);
  // Timers: a new one as the host fills it (guide entry or by hand); delete
  // and update pass the timer of the latest list with that client index.
  RecordingCall addTimer(const TimerEntry& timer);
  RecordingCall deleteTimer(unsigned int index);
  RecordingCall updateTimer(unsigned int index, const std::function<void(TimerEntry&)>& change);
  // Polls GetChannelsAmount (and watches the follow-ups of channel triggers)
  // until the add-on has channels.
  bool waitForChannels(std::chrono::milliseconds timeout);
  MenuHookResult callMenuHook(unsigned int hookId, const std::string& item);
  // Stores the value (and the user's settings file), then ADDON_SetSetting.
  SettingsResult setSetting(const std::string& name, const std::string& value);
  void announce(const std::string& message);
  void stop();
  int status();
  bool waitForFollowUps(std::chrono::milliseconds timeout) { return followUps_.waitIdle(timeout); }

  // What the host library calls land on; used by the callback table.
  void* registerLibrary(HostsimLibrary lib);
  void unregisterLibrary(HostsimLibrary lib, void* cb);
  void trigger(FollowUpKind kind, unsigned int channelUid = 0);

  static constexpr time_t kEpgPast = 7 * 24 * 3600;
  static constexpr time_t kEpgFuture = 14 * 24 * 3600;

 private:
  bool running(const char* what);
  RecordingCall withRecording(const std::string& id, const char* what,
                              const std::function<PVR_ERROR(PVR_RECORDING&)>& call);
  Fetch collect(TransferKind kind, const std::function<PVR_ERROR(ADDON_HANDLE)>& call);
  void runFollowUp(const FollowUp& followUp);
  void checkAfterDestroy();
  // The threads of this process that hostsim did not start: an add-on's
  // threads must all be gone once ADDON_Destroy has returned.
  void checkThreadsAfterDestroy();

  HostOptions options_;
  Journal journal_;
  StringTable strings_;
  SettingsStore settings_;
  FileService files_;
  PvrStore pvr_;
  DemuxPool demux_;
  Gui gui_;
  AddonLibrary addon_;
  FollowUpWorker followUps_;  // after what it calls, so it stops first
  std::unique_ptr<LivePlayback> playback_;
  std::unique_ptr<JsonRpc> jsonRpc_;

  HostsimTable table_{};
  AddonCB callbacks_{};
  PVR_PROPERTIES properties_{};
  std::string libBasePath_;
  std::string userPath_;
  std::string clientPath_;
  std::set<std::string> threadsBeforeLoad_;

  std::atomic<bool> created_{false};
  bool loaded_ = false;
  std::mutex registrationMutex_;
  int registrations_[3] = {0, 0, 0};
  char registrationTokens_[3] = {0, 0, 0};
};

// The table whose functions forward to `host`.
HostsimTable makeHostTable(Host& host);

}  // namespace hostsim
