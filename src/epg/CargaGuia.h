// Reading one guide file into guide entries: what a guide request works
// with, and the reading of each programme, field by field.
#pragma once

#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/XMLNode.h"
#include "discovery/Canal.h"
#include "epg/DetalleProgramaEPG.h"
#include "epg/EPG_Quorvina.h"
#include "epg/GuideFields.h"
#include "epg/MapaGeneros.h"

// What one guide request works with, taken once at its start, and what it
// met on the way.
struct CargaGuia {
  Canal canal;
  std::shared_ptr<const LineUp> lineUp;
  std::shared_ptr<const MapaGeneros> generos;
  time_t start = 0;
  time_t end = 0;
  const EntradaSink* sink = nullptr;
  RelojGuia reloj;
  time_t desfase = 0;  // the profile's hours, in seconds
  bool detalles = false;
  std::string iconoPrograma;  // "http://ip:port/logoprograma=" while details are on
  std::vector<std::string> sinMapa;
  std::vector<uint32_t> programas;  // met by this load, for catch-up
  bool faltanDetalles = false;
  size_t sinHora = 0;
  std::string texto;  // scratch text, reused from entry to entry

  // The host genre code of a name; a channel's guide repeats a handful of
  // names, each looked up once.
  int Genero(const std::string& name);

 private:
  std::vector<std::pair<std::string, int>> codigos_;
};

bool EsEventoGuia(const XMLNode& node);
std::string AtributoGuia(const XMLNode& node, const char* name);

// Every programme of a guide file's text, in document order; a file cut
// short gives the programmes it holds whole, a damaged one none, each with a
// log line naming `path`.
void LeerGuia(CargaGuia& carga, const std::string& text, const MapaDetalles& detalles,
              const std::string& path, const std::function<void(const EPG_Quorvina&)>& onEntry);

// One ScheduleEvent; false, counted, for one without a start time.
bool CargarProgramaEPG(const XMLNode& event, EPG_Quorvina& entry, const MapaDetalles& detalles,
                       CargaGuia& carga);
