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
