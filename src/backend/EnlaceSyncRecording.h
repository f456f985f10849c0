// The controller's links between the copies of cloud recordings and the
// rest of the add-on: the library's entries as the copies need them, and
// the copies as timers of the timer set.
#pragma once

#include <string>
#include <vector>

#include "recordings/EnlaceSincronizacion.h"
#include "series/SyncRecording.h"

class Recordings;
struct DatosGrabacion;

GrabacionNube GrabacionNubeDe(const DatosGrabacion& grabacion);
AccesoGrabaciones AccesoGrabacionesDe(Recordings& recordings);

class EnlaceSyncRecording : public EnlaceSincronizacion {
 public:
  explicit EnlaceSyncRecording(SyncRecording& sync) : m_sync(sync) {}
  void Temporizador(std::vector<DatosTemporizador>& lista) override;
  bool EliminarGrabacion(const std::string& id) override;

 private:
  SyncRecording& m_sync;
};
