#pragma once

#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "TsClip.h"
#include "VodSettings.h"
#include "Worker.h"

namespace headend {

class Log;
class RtspConnection;

// The video server: listens on every address of the scenario ("rtsp-accept")
// and serves each control connection, with its session and its media, on a
// thread of its own (RtspConnection).
class RtspServer : public Worker {
 public:
  RtspServer(const RtspSettings& settings, std::string clipDir, Log& log);
  ~RtspServer() override;

  // Loads the clips and binds the listening sockets.
  bool Open(std::string* error);

  // For the connections: the asset at a URL path, the switches in force for
  // the n-th request of a method (counted over the whole server), ids.
  RtspAsset AssetOf(const std::string& path, std::string* token) const;
  RtspSwitches SwitchesFor(const std::string& method);
  const TsClip& Clip(const std::string& kind) const { return kind == "hd" ? hd_ : sd_; }
  const RtspSettings& Settings() const { return settings_; }
  std::string NewSessionId();

 protected:
  void Process() override;

 private:
  const RtspSettings& settings_;
  std::string clipDir_;
  Log& log_;
  TsClip sd_, hd_;
  std::vector<int> listeners_;
  std::list<std::unique_ptr<RtspConnection>> connections_;
  std::mutex mutex_;
  std::map<std::string, int> counts_;
  unsigned sessions_ = 0;
  unsigned connectionNumber_ = 0;
};

}  // namespace headend
