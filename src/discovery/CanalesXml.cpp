// Writing "Canales.xml" from the discovery records.
#include <set>

#include "addon/AddonBinding.h"
#include "addon/StorageLayout.h"
#include "common/Utils.h"
#include "discovery/Canales.h"

namespace {

// name="value" and one blank; values are written as given.
std::string Attribute(const char* name, const std::string& value) {
  return std::string(name) + "=\"" + value + "\" ";
}

std::string WithoutLineFeeds(std::string text) {
  SustituirSaltosporespacios(text);
  return text;
}

std::string ChannelLine(int number, const SingleService& service) {
  const std::string logo =
      service.LogoURI.empty()
          ? Canales::httpLogosBlancos + service.ServiceName + Canales::httpExtensionLogosBlancos
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

}  // namespace

void Canales::GenerarXML() {
  GenerarXML(FilterFromConfiguration());
}

void Canales::GenerarXML(const Filter& filter) {
  const std::string header =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Canales>\n<Version " +
      Attribute("VersionOrden", convertInttoString(m_servicesOrder.Version())) +
      Attribute("VersionCanales", convertInttoString(m_serviceList.Version())) +
      Attribute("paquetes", filter.packages) + Attribute("demarcacion", filter.demarcation) +
      Attribute("TipodeBusqueda", convertInttoString(filter.searchType)) + "/>\n";

  const std::string lines =
      filter.allPackages
          ? GenerarLineasCanales(m_servicesOrder.FullOrder(), true, filter.packages)
          : GenerarLineasCanales(m_servicesOrder.SubscribedOrder(), false, filter.packages);
  // Nothing selected, or stopped half-way: the old file stays.
  if (lines.empty() || Parar() || XBMC == nullptr) return;

  const std::string text = header + lines + "</Canales>\n";
  void* file = XBMC->OpenFileForWrite(PathCompletoCanales.c_str(), true);
  if (file == nullptr) return;
  const ssize_t written = XBMC->WriteFile(file, text.data(), text.size());
  XBMC->CloseFile(file);
  if (written != static_cast<ssize_t>(text.size())) {
    GenerarLogError("Canales.xml escrito de forma incompleta");
  }
}

std::string Canales::GenerarLineasCanales(const ServicesOrder::Orden& orden, bool todosPaquetes) {
  return GenerarLineasCanales(orden, todosPaquetes, FilterFromConfiguration().packages);
}

std::string Canales::GenerarLineasCanales(const ServicesOrder::Orden& orden, bool todosPaquetes,
                                          const std::string& packages) {
  const auto& services = m_serviceList.Services();
  const ServicesOrder::Orden& subscribed = m_servicesOrder.SubscribedOrder();
  std::set<std::string> deadAddresses;
  std::set<std::string> usedNames;
  std::string lines;

  for (const auto& [serviceName, orderNumber] : orden) {
    if (Parar()) return std::string();
    const auto mine = subscribed.find(serviceName);
    const int number = todosPaquetes && mine != subscribed.end() ? mine->second : orderNumber;

    const auto found = services.find(serviceName);
    if (found == services.end()) continue;
    const SingleService& service = found->second;
    if (deadAddresses.count(service.Address) != 0) continue;
    // The first service of a name, in service-name order, is the one kept.
    if (usedNames.count(service.Name) != 0) continue;

    const bool explicitlySubscribed = mine != subscribed.end() && !packages.empty();
    if (todosPaquetes && !explicitlySubscribed && !m_probe(service.Address, service.Port)) {
      deadAddresses.insert(service.Address);
      continue;
    }
    lines += ChannelLine(number, service);
    usedNames.insert(service.Name);
  }
  return lines;
}
