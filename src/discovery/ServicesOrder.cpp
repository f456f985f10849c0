#include "discovery/ServicesOrder.h"

#include "common/DatosConfiguracion.h"
#include "common/StorageLayout.h"
#include "common/Utils.h"
#include "discovery/ServiceList.h"

const char* const FicheroServiceOrder = "05_0000.xml";

void ServicesOrder::CargarOrden() {
  CargarOrden(PathPayloadBase, configuracionquorvina.paquetes, configuracionquorvina.ListaPaquetes);
}

void ServicesOrder::CargarOrden(const std::string& folder, const std::string& packages,
                                const std::vector<std::string>& packageList) {
  subscribed_.clear();
  full_.clear();
  const XMLNode record = ServiceList::OpenRecord(folder, FicheroServiceOrder, version_);
  if (record.isEmpty()) return;

  const int count = record.nChildNode();
  for (int i = 0; i < count; ++i) {
    const XMLNode package = record.getChildNode(i);
    const char* text = package.getChildNode(0).getText(0);
    const std::string name = text == nullptr ? std::string() : std::string(text);
    if (packages.empty() || ExistInvector(packageList, name)) {
      ProcesarOrdendedelServicio(package, subscribed_);
    }
    ProcesarOrdendedelServicio(package, full_);
  }
}

void ServicesOrder::ProcesarOrdendedelServicio(const XMLNode& package, Orden& order) {
  const int count = package.nChildNode("Service");
  for (int i = 0; i < count; ++i) {
    const XMLNode service = package.getChildNode("Service", i);
    const char* name = service.getChildNode("TextualID").getAttribute("ServiceName");
    const char* number = service.getChildNode("LogicalChannelNumber").getText(0);
    // A service that cannot be named or numbered cannot be placed.
    if (name == nullptr || number == nullptr) continue;
    order.emplace(name, ConvertStringtoint(number));
  }
}
