#include "epg/GuideFields.h"

#include <cctype>
#include <cstring>

#include "common/Conversions.h"
#include "common/Text.h"

namespace {

constexpr long long kTope = 1000000000LL;  // keeps absurd numbers from overflowing

bool Digito(char c) {
  return c >= '0' && c <= '9';
}

// Reads `count` digits at `at`; false when any is missing.
bool Numero(const std::string& text, size_t at, size_t count, int& value) {
  if (at + count > text.size()) return false;
  value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (!Digito(text[i])) return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

}  // namespace

int LeerEntero(const char* text) {
  if (text == nullptr) return 0;
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  const bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  if (!Digito(*text)) return 0;
  long long value = 0;
  for (; Digito(*text); ++text) {
    value = value * 10 + (*text - '0');
    if (value > 2147483648LL) return 0;
  }
  if (negative) value = -value;
  return value > 2147483647LL || value < -2147483648LL ? 0 : static_cast<int>(value);
}

uint32_t ObtenerID(const char* crid) {
  const char* slash = std::strrchr(crid, '/');
  if (slash == nullptr || slash == crid) return 4294967295u;
  // Ids use all 32 bits: read as unsigned, 0 past them; a negative one
  // wraps as the system's conversion makes it.
  const char* text = slash + 1;
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  if (*text == '-') return static_cast<uint32_t>(LeerEntero(text));
  if (*text == '+') ++text;
  uint64_t value = 0;
  for (; Digito(*text); ++text) {
    value = value * 10 + static_cast<uint64_t>(*text - '0');
    if (value > 0xFFFFFFFFull) return 0;
  }
  return static_cast<uint32_t>(value);
}

Duracion CalcularDuracion(const std::string& text) {
  Duracion d;
  size_t i = 2;
  while (i < text.size()) {
    long long value = 0;
    while (i < text.size() && Digito(text[i])) {
      value = value * 10 + (text[i] - '0');
      if (value > kTope) value = kTope;
      ++i;
    }
    if (i >= text.size()) break;
    switch (text[i++]) {
      case 'D':
        d.dias = value;
        break;
      case 'H':
        d.horas = value;
        break;
      case 'M':
        d.minutos = value;
        break;
      case 'S':
        d.segundos = value;
        break;
      default:
        break;
    }
  }
  return d;
}

long long CalcularDuracionSegundos(const std::string& text) {
  const Duracion d = CalcularDuracion(text);
  return d.dias * 86400 + d.horas * 3600 + d.minutos * 60 + d.segundos;
}

int CalcularCalificacion(const std::string& text) {
  if (text == "Suitable for all audiences") return 0;
  if (text == "No rating available") return -1;
  long long value = 0;
  bool digits = false;
  for (char c : text) {
    if (!Digito(c)) continue;
    digits = true;
    value = value * 10 + (c - '0');
    if (value > kTope) value = kTope;
  }
  return digits ? static_cast<int>(value) : 1;
}

std::string NormalizarId(const std::string& id, size_t width) {
  std::string text = id.size() > 2 ? stringtolower(id.substr(2)) : std::string();
  if (text.size() < width) text.insert(0, width - text.size(), '0');
  return text;
}

time_t RelojGuia::Convertir(const std::string& text) {
  // "YYYY-MM-DD?hh:mm:ss...": anything else goes the general way.
  int year, month, day, hour, minute, second;
  if (text.size() < 19 || !Numero(text, 0, 4, year) || text[4] != '-' ||
      !Numero(text, 5, 2, month) || text[7] != '-' || !Numero(text, 8, 2, day) ||
      !Numero(text, 11, 2, hour) || text[13] != ':' || !Numero(text, 14, 2, minute) ||
      text[16] != ':' || !Numero(text, 17, 2, second) || (text.size() > 19 && Digito(text[19]))) {
    return ConvertStringtotime_T(text);
  }
  for (const Dia& known : dias_) {
    if (known.day == day && known.month == month && known.year == year) {
      return known.midnight + hour * 3600 + minute * 60 + second;
    }
  }
  // Standard time all year: within one day the offset never changes.
  const time_t midnight = ConvertStringtotime_T(text.substr(0, 11) + "00:00:00");
  if (dias_.size() == kDias) dias_.erase(dias_.begin());
  dias_.push_back(Dia{year, month, day, midnight});
  return midnight + hour * 3600 + minute * 60 + second;
}
