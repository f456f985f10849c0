// An in-process stand-in for the host's three libraries: it fills the
// add-on's binding globals (XBMC, PVR, GUI) with functions that record what
// the add-on asks for, so subsystems can be tested without loading a host.
// Files are real files on disk.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "host/xbmc_host_api.h"

class FakeHost {
 public:
  FakeHost();
  ~FakeHost();
  FakeHost(const FakeHost&) = delete;
  FakeHost& operator=(const FakeHost&) = delete;

  // Settings answered by XBMC_get_setting; an absent key answers false.
  void SetText(const std::string& key, const std::string& value);
  void SetInt(const std::string& key, int value);
  void SetBool(const std::string& key, bool value);
  void SetFloat(const std::string& key, float value);
  void SetString(int id, const std::string& text) { strings_[id] = text; }

  struct Line {
    int level;
    std::string text;
  };
  std::vector<Line> Logs() const;
  std::vector<Line> Notifications() const;
  bool Logged(const std::string& fragment) const;
  bool Notified(int type, const std::string& text) const;
  void ClearLogs();

  std::vector<PVR_MENUHOOK> MenuHooks() const;
  std::vector<PVR_CHANNEL> Channels() const;
  std::vector<PVR_CHANNEL_GROUP> Groups() const;
  std::vector<PVR_CHANNEL_GROUP_MEMBER> Members() const;
  std::vector<std::string> Triggers() const;

  // Internal: the fake host functions reach the instance through these.
  struct Setting {
    enum Type { kText, kInt, kBool, kFloat } type = kText;
    std::string text;
    int number = 0;
    bool flag = false;
    float real = 0;
  };
  bool GetSetting(const char* name, void* value) const;
  std::string Localized(int id) const;
  void AddLog(int level, const char* text);
  void AddNotification(int type, const char* text);
  void AddHook(const PVR_MENUHOOK& hook);
  void AddChannel(const PVR_CHANNEL& channel);
  void AddGroup(const PVR_CHANNEL_GROUP& group);
  void AddMember(const PVR_CHANNEL_GROUP_MEMBER& member);
  void AddTrigger(const std::string& what);

 private:
  mutable std::mutex mutex_;
  std::map<std::string, Setting> settings_;
  std::map<int, std::string> strings_;
  std::vector<Line> logs_;
  std::vector<Line> notifications_;
  std::vector<PVR_MENUHOOK> hooks_;
  std::vector<PVR_CHANNEL> channels_;
  std::vector<PVR_CHANNEL_GROUP> groups_;
  std::vector<PVR_CHANNEL_GROUP_MEMBER> members_;
  std::vector<std::string> triggers_;
};

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  void Write(const std::string& name, const std::string& content) const;
  std::string Read(const std::string& name) const;

 private:
  std::string path_;
};
