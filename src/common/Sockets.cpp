#include "common/Sockets.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "common/Conversions.h"
#include "common/Globals.h"
#include "common/Log.h"

namespace {

constexpr int kReceiveTimeoutSeconds = 2;
constexpr int kUdpAttempts = 4;
constexpr int kProbeDatagram = 1500;

bool SetTimeout(int fd, int option, int seconds) {
  timeval tv{};
  tv.tv_sec = seconds;
  return setsockopt(fd, SOL_SOCKET, option, &tv, sizeof(tv)) == 0;
}

bool SetFlag(int fd, int option) {
  const int on = 1;
  return setsockopt(fd, SOL_SOCKET, option, &on, sizeof(on)) == 0;
}

ip_mreq Membership(const std::string& ip) {
  ip_mreq request{};
  request.imr_multiaddr.s_addr = inet_addr(ip.c_str());
  request.imr_interface.s_addr = htonl(INADDR_ANY);
  return request;
}

}  // namespace

bool CrearClienteUdp(int& sock, sockaddr_in& address, const std::string& ip, int port,
                     int bufferSize, bool unicast) {
  GenerarLogDebug("Inicio CCU " + ip + ":" + convertInttoString(port));
  sock = socket(AF_INET, SOCK_DGRAM, 0);
  if (sock < 0) {
    sock = 0;
    return false;
  }
  if (!SetFlag(sock, SO_REUSEADDR) || !SetFlag(sock, SO_BROADCAST) ||
      !SetTimeout(sock, SO_RCVTIMEO, kReceiveTimeoutSeconds)) {
    return false;
  }
  if (bufferSize > 0) {
    setsockopt(sock, SOL_SOCKET, SO_RCVBUF, &bufferSize, sizeof(bufferSize));
  }

  memset(&address, 0, sizeof(address));
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = unicast ? htonl(INADDR_ANY) : inet_addr(ip.c_str());
  if (bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)) < 0) {
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)) < 0) return false;
  }

  if (!unicast) {
    const ip_mreq request = Membership(ip);
    if (setsockopt(sock, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof(request)) < 0) {
      return false;
    }
  }
  GenerarLogDebug("Salida CCU" + ip + ":" + convertInttoString(port));
  return true;
}

bool AbrirSocketUDP(int& sock, const std::string& ip, int port, bool unicast) {
  for (int attempt = 0; attempt < kUdpAttempts; ++attempt) {
    sockaddr_in address{};
    if (CrearClienteUdp(sock, address, ip, port, BUFSIZE, unicast)) return true;
    if (sock != 0) {
      close(sock);
      sock = 0;
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
  }
  return false;
}

void CerrarConexionUdp(int& sock, const std::string& ip, bool unicast) {
  if (sock == 0) return;
  GenerarLogDebug("CCU " + ip);
  if (!unicast) {
    const ip_mreq request = Membership(ip);
    setsockopt(sock, IPPROTO_IP, IP_DROP_MEMBERSHIP, &request, sizeof(request));
  }
  close(sock);
}

bool ComprobarCanal(const std::string& ip, int port) {
  int sock = 0;
  if (!AbrirSocketUDP(sock, ip, port, false)) return false;
  char buffer[kProbeDatagram];
  const ssize_t received = recv(sock, buffer, sizeof(buffer), 0);
  CerrarConexionUdp(sock, ip, false);
  return received >= 1;
}

bool AbrirListenSocket(int& sock, int port) {
  sock = socket(AF_INET, SOCK_STREAM, 0);
  if (sock < 0) {
    sock = 0;
    return false;
  }
  int size = BUFSIZE;
  setsockopt(sock, SOL_SOCKET, SO_SNDBUF, &size, sizeof(size));
  if (!SetFlag(sock, SO_REUSEADDR) || !SetTimeout(sock, SO_RCVTIMEO, kReceiveTimeoutSeconds) ||
      !SetTimeout(sock, SO_SNDTIMEO, kReceiveTimeoutSeconds)) {
    return false;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)) < 0) return false;
  return listen(sock, 10) == 0;
}

std::string ObtenerIPAdaptador(int sock) {
  sockaddr_in local{};
  socklen_t length = sizeof(local);
  if (getsockname(sock, reinterpret_cast<sockaddr*>(&local), &length) != 0) return "127.0.0.1";
  return ObtenerIPSaddr(local);
}

std::string ObtenerIPSaddr(const sockaddr_in& address) {
  char text[INET_ADDRSTRLEN] = {0};
  if (inet_ntop(AF_INET, &address.sin_addr, text, sizeof(text)) == nullptr) return std::string();
  return text;
}
