#include "services/DescripcionesUpnp.h"

#include <initializer_list>
#include <utility>

const char* const kWebOperador = "http://www.brastoketv.es/";

namespace {
// Every document uses "\r\n" line ends and ends with an empty line.
constexpr const char* kFin = "\r\n";

struct Argumento {
  const char* nombre;
  bool entrada;
  const char* variable;
};

struct Accion {
  const char* nombre;
  std::initializer_list<Argumento> argumentos;
};

struct Variable {
  const char* nombre;
  const char* tipo;
  bool eventos;
  std::initializer_list<const char*> permitidos;
};

void Elemento(std::string& doc, const char* nombre, const std::string& valor) {
  doc += std::string("<") + nombre + ">" + valor + "</" + nombre + ">" + kFin;
}

std::string Scpd(std::initializer_list<Accion> acciones,
                 std::initializer_list<Variable> variables) {
  std::string doc = std::string("<?xml version=\"1.0\"?>") + kFin +
                    "<scpd xmlns=\"urn:schemas-upnp-org:service-1-0\">" + kFin + "<specVersion>" +
                    kFin;
  Elemento(doc, "major", "1");
  Elemento(doc, "minor", "0");
  doc += std::string("</specVersion>") + kFin + "<actionList>" + kFin;
  for (const Accion& accion : acciones) {
    doc += std::string("<action>") + kFin;
    Elemento(doc, "name", accion.nombre);
    doc += std::string("<argumentList>") + kFin;
    for (const Argumento& a : accion.argumentos) {
      doc += std::string("<argument>") + kFin;
      Elemento(doc, "name", a.nombre);
      Elemento(doc, "direction", a.entrada ? "in" : "out");
      Elemento(doc, "relatedStateVariable", a.variable);
      doc += std::string("</argument>") + kFin;
    }
    doc += std::string("</argumentList>") + kFin + "</action>" + kFin;
  }
  doc += std::string("</actionList>") + kFin + "<serviceStateTable>" + kFin;
  for (const Variable& v : variables) {
    doc += std::string("<stateVariable sendEvents=\"") + (v.eventos ? "yes" : "no") + "\">" + kFin;
    Elemento(doc, "name", v.nombre);
    Elemento(doc, "dataType", v.tipo);
    if (v.permitidos.size() > 0) {
      doc += std::string("<allowedValueList>") + kFin;
      for (const char* valor : v.permitidos) Elemento(doc, "allowedValue", valor);
      doc += std::string("</allowedValueList>") + kFin;
    }
    doc += std::string("</stateVariable>") + kFin;
  }
  doc += std::string("</serviceStateTable>") + kFin + "</scpd>" + kFin + kFin;
  return doc;
}

std::string Dispositivo() {
  std::string doc = std::string("<?xml version=\"1.0\"?>") + kFin +
                    "<root xmlns=\"urn:schemas-upnp-org:device-1-0\">" + kFin + "<specVersion>" +
                    kFin;
  Elemento(doc, "major", "1");
  Elemento(doc, "minor", "0");
  doc += std::string("</specVersion>") + kFin + "<device>" + kFin;
  const std::pair<const char*, std::string> campos[] = {
      {"deviceType", "urn:schemas-upnp-org:device:MediaServer:1"},
      {"friendlyName", "Brastoke TV"},
      {"manufacturer", "Tolvenar"},
      {"manufacturerURL", kWebOperador},
      {"modelDescription", "Brastoke TV"},
      {"modelName", "Brastoke TV"},
      {"modelNumber", "1.0"},
      {"modelURL", kWebOperador},
      {"serialNumber", "1111111111"},
      {"UDN", "uuid:8cbe6710-50a2-11e4-916c-0800200c9a66"},
  };
  for (const auto& campo : campos) Elemento(doc, campo.first, campo.second);
  doc += std::string("<serviceList>") + kFin;
  const std::pair<const char*, const char*> servicios[] = {
      {"ContentDirectory", "/contentDirectory.xml"},
      {"ConnectionManager", "/connectionManager.xml"},
  };
  for (const auto& servicio : servicios) {
    doc += std::string("<service>") + kFin;
    Elemento(doc, "serviceType",
             std::string("urn:schemas-upnp-org:service:") + servicio.first + ":1");
    Elemento(doc, "serviceId", std::string("urn:upnp-org:serviceId:") + servicio.first);
    Elemento(doc, "SCPDURL", servicio.second);
    Elemento(doc, "controlURL", "/serviceControl");
    Elemento(doc, "eventSubURL", "/eventControl");
    doc += std::string("</service>") + kFin;
  }
  doc += std::string("</serviceList>") + kFin + "</device>" + kFin + "</root>" + kFin + kFin;
  return doc;
}
}  // namespace

const std::string& DocumentoDispositivo() {
  static const std::string doc = Dispositivo();
  return doc;
}

const std::string& DocumentoContentDirectory() {
  static const std::string doc = Scpd(
      {
          {"GetSearchCapabilities", {{"SearchCaps", false, "SearchCapabilities"}}},
          {"GetSortCapabilities", {{"SortCaps", false, "SortCapabilities"}}},
          {"GetSystemUpdateID", {{"Id", false, "SystemUpdateID"}}},
          {"Browse",
           {{"ObjectID", true, "A_ARG_TYPE_ObjectID"},
            {"BrowseFlag", true, "A_ARG_TYPE_BrowseFlag"},
            {"Filter", true, "A_ARG_TYPE_Filter"},
            {"StartingIndex", true, "A_ARG_TYPE_Index"},
            {"RequestedCount", true, "A_ARG_TYPE_Count"},
            {"SortCriteria", true, "A_ARG_TYPE_SortCriteria"},
            {"Result", false, "A_ARG_TYPE_Result"},
            {"NumberReturned", false, "A_ARG_TYPE_Count"},
            {"TotalMatches", false, "A_ARG_TYPE_Count"},
            {"UpdateID", false, "A_ARG_TYPE_UpdateID"}}},
          {"Search",
           {{"ContainerID", true, "A_ARG_TYPE_ObjectID"},
            {"SearchCriteria", true, "A_ARG_TYPE_SearchCriteria"},
            {"Filter", true, "A_ARG_TYPE_Filter"},
            {"StartingIndex", true, "A_ARG_TYPE_Index"},
            {"RequestedCount", true, "A_ARG_TYPE_Count"},
            {"SortCriteria", true, "A_ARG_TYPE_SortCriteria"},
            {"Result", false, "A_ARG_TYPE_Result"},
            {"NumberReturned", false, "A_ARG_TYPE_Count"},
            {"TotalMatches", false, "A_ARG_TYPE_Count"},
            {"UpdateID", false, "A_ARG_TYPE_UpdateID"}}},
          {"UpdateObject",
           {{"ObjectID", true, "A_ARG_TYPE_ObjectID"},
            {"CurrentTagValue", true, "A_ARG_TYPE_TagValueList"},
            {"NewTagValue", true, "A_ARG_TYPE_TagValueList"}}},
          {"X_GetRemoteSharingStatus", {{"Status", false, "X_RemoteSharingEnabled"}}},
      },
      {
          {"A_ARG_TYPE_ObjectID", "string", false, {}},
          {"A_ARG_TYPE_Result", "string", false, {}},
          {"A_ARG_TYPE_SearchCriteria", "string", false, {}},
          {"A_ARG_TYPE_BrowseFlag", "string", false, {"BrowseMetadata", "BrowseDirectChildren"}},
          {"A_ARG_TYPE_Filter", "string", false, {}},
          {"A_ARG_TYPE_SortCriteria", "string", false, {}},
          {"A_ARG_TYPE_Index", "ui4", false, {}},
          {"A_ARG_TYPE_Count", "ui4", false, {}},
          {"A_ARG_TYPE_UpdateID", "ui4", false, {}},
          {"A_ARG_TYPE_TagValueList", "string", false, {}},
          {"SearchCapabilities", "string", false, {}},
          {"SortCapabilities", "string", false, {}},
          {"SystemUpdateID", "ui4", true, {}},
          {"ContainerUpdateIDs", "string", true, {}},
          {"X_RemoteSharingEnabled", "boolean", true, {}},
      });
  return doc;
}

const std::string& DocumentoConnectionManager() {
  static const std::string doc = Scpd(
      {
          {"GetProtocolInfo",
           {{"Source", false, "SourceProtocolInfo"}, {"Sink", false, "SinkProtocolInfo"}}},
          {"GetCurrentConnectionIDs", {{"ConnectionIDs", false, "CurrentConnectionIDs"}}},
          {"GetCurrentConnectionInfo",
           {{"ConnectionID", true, "A_ARG_TYPE_ConnectionID"},
            {"RcsID", false, "A_ARG_TYPE_RcsID"},
            {"AVTransportID", false, "A_ARG_TYPE_AVTransportID"},
            {"ProtocolInfo", false, "A_ARG_TYPE_ProtocolInfo"},
            {"PeerConnectionManager", false, "A_ARG_TYPE_ConnectionManager"},
            {"PeerConnectionID", false, "A_ARG_TYPE_ConnectionID"},
            {"Direction", false, "A_ARG_TYPE_Direction"},
            {"Status", false, "A_ARG_TYPE_ConnectionStatus"}}},
      },
      {
          {"SourceProtocolInfo", "string", true, {}},
          {"SinkProtocolInfo", "string", true, {}},
          {"CurrentConnectionIDs", "string", true, {}},
          {"A_ARG_TYPE_ConnectionStatus",
           "string",
           false,
           {"OK", "ContentFormatMismatch", "InsufficientBandwidth", "UnreliableChannel",
            "Unknown"}},
          {"A_ARG_TYPE_ConnectionManager", "string", false, {}},
          {"A_ARG_TYPE_Direction", "string", false, {"Input", "Output"}},
          {"A_ARG_TYPE_ProtocolInfo", "string", false, {}},
          {"A_ARG_TYPE_ConnectionID", "i4", false, {}},
          {"A_ARG_TYPE_AVTransportID", "i4", false, {}},
          {"A_ARG_TYPE_RcsID", "i4", false, {}},
      });
  return doc;
}
