// The PVR side of the host: one collector per Get... call into the add-on
// (its address travels in the ADDON_HANDLE), the latest lists the host holds,
// the registered menu hooks and the recording notices. Thread-safe; never
// calls the add-on.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/PvrRecords.h"
#include "host/xbmc_pvr_types.h"

namespace hostsim {

enum class TransferKind { Channels, Groups, Members, Epg, Timers, Recordings };

const char* transferKindName(TransferKind kind);

// What arrived during one call.
struct Transfer {
  TransferKind kind = TransferKind::Channels;
  std::vector<ChannelEntry> channels;
  std::vector<GroupEntry> groups;
  std::vector<GroupMemberEntry> members;
  std::vector<EpgEntry> epg;
  std::vector<TimerEntry> timers;
  std::vector<RecordingEntry> recordings;
  size_t size() const;
};

struct RecordingNotice {
  std::string name;
  std::string fileName;
  bool on = false;
};

class PvrStore {
 public:
  using ErrorSink = std::function<void(const std::string&)>;

  explicit PvrStore(ErrorSink onError = nullptr) : onError_(std::move(onError)) {}

  // Opens a collector and returns the handle to give the add-on; it stays
  // valid until finish().
  ADDON_HANDLE begin(TransferKind kind);
  Transfer finish(ADDON_HANDLE handle);

  void addChannel(ADDON_HANDLE handle, const PVR_CHANNEL* entry);
  void addGroup(ADDON_HANDLE handle, const PVR_CHANNEL_GROUP* entry);
  void addMember(ADDON_HANDLE handle, const PVR_CHANNEL_GROUP_MEMBER* entry);
  void addEpg(ADDON_HANDLE handle, const EPG_TAG* entry);
  void addTimer(ADDON_HANDLE handle, const PVR_TIMER* entry);
  void addRecording(ADDON_HANDLE handle, const PVR_RECORDING* entry);

  void addMenuHook(const PVR_MENUHOOK* hook);
  void addRecordingNotice(RecordingNotice notice);

  // The latest lists, replaced by each completed call.
  void setChannels(std::vector<ChannelEntry> v);
  void setGroups(std::vector<GroupEntry> v);
  void setMembers(const std::string& group, std::vector<GroupMemberEntry> v);
  void setEpg(unsigned int channelUid, std::vector<EpgEntry> v);
  void setTimers(std::vector<TimerEntry> v);
  void setRecordings(std::vector<RecordingEntry> v);

  std::vector<ChannelEntry> channels() const;
  std::vector<GroupEntry> groups() const;
  std::map<std::string, std::vector<GroupMemberEntry>> members() const;
  std::vector<EpgEntry> epg(unsigned int channelUid) const;
  std::map<unsigned int, std::vector<EpgEntry>> allEpg() const;
  std::vector<TimerEntry> timers() const;
  std::vector<RecordingEntry> recordings() const;
  std::vector<MenuHookEntry> menuHooks() const;
  std::vector<RecordingNotice> recordingNotices() const;
  bool findChannel(unsigned int uid, ChannelEntry& out) const;
  size_t openTransfers() const;

 private:
  struct Collector {
    ADDON_HANDLE_STRUCT handle{};
    Transfer data;
  };
  // The collector behind `handle` when it is open and of `kind`, else null
  // with the reason in `problems`; call with mutex_ held.
  Transfer* target(ADDON_HANDLE handle, TransferKind kind, std::vector<std::string>& problems);
  void report(const std::vector<std::string>& problems, const char* callback);

  ErrorSink onError_;
  mutable std::mutex mutex_;
  std::map<ADDON_HANDLE, std::unique_ptr<Collector>> open_;
  int serial_ = 0;

  std::vector<ChannelEntry> channels_;
  std::vector<GroupEntry> groups_;
  std::map<std::string, std::vector<GroupMemberEntry>> members_;
  std::map<unsigned int, std::vector<EpgEntry>> epg_;
  std::vector<TimerEntry> timers_;
  std::vector<RecordingEntry> recordings_;
  std::vector<MenuHookEntry> menuHooks_;
  std::vector<RecordingNotice> notices_;
};

}  // namespace hostsim
