// One timer: a programme booked for recording, here or in the cloud.
#pragma once

#include <ctime>
#include <string>

struct DatosTemporizador {
  int iClientIndex = 0;
  int iClientChannelUid = 0;
  time_t startTime = 0;
  time_t endTime = 0;
  int state = 0;  // the host's timer states: 1 scheduled, 2 recording
  std::string strTitle;
  std::string strDirectory;
  std::string strSummary;
  int iPriority = 0;
  int iLifetime = 0;
  bool bIsRepeating = false;
  time_t firstDay = 0;
  int iWeekdays = 0;
  int iEpgUid = 0;
  int iMarginStart = 0;
  int iMarginEnd = 0;
  int iGenreType = 0;
  int iGenreSubType = 0;
  std::string idSerie;
  std::string StrDescripcionSerie;
  int iTemporada = 0;
  int iCapitulo = 0;
  int iUniqueBroadcastId = 0;
  bool HD = false;
  bool Cloud = false;
  int iTipoTemporizador = 0;
};
