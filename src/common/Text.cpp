#include "common/Text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sstream>

#include "common/HostServices.h"

namespace {

// The twenty accented letters, by their one-byte Windows-1252 codes.
constexpr unsigned char kSpanishLetters[] = {0xE1, 0xE9, 0xED, 0xF3, 0xFA, 0xFC,  // á é í ó ú ü
                                             0xC1, 0xC9, 0xCD, 0xD3, 0xDA, 0xDC,  // Á É Í Ó Ú Ü
                                             0xE0, 0xEC, 0xF2,                    // à ì ò
                                             0xC0, 0xC8, 0xCC, 0xD2, 0xD9};       // À È Ì Ò Ù

// These codes sit in the Latin-1 range, so their UTF-8 form is two bytes.
std::string Utf8Of(unsigned char code) {
  return std::string{static_cast<char>(0xC0 | (code >> 6)),
                     static_cast<char>(0x80 | (code & 0x3F))};
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  if (from.empty()) return;
  size_t position = 0;
  while ((position = text.find(from, position)) != std::string::npos) {
    text.replace(position, from.size(), to);
    position += to.size();
  }
}

struct Unaccent {
  unsigned char code;
  char plain;
};

// Accented vowels (acute, diaeresis, grave; both cases) and their plain form.
constexpr Unaccent kUnaccent[] = {
    {0xE1, 'a'}, {0xE9, 'e'}, {0xED, 'i'}, {0xF3, 'o'}, {0xFA, 'u'},  // acute
    {0xC1, 'A'}, {0xC9, 'E'}, {0xCD, 'I'}, {0xD3, 'O'}, {0xDA, 'U'},
    {0xE4, 'a'}, {0xEB, 'e'}, {0xEF, 'i'}, {0xF6, 'o'}, {0xFC, 'u'},  // diaeresis
    {0xC4, 'A'}, {0xCB, 'E'}, {0xCF, 'I'}, {0xD6, 'O'}, {0xDC, 'U'},
    {0xE0, 'a'}, {0xE8, 'e'}, {0xEC, 'i'}, {0xF2, 'o'}, {0xF9, 'u'},  // grave
    {0xC0, 'A'}, {0xC8, 'E'}, {0xCC, 'I'}, {0xD2, 'O'}, {0xD9, 'U'}};

}  // namespace

size_t SustituirCaracter(std::string& text, const std::string& from, const std::string& to) {
  ReplaceAll(text, from, to);
  return std::string::npos;
}

void SustituirSaltosporespacios(std::string& text) {
  ReplaceAll(text, "\n", " ");
}

void SuprimirSaltos(std::string& text) {
  text.erase(std::remove(text.begin(), text.end(), '\n'), text.end());
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
}

std::string stringtoescape(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (char c : text) {
    switch (c) {
      case '\n':
        out += "&#xA;";
        break;
      case '\r':
        out += "&#xD;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '\'':
        out += "&apos;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string barraadoblebarra(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 4);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == '\\') {
      out += "\\\\";
      ++i;
    } else {
      out += "\\\\";
    }
  }
  return out;
}

bool CoincidePatronInicio(const std::string& text, const std::string& pattern) {
  return text.size() >= pattern.size() && text.compare(0, pattern.size(), pattern) == 0;
}

bool CoincidePatronFinal(const std::string& text, const std::string& pattern) {
  return text.size() >= pattern.size() &&
         text.compare(text.size() - pattern.size(), pattern.size(), pattern) == 0;
}

std::vector<std::string>& split(const std::string& text, char delimiter,
                                std::vector<std::string>& pieces) {
  std::istringstream stream(text);
  std::string piece;
  while (std::getline(stream, piece, delimiter)) pieces.push_back(piece);
  return pieces;
}

std::vector<std::string> split(const std::string& text, char delimiter) {
  std::vector<std::string> pieces;
  split(text, delimiter, pieces);
  return pieces;
}

std::string ObtenerValor(const std::string& text, const std::string& key) {
  return ObtenerValor(text, key, ":", ",");
}

std::string ObtenerValor(const std::string& text, const std::string& key,
                         const std::string& separator, const std::string& terminator) {
  const size_t at = text.find(key);
  if (at == std::string::npos) return std::string();
  const size_t start = text.find(separator, at);
  if (start == std::string::npos) return std::string();
  const size_t end = text.find(terminator, start);
  if (end == std::string::npos) return std::string();
  std::string value = text.substr(start + separator.size(), end - start - separator.size());
  value.erase(std::remove_if(value.begin(), value.end(),
                             [](char c) { return c == '"' || c == '}' || c == ']'; }),
              value.end());
  return value;
}

std::string ObtenerGeneroCompleto(const std::string& genre, const std::string& subgenre) {
  if (genre.empty()) return std::string();
  std::string full = genre;
  if (!subgenre.empty()) full += "-" + subgenre;
  return full.substr(0, 1) + stringtolower(full.substr(1));
}

std::string StringColorAzul(const std::string& text) {
  return "[COLOR=blue]" + text + "[/COLOR] ";
}

bool ExistInvector(const std::vector<std::string>& list, const std::string& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

bool ExistInvector(const std::vector<int>& list, int value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

bool ExistInvector(const std::vector<unsigned int>& list, unsigned int value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

void Deletevector(std::vector<std::string>& list, const std::string& value) {
  list.erase(std::remove(list.begin(), list.end(), value), list.end());
}

std::vector<std::string> Deletevector(const std::vector<std::string>& list,
                                      const std::string& value, bool /*copy*/) {
  std::vector<std::string> result = list;
  Deletevector(result, value);
  return result;
}

void Deletevector(std::vector<int>& list, int value) {
  list.erase(std::remove(list.begin(), list.end(), value), list.end());
}

std::string De1252aUTF8(const std::string& text) {
  return TheHost().UnknownToUtf8(text);
}

std::string DeUTF8a1252(const std::string& text) {
  std::string out = text;
  for (unsigned char code : kSpanishLetters) {
    ReplaceAll(out, Utf8Of(code), std::string(1, static_cast<char>(code)));
  }
  return out;
}

std::string stringtolower(const std::string& text) {
  std::string out = text;
  for (char& c : out) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  // Capital acute vowels and Ü: the code of each lower-case letter is 0x20 higher.
  for (unsigned char upper : {0xC1, 0xC9, 0xCD, 0xD3, 0xDA, 0xDC}) {
    ReplaceAll(out, Utf8Of(upper), Utf8Of(static_cast<unsigned char>(upper + 0x20)));
  }
  return out;
}

void NormalidarFileName(std::string& text) {
  for (const Unaccent& u : kUnaccent) ReplaceAll(text, Utf8Of(u.code), std::string(1, u.plain));
  static const char kUnsafe[] = "\\/:*?\"<>|()&";
  for (char& c : text) {
    for (const char* u = kUnsafe; *u != '\0'; ++u) {
      if (c == *u) c = ' ';
    }
  }
}

std::string ObtenerUUID() {
  srand(static_cast<unsigned int>(time(nullptr)));
  const int r1 = rand(), r2 = rand(), r3 = rand(), r4 = rand();
  const int r5 = rand(), r6 = rand(), r7 = rand(), r8 = rand();
  char buffer[128];
  snprintf(buffer, sizeof(buffer), "%x%x-%x-%x-%x-%x%x%x", r1, r2, r3, (r4 & 0xfff) + 0x4000,
           (r5 % 16383) + 0x8000, r6, r7, r8);
  return buffer;
}
