#include "backend/Configuracion.h"

#include <rapidjson/document.h>

#include "common/DatosConfiguracion.h"
#include "common/HostServices.h"
#include "common/Http.h"
#include "common/SettingValues.h"
#include "common/StorageLayout.h"
#include "common/Utils.h"
#include "common/XMLNode.h"

namespace {

const char* const kPerfilCliente = "/appserver/bktv.do?action=getClientProfile";
const char* const kPerfilPlataforma = "/appserver/bktv.do?action=getPlatformProfile";
constexpr int kAvisoSinServidor = 30514;

std::string Pedir(const char* path) {
  http cliente;
  std::string body =
      cliente.ObtenerStringhttp(httpHostQuorvinaConfiguracion, PuertoHttpQuorvina, path);
  SuprimirSaltos(body);
  return body;
}

// The object "resultData" of a parsed answer, or null.
const rapidjson::Value* ResultData(const rapidjson::Document& doc) {
  if (!doc.IsObject()) return nullptr;
  const auto it = doc.FindMember("resultData");
  if (it == doc.MemberEnd() || !it->value.IsObject()) return nullptr;
  return &it->value;
}

const rapidjson::Value* Member(const rapidjson::Value& object, const char* name) {
  const auto it = object.FindMember(name);
  return it == object.MemberEnd() ? nullptr : &it->value;
}

void CargarPaquetes(DatosConfiguracion& conf, const std::string& paquetes) {
  conf.paquetes = paquetes;
  conf.ListaPaquetes = split(paquetes, '|');
}

}  // namespace

Configuracion::Configuracion() {
  SetThreadName("configuracion");
  m_ruta = PathCombine(PathPayloadBase, m_fichero);
}

Configuracion::~Configuracion() = default;

bool Configuracion::ObtenerConfiguracion() {
  if (ObtenerConfiguracionhttp()) return true;
  return CargarConfiguracionhttp();
}

bool Configuracion::ObtenerConfiguracionhttp() {
  DatosConfiguracion& conf = configuracionquorvina;

  const std::string cliente = Pedir(kPerfilCliente);
  if (cliente.empty()) {
    if (detalleepg || TipoGrabacionPorDefecto != 2) {
      NotificarCadena(NoticeKind::Error, kAvisoSinServidor);
    }
    return false;
  }
  GenerarLogDebug("ObtenerConfiguracionhttp " + cliente);
  GenerarLogDebug("Parse configuracion");
  rapidjson::Document perfil;
  perfil.Parse(cliente.c_str());
  GenerarLogDebug("Comprobacion de parametros");
  if (perfil.HasParseError()) {
    GenerarLogError("Perfil de cliente no valido: JSON mal formado");
    return false;
  }
  const rapidjson::Value* datos = ResultData(perfil);
  const rapidjson::Value* paquetes = datos ? Member(*datos, "tvPackages") : nullptr;
  const rapidjson::Value* offset = datos ? Member(*datos, "gmtOffset") : nullptr;
  const rapidjson::Value* demarcacion = datos ? Member(*datos, "demarcation") : nullptr;
  if (paquetes == nullptr || !paquetes->IsString() || offset == nullptr || !offset->IsInt() ||
      demarcacion == nullptr || !demarcacion->IsInt()) {
    GenerarLogError("Perfil de cliente no valido: faltan tvPackages, gmtOffset o demarcation");
    return false;
  }

  GenerarLogDebug("recogida de parametros");
  conf.HorasDiferencias = offset->GetInt();
  conf.Provincia = convertInttoString(demarcacion->GetInt());
  GenerarLogDebug("carga de paquetes");
  CargarPaquetes(conf, paquetes->GetString());
  GenerarLogDebug("ObtenerConfiguracionhttp:" + conf.paquetes + "-" + conf.Provincia + "-" +
                  convertInttoString(conf.HorasDiferencias));
  if (const rapidjson::Value* hdtv = Member(*datos, "hdtv")) {
    if (hdtv->IsInt()) conf.CargarCanalesHD = hdtv->GetInt() != 0;
  }

  const std::string plataforma = Pedir(kPerfilPlataforma);
  GenerarLogDebug("ObtenerConfiguracionhttp " + plataforma);
  rapidjson::Document perfilPlataforma;
  perfilPlataforma.Parse(plataforma.c_str());
  if (perfilPlataforma.HasParseError()) {
    GenerarLogError("Perfil de plataforma no valido: JSON mal formado");
    return false;
  }
  const rapidjson::Value* datosPlataforma = ResultData(perfilPlataforma);
  const rapidjson::Value* dvb = datosPlataforma ? Member(*datosPlataforma, "dvbConfig") : nullptr;
  const rapidjson::Value* entrada =
      dvb != nullptr && dvb->IsObject() ? Member(*dvb, "dvbEntryPoint") : nullptr;
  if (entrada == nullptr || !entrada->IsString()) {
    GenerarLogError("Perfil de plataforma no valido: falta dvbEntryPoint");
    return false;
  }

  const std::string puntoEntrada = entrada->GetString();
  GenerarLogDebug("ObtenerConfiguracionhttp " + puntoEntrada);
  const std::vector<std::string> partes = split(puntoEntrada, ':');
  if (partes.size() != 2) {
    GenerarLogError("Punto de entrada DVB no valido: " + puntoEntrada);
    return false;
  }
  conf.IPInicial = partes[0];
  conf.PuertoInicial = ConvertStringtoint(partes[1]);
  m_obtenida = true;
  GrabarConfiguracionhttp();
  return true;
}

bool Configuracion::CargarConfiguracionhttp() {
  XMLResults resultado{};
  XMLNode raiz = XMLNode::parseFile(DeUTF8a1252(m_ruta).c_str(), "Configuracion", &resultado);
  // A fresh installation has no cache yet: nothing is wrong then.
  if (resultado.error == eXMLErrorFileNotFound) {
    GenerarLogDebug("Configuracion.xml no existe todavia");
    return false;
  }
  if (resultado.error != eXMLErrorNone && resultado.error != eXMLErrorMissingEndTag) {
    GenerarLogError(std::string("Configuracion.xml no cargado: ") +
                    XMLNode::getError(resultado.error));
    return false;
  }
  if (raiz.isEmpty()) return false;

  DatosConfiguracion& conf = configuracionquorvina;
  XMLNode parametros = raiz.getChildNode("Parametros");
  if (const char* v = parametros.getAttribute("paquetes")) CargarPaquetes(conf, v);
  if (const char* v = parametros.getAttribute("HorasDiferencias")) {
    conf.HorasDiferencias = ConvertStringtoint(v);
  }
  if (const char* v = parametros.getAttribute("CargarCanalesHD")) {
    conf.CargarCanalesHD = ConvertStringtobool(v);
  }
  if (const char* v = parametros.getAttribute("IPInicial")) conf.IPInicial = v;
  if (const char* v = parametros.getAttribute("PuertoInicial")) {
    conf.PuertoInicial = ConvertStringtoint(v);
  }
  if (const char* v = parametros.getAttribute("Provincia")) conf.Provincia = v;
  return true;
}

std::string Configuracion::TextoConfiguracion() {
  const DatosConfiguracion& conf = configuracionquorvina;
  std::string texto = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Configuracion>\n<Parametros ";
  texto += "paquetes=\"" + conf.paquetes + "\" ";
  texto += "HorasDiferencias=\"" + convertInttoString(conf.HorasDiferencias) + "\" ";
  texto += std::string("CargarCanalesHD=\"") + (conf.CargarCanalesHD ? "1" : "0") + "\" ";
  texto += "IPInicial=\"" + conf.IPInicial + "\" ";
  texto += "PuertoInicial=\"" + convertInttoString(conf.PuertoInicial) + "\" ";
  texto += "Provincia=\"" + conf.Provincia + "\" ";
  texto += "/>\n</Configuracion>\n";
  return texto;
}

void Configuracion::GrabarConfiguracionhttp() {
  if (!EscribirFichero(m_ruta, TextoConfiguracion())) {
    GenerarLogError("Configuracion.xml no se ha podido escribir");
  }
}
