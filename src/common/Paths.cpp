#include "common/Paths.h"

#include "common/HostServices.h"

namespace {
constexpr const char* kSeparators = "/\\";
}

std::string PathCombine(const std::string& base, const std::string& name) {
  if (base.empty()) return name;
  const char last = base.back();
  if (last == '/' || last == '\\') return base + name;
  return base + "/" + name;
}

void ObtenerDirectorioyFichero(const std::string& path, std::string& folder, std::string& file) {
  const size_t cut = path.find_last_of(kSeparators);
  if (cut == std::string::npos) {
    file = path;
    return;
  }
  folder = path.substr(0, cut + 1);
  file = path.substr(cut + 1);
}

bool creardirectorio(const std::string& path) {
  if (path.empty()) return false;
  HostServices& host = TheHost();
  if (host.DirectoryExists(path)) return true;
  const size_t cut = path.find_last_of(kSeparators);
  if (cut != std::string::npos && cut > 0) {
    creardirectorio(path.substr(0, cut));
    if (host.DirectoryExists(path)) return true;
  }
  return host.CreateDirectory(path);
}

bool EliminarFichero(const std::string& path) {
  return TheHost().DeleteFile(path);
}
