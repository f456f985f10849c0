// FFmpeg's demuxer over the live client's read callback, or over a stream
// that FFmpeg opens by its URL.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "live/StreamRecords.h"

struct AVFormatContext;
struct AVIOContext;

class Demuxer {
 public:
  // Fills the buffer with up to `size` bytes; the count, or an AVERROR.
  using Read = std::function<int(uint8_t* buffer, int size)>;
  // True when a blocking FFmpeg call should give up.
  using Interrupt = std::function<bool()>;

  Demuxer() = default;
  ~Demuxer() { Cerrar(); }
  Demuxer(const Demuxer&) = delete;
  Demuxer& operator=(const Demuxer&) = delete;

  // The transport stream `read` delivers, through an I/O buffer of
  // `bufferSize` bytes; FFmpeg probes that many bytes and no more (no
  // stream-info pass, so a channel starts quickly).
  bool AbrirStream(Read read, int bufferSize, Interrupt interrupt);
  // A stream FFmpeg opens by itself (file, HTTP...), with a stream-info pass.
  bool AbrirUrl(const std::string& url, Interrupt interrupt);
  void Cerrar();

  bool Abierto() const { return formato_ != nullptr; }
  bool EsUrl() const { return formato_ != nullptr && io_ == nullptr; }
  unsigned int NumeroStreams() const;
  // `hd` picks the picture size assumed for a video stream that has none yet.
  std::vector<StreamInfo> Streams(bool hd) const;
  // One packet with its time stamps in microseconds; 0, or an AVERROR. After
  // a failure the I/O context is ready to be read again.
  int Leer(DemuxedPacket& packet);
  // Called by the read function when the bytes it returns now do not follow
  // those it returned before: the packet being gathered across the jump is
  // partial, and is dropped with the parsers' state.
  void MarcarSalto();
  void Pausar();
  void Reanudar();
  // The stream's start in microseconds (0 when unknown).
  int64_t Inicio() const;
  // Seeks to `target` microseconds; FFmpeg's result.
  int Buscar(int64_t target);

 private:
  static int ReadThunk(void* opaque, uint8_t* buffer, int size);
  static int InterruptThunk(void* opaque);

  AVFormatContext* formato_ = nullptr;
  AVIOContext* io_ = nullptr;
  int64_t entregados_ = 0;  // bytes the read function has returned
  int64_t salto_ = -1;      // where the last jump was; packets begun before it go
  bool vaciar_ = false;     // a jump not yet followed by a flush
  Read read_;
  Interrupt interrupt_;
};
