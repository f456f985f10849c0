// The subscriber's configuration, filled from the settings, the operator's
// profile and its cached copy.
#pragma once

#include <string>
#include <vector>

struct DatosConfiguracion {
  std::string paquetes;
  int HorasDiferencias = 1;
  std::string Provincia = "19";
  bool CargarCanalesHD = true;
  std::string IPInicial = "239.0.2.129";
  int PuertoInicial = 3937;
  std::vector<std::string> ListaPaquetes;
  int TiposdeBusqueda = 0;
  bool OcultarSustituidos = true;
  bool TodosPaquetes = false;
};

extern DatosConfiguracion configuracionquorvina;
