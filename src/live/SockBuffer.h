// A send queue with a thread of its own that drains filled buffers into a
// connected TCP socket, so the producer never waits for the network.
#pragma once

#include <atomic>
#include <chrono>

#include "common/Thread.h"
#include "live/BufferPool.h"

class SockBuffer : public PLATFORM::CThread {
 public:
  static constexpr size_t kPaso = 10;
  // At most this many buffers of BUFSIZE bytes: a client that falls this
  // far behind makes GetBuffer wait.
  static constexpr size_t kMaximo = 100;

  // `socket` is a connected TCP descriptor that the owner keeps and closes.
  // A client that takes nothing for this long ends the sending.
  static constexpr int kPlazoEnvioMs = 10000;
  // What the destructor lets the queue drain before it drops the rest.
  static constexpr int kDrenajeMs = 1000;

  // `maximo` caps the buffers queued for it, each `tamano` bytes (0: BUFSIZE).
  explicit SockBuffer(int socket, size_t maximo = kMaximo, size_t tamano = 0);
  // Sends what is queued for at most kDrenajeMs, then drops the rest.
  ~SockBuffer() override;

  // The buffer to fill next, or null once finished (or after the client has
  // fallen kMaximo buffers behind for two seconds).
  char* GetBuffer();
  // The same, waiting at most `espera` for a buffer (0: none is free, the
  // client is `maximo` buffers behind).
  char* GetBuffer(std::chrono::milliseconds espera);
  int GetLongitud() const { return static_cast<int>(m_pool.bufferSize()); }
  // Queues the buffer GetBuffer handed out; false once the thread has ended.
  bool Escribir(char* buffer, int length);
  void Finalizar();
  // 0 while working, 100 once the thread has ended.
  int Estado() const { return m_estado; }
  size_t Buffers() const { return m_pool.size(); }

  void* Process() override;

 private:
  bool Enviar(const char* data, int length);

  std::atomic<int> m_estado{0};
  const int m_socket;
  std::atomic<bool> m_finalizado{false};
  std::atomic<bool> m_abandonar{false};  // stop now, queued or not
  BufferPool m_pool;
};
