// The rows of the copies' window, built from the synchronisation, the
// recordings library and the line-up's logos.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "gui/FuenteSincronizaciones.h"
#include "recordings/DatosGrabacion.h"
#include "series/Sincronizacion.h"

class Canales;
class Recordings;
class SyncRecording;

class PantallasSincronizacion : public FuenteSincronizaciones {
 public:
  using Reloj = std::function<time_t()>;
  PantallasSincronizacion(SyncRecording& sync, const Recordings& recordings, const Canales& canales,
                          Reloj reloj = nullptr);

  std::vector<FilaSincronizacion> Filas(unsigned int pantalla) override;
  int Estado(const std::string& id) override;
  bool Eliminar(const std::string& id) override;
  bool Inmediato(const std::string& id) override;
  bool Diferido(const std::string& id) override;

  // One recording's row; `sufijo` follows the age text.
  FilaSincronizacion FilaGrabacion(const DatosGrabacion& g, const std::string& sufijo, int estado);
  // One history record's row, with the library's entry when there is one.
  FilaSincronizacion FilaHistorial(const TrackSincronizacion& t, const DatosGrabacion* g);

 private:
  void LogoCanal(FilaSincronizacion& fila, int canal) const;
  time_t Ahora() const { return m_reloj ? m_reloj() : time(nullptr); }

  SyncRecording& m_sync;
  const Recordings& m_recordings;
  const Canales& m_canales;
  Reloj m_reloj;
};
