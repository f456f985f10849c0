// What the copies' window shows and does, given by the synchronisation: the
// rows of its three screens and the actions on one recording.
#pragma once

#include <string>
#include <utility>
#include <vector>

// One row of the list: the item's labels, icon and properties.
struct FilaSincronizacion {
  std::string clave;  // the recording id, or the history key
  std::string etiqueta;
  std::string etiqueta2;
  std::string icono;
  std::vector<std::pair<std::string, std::string>> propiedades;
};

class FuenteSincronizaciones {
 public:
  virtual ~FuenteSincronizaciones() = default;
  // Screen 0 the cloud recordings, 1 the queued copies, 2 the history.
  virtual std::vector<FilaSincronizacion> Filas(unsigned int pantalla) = 0;
  // 0 not queued, 1 being copied, 2 queued.
  virtual int Estado(const std::string& id) = 0;
  virtual bool Eliminar(const std::string& id) = 0;
  virtual bool Inmediato(const std::string& id) = 0;
  virtual bool Diferido(const std::string& id) = 0;
};
