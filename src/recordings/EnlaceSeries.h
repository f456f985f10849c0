// What the timer set and the library tell the series rules, and ask them.
// The controller links the rules in; without them (null) series timers and
// recordings are plain ones.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "recordings/DatosGrabacion.h"
#include "recordings/DatosTemporizador.h"

class CGUIDialogBase;
using CajaAbierta = std::function<bool(CGUIDialogBase*)>;

class EnlaceSeries {
 public:
  virtual ~EnlaceSeries() = default;
  // A timer was created, changed or ended.
  virtual void ActualizarTemporizador(const DatosTemporizador& timer) = 0;
  // A recording of a series appeared, changed or went.
  virtual void ActualizarRecording(const DatosGrabacion& grabacion) = 0;
  virtual void EliminarRecording(const DatosGrabacion& grabacion) = 0;
  // One placeholder timer per active rule, for the host's timer list.
  virtual std::vector<DatosTemporizador> ObtenerSeriesProgramas() = 0;
  // The host deleted a rule's placeholder timer: the rule pauses.
  virtual void PausarSerie(const std::string& idSerie) = 0;
  // The question a new timer of a known, unscheduled series asks: true when
  // the user scheduled the series; *cloud then tells where it records.
  // `abierta` is told of each box while it is open (null once it closed),
  // so that a stop can close it; when it answers false the asker is
  // stopping and the box is not shown.
  virtual bool PreguntarProgramarSerie(const std::string& idSerie, bool* cloud,
                                       const CajaAbierta& abierta) = 0;
};
