#include "live/Disco.h"

#include <algorithm>
#include <chrono>
#include <string>

#include "common/Globals.h"
#include "common/HostServices.h"
#include "common/Log.h"

namespace {
constexpr auto kEsperaCola = std::chrono::milliseconds(200);
constexpr auto kEsperaBuffer = std::chrono::milliseconds(2000);
// The wait for a buffer is cut in slices so a stop is seen within one.
constexpr auto kRebanada = std::chrono::milliseconds(250);
// After the add-on's stop, what the queue may still take to be written.
constexpr auto kDrenajeParada = std::chrono::milliseconds(1000);
}  // namespace

size_t Disco::Longitud(int bufsize) {
  constexpr size_t kPaquete = 188;
  const size_t pedida = kPaso * static_cast<size_t>(std::max(bufsize, 1));
  const size_t longitud = std::min(pedida, kBytesMaximo / kPaso);
  return longitud > kPaquete ? longitud - longitud % kPaquete : longitud;
}

size_t Disco::Maximo(size_t longitud) {
  return std::min(kMaximo, std::max(kPaso, kBytesMaximo / std::max<size_t>(longitud, 1)));
}

Disco::Disco(void* file, std::function<void()> alFallar)
    : m_fichero(file),
      m_alFallar(std::move(alFallar)),
      m_maximo(Maximo(Longitud(BUFSIZE))),
      m_pool(Longitud(BUFSIZE), kPaso, m_maximo) {
  SetThreadName("quorvina-disco");
  Start(true);
}

Disco::~Disco() {
  Finalizar();
  StopThread(0);
}

char* Disco::GetBuffer() {
  const auto limite = std::chrono::steady_clock::now() + kEsperaBuffer;
  while (!m_finalizado) {
    if (char* buffer = m_pool.Get(kRebanada)) return buffer;
    if (PLATFORM::Stopping() || std::chrono::steady_clock::now() >= limite) break;
  }
  return nullptr;
}

bool Disco::Escribir(char* buffer, int length) {
  // A failed write alone does not refuse: buffers keep being written.
  if (m_finalizado || !Running()) return false;
  return m_pool.Put(buffer, length);
}

void Disco::Finalizar() {
  m_finalizado = true;
  m_pool.Close();
}

void* Disco::Process() {
  // Everything queued is written before the thread ends, also after
  // Finalizar: a recording must not lose its end. After the add-on's stop
  // the queue gets a bounded time, so a slow disk never holds the quit.
  std::chrono::steady_clock::time_point parada{};
  for (;;) {
    if (PararProceso) {
      const auto now = std::chrono::steady_clock::now();
      if (parada == std::chrono::steady_clock::time_point{}) parada = now;
      if (now - parada >= kDrenajeParada) {
        const size_t left = m_pool.queued();
        if (left > 0) GenerarLogError("Disco: se descartan " + std::to_string(left) + " bloques");
        break;
      }
    }
    BufferPool::Entry entry;
    if (!m_pool.Take(entry, kEsperaCola)) {
      if (m_finalizado || PararProceso) break;
      continue;
    }
    const ssize_t written =
        TheHost().WriteFile(m_fichero, entry.data, static_cast<size_t>(entry.length));
    m_pool.Done(entry);
    if (written != entry.length && m_error.exchange(1) == 0) {
      GenerarLogError("Disco: error de escritura");
      if (m_alFallar) m_alFallar();
    }
  }
  return nullptr;
}
