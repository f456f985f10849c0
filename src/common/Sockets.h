// IPv4 socket set-up for multicast reception and local servers. A socket is a
// plain descriptor owned by the caller; 0 means none.
#pragma once

#include <netinet/in.h>

#include <string>

bool CrearClienteUdp(int& socket, sockaddr_in& address, const std::string& ip, int port,
                     int bufferSize, bool unicast);
bool AbrirSocketUDP(int& socket, const std::string& ip, int port, bool unicast);
void CerrarConexionUdp(int& socket, const std::string& ip, bool unicast);
// True when one datagram arrives on the group within the receive time-out.
bool ComprobarCanal(const std::string& ip, int port);
bool AbrirListenSocket(int& socket, int port);
std::string ObtenerIPAdaptador(int socket);
std::string ObtenerIPSaddr(const sockaddr_in& address);
