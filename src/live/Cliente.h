// The live stream client: plays one channel for the host. It joins the
// channel's multicast group (or has FFmpeg open a non-operator channel by
// its address), feeds the transport stream to FFmpeg through a read
// callback and hands the host the demultiplexed packets. While the host is
// paused its thread records the stream into the timeshift file; after the
// resume the read callback replays the file until it has caught up with
// the recording, then returns to the socket.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <vector>

#include "common/Thread.h"
#include "live/DemuxSource.h"
#include "live/Demuxer.h"
#include "live/StructDatosSock.h"

class Canales;

class Cliente : public PLATFORM::CThread, public DemuxSource {
 public:
  using Reloj = std::function<time_t()>;

  // Receive time-outs (2 s each) in a row that end the probe of a silent
  // group: as long as the join attempts of AbrirSocketUDP.
  static constexpr int kEsperasApertura = 4;
  // Seconds a URL channel may take to open.
  static constexpr int kPlazoUrl = 15;

  // `restaurarVelocidad` asks the host's player, in the background, to play
  // at normal speed again. `reloj` gives the wall-clock second.
  Cliente(const Canales& canales, std::function<void()> restaurarVelocidad, Reloj reloj = nullptr);
  ~Cliente() override;

  bool AbrirCanal(int canalId);
  // The controller has closed the previous channel first.
  bool CambiarCanal(int canalId) { return AbrirCanal(canalId); }
  // Closes the channel and ends a running timeshift.
  void CerrarCanal();
  // The channel last opened successfully; -1 until then.
  int ObtenerCanalActual() const { return m_canalId; }

  std::vector<StreamInfo> GetStreamProperties() override;
  DemuxedPacket DemuxRead() override;
  // Pausing goes through EstablecerVelocidad with 0.
  void PauseStream(bool) override {}
  void EstablecerVelocidad(int velocidad) override;
  bool SeekTime(int milliseconds, bool backwards, double* startPts) override;
  time_t GetPlayingTime() override;
  time_t GetBufferTimeStart() override;
  time_t GetBufferTimeEnd() override;

  // The timeshift recorder.
  void* Process() override;

  // The demuxer's read callback and its steps; `opaque` is the
  // StructDatosSock. They return bytes, or kLecturaCancelada /
  // kLecturaSinDatos.
  static int LeerSockDemux(void* opaque, uint8_t* buffer, int size);
  static int FuncionLecturaEscritura(void* opaque, uint8_t* buffer, int size, bool leer);
  // Gathers `want` bytes: the recorder's leftover block, the carry-over,
  // then datagrams. After a receive time-out it returns what it has; with
  // nothing, it gives up after `esperasMaximas` time-outs (0: never).
  static int LeerSockDirecto(void* opaque, uint8_t* dst, int want, int esperasMaximas = 0);
  // The ring file: one block written by the recorder, one read by the
  // demux thread.
  static bool EscribirBloque(StructDatosSock& datos, const uint8_t* data, int length);
  // A new recording into the file the recorder just opened: the ring
  // starts empty, and a read handle of the last one is not used again.
  static void EmpezarSesion(StructDatosSock& datos, void* escritura);
  static int LeerFichero(StructDatosSock& datos, uint8_t* dst, int size);

  StructDatosSock& Datos() { return m_datos; }

 private:
  void CerrarConDemux();  // with m_demuxMutex held
  // Waits, bounded, for the previous recorder to end.
  void EsperarGrabador();
  bool Interrumpir() const;
  time_t Ahora() const { return m_reloj ? m_reloj() : time(nullptr); }
  // Hands the recorder's block to the reader instead of writing it, when
  // the reader has read everything and wants the socket back.
  bool EntregarDirecto();  // with Bloqueo held

  const Canales& m_canales;
  std::function<void()> m_restaurarVelocidad;
  Reloj m_reloj;
  std::atomic<int> m_canalId{-1};

  // The demuxer: FFmpeg's context takes one caller at a time, so this is
  // held while opening, reading a packet, pausing and closing. Pause and
  // resume wait for it a bounded time.
  std::mutex m_demuxMutex;
  // Speed changes one at a time, in the order the host makes them.
  std::mutex m_controlMutex;
  Demuxer m_demuxer;
  bool m_hd = false;
  unsigned int m_numeroStreams = 0;
  double m_ultimoPts = 0;
  std::atomic<int64_t> m_plazoApertura{0};  // steady-clock ms; 0 none

  StructDatosSock m_datos;

  // Speed, pause and the times of the timeshift.
  std::mutex m_velocidadMutex;
  int m_velocidad = 1;
  bool m_pausado = false;
  time_t m_primeraPausa = 0;
  time_t m_ultimaPausa = 0;
  time_t m_segundosPausado = 0;
};
