// The state of one receiving UDP socket: the socket, its datagram buffers
// and, for the live client, the timeshift file state shared by the demux
// thread and the recorder.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "common/Socket.h"

// Reads of the live stream return these instead of a byte count.
constexpr int kLecturaCancelada = -1;  // a close or the add-on's stop
constexpr int kLecturaSinDatos = -2;   // nothing arrived within the waits allowed

struct StructDatosSock {
  static constexpr int kDatagrama = 1500;
  // Datagrams received with one call.
  static constexpr int kLote = 16;

  UdpSocket Socket;
  // Datagrams as received, and their lengths.
  char BufferRecepcion[kLote][kDatagrama];
  int LongitudRecepcion[kLote];
  // Tail of the last datagram that did not fit the reader's request.
  char BufferResto[kDatagrama];
  int LongitudResto = 0;
  // 0, or the error number of the last failed receive (1: the group could
  // not be joined).
  std::atomic<int> Error{0};
  std::atomic<bool> Abierto{false};
  std::string Direccion;
  int Puerto = 0;

  // Timeshift. Reads are served from the file while TimeShiftActivo is set
  // and FinTimeShift clear.
  std::atomic<bool> TimeShiftActivo{false};
  std::atomic<bool> FinTimeShift{false};
  void* FicheroEscritura = nullptr;  // the recorder's handle
  void* FicheroLectura = nullptr;    // the demux thread's handle
  // Each recording of the file counts one up; a read handle of an earlier
  // one is of a file that is gone.
  std::atomic<uint32_t> Sesion{0};
  uint32_t SesionLectura = 0;  // the demux thread's alone
  // One block the recorder read and did not write: the reader takes it
  // before it reads the socket again.
  std::unique_ptr<uint8_t[]> BufferMemoria;
  int LongitudMemoria = 0;
  // Size of the ring file; raised to where the writer actually wrapped.
  std::atomic<int64_t> MaxBytesFichero{0};
  // Bytes written to and read from the ring since the recording started,
  // and where the writer will write next.
  std::atomic<int64_t> BytesEscritos{0};
  std::atomic<int64_t> BytesLeidos{0};
  std::atomic<int64_t> PosicionEscritura{0};
  // The writer has wrapped at least once.
  std::atomic<bool> Vuelta{false};
  // The writer changes the four above together under it, and the reader
  // takes them together: a position of one block with a count of another
  // would put the reader a block off.
  std::mutex Anillo;
  // The reader has skipped bytes of the stream (the writer lapped it, or
  // the file failed): what the demuxer held from before does not go on.
  std::atomic<bool> Salto{false};
  // Where the reader reads next; the demux thread's alone.
  int64_t PosicionLectura = 0;
  // Set by the reader when it has read everything written and wants the
  // live socket back; the recorder then hands over its next block.
  std::atomic<bool> SolicitarDirecto{false};
  // The host has paused: the reader never ends the timeshift meanwhile.
  std::atomic<bool> Pausado{false};
  // A close or a stop is pending: every wait gives up at its next slice.
  std::atomic<bool> Cancelar{false};
  // Receive time-outs in a row after which a read of the demux thread
  // gives up (0: never).
  std::atomic<int> EsperasMaximas{0};

  // Held for every socket read and while the channel is closed.
  std::recursive_mutex Bloqueo;
  // Wakes a reader waiting for the recorder.
  std::mutex AvisoMutex;
  std::condition_variable Aviso;
  void Avisar();

  StructDatosSock() = default;
  StructDatosSock(const StructDatosSock&) = delete;
  StructDatosSock& operator=(const StructDatosSock&) = delete;
};

// Appends the payload of one datagram (its RTP header removed) at
// dst + gathered; what does not fit in `want` waits in BufferResto. Returns
// the bytes gathered now.
int AgregarDatagrama(StructDatosSock& datos, const char* datagram, int length, uint8_t* dst,
                     int gathered, int want);
