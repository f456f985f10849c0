// Host demuxer packet: allocated and freed by the host's PVR library.
#pragma once

extern "C" {

#define DMX_SPECIALID_STREAMINFO -10
#define DMX_SPECIALID_STREAMCHANGE -11
#define DVD_TIME_BASE 1000000
#define DVD_NOPTS_VALUE (-(1LL << 52))

struct DemuxPacket {
  unsigned char* pData;
  int iSize;
  int iStreamId;
  int iGroupId;
  double pts;
  double dts;
  double duration;
};

}  // extern "C"
