// The host as the subsystems see it, made of the bindings of the host's
// add-on and PVR libraries.
#pragma once

#include "common/HostServices.h"

class CHelper_libXBMC_addon;
class CHelper_libXBMC_pvr;

class AddonHost final : public HostServices {
 public:
  AddonHost(CHelper_libXBMC_addon& addon, CHelper_libXBMC_pvr& pvr) : addon_(addon), pvr_(pvr) {}

  void Log(LogLevel level, const std::string& text) override;
  void Notify(NoticeKind kind, const std::string& text) override;
  std::string LocalizedString(int id) override;
  std::string UnknownToUtf8(const std::string& text) override;

  void* OpenFile(const std::string& path, unsigned int flags) override;
  void* OpenFileForWrite(const std::string& path, bool overwrite) override;
  ssize_t ReadFile(void* file, void* buffer, size_t size) override;
  ssize_t WriteFile(void* file, const void* data, size_t size) override;
  void FlushFile(void* file) override;
  int64_t SeekFile(void* file, int64_t position, int whence) override;
  int64_t FilePosition(void* file) override;
  int64_t FileLength(void* file) override;
  void CloseFile(void* file) override;
  bool FileExists(const std::string& path) override;
  bool DeleteFile(const std::string& path) override;
  bool RenameFile(const std::string& from, const std::string& to) override;
  bool CreateDirectory(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  bool RemoveDirectory(const std::string& path) override;

  void TriggerChannelUpdate() override;
  void TriggerChannelGroupsUpdate() override;
  void TriggerTimerUpdate() override;
  void TriggerRecordingUpdate() override;
  void TriggerEpgUpdate(unsigned int channelUid) override;

 private:
  CHelper_libXBMC_addon& addon_;
  CHelper_libXBMC_pvr& pvr_;
};
