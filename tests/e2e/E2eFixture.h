// Shared fixture of the end-to-end tests: a headend playing a scenario and a
// simulated host loading the staged add-on with a fresh user folder.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>

#include "core/Host.h"

namespace e2e {

// The default scenario as text, with members replaced by a JSON patch
// applied at the top level and one level down (e.g. {"appServer":{...}}).
// Its guide has no days unless the patch gives "guide" some.
std::string Scenario(const std::string& patch = "{}");

class Headend {
 public:
  // Starts the headend on a scenario text; waits for "headend ready".
  explicit Headend(const std::string& scenario);
  ~Headend();
  bool ready() const { return ready_; }
  void Stop();
  // Its log so far: one line per request, with its status.
  std::string Log() const;

 private:
  pid_t pid_ = -1;
  bool ready_ = false;
  std::string file_;
};

class E2eTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A fresh host on the user folder (kept across restarts of one test).
  hostsim::Host& StartHost(const std::string& hostLibDir = "");
  void StopHost();
  // Writes the user's settings file from its <setting> lines, then starts a
  // host, loads the add-on and waits for its channels.
  hostsim::Host& LoadWithSettings(const std::string& settings);
  void StartHeadend(const std::string& scenario = Scenario());

  std::string ReadUserFile(const std::string& relative) const;
  std::string HeadendLog() const { return headend_ ? headend_->Log() : std::string(); }
  // Waits until the user file exists and is not empty.
  bool WaitForUserFile(const std::string& relative, std::chrono::milliseconds timeout) const;
  bool Notified(const std::string& text);

  std::unique_ptr<hostsim::Host> host_;
  std::unique_ptr<Headend> headend_;
  std::string root_;
  std::string userDir_;
  std::string addonDir_;
};

using Clock = std::chrono::steady_clock;

}  // namespace e2e
