#include "epg/MapEPG.h"

#include <cstring>

#include "common/XMLNode.h"
#include "epg/GuideFields.h"

namespace {

constexpr size_t kAnchoSegmento = 4;

std::string Atributo(const XMLNode& node, const char* name) {
  const char* value = node.getAttribute(name);
  return value != nullptr ? value : std::string();
}

// Calls `visit(dvbstp, index)` for each day of every "EPG" BCG of the record.
template <typename Visit>
void RecorrerDias(const std::string& registro, Visit visit) {
  const XMLNode raiz = XMLNode::parseString(registro.c_str(), "ServiceDiscovery");
  const XMLNode discovery = raiz.getChildNode(0);
  const int bcgs = discovery.nChildNode("BCG");
  for (int b = 0; b < bcgs; ++b) {
    const XMLNode bcg = discovery.getChildNode("BCG", b);
    if (Atributo(bcg, "Id") != "EPG") continue;
    const XMLNode transporte = bcg.getChildNode("TransportMode");
    const int dias = transporte.nChildNode("DVBSTP");
    for (int i = 0; i < dias; ++i) visit(transporte.getChildNode("DVBSTP", i), i);
  }
}

}  // namespace

std::string EscribirMapEPG(const TablaDias& dias) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
  for (const auto& entry : dias) {
    const MapEPG& dia = entry.second;
    xml += "<MapEPG NumeroDia=\"" + std::to_string(dia.NumeroDia) + "\" PrimerSegmento=\"" +
           dia.PrimerSegmento + "\" Version=\"" + std::to_string(dia.Version) +
           "\" EstaCargado=\"" + (dia.EstaCargado ? "1" : "0") + "\" />";
  }
  return xml;
}

TablaDias LeerMapEPG(const std::string& text) {
  TablaDias dias;
  if (text.empty()) return dias;
  XMLNode top = XMLNode::parseString(text.c_str());
  // A lone element stands for the document; its parent is the top node.
  if (top.getName() != nullptr && std::strcmp(top.getName(), "MapEPG") == 0) {
    top = top.getParentNode();
  }
  const int total = top.nChildNode("MapEPG");
  for (int i = 0; i < total; ++i) {
    const XMLNode node = top.getChildNode("MapEPG", i);
    MapEPG dia;
    dia.NumeroDia = LeerEntero(node.getAttribute("NumeroDia"));
    dia.PrimerSegmento = Atributo(node, "PrimerSegmento");
    const char* version = node.getAttribute("Version");
    dia.Version = version != nullptr ? LeerEntero(version) : 99;
    dia.EstaCargado = Atributo(node, "EstaCargado") == "1";
    dias[dia.PrimerSegmento] = dia;
  }
  return dias;
}

TablaDias GenerarNuevoMapEPG(const std::string& registro) {
  TablaDias dias;
  RecorrerDias(registro, [&dias](const XMLNode& dvbstp, int numero) {
    const int payloads = dvbstp.nChildNode("PayloadId");
    for (int p = 0; p < payloads; ++p) {
      const XMLNode payload = dvbstp.getChildNode("PayloadId", p);
      const int segmentos = payload.nChildNode("Segment");
      if (segmentos == 0) continue;
      MapEPG dia;
      dia.NumeroDia = numero;
      dia.PrimerSegmento = Atributo(payload.getChildNode("Segment", 0), "ID");
      for (int s = 0; s < segmentos; ++s) {
        const char* version = payload.getChildNode("Segment", s).getAttribute("Version");
        if (version != nullptr) dia.Version += LeerEntero(version);
      }
      dias.emplace(dia.PrimerSegmento, dia);
      return;
    }
  });
  return dias;
}

DiaGuia SegmentosDia(const std::string& registro, int numeroDia) {
  DiaGuia dia;
  RecorrerDias(registro, [&dia, numeroDia](const XMLNode& dvbstp, int numero) {
    if (numero != numeroDia) return;
    dia.address = Atributo(dvbstp, "Address");
    dia.port = LeerEntero(dvbstp.getAttribute("Port"));
    const int payloads = dvbstp.nChildNode("PayloadId");
    for (int p = 0; p < payloads; ++p) {
      const XMLNode payload = dvbstp.getChildNode("PayloadId", p);
      if (NormalizarId(Atributo(payload, "Id")) != "f1") continue;
      const int segmentos = payload.nChildNode("Segment");
      for (int s = 0; s < segmentos; ++s) {
        dia.segments.push_back(
            NormalizarId(Atributo(payload.getChildNode("Segment", s), "ID"), kAnchoSegmento));
      }
    }
  });
  return dia;
}
