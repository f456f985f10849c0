// One channel of the line-up, copied by value.
#pragma once

#include <string>

struct Canal {
  int id = 0;
  int numero = 0;
  std::string nombre;
  std::string reservado;  // no loader fills it
  std::string logo;
  std::string ip;
  int puerto = 0;
  int idSustituto = 0;  // "ServiceNameOriginal": the replacement service's id
  std::string genero;
  bool HD = false;
  bool operador = false;
};
