// One series rule (which programme series to record, where and how) and one
// recorded episode of it.
#pragma once

#include <ctime>
#include <map>
#include <set>
#include <string>

#include "epg/EPG_Quorvina.h"
#include "gui/OpcionesSerie.h"
#include "recordings/DatosGrabacion.h"
#include "recordings/DatosTemporizador.h"

struct TrackSerie {
  std::string IdTrack;  // season-episode key
  std::string Descripcion;
  int iChannelNumber = 0;
  int iTemporada = 0;
  int iCapitulo = 0;
  int iUniqueBroadcastId = 0;
  int iRecording = 0;
  time_t InicioGrabacion = 0;
  time_t FinalGrabacion = 0;
  int iDuration = 0;
};

class Serie : public OpcionesSerie {
 public:
  std::string IdStrSerie;
  std::string Descripcion;
  std::string Logo;
  std::string PlotOutLine;
  std::string Plot;
  int iTipoTemporizador = 2;
  bool Logocorrecto = false;
  bool ProgramarGrabaciones = false;
  bool SincroPersonalizado = false;
  int SincroDias = 0;

  bool loaded = false;
  std::map<std::string, EPG_Quorvina> programas;  // start time "-" channel id -> broadcast
  std::set<int> seriesIds;                        // numeric ids of the series crids seen
  int logoFailures = 0;
  std::map<int, DatosTemporizador> programados;  // timers pending or recording, by index
  std::set<std::string> activeEpisodes;          // season-episode keys of those timers
  std::map<int, DatosGrabacion> grabaciones;     // by the recording's broadcast id
  std::map<std::string, TrackSerie> trackings;   // by IdTrack
  // The stored history could not be read at all: it is not rewritten (it is
  // kept aside too) until the user deletes it.
  bool historialIlegible = false;
};

// Season 3, episode 12 gives "3-12".
std::string ClaveCapitulo(int temporada, int capitulo);
