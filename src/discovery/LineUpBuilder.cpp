#include "discovery/LineUpBuilder.h"

#include <algorithm>
#include <climits>
#include <set>

namespace {

// Keys are int; very large numbers are held back so that raising a key
// until it is free cannot overflow.
constexpr int kMaxFirstKey = INT_MAX - 1000000;
constexpr int kMinFirstKey = INT_MIN / 2;

int FirstKey(int numero) {
  const long long key = static_cast<long long>(numero) * 10;
  if (key > kMaxFirstKey) return kMaxFirstKey;
  if (key < kMinFirstKey) return kMinFirstKey;
  return static_cast<int>(key);
}

int FreeKey(const OrderMap& order, int key) {
  while (order.count(key) != 0 && key < INT_MAX) ++key;
  return key;
}

// Cut to the host's field without splitting a UTF-8 character.
std::string GroupName(const std::string& genre) {
  if (genre.size() <= kMaxNombreGrupo) return genre;
  size_t size = kMaxNombreGrupo;
  while (size > 0 && (static_cast<unsigned char>(genre[size]) & 0xC0) == 0x80) --size;
  return genre.substr(0, size);
}

void AddMember(LineUp& lineUp, const std::string& group, int id, int numero) {
  lineUp.groups.emplace(group, GrupoCanales{group});
  lineUp.members.emplace(group, MiembroGrupo{group, id, numero});
}

}  // namespace

LineUp BuildLineUp(const LineUpInputs& inputs) {
  LineUp lineUp;
  for (const Canal& canal : inputs.canales) {
    lineUp.channels.emplace(canal.id, canal);
    lineUp.fullChannels.emplace(canal.id, canal);
  }
  // An external channel never replaces one of the operator's.
  for (const Canal& canal : inputs.externos) {
    if (lineUp.channels.count(canal.id) != 0) continue;
    lineUp.channels.emplace(canal.id, canal);
    lineUp.fullChannels.emplace(canal.id, canal);
  }
  ApplyOrders(inputs.ordenes, lineUp.channels, lineUp.fullChannels);
  // The order is taken before hiding, so it also places the hidden channels.
  BuildOrder(lineUp);
  if (inputs.ocultarSustituidos) HideReplaced(lineUp.channels);
  BuildGroups(lineUp);
  AddVodChannel(inputs.vod, lineUp);
  return lineUp;
}

void ApplyOrders(const std::vector<OrdenCanal>& ordenes, ChannelMap& canales,
                 ChannelMap& completos) {
  for (const OrdenCanal& orden : ordenes) {
    const auto found = canales.find(orden.id);
    if (found == canales.end()) continue;
    if (orden.suprimir) {
      completos.erase(orden.id);
      canales.erase(found);
      continue;
    }
    if (!orden.renumerar) continue;
    found->second.numero = NumeroCanal(orden.numero);
    const auto full = completos.find(orden.id);
    if (full != completos.end()) full->second.numero = found->second.numero;
  }
}

void BuildOrder(LineUp& lineUp) {
  for (const auto& [id, canal] : lineUp.channels) {
    lineUp.order.emplace(FreeKey(lineUp.order, FirstKey(canal.numero)), id);
  }
}

void HideReplaced(ChannelMap& channels) {
  // A channel named as the replacement of another one is hidden, whatever
  // the order the channels are met in. Where channels name each other round
  // a loop, every one of them is replaced by another; hiding them all would
  // lose the service, so the lowest id of the loop stays.
  std::set<int> hidden;
  for (const auto& [id, canal] : channels) {
    if (canal.idSustituto != id && channels.count(canal.idSustituto) != 0) {
      hidden.insert(canal.idSustituto);
    }
  }
  std::set<int> walked;
  for (const auto& entry : channels) {
    // Follow the replacement names from this channel until they leave the
    // map, end at a channel naming itself, or come back to this walk.
    std::vector<int> path;
    int current = entry.first;
    bool looped = false;
    while (walked.count(current) == 0) {
      const auto it = channels.find(current);
      if (it == channels.end()) break;
      walked.insert(current);
      path.push_back(current);
      if (it->second.idSustituto == current) break;
      current = it->second.idSustituto;
      looped = std::find(path.begin(), path.end(), current) != path.end();
    }
    if (!looped) continue;
    const auto loop = std::find(path.begin(), path.end(), current);
    hidden.erase(*std::min_element(loop, path.end()));
  }
  for (int id : hidden) channels.erase(id);
}

void BuildGroups(LineUp& lineUp) {
  for (const auto& [id, canal] : lineUp.channels) {
    if (!canal.genero.empty()) AddMember(lineUp, GroupName(canal.genero), id, canal.numero);
  }
}

void AddVodChannel(const Canal& vod, LineUp& lineUp) {
  if (lineUp.channels.emplace(vod.id, vod).second) {
    // Its key is its number, not ten times it; a channel numbered a tenth of
    // it may hold that key already, and then the next free key is taken.
    lineUp.order.emplace(FreeKey(lineUp.order, vod.numero), vod.id);
  }
  AddMember(lineUp, vod.nombre, vod.id, vod.numero);
}
