// The on-demand client: plays a cloud recording or a catch-up programme
// from the operator's video server, or copies a cloud recording to a file.
// It speaks the operator's RTSP dialect on a TCP control connection and
// receives the transport stream over unicast UDP, which it feeds to
// FFmpeg's demuxer (playback) or to a disk writer (copy). Its thread lives
// for one session: keep-alives, the server's notices and, in a copy, the
// reading.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/Socket.h"
#include "common/Thread.h"
#include "epg/EPG_Quorvina.h"
#include "live/DatosVod.h"
#include "live/DemuxSource.h"
#include "live/Demuxer.h"
#include "live/RtspProtocolo.h"
#include "live/StructDatosSock.h"

class Disco;

class rtsp : public PLATFORM::CThread, public DemuxSource {
 public:
  using Reloj = std::function<time_t()>;
  // The operator's catch-up server, until a stream URL names another.
  static constexpr const char* kServidorInicial = "catchup.quorvina.es";
  static constexpr int kTimeoutControl = 6;       // seconds per answer
  static constexpr int kSegundosSinMedia = 10;    // while playing
  static constexpr int kSegundosKeepAlive = 160;  // between GET_PARAMETERs
  // Bounded waits for the previous session's thread and for a copy's file.
  static constexpr int kEsperaSesionMs = 8000;
  static constexpr int kEsperaCopiaMs = 10000;

  explicit rtsp(ServiciosVod& servicios, Reloj reloj = nullptr);
  ~rtsp() override;

  // Plays an asset: resume chooser, anchors, session. The record is copied.
  bool AbrirVod(const DatosVod& datos, const std::string& url);
  // Copies the cloud recording `id` to a local file: the library entry must
  // be a cloud one and the server must give its stream. False when the copy
  // could not start.
  bool GrabarRecording(const std::string& id);
  // Copies a cloud recording to `fichero`. The bytes go to `fichero` +
  // kSufijoParcial, renamed once the server's end notice has come.
  bool Copiar(const DatosVod& datos, const std::string& url, const std::string& fichero);
  // Stops a copy and deletes its partial file; waits, bounded, for the
  // session's end.
  void PararRecording();
  // Raises the session's stop without waiting.
  void PedirParada() { m_parar = true; }
  bool CopiaCompleta() const { return m_copiaCompleta; }
  // The final name of the copy under way, or of the last one.
  std::string FicheroCopia() const;
  // A free "<folder>/<name><extension>" for a copy (an existing file is
  // never overwritten: a number is added); the folder is created.
  static std::string ObtenerNombreFichero(const DatosVod& datos, const std::string& extension);
  static constexpr const char* kSufijoParcial = ".parcial";

  bool Abrir(const std::string& url, const std::string& inicio, bool hd, bool demux);
  // Asks the session to end; its thread then tears it down.
  bool Cerrar();
  // Ends the session once: TEARDOWN, bookmark, sockets, demuxer.
  bool Finalizar();
  // Waits, bounded, while the previous session's thread runs.
  bool EsperarSesionAnterior();
  bool Pausar(bool) { return true; }

  std::vector<StreamInfo> GetStreamProperties() override;
  DemuxedPacket DemuxRead() override;
  void PauseStream(bool) override {}
  void EstablecerVelocidad(int escala) override;
  bool SeekTime(int, bool, double*) override { return false; }
  time_t GetPlayingTime() override;
  time_t GetBufferTimeStart() override;
  time_t GetBufferTimeEnd() override;
  // The guide of the on-demand channel: a clearing entry when the start
  // anchor moved, then the open asset's entry.
  void GetEPGVOD(const EntradaSink& sink);

  void* Process() override;

  // The demuxer's read callback: `opaque` is the rtsp object.
  static int LeerSockDemux(void* opaque, uint8_t* buffer, int size);

  // For the owner and tests.
  std::string Servidor() const;
  int Puerto() const;
  int PuertoCliente() const { return m_puertoCliente; }
  bool SesionAbierta() const { return m_sesionActiva; }
  int Error() const { return m_datos.Error; }
  // The position the client believes, in seconds.
  double Posicion() const;

 private:
  using Steady = std::chrono::steady_clock;

  bool conectarrtsp();
  bool enviaroption();
  bool enviardescribe();
  bool enviarsetup();
  bool enviarplay(const std::string& inicio, int escala);
  bool enviarpause();
  bool enviarteardown();
  bool enviargetparameter();
  // One exchange under the control lock: the request is built with the next
  // CSeq; with `esperar`, the answer of that CSeq is awaited (6 s) while
  // other messages go to Atender.
  bool enviarrtsp(const std::function<std::string(int cseq)>& peticion, MensajeRtsp* respuesta,
                  bool esperar);
  // Reads what the server sent meanwhile, without waiting.
  void recibirnotificaciones();
  // A notice, or a position, from any message (control lock held).
  void Atender(const MensajeRtsp& mensaje);
  bool LeerControl(int esperaMs);  // control lock held
  void EnviarNat();
  int LeerMedia(uint8_t* destino, int tamano);
  void CerrarFicheroCopia();
  void FijarPosicion(double posicion, int escala);
  int EscalaPosicion() const;
  time_t Ahora() const { return m_reloj ? m_reloj() : time(nullptr); }

  ServiciosVod& m_servicios;
  Reloj m_reloj;

  // The control connection: socket, reader, CSeq, URL and session id.
  mutable std::mutex m_control;
  Socket m_socket;
  LectorRtsp m_lector;
  int m_cseq = 0;
  std::string m_url;
  std::string m_sesion;
  std::string m_ipServidor;
  std::atomic<bool> m_controlCaido{false};

  // Server, port and the asset being played (host threads; the session
  // thread reads the asset under the lock).
  mutable std::mutex m_estado;
  std::string m_servidor = kServidorInicial;
  int m_puerto = 554;
  DatosVod m_datosVod;
  bool m_hayVod = false;
  std::string m_productType = "2";
  time_t m_anclaInicio = 0;
  time_t m_anclaFin = 0;
  time_t m_anclaEnviada = 0;
  int m_escala = 1;
  time_t m_cambioVelocidad = 0;
  time_t m_offset = 0;
  // The position: base at `desde`, moving at the scale while playing.
  double m_posicionBase = 0;
  Steady::time_point m_posicionDesde;
  int m_posicionEscala = 0;

  std::atomic<bool> m_sesionActiva{false};
  std::atomic<bool> m_haReproducido{false};
  std::atomic<bool> m_reproduciendo{false};
  std::atomic<bool> m_natAbierto{false};
  std::atomic<bool> m_reanclar{false};
  std::atomic<bool> m_avisarGuia{false};
  std::atomic<bool> m_fin{false};
  std::atomic<bool> m_parar{false};
  std::atomic<bool> m_modoCopia{false};
  std::atomic<bool> m_copiaCompleta{false};
  std::atomic<bool> m_ficheroAbierto{false};
  std::atomic<int> m_puertoCliente{0};
  std::atomic<time_t> m_keepAlive{0};
  std::atomic<int64_t> m_ultimaMedia{0};  // steady ms of the last datagram, or of the PLAY

  // The copy's file: opened by the caller's thread, written by the session
  // thread, closed by whichever ends the session.
  mutable std::mutex m_copia;
  void* m_fichero = nullptr;
  std::string m_nombreFichero;  // the final name
  std::string m_nombreParcial;  // the name while copying

  // The demuxer: held while opening, reading a packet and closing.
  std::mutex m_demux;
  Demuxer m_demuxer;
  bool m_hd = false;
  unsigned int m_numeroStreams = 0;
  StructDatosSock m_datos;
};
