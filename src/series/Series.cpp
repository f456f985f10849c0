#include "series/Series.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string_view>

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
#include "epg/ProgramasEPG.h"
#include "gui/GUIDialogSi.h"
#include "gui/GUIDialogSiNo.h"
#include "gui/GUIOpcionesGrabacion.h"
#include "recordings/Recordings.h"
#include "recordings/Temporizadores.h"

namespace {

constexpr char kDeclaracion[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
constexpr auto& kCopia = kSufijoCopia;
constexpr char kDanado[] = ".danado";
// Longest rule key: it names files with ".xml" and folders beside others.
constexpr size_t kMaxClave = 200;
constexpr int kIndicePlaceholder = 90000;
constexpr size_t kMaxClavesCache = 10000;        // series titles seen; bounded against odd guides
constexpr time_t kPlaceholderFuturo = 31104000;  // 360 days
constexpr int kPasoEsperaMs = 250;
constexpr int kPasosPorSueno = 8;  // one sleep of 2000 ms in steps

void Linea(std::string& xml, const char* name, const std::string& value) {
  xml += "<";
  xml += name;
  xml += " Value=\"";
  xml += value;
  xml += "\" />\n";
}

std::string Valor(const XMLNode& node, const char* name) {
  return Attr(node.getChildNode(name), "Value");
}

// A full disk leaves the old file whole.
bool Reescribir(const std::string& path, const std::string& text) {
  if (ReescribirFichero(path, text)) return true;
  GenerarLogError("Series: no se pudo escribir " + path);
  return false;
}

enum class Lectura { Falta, Bien, Recuperada, Ilegible };

// A stored file, its complete copy when the file is missing or cut, or else
// what can be read of the file up to its cut.
XMLNode LeerGuardado(const std::string& path, bool tracks, Lectura* estado,
                     bool* temporadasCortadas) {
  const std::string local = DeUTF8a1252(path);
  XMLNode node = ParseStoredFileOrCopy(local, "serie", path);
  if (!node.isEmpty()) {
    *estado = Lectura::Bien;
    return node;
  }
  if (!TheHost().FileExists(local)) {
    *estado = Lectura::Falta;
    return node;
  }
  const std::string legible =
      Series::RecuperarTexto(LeerFicheroEntero(local), tracks, temporadasCortadas);
  if (!legible.empty()) node = XMLNode::parseString(legible.c_str(), "serie");
  *estado = node.isEmpty() ? Lectura::Ilegible : Lectura::Recuperada;
  return node;
}

// Keeps a damaged file's bytes beside it before anything rewrites it; a
// copy kept earlier stays as it is.
void ApartarFichero(const std::string& path) {
  const std::string text = LeerFicheroEntero(path);
  for (int n = 0; n < 10; ++n) {
    const std::string aparte = path + kDanado + (n == 0 ? std::string() : "." + std::to_string(n));
    if (TheHost().FileExists(aparte)) {
      if (LeerFicheroEntero(aparte) == text) return;  // kept at an earlier start
      continue;
    }
    if (EscribirFicheroEntero(aparte, text))
      GenerarLogError("Series: fichero danado apartado en " + aparte);
    return;
  }
  GenerarLogError("Series: demasiadas copias apartadas de " + path);
}

// The rule's broadcasts sort by start time, so a pass starts at the first
// one still bookable.
ClaveEmision ClavePrograma(time_t inicio, int canal) {
  return ClaveEmision{std::max<time_t>(inicio, 0), canal};
}

std::string_view TextoCanal(int canal, char (&texto)[16]) {
  const auto fin = std::to_chars(texto, texto + sizeof(texto), canal).ptr;
  return std::string_view(texto, static_cast<size_t>(fin - texto));
}

bool PorClave(const EmisionSerie& a, const EmisionSerie& b) {
  return a.clave < b.clave;
}

// The broadcasts added since the last look take their places.
void OrdenarEmisiones(Serie& s) {
  auto& v = s.emisiones;
  if (s.emisionesOrdenadas == v.size()) return;
  const auto medio = v.begin() + static_cast<std::ptrdiff_t>(s.emisionesOrdenadas);
  std::sort(medio, v.end(), PorClave);
  std::inplace_merge(v.begin(), medio, v.end(), PorClave);
  s.emisionesOrdenadas = v.size();
}

// A broadcast the rule does not hold yet. A node a reload of its channel
// freed takes it: the entry's strings reuse that node's storage.
void AgnadirEmision(Serie& s, const EPG_Quorvina& entry,
                    std::map<int, std::vector<std::string>>& reglasCanal,
                    std::vector<NodoEmision>& libres) {
  const ClaveEmision clave = ClavePrograma(entry.startTime, entry.idCanal);
  if (s.programas.count(clave) != 0) return;
  if (libres.empty()) {
    s.programas.emplace(clave, entry);
  } else {
    NodoEmision nodo = std::move(libres.back());
    libres.pop_back();
    nodo.key() = clave;
    nodo.mapped() = entry;
    s.programas.insert(std::move(nodo));
  }
  s.emisiones.push_back(
      {clave, entry.startTime, entry.endTime, entry.iSeriesNumber, entry.iEpisodeNumber});
  if (std::find(s.canales.begin(), s.canales.end(), entry.idCanal) != s.canales.end()) return;
  s.canales.push_back(entry.idCanal);
  reglasCanal[entry.idCanal].push_back(s.IdStrSerie);
}

// The rule's broadcasts of a channel go, their nodes to `libres`; the rest
// keep their order.
void QuitarCanal(Serie& s, int canal, std::vector<NodoEmision>& libres) {
  auto& v = s.emisiones;
  const auto delCanal = [canal](const EmisionSerie& e) { return e.clave.canal == canal; };
  const auto medio = v.begin() + static_cast<std::ptrdiff_t>(s.emisionesOrdenadas);
  s.emisionesOrdenadas -= static_cast<size_t>(std::count_if(v.begin(), medio, delCanal));
  for (const EmisionSerie& e : v) {
    if (e.clave.canal != canal) continue;
    NodoEmision nodo = s.programas.extract(e.clave);
    if (nodo) libres.push_back(std::move(nodo));
  }
  v.erase(std::remove_if(v.begin(), v.end(), delCanal), v.end());
  s.canales.erase(std::remove(s.canales.begin(), s.canales.end(), canal), s.canales.end());
}

// No broadcast lasts longer: a cloud booking looks this far back for one
// still on the air.
constexpr time_t kDuracionMaxima = 86400;

bool Solapa(const DatosTemporizador& t, const EPG_Quorvina& p) {
  return (p.startTime >= t.startTime && p.startTime < t.endTime) ||
         (t.startTime >= p.startTime && t.startTime < p.endTime);
}

}  // namespace

bool ClaveEmision::TextoAntes(int a, int b) {
  char ta[16], tb[16];
  return TextoCanal(a, ta) < TextoCanal(b, tb);
}

std::string TextoClaveEmision(const ClaveEmision& clave) {
  char texto[48];
  std::snprintf(texto, sizeof(texto), "%012lld-%d", static_cast<long long>(clave.inicio),
                clave.canal);
  return texto;
}

std::string ClaveCapitulo(int temporada, int capitulo) {
  // Built in place: a scheduler pass makes one for each upcoming broadcast.
  char texto[24];
  char* fin = std::to_chars(texto, texto + 11, temporada).ptr;
  *fin++ = '-';
  fin = std::to_chars(fin, texto + sizeof(texto), capitulo).ptr;
  return std::string(texto, fin);
}

Series::Series(const Canales& canales) : m_canales(canales) {
  SetThreadName("quorvina-series");
  CargarSeries();
}

Series::~Series() {
  StopThread(0);
}

void Series::Enlazar(ProgramasEPG* guia, Temporizadores* temporizadores, Recordings* grabaciones) {
  m_guia = guia;
  m_temporizadores = temporizadores;
  m_grabaciones = grabaciones;
}

std::string Series::FicheroSerie(const std::string& id) {
  return PathSeriesGrabaciones + id + ".xml";
}

std::string Series::FicheroTrackings(const std::string& id) {
  return PathSeriesTracking + id + ".xml";
}

std::string Series::ClaveSerie(const std::string& titulo) {
  std::string clave = titulo;
  NormalidarFileName(clave);
  if (clave.size() > kMaxClave) {
    size_t corte = kMaxClave;
    // Never inside a UTF-8 sequence.
    while (corte > 0 && (static_cast<unsigned char>(clave[corte]) & 0xC0) == 0x80) --corte;
    clave.resize(corte);
    GenerarLogError("Series: titulo recortado para su fichero: " + clave);
  }
  if (clave.find_first_not_of(". ") == std::string::npos) return std::string();
  return clave;
}

int Series::ObtenerIDSerie(const std::string& crid) {
  size_t fin = crid.size();
  size_t inicio = fin;
  while (inicio > 0 && crid[inicio - 1] >= '0' && crid[inicio - 1] <= '9') --inicio;
  if (inicio == fin) return 0;
  // At most nine digits: they always fit.
  int id = 0;
  for (size_t i = inicio; i < std::min(fin, inicio + 9); ++i) id = id * 10 + (crid[i] - '0');
  return id;
}

std::string Series::TextoSerie(const Serie& s) {
  std::string xml = kDeclaracion;
  xml += "<serie>\n";
  Linea(xml, "IdStrSerie", stringtoescape(s.IdStrSerie));
  Linea(xml, "Descripcion", stringtoescape(s.Descripcion));
  Linea(xml, "Logo", stringtoescape(s.Logo));
  Linea(xml, "PlotOutLine", stringtoescape(s.PlotOutLine));
  Linea(xml, "Plot", stringtoescape(s.Plot));
  Linea(xml, "TipodeCanal", convertInttoString(s.TipodeCanal));
  Linea(xml, "iTipoTemporizador", convertInttoString(s.iTipoTemporizador));
  Linea(xml, "Logocorrecto", convertInttoString(s.Logocorrecto));
  Linea(xml, "Cloud", convertInttoString(s.Cloud));
  Linea(xml, "ProgramarGrabaciones", convertInttoString(s.ProgramarGrabaciones));
  Linea(xml, "SincroPersonalizado", convertInttoString(s.SincroPersonalizado));
  Linea(xml, "SincroDias", convertInttoString(s.SincroDias));
  xml += "<Temporadas>\n";
  for (int t : s.Temporadas) {
    if (t == 0) continue;
    xml += "<Temporada Value=\"" + convertInttoString(t) + "\" />\n";
  }
  xml += "</Temporadas>\n</serie>\n";
  return xml;
}

std::string Series::TextoTrackings(const Serie& s) {
  std::string xml = kDeclaracion;
  xml += "<serie>\n";
  for (const auto& kv : s.trackings) {
    const TrackSerie& t = kv.second;
    xml += "<Track>\n";
    Linea(xml, "IdTrack", stringtoescape(t.IdTrack));
    Linea(xml, "Descripcion", stringtoescape(t.Descripcion));
    Linea(xml, "iChannelNumber", convertInttoString(t.iChannelNumber));
    Linea(xml, "iTemporada", convertInttoString(t.iTemporada));
    Linea(xml, "iCapitulo", convertInttoString(t.iCapitulo));
    Linea(xml, "iUniqueBroadcastId", convertInttoString(t.iUniqueBroadcastId));
    Linea(xml, "iRecording", convertInttoString(t.iRecording));
    Linea(xml, "InicioGrabacion", convertTimertoString(t.InicioGrabacion));
    Linea(xml, "FinalGrabacion", convertTimertoString(t.FinalGrabacion));
    Linea(xml, "iDuration", convertInttoString(t.iDuration));
    xml += "</Track>\n";
  }
  xml += "</serie>\n";
  return xml;
}

std::string Series::RecuperarTexto(const std::string& text, bool tracks, bool* temporadasCortadas) {
  std::string legible = text;
  size_t fin = std::string::npos;
  if (tracks) {
    const size_t track = legible.rfind("</Track>");
    if (track != std::string::npos) fin = track + 8;
  } else {
    const size_t linea = legible.rfind("/>");
    const size_t lista = legible.rfind("</Temporadas>");
    if (linea != std::string::npos) fin = linea + 2;
    if (lista != std::string::npos && (fin == std::string::npos || lista + 13 > fin))
      fin = lista + 13;
  }
  if (fin == std::string::npos) return std::string();
  legible.resize(fin);
  if (!tracks) {
    const size_t abre = legible.rfind("<Temporadas>");
    if (abre != std::string::npos && legible.find("</Temporadas>", abre) == std::string::npos) {
      legible += "\n</Temporadas>";
      if (temporadasCortadas != nullptr) *temporadasCortadas = true;
    }
  }
  legible += "\n</serie>\n";
  return legible;
}

bool Series::LeerSerie(const std::string& path, Serie& s) {
  Lectura estado = Lectura::Falta;
  bool cortadas = false;
  const XMLNode root = LeerGuardado(path, false, &estado, &cortadas);
  if (estado == Lectura::Ilegible) {
    // Kept: the rule the guide rebuilds would be written over it.
    GenerarLogError("Series: regla ilegible " + path);
    ApartarFichero(DeUTF8a1252(path));
  }
  if (root.isEmpty()) return false;
  if (SerieDesdeXML(root, s) > 0)
    GenerarLogError("Series: temporadas no validas omitidas en " + path);
  if (estado == Lectura::Recuperada) {
    GenerarLogError("Series: regla cortada, cargado lo legible de " + path);
    ApartarFichero(DeUTF8a1252(path));
    // A cut season list would book seasons the user never chose.
    if (cortadas && s.ProgramarGrabaciones) {
      s.ProgramarGrabaciones = false;
      GenerarLogError("Series: regla en pausa, temporadas incompletas en " + path);
    }
  }
  return true;
}

int Series::SerieDesdeXML(const XMLNode& root, Serie& s) {
  s = Serie();
  s.IdStrSerie = Valor(root, "IdStrSerie");
  s.Descripcion = Valor(root, "Descripcion");
  s.Logo = Valor(root, "Logo");
  s.PlotOutLine = Valor(root, "PlotOutLine");
  s.Plot = Valor(root, "Plot");
  s.TipodeCanal = ConvertStringtoint(Valor(root, "TipodeCanal"));
  const std::string tipo = Valor(root, "iTipoTemporizador");
  s.iTipoTemporizador = tipo.empty() ? 2 : ConvertStringtoint(tipo);
  s.Logocorrecto = ConvertStringtobool(Valor(root, "Logocorrecto"));
  s.Cloud = ConvertStringtobool(Valor(root, "Cloud"));
  s.ProgramarGrabaciones = ConvertStringtobool(Valor(root, "ProgramarGrabaciones"));
  s.SincroPersonalizado = ConvertStringtobool(Valor(root, "SincroPersonalizado"));
  s.SincroDias = ConvertStringtoint(Valor(root, "SincroDias"));
  const XMLNode temporadas = root.getChildNode("Temporadas");
  int omitidas = 0;
  for (int i = 0;; ++i) {
    const XMLNode t = temporadas.getChildNode("Temporada", i);
    if (t.isEmpty()) break;
    const int temporada = ConvertStringtoint(Attr(t, "Value"));
    // 0 would read back as "every season".
    if (temporada > 0) {
      s.Temporadas.push_back(temporada);
    } else {
      ++omitidas;
    }
  }
  s.loaded = true;
  return omitidas;
}

bool Series::LeerTrackings(const std::string& path, Serie& s) {
  Lectura estado = Lectura::Falta;
  const XMLNode root = LeerGuardado(path, true, &estado, nullptr);
  if (estado == Lectura::Ilegible) GenerarLogError("Series: historial ilegible " + path);
  if (root.isEmpty()) return estado != Lectura::Ilegible;
  TrackingsDesdeXML(root, s);
  if (estado != Lectura::Recuperada) return true;
  // The whole tracks load; the next rewrite keeps them with the new ones.
  GenerarLogError("Series: historial cortado, cargado lo legible de " + path);
  return false;
}

void Series::TrackingsDesdeXML(const XMLNode& root, Serie& s) {
  for (int i = 0;; ++i) {
    const XMLNode n = root.getChildNode("Track", i);
    if (n.isEmpty()) break;
    TrackSerie t;
    t.IdTrack = Valor(n, "IdTrack");
    t.Descripcion = Valor(n, "Descripcion");
    t.iChannelNumber = ConvertStringtoint(Valor(n, "iChannelNumber"));
    t.iTemporada = ConvertStringtoint(Valor(n, "iTemporada"));
    t.iCapitulo = ConvertStringtoint(Valor(n, "iCapitulo"));
    t.iUniqueBroadcastId = ConvertStringtoint(Valor(n, "iUniqueBroadcastId"));
    t.iRecording = ConvertStringtoint(Valor(n, "iRecording"));
    t.InicioGrabacion = ConvertStringtoTimer(Valor(n, "InicioGrabacion"));
    t.FinalGrabacion = ConvertStringtoTimer(Valor(n, "FinalGrabacion"));
    t.iDuration = ConvertStringtoint(Valor(n, "iDuration"));
    if (t.IdTrack.empty()) t.IdTrack = ClaveCapitulo(t.iTemporada, t.iCapitulo);
    s.trackings.emplace(t.IdTrack, t);
  }
}

void Series::CargarSeries() {
  const std::string carpeta = DeUTF8a1252(PathSeriesGrabaciones);
  if (!TheHost().DirectoryExists(carpeta)) return;
  for (const std::string& name : ListarFicheros(carpeta)) {
    if (!CoincidePatronFinal(name, ".xml")) continue;
    const std::string path = PathSeriesGrabaciones + name;
    Serie leida;
    if (!LeerSerie(path, leida)) continue;
    if (leida.IdStrSerie.empty()) leida.IdStrSerie = name.substr(0, name.size() - 4);
    const std::string trackings = FicheroTrackings(leida.IdStrSerie);
    if (!LeerTrackings(trackings, leida)) {
      ApartarFichero(DeUTF8a1252(trackings));
      leida.historialIlegible = leida.trackings.empty();
    }
    // The rule's Logo may name the programme icon after failed fetches: the
    // series' own logo is what counts.
    if (!TheHost().FileExists(DeUTF8a1252(PathSeriesLogos + leida.IdStrSerie + ".jpg")))
      leida.Logocorrecto = false;
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_series.find(leida.IdStrSerie);
    if (it != m_series.end()) {
      it->second.Temporadas = leida.Temporadas;
      it->second.ProgramarGrabaciones = leida.ProgramarGrabaciones;
      it->second.historialIlegible = leida.historialIlegible;
      it->second.loaded = true;
    } else {
      it = m_series.emplace(leida.IdStrSerie, std::move(leida)).first;
    }
    ActivarLista(it->second);
  }
}

void Series::ActivarLista(const Serie& serie) {
  auto it = std::find(m_activas.begin(), m_activas.end(), serie.IdStrSerie);
  if (serie.ProgramarGrabaciones && it == m_activas.end()) m_activas.push_back(serie.IdStrSerie);
  if (!serie.ProgramarGrabaciones && it != m_activas.end()) m_activas.erase(it);
}

bool Series::DescargarLogo(const EPG_Quorvina& entry, const std::string& logo) {
  if (TheHost().FileExists(logo)) return true;
  if (PararProceso) return false;
  char path[160];
  std::snprintf(path, sizeof(path), httpBaseLogosProgramas, entry.iUniqueBroadcastId / 10000,
                entry.iUniqueBroadcastId);
  http cliente;
  if (cliente.ObtenerFicherohttp(httpHostQuorvina, PuertoHttpQuorvina, path, logo)) return true;
  // A partial or refused download leaves no file to be taken as the logo.
  if (TheHost().FileExists(logo)) TheHost().DeleteFile(logo);
  return false;
}

void Series::ComprobarSerie(const EPG_Quorvina& entry) {
  std::unique_lock<std::mutex> lock(m_mutex);
  auto c = m_claves.find(entry.tituloSerie);
  std::string nueva;
  if (c == m_claves.end()) {
    lock.unlock();
    nueva = ClaveSerie(entry.tituloSerie);
    if (nueva.empty())
      GenerarLogError("Series: titulo sin nombre de fichero posible: " + entry.tituloSerie);
    lock.lock();
    c = m_claves.find(entry.tituloSerie);
    if (c == m_claves.end() && m_claves.size() < kMaxClavesCache)
      c = m_claves.emplace(entry.tituloSerie, nueva).first;
  }
  const std::string& clave = c != m_claves.end() ? c->second : nueva;
  if (clave.empty()) return;
  bool descargar = false;
  auto it = m_series.find(clave);
  if (it == m_series.end()) {
    Serie s;
    s.IdStrSerie = clave;
    s.Descripcion = entry.tituloSerie;
    s.Logo = PathSeriesLogos + clave + ".jpg";
    s.TipodeCanal = canalesgrabacion;
    s.Cloud = ConexionEnNubeActivada;
    s.Logocorrecto = true;
    s.PlotOutLine = entry.strPlotOutline;
    s.Plot = entry.strPlot;
    it = m_series.emplace(clave, std::move(s)).first;
    descargar = true;
  } else {
    descargar = !it->second.Logocorrecto && it->second.logoFailures <= 2;
  }
  Serie& s = it->second;
  if (s.Descripcion.empty()) s.Descripcion = entry.tituloSerie;
  s.seriesIds.insert(ObtenerIDSerie(entry.cridSerie));
  AgnadirEmision(s, entry, m_reglasCanal, m_libres);
  // One fetch at a time per rule.
  if (!descargar || !m_descargando.insert(clave).second) return;
  const std::string id = clave;
  const std::string logo = PathSeriesLogos + id + ".jpg";
  lock.unlock();
  const bool bien = DescargarLogo(entry, DeUTF8a1252(logo));
  lock.lock();
  m_descargando.erase(id);
  it = m_series.find(id);
  if (it == m_series.end()) return;
  if (bien) {
    it->second.Logo = logo;
    it->second.Logocorrecto = true;
  } else {
    it->second.Logo = entry.strIconPath;
    it->second.Logocorrecto = false;
    ++it->second.logoFailures;
  }
}

void Series::LimpiarSeriesCanal(int channel) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto reglas = m_reglasCanal.find(channel);
  if (reglas == m_reglasCanal.end()) return;
  for (const std::string& id : reglas->second) {
    auto it = m_series.find(id);
    if (it != m_series.end()) QuitarCanal(it->second, channel, m_libres);
  }
  m_reglasCanal.erase(reglas);
}

void Series::LimpiarSeries() {
  std::lock_guard<std::mutex> lock(m_mutex);
  // The reload is over: what it did not take again is freed.
  m_libres.clear();
  for (auto it = m_series.begin(); it != m_series.end();) {
    if (!it->second.loaded && it->second.programas.empty() && !it->second.ProgramarGrabaciones) {
      it = m_series.erase(it);
    } else {
      ++it;
    }
  }
}

bool Series::TodoCargado() const {
  ProgramasEPG* guia = m_guia;
  return guia != nullptr && guia->CargadoCompleto() && temporizadorCargadoCompleto &&
         recordingCargadoCompleto;
}

void* Series::Process() {
  while (!PararProceso && !StopRequested()) {
    // A wake-up that came during the last pass ends this wait at once.
    const bool cargado = TodoCargado();
    const int pasos = (cargado ? 900 : 30) * kPasosPorSueno;
    for (int i = 0; i < pasos && !PararProceso && !StopRequested(); ++i) {
      SleepFor(kPasoEsperaMs);
      if (m_despertar) break;
      // Not waiting the whole minute once everything is there.
      if (!cargado && (i + 1) % kPasosPorSueno == 0 && TodoCargado()) break;
    }
    if (PararProceso || StopRequested()) break;
    if (!TodoCargado()) {
      ProgramasEPG* guia = m_guia;
      GenerarLogDebug(std::string("Series: esperando") +
                      (guia == nullptr || !guia->CargadoCompleto() ? " guia" : "") +
                      (!temporizadorCargadoCompleto ? " temporizadores" : "") +
                      (!recordingCargadoCompleto ? " grabaciones" : ""));
      // The first pass after loading sees every change made until then.
      m_despertar = false;
      continue;
    }
    // Cleared just before the pass reads the rules: a change made while it
    // runs wakes the next one.
    m_despertar.exchange(false);
    if (ProgramarSeries() && !PararProceso) TheHost().TriggerTimerUpdate();
  }
  return nullptr;
}

bool Series::CanalHD(int id) const {
  Canal canal;
  return m_canales.ObtenerCanal(id, canal) && canal.HD;
}

bool Series::ComprobarHora(const Serie& serie, const EmisionSerie& e, time_t now) {
  if (serie.Cloud) return e.fin > now;
  return e.inicio > now + static_cast<time_t>(minutosantes) * 60;
}

int Series::CalcularConcurrencia(const EPG_Quorvina& p) const {
  int n = 0;
  for (const auto& kv : m_series) {
    for (const auto& t : kv.second.programados) {
      if (Solapa(t.second, p)) ++n;
    }
  }
  return n;
}

bool Series::ProgramarSeries() {
  Temporizadores* timers = m_temporizadores;
  Recordings* library = m_grabaciones;
  if (timers == nullptr || library == nullptr) return false;
  if (!m_sincronizadas.exchange(true)) {
    timers->SincronizarSeries();
    for (const auto& kv : library->GetLstRecordings()) {
      if (!kv.second.idSerie.empty()) ActualizarRecording(kv.second);
    }
  }
  // The rule's own filters are applied under the lock, without copying the
  // rules; only the broadcasts that pass them are looked at further.
  struct Candidato {
    std::string serie;
    std::string clave;
    EPG_Quorvina programa;
    bool cloud;
    int tipo;
  };
  std::vector<Candidato> candidatos;
  const time_t now = time(nullptr);
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const std::string& id : m_activas) {
      auto it = m_series.find(id);
      if (it == m_series.end()) continue;
      Serie& s = it->second;
      if (static_cast<int>(s.programados.size()) >= ntemporizadores) continue;
      OrdenarEmisiones(s);
      const time_t desde =
          s.Cloud ? now - kDuracionMaxima : now + static_cast<time_t>(minutosantes) * 60 + 1;
      EmisionSerie primera;
      primera.clave = ClavePrograma(desde, 0);
      for (auto e = std::lower_bound(s.emisiones.begin(), s.emisiones.end(), primera, PorClave);
           e != s.emisiones.end(); ++e) {
        if (!ComprobarHora(s, *e, now)) continue;
        if (!s.Temporadas.empty() &&
            std::find(s.Temporadas.begin(), s.Temporadas.end(), e->temporada) == s.Temporadas.end())
          continue;
        std::string clave = ClaveCapitulo(e->temporada, e->capitulo);
        if (s.activeEpisodes.count(clave) != 0 || s.trackings.count(clave) != 0) continue;
        candidatos.push_back(
            {id, std::move(clave), s.programas.at(e->clave), s.Cloud, s.TipodeCanal});
      }
    }
  }
  if (candidatos.empty()) return false;
  std::set<int> grabados;
  for (const auto& kv : library->GetLstRecordings()) {
    grabados.insert(kv.second.iUniqueBroadcastId);
    grabados.insert(ConvertStringtoint(kv.first));
  }
  bool programado = false;
  for (const Candidato& c : candidatos) {
    if (PararProceso) return programado;
    const EPG_Quorvina& p = c.programa;
    const int id = static_cast<int>(p.iUniqueBroadcastId);
    if (grabados.count(id) != 0 || timers->ExisteTemporizador(id)) continue;
    const bool hd = CanalHD(p.idCanal);
    if (c.tipo == 1 && !hd) continue;
    if (c.tipo == 2 && hd) continue;
    Serie actual;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      auto it = m_series.find(c.serie);
      // Paused, deleted or re-configured meanwhile: the next pass sees it.
      if (it == m_series.end() || !it->second.ProgramarGrabaciones || it->second.Cloud != c.cloud ||
          it->second.TipodeCanal != c.tipo)
        continue;
      Serie& s = it->second;
      if (!s.Temporadas.empty() && std::find(s.Temporadas.begin(), s.Temporadas.end(),
                                             p.iSeriesNumber) == s.Temporadas.end())
        continue;
      if (static_cast<int>(s.programados.size()) >= ntemporizadores) continue;
      if (s.activeEpisodes.count(c.clave) != 0 || s.trackings.count(c.clave) != 0) continue;
      const int concurrentes = s.Cloud ? 0 : CalcularConcurrencia(p);
      if (concurrentes >= nconcurrentes) continue;
      // Held before the timer exists, so no other episode takes its place.
      s.activeEpisodes.insert(c.clave);
      actual.IdStrSerie = s.IdStrSerie;
      actual.Descripcion = s.Descripcion;
      actual.Cloud = s.Cloud;
    }
    if (!ProgramarCapitulo(actual, p)) {
      // Refused by the timer set: the episode is free for a later pass.
      std::lock_guard<std::mutex> lock(m_mutex);
      auto it = m_series.find(c.serie);
      if (it != m_series.end()) it->second.activeEpisodes.erase(c.clave);
      continue;
    }
    programado = true;
  }
  return programado;
}

bool Series::ProgramarCapitulo(const Serie& serie, const EPG_Quorvina& p) {
  Temporizadores* timers = m_temporizadores;
  if (timers == nullptr) return false;
  DatosTemporizador t;
  t.iClientIndex = 0;
  t.iClientChannelUid = p.idCanal;
  t.startTime = p.startTime;
  t.endTime = p.endTime;
  t.state = 1;
  t.strTitle = p.strTitle;
  t.strDirectory = PathCombine(PathCombine(PathGrabacionSeries, serie.IdStrSerie),
                               "Temporada " + convertInttoString(p.iSeriesNumber));
  t.iPriority = 50;
  t.iLifetime = 99;
  t.firstDay = p.startTime;
  t.iEpgUid = static_cast<int>(p.iUniqueBroadcastId);
  t.iMarginStart = minutosantes;
  t.iMarginEnd = minutosdespues;
  t.idSerie = serie.IdStrSerie;
  t.StrDescripcionSerie = serie.Descripcion;
  t.iTemporada = p.iSeriesNumber;
  t.iCapitulo = p.iEpisodeNumber;
  t.iUniqueBroadcastId = t.iEpgUid;
  t.HD = CanalHD(p.idCanal);
  t.Cloud = serie.Cloud;
  GenerarLogDebug("Series: programado " + serie.IdStrSerie + " " +
                  ClaveCapitulo(t.iTemporada, t.iCapitulo));
  return timers->AddTimerSerie(t);
}

std::vector<DatosTemporizador> Series::ObtenerSeriesProgramas() {
  std::vector<DatosTemporizador> lista;
  const time_t now = time(nullptr);
  std::lock_guard<std::mutex> lock(m_mutex);
  int i = 0;
  for (const std::string& id : m_activas) {
    auto it = m_series.find(id);
    if (it == m_series.end()) continue;
    DatosTemporizador t;
    t.iClientIndex = kIndicePlaceholder + i++;
    t.strTitle = "Serie: " + it->second.Descripcion;
    t.iClientChannelUid = static_cast<int>(CanalVOD);
    t.startTime = now + kPlaceholderFuturo;
    t.endTime = t.startTime + 1;
    t.state = 1;
    t.iPriority = 50;
    t.iLifetime = 99;
    t.idSerie = id;
    t.StrDescripcionSerie = it->second.Descripcion;
    t.iTipoTemporizador = 2;
    lista.push_back(t);
  }
  return lista;
}

void Series::ActualizarTemporizador(const DatosTemporizador& timer) {
  if (timer.idSerie.empty() || timer.iTipoTemporizador == 2) return;
  std::lock_guard<std::mutex> lock(m_mutex);
  auto it = m_series.find(timer.idSerie);
  if (it == m_series.end()) return;
  Serie& s = it->second;
  const std::string clave = ClaveCapitulo(timer.iTemporada, timer.iCapitulo);
  if (timer.state == 1 || timer.state == 2) {
    s.programados[timer.iClientIndex] = timer;
    s.activeEpisodes.insert(clave);
  } else {
    s.programados.erase(timer.iClientIndex);
    s.activeEpisodes.erase(clave);
  }
}

void Series::ComprobarTracking(Serie& s, const DatosGrabacion& g) {
  const std::string clave = ClaveCapitulo(g.iTemporada, g.iCapitulo);
  if (!s.ProgramarGrabaciones || s.trackings.count(clave) != 0) return;
  TrackSerie t;
  t.IdTrack = clave;
  t.Descripcion = g.strTitle;
  t.iChannelNumber = g.iClientChannelUid;
  t.iTemporada = g.iTemporada;
  t.iCapitulo = g.iCapitulo;
  t.iUniqueBroadcastId = g.iUniqueBroadcastId;
  t.iRecording = ConvertStringtoint(g.strRecordingId);
  t.InicioGrabacion = g.recordingTime;
  t.FinalGrabacion = g.recordingTime + g.iDuration;
  t.iDuration = g.iDuration;
  s.trackings.emplace(clave, t);
}

void Series::ActualizarRecording(const DatosGrabacion& g) {
  bool nuevo = false;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_series.find(g.idSerie);
    if (it == m_series.end()) return;
    Serie& s = it->second;
    s.grabaciones.emplace(g.iUniqueBroadcastId, g);
    const size_t antes = s.trackings.size();
    ComprobarTracking(s, g);
    nuevo = s.trackings.size() != antes;
  }
  if (nuevo) GrabarTrackings(g.idSerie);
}

void Series::EliminarRecording(const DatosGrabacion& g) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto it = m_series.find(g.idSerie);
  if (it != m_series.end()) it->second.grabaciones.erase(g.iUniqueBroadcastId);
}

void Series::AgnadirTrack(const std::string& id, const TrackSerie& track) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_series.find(id);
    if (it == m_series.end()) return;
    it->second.trackings[track.IdTrack] = track;
  }
  GrabarTrackings(id);
}

void Series::ActualizarTrackingsconGrabaciones(const std::string& id) {
  bool nuevo = false;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_series.find(id);
    if (it == m_series.end()) return;
    Serie& s = it->second;
    const size_t antes = s.trackings.size();
    for (const auto& kv : s.grabaciones) ComprobarTracking(s, kv.second);
    nuevo = s.trackings.size() != antes;
  }
  if (nuevo) GrabarTrackings(id);
}

void Series::EliminarTrack(const std::string& id, const std::string& idTrack) {
  DatosGrabacion g;
  bool conGrabacion = false;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_series.find(id);
    if (it == m_series.end()) return;
    Serie& s = it->second;
    auto track = s.trackings.find(idTrack);
    if (track == s.trackings.end()) return;
    auto rec = s.grabaciones.find(track->second.iUniqueBroadcastId);
    if (rec != s.grabaciones.end()) {
      g = rec->second;
      conGrabacion = true;
    }
    s.trackings.erase(track);
  }
  Recordings* library = m_grabaciones;
  if (conGrabacion && library != nullptr)
    library->DeleteRecording(g.strRecordingId, g.strStreamURL);
  GrabarTrackings(id);
}

void Series::EliminarTrackings(const std::string& id) {
  std::lock_guard<std::mutex> escritura(m_escritura);
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_series.find(id);
    if (it == m_series.end()) return;
    it->second.trackings.clear();
    it->second.historialIlegible = false;
  }
  const std::string path = DeUTF8a1252(FicheroTrackings(id));
  if (TheHost().FileExists(path)) TheHost().DeleteFile(path);
}

void Series::GrabarSerie(const std::string& id) {
  std::lock_guard<std::mutex> escritura(m_escritura);
  std::string text;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_series.find(id);
    if (it == m_series.end()) return;
    text = TextoSerie(it->second);
  }
  Reescribir(DeUTF8a1252(FicheroSerie(id)), text);
}

void Series::GrabarTrackings(const std::string& id) {
  std::lock_guard<std::mutex> escritura(m_escritura);
  std::string text;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_series.find(id);
    if (it == m_series.end()) return;
    if (it->second.historialIlegible) {
      GenerarLogError("Series: historial ilegible de " + id + " no se reescribe");
      return;
    }
    text = TextoTrackings(it->second);
  }
  Reescribir(DeUTF8a1252(FicheroTrackings(id)), text);
}

std::vector<int> Series::RetirarPendientes(Serie& s) {
  std::vector<int> indices;
  // A timer already recording keeps recording and stays counted.
  for (auto it = s.programados.begin(); it != s.programados.end();) {
    if (it->second.state == 2) {
      ++it;
      continue;
    }
    indices.push_back(it->first);
    s.activeEpisodes.erase(ClaveCapitulo(it->second.iTemporada, it->second.iCapitulo));
    it = s.programados.erase(it);
  }
  return indices;
}

void Series::BorrarTemporizadores(const std::vector<int>& indices) {
  Temporizadores* timers = m_temporizadores;
  if (timers == nullptr) return;
  for (int index : indices) {
    // The rules' copy may be older than the timer: one that started
    // recording since keeps recording and is counted again.
    DatosTemporizador actual;
    if (!timers->DatosActuales(index, actual)) continue;
    if (actual.state == 2) {
      ActualizarTemporizador(actual);
      continue;
    }
    timers->DeleteTimer(static_cast<unsigned int>(index), true);
  }
}

bool Series::ObtenerSerie(const std::string& id, Serie& copia) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto it = m_series.find(id);
  if (it == m_series.end()) return false;
  copia = it->second;
  return true;
}

bool Series::Ficha(const std::string& id, FichaSerie& f) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto it = m_series.find(id);
  if (it == m_series.end()) return false;
  const Serie& s = it->second;
  f = FichaSerie();
  static_cast<OpcionesSerie&>(f) = s;
  f.IdStrSerie = s.IdStrSerie;
  f.Descripcion = s.Descripcion;
  f.Logo = s.Logo;
  f.PlotOutLine = s.PlotOutLine;
  f.Plot = s.Plot;
  f.ProgramarGrabaciones = s.ProgramarGrabaciones;
  for (const auto& kv : s.programas) {
    FichaPrograma& p = f.programas[TextoClaveEmision(kv.first)];
    p.programa = kv.second;
    for (const auto& t : s.programados) {
      if (t.second.iEpgUid != static_cast<int>(kv.second.iUniqueBroadcastId) ||
          t.second.iClientChannelUid != kv.second.idCanal)
        continue;
      p.programado = p.programado || t.second.state == 1;
      p.grabando = p.grabando || t.second.state == 2;
    }
  }
  for (const auto& kv : s.trackings) {
    const TrackSerie& t = kv.second;
    FichaTrack& ft = f.trackings[kv.first];
    ft.IdTrack = t.IdTrack;
    ft.Descripcion = t.Descripcion;
    ft.iChannelNumber = t.iChannelNumber;
    ft.iTemporada = t.iTemporada;
    ft.iCapitulo = t.iCapitulo;
    ft.InicioGrabacion = t.InicioGrabacion;
    ft.FinalGrabacion = t.FinalGrabacion;
    auto g = s.grabaciones.find(t.iUniqueBroadcastId);
    ft.logoserie = g != s.grabaciones.end() ? g->second.strIconPath : s.Logo;
  }
  return true;
}

void Series::ActualizarDescripcion(const std::string& id, const std::string& plot,
                                   const std::string& outline) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto it = m_series.find(id);
  if (it == m_series.end()) return;
  it->second.Plot = plot;
  it->second.PlotOutLine = outline;
}

std::vector<std::string> Series::Identificadores() const {
  std::vector<std::string> ids;
  std::lock_guard<std::mutex> lock(m_mutex);
  for (const auto& kv : m_series) ids.push_back(kv.first);
  return ids;
}

bool Series::FijarOpciones(const std::string& id, const OpcionesSerie& opciones,
                           std::vector<int>* pendientes) {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto it = m_series.find(id);
  if (it == m_series.end()) return false;
  Serie& s = it->second;
  if (pendientes != nullptr) *pendientes = RetirarPendientes(s);
  static_cast<OpcionesSerie&>(s) = opciones;
  s.ProgramarGrabaciones = true;
  s.loaded = true;
  ActivarLista(s);
  return true;
}

bool Series::ProgramarSerie(const std::string& id, const OpcionesSerie& opciones) {
  if (!FijarOpciones(id, opciones, nullptr)) return false;
  GrabarSerie(id);
  ActualizarTrackingsconGrabaciones(id);
  Despertar();
  return true;
}

bool Series::CambiarOpciones(const std::string& id, const OpcionesSerie& opciones) {
  std::vector<int> pendientes;
  if (!FijarOpciones(id, opciones, &pendientes)) return false;
  GrabarSerie(id);
  BorrarTemporizadores(pendientes);
  Despertar();
  return true;
}

void Series::PausarSerie(const std::string& id) {
  std::vector<int> pendientes;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_series.find(id);
    if (it == m_series.end()) return;
    Serie& s = it->second;
    s.ProgramarGrabaciones = false;
    ActivarLista(s);
    pendientes = RetirarPendientes(s);
  }
  GrabarSerie(id);
  BorrarTemporizadores(pendientes);
  Despertar();
}

void Series::EliminarSerie(const std::string& id, bool conTrackings) {
  std::vector<int> pendientes;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_series.find(id);
    if (it == m_series.end()) return;
    Serie& s = it->second;
    // Emptied seasons read as "every season": the rule must be off too.
    s.ProgramarGrabaciones = false;
    s.Temporadas.clear();
    s.loaded = false;
    ActivarLista(s);
    pendientes = RetirarPendientes(s);
  }
  {
    std::lock_guard<std::mutex> escritura(m_escritura);
    const std::string path = DeUTF8a1252(FicheroSerie(id));
    if (TheHost().FileExists(path)) TheHost().DeleteFile(path);
    if (TheHost().FileExists(path + kCopia)) TheHost().DeleteFile(path + kCopia);
  }
  if (conTrackings) EliminarTrackings(id);
  BorrarTemporizadores(pendientes);
  Despertar();
}

bool Series::PreguntarProgramarSerie(const std::string& idSerie, bool* cloud,
                                     const CajaAbierta& abierta) {
  Serie copia;
  if (!ObtenerSerie(idSerie, copia) || copia.ProgramarGrabaciones) return false;
  // Each box is known to the asker while it is open; the guard ends before
  // the box is destroyed.
  const auto mostrar = [&abierta](CGUIDialogBase& caja, const auto& abrir) {
    if (abierta && !abierta(&caja)) return false;
    const bool si = abrir();
    if (abierta) abierta(nullptr);
    return si;
  };
  CGUIDialogSiNo pregunta(
      De1252aUTF8("Grabaci\xf3n de series"),
      De1252aUTF8("\xbfProgramar la grabaci\xf3n de la serie \"") + copia.Descripcion + "\"?");
  if (!mostrar(pregunta, [&pregunta] { return pregunta.PulsadoOK(); })) return false;
  OpcionesSerie opciones = copia;
  {
    CGUIOpcionesGrabacion ventana(opciones);
    if (!mostrar(ventana, [&ventana] { return ventana.PulsadoOK(); })) return false;
  }
  if (!ProgramarSerie(idSerie, opciones)) return false;
  if (cloud != nullptr) *cloud = opciones.Cloud;
  CGUIDialogSi aviso(De1252aUTF8("Grabaciones de series"),
                     De1252aUTF8("La serie ha sido programada para su grabaci\xf3n"));
  mostrar(aviso, [&aviso] {
    aviso.Show();
    return true;
  });
  return true;
}
