#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ScenarioTypes.h"
#include "TsClip.h"
#include "TvChannel.h"
#include "Worker.h"

namespace headend {

class Log;

// The TV channels of the line-up. Channels at full rate get a sending
// thread each; every other group gets a keep-alive of seven null packets a
// few times a second, so that a join still sees data. Which channels run at
// full rate: those the scenario names, or those whose group has a member
// (read from /proc/net/igmp, private to the test network's namespace).
class TvHeadend : public Worker {
 public:
  TvHeadend(const Scenario& scenario, std::string clipDir, Log& log);
  ~TvHeadend() override;

  // Loads the clips and opens the sending socket.
  bool Open(std::string* error);

 protected:
  void Process() override;

 private:
  bool WantsFullRate(size_t channel, const std::set<uint32_t>& joined) const;
  void StartChannel(size_t channel);
  void StopChannel(size_t channel);
  void LogTotals();

  const Scenario& scenario_;
  std::string clipDir_;
  Log& log_;
  TsClip sd_, hd_;
  int socket_ = -1;
  std::vector<std::unique_ptr<TvChannelState>> channels_;
  std::map<size_t, std::unique_ptr<TvChannel>> running_;
  std::map<size_t, int> quietPolls_;  // polls since a running channel's group lost its members
};

}  // namespace headend
