#include "services/upnp.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "common/Conversions.h"
#include "common/Globals.h"
#include "common/Log.h"
#include "common/SettingValues.h"

namespace {
using Clock = std::chrono::steady_clock;
constexpr int kRodajaMs = 250;
// A destructor's own wait, for an owner that did not stop the worker first.
constexpr int kEsperaFinalMs = 500;
constexpr int kBufferUdp = 16384;
constexpr int kPrimerosAvisos = 5;
constexpr auto kPausaCorta = std::chrono::seconds(5);
constexpr auto kPausaLarga = std::chrono::seconds(60);
const char* const kTargets[] = {
    "upnp:rootdevice",
    "urn:schemas-upnp-org:device:MediaServer:1",
    "urn:schemas-upnp-org:service:ContentDirectory:1",
    "urn:schemas-upnp-org:service:ConnectionManager:1",
};

std::string Formato(const char* plantilla, ...) __attribute__((format(printf, 1, 2)));
std::string Formato(const char* plantilla, ...) {
  va_list args;
  va_start(args, plantilla);
  va_list copia;
  va_copy(copia, args);
  const int largo = vsnprintf(nullptr, 0, plantilla, copia);
  va_end(copia);
  std::string texto(largo > 0 ? static_cast<size_t>(largo) : 0, '\0');
  if (largo > 0) vsnprintf(&texto[0], texto.size() + 1, plantilla, args);
  va_end(args);
  return texto;
}

// A datagram for the log: bytes that would break the line shown as '.'.
std::string ParaLog(const std::string& texto) {
  std::string salida = texto;
  for (char& c : salida) {
    const auto u = static_cast<unsigned char>(c);
    if ((u < 0x20 && c != '\r' && c != '\n') || u == 0x7F) c = '.';
  }
  return salida;
}
}  // namespace

upnp::upnp(upnphttp::FuenteCanales canales) {
  SetThreadName("quorvina-ssdp");
  GenerarLogDebug("Inicio Upnp:");
  m_grupo = kGrupo;
  m_puerto = kPuertoGrupo;
  m_targets.assign(std::begin(kTargets), std::end(kTargets));
  GenerarLogDebug("Salida Upnp");
  m_http = std::make_unique<upnphttp>(std::move(canales));
  if (!m_http->Start()) GenerarLogError("Upnp: no se puede iniciar el servidor http");
}

upnp::~upnp() {
  // The owner stopped both within its budget (StopThread); this only makes
  // sure, briefly, for an owner that did not.
  if (!StopThread(kEsperaFinalMs)) {
    GenerarLogError("Upnp: no ha terminado a tiempo");
    (void)m_http.release();  // its thread may still read it
  }
}

bool upnp::StopThread(int ms) {
  if (m_http) m_http->StopThread(-1);
  // Never the base's unbounded wait: 0 is the shortest one here.
  if (ms == 0) ms = 1;
  const auto fin = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(ms, 0));
  if (!CThread::StopThread(ms)) return false;
  if (ms < 0 || !m_http) return true;
  const auto quedan =
      std::chrono::duration_cast<std::chrono::milliseconds>(fin - std::chrono::steady_clock::now());
  return m_http->StopThread(static_cast<int>(std::max<int64_t>(1, quedan.count())));
}

std::string upnp::GetPrimaryIp() {
  std::string ip = "127.0.0.1";
  ifaddrs* lista = nullptr;
  if (getifaddrs(&lista) == 0) {
    for (const ifaddrs* i = lista; i != nullptr; i = i->ifa_next) {
      if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) continue;
      const std::string texto = ObtenerIPSaddr(*reinterpret_cast<const sockaddr_in*>(i->ifa_addr));
      if (!texto.empty() && texto != "127.0.0.1") {
        ip = texto;
        break;
      }
    }
    freeifaddrs(lista);
  }
  GenerarLogDebug("hostname:" + ip);
  return ip;
}

std::string upnp::GetST(const std::string& peticion) {
  size_t inicio = std::string::npos;
  for (const char* clave : {"\r\nST:", "\r\nst:", "\r\nSt:"}) {
    inicio = peticion.find(clave);
    if (inicio != std::string::npos) break;
  }
  if (inicio == std::string::npos) return std::string();
  inicio += 2;
  const size_t fin = peticion.find("\r\n", inicio);
  if (fin == std::string::npos) return std::string();
  return peticion.substr(inicio, fin - inicio);
}

std::vector<std::string> upnp::Respuestas(const std::string& datagrama, const std::string& ip,
                                          int puerto) {
  std::vector<std::string> respuestas;
  if (datagrama.compare(0, 8, "M-SEARCH") != 0) return respuestas;
  const std::string st = GetST(datagrama);
  // Without its line the answer would carry an empty line inside its head.
  if (st.empty() || st.size() > kMaxST) return respuestas;
  for (int pasada = 0; pasada < 4; ++pasada) {
    for (const char* target : kTargets) {
      if (datagrama.find(target) == std::string::npos) continue;
      respuestas.push_back(Formato(
          "HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=1800\r\nEXT:\r\nLOCATION: "
          "http://%s:%d/device.xml\r\nSERVER: UPnP/1.0 iptvquorvina Brastoket TV\r\n%s\r\nUSN: "
          "%s::%s\r\nCONTENT-LENGTH: 0\r\n\r\n",
          ip.c_str(), puerto, st.c_str(), kUuid, target));
    }
  }
  return respuestas;
}

std::vector<std::string> upnp::Avisos(const std::string& ip, int puerto) {
  std::vector<std::string> avisos;
  for (int pasada = 0; pasada < 4; ++pasada) {
    avisos.push_back(Formato(
        "NOTIFY * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nLOCATION: "
        "http://%s:%d/device.xml\r\nNTS: ssdp:alive\r\nCACHE-CONTROL: max-age=1800\r\nSERVER: "
        "UPnP/1.0 Brastoket-TV\r\nUSN: %s\r\nNT: %s\r\n\r\n",
        ip.c_str(), puerto, kUuid, kUuid));
    for (const char* target : kTargets) {
      avisos.push_back(Formato(
          "NOTIFY * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nNT: %s\r\nNTS: "
          "ssdp:alive\r\nLOCATION: http://%s:%d/device.xml\r\nUSN: %s::%s\r\nCache-Control: "
          "max-age=1800\r\nSERVER: UPnP/1.0 DLNADOC/1.50 Brastoket-TV\r\n\r\n",
          target, ip.c_str(), puerto, kUuid, target));
    }
  }
  return avisos;
}

std::vector<std::string> upnp::AvisosBye() {
  std::vector<std::string> avisos;
  for (int pasada = 0; pasada < 4; ++pasada) {
    avisos.push_back(
        Formato("NOTIFY * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nNT: %s\r\nNTS: "
                "ssdp:byebye\r\nUSN: %s\r\n\r\n",
                kUuid, kUuid));
    for (const char* target : kTargets) {
      avisos.push_back(
          Formato("NOTIFY * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nNT: %s\r\nNTS: "
                  "ssdp:byebye\r\nUSN: %s::%s\r\n\r\n",
                  kUuid, kUuid, target));
    }
  }
  return avisos;
}

void upnp::Enviar(const std::string& mensaje, const sockaddr_in& destino) {
  sendto(m_udp.fd(), mensaje.data(), mensaje.size(), MSG_NOSIGNAL,
         reinterpret_cast<const sockaddr*>(&destino), sizeof(destino));
}

void upnp::EnviarNotify() {
  sockaddr_in grupo{};
  grupo.sin_family = AF_INET;
  grupo.sin_port = htons(static_cast<uint16_t>(m_puerto));
  inet_pton(AF_INET, m_grupo.c_str(), &grupo.sin_addr);
  const std::vector<std::string> avisos = Avisos(m_ip, PuertoHttpUpnp);
  for (size_t i = 0; i < avisos.size(); ++i) {
    Enviar(avisos[i], grupo);
    if (i % 5 != 0) GenerarLogDebug(std::string("notify:") + kTargets[i % 5 - 1]);
  }
}

void upnp::EnviarNotifyBye() {
  sockaddr_in grupo{};
  grupo.sin_family = AF_INET;
  grupo.sin_port = htons(static_cast<uint16_t>(m_puerto));
  inet_pton(AF_INET, m_grupo.c_str(), &grupo.sin_addr);
  const std::vector<std::string> avisos = AvisosBye();
  for (size_t i = 0; i < avisos.size(); ++i) {
    Enviar(avisos[i], grupo);
    if (i % 5 != 0) GenerarLogDebug(std::string("notify bye:") + kTargets[i % 5 - 1]);
  }
}

void upnp::Atender(const std::string& datagrama, const sockaddr_in& origen) {
  const std::string desde = ObtenerIPSaddr(origen);
  const auto ahora = Clock::now();
  if (datagrama.compare(0, 8, "M-SEARCH") != 0) {
    // Others' announcements (and our own, looped back) come in rounds: one
    // line a second is enough to see them.
    if (ahora - m_segundoOtros >= std::chrono::seconds(1)) {
      m_segundoOtros = ahora;
      GenerarLogDebug("UDP:\r\n" + ParaLog(datagrama) + "-" + desde);
    }
    return;
  }
  // Only searches that earn answers use up the quota (and start its
  // second): others' routine searches for everything cannot starve those
  // naming us.
  const std::vector<std::string> respuestas = Respuestas(datagrama, m_ip, PuertoHttpUpnp);
  if (respuestas.empty()) return;
  if (ahora - m_segundo >= std::chrono::seconds(1)) {
    m_segundo = ahora;
    m_atendidas = 0;
    m_descartadas = 0;
  }
  if (m_atendidas >= kMaxBusquedasSegundo) {
    // One line for each second that has drops.
    if (m_descartadas++ == 0) GenerarLogError("Upnp: busquedas descartadas por exceso");
    return;
  }
  ++m_atendidas;
  GenerarLogDebug("Pregunta UDP:\r\n" + ParaLog(datagrama) + "Desde:" + desde + ":" +
                  convertInttoString(ntohs(origen.sin_port)));
  for (const std::string& respuesta : respuestas) {
    Enviar(respuesta, origen);
    Enviar(respuesta, origen);
    GenerarLogDebug("Respuesta UDP:\r\n" + respuesta);
  }
}

void* upnp::Process() {
  m_ip = GetPrimaryIp();
  if (!CrearClienteUdp(m_udp, m_grupo, m_puerto, kBufferUdp, false)) {
    GenerarLogError(std::string("Upnp: no se puede abrir el grupo ssdp: ") + strerror(errno));
    return nullptr;
  }
  int buffer = kBufferUdp;
  setsockopt(m_udp.fd(), SOL_SOCKET, SO_RCVBUF, &buffer, sizeof(buffer));
  auto siguiente = Clock::now();
  int enviados = 0;
  char datos[kMaxDatagrama];
  for (;;) {
    if (PararProceso || StopRequested()) {
      EnviarNotifyBye();
      GenerarLogDebug("Envio UDP byebye\r\n");
      CerrarConexionUdp(m_udp);
      return nullptr;
    }
    if (Clock::now() >= siguiente) {
      EnviarNotify();
      siguiente = Clock::now() + (enviados++ < kPrimerosAvisos ? kPausaCorta : kPausaLarga);
    }
    pollfd p{m_udp.fd(), POLLIN, 0};
    if (poll(&p, 1, kRodajaMs) <= 0) continue;
    sockaddr_in origen{};
    socklen_t largoOrigen = sizeof(origen);
    const ssize_t n = recvfrom(m_udp.fd(), datos, sizeof(datos), MSG_DONTWAIT,
                               reinterpret_cast<sockaddr*>(&origen), &largoOrigen);
    if (n <= 0) continue;
    Atender(std::string(datos, static_cast<size_t>(n)), origen);
  }
}
