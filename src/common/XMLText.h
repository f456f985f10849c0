#pragma once

// Character helpers shared by the XML parser and the node accessors.

#include <cstddef>
#include <string>

namespace xml_detail {

// Names compare without regard to ASCII letter case.
inline bool equalsNoCase(const char* a, const char* b) {
  auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c | 0x20 : c; };
  auto* x = reinterpret_cast<const unsigned char*>(a);
  auto* y = reinterpret_cast<const unsigned char*>(b);
  for (;; ++x, ++y) {
    if (*x != *y && lower(*x) != lower(*y)) return false;
    if (*x == 0) return true;
  }
}

// 1-based line and column (in UTF-8 characters) of byte `offset` of `text`.
void lineAndColumn(const char* text, size_t offset, int& line, int& column);

// Converts 16-bit text to UTF-8; false on an unpaired surrogate. A trailing odd byte is ignored.
bool utf16ToUtf8(const unsigned char* bytes, size_t length, bool bigEndian, std::string& out);

// Writes code point `cp` as UTF-8 at `out`, returns the end.
char* encodeUtf8(unsigned cp, char* out);

}  // namespace xml_detail
