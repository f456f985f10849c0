#include "live/Disco.h"

#include "common/Globals.h"
#include "common/HostServices.h"
#include "common/Log.h"

namespace {
constexpr auto kEsperaCola = std::chrono::milliseconds(200);
constexpr auto kEsperaBuffer = std::chrono::milliseconds(2000);
}  // namespace

Disco::Disco(void* file, std::function<void()> alFallar)
    : m_fichero(file),
      m_alFallar(std::move(alFallar)),
      m_pool(5 * static_cast<size_t>(BUFSIZE), kPaso, kMaximo) {
  SetThreadName("quorvina-disco");
  Start(true);
}

Disco::~Disco() {
  Finalizar();
  StopThread(0);
}

char* Disco::GetBuffer() {
  if (m_finalizado) return nullptr;
  return m_pool.Get(kEsperaBuffer);
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
  // Finalizar or the add-on's stop: a recording must not lose its end. The
  // queue is bounded by the pool's cap.
  for (;;) {
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
