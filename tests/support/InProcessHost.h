// The simulated host in this process, bound to the add-on's own code: the
// add-on's bindings load hostsim's three host libraries, so a subsystem under
// test logs, notifies, reads settings, writes files and opens windows exactly
// as it does in a real host, and the test reads what the host saw through
// hostsim's journal, stores and GUI.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/Host.h"

class AddonHost;

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  void Write(const std::string& name, const std::string& content) const;
  std::string Read(const std::string& name) const;

 private:
  std::string path_;
};

class InProcessHost {
 public:
  // The user folder is a fresh temporary one; the add-on folder is the
  // staged one, so window files, strings and settings are those shipped.
  InProcessHost();
  ~InProcessHost();
  InProcessHost(const InProcessHost&) = delete;
  InProcessHost& operator=(const InProcessHost&) = delete;

  hostsim::Host& host() { return *host_; }
  hostsim::Journal& journal() { return host_->journal(); }
  hostsim::Gui& gui() { return host_->gui(); }
  // The functions the host libraries forward to; a test may stand in for one.
  HostsimTable& table() { return table_; }
  const TempDir& user() const { return user_; }
  // The add-on's global folders and storage paths point at the user folder
  // and at the staged add-on (CrearDirectorios has run).
  void UseStorage();

  // The user's stored settings, as the host's settings.xml holds them.
  void Settings(const std::string& settingsXml);
  // What the user does in the next windows, as lines of a hostsim GUI script.
  void Script(const std::string& lines);

  // Log lines and notifications the add-on sent, by text fragment.
  bool Logged(const std::string& fragment) const;
  // The level ("debug".."error") of the first log line holding `fragment`;
  // empty when there is none.
  std::string LevelOfLog(const std::string& fragment) const;
  size_t CountNotified(const std::string& text) const;
  // What the host found wrong in the add-on's calls ("[host error]" lines).
  std::vector<std::string> HostErrors() const;

 private:
  TempDir user_;
  std::unique_ptr<hostsim::Host> host_;
  HostsimTable table_{};
  AddonCB callbacks_{};
  std::unique_ptr<AddonHost> addonHost_;
};
