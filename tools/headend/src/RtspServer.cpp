#include "RtspServer.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "Log.h"
#include "RtspConnection.h"

namespace headend {

namespace {
constexpr size_t kMaxConnections = 16;
}

RtspServer::RtspServer(const RtspSettings& settings, std::string clipDir, Log& log)
    : Worker("rtsp-accept"), settings_(settings), clipDir_(std::move(clipDir)), log_(log) {}

RtspServer::~RtspServer() {
  Stop();
  for (auto& c : connections_) c->RequestStop();
  connections_.clear();
  for (int fd : listeners_) close(fd);
}

bool RtspServer::Open(std::string* error) {
  if (!TsClip::Load(clipDir_ + "/sd.ts", &sd_, error) ||
      !TsClip::Load(clipDir_ + "/hd.ts", &hd_, error))
    return false;
  for (const auto& address : settings_.addresses) {
    const size_t colon = address.rfind(':');
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(std::atoi(address.c_str() + colon + 1)));
    inet_pton(AF_INET, address.substr(0, colon).c_str(), &a.sin_addr);
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    if (fd >= 0) setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 8) != 0) {
      *error = "rtsp: cannot listen on " + address + ": " + std::strerror(errno);
      if (fd >= 0) close(fd);
      return false;
    }
    listeners_.push_back(fd);
    log_.Write("rtsp: listening on %s", address.c_str());
  }
  return true;
}

RtspAsset RtspServer::AssetOf(const std::string& path, std::string* token) const {
  token->clear();
  for (const auto& a : settings_.assets) {
    if (a.path == path) return a;
    // A control URL: the asset's URL with its token appended.
    if (!a.controlToken.empty() && path == a.path + "/" + a.controlToken) {
      *token = a.controlToken;
      return a;
    }
  }
  RtspAsset fallback;
  fallback.path = path;
  fallback.duration = settings_.defaultDuration;
  return fallback;
}

RtspSwitches RtspServer::SwitchesFor(const std::string& method) {
  std::lock_guard<std::mutex> lock(mutex_);
  const int n = ++counts_[method];
  auto s = settings_.switches.find(method);
  if (s == settings_.switches.end() || (s->second.times > 0 && n > s->second.times))
    return RtspSwitches();
  return s->second;
}

std::string RtspServer::NewSessionId() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::to_string(48213000 + 7 * ++sessions_);
}

void RtspServer::Process() {
  std::vector<pollfd> polls;
  for (int fd : listeners_) polls.push_back({fd, POLLIN, 0});
  while (!Stopping()) {
    connections_.remove_if([](const std::unique_ptr<RtspConnection>& c) { return !c->Running(); });
    if (poll(polls.data(), polls.size(), 100) <= 0) continue;
    for (auto& p : polls) {
      if ((p.revents & POLLIN) == 0) continue;
      sockaddr_in from{};
      socklen_t length = sizeof from;
      const int fd = accept4(p.fd, reinterpret_cast<sockaddr*>(&from), &length, SOCK_CLOEXEC);
      if (fd < 0) continue;
      char ip[INET_ADDRSTRLEN] = "?";
      inet_ntop(AF_INET, &from.sin_addr, ip, sizeof ip);
      const std::string peer = std::string(ip) + ":" + std::to_string(ntohs(from.sin_port));
      if (connections_.size() >= kMaxConnections) {
        log_.Write("rtsp %s: too many connections, closed", peer.c_str());
        close(fd);
        continue;
      }
      log_.Write("rtsp %s: connected", peer.c_str());
      connections_.push_back(
          std::make_unique<RtspConnection>(*this, fd, peer, ++connectionNumber_, log_));
      connections_.back()->Start();
    }
  }
}

}  // namespace headend
