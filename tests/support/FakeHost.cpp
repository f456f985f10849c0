#include "support/FakeHost.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "addon/AddonBinding.h"
#include "addon/GuiBinding.h"
#include "addon/PvrBinding.h"

namespace {

FakeHost* Self(void* cb) {
  return static_cast<FakeHost*>(cb);
}

char* Duplicate(const std::string& text) {
  char* copy = static_cast<char*>(malloc(text.size() + 1));
  memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

bool IsUtf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (extra < 0 || i + extra >= text.size() + (extra == 0 ? 1 : 0)) return false;
    for (int k = 1; k <= extra; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += extra + 1;
  }
  return true;
}

// Windows-1252 to UTF-8 for the Latin-1 part, which is all the tests need.
std::string Latin1ToUtf8(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// --- add-on library ---
void* RegisterMe(void*) {
  return nullptr;
}
void Unregister(void*, void*) {}
void Log(void*, void* cb, const addon_log level, const char* msg) {
  Self(cb)->AddLog(level, msg);
}
bool GetSetting(void*, void* cb, const char* name, void* value) {
  return Self(cb)->GetSetting(name, value);
}
void Notify(void*, void* cb, const queue_msg type, const char* msg) {
  Self(cb)->AddNotification(type, msg);
}
char* UnknownToUtf8(void*, void*, const char* str) {
  const std::string text(str);
  return Duplicate(IsUtf8(text) ? text : Latin1ToUtf8(text));
}
char* Localized(void*, void* cb, int code) {
  return Duplicate(Self(cb)->Localized(code));
}
void FreeString(void*, void*, char* str) {
  free(str);
}
void* OpenFile(void*, void*, const char* path, unsigned int) {
  return fopen(path, "rb");
}
void* OpenForWrite(void*, void*, const char* path, bool overwrite) {
  return fopen(path, overwrite ? "wb" : "ab");
}
ssize_t ReadFile(void*, void*, void* file, void* buf, size_t size) {
  return static_cast<ssize_t>(fread(buf, 1, size, static_cast<FILE*>(file)));
}
ssize_t WriteFile(void*, void*, void* file, const void* buf, size_t size) {
  return static_cast<ssize_t>(fwrite(buf, 1, size, static_cast<FILE*>(file)));
}
void FlushFile(void*, void*, void* file) {
  fflush(static_cast<FILE*>(file));
}
int64_t SeekFile(void*, void*, void* file, int64_t pos, int whence) {
  if (fseeko(static_cast<FILE*>(file), pos, whence) != 0) return -1;
  return ftello(static_cast<FILE*>(file));
}
int64_t FilePosition(void*, void*, void* file) {
  return ftello(static_cast<FILE*>(file));
}
int64_t FileLength(void*, void*, void* file) {
  struct stat st {};
  return fstat(fileno(static_cast<FILE*>(file)), &st) == 0 ? st.st_size : -1;
}
void CloseFile(void*, void*, void* file) {
  fclose(static_cast<FILE*>(file));
}
bool FileExists(void*, void*, const char* path, bool) {
  struct stat st {};
  return stat(path, &st) == 0;
}
bool DeleteFile(void*, void*, const char* path) {
  return unlink(path) == 0;
}
bool CreateDirectory(void*, void*, const char* path) {
  return mkdir(path, 0755) == 0;
}
bool DirectoryExists(void*, void*, const char* path) {
  struct stat st {};
  return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}
bool RemoveDirectory(void*, void*, const char* path) {
  return rmdir(path) == 0;
}

// --- PVR library ---
void AddHook(void*, void* cb, PVR_MENUHOOK* hook) {
  Self(cb)->AddHook(*hook);
}
void TransferChannel(void*, void* cb, const ADDON_HANDLE, const PVR_CHANNEL* c) {
  Self(cb)->AddChannel(*c);
}
void TransferGroup(void*, void* cb, const ADDON_HANDLE, const PVR_CHANNEL_GROUP* g) {
  Self(cb)->AddGroup(*g);
}
void TransferMember(void*, void* cb, const ADDON_HANDLE, const PVR_CHANNEL_GROUP_MEMBER* m) {
  Self(cb)->AddMember(*m);
}
void TriggerTimers(void*, void* cb) {
  Self(cb)->AddTrigger("timers");
}
void TriggerRecordings(void*, void* cb) {
  Self(cb)->AddTrigger("recordings");
}
void TriggerChannels(void*, void* cb) {
  Self(cb)->AddTrigger("channels");
}
void TriggerGroups(void*, void* cb) {
  Self(cb)->AddTrigger("groups");
}
void TriggerEpg(void*, void* cb, unsigned int uid) {
  Self(cb)->AddTrigger("epg " + std::to_string(uid));
}
DemuxPacket* AllocatePacket(void*, void*, int size) {
  auto* packet = new DemuxPacket{};
  packet->pData = new unsigned char[size > 0 ? size : 1];
  packet->iSize = size;
  return packet;
}
void FreePacket(void*, void*, DemuxPacket* packet) {
  if (packet == nullptr) return;
  delete[] packet->pData;
  delete packet;
}

}  // namespace

FakeHost::FakeHost() {
  auto* addon = new CHelper_libXBMC_addon();
  addon->m_Callbacks = this;
  addon->XBMC_register_me = RegisterMe;
  addon->XBMC_unregister_me = Unregister;
  addon->XBMC_log = Log;
  addon->XBMC_get_setting = ::GetSetting;
  addon->XBMC_queue_notification = Notify;
  addon->XBMC_unknown_to_utf8 = UnknownToUtf8;
  addon->XBMC_get_localized_string = ::Localized;
  addon->XBMC_free_string = FreeString;
  addon->XBMC_open_file = OpenFile;
  addon->XBMC_open_file_for_write = OpenForWrite;
  addon->XBMC_read_file = ReadFile;
  addon->XBMC_write_file = WriteFile;
  addon->XBMC_flush_file = FlushFile;
  addon->XBMC_seek_file = SeekFile;
  addon->XBMC_get_file_position = FilePosition;
  addon->XBMC_get_file_length = FileLength;
  addon->XBMC_close_file = CloseFile;
  addon->XBMC_file_exists = FileExists;
  addon->XBMC_delete_file = DeleteFile;
  addon->XBMC_create_directory = CreateDirectory;
  addon->XBMC_directory_exists = DirectoryExists;
  addon->XBMC_remove_directory = RemoveDirectory;
  XBMC = addon;

  auto* pvr = new CHelper_libXBMC_pvr();
  pvr->m_Callbacks = this;
  pvr->PVR_add_menu_hook = ::AddHook;
  pvr->PVR_transfer_channel_entry = TransferChannel;
  pvr->PVR_transfer_channel_group = TransferGroup;
  pvr->PVR_transfer_channel_group_member = TransferMember;
  pvr->PVR_trigger_timer_update = TriggerTimers;
  pvr->PVR_trigger_recording_update = TriggerRecordings;
  pvr->PVR_trigger_channel_update = TriggerChannels;
  pvr->PVR_trigger_channel_groups_update = TriggerGroups;
  pvr->PVR_trigger_epg_update = TriggerEpg;
  pvr->PVR_allocate_demux_packet = AllocatePacket;
  pvr->PVR_free_demux_packet = FreePacket;
  PVR = pvr;

  GUI = new CHelper_libXBMC_gui();
}

FakeHost::~FakeHost() {
  delete PVR;
  PVR = nullptr;
  delete XBMC;
  XBMC = nullptr;
  delete GUI;
  GUI = nullptr;
}

void FakeHost::SetText(const std::string& key, const std::string& value) {
  Setting s;
  s.type = Setting::kText;
  s.text = value;
  settings_[key] = s;
}
void FakeHost::SetInt(const std::string& key, int value) {
  Setting s;
  s.type = Setting::kInt;
  s.number = value;
  settings_[key] = s;
}
void FakeHost::SetBool(const std::string& key, bool value) {
  Setting s;
  s.type = Setting::kBool;
  s.flag = value;
  settings_[key] = s;
}
void FakeHost::SetFloat(const std::string& key, float value) {
  Setting s;
  s.type = Setting::kFloat;
  s.real = value;
  settings_[key] = s;
}

bool FakeHost::GetSetting(const char* name, void* value) const {
  const auto it = settings_.find(name);
  if (it == settings_.end()) return false;
  const Setting& s = it->second;
  switch (s.type) {
    case Setting::kText:
      snprintf(static_cast<char*>(value), 1024, "%s", s.text.c_str());
      break;
    case Setting::kInt:
      *static_cast<int*>(value) = s.number;
      break;
    case Setting::kBool:
      *static_cast<bool*>(value) = s.flag;
      break;
    case Setting::kFloat:
      *static_cast<float*>(value) = s.real;
      break;
  }
  return true;
}

std::string FakeHost::Localized(int id) const {
  const auto it = strings_.find(id);
  return it == strings_.end() ? "#" + std::to_string(id) : it->second;
}

void FakeHost::AddLog(int level, const char* text) {
  std::lock_guard<std::mutex> lock(mutex_);
  logs_.push_back({level, text});
}
void FakeHost::AddNotification(int type, const char* text) {
  std::lock_guard<std::mutex> lock(mutex_);
  notifications_.push_back({type, text});
}
void FakeHost::AddHook(const PVR_MENUHOOK& hook) {
  std::lock_guard<std::mutex> lock(mutex_);
  hooks_.push_back(hook);
}
void FakeHost::AddChannel(const PVR_CHANNEL& channel) {
  std::lock_guard<std::mutex> lock(mutex_);
  channels_.push_back(channel);
}
void FakeHost::AddGroup(const PVR_CHANNEL_GROUP& group) {
  std::lock_guard<std::mutex> lock(mutex_);
  groups_.push_back(group);
}
void FakeHost::AddMember(const PVR_CHANNEL_GROUP_MEMBER& member) {
  std::lock_guard<std::mutex> lock(mutex_);
  members_.push_back(member);
}
void FakeHost::AddTrigger(const std::string& what) {
  std::lock_guard<std::mutex> lock(mutex_);
  triggers_.push_back(what);
}

std::vector<FakeHost::Line> FakeHost::Logs() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return logs_;
}
std::vector<FakeHost::Line> FakeHost::Notifications() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return notifications_;
}
bool FakeHost::Logged(const std::string& fragment) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const Line& l : logs_) {
    if (l.text.find(fragment) != std::string::npos) return true;
  }
  return false;
}
bool FakeHost::Notified(int type, const std::string& text) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const Line& l : notifications_) {
    if (l.level == type && l.text == text) return true;
  }
  return false;
}
void FakeHost::ClearLogs() {
  std::lock_guard<std::mutex> lock(mutex_);
  logs_.clear();
  notifications_.clear();
}
std::vector<PVR_MENUHOOK> FakeHost::MenuHooks() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return hooks_;
}
std::vector<PVR_CHANNEL> FakeHost::Channels() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return channels_;
}
std::vector<PVR_CHANNEL_GROUP> FakeHost::Groups() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return groups_;
}
std::vector<PVR_CHANNEL_GROUP_MEMBER> FakeHost::Members() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return members_;
}
std::vector<std::string> FakeHost::Triggers() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return triggers_;
}

TempDir::TempDir() {
  char pattern[] = "/tmp/quorvina-test-XXXXXX";
  const char* made = mkdtemp(pattern);
  path_ = made != nullptr ? made : "/tmp";
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (path_ != "/tmp") std::filesystem::remove_all(path_, ignored);
}

void TempDir::Write(const std::string& name, const std::string& content) const {
  std::ofstream out(file(name), std::ios::binary);
  out << content;
}

std::string TempDir::Read(const std::string& name) const {
  std::ifstream in(file(name), std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}
