#include "StpReceiver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <tuple>

namespace probe {

StpReceiver::~StpReceiver() {
  if (socket_ >= 0) close(socket_);
}

bool StpReceiver::Join(const std::string& group, int port, std::string* error) {
  socket_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  int one = 1;
  setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
  int buffer = 4 * 1024 * 1024;
  setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof(buffer));
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, group.c_str(), &at.sin_addr);
  ip_mreq membership{};
  membership.imr_multiaddr = at.sin_addr;
  membership.imr_interface.s_addr = htonl(INADDR_ANY);
  if (socket_ < 0 || bind(socket_, reinterpret_cast<sockaddr*>(&at), sizeof(at)) != 0 ||
      setsockopt(socket_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof(membership)) != 0) {
    *error = group + ":" + std::to_string(port) + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool StpReceiver::Receive(int timeoutMs, const std::function<bool()>& done) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string datagram(70000, '\0');
  while (true) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{socket_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    ssize_t n = recv(socket_, &datagram[0], datagram.size(), 0);
    if (n < 0) continue;
    ++datagrams_;
    StpSection s;
    std::string error;
    if (!StpSection::Parse(datagram.substr(0, static_cast<size_t>(n)), &s, &error)) {
      problems_.push_back(error);
    } else {
      Add(s);
    }
    if (done && done()) return true;
  }
}

size_t StpReceiver::ReceiveFor(int ms) {
  size_t before = datagrams_;
  Receive(ms, nullptr);
  return datagrams_ - before;
}

void StpReceiver::Add(const StpSection& s) {
  sections_.push_back(s);
  bool last = s.sectionNumber == s.lastSectionNumber;
  if (s.crcFlag && !last)
    problems_.push_back("CRC flag on section " + std::to_string(s.sectionNumber) + " of " +
                        std::to_string(s.lastSectionNumber) + ": only the last one carries it");
  auto key = std::make_tuple(s.payloadId, s.segmentId, s.segmentVersion);
  auto shape = shape_.emplace(key, std::make_pair(s.lastSectionNumber, s.totalSize)).first;
  if (shape->second != std::make_pair(s.lastSectionNumber, s.totalSize)) {
    problems_.push_back("sections of one segment version disagree on its size");
    return;
  }
  Partial& partial = partial_[key];
  auto known = partial.bodies.find(s.sectionNumber);
  if (known != partial.bodies.end()) {
    if (known->second != s.body) problems_.push_back("a repeated section changed its body");
    return;
  }
  partial.bodies[s.sectionNumber] = s.body;
  if (last) {
    partial.withCrc = s.crcFlag;
    partial.crc = s.crc;
  }
  if (static_cast<int>(partial.bodies.size()) != s.lastSectionNumber + 1) return;
  Segment segment{s.payloadId, s.segmentVersion, {}};
  for (const auto& part : partial.bodies) segment.body += part.second;
  bool crcFailed =
      partial.withCrc && StpSection::Crc(segment.body, segment.body.size()) != partial.crc;
  if (partial.withCrc) ++(crcFailed ? crcFailures_ : crcMatches_);
  partial_.erase(key);
  shape_.erase(key);
  if (crcFailed) return;
  if (segment.body.size() != s.totalSize)
    problems_.push_back("segment size " + std::to_string(segment.body.size()) +
                        " differs from the header's " + std::to_string(s.totalSize));
  if (s.segmentId == 0) complete_[s.payloadId] = segment;
}

}  // namespace probe
