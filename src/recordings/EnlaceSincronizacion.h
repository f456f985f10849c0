// What the timer set asks of the copies of cloud recordings: their timers
// for the host's list, and the removal of one when the host deletes its
// timer. The controller links the one that exists.
#pragma once

#include <string>
#include <vector>

#include "recordings/DatosTemporizador.h"

class EnlaceSincronizacion {
 public:
  virtual ~EnlaceSincronizacion() = default;
  // Appends one timer per queued copy.
  virtual void Temporizador(std::vector<DatosTemporizador>& lista) = 0;
  // Removes the copy of the recording `id` (a decimal number); false when it
  // is not queued.
  virtual bool EliminarGrabacion(const std::string& id) = 0;
};
