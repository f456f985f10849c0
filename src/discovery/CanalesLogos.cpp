// Channel logos: the downloaded copy in the logo folder, the image from the
// application server, the shipped image, or the default one.
#include "addon/AddonBinding.h"
#include "addon/Settings.h"
#include "addon/StorageLayout.h"
#include "backend/Http.h"
#include "backend/HttpGlobals.h"
#include "common/Utils.h"
#include "discovery/Canales.h"

namespace {

constexpr int kFallbacksWithoutSuccess = 4;

// A name that can stand for a file: not empty and not a folder reference.
bool FileName(const std::string& name) {
  return !name.empty() && name != "." && name != "..";
}

bool Exists(const std::string& path) {
  return XBMC != nullptr && XBMC->FileExists(path.c_str(), false);
}

std::string DefaultLogo() {
  return strClientPath + "/Logos/597.jpg";
}

// The image shipped with the add-on, or the default one.
std::string ShippedLogo(const std::string& value) {
  const std::string name = Canales::NombreLogotipo(value);
  const std::string path = strClientPath + "/Logos/" + name;
  GenerarLogDebug("!LogoCargado:" + path);
  return FileName(name) && Exists(path) ? path : DefaultLogo();
}

}  // namespace

std::string Canales::NombreLogotipo(const std::string& logo) {
  const size_t slash = logo.rfind('/');
  if (slash == std::string::npos || slash == 0) return logo;
  return logo.substr(slash + 1);
}

std::string Canales::ObtenerLogotipo(const std::string& logo) {
  const std::string name = NombreLogotipo(logo);
  if (!FileName(name) || PathLogos.empty()) return std::string();
  std::string local = PathCombine(PathLogos, name);
  if (Exists(local)) return local;
  if (Parar()) return std::string();
  // One client per download: a load may run on any thread.
  http client;
  if (!client.ObtenerFicherohttp(httpHostQuorvinaConfiguracion, PuertoHttpQuorvina,
                                 httpBaseLogos + logo, local)) {
    return std::string();
  }
  return local;
}

std::string Canales::ResolveLogo(const std::string& value, LogoState& state) {
  // A stopping add-on does not wait on the logo server.
  if (state.download && !Parar()) {
    GenerarLogDebug("Obteniendo Logotipo:" + value);
    std::string downloaded = ObtenerLogotipo(value);
    if (!downloaded.empty()) {
      state.succeeded = true;
      return downloaded;
    }
  }
  std::string logo = ShippedLogo(value);
  ++state.fallbacks;
  if (state.fallbacks >= kFallbacksWithoutSuccess && !state.succeeded) state.download = false;
  return logo;
}

std::string Canales::ResolveExternalLogo(const std::string& value, bool operador) {
  if (operador) {
    GenerarLogDebug("Obteniendo Logotipo:" + value);
    std::string downloaded = ObtenerLogotipo(value);
    if (!downloaded.empty()) return downloaded;
  }
  return ShippedLogo(value);
}
