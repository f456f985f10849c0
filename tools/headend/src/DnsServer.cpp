#include "DnsServer.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "DnsAnswers.h"
#include "Log.h"

namespace headend {

DnsServer::DnsServer(const DnsSettings& settings, Log& log)
    : Worker("dns"), settings_(settings), log_(log) {}

DnsServer::~DnsServer() {
  Stop();
  if (socket_ >= 0) close(socket_);
}

bool DnsServer::Open(std::string* error) {
  if (settings_.off) {
    log_.Write("dns: off (%s left to another server)", settings_.address.c_str());
    return true;
  }
  const size_t colon = settings_.address.rfind(':');
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(std::atoi(settings_.address.c_str() + colon + 1)));
  inet_pton(AF_INET, settings_.address.substr(0, colon).c_str(), &a.sin_addr);
  socket_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (socket_ < 0 || bind(socket_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    *error = "dns: cannot bind " + settings_.address + ": " + std::strerror(errno);
    return false;
  }
  log_.Write("dns: %s, %zu records", settings_.address.c_str(), settings_.records.size());
  return true;
}

void DnsServer::Process() {
  if (socket_ < 0) return;
  std::vector<uint8_t> buffer(512);
  while (!Stopping()) {
    pollfd p{socket_, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t n = recvfrom(socket_, buffer.data(), buffer.size(), 0,
                               reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n <= 0) continue;
    char peer[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &from.sin_addr, peer, sizeof peer);
    DnsQuestion q;
    if (!ParseDnsQuestion(buffer.data(), static_cast<size_t>(n), &q)) {
      log_.Write("dns %s: %zd bytes that are no query, ignored", peer, n);
      continue;
    }
    ++queries_;
    const bool faulty = settings_.times == 0 || queries_ <= settings_.times;
    if (faulty && settings_.noAnswer) {
      log_.Write("dns %s: query %s type %u: no answer", peer, q.name.c_str(), q.type);
      continue;
    }
    DnsFault fault = DnsFault::None;
    if (faulty && settings_.truncated) fault = DnsFault::Truncated;
    if (faulty && settings_.pointerLoop) fault = DnsFault::PointerLoop;
    std::string summary;
    const std::vector<uint8_t> query(buffer.begin(), buffer.begin() + n);
    const std::vector<uint8_t> reply = BuildDnsReply(query, q, settings_.records, fault, &summary);
    sendto(socket_, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLength);
    log_.Write("dns %s: query %s type %u: %s", peer, q.name.c_str(), q.type, summary.c_str());
  }
}

}  // namespace headend
