// IPv4 sockets as values: a descriptor closes, and a multicast membership
// leaves its group, when its owner lets it go, on every path.
#pragma once

#include <netinet/in.h>

#include <string>

// One descriptor; -1 is the only "no socket".
class Socket {
 public:
  Socket() = default;
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket() { reset(); }
  Socket(Socket&& other) noexcept : fd_(other.release()) {}
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  int fd() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Gives up ownership without closing.
  int release();
  // Closes the held descriptor and holds `fd` instead.
  void reset(int fd = -1);

 private:
  int fd_ = -1;
};

// Membership of one socket in one multicast group on any interface; the
// group is left when the value dies. It does not own the socket, which must
// outlive it.
class MulticastMembership {
 public:
  MulticastMembership() = default;
  ~MulticastMembership() { Leave(); }
  MulticastMembership(MulticastMembership&& other) noexcept;
  MulticastMembership& operator=(MulticastMembership&& other) noexcept;
  MulticastMembership(const MulticastMembership&) = delete;
  MulticastMembership& operator=(const MulticastMembership&) = delete;

  bool Join(int fd, const std::string& group);
  void Leave();
  bool joined() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
  ip_mreq request_{};
};

// A UDP receiver: its socket and, for a multicast group, the membership,
// which is left before the socket closes.
struct UdpSocket {
  Socket socket;
  MulticastMembership membership;  // declared after the socket: dies first
  std::string ip;
  sockaddr_in address{};

  int fd() const { return socket.fd(); }
  bool open() const { return socket.valid(); }
  void Close();
};

// A socket bound to ip:port (any address with `unicast`), with a 2-second
// receive time-out, that has joined the group ip unless `unicast`. On
// failure nothing stays open.
bool CrearClienteUdp(UdpSocket& udp, const std::string& ip, int port, int bufferSize, bool unicast);
// Up to four attempts of CrearClienteUdp with BUFSIZE, 2 seconds apart;
// the pauses end early when the add-on stops.
bool AbrirSocketUDP(UdpSocket& udp, const std::string& ip, int port, bool unicast);
// Leaves the group and closes the socket.
void CerrarConexionUdp(UdpSocket& udp);
// True when one datagram arrives on the group within the receive time-out.
bool ComprobarCanal(const std::string& ip, int port);
bool AbrirListenSocket(Socket& socket, int port);
std::string ObtenerIPAdaptador(int fd);
std::string ObtenerIPSaddr(const sockaddr_in& address);
