#include "addon/AddonHost.h"

#include <cstdio>

#include "addon/AddonBinding.h"
#include "addon/PvrBinding.h"

namespace {

addon_log HostLevel(LogLevel level) {
  switch (level) {
    case LogLevel::Debug:
      return LOG_DEBUG;
    case LogLevel::Info:
      return LOG_INFO;
    case LogLevel::Notice:
      return LOG_NOTICE;
    case LogLevel::Error:
      break;
  }
  return LOG_ERROR;
}

queue_msg HostKind(NoticeKind kind) {
  switch (kind) {
    case NoticeKind::Info:
      return QUEUE_INFO;
    case NoticeKind::Warning:
      return QUEUE_WARNING;
    case NoticeKind::Error:
      break;
  }
  return QUEUE_ERROR;
}

}  // namespace

// Texts go as an argument, never as the format: they carry '%' freely.
void AddonHost::Log(LogLevel level, const std::string& text) {
  addon_.Log(HostLevel(level), "%s", text.c_str());
}

void AddonHost::Notify(NoticeKind kind, const std::string& text) {
  addon_.QueueNotification(HostKind(kind), "%s", text.c_str());
}

std::string AddonHost::LocalizedString(int id) {
  return addon_.GetLocalizedString(id);
}

std::string AddonHost::UnknownToUtf8(const std::string& text) {
  return addon_.UnknownToUTF8(text);
}

void* AddonHost::OpenFile(const std::string& path, unsigned int flags) {
  return addon_.OpenFile(path.c_str(), flags);
}

void* AddonHost::OpenFileForWrite(const std::string& path, bool overwrite) {
  return addon_.OpenFileForWrite(path.c_str(), overwrite);
}

ssize_t AddonHost::ReadFile(void* file, void* buffer, size_t size) {
  return addon_.ReadFile(file, buffer, size);
}

ssize_t AddonHost::WriteFile(void* file, const void* data, size_t size) {
  return addon_.WriteFile(file, data, size);
}

void AddonHost::FlushFile(void* file) {
  addon_.FlushFile(file);
}

int64_t AddonHost::SeekFile(void* file, int64_t position, int whence) {
  return addon_.SeekFile(file, position, whence);
}

int64_t AddonHost::FilePosition(void* file) {
  return addon_.GetFilePosition(file);
}

int64_t AddonHost::FileLength(void* file) {
  return addon_.GetFileLength(file);
}

void AddonHost::CloseFile(void* file) {
  addon_.CloseFile(file);
}

bool AddonHost::FileExists(const std::string& path) {
  return addon_.FileExists(path.c_str(), false);
}

bool AddonHost::DeleteFile(const std::string& path) {
  return addon_.DeleteFile(path.c_str());
}

// The host's file API has no rename; its files are local paths.
bool AddonHost::RenameFile(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool AddonHost::CreateDirectory(const std::string& path) {
  return addon_.CreateDirectory(path.c_str());
}

bool AddonHost::DirectoryExists(const std::string& path) {
  return addon_.DirectoryExists(path.c_str());
}

bool AddonHost::RemoveDirectory(const std::string& path) {
  return addon_.RemoveDirectory(path.c_str());
}

void AddonHost::TriggerChannelUpdate() {
  pvr_.TriggerChannelUpdate();
}

void AddonHost::TriggerChannelGroupsUpdate() {
  pvr_.TriggerChannelGroupsUpdate();
}

void AddonHost::TriggerTimerUpdate() {
  pvr_.TriggerTimerUpdate();
}

void AddonHost::TriggerRecordingUpdate() {
  pvr_.TriggerRecordingUpdate();
}

void AddonHost::TriggerEpgUpdate(unsigned int channelUid) {
  pvr_.TriggerEpgUpdate(channelUid);
}
