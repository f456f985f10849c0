// Text of unknown code page to UTF-8, the way the host's converter treats an
// add-on's strings: valid UTF-8 stays as it is, anything else is taken as
// Windows-1252.
#pragma once

#include <string>

namespace hostsim {

bool isValidUtf8(const std::string& text);
std::string windows1252ToUtf8(const std::string& text);
std::string unknownToUtf8(const std::string& text);

}  // namespace hostsim
