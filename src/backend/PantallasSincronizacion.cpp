#include "backend/PantallasSincronizacion.h"

#include "common/Conversions.h"
#include "common/Text.h"
#include "discovery/Canales.h"
#include "recordings/Recordings.h"
#include "series/SyncRecording.h"

namespace {

// The title without its repetition of the label, and without a leading " - ".
std::string Recortar(const std::string& titulo, const std::string& etiqueta) {
  const size_t pos = etiqueta.empty() ? std::string::npos : titulo.find(etiqueta);
  if (pos == std::string::npos) return titulo;
  std::string resto = titulo.substr(pos + etiqueta.size());
  if (resto.compare(0, 3, " - ") == 0) resto.erase(0, 3);
  return resto;
}

std::string Etiqueta(const std::string& serie, int temporada, int capitulo) {
  return serie + " T" + convertInttoString(temporada) + " Cap. " + convertInttoString(capitulo);
}

}  // namespace

PantallasSincronizacion::PantallasSincronizacion(SyncRecording& sync, const Recordings& recordings,
                                                 const Canales& canales, Reloj reloj)
    : m_sync(sync), m_recordings(recordings), m_canales(canales), m_reloj(std::move(reloj)) {}

int PantallasSincronizacion::Estado(const std::string& id) {
  return m_sync.EstadoRecording(id);
}
bool PantallasSincronizacion::Eliminar(const std::string& id) {
  return m_sync.EliminarGrabacion(id);
}
bool PantallasSincronizacion::Inmediato(const std::string& id) {
  return m_sync.AgnadirRecordingInmediato(id, "R");
}
bool PantallasSincronizacion::Diferido(const std::string& id) {
  return m_sync.AgnadirRecordingDiferido(id, "R");
}

void PantallasSincronizacion::LogoCanal(FilaSincronizacion& fila, int canal) const {
  Canal c;
  if (m_canales.ObtenerCanal(canal, c)) fila.propiedades.emplace_back("IconoCanal", c.logo);
}

FilaSincronizacion PantallasSincronizacion::FilaGrabacion(const DatosGrabacion& g,
                                                          const std::string& sufijo, int estado) {
  FilaSincronizacion f;
  f.clave = g.strRecordingId;
  f.etiqueta = Etiqueta(g.StrDescripcionSerie, g.iTemporada, g.iCapitulo);
  f.etiqueta2 = Recortar(g.strTitle, f.etiqueta);
  f.icono = g.strIconPath;
  LogoCanal(f, g.iClientChannelUid);
  const time_t fin = g.recordingTime + g.iDuration;
  f.propiedades.emplace_back("Programacion", "Fue emitido el " + Converttime_TtostringFecha(fin) +
                                                 "\r\n" + "desde las " +
                                                 Converttime_TtostringHora(g.recordingTime) +
                                                 " hasta las " + Converttime_TtostringHora(fin));
  f.propiedades.emplace_back("Antiguedad", convertInttoString((Ahora() - g.recordingTime) / 86400) +
                                               De1252aUTF8(" d\xed"
                                                           "as desde la grabaci\xf3n." +
                                                           sufijo));
  f.propiedades.emplace_back("Titulo", g.strTitle);
  f.propiedades.emplace_back("Descripcion", g.strPlot);
  f.propiedades.emplace_back("Programado", estado == 2 ? "true" : "false");
  f.propiedades.emplace_back("Grabando", estado == 1 ? "true" : "false");
  return f;
}

FilaSincronizacion PantallasSincronizacion::FilaHistorial(const TrackSincronizacion& t,
                                                          const DatosGrabacion* g) {
  FilaSincronizacion f;
  f.etiqueta = Etiqueta(t.DescripcionSerie, t.Temporada, t.Capitulo);
  f.etiqueta2 = Recortar(t.strTitulo, f.etiqueta);
  if (g != nullptr) f.icono = g->strIconPath;
  LogoCanal(f, t.IDCanal);
  f.propiedades.emplace_back(
      "Programacion", "Sincronizado el " + Converttime_TtostringFecha(t.InicioSincro) + "\r\n" +
                          "desde las " + Converttime_TtostringHora(t.InicioSincro) + " hasta las " +
                          Converttime_TtostringHora(t.FinalSincro));
  if (g != nullptr) {
    f.propiedades.emplace_back(
        "Antiguedad", "Grabado el " + Converttime_TtostringFecha(g->recordingTime) + " a las " +
                          Converttime_TtostringHora(g->recordingTime));
    f.propiedades.emplace_back("Titulo", t.strTitulo);
    f.propiedades.emplace_back("Descripcion", g->strPlot);
  } else {
    f.propiedades.emplace_back("Antiguedad", "");
    f.propiedades.emplace_back("Titulo", De1252aUTF8("Grabaci\xf3n eliminada."));
  }
  f.propiedades.emplace_back("Programado", "false");
  f.propiedades.emplace_back("Grabando", "false");
  return f;
}

std::vector<FilaSincronizacion> PantallasSincronizacion::Filas(unsigned int pantalla) {
  std::vector<FilaSincronizacion> filas;
  const auto fila = [&](const std::string& id, const std::string& sufijo) {
    DatosGrabacion g;
    if (m_recordings.GetRecording(id, g))
      filas.push_back(FilaGrabacion(g, sufijo, m_sync.EstadoRecording(id)));
  };
  if (pantalla == 0) {
    for (const auto& kv : m_recordings.GetCloudRecordings()) fila(kv.first, "");
  } else if (pantalla == 1) {
    for (const auto& kv : m_sync.ObtenerSincInmediado()) fila(kv.first, " Grabaci\xf3n inmediata.");
    for (const auto& kv : m_sync.ObtenerSincDiferido()) fila(kv.first, " Grabaci\xf3n en cola.");
  } else {
    for (const auto& kv : m_sync.ObtenerTrackSincronizacion()) {
      DatosGrabacion g;
      const bool hay = m_recordings.GetRecording(kv.second.ID, g);
      filas.push_back(FilaHistorial(kv.second, hay ? &g : nullptr));
      filas.back().clave = convertInttoString(kv.first);
    }
  }
  return filas;
}
