// Host PVR API: one programme-guide entry as the host receives it, packed
// as the host declares it.
#pragma once

#include <ctime>

extern "C" {

struct EPG_TAG {
  unsigned int iUniqueBroadcastId;
  const char* strTitle;
  unsigned int iChannelNumber;
  time_t startTime;
  time_t endTime;
  const char* strPlotOutline;
  const char* strPlot;
  const char* strIconPath;
  int iGenreType;
  int iGenreSubType;
  const char* strGenreDescription;
  time_t firstAired;
  int iParentalRating;
  int iStarRating;
  bool bNotify;
  int iSeriesNumber;
  int iEpisodeNumber;
  int iEpisodePartNumber;
  const char* strEpisodeName;
  const char* strRecordingId;  // the add-on leaves it null
} __attribute__((packed));

}  // extern "C"
