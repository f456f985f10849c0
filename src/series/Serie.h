// One series rule (which programme series to record, where and how) and one
// recorded episode of it.
#pragma once

#include <ctime>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

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

// Where a rule's broadcast sorts: by start time (never below 0), then by the
// channel's number read as text, as the fixed-width "start-channel" text of
// the windows sorts.
struct ClaveEmision {
  time_t inicio = 0;
  int canal = 0;
  bool operator<(const ClaveEmision& otra) const {
    if (inicio != otra.inicio) return inicio < otra.inicio;
    return canal != otra.canal && TextoAntes(canal, otra.canal);
  }
  bool operator==(const ClaveEmision& otra) const {
    return inicio == otra.inicio && canal == otra.canal;
  }
  // True when a's decimal text sorts before b's.
  static bool TextoAntes(int a, int b);
};

struct HashClaveEmision {
  size_t operator()(const ClaveEmision& c) const {
    return std::hash<long long>()(static_cast<long long>(c.inicio) * 1000003 + c.canal);
  }
};

// The guide's broadcasts of a rule; the windows and the scheduler sort them
// by key themselves.
using MapaEmisiones = std::unordered_map<ClaveEmision, EPG_Quorvina, HashClaveEmision>;

// What a scheduler pass reads of a broadcast, apart from the whole entry so
// that a pass walks a small array instead of the rule's tree of entries.
struct EmisionSerie {
  ClaveEmision clave;
  time_t inicio = 0;
  time_t fin = 0;
  int temporada = 0;
  int capitulo = 0;
};

using NodoEmision = MapaEmisiones::node_type;

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
  MapaEmisiones programas;
  // The same broadcasts for the scheduler: the first `emisionesOrdenadas`
  // in key order, those added since after them.
  std::vector<EmisionSerie> emisiones;
  size_t emisionesOrdenadas = 0;
  std::vector<int> canales;  // the channels of those broadcasts
  std::set<int> seriesIds;   // numeric ids of the series crids seen
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
// The windows' text of a broadcast's key: the start time in 12 digits, "-",
// the channel.
std::string TextoClaveEmision(const ClaveEmision& clave);
