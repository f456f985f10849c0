#include "addon/Settings.h"

#include <vector>

#include "addon/AddonBinding.h"
#include "common/Conversions.h"
#include "common/DatosConfiguracion.h"
#include "common/Globals.h"
#include "common/SettingValues.h"

namespace {

// The host copies a text setting into the caller's buffer without a size;
// give it room well beyond any path, and keep what fits a host text field.
constexpr size_t kHostTextRoom = 16384;
constexpr size_t kMaxText = 1023;
constexpr int kPacketSize = 188;
constexpr int kDemarcacionPorDefecto = 19;

bool ReadText(const char* key, std::string& target) {
  std::vector<char> buffer(kHostTextRoom, '\0');
  if (!XBMC->GetSetting(key, buffer.data())) return false;
  buffer[kMaxText] = '\0';
  target = buffer.data();
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
