#include "common/SettingValues.h"

std::string PathRecorded = "/storage/recordings";
std::string PathTimeShift = "/storage/recordings";
int lentimeshiftfile = 512;
std::string servidorCanales = "127.0.0.1";
std::string FicheroCanalesExternos;
bool detalleepg = true;
std::string PathGrabacionSeries = "/storage/recordings";
int TipoGrabacionPorDefecto = 0;
bool sincronizartvshow = true;
bool OcultarRecordingseries = false;
int canalesgrabacion = 0;
int minutosantes = 10;
int minutosdespues = 20;
int ntemporizadores = 5;
int nconcurrentes = 1;
int PuertoVOD = 0;
bool sincronizar = false;
int diasantiguedad = 30;
float inicioventanaSinc = 0.0f;
float finalventanaSinc = 24.0f;
int registroshistorial = 30;
bool ActivarDLNA = false;
bool TranscodificarDLNA = false;
int PuertoHttp = 4242;
int PuertoHttpUpnp = 4243;

int PuertoHttpQuorvina = 2001;
unsigned int CanalVOD = 10000;
int puertortsp = 554;
std::string DNSBrastokeTV = "172.26.23.3";
bool ConexionEnNubeActivada = true;
bool ultimos7dias = false;

const int MapaZonasGeograficas[kZonasGeograficas] = {24, 19, 1,  15, 34, 13, 29, 38, 4,
                                                     6,  32, 10, 37, 31, 12, 35, 36};
