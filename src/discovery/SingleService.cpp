#include "discovery/SingleService.h"

#include <strings.h>

#include "common/Conversions.h"

XMLNode NodoActual;

namespace {

bool Named(const XMLNode& node, const char* name) {
  const char* own = node.getName();
  return own != nullptr && strcasecmp(own, name) == 0;
}

std::string Text(const XMLNode& node) {
  const char* text = node.getText(0);
  return text == nullptr ? std::string() : std::string(text);
}

// Leaves `field` as it was when the attribute is absent.
void TakeAttribute(const XMLNode& node, const char* name, std::string& field) {
  const char* value = node.getAttribute(name);
  if (value != nullptr) field = value;
}

}  // namespace

void SingleService::ProcesarSingleService(const XMLNode& element) {
  Element = element;
  const int children = element.nChildNode();
  for (int i = 0; i < children; ++i) {
    NodoActual = element.getChildNode(i);
    if (Named(NodoActual, "ServiceLocation")) {
      ProcesarServiceLocation();
    } else if (Named(NodoActual, "TextualIdentifier")) {
      ProcesarTextualIdentifier();
    } else if (Named(NodoActual, "SI")) {
      ProcesarSI();
    }
  }
  NodoActual = XMLNode();
}

void SingleService::ProcesarServiceLocation() {
  const XMLNode location = NodoActual.getChildNode(0);
  const char* address = location.getAttribute("Address");
  const char* port = location.getAttribute("Port");
  Address = address == nullptr ? std::string() : std::string(address);
  Port = port == nullptr ? 0 : ConvertStringtoint(port);
}

void SingleService::ProcesarTextualIdentifier() {
  const char* name = NodoActual.getAttribute("ServiceName");
  if (name != nullptr) {
    ServiceName = name;
    ServiceNameOriginal = name;
  }
  TakeAttribute(NodoActual, "LogoURI", LogoURI);
}

void SingleService::ProcesarSI() {
  const char* type = NodoActual.getAttribute("ServiceType");
  ServiceType = type == nullptr ? std::string() : std::string(type);
  const int children = NodoActual.nChildNode();
  for (int i = 0; i < children; ++i) {
    const XMLNode child = NodoActual.getChildNode(i);
    if (Named(child, "Name")) {
      Name = Text(child);
    } else if (Named(child, "ShortName")) {
      ShortName = Text(child);
    } else if (Named(child, "Description")) {
      Description = Text(child);
    } else if (Named(child, "Genre")) {
      Genre = Text(child.getChildNode(0));
    } else if (Named(child, "ReplacementService")) {
      TakeAttribute(child.getChildNode(0), "ServiceName", ServiceNameOriginal);
    } else if (Named(child, "ParentalGuidance")) {
      ParentalGuidance = Text(child.getChildNode(0).getChildNode(0));
    }
  }
}
