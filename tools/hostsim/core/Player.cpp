#include "core/Player.h"

#include <cstring>
#include <thread>

namespace hostsim {

void Player::readProperties(PlayResult& r) {
  std::memset(&r.properties, 0, sizeof r.properties);
  const PVRClient& c = host_.client();
  r.propertiesError =
      c.GetStreamProperties ? c.GetStreamProperties(&r.properties) : PVR_ERROR_NOT_IMPLEMENTED;
}

PlayResult Player::play(unsigned int channelUid, std::chrono::milliseconds duration,
                        size_t maxPackets) {
  PlayResult r;
  const PVRClient& c = host_.client();
  if (!host_.isRunning() || !c.OpenLiveStream || !c.DemuxRead || !c.CloseLiveStream) {
    r.message = "the add-on is not running or cannot play live streams";
    return r;
  }
  ChannelEntry known;
  if (!host_.pvr().findChannel(channelUid, known)) known.uniqueId = channelUid;
  PVR_CHANNEL channel = toHost(known);
  host_.journal().host("OpenLiveStream " + std::to_string(channelUid));
  r.opened = c.OpenLiveStream(channel);
  if (!r.opened) {
    r.message = "OpenLiveStream of channel " + std::to_string(channelUid) + " failed";
    return r;
  }
  readProperties(r);
  auto deadline = std::chrono::steady_clock::now() + duration;
  while (std::chrono::steady_clock::now() < deadline && r.packets < maxPackets) {
    DemuxPacket* p = c.DemuxRead();
    if (p == nullptr) {
      ++r.emptyReads;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      continue;
    }
    if (p->iStreamId == DMX_SPECIALID_STREAMCHANGE || p->iStreamId == DMX_SPECIALID_STREAMINFO) {
      ++r.streamChanges;
      readProperties(r);
    } else {
      ++r.packets;
      r.bytes += p->iSize > 0 ? static_cast<size_t>(p->iSize) : 0;
      ++r.packetsPerStream[p->iStreamId];
    }
    host_.demux().release(p);
  }
  host_.journal().host("CloseLiveStream");
  c.CloseLiveStream();
  r.message = "played channel " + std::to_string(channelUid) + ": " + std::to_string(r.packets) +
              " packets, " + std::to_string(r.bytes) + " bytes";
  return r;
}

}  // namespace hostsim
