// One finished recording, local or in the operator's cloud: a plain value,
// copied into maps and lists.
#pragma once

#include <ctime>
#include <string>

struct DatosGrabacion {
  std::string strRecordingId;  // decimal number: the library's key and the file name
  std::string strTitle;
  std::string strStreamURL;  // the video file; empty for a cloud recording
  std::string strDirectory;  // series title + "/Temporada " + season; else empty
  std::string strPlotOutline;
  std::string strPlot;
  int iClientChannelUid = 0;
  std::string strChannelName;
  std::string strIconPath;
  std::string strThumbnailPath;
  std::string strFanartPath;
  time_t recordingTime = 0;
  int iDuration = 0;  // seconds
  int iPriority = 0;
  int iLifetime = 0;
  int iGenreType = 0;
  int iGenreSubType = 0;
  int iPlayCount = 0;   // local recordings only
  std::string idSerie;  // file-name-safe series title; empty for single programmes
  std::string StrDescripcionSerie;
  int iTemporada = 0;
  int iCapitulo = 0;
  int iUniqueBroadcastId = 0;  // the guide's programme id; the server's id in the cloud
  bool HD = false;
  bool Cloud = false;

  bool EsSerieLocal() const { return !idSerie.empty() && !Cloud; }
};
