// The on-demand client's media side: the UDP reader behind FFmpeg, the
// packets and stream descriptions for the host, and the session thread.
#include <poll.h>
#include <sys/socket.h>

extern "C" {
#include <libavutil/error.h>
}

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <thread>

#include "common/Conversions.h"
#include "common/Globals.h"
#include "common/HostServices.h"
#include "common/Log.h"
#include "common/SettingValues.h"
#include "live/Disco.h"
#include "live/Rtsp.h"

namespace {

constexpr int kRebanadaMs = 250;
constexpr int kDatagramaMinimo = 11;  // shorter ones carry no transport packet
constexpr int kFpsRtsp = 50;          // frame rate assumed before the stream tells
constexpr int kErrorSinMedia = ETIMEDOUT;
constexpr int kErrorEscritura = EIO;
// After asking the host to stop, the session ends by itself this late.
constexpr int kEsperaCierreHostMs = 5000;

int64_t AhoraMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

int rtsp::LeerSockDemux(void* opaque, uint8_t* buffer, int size) {
  auto* sesion = static_cast<rtsp*>(opaque);
  const int leido = sesion->LeerMedia(buffer, size);
  if (leido > 0) return leido;
  if (leido == kLecturaCancelada) return AVERROR_EXIT;
  if (sesion->m_datos.Error != 0) return AVERROR(EIO);
  // Paused, or nothing yet: FFmpeg must not take it for the end of file.
  return AVERROR(EAGAIN);
}

int rtsp::LeerMedia(uint8_t* destino, int tamano) {
  StructDatosSock& d = m_datos;
  int reunido = 0;
  if (d.LongitudResto > 0) {
    reunido = std::min(d.LongitudResto, tamano);
    memcpy(destino, d.BufferResto, static_cast<size_t>(reunido));
    d.LongitudResto -= reunido;
    if (d.LongitudResto > 0)
      memmove(d.BufferResto, d.BufferResto + reunido, static_cast<size_t>(d.LongitudResto));
  }
  const int fd = d.Socket.fd();
  while (reunido < tamano) {
    if (m_parar || PararProceso || fd < 0) return reunido > 0 ? reunido : kLecturaCancelada;
    const ssize_t n = recv(fd, d.BufferRecepcion[0], StructDatosSock::kDatagrama, MSG_DONTWAIT);
    if (n >= 0) {
      if (n < kDatagramaMinimo) continue;
      m_ultimaMedia = AhoraMs();
      reunido =
          AgregarDatagrama(d, d.BufferRecepcion[0], static_cast<int>(n), destino, reunido, tamano);
      continue;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      d.Error = errno;
      GenerarLogError("rtsp: error de recepcion " + convertInttoString(errno));
      return reunido;
    }
    if (d.Pausado) return reunido;
    if (AhoraMs() - m_ultimaMedia > kSegundosSinMedia * 1000) {
      d.Error = kErrorSinMedia;
      GenerarLogError("rtsp: " + convertInttoString(kSegundosSinMedia) + " s sin media");
      return reunido;
    }
    pollfd entrada{fd, POLLIN, 0};
    if (poll(&entrada, 1, kRebanadaMs) > 0) continue;
    // What has come is handed over when the stream pauses for a slice.
    if (reunido > 0) return reunido;
    // A copy's reads are its session thread's only wait: the server's end
    // notice is looked for here, or a finished copy would time out.
    if (m_modoCopia) {
      recibirnotificaciones();
      if (m_fin || m_controlCaido) return 0;
    }
  }
  return reunido;
}

std::vector<StreamInfo> rtsp::GetStreamProperties() {
  std::lock_guard<std::mutex> lock(m_demux);
  std::vector<StreamInfo> streams = m_demuxer.Streams(m_hd, kFpsRtsp);
  m_numeroStreams = static_cast<unsigned int>(streams.size());
  return streams;
}

DemuxedPacket rtsp::DemuxRead() {
  std::lock_guard<std::mutex> lock(m_demux);
  if (m_datos.Error != 0 || !m_demuxer.Abierto()) return DemuxedPacket();
  if (m_numeroStreams != m_demuxer.NumeroStreams())
    return DemuxedPacket(DemuxedPacket::Kind::StreamChange);
  if (m_datos.Pausado) return DemuxedPacket(DemuxedPacket::Kind::Empty);
  DemuxedPacket paquete;
  if (m_demuxer.Leer(paquete) < 0) return DemuxedPacket(DemuxedPacket::Kind::Empty);
  return paquete;
}

void* rtsp::Process() {
  const bool copia = m_modoCopia;
  std::unique_ptr<Disco> disco;
  int longitud = 0;
  void* fichero = nullptr;
  {
    std::lock_guard<std::mutex> lock(m_copia);
    fichero = m_fichero;
  }
  if (copia && fichero != nullptr) {
    // A write that fails (a full disk) fails the copy.
    disco = std::make_unique<Disco>(fichero, [this] { m_datos.Error = kErrorEscritura; });
    longitud = disco->GetLongitud();
  }
  m_keepAlive = 0;
  bool hostAvisado = false;
  int64_t limite = 0;
  while (!m_parar && !PararProceso) {
    const time_t ahora = Ahora();
    if (ahora >= m_keepAlive) {
      m_keepAlive = ahora + kSegundosKeepAlive;
      enviargetparameter();
    }
    if (disco) {
      char* buffer = disco->GetBuffer();
      if (buffer == nullptr) {
        m_datos.Error = 2;
      } else {
        const int leido = LeerMedia(reinterpret_cast<uint8_t*>(buffer), longitud);
        if (leido > 0 && !disco->Escribir(buffer, leido)) m_datos.Error = 1;
      }
    } else {
      // Positions are read soon after they come, so they hold for "now".
      for (int i = 0; i < 10 && !m_parar && !PararProceso; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        recibirnotificaciones();
      }
    }
    recibirnotificaciones();
    if (m_avisarGuia.exchange(false)) TheHost().TriggerEpgUpdate(CanalVOD);
    const bool fallo = m_datos.Error != 0 || m_controlCaido;
    if (copia) {
      if (fallo || m_fin) break;
      continue;
    }
    // Playback ends when the host closes the channel; it is asked to.
    if ((fallo || m_fin) && !hostAvisado) {
      hostAvisado = true;
      // The position stays where the last media left it.
      const double desde = (AhoraMs() - m_ultimaMedia) / 1000.0;
      FijarPosicion(std::max(0.0, Posicion() - desde * EscalaPosicion()), 0);
      limite = AhoraMs() + kEsperaCierreHostMs;
      m_servicios.PararReproductor();
    }
    if (hostAvisado && AhoraMs() > limite) break;
  }
  if (disco) {
    disco->Finalizar();
    disco.reset();  // writes what is queued and ends
  }
  // Judged once the last buffers are on disk: their write may fail too.
  const bool completa = copia && m_fin && m_datos.Error == 0 && !m_controlCaido;
  DatosVod datos;
  {
    std::lock_guard<std::mutex> lock(m_estado);
    datos = m_datosVod;
  }
  std::string final, parcial;
  {
    std::lock_guard<std::mutex> lock(m_copia);
    final = m_nombreFichero;
    parcial = m_nombreParcial;
    m_nombreParcial.clear();
  }
  Finalizar();  // closes the file
  if (!copia || parcial.empty()) return nullptr;
  if (completa) {
    // The name may have been taken meanwhile: never overwrite it.
    if (TheHost().FileExists(final)) final = ObtenerNombreFichero(datos, ".mpeg");
    if (MoverFichero(parcial, final)) {
      {
        std::lock_guard<std::mutex> lock(m_copia);
        m_nombreFichero = final;
      }
      m_servicios.PasarALocal(datos, final, datos.iDuration);
      m_copiaCompleta = true;
      return nullptr;
    }
    GenerarLogError("rtsp: no se puede mover " + parcial + " a " + final);
  }
  // A copy that did not reach the end is no recording: the cloud keeps it.
  GenerarLogError("rtsp: copia incompleta de " + datos.strRecordingId);
  if (TheHost().FileExists(parcial)) TheHost().DeleteFile(parcial);
  return nullptr;
}
