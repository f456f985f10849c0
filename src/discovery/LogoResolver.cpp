#include "discovery/LogoResolver.h"

#include <utility>

#include "common/HostServices.h"
#include "common/Log.h"
#include "common/Paths.h"

namespace {

constexpr int kFallbacksWithoutSuccess = 4;

// A name that can stand for a file: not empty and not a folder reference.
bool FileName(const std::string& name) {
  return !name.empty() && name != "." && name != "..";
}

}  // namespace

LogoResolver::LogoResolver(std::string logoFolder, std::string clientFolder, Download download,
                           Stop stop)
    : logoFolder_(std::move(logoFolder)),
      clientFolder_(std::move(clientFolder)),
      download_(std::move(download)),
      stop_(std::move(stop)) {}

std::string LogoResolver::DefaultLogo(const std::string& clientFolder) {
  return clientFolder + "/Logos/597.jpg";
}

std::string LogoResolver::NombreLogotipo(const std::string& logo) {
  const size_t slash = logo.rfind('/');
  if (slash == std::string::npos || slash == 0) return logo;
  return logo.substr(slash + 1);
}

std::string LogoResolver::ShippedLogo(const std::string& value) const {
  const std::string name = NombreLogotipo(value);
  const std::string path = clientFolder_ + "/Logos/" + name;
  GenerarLogDebug("!LogoCargado:" + path);
  return FileName(name) && TheHost().FileExists(path) ? path : DefaultLogo(clientFolder_);
}

std::string LogoResolver::ObtenerLogotipo(const std::string& value) {
  const std::string name = NombreLogotipo(value);
  if (!FileName(name) || logoFolder_.empty()) return std::string();
  std::string local = PathCombine(logoFolder_, name);
  if (TheHost().FileExists(local)) return local;
  if (Stopping() || !download_ || !download_(httpBaseLogos + value, local)) return std::string();
  return local;
}

std::string LogoResolver::Resolve(const std::string& value) {
  // A stopping add-on does not wait on the logo server.
  if (download_on_ && !Stopping()) {
    GenerarLogDebug("Obteniendo Logotipo:" + value);
    std::string downloaded = ObtenerLogotipo(value);
    if (!downloaded.empty()) {
      succeeded_ = true;
      return downloaded;
    }
  }
  std::string logo = ShippedLogo(value);
  ++fallbacks_;
  if (fallbacks_ >= kFallbacksWithoutSuccess && !succeeded_) download_on_ = false;
  return logo;
}

std::string LogoResolver::ResolveExternal(const std::string& value, bool operador) {
  if (operador) {
    GenerarLogDebug("Obteniendo Logotipo:" + value);
    std::string downloaded = ObtenerLogotipo(value);
    if (!downloaded.empty()) return downloaded;
  }
  return ShippedLogo(value);
}
