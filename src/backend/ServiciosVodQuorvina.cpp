#include "backend/ServiciosVodQuorvina.h"

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
