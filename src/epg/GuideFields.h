// The small conversions of the guide's fields: programme ids from crids,
// durations, parental ratings, identifier normalisation and start times.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

// A decimal integer as the system's conversion reads it: leading blanks and
// a sign allowed, 0 when there are no digits or the value does not fit.
int LeerEntero(const char* text);
inline int LeerEntero(const std::string& text) {
  return LeerEntero(text.c_str());
}

// The programme id after the last "/" of a crid, unsigned 32-bit (0 when it
// does not fit); 4294967295 when there is no "/" or the only one is the
// first character.
uint32_t ObtenerID(const char* crid);
inline uint32_t ObtenerID(const std::string& crid) {
  return ObtenerID(crid.c_str());
}

struct Duracion {
  long long dias = 0;
  long long horas = 0;
  long long minutos = 0;
  long long segundos = 0;
};
// An ISO 8601 duration such as PT1H30M, read from its third character.
Duracion CalcularDuracion(const std::string& text);
long long CalcularDuracionSegundos(const std::string& text);

// 0 for all audiences, -1 when not rated, otherwise the age the text
// mentions (its digits), or 1 when it names none.
int CalcularCalificacion(const std::string& text);

// "0x1A" -> "1a": the two leading characters dropped, lower case, and padded
// on the left with "0" to at least `width` characters.
std::string NormalizarId(const std::string& id, size_t width = 0);

// Reads guide start times as the system's time conversion does (local
// standard time, the zone letter ignored), remembering the days it
// converted: a day of programmes costs one calendar conversion.
class RelojGuia {
 public:
  time_t Convertir(const std::string& text);

 private:
  struct Dia {
    int year, month, day;
    time_t midnight;
  };
  static constexpr size_t kDias = 16;  // more than a guide's week
  std::vector<Dia> dias_;
};
