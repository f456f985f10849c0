// What the host keeps of each PVR transfer: the add-on's fixed-size host
// structures copied into plain records, text bounded by each field's size.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "host/xbmc_pvr_types.h"

namespace hostsim {

struct ChannelEntry {
  unsigned int uniqueId = 0;
  bool isRadio = false;
  unsigned int number = 0;
  unsigned int subNumber = 0;
  std::string name;
  std::string inputFormat;
  std::string streamUrl;
  unsigned int encryptionSystem = 0;
  std::string iconPath;
  bool isHidden = false;
};

struct GroupEntry {
  std::string name;
  bool isRadio = false;
};

struct GroupMemberEntry {
  std::string groupName;
  unsigned int channelUniqueId = 0;
  unsigned int channelNumber = 0;
};

struct EpgEntry {
  unsigned int broadcastId = 0;
  std::string title;
  unsigned int channelNumber = 0;
  time_t startTime = 0;
  time_t endTime = 0;
  std::string plotOutline;
  std::string plot;
  std::string iconPath;
  int genreType = 0;
  int genreSubType = 0;
  std::string genreDescription;
  time_t firstAired = 0;
  int parentalRating = 0;
  int starRating = 0;
  bool notify = false;
  int seriesNumber = 0;
  int episodeNumber = 0;
  int episodePartNumber = 0;
  std::string episodeName;
};

struct TimerEntry {
  unsigned int clientIndex = 0;
  int clientChannelUid = 0;
  time_t startTime = 0;
  time_t endTime = 0;
  int state = 0;
  std::string title;
  std::string directory;
  std::string summary;
  int priority = 0;
  int lifetime = 0;
  bool isRepeating = false;
  time_t firstDay = 0;
  int weekdays = 0;
  unsigned int epgUid = 0;
  unsigned int marginStart = 0;
  unsigned int marginEnd = 0;
  int genreType = 0;
  int genreSubType = 0;
};

struct RecordingEntry {
  std::string recordingId;
  std::string title;
  std::string streamUrl;
  std::string directory;
  std::string plotOutline;
  std::string plot;
  std::string channelName;
  std::string iconPath;
  std::string thumbnailPath;
  std::string fanartPath;
  time_t recordingTime = 0;
  int duration = 0;
  int priority = 0;
  int lifetime = 0;
  int genreType = 0;
  int genreSubType = 0;
  int playCount = 0;
  int lastPlayedPosition = 0;
};

struct MenuHookEntry {
  unsigned int hookId = 0;
  unsigned int stringId = 0;
  int category = 0;
};

const char* menuHookCategoryName(int category);

// Conversions; each text field that fills its whole buffer without a
// terminator is cut and named in `problems`.
ChannelEntry toEntry(const PVR_CHANNEL& c, std::vector<std::string>& problems);
GroupEntry toEntry(const PVR_CHANNEL_GROUP& g, std::vector<std::string>& problems);
GroupMemberEntry toEntry(const PVR_CHANNEL_GROUP_MEMBER& m, std::vector<std::string>& problems);
EpgEntry toEntry(const EPG_TAG& e);
TimerEntry toEntry(const PVR_TIMER& t, std::vector<std::string>& problems);
RecordingEntry toEntry(const PVR_RECORDING& r, std::vector<std::string>& problems);

// Host structures built from records, for calls into the add-on.
PVR_CHANNEL toHost(const ChannelEntry& c);
PVR_CHANNEL_GROUP toHost(const GroupEntry& g);
PVR_RECORDING toHost(const RecordingEntry& r);

}  // namespace hostsim
