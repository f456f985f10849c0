#include "discovery/ServiceList.h"

#include "common/StorageLayout.h"
#include "common/Utils.h"

const char* const FicheroServiceList = "02_0000.xml";

XMLNode ServiceList::OpenRecord(const std::string& folder, const char* file, int& version) {
  // Stored file names are in Windows-1252.
  const std::string path = DeUTF8a1252(PathCombine(folder, file));
  XMLResults results{};
  const XMLNode root = XMLNode::parseFile(path.c_str(), "ServiceDiscovery", &results);
  if (results.error != eXMLErrorNone) return XMLNode();
  XMLNode record = root.getChildNode(0);
  const char* value = record.getAttribute("Version");
  if (value == nullptr) return XMLNode();
  version = ConvertStringtoint(value);
  return record;
}

void ServiceList::CargarServicios() {
  CargarServicios(PathPayloadBase);
}

void ServiceList::CargarServicios(const std::string& folder) {
  services_.clear();
  const XMLNode record = OpenRecord(folder, FicheroServiceList, version_);
  if (record.isEmpty()) return;

  const XMLNode list = record.getChildNode(0);
  const int count = list.nChildNode("SingleService");
  for (int i = 0; i < count; ++i) {
    SingleService service;
    service.ProcesarSingleService(list.getChildNode("SingleService", i));
    // Erase first so the later record replaces the earlier one whole.
    services_.erase(service.ServiceName);
    services_.emplace(service.ServiceName, service);
  }
}
