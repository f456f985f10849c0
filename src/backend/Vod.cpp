// The controller's on-demand routing: a cloud recording or a catch-up
// programme is noted, the host is switched to the "V.O.D" channel, and the
// open of that channel goes to the RTSP client.
#include <mutex>

#include "backend/Quorvina.h"
#include "backend/ServiciosVodQuorvina.h"
#include "common/Conversions.h"
#include "common/Log.h"
#include "common/SettingValues.h"
#include "common/Text.h"
#include "discovery/Canales.h"
#include "epg/EPGQuorvina.h"
#include "gui/GUIDialogSi.h"
#include "live/Cliente.h"
#include "live/Rtsp.h"
#include "recordings/ApiGrabaciones.h"
#include "recordings/Recordings.h"
#include "services/tcpJSON.h"

std::atomic<bool> vod{false};
std::atomic<bool> catchup{false};
std::atomic<uint32_t> canalvod{tcpJSON::kSinCanal};

namespace {

std::mutex vodMutex;
std::string vodRecordingId;
uint64_t peticion = 0;         // bumped by every on-demand request
uint64_t peticionAbierta = 0;  // the request the open stream plays

struct Peticion {
  std::string id;
  bool esCatchup = false;
  uint64_t numero = 0;
};

void FijarPeticion(const std::string& id, bool esCatchup) {
  std::lock_guard<std::mutex> lock(vodMutex);
  vod = true;
  catchup = esCatchup;
  vodRecordingId = id;
  ++peticion;
}

Peticion LeerPeticion() {
  std::lock_guard<std::mutex> lock(vodMutex);
  return Peticion{vodRecordingId, catchup, peticion};
}

void MarcarAbierta(uint64_t numero) {
  std::lock_guard<std::mutex> lock(vodMutex);
  peticionAbierta = numero;
}

// Forgets a request once served or failed, unless a newer one came meanwhile.
void OlvidarPeticion(uint64_t numero) {
  std::lock_guard<std::mutex> lock(vodMutex);
  if (peticion != numero) return;
  vod = false;
  catchup = false;
  vodRecordingId.clear();
}

void OlvidarAbierta() {
  uint64_t numero;
  {
    std::lock_guard<std::mutex> lock(vodMutex);
    numero = peticionAbierta;
  }
  OlvidarPeticion(numero);
}

}  // namespace

void Quorvina::PedirVod(const std::string& id, bool esCatchup) {
  FijarPeticion(id, esCatchup);
  tcpJSON json;
  // The host's own id of "V.O.D" is asked once.
  if (canalvod == tcpJSON::kSinCanal) canalvod = json.ObtenerCanalporNombre("V.O.D");
  if (canalvod == tcpJSON::kSinCanal || canalvod == 0) {
    GenerarLogError("AbrirRecording: el host no tiene el canal V.O.D");
    canalvod = tcpJSON::kSinCanal;
    return;
  }
  json.EstablecerCanalPVR(canalvod);
}

bool Quorvina::AbrirRecording(const std::string& id) {
  PedirVod(id, false);
  return false;  // the host plays it through the on-demand channel
}

bool Quorvina::AbrirCatchup(int programa) {
  PedirVod(convertInttoString(programa), true);
  return false;
}

bool Quorvina::AbrirVod() {
  const Peticion p = LeerPeticion();
  if (p.id.empty()) return false;
  const std::string& id = p.id;
  auto abrir = [&]() -> bool {
    DatosVod datos;
    unsigned int duracion = 0;
    std::string url;
    if (!p.esCatchup) {
      DatosGrabacion grabacion;
      if (!m_recordings->GetRecording(id, grabacion)) return false;
      datos = DatosVodDe(grabacion);
      duracion = static_cast<unsigned int>(grabacion.iDuration);
      if (!getRecordingData(ConvertStringtoint(id), grabacion.iClientChannelUid, &duracion, &url))
        return false;
    } else {
      const int programa = ConvertStringtoint(id);
      const int canal = m_epg->GetProgramaChannelUid(programa);
      if (canal < 0) return false;
      datos.strRecordingId = id;
      datos.iClientChannelUid = canal;
      Canal c;
      if (m_canales->ObtenerCanal(canal, c)) datos.HD = c.HD;
      EPG_Quorvina entrada;
      if (m_epg->GetProgramaEPG(canal, programa, entrada)) {
        datos.strTitle = entrada.strTitle;
        datos.strPlot = entrada.strPlotOutline;
      }
      if (!getCatchUpUrl(programa, canal, &duracion, &url)) return false;
    }
    datos.iDuration = static_cast<int>(duracion);
    return m_rtsp->AbrirVod(datos, url);
  };
  const bool abierto = abrir();
  if (abierto) {
    MarcarAbierta(p.numero);
  } else {
    OlvidarPeticion(p.numero);  // "V.O.D" tuned later must not replay it
  }
  return abierto;
}

bool Quorvina::AbrirCanal(int canalId) {
  m_pausado = false;
  // Only the on-demand channel plays what was asked for; any other is live.
  if (static_cast<unsigned int>(canalId) != CanalVOD || !vod) {
    return m_cliente->AbrirCanal(canalId);
  }
  if (LeerPeticion().id.empty()) return false;
  if (AbrirVod()) {
    m_abiertoVod = true;
    return true;
  }
  CGUIDialogSi aviso(De1252aUTF8("Rtsp"), De1252aUTF8("No se ha podido abrir el stream."));
  aviso.Show();
  return false;
}

void Quorvina::CerrarCanal() {
  m_pausado = false;
  if (m_abiertoVod.exchange(false)) {
    m_rtsp->Cerrar();
    // A request made while this stream played is still to be opened.
    OlvidarAbierta();
    return;
  }
  // A pending on-demand request outlives the live channel it replaces.
  m_cliente->CerrarCanal();
}

DemuxSource& Quorvina::Reproduccion() {
  if (m_abiertoVod) return *m_rtsp;
  return *m_cliente;
}
