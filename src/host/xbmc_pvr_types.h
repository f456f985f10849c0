// Host PVR API, version "1.9.2": the structures exchanged with a PVR client
// and the client's function table.
#pragma once

#include <ctime>

#include "host/DemuxPacket.h"
#include "host/xbmc_addon_types.h"
#include "host/xbmc_epg_types.h"

#define XBMC_PVR_API_VERSION "1.9.2"
#define XBMC_PVR_MIN_API_VERSION "1.9.2"

#define PVR_ADDON_NAME_STRING_LENGTH 1024
#define PVR_ADDON_URL_STRING_LENGTH 1024
#define PVR_ADDON_DESC_STRING_LENGTH 1024
#define PVR_ADDON_INPUT_FORMAT_STRING_LENGTH 32
#define PVR_STREAM_MAX_STREAMS 20

// The host declares its PVR data structures packed (GCC's packed attribute);
// the function table and PVR_PROPERTIES keep their natural layout.
#define ATTRIBUTE_PACKED __attribute__((packed))

extern "C" {

enum PVR_ERROR {
  PVR_ERROR_NO_ERROR = 0,
  PVR_ERROR_UNKNOWN = -1,
  PVR_ERROR_NOT_IMPLEMENTED = -2,
  PVR_ERROR_SERVER_ERROR = -3,
  PVR_ERROR_SERVER_TIMEOUT = -4,
  PVR_ERROR_REJECTED = -5,
  PVR_ERROR_ALREADY_PRESENT = -6,
  PVR_ERROR_INVALID_PARAMETERS = -7,
  PVR_ERROR_RECORDING_RUNNING = -8,
  PVR_ERROR_FAILED = -9
};

enum PVR_TIMER_STATE {
  PVR_TIMER_STATE_NEW = 0,
  PVR_TIMER_STATE_SCHEDULED = 1,
  PVR_TIMER_STATE_RECORDING = 2,
  PVR_TIMER_STATE_COMPLETED = 3,
  PVR_TIMER_STATE_ABORTED = 4,
  PVR_TIMER_STATE_CANCELLED = 5,
  PVR_TIMER_STATE_CONFLICT_OK = 6,
  PVR_TIMER_STATE_CONFLICT_NOK = 7,
  PVR_TIMER_STATE_ERROR = 8
};

enum PVR_MENUHOOK_CAT {
  PVR_MENUHOOK_UNKNOWN = -1,
  PVR_MENUHOOK_ALL = 0,
  PVR_MENUHOOK_CHANNEL = 1,
  PVR_MENUHOOK_TIMER = 2,
  PVR_MENUHOOK_EPG = 3,
  PVR_MENUHOOK_RECORDING = 4,
  PVR_MENUHOOK_SETTING = 5
};

enum xbmc_codec_type_t {
  XBMC_CODEC_TYPE_UNKNOWN = -1,
  XBMC_CODEC_TYPE_VIDEO = 0,
  XBMC_CODEC_TYPE_AUDIO = 1,
  XBMC_CODEC_TYPE_DATA = 2,
  XBMC_CODEC_TYPE_SUBTITLE = 3
};
typedef unsigned int xbmc_codec_id_t;
#define XBMC_INVALID_CODEC_ID 0

struct PVR_PROPERTIES {
  const char* strUserPath;
  const char* strClientPath;
};

struct PVR_ADDON_CAPABILITIES {
  bool bSupportsEPG;
  bool bSupportsTV;
  bool bSupportsRadio;
  bool bSupportsRecordings;
  bool bSupportsTimers;
  bool bSupportsChannelGroups;
  bool bSupportsChannelScan;
  bool bSupportsChannelSettings;
  bool bHandlesInputStream;
  bool bHandlesDemuxing;
  bool bSupportsRecordingFolders;
  bool bSupportsRecordingPlayCount;
  bool bSupportsLastPlayedPosition;
} ATTRIBUTE_PACKED;

struct PVR_STREAM_PROPERTIES {
  unsigned int iStreamCount;
  struct PVR_STREAM {
    unsigned int iPhysicalId;
    xbmc_codec_type_t iCodecType;
    xbmc_codec_id_t iCodecId;
    char strLanguage[4];
    int iIdentifier;
    int iFPSScale;
    int iFPSRate;
    int iHeight;
    int iWidth;
    float fAspect;
    int iChannels;
    int iSampleRate;
    int iBlockAlign;
    int iBitRate;
    int iBitsPerSample;
  } stream[PVR_STREAM_MAX_STREAMS];
} ATTRIBUTE_PACKED;

struct PVR_SIGNAL_STATUS {
  char strAdapterName[PVR_ADDON_NAME_STRING_LENGTH];
  char strAdapterStatus[PVR_ADDON_NAME_STRING_LENGTH];
  char strServiceName[PVR_ADDON_NAME_STRING_LENGTH];
  char strProviderName[PVR_ADDON_NAME_STRING_LENGTH];
  char strMuxName[PVR_ADDON_NAME_STRING_LENGTH];
  int iSNR;
  int iSignal;
  long iBER;
  long iUNC;
  double dVideoBitrate;
  double dAudioBitrate;
  double dDolbyBitrate;
} ATTRIBUTE_PACKED;

struct PVR_CHANNEL {
  unsigned int iUniqueId;
  bool bIsRadio;
  unsigned int iChannelNumber;
  unsigned int iSubChannelNumber;
  char strChannelName[PVR_ADDON_NAME_STRING_LENGTH];
  char strInputFormat[PVR_ADDON_INPUT_FORMAT_STRING_LENGTH];
  char strStreamURL[PVR_ADDON_URL_STRING_LENGTH];
  unsigned int iEncryptionSystem;
  char strIconPath[PVR_ADDON_URL_STRING_LENGTH];
  bool bIsHidden;
} ATTRIBUTE_PACKED;

struct PVR_CHANNEL_GROUP {
  char strGroupName[PVR_ADDON_NAME_STRING_LENGTH];
  bool bIsRadio;
} ATTRIBUTE_PACKED;

struct PVR_CHANNEL_GROUP_MEMBER {
  char strGroupName[PVR_ADDON_NAME_STRING_LENGTH];
  unsigned int iChannelUniqueId;
  unsigned int iChannelNumber;
} ATTRIBUTE_PACKED;

struct PVR_TIMER {
  unsigned int iClientIndex;
  int iClientChannelUid;
  time_t startTime;
  time_t endTime;
  PVR_TIMER_STATE state;
  char strTitle[PVR_ADDON_NAME_STRING_LENGTH];
  char strDirectory[PVR_ADDON_URL_STRING_LENGTH];
  char strSummary[PVR_ADDON_DESC_STRING_LENGTH];
  int iPriority;
  int iLifetime;
  bool bIsRepeating;
  time_t firstDay;
  int iWeekdays;
  unsigned int iEpgUid;
  unsigned int iMarginStart;
  unsigned int iMarginEnd;
  int iGenreType;
  int iGenreSubType;
} ATTRIBUTE_PACKED;

struct PVR_RECORDING {
  char strRecordingId[PVR_ADDON_NAME_STRING_LENGTH];
  char strTitle[PVR_ADDON_NAME_STRING_LENGTH];
  char strStreamURL[PVR_ADDON_URL_STRING_LENGTH];
  char strDirectory[PVR_ADDON_URL_STRING_LENGTH];
  char strPlotOutline[PVR_ADDON_DESC_STRING_LENGTH];
  char strPlot[PVR_ADDON_DESC_STRING_LENGTH];
  char strChannelName[PVR_ADDON_NAME_STRING_LENGTH];
  char strIconPath[PVR_ADDON_URL_STRING_LENGTH];
  char strThumbnailPath[PVR_ADDON_URL_STRING_LENGTH];
  char strFanartPath[PVR_ADDON_URL_STRING_LENGTH];
  time_t recordingTime;
  int iDuration;
  int iPriority;
  int iLifetime;
  int iGenreType;
  int iGenreSubType;
  int iPlayCount;
  int iLastPlayedPosition;
} ATTRIBUTE_PACKED;

struct PVR_EDL_ENTRY {
  long long start;
  long long end;
  int type;
} ATTRIBUTE_PACKED;

struct PVR_MENUHOOK {
  unsigned int iHookId;
  unsigned int iLocalizedStringId;
  PVR_MENUHOOK_CAT category;
} ATTRIBUTE_PACKED;

struct PVR_MENUHOOK_DATA {
  PVR_MENUHOOK_CAT cat;
  union {
    int iEpgUid;
    PVR_CHANNEL channel;
    PVR_TIMER timer;
    PVR_RECORDING recording;
  } data;
} ATTRIBUTE_PACKED;

// The client's function table, in the host's slot order.
struct PVRClient {
  const char* (*GetPVRAPIVersion)(void);
  const char* (*GetMininumPVRAPIVersion)(void);
  const char* (*GetGUIAPIVersion)(void);
  const char* (*GetMininumGUIAPIVersion)(void);
  PVR_ERROR (*GetAddonCapabilities)(PVR_ADDON_CAPABILITIES*);
  PVR_ERROR (*GetStreamProperties)(PVR_STREAM_PROPERTIES*);
  const char* (*GetBackendName)(void);
  const char* (*GetBackendVersion)(void);
  const char* (*GetConnectionString)(void);
  PVR_ERROR (*GetDriveSpace)(long long*, long long*);
  PVR_ERROR (*MenuHook)(const PVR_MENUHOOK&, const PVR_MENUHOOK_DATA&);
  PVR_ERROR (*GetEpg)(ADDON_HANDLE, const PVR_CHANNEL&, time_t, time_t);
  int (*GetChannelGroupsAmount)(void);
  PVR_ERROR (*GetChannelGroups)(ADDON_HANDLE, bool);
  PVR_ERROR (*GetChannelGroupMembers)(ADDON_HANDLE, const PVR_CHANNEL_GROUP&);
  PVR_ERROR (*OpenDialogChannelScan)(void);
  int (*GetChannelsAmount)(void);
  PVR_ERROR (*GetChannels)(ADDON_HANDLE, bool);
  PVR_ERROR (*DeleteChannel)(const PVR_CHANNEL&);
  PVR_ERROR (*RenameChannel)(const PVR_CHANNEL&);
  PVR_ERROR (*MoveChannel)(const PVR_CHANNEL&);
  PVR_ERROR (*OpenDialogChannelSettings)(const PVR_CHANNEL&);
  PVR_ERROR (*OpenDialogChannelAdd)(const PVR_CHANNEL&);
  int (*GetRecordingsAmount)(void);
  PVR_ERROR (*GetRecordings)(ADDON_HANDLE);
  PVR_ERROR (*DeleteRecording)(const PVR_RECORDING&);
  PVR_ERROR (*RenameRecording)(const PVR_RECORDING&);
  PVR_ERROR (*SetRecordingPlayCount)(const PVR_RECORDING&, int);
  PVR_ERROR (*SetRecordingLastPlayedPosition)(const PVR_RECORDING&, int);
  int (*GetRecordingLastPlayedPosition)(const PVR_RECORDING&);
  PVR_ERROR (*GetRecordingEdl)(const PVR_RECORDING&, PVR_EDL_ENTRY[], int*);
  int (*GetTimersAmount)(void);
  PVR_ERROR (*GetTimers)(ADDON_HANDLE);
  PVR_ERROR (*AddTimer)(const PVR_TIMER&);
  PVR_ERROR (*DeleteTimer)(const PVR_TIMER&, bool);
  PVR_ERROR (*UpdateTimer)(const PVR_TIMER&);
  bool (*OpenLiveStream)(const PVR_CHANNEL&);
  void (*CloseLiveStream)(void);
  int (*ReadLiveStream)(unsigned char*, unsigned int);
  long long (*SeekLiveStream)(long long, int);
  long long (*PositionLiveStream)(void);
  long long (*LengthLiveStream)(void);
  int (*GetCurrentClientChannel)(void);
  bool (*SwitchChannel)(const PVR_CHANNEL&);
  PVR_ERROR (*SignalStatus)(PVR_SIGNAL_STATUS&);
  const char* (*GetLiveStreamURL)(const PVR_CHANNEL&);
  bool (*OpenRecordedStream)(const PVR_RECORDING&);
  void (*CloseRecordedStream)(void);
  int (*ReadRecordedStream)(unsigned char*, unsigned int);
  long long (*SeekRecordedStream)(long long, int);
  long long (*PositionRecordedStream)(void);
  long long (*LengthRecordedStream)(void);
  void (*DemuxReset)(void);
  void (*DemuxAbort)(void);
  void (*DemuxFlush)(void);
  DemuxPacket* (*DemuxRead)(void);
  unsigned int (*GetChannelSwitchDelay)(void);
  bool (*CanPauseStream)(void);
  void (*PauseStream)(bool);
  bool (*CanSeekStream)(void);
  bool (*SeekTime)(int, bool, double*);
  void (*SetSpeed)(int);
  time_t (*GetPlayingTime)(void);
  time_t (*GetBufferTimeStart)(void);
  time_t (*GetBufferTimeEnd)(void);
};

}  // extern "C"
