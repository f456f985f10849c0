#include "recordings/Temporizador.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "common/Conversions.h"
#include "common/Globals.h"
#include "common/Log.h"
#include "common/Paths.h"
#include "common/SettingValues.h"
#include "common/StorageLayout.h"
#include "common/StoredXml.h"
#include "common/Text.h"
#include "discovery/Canales.h"
#include "epg/EPGQuorvina.h"
#include "gui/GUIDialogSiNo.h"
#include "live/Disco.h"
#include "recordings/ApiGrabaciones.h"
#include "recordings/EnlaceSeries.h"
#include "recordings/Recordings.h"
#include "services/tcpJSON.h"

namespace {
constexpr int kRebanadaMs = 250;
// A receive time-out: the end, the stop and a deletion are looked at after
// each one at the latest.
constexpr int kEsperaRecepcionMs = 2000;
// How long the recorder lets the writer empty its queue before finishing;
// shorter when the add-on stops, which has about 3 s for everything.
constexpr auto kEsperaCola = std::chrono::seconds(5);
constexpr auto kEsperaColaParada = std::chrono::milliseconds(1000);
constexpr int kRefrescoCloud = 20;
// Datagrams one receive call takes. A 10 Mbit/s channel sends about one a
// millisecond, 80 Mbit/s about seven: the recorder sleeps between calls
// and takes what gathered meanwhile, from 1 to 20 ms, as long as half a
// batch or more gathers. A batch's worth waiting stays far below the
// socket's queue even at the kernel's smallest default.
constexpr int kLoteGrabacion = 64;
constexpr int kPausaMinimaUs = 1000;
constexpr int kPausaMaximaUs = 20000;
// The recorder's socket queue (the kernel caps it at net.core.rmem_max): a
// thread held up for a moment loses nothing of a fast channel.
constexpr int kColaSocket = 4 << 20;

void AgrandarCola(const UdpSocket& socket) {
  int bytes = kColaSocket;
  setsockopt(socket.fd(), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof(bytes));
}

std::string Elemento(const char* name, const std::string& value) {
  return std::string("<") + name + " Value=\"" + value + "\" />\n";
}
std::string Numero(long long value) {
  return convertInttoString(value);
}

// A folder or file name that stays inside its folder.
std::string NombreSeguro(std::string text) {
  NormalidarFileName(text);
  if (text.find_first_not_of(". ") == std::string::npos) text = "_";
  return text;
}
}  // namespace

Temporizador::Temporizador(const EntornoTemporizador& entorno) : m_entorno(entorno) {
  SetThreadName("quorvina-timer");
}

Temporizador::~Temporizador() {
  StopThread(0);
}

std::string Temporizador::FicheroTemporizador(int index) {
  return PathCombine(PathTimers, Numero(static_cast<unsigned int>(index)) + ".xml");
}

std::string Temporizador::TextoFichero(const DatosTemporizador& t) {
  std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Temporizador>\n";
  x += Elemento("iClientIndex", Numero(t.iClientIndex));
  x += Elemento("iClientChannelUid", Numero(t.iClientChannelUid));
  x += Elemento("startTime", convertTimertoString(t.startTime));
  x += Elemento("endTime", convertTimertoString(t.endTime));
  x += Elemento("state", Numero(t.state));
  x += Elemento("strTitle", stringtoescape(t.strTitle));
  // Escaped too: a folder with an ampersand or a quote would otherwise make
  // the whole file unreadable (ordinary folders are written unchanged).
  x += Elemento("strDirectory", stringtoescape(t.strDirectory));
  x += Elemento("strSummary", stringtoescape(t.strSummary));
  x += Elemento("iPriority", Numero(t.iPriority));
  x += Elemento("iLifetime", Numero(t.iLifetime));
  x += Elemento("bIsRepeating", t.bIsRepeating ? "1" : "0");
  x += Elemento("firstDay", convertTimertoString(t.firstDay));
  x += Elemento("iWeekdays", Numero(t.iWeekdays));
  x += Elemento("iEpgUid", Numero(t.iEpgUid));
  x += Elemento("iMarginStart", Numero(t.iMarginStart));
  x += Elemento("iMarginEnd", Numero(t.iMarginEnd));
  x += Elemento("iGenreType", Numero(t.iGenreType));
  x += Elemento("iGenreSubType", Numero(t.iGenreSubType));
  x += Elemento("idSerie", stringtoescape(t.idSerie));
  x += Elemento("StrDescripcionSerie", stringtoescape(t.StrDescripcionSerie));
  x += Elemento("iTemporada", Numero(t.iTemporada));
  x += Elemento("iCapitulo", Numero(t.iCapitulo));
  x += Elemento("iUniqueBroadcastId", Numero(t.iUniqueBroadcastId));
  x += Elemento("HD", t.HD ? "1" : "0");
  x += Elemento("Cloud", t.Cloud ? "1" : "0");
  x += Elemento("iTipoTemporizador", Numero(t.iTipoTemporizador));
  return x + "</Temporizador>\n";
}

DatosTemporizador Temporizador::ProcesarFicheroTemporizador(const std::string& text) {
  DatosTemporizador t;
  XMLResults results{};
  const XMLNode root = XMLNode::parseString(text.c_str(), "Temporizador", &results);
  if (root.isEmpty()) return t;
  const auto valor = [&root](const char* name) { return Attr(root.getChildNode(name), "Value"); };
  const auto entero = [&valor](const char* name) { return ConvertStringtoint(valor(name)); };
  t.iClientIndex = entero("iClientIndex");
  t.iClientChannelUid = entero("iClientChannelUid");
  t.startTime = ConvertStringtoTimer(valor("startTime"));
  t.endTime = ConvertStringtoTimer(valor("endTime"));
  t.state = entero("state");
  t.strTitle = valor("strTitle");
  t.strDirectory = valor("strDirectory");
  t.strSummary = valor("strSummary");
  t.iPriority = entero("iPriority");
  t.iLifetime = entero("iLifetime");
  t.bIsRepeating = ConvertStringtobool(valor("bIsRepeating"));
  t.firstDay = ConvertStringtoTimer(valor("firstDay"));
  t.iWeekdays = entero("iWeekdays");
  t.iEpgUid = entero("iEpgUid");
  t.iMarginStart = entero("iMarginStart");
  t.iMarginEnd = entero("iMarginEnd");
  t.iGenreType = entero("iGenreType");
  t.iGenreSubType = entero("iGenreSubType");
  t.idSerie = valor("idSerie");
  t.StrDescripcionSerie = valor("StrDescripcionSerie");
  t.iTemporada = entero("iTemporada");
  t.iCapitulo = entero("iCapitulo");
  t.iUniqueBroadcastId = entero("iUniqueBroadcastId");
  t.HD = ConvertStringtobool(valor("HD"));
  t.Cloud = ConvertStringtobool(valor("Cloud"));
  t.iTipoTemporizador = entero("iTipoTemporizador");
  return t;
}

DatosTemporizador Temporizador::Datos() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_datos;
}
int Temporizador::Estado() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_datos.state;
}
bool Temporizador::EsSerie() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return !m_datos.idSerie.empty();
}
bool Temporizador::EsCloud() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_datos.Cloud;
}
time_t Temporizador::InicioGrabacion() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_inicio;
}
time_t Temporizador::FinGrabacion() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_fin;
}

void Temporizador::Calcular() {
  m_inicio = m_datos.startTime - static_cast<time_t>(m_datos.iMarginStart) * 60;
  m_fin = m_datos.endTime + static_cast<time_t>(m_datos.iMarginEnd) * 60;
}

void Temporizador::GuardarDatos(const DatosTemporizador& datos) const {
  if (!EscribirFichero(FicheroTemporizador(datos.iClientIndex), TextoFichero(datos)))
    GenerarLogError("Temporizador: no se pudo guardar " + Numero(datos.iClientIndex));
}

void Temporizador::GrabarTemporizador() {
  DatosTemporizador copia;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    Calcular();
    copia = m_datos;
  }
  GuardarDatos(copia);
}

void Temporizador::CopiarTemporizador(DatosTemporizador& t, const DatosTemporizador& host) const {
  // The host's eighteen fields; the add-on's own are filled here.
  t = DatosTemporizador();
  t.iClientIndex = host.iClientIndex;
  t.iClientChannelUid = host.iClientChannelUid;
  t.startTime = host.startTime;
  t.endTime = host.endTime;
  t.state = host.state;
  t.strTitle = host.strTitle;
  t.strDirectory = host.strDirectory;
  t.strSummary = host.strSummary;
  t.iPriority = host.iPriority;
  t.iLifetime = host.iLifetime;
  t.bIsRepeating = host.bIsRepeating;
  t.firstDay = host.firstDay;
  t.iWeekdays = host.iWeekdays;
  t.iEpgUid = host.iEpgUid;
  t.iMarginStart = host.iMarginStart;
  t.iMarginEnd = host.iMarginEnd;
  t.iGenreType = host.iGenreType;
  t.iGenreSubType = host.iGenreSubType;
  t.iUniqueBroadcastId = t.iEpgUid;
  EPG_Quorvina entrada;
  if (t.iEpgUid > 0 && m_entorno.guia != nullptr &&
      m_entorno.guia->GetProgramaEPG(t.iClientChannelUid, t.iEpgUid, entrada) &&
      !entrada.tituloSerie.empty()) {
    t.idSerie = NombreSeguro(entrada.tituloSerie);
    t.StrDescripcionSerie = entrada.tituloSerie;
    t.iTemporada = entrada.iSeriesNumber;
    t.iCapitulo = entrada.iEpisodeNumber;
  }
  Canal canal;
  t.HD = m_entorno.canales.ObtenerCanal(t.iClientChannelUid, canal) && canal.HD;
  t.Cloud = false;
  t.iTipoTemporizador = 0;
}

std::atomic<uint64_t> Temporizador::s_reservas{0};

void Temporizador::Reservar(DatosTemporizador& t) const {
  t.iMarginStart = 0;
  t.iMarginEnd = 0;
  t.iClientIndex = t.iEpgUid;
  t.Cloud = true;
  // A refused booking is missing from the next cloud list and the timer
  // goes then; the refusal is only told.
  if (!setRecording(t.iEpgUid, t.iClientChannelUid))
    GenerarLogError("Temporizador: reserva rechazada de " + Numero(t.iEpgUid) + " en el canal " +
                    Numero(t.iClientChannelUid));
  m_reserva = ++s_reservas;
}

void Temporizador::CrearTemporizador(const DatosTemporizador& host, unsigned int index) {
  DatosTemporizador t;
  CopiarTemporizador(t, host);
  m_serieNueva = !t.idSerie.empty();
  t.state = 1;
  t.iClientIndex = EpgValido(t.iEpgUid) ? t.iEpgUid : static_cast<int>(index);
  t.strDirectory = t.idSerie.empty() ? PathRecorded
                                     : PathCombine(PathCombine(PathGrabacionSeries, t.idSerie),
                                                   "Temporada " + Numero(t.iTemporada));
  bool guardar = false;
  if (!ConexionEnNubeActivada || !EpgValido(t.iEpgUid) || TipoGrabacionPorDefecto == 2) {
    guardar = true;
  } else if (TipoGrabacionPorDefecto == 1) {
    Reservar(t);
  } else {
    m_preguntar = true;
  }
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_datos = t;
    Calcular();
  }
  if (guardar) GuardarDatos(t);
}

void Temporizador::CrearTemporizador(DatosTemporizador& datos, unsigned int index) {
  DatosTemporizador t = datos;
  t.state = 1;
  t.iClientIndex = static_cast<int>(index);
  if (t.Cloud) Reservar(t);
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_datos = t;
    Calcular();
  }
  if (!t.Cloud) GuardarDatos(t);
  datos = t;
}

bool Temporizador::CargarTemporizador(const std::string& path) {
  HostFile file = HostFile::ForRead(path);
  if (!file) return false;
  std::string text;
  char piece[1024];
  for (ssize_t n; (n = file.Read(piece, sizeof(piece))) > 0;) text.append(piece, n);
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_datos = ProcesarFicheroTemporizador(text);
  }
  if (Datos().iClientIndex == 0 && Datos().endTime == 0)
    GenerarLogError("Temporizador: fichero ilegible " + path);
  ComprobarEstadoInicial();
  return true;
}

void Temporizador::ComprobarEstadoInicial() {
  DatosTemporizador copia;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    Calcular();
    const time_t now = time(nullptr);
    if (m_fin >= now) return;
    if (m_datos.state <= 1) {
      m_datos.state = 4;
    } else if (m_datos.state == 2) {
      m_datos.state = 3;
    } else {
      return;
    }
    copia = m_datos;
  }
  GuardarDatos(copia);
}

void Temporizador::CargarTemporizador(const DatosTemporizador& datos) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_datos = datos;
  m_inicio = datos.startTime;
  m_fin = datos.endTime;
  m_siguienteRefresco = 0;
}

void Temporizador::RecalcularCloud() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_inicio = m_datos.startTime;
  m_fin = m_datos.endTime;
  m_siguienteRefresco = 0;
}

void Temporizador::ActualizarDesdeNube(const DatosTemporizador& nube) {
  bool recalcular = false;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_datos.state = nube.state;
    if (nube.startTime != m_datos.startTime || nube.endTime != m_datos.endTime) {
      m_datos.startTime = nube.startTime;
      m_datos.firstDay = nube.firstDay;
      m_datos.endTime = nube.endTime;
      recalcular = true;
    }
  }
  if (recalcular) RecalcularCloud();
}

void Temporizador::DeleteTimer(bool cancelar) {
  DatosTemporizador copia;
  bool guardar = false;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_datos.Cloud) {
      m_datos.state = 4;
      m_datos.endTime = time(nullptr) - 1;
    } else if (m_datos.state < 2) {
      m_datos.state = 4;
      guardar = true;
    } else if (m_datos.state == 2) {
      // The recording's end becomes now: it stops at its next look.
      m_datos.endTime = time(nullptr) - static_cast<time_t>(m_datos.iMarginEnd) * 60;
      Calcular();
    } else {
      guardar = true;
    }
    copia = m_datos;
  }
  if (copia.Cloud && cancelar) cancelRecording(copia.iEpgUid, copia.iClientChannelUid);
  if (guardar) GuardarDatos(copia);
}

void Temporizador::UpdateTimer(const DatosTemporizador& host) {
  // The guide and the line-up are asked before the record's lock is taken.
  DatosTemporizador nuevo;
  CopiarTemporizador(nuevo, host);
  DatosTemporizador copia;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_datos.Cloud) return;
    if (m_datos.state == 2) {
      // A running recording keeps its title and start.
      m_datos.endTime = host.endTime;
      m_datos.iMarginEnd = host.iMarginEnd;
      m_datos.iGenreType = host.iGenreType;
      m_datos.iGenreSubType = host.iGenreSubType;
      m_datos.iLifetime = host.iLifetime;
      m_datos.bIsRepeating = host.bIsRepeating;
      m_datos.firstDay = host.firstDay;
      m_datos.iWeekdays = host.iWeekdays;
    } else {
      // The host's fields are taken; the key, the folder and the series stay
      // the timer's own: the host sends back the folder the timer listed and
      // knows nothing of the series, so copying them could only lose them.
      nuevo.iClientIndex = m_datos.iClientIndex;
      nuevo.strDirectory = m_datos.strDirectory;
      nuevo.idSerie = m_datos.idSerie;
      nuevo.StrDescripcionSerie = m_datos.StrDescripcionSerie;
      nuevo.iTemporada = m_datos.iTemporada;
      nuevo.iCapitulo = m_datos.iCapitulo;
      if (nuevo.state <= 0) nuevo.state = m_datos.state;
      m_datos = nuevo;
    }
    Calcular();
    if (m_datos.state <= 1 && m_fin < time(nullptr)) m_datos.state = 4;
    copia = m_datos;
  }
  GuardarDatos(copia);
  if (copia.state < 3 && !m_enEspera && !Running()) Start();
}

bool Temporizador::RegistrarPregunta(CGUIDialogBase* caja) {
  std::lock_guard<std::mutex> lock(m_mutexPregunta);
  if (caja != nullptr && Terminar()) return false;
  m_pregunta = caja;
  return true;
}

bool Temporizador::PreguntarNube() {
  CGUIDialogSiNo pregunta(De1252aUTF8("Grabaci\xf3n"),
                          De1252aUTF8("\xbfGrabar el programa en la nube o en local?"),
                          De1252aUTF8("Nube"), De1252aUTF8("Local"));
  if (!RegistrarPregunta(&pregunta)) return false;
  const bool nube = pregunta.PulsadoOK();
  RegistrarPregunta(nullptr);
  return nube && !Terminar();
}

void Temporizador::Avisar() {
  StopThread(-1);
  CerrarPregunta();
}

void Temporizador::CerrarPregunta() {
  std::lock_guard<std::mutex> lock(m_mutexPregunta);
  if (m_pregunta != nullptr) m_pregunta->Close();
}

bool Temporizador::Terminar() const {
  return PararProceso || const_cast<Temporizador*>(this)->StopRequested();
}

void* Temporizador::Process() {
  // A new timer of a known, unscheduled series offers the whole series; its
  // rule's place then answers the cloud question.
  bool serieProgramada = false;
  bool serieCloud = false;
  if (m_serieNueva.exchange(false) && m_entorno.series != nullptr) {
    const std::string idSerie = Datos().idSerie;
    serieProgramada = m_entorno.series->PreguntarProgramarSerie(
        idSerie, &serieCloud, [this](CGUIDialogBase* caja) { return RegistrarPregunta(caja); });
    if (serieProgramada && !m_preguntar) TheHost().TriggerTimerUpdate();
  }
  if (m_preguntar.exchange(false)) {
    DatosTemporizador copia;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      copia = m_datos;
    }
    if (serieProgramada ? serieCloud : PreguntarNube()) {
      Reservar(copia);
    } else {
      GuardarDatos(copia);
    }
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_datos.iMarginStart = copia.iMarginStart;
      m_datos.iMarginEnd = copia.iMarginEnd;
      m_datos.iClientIndex = copia.iClientIndex;
      m_datos.Cloud = copia.Cloud;
    }
    if (copia.Cloud) RecalcularCloud();
    TheHost().TriggerTimerUpdate();
  }
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_datos.Cloud) {
      m_inicio = m_datos.startTime;
      m_fin = m_datos.endTime;
    } else {
      Calcular();
    }
  }
  m_enEspera = true;
  while (Estado() < 3 && !Terminar()) {
    if (time(nullptr) >= InicioGrabacion()) Grabar();
    if (Estado() >= 3 || Terminar()) break;
    SleepFor(1000);
  }
  m_enEspera = false;
  return nullptr;
}

void Temporizador::Grabar() {
  if (EsCloud()) {
    GrabarCloud();
  } else {
    GrabarLocal();
  }
}

void Temporizador::GrabarLocal() {
  DatosTemporizador copia;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_datos.state = 2;
    Calcular();
    copia = m_datos;
  }
  GuardarDatos(copia);
  m_error = 0;
  Canal canal;
  const bool conocido = m_entorno.canales.ObtenerCanal(copia.iClientChannelUid, canal);
  const time_t inicio = time(nullptr);
  if (!AbrirCanal(copia.iClientChannelUid)) {
    // Nothing recorded: the library still gets its entry, without a file.
    m_entorno.grabaciones.AddRecording(copia, "", conocido ? &canal : nullptr, inicio,
                                       time(nullptr), -1);
  } else {
    const int numero =
        m_entorno.grabaciones.AddRecording(copia, m_fichero, &canal, inicio, FinGrabacion(), -1);
    {
      Disco disco(m_salida.handle(), [this] { m_error = 1; });
      const int longitud = disco.GetLongitud();
      TheHost().TriggerTimerUpdate();
      while (!Terminar() && time(nullptr) <= FinGrabacion() && m_error == 0) {
        char* buffer = disco.GetBuffer();
        if (buffer == nullptr) {
          m_error = 2;
          break;
        }
        const int leidos = LeerSockEntrada(reinterpret_cast<unsigned char*>(buffer), longitud);
        if (leidos < 0) {
          m_error = 1;
          break;
        }
        if (leidos > 0 && !disco.Escribir(buffer, leidos)) m_error = 1;
        if (disco.Error() != 0) m_error = 1;
      }
      // The file is closed only after the writer has emptied its queue.
      const auto limite =
          std::chrono::steady_clock::now() + (Terminar() ? kEsperaColaParada : kEsperaCola);
      while (disco.Pendientes() > 0 && disco.Error() == 0 &&
             std::chrono::steady_clock::now() < limite) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      // How far the writer fell behind: the pool only grows when it does.
      TheHost().Log(LogLevel::Debug, "Grabacion cerrada: pico de buffers " +
                                         Numero(static_cast<long long>(disco.Buffers())) + " de " +
                                         Numero(static_cast<long long>(disco.Maximo())));
      disco.Finalizar();
      if (disco.Error() != 0) m_error = 1;
    }
    CerrarCanal();
    m_entorno.grabaciones.AddRecording(copia, m_fichero, &canal, inicio, time(nullptr), numero);
  }
  copia = Datos();
  GuardarDatos(copia);
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_datos.state = 3;
  }
  if (m_error != 0) TheHost().Log(LogLevel::Notice, "Error grabacion " + Numero(m_error));
  // The host's TV-show library picks up a new episode.
  if (!copia.idSerie.empty() && sincronizartvshow) tcpJSON().ActualizarbibliotecaSeries();
  TheHost().TriggerTimerUpdate();
}

void Temporizador::GrabarCloud() {
  const auto siguiente = [this] {
    std::lock_guard<std::mutex> lock(m_mutex);
    const time_t now = time(nullptr);
    m_siguienteRefresco =
        (m_datos.state == 1 || (m_datos.state == 2 && now > m_fin)) ? now + kRefrescoCloud : m_fin;
  };
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_siguienteRefresco = m_datos.state == 1 ? time(nullptr) + 10 : m_fin;
  }
  TheHost().TriggerTimerUpdate();
  for (;;) {
    const int estado = Estado();
    if (Terminar() || (estado != 1 && estado != 2)) break;
    time_t refresco;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      refresco = m_siguienteRefresco;
    }
    if (time(nullptr) > refresco) {
      TheHost().TriggerTimerUpdate();
      SleepFor(2000);
      siguiente();
    }
    SleepFor(1000);
  }
  if (Terminar()) return;
  TheHost().TriggerRecordingUpdate();
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_datos.state = 3;
  }
  // The finished booking is a cloud recording: the library refresh above is
  // all it needs (no TV-show rescan, there is no file).
  TheHost().TriggerTimerUpdate();
}

bool Temporizador::AbrirCanal(int canalId) {
  CerrarCanal();
  m_error = 0;
  Canal canal;
  if (!m_entorno.canales.ObtenerCanal(canalId, canal)) {
    GenerarLogError("Temporizador: canal desconocido " + Numero(canalId));
    return false;
  }
  m_sock.Direccion = canal.ip;
  m_sock.Puerto = canal.puerto;
  m_sock.LongitudResto = 0;
  m_sock.Error = 0;
  if (!AbrirSocketUDP(m_sock.Socket, canal.ip, canal.puerto, false)) {
    m_error = 1;
    return false;
  }
  AgrandarCola(m_sock.Socket);
  m_fichero = ObtenerNombreFichero(".mpeg");
  m_salida = HostFile::ForWrite(m_fichero, true);
  if (!m_salida) {
    GenerarLogError("Temporizador: no se pudo crear " + m_fichero);
    CerrarConexionUdp(m_sock.Socket);
    m_error = 1;
    return false;
  }
  return true;
}

void Temporizador::CerrarCanal() {
  CerrarConexionUdp(m_sock.Socket);
  m_salida.Close();
}

bool Temporizador::Reconectar(int error) {
  TheHost().Log(LogLevel::Notice, "Reiniciando conexion error " + Numero(error));
  CerrarConexionUdp(m_sock.Socket);
  if (!ComprobarCanal(m_sock.Direccion, m_sock.Puerto)) {
    GenerarLogError("Error reinicio conexion");
    return false;
  }
  if (!AbrirSocketUDP(m_sock.Socket, m_sock.Direccion, m_sock.Puerto, false)) return false;
  AgrandarCola(m_sock.Socket);
  TheHost().Log(LogLevel::Notice, "Conexion reiniciada");
  return true;
}

int Temporizador::LeerSockEntrada(unsigned char* buf, int len) {
  int reunidos = 0;
  if (m_sock.LongitudResto > 0) {
    reunidos = std::min(len, m_sock.LongitudResto);
    memcpy(buf, m_sock.BufferResto, static_cast<size_t>(reunidos));
    m_sock.LongitudResto -= reunidos;
    memmove(m_sock.BufferResto, m_sock.BufferResto + reunidos,
            static_cast<size_t>(m_sock.LongitudResto));
  }
  if (m_lote.empty())
    m_lote.resize(static_cast<size_t>(kLoteGrabacion) * StructDatosSock::kDatagrama);
  mmsghdr mensajes[kLoteGrabacion];
  iovec partes[kLoteGrabacion];
  for (int i = 0; i < kLoteGrabacion; ++i) {
    partes[i] = iovec{&m_lote[static_cast<size_t>(i) * StructDatosSock::kDatagrama],
                      StructDatosSock::kDatagrama};
    mensajes[i] = mmsghdr{};
    mensajes[i].msg_hdr.msg_iov = &partes[i];
    mensajes[i].msg_hdr.msg_iovlen = 1;
  }
  const auto dormir = [this] { std::this_thread::sleep_for(std::chrono::microseconds(m_pausaUs)); };
  int esperadoMs = 0;
  unsigned int vueltas = 0;
  while (reunidos < len) {
    if (Terminar()) return reunidos;
    // A deletion moves the end to now: a flowing stream notices it too.
    if ((++vueltas & 31u) == 0 && time(nullptr) > FinGrabacion()) return reunidos;
    // As many waiting datagrams as surely fit, with one call: only the last
    // may need the carry-over.
    const int lote =
        std::max(1, std::min(kLoteGrabacion, (len - reunidos) / StructDatosSock::kDatagrama));
    const int n = recvmmsg(m_sock.Socket.fd(), mensajes, static_cast<unsigned int>(lote),
                           MSG_DONTWAIT, nullptr);
    if (n > 0) {
      for (int i = 0; i < n; ++i) {
        if (mensajes[i].msg_len == 0) continue;  // an empty datagram carries nothing
        reunidos = AgregarDatagrama(m_sock, static_cast<const char*>(partes[i].iov_base),
                                    static_cast<int>(mensajes[i].msg_len), buf, reunidos, len);
      }
      esperadoMs = 0;
      if (lote < kLoteGrabacion) continue;
      if (n == lote) {
        // More gathered than a batch: the next pause is shorter.
        m_pausaUs = std::max(kPausaMinimaUs, m_pausaUs / 2);
        continue;
      }
      // The queue is empty: the next datagrams gather for a while instead
      // of waking the thread one by one.
      if (n < lote / 2) m_pausaUs = std::min(kPausaMaximaUs, m_pausaUs * 3 / 2);
      dormir();
      continue;
    }
    const int error = errno;
    if (n == 0 || error == EINTR) continue;
    if (error == EAGAIN || error == EWOULDBLOCK) {
      pollfd entrada{m_sock.Socket.fd(), POLLIN, 0};
      if (poll(&entrada, 1, kRebanadaMs) > 0) {
        // The first datagram after a gap: the rest gather before the read.
        dormir();
        continue;
      }
      esperadoMs += kRebanadaMs;
      // A gap or a dead stream never holds the recording past its end.
      if (esperadoMs >= kEsperaRecepcionMs) {
        esperadoMs = 0;
        if (time(nullptr) > FinGrabacion()) return reunidos;
      }
      continue;
    }
    m_sock.Error = error;
    if (!Reconectar(error)) return reunidos > 0 ? reunidos : -1;
  }
  m_sock.Error = 0;
  return reunidos;
}

std::string Temporizador::ObtenerNombreFichero(const std::string& extension) const {
  const DatosTemporizador t = Datos();
  creardirectorio(t.strDirectory);
  std::string base;
  if (!t.idSerie.empty()) {
    base =
        convertInttoStringPad(t.iTemporada, 2) + "x" + convertInttoStringPad(t.iCapitulo, 2) + " ";
  }
  base += t.strTitle;
  for (int n = 0; n < 100000; ++n) {
    std::string nombre = base + (n == 0 ? "" : " " + Numero(n)) + extension;
    nombre = NombreSeguro(nombre);
    const std::string path = PathCombine(t.strDirectory, nombre);
    if (!TheHost().FileExists(path)) return path;
  }
  return PathCombine(t.strDirectory, NombreSeguro(base + " " + Numero(time(nullptr)) + extension));
}
