// Host add-on API: the types shared by every add-on of the XBMC host.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

enum ADDON_STATUS {
  ADDON_STATUS_OK = 0,
  ADDON_STATUS_LOST_CONNECTION = 1,
  ADDON_STATUS_NEED_RESTART = 2,
  ADDON_STATUS_NEED_SETTINGS = 3,
  ADDON_STATUS_UNKNOWN = 4,
  ADDON_STATUS_NEED_SAVEDSETTINGS = 5,
  ADDON_STATUS_PERMANENT_FAILURE = 6
};

enum addon_log { LOG_DEBUG = 0, LOG_INFO = 1, LOG_NOTICE = 2, LOG_ERROR = 3 };

enum queue_msg { QUEUE_INFO = 0, QUEUE_WARNING = 1, QUEUE_ERROR = 2 };

// Handle the host passes with every transfer call; the add-on hands it back
// unchanged.
struct ADDON_HANDLE_STRUCT {
  void* callerAddress;
  void* dataAddress;
  int dataIdentifier;
};
typedef ADDON_HANDLE_STRUCT* ADDON_HANDLE;

// The callback block handed to ADDON_Create. The add-on reads only the first
// member, the host's add-on library folder; the rest belongs to the host.
struct AddonCB {
  const char* libBasePath;
  void* addonData;
};

}  // extern "C"
