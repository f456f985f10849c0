// The host's JSON-RPC interface (TCP port 9090 on the IPv6 and IPv4
// loopback), with the methods an add-on uses to drive the host's player and
// library: Player.GetActivePlayers, Player.Open {"item":{"channelid":N}},
// Player.Stop, Player.PlayPause, Player.SetSpeed, PVR.GetChannels and
// VideoLibrary.Scan. Channel ids are the host's own, not the add-on's
// unique ids. Every request is kept and journaled ("[host] JSON-RPC ...").
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "core/JsonRpcListener.h"

namespace hostsim {

class Host;

struct JsonRpcRequest {
  std::string method;  // empty when the text was not a JSON-RPC object
  std::string params;  // the params member as compact JSON, "" when absent
  std::string text;    // as received
};

class JsonRpc {
 public:
  static constexpr uint16_t kDefaultPort = 9090;

  explicit JsonRpc(Host& host);
  ~JsonRpc();

  bool start(uint16_t port, std::string& error);  // 0: any free port
  void stop();
  bool running() const { return listener_.listening(); }
  uint16_t port() const { return listener_.port(); }

  std::vector<JsonRpcRequest> requests() const;
  size_t count(const std::string& method) const;
  bool waitFor(const std::string& method, std::chrono::milliseconds timeout) const;

  // The host's id of an add-on channel, given at first sight in channel
  // number order, starting at 1; 0 when the host has no such channel.
  unsigned int hostChannelId(unsigned int channelUid);

  // One request text in, the reply out ("" for a notification).
  std::string handle(const std::string& text);

 private:
  void refreshChannelIds();

  Host& host_;
  JsonRpcListener listener_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<JsonRpcRequest> requests_;
  std::map<unsigned int, unsigned int> idOfUid_;
  std::map<unsigned int, unsigned int> uidOfId_;
};

}  // namespace hostsim
