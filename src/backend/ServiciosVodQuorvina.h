// What the on-demand client asks of the rest of the add-on, as the
// controller provides it: the operator's bookmarks, the resume chooser, the
// host's player through JSON-RPC, and the recordings library.
#pragma once

#include <string>

#include "live/DatosVod.h"

class Recordings;
struct DatosGrabacion;

// What the on-demand client keeps of a library entry.
DatosVod DatosVodDe(const DatosGrabacion& grabacion);

class ServiciosVodQuorvina : public ServiciosVod {
 public:
  explicit ServiciosVodQuorvina(Recordings& recordings) : m_recordings(recordings) {}

  std::string ObtenerMarcador(const std::string& id, std::string& productType) override;
  bool GuardarMarcador(const std::string& id, const std::string& posicion,
                       const std::string& productType) override;
  // Button 1009 starts from the beginning; anything else resumes.
  bool ElegirContinuar(const std::string& texto) override;
  void PararReproductor() override;
  void PasarALocal(const DatosVod& datos, const std::string& fichero, int duracion) override;
  bool DatosCopia(const std::string& id, DatosVod& datos, std::string& url) override;

 private:
  Recordings& m_recordings;
};
