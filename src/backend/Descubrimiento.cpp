// The controller's discovery pass: from the national entry point to the
// subscriber's regional server, then the line-up from its records.
#include "backend/Quorvina.h"
#include "common/DatosConfiguracion.h"
#include "common/StorageLayout.h"
#include "common/Utils.h"
#include "common/XMLNode.h"
#include "discovery/Canales.h"
#include "discovery/PayLoads.h"
#include "epg/EPGQuorvina.h"

namespace {
constexpr uint32_t kEsperaLineUpMs = 100;
}

std::string DireccionProvincia;
int PuertoProvincia = 0;
std::string SufijoDominioOperador = ".quorvina.es";

void Quorvina::ObtenerDireccionyPuertoProvincia(const std::string& xml) {
  GenerarLogDebug("ObtenerDireccionyPuertoProvincia Entrada");
  if (CoincidePatronInicio(xml, "<?xml")) {
    const std::string buscado = "DEM_" + configuracionquorvina.Provincia + SufijoDominioOperador;
    XMLNode raiz = XMLNode::parseString(xml.c_str(), "ServiceDiscovery");
    XMLNode registro = raiz.getChildNode(0);
    const int total = registro.nChildNode("ServiceProvider");
    for (int i = 0; i < total; ++i) {
      XMLNode proveedor = registro.getChildNode("ServiceProvider", i);
      const char* dominio = proveedor.getAttribute("DomainName");
      if (dominio == nullptr || buscado != dominio) continue;
      XMLNode oferta = proveedor.getChildNode(0).getChildNode(0);
      const char* direccion = oferta.getAttribute("Address");
      const char* puerto = oferta.getAttribute("Port");
      DireccionProvincia = direccion != nullptr ? direccion : "";
      PuertoProvincia = puerto != nullptr ? ConvertStringtoint(puerto) : 0;
      return;
    }
  }
  GenerarLogDebug("ObtenerDireccionyPuertoProvincia Salida");
}

bool Quorvina::ObtenerDatosBasicos(bool conGuia) {
  const DatosConfiguracion& conf = configuracionquorvina;
  PayLoads entrada(conf.IPInicial, conf.PuertoInicial, PathPayloadBase);
  GenerarLogDebug("ObtenerDatosQuorvina Entrada 1");
  GenerarLogDebug("ObtenerDatosQuorvina Configuracion:" + conf.IPInicial + "-" +
                  convertInttoString(conf.PuertoInicial));
  DireccionProvincia.clear();
  if (!entrada.CargarPayLoads()) return false;

  GenerarLogDebug("ObtenerDatosQuorvina 1");
  ObtenerDireccionyPuertoProvincia(entrada.ObtenerXMLTotal());
  entrada.Limpiar();
  GenerarLogDebug("ObtenerDatosQuorvina DireccionProvincia: " + DireccionProvincia);
  if (DireccionProvincia.empty()) return false;

  GenerarLogDebug("PayLoads DireccionProvincia: " + DireccionProvincia + "-" +
                  convertInttoString(PuertoProvincia));
  PayLoads regional(DireccionProvincia, PuertoProvincia, PathPayloadBase);
  if (!regional.CargarPayLoads()) return false;

  GenerarLogDebug("Salida PayLoads DireccionProvincia");
  GenerarLogDebug("Entrada CargarXmlCanales ObtenerDatosQuorvina");
  CargandoCanales = true;
  m_canales->CargarCanales();
  CargandoCanales = false;
  GenerarLogDebug("Salida CargarXmlCanales ObtenerDatosQuorvina");
  if (conGuia) {
    // The guide is received for the channels of the line-up, which the
    // channel list may still be rebuilding in its own thread.
    while (m_canales->Running() && !PararProceso) SleepFor(kEsperaLineUpMs);
    const std::string guia = regional.ObtenerXMLPayLoad("06");
    if (m_canales->NumeroCanales() == 0) {
      GenerarLogError("Sin canales: la guia se recibira en la siguiente pasada");
    } else if (!guia.empty()) {
      m_epg->GenerarEPG(guia);
    }
  }
  regional.Limpiar();
  return true;
}
