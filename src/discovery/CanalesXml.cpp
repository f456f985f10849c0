#include "discovery/CanalesXml.h"

#include <set>

#include "common/Conversions.h"
#include "common/Text.h"

namespace {

// name="value" and one blank; values are written as given.
std::string Attribute(const char* name, const std::string& value) {
  return std::string(name) + "=\"" + value + "\" ";
}

std::string WithoutLineFeeds(std::string text) {
  SustituirSaltosporespacios(text);
  return text;
}

}  // namespace

std::string LineaCanal(int number, const SingleService& service) {
  const std::string logo = service.LogoURI.empty()
                               ? httpLogosBlancos + service.ServiceName + httpExtensionLogosBlancos
                               : WithoutLineFeeds(service.LogoURI);
  return "<Canal " + Attribute("NumeroCanal", convertInttoString(number)) +
         Attribute("ID", service.ServiceName) +
         Attribute("Nombre", stringtoescape(WithoutLineFeeds(service.Name))) +
         Attribute("Genero", stringtoescape(WithoutLineFeeds(service.Genre))) +
         Attribute("Logo", logo) +
         Attribute("ServiceNameOriginal", WithoutLineFeeds(service.ServiceNameOriginal)) +
         Attribute("ServiceType", WithoutLineFeeds(service.ServiceType)) +
         Attribute("ip", service.Address) + Attribute("puerto", convertInttoString(service.Port)) +
         "/>\n";
}

std::string TextoCanalesXml(const CanalesRecorded& recorded, const std::string& lines) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Canales>\n<Version " +
         Attribute("VersionOrden", convertInttoString(recorded.orderVersion)) +
         Attribute("VersionCanales", convertInttoString(recorded.listVersion)) +
         Attribute("paquetes", recorded.packages) + Attribute("demarcacion", recorded.demarcation) +
         Attribute("TipodeBusqueda", convertInttoString(recorded.searchType)) + "/>\n" + lines +
         "</Canales>\n";
}

std::string GenerarLineasCanales(const ServicesOrder::Orden& orden,
                                 const ServicesOrder::Orden& subscribed,
                                 const std::map<std::string, SingleService>& services,
                                 bool todosPaquetes, const std::string& packages,
                                 const ChannelProbe& probe, const StopCheck& stop) {
  std::set<std::string> deadAddresses;
  std::set<std::string> usedNames;
  std::string lines;

  for (const auto& [serviceName, orderNumber] : orden) {
    if (stop && stop()) return std::string();
    const auto mine = subscribed.find(serviceName);
    const int number = todosPaquetes && mine != subscribed.end() ? mine->second : orderNumber;

    const auto found = services.find(serviceName);
    if (found == services.end()) continue;
    const SingleService& service = found->second;
    if (deadAddresses.count(service.Address) != 0) continue;
    // The first service of a name, in service-name order, is the one kept.
    if (usedNames.count(service.Name) != 0) continue;

    const bool explicitlySubscribed = mine != subscribed.end() && !packages.empty();
    if (todosPaquetes && !explicitlySubscribed && !probe(service.Address, service.Port)) {
      deadAddresses.insert(service.Address);
      continue;
    }
    lines += LineaCanal(number, service);
    usedNames.insert(service.Name);
  }
  return lines;
}
