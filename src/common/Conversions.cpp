#include "common/Conversions.h"

#include <cstdio>
#include <sstream>

namespace {

template <typename T>
T ParseWithStream(const std::string& text, std::ios_base& (*base)(std::ios_base&) = std::dec) {
  std::istringstream stream(text);
  T value{};
  stream >> base >> value;
  if (stream.fail()) return T{};
  return value;
}

template <typename T>
std::string WithStream(const T& value) {
  std::ostringstream stream;
  stream << value;
  return stream.str();
}

std::string FormatTime(time_t value, const char* format) {
  char buffer[200];
  struct tm parts {};
  localtime_r(&value, &parts);
  const size_t length = strftime(buffer, sizeof(buffer), format, &parts);
  return std::string(buffer, length);
}

}  // namespace

int ConvertStringtoint(const std::string& text) {
  return ParseWithStream<int>(text);
}

std::string convertInttoString(long long value) {
  return WithStream(value);
}

std::string convertInttoStringPad(long long value, int width) {
  std::string text = WithStream(value);
  while (static_cast<int>(text.size()) < width) text.insert(0, "0");
  return text;
}

std::string convertdoubletoString(double value) {
  return WithStream(value);
}

std::string convertSize_ttoString(size_t value) {
  return WithStream(value);
}

time_t ConvertStringtoTimer(const std::string& text) {
  return ParseWithStream<time_t>(text);
}

std::string convertTimertoString(time_t value) {
  return WithStream(value);
}

bool ConvertStringtobool(const std::string& text) {
  return text == "1";
}

std::string ConvertToHex(unsigned char byte) {
  static const char kDigits[] = "0123456789abcdef";
  return std::string{kDigits[byte >> 4], kDigits[byte & 0x0f]};
}

int ConvertHextoint(const std::string& text) {
  return static_cast<int>(ParseWithStream<unsigned int>(text, std::hex));
}

std::string RecuperarDirecionString(const void* pointer) {
  return WithStream(pointer);
}

time_t ConvertStringtotime_T(const std::string& text) {
  struct tm parts {};
  int year = 0, month = 0, fraction = 0;
  char separator = 0, zone = 0;
  sscanf(text.c_str(), "%d-%d-%d%c%d:%d:%d.%d%c", &year, &month, &parts.tm_mday, &separator,
         &parts.tm_hour, &parts.tm_min, &parts.tm_sec, &fraction, &zone);
  parts.tm_year = year - 1900;
  parts.tm_mon = month - 1;
  parts.tm_isdst = 0;
  return mktime(&parts);
}

std::string Converttime_Ttostring(time_t value) {
  return FormatTime(value, "%H:%M del %a, %d de %b de %Y");
}

std::string Converttime_TtostringHora(time_t value) {
  return FormatTime(value, "%H:%M");
}

std::string Converttime_TtostringFecha(time_t value) {
  return FormatTime(value, "%a, %d de %b de %Y");
}
