// The records of the channel line-up, copied by value.
#pragma once

#include <map>
#include <string>
#include <vector>

// One channel.
struct Canal {
  int id = 0;
  int numero = 0;
  std::string nombre;
  std::string reservado;  // no loader fills it
  std::string logo;
  std::string ip;
  int puerto = 0;
  int idSustituto = 0;  // "ServiceNameOriginal": the replacement service's id
  std::string genero;
  bool HD = false;
  bool operador = false;
};

// One group of channels the host shows: a genre, or the on-demand channel's.
struct GrupoCanales {
  std::string nombre;
};

// One channel's place in a group.
struct MiembroGrupo {
  std::string grupo;
  int id = 0;
  int numero = 0;
};

// Channel id to channel.
using ChannelMap = std::map<int, Canal>;
// Order key (number x 10, raised until free) to channel id.
using OrderMap = std::map<int, int>;
using GroupMap = std::map<std::string, GrupoCanales>;
// Group name to its members, in channel id order.
using MemberMap = std::multimap<std::string, MiembroGrupo>;

// One whole line-up. Published immutable and replaced whole on every load,
// so a reader never sees half of one load and half of another.
struct LineUp {
  ChannelMap channels;      // what the host gets
  ChannelMap fullChannels;  // before hiding replaced channels; no on-demand channel
  OrderMap order;
  GroupMap groups;
  MemberMap members;
};

// The number shown for a channel whose source number is 0.
constexpr int kNumeroSinCanal = 9999;
inline int NumeroCanal(int numero) {
  return numero == 0 ? kNumeroSinCanal : numero;
}
