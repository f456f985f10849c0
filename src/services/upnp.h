// The SSDP side of the home-network media server: announces the device on
// the UPnP group and answers the searches that name it. It owns the HTTP
// side, which runs whether or not the announcer does.
#pragma once

#include <netinet/in.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "common/Socket.h"
#include "common/Thread.h"
#include "services/upnphttp.h"

class upnp : public PLATFORM::CThread {
 public:
  static constexpr const char* kUuid = "uuid:8cbe6710-50a2-11e4-916c-0800200c9a66";
  static constexpr const char* kGrupo = "239.255.255.250";
  static constexpr int kPuertoGrupo = 1900;
  static constexpr size_t kMaxDatagrama = 1500;
  // A longer search-target line is not a search of ours.
  static constexpr size_t kMaxST = 256;
  // One search can cost 32 answers: beyond this many a second, dropped.
  static constexpr int kMaxBusquedasSegundo = 20;

  // Starts the HTTP side at once; the announcer starts with Start().
  explicit upnp(upnphttp::FuenteCanales canales);
  ~upnp() override;

  void* Process() override;
  // Stops the announcer and the HTTP side together within `ms` (both are
  // signalled first, so they wind down in parallel); true when both ended.
  // With ms < 0 only signals them.
  bool StopThread(int ms = 5000) override;

  upnphttp& Http() { return *m_http; }

  // The first IPv4 address of the machine that is not 127.0.0.1.
  static std::string GetPrimaryIp();
  // The search-target line of a request ("ST: upnp:rootdevice"), or empty.
  static std::string GetST(const std::string& peticion);
  // The answers to one datagram, in sending order (each goes out twice);
  // none for anything but a search naming one of our targets.
  static std::vector<std::string> Respuestas(const std::string& datagrama, const std::string& ip,
                                             int puerto);
  // The alive and the bye-bye rounds, 20 datagrams each.
  static std::vector<std::string> Avisos(const std::string& ip, int puerto);
  static std::vector<std::string> AvisosBye();

 private:
  void EnviarNotify();
  void EnviarNotifyBye();
  void Enviar(const std::string& mensaje, const sockaddr_in& destino);
  void Atender(const std::string& datagrama, const sockaddr_in& origen);

  std::vector<std::string> m_targets;
  std::string m_grupo;
  int m_puerto;
  UdpSocket m_udp;
  std::string m_ip;
  std::unique_ptr<upnphttp> m_http;
  // Searches answered in the current second, and those dropped.
  std::chrono::steady_clock::time_point m_segundo{};
  int m_atendidas = 0;
  int m_descartadas = 0;
  // When another datagram was last logged.
  std::chrono::steady_clock::time_point m_segundoOtros{};
};
