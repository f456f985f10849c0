// One series rule: which programme series to record, where and how.
#pragma once

#include <set>
#include <string>
#include <vector>

class Serie {
 public:
  std::string IdStrSerie;
  std::string Descripcion;
  std::string Logo;
  std::string PlotOutLine;
  std::string Plot;
  int TipodeCanal = 0;  // 0 any channel, 1 HD only, 2 SD only
  int iTipoTemporizador = 2;
  bool Logocorrecto = false;
  bool Cloud = false;
  bool ProgramarGrabaciones = false;
  std::vector<int> Temporadas;  // empty: every season
  bool SincroPersonalizado = false;
  int SincroDias = 0;

  bool loaded = false;
  std::set<int> seriesIds;  // numeric ids of the series crids seen
  int logoFailures = 0;
  std::set<std::string> activeEpisodes;  // season-episode keys of the scheduled timers
};
