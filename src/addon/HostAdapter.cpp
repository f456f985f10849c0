#include "addon/HostAdapter.h"

#include <cstring>

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
