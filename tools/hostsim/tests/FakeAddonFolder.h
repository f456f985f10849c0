// A fresh installed add-on folder around the fake add-on library, plus a user
// folder, in a temporary directory removed at the end of the test.
#pragma once

#include <string>

#include "core/Host.h"

namespace hostsim_test {

class FakeAddonFolder {
 public:
  FakeAddonFolder();
  ~FakeAddonFolder();
  FakeAddonFolder(const FakeAddonFolder&) = delete;
  FakeAddonFolder& operator=(const FakeAddonFolder&) = delete;

  const std::string& root() const { return root_; }
  std::string addonDir() const { return root_ + "/pvr.fake"; }
  std::string userDir() const { return root_ + "/user"; }
  // Writes a file below the add-on folder (folders created as needed).
  void writeAddonFile(const std::string& relative, const std::string& content) const;
  void writeUserSettings(const std::string& xml) const;
  std::string readUserFile(const std::string& relative) const;
  // Silent host, short follow-up delay, allowed outside the test network.
  hostsim::HostOptions options() const;

 private:
  std::string root_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);

}  // namespace hostsim_test
