#include "services/WebRelay.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "common/Conversions.h"
#include "common/Globals.h"
#include "common/Log.h"
#include "common/SettingValues.h"
#include "services/HttpTranscode.h"

namespace {
using Clock = std::chrono::steady_clock;
constexpr int kRodajaMs = 250;  // every wait of the listener
constexpr size_t kBloque = 512;
constexpr int kPausaInicio = 100;  // ms after a worker starts
// For all workers together: the controller's own stop gives about 2 s.
constexpr int kEsperaParada = 1500;
constexpr size_t kMaxClaveLog = 64;
constexpr size_t kMaxTextoLog = 256;
constexpr size_t kMaxPiezasLog = 16;  // "TempParametros" lines per request
constexpr int kDrenajeMs = 200;
constexpr size_t kMaxDrenaje = 64 * 1024;

const char* const kCabecera200 =
    "HTTP/1.1 200 OK\r\n"
    "ContentFeatures.DLNA.ORG: DLNA.ORG_PN=MPEG_PS_PAL;DLNA.ORG_OP=01;DLNA.ORG_CI=0;"
    "DLNA.ORG_FLAGS=01500000000000000000000000000000\r\n"
    "TransferMode.dlna.org: Streaming\r\n"
    "Content-Type: application/octet-stream\r\n"
    "Connection: close\r\n"
    "Server: iptvquorvina\r\n\r\n";
const char* const kCabecera503 = "HTTP/1.1 503 Service Unavailable\r\nConnection: close\r\n\r\n";

std::vector<std::string> Partir(const std::string& texto, char separador) {
  std::vector<std::string> partes;
  size_t inicio = 0;
  for (;;) {
    const size_t fin = texto.find(separador, inicio);
    partes.push_back(texto.substr(inicio, fin - inicio));
    if (fin == std::string::npos) return partes;
    inicio = fin + 1;
  }
}

// Client text for a log line: control bytes (a line break would forge a
// line) shown as \xNN, and at most `maximo` bytes of it.
std::string ParaLog(const std::string& texto, size_t maximo = kMaxTextoLog) {
  std::string salida;
  for (size_t i = 0; i < texto.size() && i < maximo; ++i) {
    const auto c = static_cast<unsigned char>(texto[i]);
    if (c >= 0x20 && c != 0x7F) {
      salida += static_cast<char>(c);
    } else {
      char hex[5];
      snprintf(hex, sizeof(hex), "\\x%02X", c);
      salida += hex;
    }
  }
  return salida;
}

bool EnviarTodo(int fd, const char* datos, size_t largo) {
  while (largo > 0) {
    const ssize_t n = send(fd, datos, largo, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    datos += n;
    largo -= static_cast<size_t>(n);
  }
  return true;
}
}  // namespace

WebRelay::WebRelay(FuenteCanales canales) : m_canales(std::move(canales)) {
  SetThreadName("quorvina-relay");
}

WebRelay::~WebRelay() {
  StopThread(0);
  PararTodos();
}

bool WebRelay::Retransmisible(const Canal& canal) {
  in_addr direccion{};
  if (inet_pton(AF_INET, canal.ip.c_str(), &direccion) != 1) return false;
  const uint32_t ip = ntohl(direccion.s_addr);
  return (ip >> 28) == 0xE && canal.puerto >= 1 && canal.puerto <= 65535;
}

size_t WebRelay::Clientes() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  size_t n = 0;
  for (const auto& w : m_workers) n += w.second->Running() ? 1 : 0;
  return n;
}

bool WebRelay::Response(int fd, int codigo, bool dlna) {
  if (codigo == 200 && dlna) return EnviarTodo(fd, kCabecera200, strlen(kCabecera200));
  if (codigo == 503) return EnviarTodo(fd, kCabecera503, strlen(kCabecera503));
  char cabecera[64];
  const int largo = snprintf(cabecera, sizeof(cabecera), "HTTP/1.1 %d %s\r\n\r\n", codigo,
                             "Internal server error");
  return EnviarTodo(fd, cabecera, static_cast<size_t>(largo));
}

bool WebRelay::LeerPeticion(int fd, std::string& peticion) {
  const auto fin = Clock::now() + std::chrono::milliseconds(kEsperaCabeceraMs);
  while (peticion.find("\r\n\r\n") == std::string::npos) {
    const auto falta =
        std::chrono::duration_cast<std::chrono::milliseconds>(fin - Clock::now()).count();
    if (falta <= 0 || PLATFORM::Stopping() || peticion.size() >= kMaxCabecera) return false;
    pollfd p{fd, POLLIN, 0};
    const int listo = poll(&p, 1, static_cast<int>(std::min<int64_t>(falta, kRodajaMs)));
    if (listo < 0 && errno != EINTR) return false;
    if (listo > 0 && RecibirTrozo(fd, peticion) < 0) return false;
  }
  return true;
}

int WebRelay::RecibirTrozo(int fd, std::string& peticion) {
  char bloque[kBloque];
  const size_t cabe = std::min(kBloque, kMaxCabecera - peticion.size());
  const ssize_t n = recv(fd, bloque, cabe, MSG_DONTWAIT);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return 1;
  if (n < 1) return -1;
  GenerarLogDebug("recv http");
  peticion.append(bloque, static_cast<size_t>(n));
  return peticion.find("\r\n\r\n") == std::string::npos && peticion.size() < kMaxCabecera ? 1 : 0;
}

bool WebRelay::ParsearGET(const std::string& peticion, int fd, const ChannelMap& canales,
                          const std::function<bool(const Parametros&)>& hayPlaza,
                          Parametros& parametros, int& canal) {
  GenerarLogDebug("ParsearGET 1 " + ParaLog(peticion));
  canal = -1;
  // Anything short of a whole head within its limits gets the 500 head.
  const size_t finCabecera = peticion.find("\r\n\r\n");
  if (finCabecera == std::string::npos || finCabecera + 4 > kMaxCabecera) {
    GenerarLogDebug("ParsearGET 2");
    Response(fd, 500, false);
    return false;
  }
  std::string linea = peticion.substr(0, peticion.find("\r\n"));
  linea = linea.substr(0, linea.size() >= 9 ? linea.size() - 9 : 0);
  const bool head = linea.compare(0, 6, "HEAD /") == 0;
  if (!head && linea.compare(0, 5, "GET /") != 0) {
    GenerarLogDebug("ParsearGET 3");
    Response(fd, 500, false);
    return false;
  }
  const std::string ruta = linea.substr(linea.find('/') + 1);
  GenerarLogDebug("ParsearGET " + ParaLog(ruta));
  size_t piezas = 0;
  for (const std::string& pieza : Partir(ruta, '&')) {
    if (++piezas <= kMaxPiezasLog) GenerarLogDebug("TempParametros " + ParaLog(pieza));
    const std::vector<std::string> partes = Partir(pieza, '=');
    if (partes.size() < 2) continue;
    parametros.emplace(partes[0], partes[1].substr(0, partes[1].find('.')));
  }
  const auto pedido = parametros.find("canal");
  if (pedido == parametros.end()) {
    GenerarLogDebug("ParsearGET 5");
    Response(fd, 500, false);
    return false;
  }
  GenerarLogDebug("ParsearGET 6 " + ParaLog(pedido->second));
  const int id = ConvertStringtoint(pedido->second);
  const auto encontrado = canales.find(id);
  // Only the operator's multicast channels are relayed: nothing a client
  // sends can make the relay reach another address.
  if (encontrado == canales.end() || !Retransmisible(encontrado->second)) {
    GenerarLogDebug("Salida get canal " + convertInttoString(id));
    return false;
  }
  if (!head && hayPlaza && !hayPlaza(parametros)) {
    GenerarLogError("Relay sin plazas para el canal " + convertInttoString(id));
    Response(fd, 503, false);
    return false;
  }
  GenerarLogDebug("ParsearGET 7");
  canal = id;
  return Response(fd, 200, true) && !head;
}

std::string WebRelay::Clave(const Parametros& parametros) {
  const auto id = parametros.find("id");
  if (id != parametros.end()) return id->second;
  std::lock_guard<std::mutex> lock(m_mutex);
  while (m_workers.count(convertInttoString(m_siguiente)) != 0) ++m_siguiente;
  return convertInttoString(m_siguiente);
}

void WebRelay::Atender(Socket& cliente, const std::string& peticion) {
  const std::shared_ptr<const LineUp> lineUp = m_canales ? m_canales() : nullptr;
  const ChannelMap vacio;
  const ChannelMap& canales = lineUp ? lineUp->fullChannels : vacio;
  const auto hayPlaza = [this](const Parametros& p) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto id = p.find("id");
    if (id != p.end()) {
      const auto w = m_workers.find(id->second);
      if (w != m_workers.end() && w->second->Running()) return true;  // takes its key over
    }
    size_t enMarcha = 0;
    for (const auto& w : m_workers) enMarcha += w.second->Running() ? 1 : 0;
    return enMarcha < kMaxClientes;
  };
  Parametros parametros;
  int canal = -1;
  if (!ParsearGET(peticion, cliente.fd(), canales, hayPlaza, parametros, canal)) return;

  const std::string clave = Clave(parametros);
  const Canal& datos = canales.at(canal);
  auto worker = std::make_unique<HttpTranscode>(std::move(cliente), canal, datos.ip, datos.puerto,
                                                ParaLog(clave, kMaxClaveLog));
  // The client has its 200 head already: say why it gets no stream.
  if (!worker->Start()) GenerarLogError("Relay no se puede iniciar el cliente " + worker->Clave());
  std::unique_ptr<HttpTranscode> anterior;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::unique_ptr<HttpTranscode>& sitio = m_workers[clave];
    anterior = std::move(sitio);
    sitio = std::move(worker);
  }
  if (anterior) {
    GenerarLogDebug("Relay clave relevada " + ParaLog(clave, kMaxClaveLog));
    anterior->Parar();
    m_relevados.push_back(std::move(anterior));
  }
  SleepFor(kPausaInicio);
}

void WebRelay::Barrer() {
  std::vector<std::unique_ptr<HttpTranscode>> terminados;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_workers.begin(); it != m_workers.end();) {
      if (it->second->Running()) {
        ++it;
      } else {
        terminados.push_back(std::move(it->second));
        it = m_workers.erase(it);
      }
    }
  }
  for (auto it = m_relevados.begin(); it != m_relevados.end();) {
    if ((*it)->Running()) {
      ++it;
    } else {
      terminados.push_back(std::move(*it));
      it = m_relevados.erase(it);
    }
  }
  // Joined outside the lock: each ended thread is only reaped here.
  terminados.clear();
}

void WebRelay::PararTodos() {
  std::vector<std::unique_ptr<HttpTranscode>> todos = std::move(m_relevados);
  m_relevados.clear();
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& w : m_workers) todos.push_back(std::move(w.second));
    m_workers.clear();
  }
  // All asked first, so that they end side by side, within one deadline.
  const auto fin = Clock::now() + std::chrono::milliseconds(kEsperaParada);
  for (auto& w : todos) w->Parar();
  for (auto& w : todos) {
    const auto falta = std::chrono::duration_cast<std::chrono::milliseconds>(fin - Clock::now());
    // At least 1: a wait of 0 would have no limit.
    const int ms = static_cast<int>(std::max<int64_t>(1, falta.count()));
    PLATFORM::StopOwnedWorker(w, ms, "relay " + w->Clave());
  }
}

void WebRelay::Avanzar(Pendiente& pendiente, bool legible) {
  const int fd = pendiente.socket.fd();
  if (pendiente.cerrando) {
    char resto[4096];
    const ssize_t n = legible ? recv(fd, resto, sizeof(resto), MSG_DONTWAIT) : -1;
    if (n > 0) pendiente.drenados += static_cast<size_t>(n);
    const bool sigue = n > 0 || (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || !legible));
    if (!sigue || pendiente.drenados >= kMaxDrenaje || Clock::now() >= pendiente.fin)
      pendiente.socket.reset();
    return;
  }
  const int estado = legible ? RecibirTrozo(fd, pendiente.peticion) : 1;
  if (estado > 0 && Clock::now() < pendiente.fin) return;
  // An empty request closes; anything else, whole or not, is answered.
  if (!pendiente.peticion.empty()) Atender(pendiente.socket, pendiente.peticion);
  if (!pendiente.socket.valid()) return;  // a worker has it
  shutdown(fd, SHUT_WR);
  pendiente.cerrando = true;
  pendiente.fin = Clock::now() + std::chrono::milliseconds(kDrenajeMs);
}

void* WebRelay::Process() {
  Socket escucha;
  if (!AbrirListenSocket(escucha, PuertoHttp)) {
    GenerarLogError("Relay no se puede abrir el puerto " + convertInttoString(PuertoHttp) + ": " +
                    strerror(errno));
    return nullptr;
  }
  // Heads are read side by side, so that slow clients hold back nobody.
  std::vector<Pendiente> pendientes;
  std::vector<pollfd> fds;
  bool fallando = false;
  while (!PararProceso && !StopRequested()) {
    const auto ahora = Clock::now();
    int64_t espera = kRodajaMs;
    fds.assign(1, pollfd{escucha.fd(), POLLIN, 0});
    for (const Pendiente& p : pendientes) {
      fds.push_back(pollfd{p.socket.fd(), POLLIN, 0});
      const auto falta = std::chrono::duration_cast<std::chrono::milliseconds>(p.fin - ahora);
      espera = std::max<int64_t>(0, std::min<int64_t>(espera, falta.count()));
    }
    if (poll(fds.data(), fds.size(), static_cast<int>(espera)) < 0) {
      for (pollfd& f : fds) f.revents = 0;
    }
    for (size_t i = 0; i < pendientes.size(); ++i) Avanzar(pendientes[i], fds[i + 1].revents != 0);
    pendientes.erase(std::remove_if(pendientes.begin(), pendientes.end(),
                                    [](const Pendiente& p) { return !p.socket.valid(); }),
                     pendientes.end());
    if ((fds[0].revents & POLLIN) != 0) {
      const int fd = accept4(escucha.fd(), nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) {
        // One line per failing spell (no descriptor left...), not per attempt.
        if (!fallando) GenerarLogError(std::string("Relay accept: ") + strerror(errno));
        fallando = true;
        SleepFor(kPausaInicio);
      } else {
        fallando = false;
        GenerarLogDebug("clientSock");
        GenerarLogDebug("clientSock > 0");
        if (pendientes.size() >= kMaxPendientes) {
          // The oldest gives way: a flood cannot shut newcomers out.
          Response(pendientes.front().socket.fd(), 500, false);
          pendientes.erase(pendientes.begin());
        }
        pendientes.push_back(
            Pendiente{Socket(fd), std::string(),
                      Clock::now() + std::chrono::milliseconds(kEsperaCabeceraMs)});
      }
    }
    Barrer();
  }
  PararTodos();
  return nullptr;
}
