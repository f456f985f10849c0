#include "live/Cliente.h"

#include <chrono>
#include <thread>
#include <utility>

#include "common/Conversions.h"
#include "common/Globals.h"
#include "common/HostServices.h"
#include "common/Log.h"
#include "discovery/Canales.h"

namespace {

constexpr double kSinTiempo = -4503599627370496.0;  // the host's unknown time stamp, -2^52
constexpr auto kPasoEspera = std::chrono::milliseconds(20);
constexpr auto kEsperaGrabador = std::chrono::milliseconds(2500);
// A read in progress gives up within one receive time-out.
constexpr auto kEsperaDemux = std::chrono::milliseconds(2500);

int64_t AhoraMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

Cliente::Cliente(const Canales& canales, std::function<void()> restaurarVelocidad, Reloj reloj)
    : m_canales(canales),
      m_restaurarVelocidad(std::move(restaurarVelocidad)),
      m_reloj(std::move(reloj)) {
  SetThreadName("quorvina-ts");
}

Cliente::~Cliente() {
  CerrarCanal();
  StopThread(0);
}

bool Cliente::Interrumpir() const {
  if (m_datos.Cancelar || PararProceso) return true;
  const int64_t plazo = m_plazoApertura;
  return plazo != 0 && AhoraMs() > plazo;
}

void Cliente::EsperarGrabador() {
  const auto end = std::chrono::steady_clock::now() + kEsperaGrabador;
  while (Running() && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(kPasoEspera);
  }
}

bool Cliente::AbrirCanal(int canalId) {
  std::lock_guard<std::mutex> demux(m_demuxMutex);
  if (m_datos.Abierto || m_demuxer.Abierto()) CerrarConDemux();
  // The record is not reset under a recorder of the previous channel.
  EsperarGrabador();
  if (Running()) {
    GenerarLogError("AbrirCanal: el grabador del canal anterior sigue en marcha");
    return false;
  }
  {
    std::lock_guard<std::recursive_mutex> lock(m_datos.Bloqueo);
    m_datos.Socket.Close();
    m_datos.Error = 0;
    m_datos.LongitudResto = 0;
    m_datos.Abierto = false;
    m_datos.TimeShiftActivo = false;
    m_datos.FinTimeShift = false;
    m_datos.SolicitarDirecto = false;
    m_datos.Pausado = false;
    m_datos.Cancelar = false;
    m_datos.BufferMemoria.reset();
    m_datos.LongitudMemoria = 0;
  }
  m_numeroStreams = 0;
  {
    std::lock_guard<std::mutex> lock(m_velocidadMutex);
    m_pausado = false;
    m_velocidad = 1;
  }

  Canal canal;
  if (!m_canales.ObtenerCanal(canalId, canal)) {
    GenerarLogError("AbrirCanal: no existe el canal " + convertInttoString(canalId));
    return false;
  }
  m_datos.Direccion = canal.ip;
  m_datos.Puerto = canal.puerto;
  m_hd = canal.HD;
  const auto interrumpir = [this] { return Interrumpir(); };

  if (!canal.operador) {
    m_plazoApertura = AhoraMs() + kPlazoUrl * 1000;
    const bool abierto = m_demuxer.AbrirUrl(canal.ip, interrumpir);
    m_plazoApertura = 0;
    if (!abierto) {
      GenerarLogError("AbrirCanal: no se puede abrir " + canal.ip);
      return false;
    }
  } else {
    if (!AbrirSocketUDP(m_datos.Socket, m_datos.Direccion, m_datos.Puerto, false)) {
      GenerarLogError("AbrirCanal: no se puede unir al grupo " + m_datos.Direccion);
      m_datos.Error = 1;
      return false;
    }
    m_datos.Abierto = true;
    // A silent group ends the probe; later, a read with nothing to give
    // returns after one time-out so the host's thread is never held long.
    m_datos.EsperasMaximas = kEsperasApertura;
    const bool abierto = m_demuxer.AbrirStream(
        [this](uint8_t* buffer, int size) {
          const int read = LeerSockDemux(&m_datos, buffer, size);
          if (m_datos.Salto.exchange(false)) m_demuxer.MarcarSalto();
          return read;
        },
        BUFSIZE, interrumpir);
    m_datos.EsperasMaximas = 1;
    if (!abierto) {
      GenerarLogError("AbrirCanal: no se reconoce el stream de " + m_datos.Direccion);
      std::lock_guard<std::recursive_mutex> lock(m_datos.Bloqueo);
      CerrarConexionUdp(m_datos.Socket);
      m_datos.Abierto = false;
      return false;
    }
  }
  m_canalId = canalId;
  std::lock_guard<std::mutex> lock(m_velocidadMutex);
  m_primeraPausa = m_ultimaPausa = m_segundosPausado = 0;
  return true;
}

void Cliente::CerrarCanal() {
  // Reads in progress give up at their next slice, so the locks come soon.
  m_datos.Cancelar = true;
  m_datos.FinTimeShift = true;
  m_datos.Avisar();
  {
    std::lock_guard<std::mutex> demux(m_demuxMutex);
    CerrarConDemux();
  }
  EsperarGrabador();
}

void Cliente::CerrarConDemux() {
  m_datos.Cancelar = true;
  m_datos.FinTimeShift = true;
  void* lectura = nullptr;
  {
    std::lock_guard<std::recursive_mutex> lock(m_datos.Bloqueo);
    CerrarConexionUdp(m_datos.Socket);
    m_datos.Abierto = false;
    lectura = std::exchange(m_datos.FicheroLectura, nullptr);
    m_datos.Pausado = false;
    m_datos.Salto = false;
  }
  // No read is in progress (the demuxer is held): FFmpeg and the host are
  // called with the socket's lock free.
  m_demuxer.Cerrar();
  if (lectura != nullptr) TheHost().CloseFile(lectura);
  std::lock_guard<std::mutex> velocidad(m_velocidadMutex);
  m_pausado = false;
}

std::vector<StreamInfo> Cliente::GetStreamProperties() {
  std::lock_guard<std::mutex> demux(m_demuxMutex);
  std::vector<StreamInfo> streams = m_demuxer.Streams(m_hd);
  m_numeroStreams = static_cast<unsigned int>(streams.size());
  return streams;
}

DemuxedPacket Cliente::DemuxRead() {
  std::lock_guard<std::mutex> demux(m_demuxMutex);
  if (m_datos.Error != 0 || !m_demuxer.Abierto()) return DemuxedPacket();
  // Nothing is read while paused: the recorder has the stream meanwhile.
  if (m_datos.Pausado) return DemuxedPacket();
  if (m_numeroStreams != m_demuxer.NumeroStreams()) {
    return DemuxedPacket(DemuxedPacket::Kind::StreamChange);
  }
  DemuxedPacket packet;
  if (m_demuxer.Leer(packet) < 0) return DemuxedPacket(DemuxedPacket::Kind::Empty);
  if (packet.pts) m_ultimoPts = *packet.pts;
  return packet;
}

void Cliente::EstablecerVelocidad(int velocidad) {
  // One change at a time: a resume that comes while a pause starts the
  // recorder waits for it, and is neither lost nor done before it.
  std::lock_guard<std::mutex> turno(m_controlMutex);
  {
    std::lock_guard<std::mutex> lock(m_velocidadMutex);
    if (velocidad == m_velocidad) return;
    if (!m_pausado && velocidad != 0) {
      m_velocidad = velocidad;  // fast forward is only recorded
      return;
    }
  }
  const bool pausar = velocidad == 0;
  // A recorder that has handed the stream back is let end first, so its
  // end does not reset the times of this pause.
  if (pausar && m_datos.FinTimeShift) EsperarGrabador();
  bool grabar = false;
  {
    std::lock_guard<std::mutex> lock(m_velocidadMutex);
    const time_t ahora = Ahora();
    if (pausar) {
      if (m_pausado) return;
      m_pausado = true;
      m_datos.SolicitarDirecto = false;
      m_datos.Pausado = true;
      if (m_primeraPausa == 0) m_primeraPausa = ahora;
      m_ultimaPausa = ahora;
      grabar = m_datos.Abierto;
    } else {
      if (!m_pausado) return;
      m_pausado = false;
      m_datos.Pausado = false;
      m_segundosPausado += ahora - m_ultimaPausa;
    }
    m_velocidad = velocidad;
  }
  m_datos.Avisar();
  if (grabar && !Running()) {
    std::lock_guard<std::recursive_mutex> lock(m_datos.Bloqueo);
    // Checked again with the socket held: a close may have come meanwhile,
    // and a recorder already recording keeps the stream.
    if (m_datos.Pausado && m_datos.Abierto && !m_datos.TimeShiftActivo) Start(false);
  }
  // Only a stream FFmpeg opened by itself can pause at its source; a read
  // in progress is waited for, not skipped.
  std::unique_lock<std::mutex> demux(m_demuxMutex, std::defer_lock);
  const auto limite = std::chrono::steady_clock::now() + kEsperaDemux;
  while (!demux.try_lock() && std::chrono::steady_clock::now() < limite) {
    std::this_thread::sleep_for(kPasoEspera);
  }
  if (!demux.owns_lock()) {
    GenerarLogError("EstablecerVelocidad: el demuxer sigue ocupado");
    return;
  }
  if (m_demuxer.EsUrl()) {
    if (pausar) {
      m_demuxer.Pausar();
    } else {
      m_demuxer.Reanudar();
    }
  }
}

bool Cliente::SeekTime(int milliseconds, bool, double* startPts) {
  if (startPts != nullptr) *startPts = kSinTiempo;
  bool restaurar = false;
  {
    std::lock_guard<std::mutex> lock(m_velocidadMutex);
    if (!m_datos.TimeShiftActivo && m_velocidad >= 2) {
      m_velocidad = 1;
      restaurar = true;
    }
  }
  if (restaurar) {
    if (m_restaurarVelocidad) m_restaurarVelocidad();
    return false;
  }
  const int64_t offset = static_cast<int64_t>(milliseconds) * 1000;
  int resultado = 0;
  int64_t destino = offset;
  double ultimoPts = 0;
  {
    std::lock_guard<std::mutex> demux(m_demuxMutex);
    destino += m_demuxer.Inicio();
    // A multicast stream cannot seek; asking FFmpeg would only flush what
    // it holds.
    if (m_demuxer.EsUrl()) resultado = m_demuxer.Buscar(destino);
    ultimoPts = m_ultimoPts;
  }
  if (startPts != nullptr) *startPts = static_cast<double>(offset);
  GenerarLogDebug("resultado:" + convertInttoString(resultado) + " time:" +
                  convertInttoString(milliseconds) + " seek_pts:" + convertInttoString(destino) +
                  " Last pts:" + convertInttoString(static_cast<long long>(ultimoPts)));
  return true;
}

time_t Cliente::GetPlayingTime() {
  std::lock_guard<std::mutex> lock(m_velocidadMutex);
  if (m_pausado) return m_ultimaPausa;
  if (m_datos.TimeShiftActivo) return Ahora() - m_segundosPausado;
  return 0;
}

time_t Cliente::GetBufferTimeStart() {
  std::lock_guard<std::mutex> lock(m_velocidadMutex);
  return m_primeraPausa;
}

time_t Cliente::GetBufferTimeEnd() {
  return Ahora();
}
