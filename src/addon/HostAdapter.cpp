#include "addon/HostAdapter.h"

#include <cstring>

#include "addon/PvrBinding.h"

namespace {

xbmc_codec_type_t ToHostCodecType(StreamKind kind) {
  switch (kind) {
    case StreamKind::Video:
      return XBMC_CODEC_TYPE_VIDEO;
    case StreamKind::Audio:
      return XBMC_CODEC_TYPE_AUDIO;
    case StreamKind::Data:
      return XBMC_CODEC_TYPE_DATA;
    case StreamKind::Subtitle:
      return XBMC_CODEC_TYPE_SUBTITLE;
    case StreamKind::Unknown:
      break;
  }
  return XBMC_CODEC_TYPE_UNKNOWN;
}

}  // namespace

void CopyText(char* target, size_t size, const std::string& text) {
  if (size == 0) return;
  const size_t length = text.size() < size - 1 ? text.size() : size - 1;
  memcpy(target, text.data(), length);
  target[length] = '\0';
}

PVR_CHANNEL ToHostChannel(const Canal& canal) {
  PVR_CHANNEL channel;
  memset(&channel, 0, sizeof(channel));
  channel.iUniqueId = static_cast<unsigned int>(canal.id);
  channel.bIsRadio = false;
  channel.iChannelNumber = static_cast<unsigned int>(canal.numero);
  CopyText(channel.strChannelName, canal.nombre);
  CopyText(channel.strIconPath, canal.logo);
  channel.iEncryptionSystem = 0;
  channel.bIsHidden = false;
  return channel;
}

PVR_CHANNEL_GROUP ToHostGroup(const GrupoCanales& grupo) {
  PVR_CHANNEL_GROUP group;
  memset(&group, 0, sizeof(group));
  CopyText(group.strGroupName, grupo.nombre);
  group.bIsRadio = false;
  return group;
}

PVR_CHANNEL_GROUP_MEMBER ToHostMember(const MiembroGrupo& miembro) {
  PVR_CHANNEL_GROUP_MEMBER member;
  memset(&member, 0, sizeof(member));
  CopyText(member.strGroupName, miembro.grupo);
  member.iChannelUniqueId = static_cast<unsigned int>(miembro.id);
  member.iChannelNumber = static_cast<unsigned int>(miembro.numero);
  return member;
}

PVR_TIMER ToHostTimer(const DatosTemporizador& t) {
  PVR_TIMER timer;
  memset(&timer, 0, sizeof(timer));
  timer.iClientIndex = static_cast<unsigned int>(t.iClientIndex);
  timer.iClientChannelUid = t.iClientChannelUid;
  timer.startTime = t.startTime;
  timer.endTime = t.endTime;
  timer.state = static_cast<PVR_TIMER_STATE>(t.state);
  CopyText(timer.strTitle, t.strTitle);
  CopyText(timer.strDirectory, t.strDirectory);
  CopyText(timer.strSummary, t.strSummary);
  timer.iPriority = t.iPriority;
  timer.iLifetime = t.iLifetime;
  timer.bIsRepeating = t.bIsRepeating;
  timer.firstDay = t.firstDay;
  timer.iWeekdays = t.iWeekdays;
  timer.iEpgUid = static_cast<unsigned int>(t.iEpgUid);
  timer.iMarginStart = static_cast<unsigned int>(t.iMarginStart);
  timer.iMarginEnd = static_cast<unsigned int>(t.iMarginEnd);
  timer.iGenreType = t.iGenreType;
  timer.iGenreSubType = t.iGenreSubType;
  return timer;
}

DatosTemporizador FromHostTimer(const PVR_TIMER& timer) {
  DatosTemporizador t;
  t.iClientIndex = static_cast<int>(timer.iClientIndex);
  t.iClientChannelUid = timer.iClientChannelUid;
  t.startTime = timer.startTime;
  t.endTime = timer.endTime;
  t.state = static_cast<int>(timer.state);
  t.strTitle = HostText(timer.strTitle);
  t.strDirectory = HostText(timer.strDirectory);
  t.strSummary = HostText(timer.strSummary);
  t.iPriority = timer.iPriority;
  t.iLifetime = timer.iLifetime;
  t.bIsRepeating = timer.bIsRepeating;
  t.firstDay = timer.firstDay;
  t.iWeekdays = timer.iWeekdays;
  t.iEpgUid = static_cast<int>(timer.iEpgUid);
  t.iMarginStart = static_cast<int>(timer.iMarginStart);
  t.iMarginEnd = static_cast<int>(timer.iMarginEnd);
  t.iGenreType = timer.iGenreType;
  t.iGenreSubType = timer.iGenreSubType;
  return t;
}

PVR_RECORDING ToHostRecording(const DatosGrabacion& g) {
  PVR_RECORDING recording;
  memset(&recording, 0, sizeof(recording));
  CopyText(recording.strRecordingId, g.strRecordingId);
  CopyText(recording.strTitle, g.strTitle);
  CopyText(recording.strStreamURL, g.strStreamURL);
  CopyText(recording.strDirectory, g.strDirectory);
  CopyText(recording.strPlotOutline, g.strPlotOutline);
  CopyText(recording.strPlot, g.strPlot);
  CopyText(recording.strChannelName, g.strChannelName);
  CopyText(recording.strIconPath, g.strIconPath);
  CopyText(recording.strThumbnailPath, g.strThumbnailPath);
  CopyText(recording.strFanartPath, g.strFanartPath);
  recording.recordingTime = g.recordingTime;
  recording.iDuration = g.iDuration;
  recording.iPriority = g.iPriority;
  recording.iLifetime = g.iLifetime;
  recording.iGenreType = g.iGenreType;
  recording.iGenreSubType = g.iGenreSubType;
  recording.iPlayCount = g.iPlayCount;
  // The resume position is not part of the record; the host asks for it.
  recording.iLastPlayedPosition = 0;
  return recording;
}

EPG_TAG ToHostEpgTag(const EPG_Quorvina& entry) {
  EPG_TAG tag;
  memset(&tag, 0, sizeof(tag));
  tag.iUniqueBroadcastId = entry.iUniqueBroadcastId;
  tag.strTitle = entry.strTitle.c_str();
  tag.iChannelNumber = entry.iChannelNumber;
  tag.startTime = entry.startTime;
  tag.endTime = entry.endTime;
  tag.strPlotOutline = entry.strPlotOutline.c_str();
  tag.strPlot = entry.strPlot.c_str();
  tag.strIconPath = entry.strIconPath.c_str();
  tag.iGenreType = entry.iGenreType;
  tag.iGenreSubType = entry.iGenreSubType;
  tag.strGenreDescription = entry.strGenreDescription.c_str();
  tag.firstAired = entry.firstAired;
  tag.iParentalRating = entry.iParentalRating;
  tag.iStarRating = entry.iStarRating;
  tag.bNotify = entry.bNotify;
  tag.iSeriesNumber = entry.iSeriesNumber;
  tag.iEpisodeNumber = entry.iEpisodeNumber;
  tag.iEpisodePartNumber = entry.iEpisodePartNumber;
  tag.strEpisodeName = entry.strEpisodeName.c_str();
  tag.strRecordingId = nullptr;
  return tag;
}

void ToHostStreamProperties(const std::vector<StreamInfo>& streams,
                            PVR_STREAM_PROPERTIES* properties) {
  memset(properties, 0, sizeof(*properties));
  const size_t count =
      streams.size() < PVR_STREAM_MAX_STREAMS ? streams.size() : PVR_STREAM_MAX_STREAMS;
  properties->iStreamCount = static_cast<unsigned int>(count);
  for (size_t i = 0; i < count; ++i) {
    const StreamInfo& info = streams[i];
    // The record is packed: each entry is built aside and copied in.
    PVR_STREAM_PROPERTIES::PVR_STREAM stream;
    memset(&stream, 0, sizeof(stream));
    stream.iPhysicalId = info.physicalId;
    stream.iCodecType = ToHostCodecType(info.kind);
    stream.iCodecId = info.codecId;
    CopyText(stream.strLanguage, info.language);
    stream.iIdentifier = info.identifier;
    stream.iFPSScale = info.fpsScale;
    stream.iFPSRate = info.fpsRate;
    stream.iHeight = info.height;
    stream.iWidth = info.width;
    stream.fAspect = info.aspect;
    stream.iChannels = info.channels;
    stream.iSampleRate = info.sampleRate;
    stream.iBlockAlign = info.blockAlign;
    stream.iBitRate = info.bitRate;
    stream.iBitsPerSample = info.bitsPerSample;
    properties->stream[i] = stream;
  }
}

DemuxPacket* ToHostDemuxPacket(const DemuxedPacket& packet) {
  if (packet.kind() == DemuxedPacket::Kind::None || PVR == nullptr) return nullptr;
  const bool data = packet.kind() == DemuxedPacket::Kind::Data;
  DemuxPacket* host = PVR->AllocateDemuxPacket(data ? packet.size() : 0);
  if (host == nullptr) return nullptr;
  host->pts = DVD_NOPTS_VALUE;
  host->dts = DVD_NOPTS_VALUE;
  host->duration = 0;
  if (!data) {
    host->iSize = 0;
    host->iStreamId =
        packet.kind() == DemuxedPacket::Kind::StreamChange ? DMX_SPECIALID_STREAMCHANGE : 0;
    return host;
  }
  if (packet.size() > 0) memcpy(host->pData, packet.data(), static_cast<size_t>(packet.size()));
  host->iSize = packet.size();
  host->iStreamId = packet.streamIndex;
  if (packet.pts) host->pts = *packet.pts;
  if (packet.dts) host->dts = *packet.dts;
  host->duration = packet.duration;
  return host;
}
