// The subscriber's additions to the line-up and the derived maps: external
// channels, renumbering and removals, order keys, hidden replaced channels,
// genre groups and the on-demand channel.
#include <climits>
#include <cstdio>

#include "addon/Settings.h"
#include "addon/StorageLayout.h"
#include "common/Utils.h"
#include "discovery/Canales.h"

namespace {

constexpr int kNumeroSinCanal = 9999;
// Keys are int; very large numbers are held back so that raising a key
// until it is free cannot overflow.
constexpr int kMaxFirstKey = INT_MAX - 1000000;
constexpr int kMinFirstKey = INT_MIN / 2;
// The host's group name field, terminator included.
constexpr size_t kGroupNameSize = sizeof(PVR_CHANNEL_GROUP::strGroupName);

std::string Attr(const XMLNode& node, const char* name) {
  const char* value = node.getAttribute(name);
  return value == nullptr ? std::string() : std::string(value);
}

int Numero(const std::string& text) {
  const int number = ConvertStringtoint(text);
  return number == 0 ? kNumeroSinCanal : number;
}

int FirstKey(int numero) {
  const long long key = static_cast<long long>(numero) * 10;
  if (key > kMaxFirstKey) return kMaxFirstKey;
  if (key < kMinFirstKey) return kMinFirstKey;
  return static_cast<int>(key);
}

// Cut to the host's field without splitting a UTF-8 character.
std::string GroupName(const std::string& genre) {
  if (genre.size() < kGroupNameSize) return genre;
  size_t size = kGroupNameSize - 1;
  while (size > 0 && (static_cast<unsigned char>(genre[size]) & 0xC0) == 0x80) --size;
  return genre.substr(0, size);
}

void AddGroup(GroupMap& groups, const std::string& name) {
  PVR_CHANNEL_GROUP group{};
  snprintf(group.strGroupName, sizeof(group.strGroupName), "%s", name.c_str());
  group.bIsRadio = false;
  groups.emplace(name, group);
}

}  // namespace

void Canales::CargarCanalesExternos(ChannelMap& canales, ChannelMap& completos) {
  if (FicheroCanalesExternos.empty()) {
    FicheroCanalesExternos = PathCombine(PathCanales, "canalesexternos.xml");
  }
  const XMLNode root = ParseStored(FicheroCanalesExternos, "Canales", "canalesexternos.xml");
  const int count = root.nChildNode("Canal");
  for (int i = 0; i < count; ++i) {
    const XMLNode node = root.getChildNode("Canal", i);
    bool complete = true;
    for (const char* name : {"NumeroCanal", "ID", "Nombre", "BrastokeTV", "servidor"}) {
      if (node.getAttribute(name) == nullptr) complete = false;
    }
    if (!complete) continue;

    Canal canal;
    canal.numero = Numero(Attr(node, "NumeroCanal"));
    canal.id = ConvertStringtoint(Attr(node, "ID"));
    canal.nombre = Attr(node, "Nombre");
    canal.operador = Attr(node, "BrastokeTV") == "1";
    const char* logo = node.getAttribute("Logo");
    if (logo != nullptr) canal.logo = ResolveExternalLogo(logo, canal.operador);
    canal.ip = Attr(node, "servidor");
    canal.puerto = ConvertStringtoint(Attr(node, "puerto"));
    canal.HD = Attr(node, "HD") == "1";
    canal.genero = Attr(node, "Genero");
    const char* replacement = node.getAttribute("ServiceNameOriginal");
    canal.idSustituto = replacement != nullptr ? ConvertStringtoint(replacement) : canal.id;
    // An external channel never replaces one of the operator's.
    if (canales.count(canal.id) != 0) continue;
    canales.emplace(canal.id, canal);
    completos.emplace(canal.id, canal);
  }
}

void Canales::CargarOrdenes(ChannelMap& canales, ChannelMap& completos) {
  const XMLNode root =
      ParseStored(PathCombine(PathCanales, "orden.xml"), "ordenacion", "orden.xml");
  const int count = root.nChildNode("orden");
  for (int i = 0; i < count; ++i) {
    const XMLNode node = root.getChildNode("orden", i);
    const char* id = node.getAttribute("ID");
    if (id == nullptr) continue;
    const auto found = canales.find(ConvertStringtoint(id));
    if (found == canales.end()) continue;
    const char* suprimir = node.getAttribute("Suprimir");
    const char* numero = node.getAttribute("NumeroCanal");
    if (suprimir != nullptr && std::string(suprimir) == "1") {
      completos.erase(found->first);
      canales.erase(found);
      continue;
    }
    // Neither a removal nor a number: nothing to apply.
    if (numero == nullptr) continue;
    found->second.numero = Numero(numero);
    const auto full = completos.find(found->first);
    if (full != completos.end()) full->second.numero = found->second.numero;
  }
}

void Canales::BuildOrder(LineUp& lineUp) {
  for (const auto& [id, canal] : lineUp.channels) {
    int key = FirstKey(canal.numero);
    while (lineUp.order.count(key) != 0 && key < INT_MAX) ++key;
    lineUp.order.emplace(key, id);
  }
}

void Canales::HideReplaced(ChannelMap& channels) {
  // In id order; a channel already hidden no longer hides another.
  for (auto it = channels.begin(); it != channels.end(); ++it) {
    const Canal& canal = it->second;
    if (canal.idSustituto != canal.id) channels.erase(canal.idSustituto);
  }
}

void Canales::BuildGroups(LineUp& lineUp) {
  for (const auto& [id, canal] : lineUp.channels) {
    if (canal.genero.empty()) continue;
    const std::string name = GroupName(canal.genero);
    AddGroup(lineUp.groups, name);
    lineUp.members.emplace(name, std::make_pair(id, canal.numero));
  }
}

void Canales::AgnadirCanalVOD(LineUp& lineUp) {
  const int id = static_cast<int>(CanalVOD);
  Canal vod;
  vod.id = id;
  vod.numero = id;
  vod.nombre = "V.O.D";
  vod.logo = strClientPath + "/Logos/597.jpg";
  vod.ip = "127.0.0.1";
  vod.puerto = 0;
  vod.idSustituto = id;
  vod.HD = false;
  vod.operador = true;
  lineUp.channels.emplace(id, vod);
  lineUp.order.emplace(id, id);
  AddGroup(lineUp.groups, vod.nombre);
  lineUp.members.emplace(vod.nombre, std::make_pair(id, id));
}
