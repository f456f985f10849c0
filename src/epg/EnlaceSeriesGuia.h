// The series rules that the guide feeds while it parses a channel's files.
// Called on the guide's threads with no guide lock held.
#pragma once

#include "epg/EPG_Quorvina.h"

class EnlaceSeriesGuia {
 public:
  virtual ~EnlaceSeriesGuia() = default;
  // An entry with a series crid and a start time.
  virtual void ComprobarSerie(const EPG_Quorvina& entry) = 0;
  // Before a channel's files are parsed again.
  virtual void LimpiarSeriesCanal(int channel) = 0;
  // After they were.
  virtual void LimpiarSeries() = 0;
};
