#include "discovery/CanalesFiles.h"

#include "common/Conversions.h"
#include "common/Log.h"
#include "common/StoredXml.h"
#include "discovery/LogoResolver.h"

namespace {

void ReadRecorded(const XMLNode& version, CanalesRecorded& recorded) {
  // Each value is taken, and logged, only where the file has it.
  const auto take = [&version](const char* attribute, const char* label) {
    const char* value = version.getAttribute(attribute);
    if (value != nullptr) GenerarLogDebug(std::string(label) + value);
    return value;
  };
  if (const char* v = take("VersionOrden", "Version:")) {
    recorded.orderVersion = ConvertStringtoint(v);
  }
  if (const char* v = take("VersionCanales", "VersionCanales:")) {
    recorded.listVersion = ConvertStringtoint(v);
  }
  if (const char* v = take("paquetes", "IDpaquetes:")) recorded.packages = v;
  if (const char* v = take("demarcacion", "demarcacion:")) recorded.demarcation = v;
  if (const char* v = take("TipodeBusqueda", "TipodeBusqueda:")) {
    recorded.searchType = ConvertStringtoint(v);
  }
}

// One "Canal" line of "Canales.xml"; false when it is to be left out.
bool ReadChannel(const XMLNode& node, bool cargarHD, LogoResolver& logos, Canal& canal) {
  // The writer always writes these; without one the line is not ours.
  static constexpr const char* kRequired[] = {
      "NumeroCanal", "ID", "Nombre", "ip", "puerto", "ServiceType", "ServiceNameOriginal"};
  for (const char* name : kRequired) {
    if (node.getAttribute(name) == nullptr) {
      GenerarLogError(std::string("Canal incompleto en Canales.xml, falta ") + name + ": " +
                      Attr(node, "ID"));
      return false;
    }
  }
  const bool sd = ConvertStringtoint(Attr(node, "ServiceType")) == 1;
  if (!cargarHD && !sd) return false;
  canal.numero = NumeroCanal(ConvertStringtoint(Attr(node, "NumeroCanal")));
  canal.id = ConvertStringtoint(Attr(node, "ID"));
  canal.nombre = Attr(node, "Nombre");
  if (const char* logo = node.getAttribute("Logo")) canal.logo = logos.Resolve(logo);
  canal.ip = Attr(node, "ip");
  canal.puerto = ConvertStringtoint(Attr(node, "puerto"));
  canal.HD = !sd;
  canal.operador = true;
  canal.genero = Attr(node, "Genero");
  canal.idSustituto = ConvertStringtoint(Attr(node, "ServiceNameOriginal"));
  return true;
}

}  // namespace

std::optional<CanalesXmlContent> LeerCanalesXml(const std::string& path, bool cargarHD,
                                                LogoResolver& logos) {
  const XMLNode root = ParseStoredFile(path, "Canales", "Canales.xml");
  if (root.isEmpty()) return std::nullopt;
  CanalesXmlContent content;
  ReadRecorded(root.getChildNode("Version"), content.recorded);
  const int count = root.nChildNode("Canal");
  for (int i = 0; i < count; ++i) {
    Canal canal;
    if (ReadChannel(root.getChildNode("Canal", i), cargarHD, logos, canal)) {
      content.canales.push_back(std::move(canal));
    }
  }
  return content;
}

std::vector<Canal> LeerCanalesExternos(const std::string& path, LogoResolver& logos) {
  std::vector<Canal> canales;
  const XMLNode root = ParseStoredFile(path, "Canales", "canalesexternos.xml");
  const int count = root.nChildNode("Canal");
  for (int i = 0; i < count; ++i) {
    const XMLNode node = root.getChildNode("Canal", i);
    bool complete = true;
    for (const char* name : {"NumeroCanal", "ID", "Nombre", "BrastokeTV", "servidor"}) {
      if (node.getAttribute(name) == nullptr) complete = false;
    }
    if (!complete) continue;

    Canal canal;
    canal.numero = NumeroCanal(ConvertStringtoint(Attr(node, "NumeroCanal")));
    canal.id = ConvertStringtoint(Attr(node, "ID"));
    canal.nombre = Attr(node, "Nombre");
    canal.operador = Attr(node, "BrastokeTV") == "1";
    if (const char* logo = node.getAttribute("Logo")) {
      canal.logo = logos.ResolveExternal(logo, canal.operador);
    }
    canal.ip = Attr(node, "servidor");
    canal.puerto = ConvertStringtoint(Attr(node, "puerto"));
    canal.HD = Attr(node, "HD") == "1";
    canal.genero = Attr(node, "Genero");
    const char* replacement = node.getAttribute("ServiceNameOriginal");
    canal.idSustituto = replacement != nullptr ? ConvertStringtoint(replacement) : canal.id;
    canales.push_back(std::move(canal));
  }
  return canales;
}

std::vector<OrdenCanal> LeerOrdenes(const std::string& path) {
  std::vector<OrdenCanal> ordenes;
  const XMLNode root = ParseStoredFile(path, "ordenacion", "orden.xml");
  const int count = root.nChildNode("orden");
  for (int i = 0; i < count; ++i) {
    const XMLNode node = root.getChildNode("orden", i);
    const char* id = node.getAttribute("ID");
    if (id == nullptr) continue;
    OrdenCanal orden;
    orden.id = ConvertStringtoint(id);
    orden.suprimir = Attr(node, "Suprimir") == "1";
    const char* numero = node.getAttribute("NumeroCanal");
    orden.renumerar = numero != nullptr;
    if (numero != nullptr) orden.numero = ConvertStringtoint(numero);
    // Neither a removal nor a number: nothing to apply.
    if (orden.suprimir || orden.renumerar) ordenes.push_back(orden);
  }
  return ordenes;
}
