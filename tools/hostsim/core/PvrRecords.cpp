#include "core/PvrRecords.h"

#include <cstdio>
#include <cstring>

namespace hostsim {

namespace {

template <size_t N>
std::string bounded(const char (&field)[N], const char* name, std::vector<std::string>& problems) {
  size_t n = strnlen(field, N);
  if (n == N) {
    problems.push_back(std::string(name) + " is not terminated within its " + std::to_string(N) +
                       " bytes");
    n = N - 1;
  }
  return std::string(field, n);
}

std::string orEmpty(const char* text) {
  return text ? std::string(text) : std::string();
}

template <size_t N>
void copyField(char (&field)[N], const std::string& text) {
  std::snprintf(field, N, "%s", text.c_str());
}

}  // namespace

const char* menuHookCategoryName(int category) {
  switch (category) {
    case PVR_MENUHOOK_ALL:
      return "all";
    case PVR_MENUHOOK_CHANNEL:
      return "channel";
    case PVR_MENUHOOK_TIMER:
      return "timer";
    case PVR_MENUHOOK_EPG:
      return "epg";
    case PVR_MENUHOOK_RECORDING:
      return "recording";
    case PVR_MENUHOOK_SETTING:
      return "setting";
    default:
      return "unknown";
  }
}

ChannelEntry toEntry(const PVR_CHANNEL& c, std::vector<std::string>& problems) {
  ChannelEntry e;
  e.uniqueId = c.iUniqueId;
  e.isRadio = c.bIsRadio;
  e.number = c.iChannelNumber;
  e.subNumber = c.iSubChannelNumber;
  e.name = bounded(c.strChannelName, "strChannelName", problems);
  e.inputFormat = bounded(c.strInputFormat, "strInputFormat", problems);
  e.streamUrl = bounded(c.strStreamURL, "strStreamURL", problems);
  e.encryptionSystem = c.iEncryptionSystem;
  e.iconPath = bounded(c.strIconPath, "strIconPath", problems);
  e.isHidden = c.bIsHidden;
  return e;
}

GroupEntry toEntry(const PVR_CHANNEL_GROUP& g, std::vector<std::string>& problems) {
  return GroupEntry{bounded(g.strGroupName, "strGroupName", problems), g.bIsRadio};
}

GroupMemberEntry toEntry(const PVR_CHANNEL_GROUP_MEMBER& m, std::vector<std::string>& problems) {
  return GroupMemberEntry{bounded(m.strGroupName, "strGroupName", problems), m.iChannelUniqueId,
                          m.iChannelNumber};
}

EpgEntry toEntry(const EPG_TAG& t) {
  EpgEntry e;
  e.broadcastId = t.iUniqueBroadcastId;
  e.title = orEmpty(t.strTitle);
  e.channelNumber = t.iChannelNumber;
  e.startTime = t.startTime;
  e.endTime = t.endTime;
  e.plotOutline = orEmpty(t.strPlotOutline);
  e.plot = orEmpty(t.strPlot);
  e.iconPath = orEmpty(t.strIconPath);
  e.genreType = t.iGenreType;
  e.genreSubType = t.iGenreSubType;
  e.genreDescription = orEmpty(t.strGenreDescription);
  e.firstAired = t.firstAired;
  e.parentalRating = t.iParentalRating;
  e.starRating = t.iStarRating;
  e.notify = t.bNotify;
  e.seriesNumber = t.iSeriesNumber;
  e.episodeNumber = t.iEpisodeNumber;
  e.episodePartNumber = t.iEpisodePartNumber;
  e.episodeName = orEmpty(t.strEpisodeName);
  return e;
}

TimerEntry toEntry(const PVR_TIMER& t, std::vector<std::string>& problems) {
  TimerEntry e;
  e.clientIndex = t.iClientIndex;
  e.clientChannelUid = t.iClientChannelUid;
  e.startTime = t.startTime;
  e.endTime = t.endTime;
  e.state = t.state;
  e.title = bounded(t.strTitle, "strTitle", problems);
  e.directory = bounded(t.strDirectory, "strDirectory", problems);
  e.summary = bounded(t.strSummary, "strSummary", problems);
  e.priority = t.iPriority;
  e.lifetime = t.iLifetime;
  e.isRepeating = t.bIsRepeating;
  e.firstDay = t.firstDay;
  e.weekdays = t.iWeekdays;
  e.epgUid = t.iEpgUid;
  e.marginStart = t.iMarginStart;
  e.marginEnd = t.iMarginEnd;
  e.genreType = t.iGenreType;
  e.genreSubType = t.iGenreSubType;
  return e;
}

RecordingEntry toEntry(const PVR_RECORDING& r, std::vector<std::string>& problems) {
  RecordingEntry e;
  e.recordingId = bounded(r.strRecordingId, "strRecordingId", problems);
  e.title = bounded(r.strTitle, "strTitle", problems);
  e.streamUrl = bounded(r.strStreamURL, "strStreamURL", problems);
  e.directory = bounded(r.strDirectory, "strDirectory", problems);
  e.plotOutline = bounded(r.strPlotOutline, "strPlotOutline", problems);
  e.plot = bounded(r.strPlot, "strPlot", problems);
  e.channelName = bounded(r.strChannelName, "strChannelName", problems);
  e.iconPath = bounded(r.strIconPath, "strIconPath", problems);
  e.thumbnailPath = bounded(r.strThumbnailPath, "strThumbnailPath", problems);
  e.fanartPath = bounded(r.strFanartPath, "strFanartPath", problems);
  e.recordingTime = r.recordingTime;
  e.duration = r.iDuration;
  e.priority = r.iPriority;
  e.lifetime = r.iLifetime;
  e.genreType = r.iGenreType;
  e.genreSubType = r.iGenreSubType;
  e.playCount = r.iPlayCount;
  e.lastPlayedPosition = r.iLastPlayedPosition;
  return e;
}

PVR_CHANNEL toHost(const ChannelEntry& c) {
  PVR_CHANNEL h;
  std::memset(&h, 0, sizeof h);
  h.iUniqueId = c.uniqueId;
  h.bIsRadio = c.isRadio;
  h.iChannelNumber = c.number;
  h.iSubChannelNumber = c.subNumber;
  copyField(h.strChannelName, c.name);
  copyField(h.strInputFormat, c.inputFormat);
  copyField(h.strStreamURL, c.streamUrl);
  h.iEncryptionSystem = c.encryptionSystem;
  copyField(h.strIconPath, c.iconPath);
  h.bIsHidden = c.isHidden;
  return h;
}

PVR_RECORDING toHost(const RecordingEntry& r) {
  PVR_RECORDING h;
  std::memset(&h, 0, sizeof h);
  copyField(h.strRecordingId, r.recordingId);
  copyField(h.strTitle, r.title);
  copyField(h.strStreamURL, r.streamUrl);
  copyField(h.strDirectory, r.directory);
  copyField(h.strPlotOutline, r.plotOutline);
  copyField(h.strPlot, r.plot);
  copyField(h.strChannelName, r.channelName);
  copyField(h.strIconPath, r.iconPath);
  copyField(h.strThumbnailPath, r.thumbnailPath);
  copyField(h.strFanartPath, r.fanartPath);
  h.recordingTime = r.recordingTime;
  h.iDuration = r.duration;
  h.iPriority = r.priority;
  h.iLifetime = r.lifetime;
  h.iGenreType = r.genreType;
  h.iGenreSubType = r.genreSubType;
  h.iPlayCount = r.playCount;
  h.iLastPlayedPosition = r.lastPlayedPosition;
  return h;
}

PVR_CHANNEL_GROUP toHost(const GroupEntry& g) {
  PVR_CHANNEL_GROUP h;
  std::memset(&h, 0, sizeof h);
  copyField(h.strGroupName, g.name);
  h.bIsRadio = g.isRadio;
  return h;
}

}  // namespace hostsim
