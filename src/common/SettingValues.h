// The add-on's settings as process-wide values. The host binding reads them
// once at create; every subsystem reads them from here.
#pragma once

#include <string>

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
// The operator's DNS server, which knows the on-demand servers' names.
extern std::string DNSBrastokeTV;
extern bool ConexionEnNubeActivada;
// Set at create when the file "ultimos7dias" is in the add-on's folder.
extern bool ultimos7dias;

// Demarcation codes of the "ZonaGeografica" setting, by index.
constexpr int kZonasGeograficas = 17;
extern const int MapaZonasGeograficas[kZonasGeograficas];
