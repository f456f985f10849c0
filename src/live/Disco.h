// Writes a stream to a file on a thread of its own, so the thread that
// receives the stream never waits for the disk.
#pragma once

#include <atomic>
#include <functional>

#include "common/Thread.h"
#include "live/BufferPool.h"

class Disco : public PLATFORM::CThread {
 public:
  static constexpr size_t kPaso = 5;
  // At most this many buffers of 5 x BUFSIZE bytes (about 32 MB with the
  // default BUFSIZE), and never more than kBytesMaximo in all whatever
  // BUFSIZE is: a disk that falls this far behind makes GetBuffer wait.
  static constexpr size_t kMaximo = 50;
  static constexpr size_t kBytesMaximo = size_t{64} << 20;
  // One buffer's size for a BUFSIZE (whole 188-byte packets), and how many
  // buffers the pool may hold.
  static size_t Longitud(int bufsize);
  static size_t Maximo(size_t longitud);

  // `file` is a host file handle opened for writing that the caller keeps
  // and closes after destroying the writer. `alFallar` is told, once and
  // on the writer's thread, that a write failed.
  explicit Disco(void* file, std::function<void()> alFallar = nullptr);
  // Writes what is still queued, then ends.
  ~Disco() override;

  int GetLongitud() const { return static_cast<int>(m_pool.bufferSize()); }
  // The buffer to fill next; null once finished, after the disk has fallen
  // a full pool behind for two seconds, or when the calling thread or the
  // add-on stops while it waits.
  char* GetBuffer();
  // Queues the buffer GetBuffer handed out; false once finished or ended.
  bool Escribir(char* buffer, int length);
  // No more buffers: the thread writes what is queued and ends.
  void Finalizar();
  // 0, or 1 once a write has failed.
  int Error() const { return m_error; }
  size_t Buffers() const { return m_pool.size(); }
  size_t Maximo() const { return m_maximo; }
  // Filled buffers not yet written.
  size_t Pendientes() const { return m_pool.queued(); }

  void* Process() override;

 private:
  std::atomic<int> m_error{0};
  void* const m_fichero;
  std::atomic<bool> m_finalizado{false};
  std::function<void()> m_alFallar;
  const size_t m_maximo;
  BufferPool m_pool;
};
