// The add-on's settings as process-wide globals, read once at create.
#pragma once

#include <string>

#include "host/xbmc_pvr_types.h"

extern std::string PathRecorded;
extern std::string PathTimeShift;
extern int lentimeshiftfile;
extern std::string servidorCanales;
extern std::string FicheroCanalesExternos;
extern bool detalleepg;
extern std::string PathGrabacionSeries;
extern int TipoGrabacionPorDefecto;
extern bool sincronizartvshow;
extern bool OcultarRecordingseries;
extern int canalesgrabacion;
extern int minutosantes;
extern int minutosdespues;
extern int ntemporizadores;
extern int nconcurrentes;
extern int PuertoVOD;
extern bool sincronizar;
extern int diasantiguedad;
extern float inicioventanaSinc;
extern float finalventanaSinc;
extern int registroshistorial;
extern bool ActivarDLNA;
extern bool TranscodificarDLNA;
extern int PuertoHttp;
extern int PuertoHttpUpnp;

// Fixed values used beside the settings.
extern int PuertoHttpQuorvina;
extern unsigned int CanalVOD;
extern int puertortsp;
extern bool ConexionEnNubeActivada;

// Demarcation codes of the "ZonaGeografica" setting, by index.
constexpr int kZonasGeograficas = 17;
extern const int MapaZonasGeograficas[kZonasGeograficas];

void ADDON_ReadSettings();
// Registers the context-menu entries with the host.
void AltasMenusHooks();
PVR_ERROR CallMenuHook(const PVR_MENUHOOK& hook, const PVR_MENUHOOK_DATA& item);
