#include "addon/Settings.h"

#include <cstdio>

#include "addon/AddonBinding.h"
#include "addon/AddonMain.h"
#include "addon/PvrBinding.h"
#include "addon/StorageLayout.h"
#include "backend/DatosConfiguracion.h"
#include "backend/Quorvina.h"
#include "common/Conversions.h"
#include "common/Globals.h"

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
bool ConexionEnNubeActivada = true;

const int MapaZonasGeograficas[kZonasGeograficas] = {24, 19, 1,  15, 34, 13, 29, 38, 4,
                                                     6,  32, 10, 37, 31, 12, 35, 36};

namespace {

constexpr size_t kTextSetting = 1024;
constexpr int kPacketSize = 188;
constexpr int kDemarcacionPorDefecto = 19;

bool ReadText(const char* key, std::string& target) {
  char buffer[kTextSetting] = {0};
  if (!XBMC->GetSetting(key, buffer)) return false;
  buffer[kTextSetting - 1] = '\0';
  target = buffer;
  return true;
}

// Text setting whose unreadable or empty value takes the fallback.
std::string TextOr(const char* key, const std::string& fallback) {
  std::string value;
  if (!ReadText(key, value) || value.empty()) return fallback;
  return value;
}

template <typename T>
T ValueOr(const char* key, T fallback) {
  T value{};
  return XBMC->GetSetting(key, &value) ? value : fallback;
}

}  // namespace

void ADDON_ReadSettings() {
  if (XBMC == nullptr) return;
  DatosConfiguracion& conf = configuracionquorvina;

  PathRecorded = TextOr("recordfolder", "/storage/recordings");
  PathTimeShift = TextOr("timeshiftfolder", PathRecorded);
  lentimeshiftfile = ValueOr("lentimeshiftfile", 512);
  servidorCanales = TextOr("servidorCanales", "127.0.0.1");
  FicheroCanalesExternos = TextOr("FicheroCanalesExternos", "");
  BUFSIZE = ValueOr("BUFSIZE", 128000);
  BUFSIZE -= BUFSIZE % kPacketSize;
  conf.TiposdeBusqueda = ValueOr("TiposdeBusqueda", 0);
  conf.CargarCanalesHD = ValueOr("CargarCanalesHD", true);
  ModoDebug = ValueOr("ModoDebug", false);
  detalleepg = ValueOr("detalleepg", true);
  PathGrabacionSeries = TextOr("recordfolderseries", PathRecorded);
  TipoGrabacionPorDefecto = ValueOr("TipoGrabacionPorDefecto", 0);
  sincronizartvshow = ValueOr("sincronizartvshow", true);
  OcultarRecordingseries = ValueOr("OcultarRecordingseries", false);
  canalesgrabacion = ValueOr("canalesgrabacion", 0);
  minutosantes = ValueOr("minutosantes", 10);
  minutosdespues = ValueOr("minutosdespues", 20);
  ntemporizadores = ValueOr("ntemporizadores", 5);
  nconcurrentes = ValueOr("nconcurrentes", 1);
  PuertoVOD = ValueOr("PuertoVOD", 0);
  sincronizar = ValueOr("sincronizar", false);
  diasantiguedad = ValueOr("diasantiguedad", 30);
  inicioventanaSinc = ValueOr("inicioventana", 0.0f);
  finalventanaSinc = ValueOr("finalventana", 24.0f);
  registroshistorial = ValueOr("registroshistorial", 30);
  ActivarDLNA = ValueOr("ActivarDLNA", false);
  TranscodificarDLNA = ValueOr("TranscodificarDLNA", false);
  PuertoHttp = ValueOr("PuertoHttp", 4242);
  PuertoHttpUpnp = ValueOr("PuertoHttpUpnp", 4243);

  // An empty stored entry point stays empty; only an unreadable one defaults.
  if (!ReadText("servidorInicio", conf.IPInicial)) conf.IPInicial = "239.0.2.129";
  conf.PuertoInicial = ValueOr("PuertoInicio", 3937);
  conf.HorasDiferencias = ValueOr("DiferenciaHoraria", 1);

  int zona = -1;
  int demarcacion = kDemarcacionPorDefecto;
  if (XBMC->GetSetting("ZonaGeografica", &zona)) {
    if (zona >= 0 && zona < kZonasGeograficas) {
      demarcacion = MapaZonasGeograficas[zona];
    } else {
      XBMC->Log(LOG_ERROR, "ZonaGeografica fuera de rango: %d", zona);
    }
  }
  conf.Provincia = convertInttoString(demarcacion);
}

namespace {

struct Hook {
  unsigned int id;
  unsigned int stringId;
  PVR_MENUHOOK_CAT category;
};

constexpr Hook kHooks[] = {{1, 30200, PVR_MENUHOOK_ALL},     {2, 30230, PVR_MENUHOOK_ALL},
                           {3, 30210, PVR_MENUHOOK_CHANNEL}, {4, 30220, PVR_MENUHOOK_RECORDING},
                           {5, 30240, PVR_MENUHOOK_ALL},     {6, 30250, PVR_MENUHOOK_ALL},
                           {7, 30260, PVR_MENUHOOK_ALL},     {8, 30270, PVR_MENUHOOK_EPG}};

}  // namespace

void AltasMenusHooks() {
  if (PVR == nullptr) return;
  for (const Hook& h : kHooks) {
    if (h.id == 8 && !ultimos7dias) continue;
    PVR_MENUHOOK hook{};
    hook.iHookId = h.id;
    hook.iLocalizedStringId = h.stringId;
    hook.category = h.category;
    PVR->AddMenuHook(&hook);
  }
}

PVR_ERROR CallMenuHook(const PVR_MENUHOOK& hook, const PVR_MENUHOOK_DATA& item) {
  Quorvina* controller = quorvina;
  if (controller == nullptr) return PVR_ERROR_NO_ERROR;
  switch (hook.iHookId) {
    case 1:
      controller->VisualizarSeries();
      break;
    case 2:
      controller->VisualizarSincronizaciones();
      break;
    case 3:
      controller->RecargarCanales(true);
      break;
    case 4: {
      char id[sizeof(item.data.recording.strRecordingId)];
      snprintf(id, sizeof(id), "%s", item.data.recording.strRecordingId);
      controller->GrabarenLocalRecording(id);
      break;
    }
    case 5:
      controller->LimpiarGrabacionesSinFichero();
      break;
    case 6:
      controller->RecargarTemporizadores();
      break;
    case 7:
      controller->RecargarEPG();
      break;
    case 8:
      controller->AbrirCatchup(static_cast<unsigned int>(item.data.iEpgUid));
      break;
    default:
      break;
  }
  return PVR_ERROR_NO_ERROR;
}
