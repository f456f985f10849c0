// The details thread of the guide store: asks the application server for
// the details of every programme whose details cache lacks them.
#include <cstdio>

#include "common/DatosConfiguracion.h"
#include "common/Globals.h"
#include "common/HostServices.h"
#include "common/Http.h"
#include "common/HttpGlobals.h"
#include "common/Log.h"
#include "common/SettingValues.h"
#include "common/StorageLayout.h"
#include "common/Text.h"
#include "common/XMLNode.h"
#include "discovery/Canales.h"
#include "epg/CacheDetalles.h"
#include "epg/CarpetaGuia.h"
#include "epg/GuideFields.h"
#include "epg/ProgramasEPG.h"

namespace {

constexpr time_t kAntes = 14400;    // the first pass: from 4 hours ago...
constexpr time_t kDespues = 57600;  // ...to 16 hours ahead
constexpr char kRutaDetalle[] = "/appserver/bktv.do?action=getEpgInfo&extInfoID=%u&tvWholesaler=1";

}  // namespace

void* ProgramasEPG::Process() {
  const time_t now = time(nullptr);
  ObtenerDetalles(now - kAntes, now + kDespues);
  if (PararProceso || StopRequested()) return nullptr;
  AvisarCanales();
  ObtenerDetalles(0, 0);
  if (PararProceso || StopRequested()) return nullptr;
  AvisarCanales();
  m_siguienteDetalles = time(nullptr) + kPausaDetalles;
  return nullptr;
}

void ProgramasEPG::AvisarCanales() {
  const auto lineUp = m_canales.Snapshot();
  for (const auto& entry : lineUp->channels) {
    if (PLATFORM::Stopping()) return;
    if (static_cast<unsigned int>(entry.first) == CanalVOD) continue;
    TheHost().TriggerEpgUpdate(static_cast<unsigned int>(entry.first));
  }
}

void ProgramasEPG::ObtenerDetalles(time_t from, time_t to) {
  const time_t desfase = static_cast<time_t>(configuracionquorvina.HorasDiferencias) * 3600;
  for (const std::string& name : ListarFicheros(PathEPG)) {
    if (PararProceso || StopRequested()) return;
    if (SegmentoDeFichero(name).empty()) continue;
    const std::string cache = PathDetallesEPG + name;
    MapaDetalles detalles = LeerFicheroDetalle(LeerFichero(cache), Etiquetas());
    const std::string text = LeerFichero(PathEPG + name);
    const XMLNode schedule = XMLNode::parseString(text.c_str(), "TVAMain")
                                 .getChildNode(0)
                                 .getChildNode(0)
                                 .getChildNode(0);
    RelojGuia reloj;
    bool added = false;
    const int total = schedule.nChildNode("ScheduleEvent");
    int position = 0;
    for (int i = 0; i < total && !PararProceso && !StopRequested(); ++i) {
      const XMLNode event = schedule.getChildNode("ScheduleEvent", &position);
      const char* crid = event.getChildNode("Program").getAttribute("crid");
      if (crid == nullptr || detalles.count(crid) != 0) continue;
      if (from != 0) {
        const char* hora = event.getChildNode("EventStartTime").getText();
        const time_t start = (hora != nullptr ? reloj.Convertir(hora) : 0) + desfase;
        if (start < from || start > to) continue;
      }
      DetalleProgramaEPG detalle;
      if (ObtenerInformacionAmpliadaEPG(ObtenerID(crid), detalle)) {
        detalles.emplace(crid, std::move(detalle));
        added = true;
      }
    }
    if (added && !EscribirFichero(DeUTF8a1252(cache), GenerarXMLFicheroDetalle(detalles))) {
      GenerarLogError("No se puede escribir " + cache);
    }
  }
}

bool ProgramasEPG::ObtenerInformacionAmpliadaEPG(uint32_t id, DetalleProgramaEPG& detalle) {
  return PedirDetallePrograma(id, detalle, Etiquetas());
}

bool PedirDetallePrograma(uint32_t id, DetalleProgramaEPG& detalle,
                          const EtiquetasDetalle& etiquetas) {
  if (PararProceso) return false;
  char path[sizeof(kRutaDetalle) + 16];
  std::snprintf(path, sizeof(path), kRutaDetalle, static_cast<unsigned int>(id));
  http cliente;
  const std::string body = cliente.ObtenerStringhttp(httpHostQuorvina, PuertoHttpQuorvina, path);
  if (body.empty()) return false;
  if (!LeerRespuestaDetalle(body, detalle)) return false;
  GenerarPlotOutline(detalle, etiquetas);
  return true;
}
