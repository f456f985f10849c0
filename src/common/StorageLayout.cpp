#include "common/StorageLayout.h"

#include "common/HostServices.h"
#include "common/Paths.h"
#include "common/SettingValues.h"

std::string strUserPath;
std::string strClientPath;

const char* const DirectorioBaseRaiz = "Base/";
const char* const DirectorioBaseCanales = "Canales/";
const char* const DirectorioBaseEPG = "EPG/";
const char* const DirectorioBaseDetallesEPG = "EPG/Detalle/";
const char* const DirectorioBaseLogos = "Logos/";
const char* const DirectorioBaseTimers = "Timers/";
const char* const DirectorioBaseTimersSeries = "Timers/Series";
const char* const DirectorioBaseRecordings = "Recordings/";
const char* const DirectorioRecordings = "Recordings/";
const char* const DirectorioRecordingsLogos = "Recordings/Logos";
const char* const DirectorioPlayCountRecordings = "Play/";
const char* const DirectorioLastPlayRecordings = "LastPlay/";
const char* const DirectorioBaseSerie = "Series/";
const char* const DirectorioBaseSerieLogos = "Series/Logos/";
const char* const DirectorioBaseSerieGrabaciones = "Series/Grabaciones/";
const char* const DirectorioBaseSerieTracking = "Series/Tracking/";
const char* const DirectorioBaseSincronizacion = "Sincronizacion/";

const char* const FicheroBaseCanales = "Canales.xml";
const char* const FicheroBaseCanalesCompleto = "CanalesCompleto.xml";
const char* const FicheroBaseMapaGenero = "MapasGeneros.xml";
const char* const FicherBaseoMapaEPG = "mapepg.xml";
const char* const FicheroContadorRecording = "Contador.xml";
const char* const FicheroTimeShiftDisco = "timeshift.ts";

std::string PathPayloadBase;
std::string PathCanales;
std::string PathEPG;
std::string PathDetallesEPG;
std::string PathLogos;
std::string PathTimers;
std::string PathRecordings;
std::string PathRecordingsLogos;
std::string PathRecordingsRecordings;
std::string PathLastPlayRecordings;
std::string PathFicheroTimeShiftDisco;
std::string PathSeries;
std::string PathSeriesLogos;
std::string PathSeriesGrabaciones;
std::string PathSeriesTracking;
std::string PathSincronizacion;
std::string PathCompletoCanales;
std::string PathCompletoCanalesCompleto;
std::string PathCompletoMapasGenero;
std::string PathCompletoMapasEPG;
std::string PathContadorRecordings;

namespace {
// One host call, no parents: the tree is built top-down in order.
void Ensure(const std::string& folder) {
  HostServices& host = TheHost();
  if (!host.DirectoryExists(folder)) host.CreateDirectory(folder);
}

std::string EnsuredUnderUser(const char* name) {
  std::string path = PathCombine(strUserPath, name);
  Ensure(path);
  return path;
}
}  // namespace

void CrearDirectorios() {
  Ensure(strUserPath);
  PathPayloadBase = EnsuredUnderUser(DirectorioBaseRaiz);
  PathCanales = EnsuredUnderUser(DirectorioBaseCanales);
  PathEPG = EnsuredUnderUser(DirectorioBaseEPG);
  PathDetallesEPG = EnsuredUnderUser(DirectorioBaseDetallesEPG);
  PathLogos = EnsuredUnderUser(DirectorioBaseLogos);
  PathTimers = EnsuredUnderUser(DirectorioBaseTimers);
  PathRecordings = EnsuredUnderUser(DirectorioBaseRecordings);
  PathRecordingsLogos = EnsuredUnderUser(DirectorioRecordingsLogos);
  PathRecordingsRecordings = PathCombine(PathRecordings, DirectorioRecordings);
  Ensure(PathRecordingsRecordings);
  PathLastPlayRecordings = PathCombine(PathRecordings, DirectorioLastPlayRecordings);
  Ensure(PathLastPlayRecordings);
  Ensure(PathRecorded);
  Ensure(PathTimeShift);
  PathFicheroTimeShiftDisco = PathCombine(PathTimeShift, FicheroTimeShiftDisco);
  PathSeries = EnsuredUnderUser(DirectorioBaseSerie);
  PathSeriesLogos = EnsuredUnderUser(DirectorioBaseSerieLogos);
  PathSeriesGrabaciones = EnsuredUnderUser(DirectorioBaseSerieGrabaciones);
  PathSeriesTracking = EnsuredUnderUser(DirectorioBaseSerieTracking);
  PathSincronizacion = EnsuredUnderUser(DirectorioBaseSincronizacion);
  PathCompletoCanales = PathCombine(PathCanales, FicheroBaseCanales);
  PathCompletoCanalesCompleto = PathCombine(PathCanales, FicheroBaseCanalesCompleto);
  PathCompletoMapasGenero = PathCombine(strClientPath, FicheroBaseMapaGenero);
  PathCompletoMapasEPG = PathCombine(PathEPG, FicherBaseoMapaEPG);
  PathContadorRecordings = PathCombine(PathRecordings, FicheroContadorRecording);
}
