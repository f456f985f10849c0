// From the channel records of the stored files to a whole line-up: external
// channels, the subscriber's renumbering and removals, order keys, hidden
// replaced channels, genre groups and the on-demand channel. Pure: no file,
// host or network is touched.
#pragma once

#include <vector>

#include "discovery/Canal.h"

// One entry of the subscriber's "orden.xml".
struct OrdenCanal {
  int id = 0;
  bool suprimir = false;
  bool renumerar = false;  // a "NumeroCanal" was given
  int numero = 0;
};

struct LineUpInputs {
  std::vector<Canal> canales;   // from "Canales.xml", in document order
  std::vector<Canal> externos;  // from "canalesexternos.xml"
  std::vector<OrdenCanal> ordenes;
  bool ocultarSustituidos = true;
  Canal vod;  // the on-demand channel
};

// The group-name field the host receives holds this many bytes.
constexpr size_t kMaxNombreGrupo = 1023;

LineUp BuildLineUp(const LineUpInputs& inputs);

// The steps, in the order BuildLineUp takes them.
void ApplyOrders(const std::vector<OrdenCanal>& ordenes, ChannelMap& canales,
                 ChannelMap& completos);
void BuildOrder(LineUp& lineUp);
void HideReplaced(ChannelMap& channels);
void BuildGroups(LineUp& lineUp);
void AddVodChannel(const Canal& vod, LineUp& lineUp);
