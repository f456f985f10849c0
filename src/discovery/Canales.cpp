#include "discovery/Canales.h"

#include <utility>

#include "common/DatosConfiguracion.h"
#include "common/Globals.h"
#include "common/HostServices.h"
#include "common/Http.h"
#include "common/Log.h"
#include "common/Paths.h"
#include "common/SettingValues.h"
#include "common/Socket.h"
#include "common/StorageLayout.h"

namespace {

// CargarCanales waits for a running rebuild in steps of this length.
constexpr uint32_t kWaitStepMs = 2000;

bool DownloadFromAppServer(const std::string& path, const std::string& file) {
  // One client per download: a load may run on any thread.
  http client;
  return client.ObtenerFicherohttp(httpHostQuorvinaConfiguracion, PuertoHttpQuorvina, path, file);
}

Canal VodChannel() {
  const int id = static_cast<int>(CanalVOD);
  Canal vod;
  vod.id = id;
  vod.numero = id;
  vod.nombre = "V.O.D";
  vod.logo = LogoResolver::DefaultLogo(strClientPath);
  vod.ip = "127.0.0.1";
  vod.idSustituto = id;
  vod.operador = true;
  return vod;
}

}  // namespace

Canales::Canales(ChannelProbe probe, LogoResolver::Download download)
    : m_probe(probe ? std::move(probe) : ChannelProbe(ComprobarCanal)),
      m_download(download ? std::move(download) : LogoResolver::Download(DownloadFromAppServer)),
      m_filter(FilterFromConfiguration()),
      m_lineUp(std::make_shared<const LineUp>()) {
  SetThreadName("canales");
  // The host waits for the constructor: the stored line-up is shown with the
  // logos at hand, and the controller's thread fetches the missing ones.
  Actualizar(false);
}

Canales::~Canales() {
  // Process is ours: it must have ended before our members go.
  StopThread(0);
}

Canales::Filter Canales::FilterFromConfiguration() {
  const DatosConfiguracion& conf = configuracionquorvina;
  Filter filter;
  filter.packages = conf.paquetes;
  filter.demarcation = conf.Provincia;
  filter.searchType = conf.TiposdeBusqueda;
  filter.allPackages = conf.TodosPaquetes;
  filter.hideReplaced = conf.OcultarSustituidos;
  filter.loadHD = conf.CargarCanalesHD;
  return filter;
}

bool Canales::Parar() {
  return PararProceso || StopRequested();
}

void Canales::Inicializar() {
  SetVersions(-1, -1, true);
  m_cargado = false;
}

void Canales::SetVersions(int orderVersion, int listVersion, bool searchTypeToo) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_recorded.orderVersion = orderVersion;
  m_recorded.listVersion = listVersion;
  if (searchTypeToo) m_recorded.searchType = -1;
}

CanalesRecorded Canales::GetRecorded() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_recorded;
}

void Canales::CargarCanales() {
  Actualizar(true);
}

void Canales::Actualizar(bool descargarLogos) {
  if (Running()) {
    // The host already has channels: the running rebuild will refresh them.
    if (NumeroCanales() > 0 || PararProceso) return;
    while (Running() && !PararProceso && !StopRequested()) SleepFor(kWaitStepMs);
    if (Running() || PararProceso) return;
  } else if (PararProceso) {
    return;
  }

  // The thread is idle here, so it is safe to hand it new inputs.
  m_filter = FilterFromConfiguration();
  if (!m_cargado) {
    CargarFichero(m_filter, descargarLogos);
  } else if (descargarLogos && m_logosPendientes.exchange(false)) {
    CargarFichero(m_filter, true);
    TheHost().TriggerChannelUpdate();
  }

  GenerarLogDebug("Entrada servicelist");
  m_serviceList.CargarServicios();
  GenerarLogDebug("Entrada servicesorder");
  m_servicesOrder.CargarOrden();
  if (m_servicesOrder.Version() == -1 || m_serviceList.Version() == -1) return;

  const CanalesRecorded recorded = GetRecorded();
  if (m_servicesOrder.Version() == recorded.orderVersion &&
      m_serviceList.Version() == recorded.listVersion && m_filter.packages == recorded.packages &&
      m_filter.demarcation == recorded.demarcation && m_filter.searchType == recorded.searchType) {
    return;
  }
  if (recorded.orderVersion == -1 && recorded.listVersion == -1) m_cargado = true;
  if (!Running()) Start(false);
}

void* Canales::Process() {
  NotificarCadena(NoticeKind::Info, 30501);
  GenerarLogDebug("Llamada GenerarXML");
  GenerarXML(m_filter);
  if (Parar()) return nullptr;
  GenerarLogDebug("Salida GenerarXML");
  CargarFichero(m_filter, true);
  if (Parar()) return nullptr;
  NotificarCadena(NoticeKind::Info, 30502);
  TheHost().TriggerChannelUpdate();
  TheHost().TriggerChannelGroupsUpdate();
  return nullptr;
}

void Canales::CargarFichero() {
  CargarFichero(FilterFromConfiguration(), true);
}

void Canales::CargarFichero(const Filter& filter, bool descargarLogos) {
  GenerarLogDebug("CargarFichero");
  if (!ProcesarFichero(filter, descargarLogos)) SetVersions(-1, -1, false);
  GenerarLogDebug("Fin CargarFichero");
}

bool Canales::ProcesarFichero(const Filter& filter, bool descargarLogos) {
  GenerarLogDebug("ProcesarFichero");
  GenerarLogDebug("Cargado XML");
  LogoResolver logos(PathLogos, strClientPath,
                     descargarLogos ? m_download : LogoResolver::Download(),
                     [this] { return Parar(); });
  std::optional<CanalesXmlContent> stored =
      LeerCanalesXml(PathCompletoCanales, filter.loadHD, logos);
  if (!stored) return false;

  const std::string externos = FicheroCanalesExternos.empty()
                                   ? PathCombine(PathCanales, "canalesexternos.xml")
                                   : FicheroCanalesExternos;
  LineUpInputs inputs;
  inputs.canales = std::move(stored->canales);
  inputs.externos = LeerCanalesExternos(externos, logos);
  inputs.ordenes = LeerOrdenes(PathCombine(PathCanales, "orden.xml"));
  if (!descargarLogos) m_logosPendientes = logos.fallbacks() > 0;
  inputs.ocultarSustituidos = filter.hideReplaced;
  inputs.vod = VodChannel();
  auto lineUp = std::make_shared<const LineUp>(BuildLineUp(inputs));
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_recorded = stored->recorded;
    // The old line-up goes with `lineUp` once the lock is released, or with
    // the last reader still holding it.
    m_lineUp.swap(lineUp);
  }
  m_cargado = true;
  GenerarLogDebug("Fin ProcesarFichero");
  return true;
}

void Canales::GenerarXML(const Filter& filter) {
  CanalesRecorded header;
  header.orderVersion = m_servicesOrder.Version();
  header.listVersion = m_serviceList.Version();
  header.packages = filter.packages;
  header.demarcation = filter.demarcation;
  header.searchType = filter.searchType;
  const ServicesOrder::Orden& orden =
      filter.allPackages ? m_servicesOrder.FullOrder() : m_servicesOrder.SubscribedOrder();
  const std::string lines = GenerarLineasCanales(
      orden, m_servicesOrder.SubscribedOrder(), m_serviceList.Services(), filter.allPackages,
      filter.packages, m_probe, [this] { return Parar(); });
  // Nothing selected, or stopped half-way: the old file stays.
  if (lines.empty() || Parar()) return;
  if (!EscribirFichero(PathCompletoCanales, TextoCanalesXml(header, lines))) {
    GenerarLogError("Canales.xml no se ha podido escribir entero");
  }
}

void Canales::EliminarCanales() {
  HostServices& host = TheHost();
  for (const std::string* path : {&PathCompletoCanales, &PathCompletoCanalesCompleto}) {
    if (host.FileExists(*path)) host.DeleteFile(*path);
  }
  SetVersions(-1, -1, true);
  m_cargado = false;
}

std::shared_ptr<const LineUp> Canales::Snapshot() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_lineUp;
}

std::vector<MiembroGrupo> Canales::GetChannelGroupMembers(const std::string& group) const {
  const std::shared_ptr<const LineUp> lineUp = Snapshot();
  std::vector<MiembroGrupo> members;
  const auto range = lineUp->members.equal_range(group);
  for (auto it = range.first; it != range.second; ++it) members.push_back(it->second);
  return members;
}

bool Canales::ObtenerCanal(int id, Canal& canal) const {
  const std::shared_ptr<const LineUp> lineUp = Snapshot();
  const auto it = lineUp->channels.find(id);
  if (it == lineUp->channels.end()) return false;
  canal = it->second;
  return true;
}

int Canales::NumeroCanales() const {
  return static_cast<int>(Snapshot()->channels.size());
}

int Canales::NumeroGrupos() const {
  return static_cast<int>(Snapshot()->groups.size());
}
