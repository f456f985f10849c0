// What the series windows show of a rule, and the operations they ask of the
// rules. The windows keep only the rule's id and ask again at each use, so a
// rule dropped meanwhile is simply not found.
#pragma once

#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "epg/EPG_Quorvina.h"
#include "gui/OpcionesSerie.h"

struct FichaPrograma {
  EPG_Quorvina programa;
  bool programado = false;  // a timer of the rule is scheduled on its channel
  bool grabando = false;    // ... or recording
};

struct FichaTrack {
  std::string IdTrack;
  std::string Descripcion;
  int iChannelNumber = 0;
  int iTemporada = 0;
  int iCapitulo = 0;
  time_t InicioGrabacion = 0;
  time_t FinalGrabacion = 0;
  std::string logoserie;  // the linked recording's picture, else the rule's logo
};

struct FichaSerie : OpcionesSerie {
  std::string IdStrSerie;
  std::string Descripcion;
  std::string Logo;
  std::string PlotOutLine;
  std::string Plot;
  bool ProgramarGrabaciones = false;
  std::map<std::string, FichaPrograma> programas;  // in the rule's key order
  std::map<std::string, FichaTrack> trackings;     // by IdTrack
};

class OperacionesSeries {
 public:
  virtual ~OperacionesSeries() = default;
  virtual std::vector<std::string> Identificadores() const = 0;
  virtual bool Ficha(const std::string& id, FichaSerie& ficha) const = 0;
  virtual bool ProgramarSerie(const std::string& id, const OpcionesSerie& opciones) = 0;
  virtual bool CambiarOpciones(const std::string& id, const OpcionesSerie& opciones) = 0;
  virtual void PausarSerie(const std::string& id) = 0;
  virtual void EliminarSerie(const std::string& id, bool conTrackings) = 0;
  virtual void EliminarTrack(const std::string& id, const std::string& idTrack) = 0;
  // The rule's descriptions follow the programme the list shows.
  virtual void ActualizarDescripcion(const std::string& id, const std::string& plot,
                                     const std::string& outline) = 0;
};
