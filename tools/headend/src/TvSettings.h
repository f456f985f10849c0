#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// What a scenario says about the TV channels: which carry full-rate video,
// and the switches of each (see the README, "TV channels").
namespace headend {

struct TvGap {
  int afterMs = 0;  // after the channel's full-rate sending started
  int forMs = 0;
};

struct TvChannelSettings {
  std::string transport = "rtp";  // or "udp": bare transport stream packets
  std::string clip;               // "sd" or "hd"; empty: "hd" for service type 25
  int64_t bitrate = 0;            // bit/s, padded with null packets; 0: the clip's own
  int payloadType = 33;
  int csrcCount = 0;
  int extensionWords = 0;  // > 0: an RTP header extension of that many words
  std::vector<TvGap> gaps;
  int garbageEvery = 0;  // > 0: a garbage datagram after every N datagrams
  bool silent = false;   // nothing at all is sent to the group
  int clipChangeAfterMs = -1;
  std::string clipChangeTo;  // "sd" or "hd"
};

struct TvSettings {
  std::string fullRate = "named";  // or "joined": groups that have a member
  int keepAliveMs = 250;
  TvChannelSettings defaults;
  std::map<std::string, TvChannelSettings> channels;  // by service id
  std::vector<std::string> named;                     // ids of tv.channels, in order
};

}  // namespace headend
