// Folder tree and file names under the add-on's user folder.
#pragma once

#include <string>

extern std::string strUserPath;
extern std::string strClientPath;

extern const char* const DirectorioBaseRaiz;
extern const char* const DirectorioBaseCanales;
extern const char* const DirectorioBaseEPG;
extern const char* const DirectorioBaseDetallesEPG;
extern const char* const DirectorioBaseLogos;
extern const char* const DirectorioBaseTimers;
extern const char* const DirectorioBaseTimersSeries;
extern const char* const DirectorioBaseRecordings;
extern const char* const DirectorioRecordings;
extern const char* const DirectorioRecordingsLogos;
extern const char* const DirectorioPlayCountRecordings;
extern const char* const DirectorioLastPlayRecordings;
extern const char* const DirectorioBaseSerie;
extern const char* const DirectorioBaseSerieLogos;
extern const char* const DirectorioBaseSerieGrabaciones;
extern const char* const DirectorioBaseSerieTracking;
extern const char* const DirectorioBaseSincronizacion;

extern const char* const FicheroBaseCanales;
extern const char* const FicheroBaseCanalesCompleto;
extern const char* const FicheroBaseMapaGenero;
extern const char* const FicherBaseoMapaEPG;
extern const char* const FicheroContadorRecording;
extern const char* const FicheroTimeShiftDisco;

extern std::string PathPayloadBase;
extern std::string PathCanales;
extern std::string PathEPG;
extern std::string PathDetallesEPG;
extern std::string PathLogos;
extern std::string PathTimers;
extern std::string PathRecordings;
extern std::string PathRecordingsLogos;
extern std::string PathRecordingsRecordings;
extern std::string PathLastPlayRecordings;
extern std::string PathFicheroTimeShiftDisco;
extern std::string PathSeries;
extern std::string PathSeriesLogos;
extern std::string PathSeriesGrabaciones;
extern std::string PathSeriesTracking;
extern std::string PathSincronizacion;
extern std::string PathCompletoCanales;
extern std::string PathCompletoCanalesCompleto;
extern std::string PathCompletoMapasGenero;
extern std::string PathCompletoMapasEPG;
extern std::string PathContadorRecordings;

// Sets the derived paths in order and creates the folders that are missing.
void CrearDirectorios();
