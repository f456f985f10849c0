// Conversions between the system's records and the host's structures.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "discovery/Canal.h"
#include "epg/EPG_Quorvina.h"
#include "host/DemuxPacket.h"
#include "host/xbmc_epg_types.h"
#include "host/xbmc_pvr_types.h"
#include "live/StreamRecords.h"
#include "recordings/DatosGrabacion.h"
#include "recordings/DatosTemporizador.h"

// Copies at most size - 1 bytes and always terminates.
void CopyText(char* target, size_t size, const std::string& text);

template <size_t N>
void CopyText(char (&target)[N], const std::string& text) {
  CopyText(target, N, text);
}

// A text field of a host structure, which may lack its terminator.
template <size_t N>
std::string HostText(const char (&field)[N]) {
  size_t length = 0;
  while (length < N && field[length] != '\0') ++length;
  return std::string(field, length);
}

PVR_CHANNEL ToHostChannel(const Canal& canal);
PVR_CHANNEL_GROUP ToHostGroup(const GrupoCanales& grupo);
PVR_CHANNEL_GROUP_MEMBER ToHostMember(const MiembroGrupo& miembro);
PVR_RECORDING ToHostRecording(const DatosGrabacion& grabacion);
// A timer's eighteen host fields, both ways; the record's other fields are
// the add-on's own and stay empty coming from the host.
PVR_TIMER ToHostTimer(const DatosTemporizador& timer);
DatosTemporizador FromHostTimer(const PVR_TIMER& timer);
// The tag's texts point into the entry, which must outlive the transfer.
EPG_TAG ToHostEpgTag(const EPG_Quorvina& entry);

// The streams of the open channel, at most PVR_STREAM_MAX_STREAMS of them.
void ToHostStreamProperties(const std::vector<StreamInfo>& streams,
                            PVR_STREAM_PROPERTIES* properties);
// A packet from the host's allocator holding the demuxed one; null for
// DemuxedPacket::Kind::None or when the host gives no packet.
DemuxPacket* ToHostDemuxPacket(const DemuxedPacket& packet);
