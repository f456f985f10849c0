#include "core/PvrStore.h"

namespace hostsim {

const char* transferKindName(TransferKind kind) {
  switch (kind) {
    case TransferKind::Channels:
      return "channels";
    case TransferKind::Groups:
      return "channel groups";
    case TransferKind::Members:
      return "group members";
    case TransferKind::Epg:
      return "epg entries";
    case TransferKind::Timers:
      return "timers";
    case TransferKind::Recordings:
      return "recordings";
  }
  return "?";
}

size_t Transfer::size() const {
  return channels.size() + groups.size() + members.size() + epg.size() + timers.size() +
         recordings.size();
}

ADDON_HANDLE PvrStore::begin(TransferKind kind) {
  auto c = std::make_unique<Collector>();
  c->data.kind = kind;
  ADDON_HANDLE h = &c->handle;
  std::lock_guard<std::mutex> lock(mutex_);
  c->handle.callerAddress = this;
  c->handle.dataAddress = c.get();
  c->handle.dataIdentifier = ++serial_;
  open_.emplace(h, std::move(c));
  return h;
}

Transfer PvrStore::finish(ADDON_HANDLE handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = open_.find(handle);
  if (it == open_.end()) return Transfer();
  Transfer t = std::move(it->second->data);
  open_.erase(it);
  return t;
}

Transfer* PvrStore::target(ADDON_HANDLE handle, TransferKind kind,
                           std::vector<std::string>& problems) {
  auto it = handle ? open_.find(handle) : open_.end();
  if (it == open_.end()) {
    problems.push_back("handle belongs to no running call; entry dropped");
    return nullptr;
  }
  if (it->second->data.kind != kind) {
    problems.push_back(std::string("handle of a call for ") +
                       transferKindName(it->second->data.kind) + "; entry dropped");
    return nullptr;
  }
  return &it->second->data;
}

void PvrStore::report(const std::vector<std::string>& problems, const char* callback) {
  if (!onError_) return;
  for (const auto& p : problems) onError_(std::string(callback) + ": " + p);
}

void PvrStore::addChannel(ADDON_HANDLE handle, const PVR_CHANNEL* entry) {
  std::vector<std::string> problems;
  if (entry == nullptr) problems.push_back("null entry");
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Transfer* t = target(handle, TransferKind::Channels, problems);
    if (t && entry) t->channels.push_back(toEntry(*entry, problems));
  }
  report(problems, "PVR_transfer_channel_entry");
}

void PvrStore::addGroup(ADDON_HANDLE handle, const PVR_CHANNEL_GROUP* entry) {
  std::vector<std::string> problems;
  if (entry == nullptr) problems.push_back("null entry");
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Transfer* t = target(handle, TransferKind::Groups, problems);
    if (t && entry) t->groups.push_back(toEntry(*entry, problems));
  }
  report(problems, "PVR_transfer_channel_group");
}

void PvrStore::addMember(ADDON_HANDLE handle, const PVR_CHANNEL_GROUP_MEMBER* entry) {
  std::vector<std::string> problems;
  if (entry == nullptr) problems.push_back("null entry");
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Transfer* t = target(handle, TransferKind::Members, problems);
    if (t && entry) t->members.push_back(toEntry(*entry, problems));
  }
  report(problems, "PVR_transfer_channel_group_member");
}

void PvrStore::addEpg(ADDON_HANDLE handle, const EPG_TAG* entry) {
  std::vector<std::string> problems;
  if (entry == nullptr) problems.push_back("null entry");
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Transfer* t = target(handle, TransferKind::Epg, problems);
    if (t && entry) t->epg.push_back(toEntry(*entry));
  }
  report(problems, "PVR_transfer_epg_entry");
}

void PvrStore::addTimer(ADDON_HANDLE handle, const PVR_TIMER* entry) {
  std::vector<std::string> problems;
  if (entry == nullptr) problems.push_back("null entry");
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Transfer* t = target(handle, TransferKind::Timers, problems);
    if (t && entry) t->timers.push_back(toEntry(*entry, problems));
  }
  report(problems, "PVR_transfer_timer_entry");
}

void PvrStore::addRecording(ADDON_HANDLE handle, const PVR_RECORDING* entry) {
  std::vector<std::string> problems;
  if (entry == nullptr) problems.push_back("null entry");
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Transfer* t = target(handle, TransferKind::Recordings, problems);
    if (t && entry) t->recordings.push_back(toEntry(*entry, problems));
  }
  report(problems, "PVR_transfer_recording_entry");
}

void PvrStore::addMenuHook(const PVR_MENUHOOK* hook) {
  if (hook == nullptr) {
    if (onError_) onError_("PVR_add_menu_hook with a null hook");
    return;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  menuHooks_.push_back({hook->iHookId, hook->iLocalizedStringId, hook->category});
}

void PvrStore::addRecordingNotice(RecordingNotice notice) {
  std::lock_guard<std::mutex> lock(mutex_);
  notices_.push_back(std::move(notice));
}

void PvrStore::setChannels(std::vector<ChannelEntry> v) {
  std::lock_guard<std::mutex> lock(mutex_);
  channels_ = std::move(v);
}

void PvrStore::setGroups(std::vector<GroupEntry> v) {
  std::lock_guard<std::mutex> lock(mutex_);
  groups_ = std::move(v);
}

void PvrStore::setMembers(const std::string& group, std::vector<GroupMemberEntry> v) {
  std::lock_guard<std::mutex> lock(mutex_);
  members_[group] = std::move(v);
}

void PvrStore::setEpg(unsigned int channelUid, std::vector<EpgEntry> v) {
  std::lock_guard<std::mutex> lock(mutex_);
  epg_[channelUid] = std::move(v);
}

void PvrStore::setTimers(std::vector<TimerEntry> v) {
  std::lock_guard<std::mutex> lock(mutex_);
  timers_ = std::move(v);
}

void PvrStore::setRecordings(std::vector<RecordingEntry> v) {
  std::lock_guard<std::mutex> lock(mutex_);
  recordings_ = std::move(v);
}

std::vector<ChannelEntry> PvrStore::channels() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return channels_;
}

std::vector<GroupEntry> PvrStore::groups() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return groups_;
}

std::map<std::string, std::vector<GroupMemberEntry>> PvrStore::members() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return members_;
}

std::vector<EpgEntry> PvrStore::epg(unsigned int channelUid) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = epg_.find(channelUid);
  return it == epg_.end() ? std::vector<EpgEntry>() : it->second;
}

std::map<unsigned int, std::vector<EpgEntry>> PvrStore::allEpg() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return epg_;
}

std::vector<TimerEntry> PvrStore::timers() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return timers_;
}

std::vector<RecordingEntry> PvrStore::recordings() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return recordings_;
}

std::vector<MenuHookEntry> PvrStore::menuHooks() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return menuHooks_;
}

std::vector<RecordingNotice> PvrStore::recordingNotices() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return notices_;
}

bool PvrStore::findChannel(unsigned int uid, ChannelEntry& out) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& c : channels_) {
    if (c.uniqueId == uid) {
      out = c;
      return true;
    }
  }
  return false;
}

size_t PvrStore::openTransfers() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_.size();
}

}  // namespace hostsim
