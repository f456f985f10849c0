#include "common/Socket.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <utility>

#include "common/Conversions.h"
#include "common/Globals.h"
#include "common/Log.h"
#include "common/Thread.h"

namespace {

constexpr int kReceiveTimeoutSeconds = 2;
constexpr int kUdpAttempts = 4;
constexpr auto kUdpPause = std::chrono::seconds(2);
constexpr auto kPauseSlice = std::chrono::milliseconds(100);
constexpr int kProbeDatagram = 1500;
constexpr int kProbeSliceMs = 250;

bool SetTimeout(int fd, int option, int seconds) {
  timeval tv{};
  tv.tv_sec = seconds;
  return setsockopt(fd, SOL_SOCKET, option, &tv, sizeof(tv)) == 0;
}

bool SetFlag(int fd, int option) {
  const int on = 1;
  return setsockopt(fd, SOL_SOCKET, option, &on, sizeof(on)) == 0;
}

// Sleeps, waking early when the add-on stops.
void Pause(std::chrono::milliseconds length) {
  const auto end = std::chrono::steady_clock::now() + length;
  while (!PLATFORM::Stopping() && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(kPauseSlice);
  }
}

}  // namespace

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) reset(other.release());
  return *this;
}

int Socket::release() {
  return std::exchange(fd_, -1);
}

void Socket::reset(int fd) {
  if (fd_ >= 0) close(fd_);
  fd_ = fd;
}

MulticastMembership::MulticastMembership(MulticastMembership&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), request_(other.request_) {}

MulticastMembership& MulticastMembership::operator=(MulticastMembership&& other) noexcept {
  if (this != &other) {
    Leave();
    fd_ = std::exchange(other.fd_, -1);
    request_ = other.request_;
  }
  return *this;
}

bool MulticastMembership::Join(int fd, const std::string& group) {
  Leave();
  ip_mreq request{};
  if (inet_pton(AF_INET, group.c_str(), &request.imr_multiaddr) != 1) return false;
  request.imr_interface.s_addr = htonl(INADDR_ANY);
  if (setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof(request)) != 0) return false;
  fd_ = fd;
  request_ = request;
  return true;
}

void MulticastMembership::Leave() {
  if (fd_ < 0) return;
  setsockopt(fd_, IPPROTO_IP, IP_DROP_MEMBERSHIP, &request_, sizeof(request_));
  fd_ = -1;
}

void UdpSocket::Close() {
  membership.Leave();
  socket.reset();
}

bool CrearClienteUdp(UdpSocket& udp, const std::string& ip, int port, int bufferSize,
                     bool unicast) {
  GenerarLogDebug("Inicio CCU " + ip + ":" + convertInttoString(port));
  udp.Close();
  udp.ip = ip;
  Socket sock(socket(AF_INET, SOCK_DGRAM, 0));
  if (!sock.valid()) return false;
  const int fd = sock.fd();
  if (!SetFlag(fd, SO_REUSEADDR) || !SetFlag(fd, SO_BROADCAST) ||
      !SetTimeout(fd, SO_RCVTIMEO, kReceiveTimeoutSeconds)) {
    return false;
  }
  if (bufferSize > 0) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bufferSize, sizeof(bufferSize));

  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = unicast ? htonl(INADDR_ANY) : inet_addr(ip.c_str());
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) < 0) {
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) < 0) return false;
  }

  MulticastMembership membership;
  if (!unicast && !membership.Join(fd, ip)) return false;
  udp.socket = std::move(sock);
  udp.membership = std::move(membership);
  udp.address = address;
  GenerarLogDebug("Salida CCU" + ip + ":" + convertInttoString(port));
  return true;
}

bool AbrirSocketUDP(UdpSocket& udp, const std::string& ip, int port, bool unicast) {
  for (int attempt = 0; attempt < kUdpAttempts && !PLATFORM::Stopping(); ++attempt) {
    if (CrearClienteUdp(udp, ip, port, BUFSIZE, unicast)) return true;
    Pause(kUdpPause);
  }
  return false;
}

void CerrarConexionUdp(UdpSocket& udp) {
  if (!udp.open()) return;
  GenerarLogDebug("CCU " + udp.ip);
  udp.Close();
}

bool ComprobarCanal(const std::string& ip, int port) {
  UdpSocket udp;
  if (!AbrirSocketUDP(udp, ip, port, false)) return false;
  char buffer[kProbeDatagram];
  ssize_t received = -1;
  // The 2 s wait for a datagram, in slices: a stop is seen within one.
  for (int waited = 0; waited < kReceiveTimeoutSeconds * 1000 && !PLATFORM::Stopping();
       waited += kProbeSliceMs) {
    pollfd entrada{udp.fd(), POLLIN, 0};
    if (poll(&entrada, 1, kProbeSliceMs) > 0) {
      received = recv(udp.fd(), buffer, sizeof(buffer), MSG_DONTWAIT);
      if (received >= 1) break;
    }
  }
  CerrarConexionUdp(udp);
  return received >= 1;
}

bool AbrirListenSocket(Socket& listener, int port) {
  Socket sock(socket(AF_INET, SOCK_STREAM, 0));
  if (!sock.valid()) return false;
  const int fd = sock.fd();
  int size = BUFSIZE;
  setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof(size));
  if (!SetFlag(fd, SO_REUSEADDR) || !SetTimeout(fd, SO_RCVTIMEO, kReceiveTimeoutSeconds) ||
      !SetTimeout(fd, SO_SNDTIMEO, kReceiveTimeoutSeconds)) {
    return false;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) < 0) return false;
  if (listen(fd, 10) != 0) return false;
  listener = std::move(sock);
  return true;
}

std::string ObtenerIPAdaptador(int fd) {
  sockaddr_in local{};
  socklen_t length = sizeof(local);
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) return "127.0.0.1";
  return ObtenerIPSaddr(local);
}

std::string ObtenerIPSaddr(const sockaddr_in& address) {
  char text[INET_ADDRSTRLEN] = {0};
  if (inet_ntop(AF_INET, &address.sin_addr, text, sizeof(text)) == nullptr) return std::string();
  return text;
}
