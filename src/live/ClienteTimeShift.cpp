// The timeshift recorder of the live client and its ring file.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "common/Globals.h"
#include "common/HostServices.h"
#include "common/Log.h"
#include "common/SettingValues.h"
#include "common/StorageLayout.h"
#include "live/Cliente.h"

namespace {
constexpr auto kPasoFallo = std::chrono::milliseconds(50);
}  // namespace

bool Cliente::EscribirBloque(StructDatosSock& datos, const uint8_t* data, int length) {
  HostServices& host = TheHost();
  if (host.WriteFile(datos.FicheroEscritura, data, static_cast<size_t>(length)) != length) {
    return false;
  }
  // Flushed at once: the reader has a handle of its own.
  host.FlushFile(datos.FicheroEscritura);
  const int64_t position = host.FilePosition(datos.FicheroEscritura);
  const bool wrap = position >= datos.MaxBytesFichero;
  if (wrap) {
    host.SeekFile(datos.FicheroEscritura, 0, SEEK_SET);
    GenerarLogDebug("Process SeekFile.");
  }
  {
    std::lock_guard<std::mutex> lock(datos.Anillo);
    if (wrap) {
      // Both sides wrap where the writer did.
      datos.MaxBytesFichero = position;
      datos.Vuelta = true;
    }
    datos.PosicionEscritura = wrap ? 0 : position;
    datos.BytesEscritos += length;
  }
  datos.Avisar();
  return true;
}

void Cliente::EmpezarSesion(StructDatosSock& datos, void* escritura) {
  std::lock_guard<std::mutex> lock(datos.Anillo);
  datos.FicheroEscritura = escritura;
  datos.MaxBytesFichero = static_cast<int64_t>(lentimeshiftfile) << 20;
  datos.BytesEscritos = 0;
  datos.BytesLeidos = 0;
  datos.PosicionEscritura = 0;
  datos.Vuelta = false;
  ++datos.Sesion;
}

int Cliente::LeerFichero(StructDatosSock& datos, uint8_t* dst, int size) {
  int64_t escritos, maximo, escritura;
  bool vuelta;
  uint32_t sesion;
  {
    std::lock_guard<std::mutex> lock(datos.Anillo);
    escritos = datos.BytesEscritos;
    maximo = datos.MaxBytesFichero;
    escritura = datos.PosicionEscritura;
    vuelta = datos.Vuelta;
    sesion = datos.Sesion;
  }
  int64_t pendiente = escritos - datos.BytesLeidos;
  if (pendiente <= 0) return 0;
  HostServices& host = TheHost();
  // A handle of an earlier recording reads a file that is gone.
  const bool nuevo = datos.FicheroLectura == nullptr || datos.SesionLectura != sesion;
  // Once the writer has wrapped, what a handle read ahead may be from an
  // earlier lap, and a seek inside its buffer would keep it: every read
  // takes a fresh handle then.
  if (datos.FicheroLectura != nullptr && (nuevo || vuelta)) {
    host.CloseFile(datos.FicheroLectura);
    datos.FicheroLectura = nullptr;
  }
  if (datos.FicheroLectura == nullptr) {
    datos.FicheroLectura = host.OpenFile(PathFicheroTimeShiftDisco, 0);
    if (datos.FicheroLectura == nullptr) {
      GenerarLogError("TimeShift: no se puede leer " + PathFicheroTimeShiftDisco);
      datos.BytesLeidos = escritos;  // what was recorded is lost; live again
      datos.Salto = true;
      return 0;
    }
    if (nuevo) {
      datos.PosicionLectura = 0;
      datos.SesionLectura = sesion;
    }
  }
  // The block being written and the next one may land on the oldest unread
  // bytes: with less than two blocks free the reader goes on from the
  // oldest bytes those two leave alone.
  const int64_t margen = 2 * static_cast<int64_t>(BUFSIZE);
  if (pendiente > maximo - margen) {
    GenerarLogError("TimeShift: el fichero se ha desbordado");
    pendiente = std::max<int64_t>(0, maximo - margen);
    datos.BytesLeidos = escritos - pendiente;
    datos.PosicionLectura = (escritura + maximo - pendiente) % maximo;
    datos.Salto = true;
    if (pendiente == 0) return 0;
  }
  if (datos.PosicionLectura >= maximo) {
    GenerarLogDebug("FuncionLecturaEscritura SeekFile.");
    datos.PosicionLectura = 0;
  }
  const int64_t cabe = std::min<int64_t>({size, pendiente, maximo - datos.PosicionLectura});
  host.SeekFile(datos.FicheroLectura, datos.PosicionLectura, SEEK_SET);
  const ssize_t read = host.ReadFile(datos.FicheroLectura, dst, static_cast<size_t>(cabe));
  if (read <= 0) {
    GenerarLogError("TimeShift: error de lectura");
    datos.BytesLeidos = escritos;
    datos.Salto = true;
    return 0;
  }
  datos.PosicionLectura += read;
  if (datos.PosicionLectura >= maximo) {
    GenerarLogDebug("FuncionLecturaEscritura SeekFile.");
    datos.PosicionLectura = 0;
  }
  datos.BytesLeidos += read;
  return static_cast<int>(read);
}

bool Cliente::EntregarDirecto() {
  if (!m_datos.SolicitarDirecto || m_datos.Pausado) return false;
  if (m_datos.BytesLeidos != m_datos.BytesEscritos) return false;
  // The block in BufferMemoria follows the last byte the reader had: it
  // takes it next, then the socket.
  m_datos.FinTimeShift = true;
  m_datos.TimeShiftActivo = false;
  m_datos.Avisar();
  return true;
}

void* Cliente::Process() {
  StructDatosSock& datos = m_datos;
  HostServices& host = TheHost();
  void* escritura = host.OpenFileForWrite(PathFicheroTimeShiftDisco, true);
  if (escritura == nullptr) {
    GenerarLogError("TimeShift: no se puede crear " + PathFicheroTimeShiftDisco);
  } else {
    std::lock_guard<std::recursive_mutex> lock(datos.Bloqueo);
    EmpezarSesion(datos, escritura);
    // A block a previous recorder left for the reader is the oldest: it is
    // written first.
    if (datos.LongitudMemoria == 0) datos.BufferMemoria.reset(new uint8_t[BUFSIZE]);
    datos.SolicitarDirecto = false;
    datos.FinTimeShift = false;
    datos.TimeShiftActivo = !datos.Cancelar;
  }

  bool fallido = false;
  while (escritura != nullptr && datos.TimeShiftActivo) {
    if (PararProceso || StopRequested() || datos.Cancelar || datos.FinTimeShift ||
        datos.Error != 0) {
      break;
    }
    {
      std::lock_guard<std::recursive_mutex> lock(datos.Bloqueo);
      if (datos.FinTimeShift || EntregarDirecto()) break;
      if (!fallido && datos.LongitudMemoria == 0) {
        GenerarLogDebug("Process LeerSockDirecto E.");
        const int read = LeerSockDirecto(&datos, datos.BufferMemoria.get(), BUFSIZE);
        GenerarLogDebug("Process LeerSockDirecto S.");
        if (read <= 0) break;  // closed, stopped or failed
        datos.LongitudMemoria = read;
        if (datos.FinTimeShift) {
          datos.TimeShiftActivo = false;
          break;
        }
        if (EntregarDirecto()) break;
      }
    }
    if (fallido) {
      // Nothing more is recorded; the reader still replays what was.
      std::this_thread::sleep_for(kPasoFallo);
      continue;
    }
    GenerarLogDebug("Process WriteFile.");
    if (!EscribirBloque(datos, datos.BufferMemoria.get(), datos.LongitudMemoria)) {
      GenerarLogError("TimeShift: error de escritura en " + PathFicheroTimeShiftDisco);
      fallido = true;  // the block stays for the reader
      continue;
    }
    std::lock_guard<std::recursive_mutex> lock(datos.Bloqueo);
    datos.LongitudMemoria = 0;
  }

  {
    std::lock_guard<std::recursive_mutex> lock(datos.Bloqueo);
    datos.TimeShiftActivo = false;
    datos.FicheroEscritura = nullptr;
    if (datos.LongitudMemoria == 0 || datos.Cancelar) {
      datos.BufferMemoria.reset();
      datos.LongitudMemoria = 0;
    }
  }
  datos.Avisar();
  {
    std::lock_guard<std::mutex> lock(m_velocidadMutex);
    m_segundosPausado = 0;
    m_primeraPausa = 0;
  }
  if (escritura != nullptr) host.CloseFile(escritura);
  host.DeleteFile(PathFicheroTimeShiftDisco);
  return nullptr;
}
