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
std::string Scenario(const std::string& patch = "{}");

class Headend {
 public:
  // Starts the headend on a scenario text; waits for "headend ready".
  explicit Headend(const std::string& scenario);
  ~Headend();
  bool ready() const { return ready_; }
  void Stop();

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
  void StartHeadend(const std::string& scenario = Scenario());
  void StopHeadend() { headend_.reset(); }

  std::string UserFile(const std::string& relative) const;
  std::string ReadUserFile(const std::string& relative) const;
  // The add-on folder used by this test (a private copy of the staged one).
  const std::string& AddonDir() const { return addonDir_; }
  void WriteSettings(const std::string& settingsXml);
  bool Notified(const std::string& text);

  std::unique_ptr<hostsim::Host> host_;
  std::unique_ptr<Headend> headend_;
  std::string root_;
  std::string userDir_;
  std::string addonDir_;
};

using Clock = std::chrono::steady_clock;

}  // namespace e2e
