#include "recordings/Recordings.h"

#include <algorithm>
#include <cstdio>

#include "common/Conversions.h"
#include "common/Globals.h"
#include "common/HostServices.h"
#include "common/Http.h"
#include "common/HttpGlobals.h"
#include "common/Log.h"
#include "common/Paths.h"
#include "common/SettingValues.h"
#include "common/StorageLayout.h"
#include "common/StoredXml.h"
#include "common/Text.h"
#include "discovery/Canales.h"
#include "epg/CarpetaGuia.h"
#include "epg/DetalleProgramaEPG.h"
#include "recordings/ApiGrabaciones.h"
#include "recordings/EnlaceSeries.h"
#include "services/tcpJSON.h"

std::atomic<bool> recordingCargadoCompleto{false};

namespace {

constexpr auto& kCopia = kSufijoCopia;
constexpr char kDeclaracion[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

void Elemento(std::string& xml, const char* name, const std::string& value) {
  xml += "<";
  xml += name;
  xml += " Value=\"";
  xml += value;
  xml += "\" />\n";
}

// Whether a file name starts with "<season>x<episode> " for these numbers,
// whatever their width.
bool ConPrefijo(const std::string& file, int temporada, int capitulo) {
  size_t at = 0;
  const auto numero = [&file, &at](int esperado) {
    const size_t desde = at;
    long long valor = 0;
    while (at < file.size() && at - desde < 10 && file[at] >= '0' && file[at] <= '9')
      valor = valor * 10 + (file[at++] - '0');
    return at > desde && valor == esperado;
  };
  return numero(temporada) && at < file.size() && file[at++] == 'x' && numero(capitulo) &&
         at < file.size() && file[at] == ' ';
}

}  // namespace

Recordings::Recordings(const Canales& canales) : m_canales(canales) {
  CargarRecordings();
}

std::string Recordings::FicheroMetadatos(const std::string& id) {
  return PathCombine(PathRecordingsRecordings, id + ".xml");
}
std::string Recordings::FicheroLastPlay(const std::string& id) {
  return PathCombine(PathLastPlayRecordings, id + ".xml");
}
std::string Recordings::FicheroLogo(const std::string& id) {
  return PathCombine(PathRecordingsLogos, id + ".jpg");
}

std::string Recordings::RecordingValorClave(const XMLNode& node, const char* name) {
  return Attr(node.getChildNode(name), "Value");
}

std::string Recordings::GenerarXML(const DatosGrabacion& g) {
  // Every text is escaped, paths too: a folder named with "&" must read back.
  std::string xml = kDeclaracion;
  xml += "<Recording>\n";
  Elemento(xml, "strRecordingId", stringtoescape(g.strRecordingId));
  Elemento(xml, "strTitle", stringtoescape(g.strTitle));
  Elemento(xml, "strStreamURL", stringtoescape(g.strStreamURL));
  Elemento(xml, "strDirectory", stringtoescape(g.strDirectory));
  Elemento(xml, "strPlotOutline", stringtoescape(g.strPlotOutline));
  Elemento(xml, "strPlot", stringtoescape(g.strPlot));
  Elemento(xml, "iClientChannelUid", convertInttoString(g.iClientChannelUid));
  Elemento(xml, "strChannelName", stringtoescape(g.strChannelName));
  Elemento(xml, "strIconPath", stringtoescape(g.strIconPath));
  Elemento(xml, "strThumbnailPath", stringtoescape(g.strThumbnailPath));
  Elemento(xml, "strFanartPath", stringtoescape(g.strFanartPath));
  Elemento(xml, "recordingTime", convertTimertoString(g.recordingTime));
  Elemento(xml, "iDuration", convertInttoString(g.iDuration));
  Elemento(xml, "iPriority", convertInttoString(g.iPriority));
  Elemento(xml, "iLifetime", convertInttoString(g.iLifetime));
  Elemento(xml, "iGenreType", convertInttoString(g.iGenreType));
  Elemento(xml, "iGenreSubType", convertInttoString(g.iGenreSubType));
  Elemento(xml, "iPlayCount", convertInttoString(g.iPlayCount));
  Elemento(xml, "idSerie", stringtoescape(g.idSerie));
  Elemento(xml, "StrDescripcionSerie", stringtoescape(g.StrDescripcionSerie));
  Elemento(xml, "iTemporada", convertInttoString(g.iTemporada));
  Elemento(xml, "iCapitulo", convertInttoString(g.iCapitulo));
  Elemento(xml, "iUniqueBroadcastId", convertInttoString(g.iUniqueBroadcastId));
  Elemento(xml, "HD", g.HD ? "1" : "0");
  Elemento(xml, "Cloud", g.Cloud ? "1" : "0");
  xml += "</Recording>\n";
  return xml;
}

std::string Recordings::GenerarXMLContador(int contador) {
  return std::string(kDeclaracion) + "<Recording>\n<Contador Value=\"" +
         convertInttoString(contador) + "\" />\n</Recording>\n";
}

std::string Recordings::GenerarXMLLastPlay(int position) {
  return std::string(kDeclaracion) + "<LastPlayRecordings>\n<LastPlay Value=\"" +
         convertInttoString(position) + "\" />\n</LastPlayRecordings>\n";
}

bool Recordings::GrabarRecordings(const DatosGrabacion& g) {
  if (ReescribirFichero(FicheroMetadatos(g.strRecordingId), GenerarXML(g))) return true;
  GenerarLogError("No se puede escribir la grabacion " + g.strRecordingId);
  return false;
}

bool Recordings::CanalConocido(int id, Canal& canal) const {
  if (m_canales.ObtenerCanal(id, canal)) return true;
  // A channel hidden behind its HD twin still names its recordings.
  const auto lineUp = m_canales.Snapshot();
  const auto it = lineUp->fullChannels.find(id);
  if (it == lineUp->fullChannels.end()) return false;
  canal = it->second;
  return true;
}

void Recordings::CargarRecordings() {
  MapaGrabaciones lista;
  std::set<std::string> sinImagen;
  std::set<std::string> nombres;
  for (const std::string& name : ListarFicheros(PathRecordingsRecordings)) {
    // A copy left by a rewrite that failed stands for its missing file.
    if (CoincidePatronFinal(name, std::string(".xml") + kCopia))
      nombres.insert(name.substr(0, name.size() - sizeof(kCopia) + 1));
    else if (CoincidePatronFinal(name, ".xml"))
      nombres.insert(name);
  }
  int mayorLocal = 0;
  for (const std::string& name : nombres) {
    DatosGrabacion g = LeerRecordings(PathCombine(PathRecordingsRecordings, name), false);
    if (!g.Cloud) mayorLocal = std::max(mayorLocal, ConvertStringtoint(g.strRecordingId));
    if (g.iUniqueBroadcastId != 0 && g.strIconPath != FicheroLogo(g.strRecordingId))
      sinImagen.insert(g.strRecordingId);
    if (!g.idSerie.empty()) ActualizarSerie(g);
    lista.emplace(g.strRecordingId, std::move(g));
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  m_lista = std::move(lista);
  m_sinImagen = std::move(sinImagen);
  // Without a counter file, numbering goes on above the local recordings.
  m_ultimo = std::max(m_ultimo, mayorLocal);
}

DatosGrabacion Recordings::DesdeXML(const XMLNode& root, bool* sinHD) {
  DatosGrabacion g;
  const auto text = [&root](const char* name) { return RecordingValorClave(root, name); };
  const auto number = [&text](const char* name) { return ConvertStringtoint(text(name)); };
  g.strRecordingId = text("strRecordingId");
  g.strTitle = text("strTitle");
  g.strStreamURL = text("strStreamURL");
  g.strDirectory = text("strDirectory");
  g.strPlotOutline = text("strPlotOutline");
  g.strPlot = text("strPlot");
  g.iClientChannelUid = number("iClientChannelUid");
  g.strChannelName = text("strChannelName");
  g.strIconPath = text("strIconPath");
  g.strThumbnailPath = text("strThumbnailPath");
  g.strFanartPath = text("strFanartPath");
  g.recordingTime = ConvertStringtoTimer(text("recordingTime"));
  g.iDuration = number("iDuration");
  g.iPriority = number("iPriority");
  g.iLifetime = number("iLifetime");
  g.iGenreType = number("iGenreType");
  g.iGenreSubType = number("iGenreSubType");
  g.iPlayCount = number("iPlayCount");
  g.idSerie = text("idSerie");
  g.StrDescripcionSerie = text("StrDescripcionSerie");
  g.iTemporada = number("iTemporada");
  g.iCapitulo = number("iCapitulo");
  g.iUniqueBroadcastId = number("iUniqueBroadcastId");
  const std::string hd = text("HD");
  g.HD = ConvertStringtobool(hd);
  if (sinHD != nullptr) *sinHD = hd.empty();
  g.Cloud = ConvertStringtobool(text("Cloud"));
  return g;
}

DatosGrabacion Recordings::LeerRecordings(const std::string& path, bool descargar) {
  const XMLNode root = ParseStoredFileOrCopy(path, "Recording", "Grabacion " + path);
  if (root.isEmpty()) return DatosGrabacion();
  bool sinHD = false;
  DatosGrabacion g = DesdeXML(root, &sinHD);
  Canal canal;
  if (sinHD && CanalConocido(g.iClientChannelUid, canal)) g.HD = canal.HD;

  if (g.EsSerieLocal()) {
    std::string folder, file;
    ObtenerDirectorioyFichero(g.strStreamURL, folder, file);
    if (!ConPrefijo(file, g.iTemporada, g.iCapitulo)) {
      char prefix[32];
      std::snprintf(prefix, sizeof(prefix), "%02dx%02d ", g.iTemporada, g.iCapitulo);
      ModificarRutaGrabacion(g, folder + prefix + file);
    }
  }
  if (!TheHost().FileExists(g.strIconPath))
    ComprobarLogo(g.iClientChannelUid, g.strRecordingId, g.iUniqueBroadcastId, g.strChannelName,
                  g.strIconPath, descargar);
  return g;
}

bool Recordings::ModificarRutaGrabacion(DatosGrabacion& g, const std::string& ruta) {
  if (!TheHost().FileExists(g.strStreamURL)) return false;
  if (TheHost().FileExists(ruta)) {
    GenerarLogError("No se renombra " + g.strStreamURL + ": ya existe " + ruta);
    return false;
  }
  // The host's file functions have no rename; the video is a local file.
  if (std::rename(g.strStreamURL.c_str(), ruta.c_str()) != 0) {
    GenerarLogError("No se puede renombrar " + g.strStreamURL);
    return false;
  }
  g.strStreamURL = ruta;
  GrabarRecordings(g);
  return true;
}

void Recordings::ComprobarLogo(int canal, const std::string& id, int broadcastId,
                               std::string& nombreCanal, std::string& icono, bool descargar) {
  nombreCanal.clear();
  icono.clear();
  if (broadcastId != 0) {
    icono = FicheroLogo(id);
    if (!TheHost().FileExists(icono)) {
      char path[160];
      std::snprintf(path, sizeof(path), httpBaseLogosProgramas, broadcastId / 10000, broadcastId);
      http cliente;
      if (!descargar || PararProceso ||
          !cliente.ObtenerFicherohttp(httpHostQuorvina, PuertoHttpQuorvina, path, icono))
        icono.clear();
    }
  }
  Canal datos;
  if (CanalConocido(canal, datos)) {
    nombreCanal = datos.nombre;
    if (icono.empty()) icono = datos.logo;
  }
}

void Recordings::EnlazarSeries(EnlaceSeries* series) {
  m_series = series;
  if (series == nullptr) return;
  std::vector<DatosGrabacion> deSeries;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& kv : m_lista)
      if (!kv.second.idSerie.empty()) deSeries.push_back(kv.second);
  }
  for (const DatosGrabacion& g : deSeries) series->ActualizarRecording(g);
}

void Recordings::ActualizarSerie(const DatosGrabacion& grabacion) {
  EnlaceSeries* series = m_series;
  if (series != nullptr) series->ActualizarRecording(grabacion);
}

void Recordings::EliminarSerie(const DatosGrabacion& grabacion) {
  EnlaceSeries* series = m_series;
  if (series != nullptr) series->EliminarRecording(grabacion);
}

const EtiquetasDetalle& Recordings::Etiquetas() {
  std::call_once(m_etiquetasLeidas, [this] { m_etiquetas = EtiquetasDetalle::DelHost(); });
  return m_etiquetas;
}

void Recordings::CompletarDatos(DatosGrabacion& g) {
  g.strDirectory.clear();
  if (!g.idSerie.empty())
    g.strDirectory = g.StrDescripcionSerie + "/Temporada " + convertInttoString(g.iTemporada);
  DetalleProgramaEPG detalle;
  g.strPlotOutline.clear();
  g.strPlot.clear();
  if (g.iUniqueBroadcastId != 0 &&
      PedirDetallePrograma(static_cast<uint32_t>(g.iUniqueBroadcastId), detalle, Etiquetas()))
    g.strPlot = detalle.plotOutline + "\r\n\r\n" + detalle.description;
  ComprobarLogo(g.iClientChannelUid, g.strRecordingId, g.iUniqueBroadcastId, g.strChannelName,
                g.strIconPath);
}

int Recordings::GetContadorRecording() {
  const XMLNode root = ParseStoredFileOrCopy(PathContadorRecordings, "Recording", "Contador");
  const std::string stored = RecordingValorClave(root, "Contador");
  const int guardado = stored.empty() ? 0 : ConvertStringtoint(stored);
  int numero;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      // A number given out in this run is never given again, whatever the
      // file says, nor one a listed recording, local or cloud, has.
      numero = std::max(guardado, m_ultimo) + 1;
      m_ultimo = numero;
      const std::string id = convertInttoString(numero);
      if (m_lista.count(id) != 0 || m_nube.count(id) != 0) continue;
    }
    if (!TheHost().FileExists(FicheroMetadatos(convertInttoString(numero)))) break;
  }
  SetContadorRecording(numero);
  return numero;
}

void Recordings::SetContadorRecording(int contador) {
  // Two numbers given out at once may be written out of order: whoever
  // finds a later one given out writes that one too.
  for (;;) {
    if (!ReescribirFichero(PathContadorRecordings, GenerarXMLContador(contador)))
      GenerarLogError("No se puede escribir el contador de grabaciones");
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_ultimo <= contador) return;
    contador = m_ultimo;
  }
}

int Recordings::AddRecording(const DatosTemporizador& t, const std::string& fichero,
                             const Canal* /*canal*/, time_t inicio, time_t fin, int numero) {
  if (numero == -1) numero = GetContadorRecording();
  const std::string id = convertInttoString(numero);
  DatosGrabacion g;
  if (TheHost().FileExists(FicheroMetadatos(id))) g = LeerRecordings(FicheroMetadatos(id));
  g.strRecordingId = id;
  g.strTitle = t.strTitle;
  g.strStreamURL = fichero;
  g.iClientChannelUid = t.iClientChannelUid;
  g.strThumbnailPath.clear();
  g.strFanartPath.clear();
  g.recordingTime = inicio;
  g.iDuration = static_cast<int>(fin - inicio);
  g.iPriority = t.iPriority;
  g.iLifetime = t.iLifetime;
  g.iGenreType = t.iGenreType;
  g.iGenreSubType = t.iGenreSubType;
  g.iPlayCount = 0;
  g.idSerie = t.idSerie;
  g.StrDescripcionSerie = t.StrDescripcionSerie;
  g.iTemporada = t.iTemporada;
  g.iCapitulo = t.iCapitulo;
  g.iUniqueBroadcastId = t.iUniqueBroadcastId;
  g.HD = t.HD;
  g.Cloud = false;
  CompletarDatos(g);
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lista[id] = g;
  }
  GuardarEntrada(id);
  if (!g.idSerie.empty()) ActualizarSerie(g);
  TheHost().TriggerRecordingUpdate();
  return numero;
}

bool Recordings::CargarRecordingsCloud() {
  MapaGrabaciones nube;
  EntradasOmitidas omitidas;
  if (!RecordingListGrabaciones(&nube, &omitidas)) return false;
  ComprobarGrabacionesCloud(nube, omitidas);
  return true;
}

void Recordings::ComprobarGrabacionesCloud(const MapaGrabaciones& nube,
                                           const EntradasOmitidas& omitidas) {
  std::vector<DatosGrabacion> nuevas;
  std::vector<std::string> idas;
  std::vector<std::string> omitidasAhora;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nube = nube;
    for (const auto& kv : nube) {
      const auto it = m_lista.find(kv.first);
      if (it == m_lista.end()) {
        nuevas.push_back(kv.second);
      } else if (!it->second.Cloud && m_avisadas.insert(kv.first).second) {
        // Its file name is the local recording's: that one stays whole.
        omitidasAhora.push_back(kv.first);
      }
    }
    // An entry the reader passed over may still be on the server; with one
    // whose id could not be read, nothing counts as gone this time.
    for (const auto& kv : m_lista)
      if (!omitidas.sinId && kv.second.Cloud && nube.count(kv.first) == 0 &&
          omitidas.ids.count(kv.first) == 0)
        idas.push_back(kv.first);
  }
  for (const std::string& id : omitidasAhora)
    GenerarLogError("Grabacion en la nube " + id + " con el numero de una local: omitida");
  for (DatosGrabacion& g : nuevas) {
    if (PararProceso) return;
    CompletarDatos(g);
    GrabarRecordings(g);
    EscribirFichero(FicheroLastPlay(g.strRecordingId), GenerarXMLLastPlay(0));
    if (!g.idSerie.empty()) ActualizarSerie(g);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lista.emplace(g.strRecordingId, g);
  }
  // Gone from the server: only the add-on's files go, never a delete request.
  for (const std::string& id : idas) BorrarRecording(id, "", false);
}

void Recordings::CompletarImagenesPendientes() {
  std::vector<DatosGrabacion> pendientes;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const std::string& id : m_sinImagen) {
      const auto it = m_lista.find(id);
      if (it != m_lista.end()) pendientes.push_back(it->second);
    }
    m_sinImagen.clear();
  }
  for (DatosGrabacion& g : pendientes) {
    if (PararProceso) return;
    const std::string antes = g.strIconPath;
    ComprobarLogo(g.iClientChannelUid, g.strRecordingId, g.iUniqueBroadcastId, g.strChannelName,
                  g.strIconPath);
    if (g.strIconPath == antes) continue;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      const auto it = m_lista.find(g.strRecordingId);
      if (it == m_lista.end()) continue;
      it->second.strIconPath = g.strIconPath;
      it->second.strChannelName = g.strChannelName;
    }
    GuardarEntrada(g.strRecordingId);
  }
}

std::vector<DatosGrabacion> Recordings::GetRecordings() {
  if (ConexionEnNubeActivada) CargarRecordingsCloud();
  CompletarImagenesPendientes();
  std::vector<DatosGrabacion> list;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    list.reserve(m_lista.size());
    for (const auto& kv : m_lista) {
      if (OcultarRecordingseries && kv.second.EsSerieLocal()) continue;
      list.push_back(kv.second);
    }
  }
  recordingCargadoCompleto = true;
  return list;
}

int Recordings::GetRecordingsAmount() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return static_cast<int>(m_lista.size());
}

bool Recordings::GetRecording(const std::string& id, DatosGrabacion& out) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  const auto it = m_lista.find(id);
  if (it == m_lista.end()) return false;
  out = it->second;
  return true;
}

MapaGrabaciones Recordings::GetLstRecordings() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_lista;
}

MapaGrabaciones Recordings::GetCloudRecordings() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_nube;
}

bool Recordings::EsCloud(const std::string& id) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  const auto it = m_lista.find(id);
  return it != m_lista.end() && it->second.Cloud;
}

void Recordings::DeleteRecording(const std::string& id, const std::string& streamUrl) {
  BorrarRecording(id, streamUrl, true);
}

void Recordings::BorrarRecording(const std::string& id, const std::string& video, bool conMedia) {
  DatosGrabacion g;
  if (!GetRecording(id, g)) return;
  HostServices& host = TheHost();
  const std::string lastPlay = FicheroLastPlay(id);
  if (host.FileExists(lastPlay)) host.DeleteFile(lastPlay);
  if (conMedia) {
    if (g.Cloud) {
      delRecording(g.iUniqueBroadcastId, g.iClientChannelUid);
    } else {
      const std::string path = video.empty() ? g.strStreamURL : video;
      if (host.FileExists(path)) host.DeleteFile(path);
    }
  }
  const std::string logo = FicheroLogo(id);
  if (host.FileExists(logo)) host.DeleteFile(logo);
  const std::string metadatos = FicheroMetadatos(id);
  {
    // No rewrite of the entry may bring its file back.
    std::lock_guard<std::mutex> escritura(m_escritura);
    if (host.FileExists(metadatos + kCopia)) host.DeleteFile(metadatos + kCopia);
    if (host.FileExists(metadatos)) {
      if (!g.idSerie.empty()) EliminarSerie(g);
      host.DeleteFile(metadatos);
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lista.erase(id);
    m_sinImagen.erase(id);
  }
  if (conMedia) host.TriggerRecordingUpdate();
  if (g.EsSerieLocal() && sincronizartvshow) tcpJSON().ActualizarbibliotecaSeries();
}

bool Recordings::GuardarEntrada(const std::string& id) {
  std::lock_guard<std::mutex> escritura(m_escritura);
  DatosGrabacion g;
  return GetRecording(id, g) && GrabarRecordings(g);
}

void Recordings::RenameRecording(const std::string& id, const std::string& titulo) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_lista.find(id);
    if (it == m_lista.end() || it->second.Cloud) return;
    it->second.strTitle = titulo;
  }
  GuardarEntrada(id);
  TheHost().TriggerRecordingUpdate();
}

void Recordings::SetRecordingPlayCount(const std::string& id, int count) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_lista.find(id);
    if (it == m_lista.end() || it->second.Cloud) return;
    it->second.iPlayCount = count;
  }
  GuardarEntrada(id);
  TheHost().TriggerRecordingUpdate();
}

int Recordings::GetRecordingPlayCount(const std::string& id) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  const auto it = m_lista.find(id);
  return it == m_lista.end() || it->second.Cloud ? 0 : it->second.iPlayCount;
}

void Recordings::SetRecordingLastPlayedPosition(const std::string& id, int position) {
  if (EsCloud(id)) return;
  if (!ReescribirFichero(FicheroLastPlay(id), GenerarXMLLastPlay(position)))
    GenerarLogError("No se puede escribir la posicion de " + id);
}

int Recordings::GetRecordingLastPlayedPosition(const std::string& id) const {
  if (EsCloud(id)) return 0;
  const XMLNode root =
      ParseStoredFileOrCopy(FicheroLastPlay(id), "LastPlayRecordings", "LastPlay " + id);
  return static_cast<int>(ConvertStringtoTimer(RecordingValorClave(root, "LastPlay")));
}

void Recordings::PasarRecordingaLocal(const std::string& id, const std::string& path,
                                      int duracion) {
  DatosGrabacion g;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_lista.find(id);
    if (it == m_lista.end()) return;
    it->second.iDuration = duracion;
    it->second.strStreamURL = path;
    it->second.Cloud = false;
    g = it->second;
  }
  GuardarEntrada(id);
  delRecording(g.iUniqueBroadcastId, g.iClientChannelUid);
  TheHost().TriggerRecordingUpdate();
  if (!g.idSerie.empty() && sincronizartvshow) tcpJSON().ActualizarbibliotecaSeries();
}
