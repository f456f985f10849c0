// The subscriber's profile from the operator's application server, with a
// cached copy in "Configuracion.xml" for starts without the server.
#pragma once

#include <string>

#include "common/Thread.h"

class Configuracion : public PLATFORM::CThread {
 public:
  Configuracion();
  ~Configuracion() override;

  // From the server, else from the cache; true when either worked.
  bool ObtenerConfiguracion();
  bool ObtenerConfiguracionhttp();
  bool CargarConfiguracionhttp();
  void GrabarConfiguracionhttp();

  // The cache file's exact text for the current configuration.
  static std::string TextoConfiguracion();

  bool Obtenida() const { return m_obtenida; }
  const std::string& RutaFichero() const { return m_ruta; }

  void* Process() override { return nullptr; }  // never started

 private:
  bool m_obtenida = false;
  std::string m_fichero = "Configuracion.xml";
  std::string m_ruta;
};
