// The on-demand client's session: opening, the control connection and its
// exchanges, speeds, times, the guide entry and the end.
#include "live/Rtsp.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cmath>
#include <thread>

#include "common/Conversions.h"
#include "common/Dns.h"
#include "common/Globals.h"
#include "common/HostServices.h"
#include "common/Log.h"
#include "common/Paths.h"
#include "common/SettingValues.h"
#include "common/Text.h"

namespace {

constexpr int kRebanadaMs = 250;
constexpr int kBloqueControl = 1500;
constexpr int kBufferRecepcion = 4 * 1024 * 1024;

int64_t AhoraMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// f(s) of the playing-time estimate: s - 1 at s >= 1, s below.
int Factor(int escala) {
  return escala >= 1 ? escala - 1 : escala;
}

// The first address record of the operator's DNS answer (aliases skipped),
// else the system resolver's.
std::string Resolver(const std::string& nombre) {
  in_addr literal{};
  if (inet_pton(AF_INET, nombre.c_str(), &literal) == 1) return nombre;
  const DnsReply respuesta = ConsultarDns(nombre, DNSBrastokeTV);
  for (const auto& registro : respuesta.answers) {
    if (registro.type != 1 || registro.data.size() != 4) continue;
    char texto[INET_ADDRSTRLEN] = {0};
    inet_ntop(AF_INET, registro.data.data(), texto, sizeof texto);
    return texto;
  }
  // The system resolver cannot be cut short: not while stopping.
  if (PLATFORM::Stopping()) return {};
  GenerarLogDebug("ngethostbyname:" + nombre);
  GenerarLogDebug("gethostbyname:" + nombre);
  addrinfo pista{};
  pista.ai_family = AF_INET;
  pista.ai_socktype = SOCK_STREAM;
  addrinfo* lista = nullptr;
  if (getaddrinfo(nombre.c_str(), nullptr, &pista, &lista) != 0 || lista == nullptr) return {};
  char texto[INET_ADDRSTRLEN] = {0};
  inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(lista->ai_addr)->sin_addr, texto,
            sizeof texto);
  freeaddrinfo(lista);
  return texto;
}

// Connects within `segundos`, in slices that notice the add-on's stop.
bool Conectar(int fd, const sockaddr_in& destino, int segundos) {
  const int flags = fcntl(fd, F_GETFL, 0);
  fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  int r = connect(fd, reinterpret_cast<const sockaddr*>(&destino), sizeof destino);
  if (r != 0 && errno != EINPROGRESS) return false;
  for (int espera = 0; r != 0 && espera < segundos * 1000; espera += kRebanadaMs) {
    if (PLATFORM::Stopping()) return false;
    pollfd p{fd, POLLOUT, 0};
    if (poll(&p, 1, kRebanadaMs) <= 0) continue;
    int error = 0;
    socklen_t largo = sizeof error;
    getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &largo);
    if (error != 0) return false;
    r = 0;
  }
  fcntl(fd, F_SETFL, flags);
  return r == 0;
}

}  // namespace

rtsp::rtsp(ServiciosVod& servicios, Reloj reloj)
    : m_servicios(servicios), m_reloj(std::move(reloj)) {
  SetThreadName("quorvina-rtsp");
  m_puerto = puertortsp;
}

rtsp::~rtsp() {
  m_parar = true;
  StopThread(kEsperaSesionMs);
  Finalizar();
}

std::string rtsp::Servidor() const {
  std::lock_guard<std::mutex> lock(m_estado);
  return m_servidor;
}

int rtsp::Puerto() const {
  std::lock_guard<std::mutex> lock(m_estado);
  return m_puerto;
}

bool rtsp::EsperarSesionAnterior() {
  for (int espera = 0; Running(); espera += kRebanadaMs) {
    if (espera >= kEsperaSesionMs || PLATFORM::Stopping()) {
      GenerarLogError("rtsp: la sesion anterior no termina");
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kRebanadaMs));
  }
  return true;
}

bool rtsp::AbrirVod(const DatosVod& datos, const std::string& url) {
  if (!EsperarSesionAnterior()) return false;
  Finalizar();  // a leftover session ends with its own record
  {
    std::lock_guard<std::mutex> lock(m_estado);
    ObtenerServidoryPuerto(url, m_servidor, m_puerto);
  }
  std::string productType = "2";
  const std::string marcador = m_servicios.ObtenerMarcador(datos.strRecordingId, productType);
  std::string inicio = "0";
  if (!marcador.empty() && marcador != "0") {
    const std::string texto = "Continuar desde " + FormatoPosicion(ConvertStringtoint(marcador));
    if (m_servicios.ElegirContinuar(texto)) inicio = marcador;
  }
  {
    std::lock_guard<std::mutex> lock(m_estado);
    m_datosVod = datos;
    m_hayVod = true;
    m_productType = productType;
    m_anclaInicio = Ahora() + ConvertStringtoint(inicio);
    m_anclaFin = m_anclaInicio + datos.iDuration;
  }
  TheHost().TriggerEpgUpdate(CanalVOD);
  m_modoCopia = false;
  return Abrir(url, inicio, datos.HD, true);
}

bool rtsp::GrabarRecording(const std::string& id) {
  if (!EsperarSesionAnterior()) return false;
  m_copiaCompleta = false;
  DatosVod datos;
  std::string url;
  if (!m_servicios.DatosCopia(id, datos, url)) {
    GenerarLogError("GrabarRecording: " + id + " no es una grabacion en la nube con stream");
    return false;
  }
  return Copiar(datos, url, ObtenerNombreFichero(datos, ".mpeg"));
}

bool rtsp::Copiar(const DatosVod& datos, const std::string& url, const std::string& fichero) {
  if (!EsperarSesionAnterior()) return false;
  Finalizar();
  m_copiaCompleta = false;
  {
    std::lock_guard<std::mutex> lock(m_estado);
    ObtenerServidoryPuerto(url, m_servidor, m_puerto);
    m_datosVod = datos;
    m_hayVod = true;
  }
  m_modoCopia = true;
  const std::string parcial = fichero + kSufijoParcial;
  void* handle = TheHost().OpenFileForWrite(parcial, true);
  if (handle == nullptr) {
    GenerarLogError("rtsp: no se puede crear " + parcial);
    m_modoCopia = false;
    return false;
  }
  {
    // With the name, or a stop between the two would take this file for a
    // closed one and delete it under the new session.
    std::lock_guard<std::mutex> lock(m_copia);
    m_fichero = handle;
    m_nombreFichero = fichero;
    m_nombreParcial = parcial;
    m_ficheroAbierto = true;
  }
  if (Abrir(url, "0", datos.HD, false)) return true;
  // No session thread started, so nothing else removes the empty file.
  if (TheHost().FileExists(parcial)) TheHost().DeleteFile(parcial);
  return false;
}

std::string rtsp::FicheroCopia() const {
  std::lock_guard<std::mutex> lock(m_copia);
  return m_nombreFichero;
}

void rtsp::PararRecording() {
  m_parar = true;
  // The session thread closes the file and removes what it wrote.
  for (int espera = 0; (m_ficheroAbierto || Running()) && espera < kEsperaCopiaMs && !PararProceso;
       espera += 100) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  std::string parcial;
  {
    std::lock_guard<std::mutex> lock(m_copia);
    if (m_ficheroAbierto) return;  // still written: its session removes it
    parcial = m_nombreParcial;
  }
  if (!parcial.empty() && TheHost().FileExists(parcial)) TheHost().DeleteFile(parcial);
}

std::string rtsp::ObtenerNombreFichero(const DatosVod& datos, const std::string& extension) {
  std::string carpeta = PathRecorded;
  std::string base;
  if (!datos.idSerie.empty()) {
    carpeta = PathCombine(PathCombine(PathGrabacionSeries, datos.idSerie),
                          "Temporada " + convertInttoString(datos.iTemporada));
    base = convertInttoStringPad(datos.iTemporada, 2) + "x" +
           convertInttoStringPad(datos.iCapitulo, 2) + " ";
  }
  creardirectorio(carpeta);
  base += datos.strTitle;
  // As the timers do: a number after the title until the name is free.
  for (int n = 0; n < 1000; ++n) {
    std::string nombre = base + (n == 0 ? "" : " " + convertInttoString(n)) + extension;
    NormalidarFileName(nombre);
    const std::string path = PathCombine(carpeta, nombre);
    if (!TheHost().FileExists(path) && !TheHost().FileExists(path + kSufijoParcial)) return path;
  }
  std::string nombre = base + " " + convertInttoString(time(nullptr)) + extension;
  NormalidarFileName(nombre);
  return PathCombine(carpeta, nombre);
}

bool rtsp::Abrir(const std::string& url, const std::string& inicio, bool hd, bool demux) {
  Finalizar();
  {
    std::lock_guard<std::mutex> lock(m_control);
    m_url = url;
    m_sesion.clear();
    m_cseq = 0;
    m_lector.Vaciar();
  }
  m_hd = hd;
  m_parar = false;
  m_fin = false;
  m_controlCaido = false;
  m_reproduciendo = false;
  m_natAbierto = false;
  m_reanclar = false;
  m_haReproducido = false;
  m_datos.Error = 0;
  m_datos.Pausado = false;
  m_datos.LongitudResto = 0;
  m_numeroStreams = 0;
  {
    std::lock_guard<std::mutex> lock(m_estado);
    m_escala = 1;
    m_cambioVelocidad = 0;
    m_offset = 0;
    m_posicionBase = 0;
    m_posicionEscala = 0;
  }
  m_sesionActiva = true;

  bool abierto = conectarrtsp() && enviaroption() && enviardescribe() && enviarsetup() &&
                 enviarplay(inicio, 1);
  if (abierto && demux) {
    std::lock_guard<std::mutex> lock(m_demux);
    abierto = m_demuxer.AbrirStream([this](uint8_t* b, int n) { return LeerSockDemux(this, b, n); },
                                    BUFSIZE, [this] { return m_parar || PararProceso; });
    if (!abierto) GenerarLogError("rtsp Error: no se reconoce el stream de " + url);
  }
  if (!abierto) {
    m_parar = true;
    Finalizar();
  }
  return abierto;
}

bool rtsp::Cerrar() {
  m_parar = true;
  // Without a session thread nobody else would end it.
  if (!Running()) Finalizar();
  return true;
}

bool rtsp::conectarrtsp() {
  GenerarLogDebug("conectarrtsp");
  std::string servidor;
  int puerto = 0;
  {
    std::lock_guard<std::mutex> lock(m_estado);
    servidor = m_servidor;
    puerto = m_puerto;
  }
  const std::string ip = Resolver(servidor);
  if (ip.empty()) {
    GenerarLogError("gethostbyname: " + servidor);
    return false;
  }
  Socket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!socket.valid()) return false;
  timeval espera{kTimeoutControl, 0};
  setsockopt(socket.fd(), SOL_SOCKET, SO_SNDTIMEO, &espera, sizeof espera);
  setsockopt(socket.fd(), SOL_SOCKET, SO_RCVTIMEO, &espera, sizeof espera);
  sockaddr_in destino{};
  destino.sin_family = AF_INET;
  destino.sin_port = htons(static_cast<uint16_t>(puerto));
  inet_pton(AF_INET, ip.c_str(), &destino.sin_addr);
  GenerarLogDebug("connect:" + servidor);
  if (!Conectar(socket.fd(), destino, kTimeoutControl)) {
    GenerarLogError("rtsp Error: no se puede conectar con " + servidor + " (" + ip + ":" +
                    convertInttoString(puerto) + ")");
    return false;
  }
  std::lock_guard<std::mutex> lock(m_control);
  m_socket = std::move(socket);
  m_ipServidor = ip;
  return true;
}

bool rtsp::enviaroption() {
  return enviarrtsp([](int cseq) { return PeticionOptions(cseq); }, nullptr, true);
}

bool rtsp::enviardescribe() {
  MensajeRtsp respuesta;
  std::string url;
  if (!enviarrtsp([this](int cseq) { return PeticionDescribe(m_url, cseq); }, &respuesta, true))
    return false;
  const CabecerasRtsp sdp = ObtenerCabeceras(respuesta.cuerpo);
  auto control = sdp.find("a=control");
  if (control == sdp.end() || sdp.count("a=range") == 0) {
    GenerarLogError("rtsp Error: DESCRIBE sin a=control o a=range");
    return false;
  }
  std::lock_guard<std::mutex> lock(m_control);
  if (control->second != m_url) {
    // The control URL names the session: the URL's last component.
    const std::string testigo = control->second.substr(control->second.rfind('/') + 1);
    if (!CampoSeguro(testigo) || testigo.empty()) return false;
    m_sesion = testigo;
    m_url += "/" + testigo;
  }
  return true;
}

bool rtsp::enviarsetup() {
  std::string ip;
  {
    std::lock_guard<std::mutex> lock(m_control);
    ip = m_ipServidor;
  }
  if (!AbrirSocketUDP(m_datos.Socket, ip, PuertoVOD, true)) {
    GenerarLogError("rtsp Error: no se puede abrir el puerto UDP " + convertInttoString(PuertoVOD));
    return false;
  }
  // A recording comes at full rate from the start: room for a few hundred
  // milliseconds of it while the host's thread is busy elsewhere.
  const int recepcion = kBufferRecepcion;
  if (setsockopt(m_datos.Socket.fd(), SOL_SOCKET, SO_RCVBUFFORCE, &recepcion, sizeof recepcion) !=
      0)
    setsockopt(m_datos.Socket.fd(), SOL_SOCKET, SO_RCVBUF, &recepcion, sizeof recepcion);
  sockaddr_in local{};
  socklen_t largo = sizeof local;
  getsockname(m_datos.Socket.fd(), reinterpret_cast<sockaddr*>(&local), &largo);
  m_puertoCliente = ntohs(local.sin_port);
  m_datos.Abierto = true;
  MensajeRtsp respuesta;
  const int puerto = m_puertoCliente;
  if (!enviarrtsp([this, puerto](int cseq) { return PeticionSetup(m_url, cseq, puerto); },
                  &respuesta, true))
    return false;
  std::lock_guard<std::mutex> lock(m_control);
  if (m_sesion.empty()) {
    auto sesion = respuesta.cabeceras.find("session");
    if (sesion != respuesta.cabeceras.end())
      m_sesion = sesion->second.substr(0, sesion->second.find(';'));
  }
  if (m_sesion.empty() || !CampoSeguro(m_sesion)) {
    GenerarLogError("rtsp Error: SETUP sin sesion");
    return false;
  }
  return true;
}

bool rtsp::enviarplay(const std::string& inicio, int escala) {
  {
    std::lock_guard<std::mutex> lock(m_estado);
    if (m_reproduciendo && m_escala == escala) return true;
  }
  if (!m_natAbierto.exchange(true)) EnviarNat();
  if (m_datos.Pausado) {
    std::lock_guard<std::mutex> lock(m_demux);
    m_demuxer.Reanudar();
    m_datos.Pausado = false;
  }
  if (!enviarrtsp([this, &inicio, escala](
                      int cseq) { return PeticionPlay(m_url, cseq, m_sesion, inicio, escala); },
                  nullptr, true))
    return false;
  const time_t ahora = Ahora();
  m_ultimaMedia = AhoraMs();
  m_haReproducido = true;
  {
    std::lock_guard<std::mutex> lock(m_estado);
    if (escala == 1) {
      m_reproduciendo = true;
      if (!m_modoCopia) {
        m_cambioVelocidad = 0;
        m_offset = 0;
        m_keepAlive = 0;
        m_reanclar = true;
      }
    } else if (!m_modoCopia) {
      m_offset = m_cambioVelocidad != 0 ? (ahora - m_cambioVelocidad) * Factor(m_escala) : 0;
      m_cambioVelocidad = ahora;
    }
    m_escala = escala;
  }
  FijarPosicion(inicio.empty() ? Posicion() : std::atof(inicio.c_str()), escala);
  if (!Running()) Start(false);
  return true;
}

bool rtsp::enviarpause() {
  if (!enviarrtsp([this](int cseq) { return PeticionPause(m_url, cseq, m_sesion); }, nullptr, true))
    return false;
  {
    std::lock_guard<std::mutex> lock(m_demux);
    m_demuxer.Pausar();
  }
  m_datos.Pausado = true;
  m_reproduciendo = false;
  m_natAbierto = false;
  FijarPosicion(Posicion(), 0);
  std::lock_guard<std::mutex> lock(m_estado);
  m_cambioVelocidad = 0;
  return true;
}

bool rtsp::enviarteardown() {
  m_datos.Pausado = false;
  m_reproduciendo = false;
  MensajeRtsp respuesta;
  if (!enviarrtsp([this](int cseq) { return PeticionTeardown(m_url, cseq, m_sesion); }, &respuesta,
                  true))
    return false;
  const CabecerasRtsp datos = SepararDatos(respuesta.cuerpo);
  auto npt = datos.find("current_npt");
  if (npt != datos.end()) FijarPosicion(std::atof(npt->second.c_str()), 0);
  return true;
}

bool rtsp::enviargetparameter() {
  return enviarrtsp([this](int cseq) { return PeticionGetParameter(m_url, cseq, m_sesion); },
                    nullptr, false);
}

bool rtsp::enviarrtsp(const std::function<std::string(int cseq)>& construir, MensajeRtsp* respuesta,
                      bool esperar) {
  std::lock_guard<std::mutex> lock(m_control);
  if (!m_socket.valid()) return false;
  const int cseq = ++m_cseq;
  const std::string peticion = construir(cseq);
  if (peticion.empty()) {
    GenerarLogError("rtsp Error: peticion rechazada (URL o sesion no validas)");
    return false;
  }
  size_t enviado = 0;
  while (enviado < peticion.size()) {
    // A keep-alive is skipped when the socket is full, but once begun it goes
    // out whole (within the send time-out): half a request would desync the
    // server's reading of every later one.
    const bool sinEspera = !esperar && enviado == 0;
    const ssize_t n = send(m_socket.fd(), peticion.data() + enviado, peticion.size() - enviado,
                           MSG_NOSIGNAL | (sinEspera ? MSG_DONTWAIT : 0));
    if (n <= 0) {
      if (sinEspera && (errno == EAGAIN || errno == EWOULDBLOCK)) return false;
      GenerarLogError("rtsp Error: no se puede enviar la peticion");
      m_controlCaido = true;
      return false;
    }
    enviado += static_cast<size_t>(n);
  }
  if (!esperar) return true;
  const int64_t limite = AhoraMs() + kTimeoutControl * 1000;
  for (;;) {
    MensajeRtsp mensaje;
    std::string error;
    LectorRtsp::Resultado r;
    while ((r = m_lector.Siguiente(mensaje, error)) == LectorRtsp::Resultado::Mensaje) {
      Atender(mensaje);
      if (!mensaje.respuesta || mensaje.cseq != cseq) continue;
      if (mensaje.estado != "200") {
        GenerarLogError("rtsp Error" + mensaje.texto.substr(0, 512));
        return false;
      }
      if (respuesta != nullptr) *respuesta = std::move(mensaje);
      return true;
    }
    if (r == LectorRtsp::Resultado::Invalido) {
      GenerarLogError("rtsp Error: respuesta no valida: " + error);
      m_controlCaido = true;
      return false;
    }
    const int64_t queda = limite - AhoraMs();
    if (queda <= 0 || PLATFORM::Stopping()) {
      GenerarLogError("rtsp Error: sin respuesta a CSeq " + convertInttoString(cseq));
      return false;
    }
    if (!LeerControl(static_cast<int>(std::min<int64_t>(queda, kRebanadaMs)))) return false;
  }
}

bool rtsp::LeerControl(int esperaMs) {
  pollfd p{m_socket.fd(), POLLIN, 0};
  if (poll(&p, 1, esperaMs) <= 0) return true;
  char bloque[kBloqueControl];
  const ssize_t n = recv(m_socket.fd(), bloque, sizeof bloque, MSG_DONTWAIT);
  if (n > 0) {
    m_lector.Agregar(bloque, static_cast<size_t>(n));
    return true;
  }
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return true;
  GenerarLogError("rtsp Error: el servidor ha cerrado la conexion");
  m_controlCaido = true;
  return false;
}

void rtsp::recibirnotificaciones() {
  std::lock_guard<std::mutex> lock(m_control);
  if (!m_socket.valid() || m_controlCaido) return;
  // A few reads at most: a server that floods us is read next time.
  for (int i = 0; i < 8; ++i) {
    const size_t antes = m_lector.Pendiente();
    if (!LeerControl(0) || m_lector.Pendiente() == antes) break;
  }
  MensajeRtsp mensaje;
  std::string error;
  LectorRtsp::Resultado r;
  while ((r = m_lector.Siguiente(mensaje, error)) == LectorRtsp::Resultado::Mensaje)
    Atender(mensaje);
  if (r == LectorRtsp::Resultado::Invalido) {
    GenerarLogError("rtsp Error: notificacion no valida: " + error);
    m_controlCaido = true;
  }
}

void rtsp::Atender(const MensajeRtsp& mensaje) {
  for (const char* nombre : {"notice", "x-notice"}) {
    auto aviso = mensaje.cabeceras.find(nombre);
    if (aviso == mensaje.cabeceras.end()) continue;
    if (aviso->second.compare(0, 4, "2101") == 0 || aviso->second.compare(0, 4, "2104") == 0) {
      GenerarLogDebug("rtsp fin del stream: " + aviso->second.substr(0, 64));
      m_fin = true;
    }
  }
  auto posicion = mensaje.cabeceras.find("position");
  if (posicion == mensaje.cabeceras.end()) return;
  const double segundos = std::atof(posicion->second.c_str());
  int escala = 0;
  {
    std::lock_guard<std::mutex> lock(m_estado);
    escala = m_posicionEscala;
    if (m_reanclar.exchange(false)) {
      m_anclaInicio = Ahora() - static_cast<time_t>(segundos);
      m_anclaFin = m_anclaInicio + m_datosVod.iDuration;
      m_avisarGuia = true;  // the session thread tells the host, outside the locks
    }
  }
  FijarPosicion(segundos, escala);
}

void rtsp::EnviarNat() {
  sockaddr_in destino{};
  destino.sin_family = AF_INET;
  destino.sin_port = htons(static_cast<uint16_t>(m_puertoCliente.load()));
  {
    std::lock_guard<std::mutex> lock(m_control);
    inet_pton(AF_INET, m_ipServidor.c_str(), &destino.sin_addr);
  }
  const char ceros[2] = {0, 0};
  // Not while an ending session closes the socket.
  std::lock_guard<std::mutex> lock(m_demux);
  if (!m_datos.Socket.open()) return;
  for (int i = 0; i < 3; ++i) {
    sendto(m_datos.Socket.fd(), ceros, sizeof ceros, 0, reinterpret_cast<sockaddr*>(&destino),
           sizeof destino);
  }
}

void rtsp::FijarPosicion(double posicion, int escala) {
  std::lock_guard<std::mutex> lock(m_estado);
  m_posicionBase = posicion;
  m_posicionDesde = Steady::now();
  m_posicionEscala = escala;
}

int rtsp::EscalaPosicion() const {
  std::lock_guard<std::mutex> lock(m_estado);
  return m_posicionEscala;
}

double rtsp::Posicion() const {
  std::lock_guard<std::mutex> lock(m_estado);
  const double pasado = std::chrono::duration<double>(Steady::now() - m_posicionDesde).count();
  return std::max(0.0, m_posicionBase + pasado * m_posicionEscala);
}

void rtsp::EstablecerVelocidad(int escala) {
  if (!m_sesionActiva) return;
  if (escala == 0) {
    // Reads stop at once so the demuxer is free to pause; a refused PAUSE
    // leaves the stream as it was, or the next PLAY would not resume it.
    const bool antes = m_datos.Pausado.exchange(true);
    if (!enviarpause()) {
      m_datos.Pausado = antes;
      GenerarLogError("rtsp Error: PAUSE");
    }
    return;
  }
  if (!enviarplay("", escala))
    GenerarLogError("rtsp Error: PLAY a escala " + convertInttoString(escala));
}

time_t rtsp::GetPlayingTime() {
  const time_t ahora = Ahora();
  std::lock_guard<std::mutex> lock(m_estado);
  if (m_escala == 1 || m_cambioVelocidad == 0) return ahora;
  return ahora + m_offset + (ahora - m_cambioVelocidad) * Factor(m_escala);
}

time_t rtsp::GetBufferTimeStart() {
  std::lock_guard<std::mutex> lock(m_estado);
  return m_anclaInicio;
}

time_t rtsp::GetBufferTimeEnd() {
  std::lock_guard<std::mutex> lock(m_estado);
  return m_anclaInicio + m_datosVod.iDuration;
}

void rtsp::GetEPGVOD(const EntradaSink& sink) {
  EPG_Quorvina limpiar;
  EPG_Quorvina entrada;
  bool enviarLimpiar = false;
  bool enviarEntrada = false;
  {
    std::lock_guard<std::mutex> lock(m_estado);
    if (m_anclaEnviada != 0 && m_anclaEnviada != m_anclaInicio) {
      enviarLimpiar = true;
      limpiar.iUniqueBroadcastId = 1;
      limpiar.iChannelNumber = CanalVOD;
      limpiar.idCanal = static_cast<int32_t>(CanalVOD);
      limpiar.startTime = m_anclaEnviada;
    }
    if (m_hayVod && m_sesionActiva) {
      enviarEntrada = true;
      entrada.iUniqueBroadcastId = 2;
      entrada.iChannelNumber = CanalVOD;
      entrada.idCanal = static_cast<int32_t>(CanalVOD);
      entrada.strTitle = entrada.strEpisodeName = m_datosVod.strTitle;
      entrada.strPlot = m_datosVod.strPlot;
      entrada.strIconPath = m_datosVod.strIconPath;
      entrada.iGenreType = m_datosVod.iGenreType;
      entrada.iSeriesNumber = m_datosVod.iTemporada;
      entrada.iEpisodeNumber = m_datosVod.iCapitulo;
      entrada.startTime = entrada.firstAired = m_anclaInicio;
      entrada.endTime = m_anclaFin;
    }
    m_anclaEnviada = m_anclaInicio;
  }
  if (enviarLimpiar) sink(limpiar);
  if (enviarEntrada) sink(entrada);
}

void rtsp::CerrarFicheroCopia() {
  void* handle = nullptr;
  {
    std::lock_guard<std::mutex> lock(m_copia);
    handle = m_fichero;
    m_fichero = nullptr;
  }
  if (handle == nullptr) return;
  TheHost().CloseFile(handle);
  std::lock_guard<std::mutex> lock(m_copia);
  m_ficheroAbierto = false;
}

bool rtsp::Finalizar() {
  if (!m_sesionActiva.exchange(false)) return false;
  m_parar = true;
  CerrarFicheroCopia();
  const bool copia = m_modoCopia;
  bool conectado = false;
  {
    std::lock_guard<std::mutex> lock(m_control);
    conectado = m_socket.valid();
  }
  if (conectado) {
    if (!m_controlCaido) enviarteardown();
    std::lock_guard<std::mutex> lock(m_control);
    m_socket.reset();
  }
  if (m_haReproducido && !copia) {
    std::string id, productType;
    int duracion = 0;
    {
      std::lock_guard<std::mutex> lock(m_estado);
      id = m_datosVod.strRecordingId;
      productType = m_productType;
      duracion = m_datosVod.iDuration;
    }
    int posicion = static_cast<int>(Posicion());
    if (posicion + 2 > duracion) posicion = 0;
    if (PararProceso) {
      // While the add-on stops the HTTP client no longer connects: the
      // request could only hold up the quit on name resolution.
      GenerarLogError("rtsp: al salir no se guarda el marcador de " + id);
    } else if (!m_servicios.GuardarMarcador(id, convertInttoString(posicion), productType)) {
      GenerarLogError("rtsp: no se ha guardado el marcador de " + id);
    }
  }
  {
    std::lock_guard<std::mutex> lock(m_demux);
    if (m_datos.Socket.open()) CerrarConexionUdp(m_datos.Socket);
    m_datos.Abierto = false;
    m_demuxer.Cerrar();
  }
  {
    std::lock_guard<std::mutex> lock(m_estado);
    m_hayVod = false;
    m_anclaInicio = 0;
  }
  if (copia) {
    TheHost().TriggerTimerUpdate();
  } else {
    TheHost().TriggerEpgUpdate(CanalVOD);
  }
  return true;
}
