// One programme-guide entry, the system's own record: it mirrors the host's
// guide entry with owned strings, plus what only the add-on uses.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

struct EPG_Quorvina {
  uint32_t iUniqueBroadcastId = 0;
  std::string strTitle;
  uint32_t iChannelNumber = 0;
  int32_t idCanal = 0;  // the channel the entry was loaded for; not sent to the host
  time_t startTime = 0;
  time_t endTime = 0;
  std::string strPlotOutline;
  std::string strPlot;
  std::string strIconPath;
  int32_t iGenreType = 0;
  int32_t iGenreSubType = 0;
  std::string strGenreDescription;
  time_t firstAired = 0;
  int32_t iParentalRating = 0;
  int32_t iStarRating = 0;
  bool bNotify = false;
  int32_t iSeriesNumber = 0;
  int32_t iEpisodeNumber = 0;
  int32_t iEpisodePartNumber = 0;
  std::string strEpisodeName;
  std::string tituloSerie;  // not sent to the host
  std::string cridSerie;    // not sent to the host
};

// Receives the entries of a guide request one by one, with no lock of the
// guide held, so it may call the host.
using EntradaSink = std::function<void(const EPG_Quorvina&)>;
