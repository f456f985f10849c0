#include "discovery/Canales.h"

#include <cstdio>

#include "addon/AddonBinding.h"
#include "addon/PvrBinding.h"
#include "addon/StorageLayout.h"
#include "backend/DatosConfiguracion.h"
#include "common/Utils.h"

Canales* canales = nullptr;

namespace {

// CargarCanales waits for a running rebuild in steps of this length.
constexpr uint32_t kWaitStepMs = 2000;
constexpr int kNumeroSinCanal = 9999;

// Attribute text, or empty when absent.
std::string Attr(const XMLNode& node, const char* name) {
  const char* value = node.getAttribute(name);
  return value == nullptr ? std::string() : std::string(value);
}

void Notify(int stringId) {
  if (XBMC == nullptr) return;
  XBMC->QueueNotification(QUEUE_INFO, "%s", XBMC->GetLocalizedString(stringId).c_str());
}

}  // namespace

Canales::Canales(Probe probe)
    : m_probe(probe ? std::move(probe) : Probe(ComprobarCanal)),
      m_filter(FilterFromConfiguration()),
      m_lineUp(std::make_shared<const LineUp>()) {
  SetThreadName("canales");
  CargarCanales();
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

Canales::Recorded Canales::GetRecorded() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_recorded;
}

void Canales::CargarCanales() {
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
  if (!m_cargado) CargarFichero(m_filter);

  GenerarLogDebug("Entrada servicelist");
  m_serviceList.CargarServicios();
  GenerarLogDebug("Entrada servicesorder");
  m_servicesOrder.CargarOrden();
  if (m_servicesOrder.Version() == -1 || m_serviceList.Version() == -1) return;

  const Recorded recorded = GetRecorded();
  if (m_servicesOrder.Version() == recorded.orderVersion &&
      m_serviceList.Version() == recorded.listVersion && m_filter.packages == recorded.packages &&
      m_filter.demarcation == recorded.demarcation && m_filter.searchType == recorded.searchType) {
    return;
  }
  if (recorded.orderVersion == -1 && recorded.listVersion == -1) m_cargado = true;
  if (!Running()) Start(false);
}

void* Canales::Process() {
  Notify(30501);
  GenerarLogDebug("Llamada GenerarXML");
  GenerarXML(m_filter);
  if (Parar()) return nullptr;
  GenerarLogDebug("Salida GenerarXML");
  CargarFichero(m_filter);
  if (Parar()) return nullptr;
  Notify(30502);
  if (PVR != nullptr) {
    PVR->TriggerChannelUpdate();
    PVR->TriggerChannelGroupsUpdate();
  }
  return nullptr;
}

void Canales::CargarFichero() {
  CargarFichero(FilterFromConfiguration());
}

void Canales::CargarFichero(const Filter& filter) {
  GenerarLogDebug("CargarFichero");
  if (!ProcesarFichero(filter)) SetVersions(-1, -1, false);
  GenerarLogDebug("Fin CargarFichero");
}

bool Canales::ProcesarFichero() {
  return ProcesarFichero(FilterFromConfiguration());
}

bool Canales::ProcesarFichero(const Filter& filter) {
  GenerarLogDebug("ProcesarFichero");
  GenerarLogDebug("Cargado XML");
  const XMLNode root = ParseStored(PathCompletoCanales, "Canales", FicheroBaseCanales);
  if (root.isEmpty()) return false;

  ReadRecorded(root.getChildNode("Version"));

  LineUp lineUp;
  LogoState logos;
  const int count = root.nChildNode("Canal");
  for (int i = 0; i < count; ++i) {
    Canal canal;
    if (!ReadChannel(root.getChildNode("Canal", i), filter, logos, canal)) continue;
    lineUp.channels.emplace(canal.id, canal);
    lineUp.fullChannels.emplace(canal.id, canal);
  }
  CargarCanalesExternos(lineUp.channels, lineUp.fullChannels);
  CargarOrdenes(lineUp.channels, lineUp.fullChannels);
  // The order is taken before hiding, so it also places the hidden channels.
  BuildOrder(lineUp);
  if (filter.hideReplaced) HideReplaced(lineUp.channels);
  BuildGroups(lineUp);
  AgnadirCanalVOD(lineUp);
  Publish(std::make_shared<const LineUp>(std::move(lineUp)));
  m_cargado = true;
  GenerarLogDebug("Fin ProcesarFichero");
  return true;
}

void Canales::ReadRecorded(const XMLNode& version) {
  const char* orderVersion = version.getAttribute("VersionOrden");
  const char* listVersion = version.getAttribute("VersionCanales");
  const char* packages = version.getAttribute("paquetes");
  const char* demarcation = version.getAttribute("demarcacion");
  const char* searchType = version.getAttribute("TipodeBusqueda");
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (orderVersion != nullptr) m_recorded.orderVersion = ConvertStringtoint(orderVersion);
    if (listVersion != nullptr) m_recorded.listVersion = ConvertStringtoint(listVersion);
    if (packages != nullptr) m_recorded.packages = packages;
    if (demarcation != nullptr) m_recorded.demarcation = demarcation;
    if (searchType != nullptr) m_recorded.searchType = ConvertStringtoint(searchType);
  }
  if (orderVersion != nullptr) GenerarLogDebug(std::string("Version:") + orderVersion);
  if (listVersion != nullptr) GenerarLogDebug(std::string("VersionCanales:") + listVersion);
  if (packages != nullptr) GenerarLogDebug(std::string("IDpaquetes:") + packages);
  if (demarcation != nullptr) GenerarLogDebug(std::string("demarcacion:") + demarcation);
  if (searchType != nullptr) GenerarLogDebug(std::string("TipodeBusqueda:") + searchType);
}

bool Canales::ReadChannel(const XMLNode& node, const Filter& filter, LogoState& logos,
                          Canal& canal) {
  // The writer always writes these; without one the line is not ours.
  static constexpr const char* kRequired[] = {
      "NumeroCanal", "ID", "Nombre", "ip", "puerto", "ServiceType", "ServiceNameOriginal"};
  for (const char* name : kRequired) {
    if (node.getAttribute(name) == nullptr) {
      GenerarLogError(std::string("Canal incompleto en Canales.xml, falta ") + name + ": " +
                      Attr(node, "ID"));
      return false;
    }
  }
  canal.numero = ConvertStringtoint(Attr(node, "NumeroCanal"));
  if (canal.numero == 0) canal.numero = kNumeroSinCanal;
  canal.id = ConvertStringtoint(Attr(node, "ID"));
  canal.nombre = Attr(node, "Nombre");
  const char* logo = node.getAttribute("Logo");
  if (logo != nullptr) canal.logo = ResolveLogo(logo, logos);
  canal.ip = Attr(node, "ip");
  canal.puerto = ConvertStringtoint(Attr(node, "puerto"));
  const bool sd = ConvertStringtoint(Attr(node, "ServiceType")) == 1;
  canal.HD = !sd;
  canal.operador = true;
  if (!filter.loadHD && !sd) return false;
  canal.genero = Attr(node, "Genero");
  canal.idSustituto = ConvertStringtoint(Attr(node, "ServiceNameOriginal"));
  return true;
}

void Canales::EliminarCanales() {
  if (XBMC != nullptr) {
    for (const std::string* path : {&PathCompletoCanales, &PathCompletoCanalesCompleto}) {
      if (XBMC->FileExists(path->c_str(), false)) XBMC->DeleteFile(path->c_str());
    }
  }
  SetVersions(-1, -1, true);
  m_cargado = false;
}

XMLNode Canales::ParseStored(const std::string& path, const char* root, const char* name) {
  const std::string local = DeUTF8a1252(path);
  XMLResults results{};
  XMLNode node = XMLNode::parseFile(local.c_str(), root, &results);
  if (results.error == eXMLErrorNone && !node.isEmpty()) return node;
  if (results.error != eXMLErrorFileNotFound) {
    GenerarLogError(std::string(name) + " no valido: " + XMLNode::getError(results.error) +
                    " linea " + convertInttoString(results.nLine) + " columna " +
                    convertInttoString(results.nColumn));
  }
  return XMLNode();
}

void Canales::Publish(std::shared_ptr<const LineUp> lineUp) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_lineUp.swap(lineUp);
  // The old line-up goes with `lineUp` once the lock is released, or with
  // the last reader still holding it.
}

std::shared_ptr<const LineUp> Canales::Snapshot() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_lineUp;
}

ChannelMap Canales::GetCanales() const {
  return Snapshot()->channels;
}

ChannelMap Canales::ObtenerCanalesCompletos() const {
  return Snapshot()->fullChannels;
}

OrderMap Canales::ObtenerOrden() const {
  return Snapshot()->order;
}

GroupMap Canales::GetChannelGroups() const {
  return Snapshot()->groups;
}

std::vector<PVR_CHANNEL_GROUP_MEMBER> Canales::GetChannelGroupMembers(
    const std::string& group) const {
  const std::shared_ptr<const LineUp> lineUp = Snapshot();
  std::vector<PVR_CHANNEL_GROUP_MEMBER> members;
  const auto range = lineUp->members.equal_range(group);
  for (auto it = range.first; it != range.second; ++it) {
    PVR_CHANNEL_GROUP_MEMBER member{};
    snprintf(member.strGroupName, sizeof(member.strGroupName), "%s", it->first.c_str());
    member.iChannelUniqueId = static_cast<unsigned int>(it->second.first);
    member.iChannelNumber = static_cast<unsigned int>(it->second.second);
    members.push_back(member);
  }
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
