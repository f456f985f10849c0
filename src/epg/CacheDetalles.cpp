#include "epg/CacheDetalles.h"

#include <cstring>

#include "common/Text.h"
#include "common/XMLNode.h"

namespace {

std::string Texto(const XMLNode& node) {
  const char* text = node.getText();
  return text != nullptr ? text : std::string();
}

}  // namespace

std::string GenerarXMLFicheroDetalle(const MapaDetalles& detalles) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Detalles>\n";
  for (const auto& [crid, detalle] : detalles) {
    xml += "<EPG idEPG=\"" + crid + "\">\n";
    for (const CampoDetalle& campo : kCamposDetalle) {
      xml += std::string("<") + campo.name + ">" + stringtoescape(detalle.*campo.field) + "</" +
             campo.name + ">\n";
    }
    xml += "</EPG>\n";
  }
  return xml + "</Detalles>\n";
}

MapaDetalles LeerFicheroDetalle(const std::string& text, const EtiquetasDetalle& etiquetas) {
  MapaDetalles detalles;
  if (text.empty()) return detalles;
  const XMLNode raiz = XMLNode::parseString(text.c_str(), "Detalles");
  const int total = raiz.nChildNode("EPG");
  for (int i = 0; i < total; ++i) {
    const XMLNode programa = raiz.getChildNode("EPG", i);
    const char* crid = programa.getAttribute("idEPG");
    if (crid == nullptr) continue;
    DetalleProgramaEPG detalle;
    bool conResumen = false;
    for (int c = 0; c < programa.nChildNode(); ++c) {
      const XMLNode campo = programa.getChildNode(c);
      const char* name = campo.getName();
      if (name == nullptr) continue;
      if (std::strcmp(name, "PlotOutline") == 0) {
        detalle.plotOutline = Texto(campo);
        conResumen = true;
      } else if (std::strcmp(name, "Plot") == 0) {
        detalle.description = Texto(campo);
      } else {
        for (const CampoDetalle& known : kCamposDetalle) {
          if (std::strcmp(name, known.name) == 0) detalle.*known.field = Texto(campo);
        }
      }
    }
    if (!conResumen) GenerarPlotOutline(detalle, etiquetas);
    detalles.emplace(crid, std::move(detalle));
  }
  return detalles;
}
