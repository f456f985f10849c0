// The TCP side of the host's JSON-RPC interface: listens on the IPv6 and the
// IPv4 loopback, reads each connection's bytes and cuts them into JSON
// objects (clients send one object per request, without framing or with a
// line end), and writes each reply back as it is, without framing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/HostThread.h"

namespace hostsim {

class JsonRpcListener : private HostThread {
 public:
  // Returns the reply to one request text ("" for none).
  using Handler = std::function<std::string(const std::string&)>;

  explicit JsonRpcListener(Handler handler);
  ~JsonRpcListener() override;

  // Port 0: any free port (the same on both addresses).
  bool listen(uint16_t port, std::string& error);
  void close();
  uint16_t port() const { return port_; }
  bool listening() const { return !listeners_.empty(); }

  // Complete JSON objects at the front of `buffer`, removed from it. Text
  // that cannot start an object is dropped; an object still open stays.
  static std::vector<std::string> takeObjects(std::string& buffer);

  static constexpr size_t kMaxConnections = 16;
  static constexpr size_t kMaxRequest = 1 << 20;

 private:
  struct Connection {
    int fd;
    std::string pending;
  };
  void process() override;
  void wake() override;
  bool serve(Connection& c);

  Handler handler_;
  std::vector<int> listeners_;
  std::vector<Connection> connections_;
  uint16_t port_ = 0;
};

}  // namespace hostsim
