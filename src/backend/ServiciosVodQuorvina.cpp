#include "backend/ServiciosVodQuorvina.h"

#include "common/Conversions.h"
#include "gui/GUIContextIniciarEn.h"
#include "recordings/ApiGrabaciones.h"
#include "recordings/Recordings.h"
#include "services/tcpJSON.h"

namespace {
constexpr int kBotonDesdeElPrincipio = 1009;
}

std::string ServiciosVodQuorvina::ObtenerMarcador(const std::string& id, std::string& productType) {
  return getBookmark(id, productType);
}

bool ServiciosVodQuorvina::GuardarMarcador(const std::string& id, const std::string& posicion,
                                           const std::string& productType) {
  return setBookmark(id, posicion, productType);
}

bool ServiciosVodQuorvina::ElegirContinuar(const std::string& texto) {
  CGUIContextIniciarEn dialogo(texto);
  return dialogo.ObtenerBotonPulsado() != kBotonDesdeElPrincipio;
}

void ServiciosVodQuorvina::PararReproductor() {
  tcpJSON().PararCanalPVR();
}

void ServiciosVodQuorvina::PasarALocal(const DatosVod& datos, const std::string& fichero,
                                       int duracion) {
  m_recordings.PasarRecordingaLocal(datos.strRecordingId, fichero, duracion);
}

bool ServiciosVodQuorvina::DatosCopia(const std::string& id, DatosVod& datos, std::string& url) {
  DatosGrabacion grabacion;
  if (!m_recordings.GetRecording(id, grabacion) || !grabacion.Cloud) return false;
  datos = DatosVodDe(grabacion);
  unsigned int duracion = static_cast<unsigned int>(grabacion.iDuration);
  if (!getRecordingData(ConvertStringtoint(id), grabacion.iClientChannelUid, &duracion, &url))
    return false;
  datos.iDuration = static_cast<int>(duracion);
  return !url.empty();
}

DatosVod DatosVodDe(const DatosGrabacion& g) {
  DatosVod d;
  d.strRecordingId = g.strRecordingId;
  d.strTitle = g.strTitle;
  d.strPlot = g.strPlot;
  d.strIconPath = g.strIconPath;
  d.iGenreType = g.iGenreType;
  d.iTemporada = g.iTemporada;
  d.iCapitulo = g.iCapitulo;
  d.idSerie = g.idSerie;
  d.iClientChannelUid = g.iClientChannelUid;
  d.iDuration = g.iDuration;
  d.HD = g.HD;
  return d;
}
