// The table through which the three host libraries reach the simulator. The
// simulator puts a pointer to it in AddonCB::addonData, the way the real host
// hands its own callback table to its helper libraries; the libraries are thin
// shims that forward every call to it, with the simulator's context first.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>

#include "host/xbmc_host_api.h"

extern "C" {

#define HOSTSIM_TABLE_MAGIC 0x48535431u  // "HST1"

enum HostsimLibrary { HOSTSIM_LIB_ADDON = 0, HOSTSIM_LIB_PVR = 1, HOSTSIM_LIB_GUI = 2 };

struct HostsimTable {
  uint32_t magic;
  uint32_t size;  // sizeof(HostsimTable) of the simulator that filled it
  void* ctx;

  // Registration of a helper library; the result is the handle the add-on
  // passes back as `cb`, null to refuse.
  void* (*registerLibrary)(void* ctx, HostsimLibrary lib);
  void (*unregisterLibrary)(void* ctx, HostsimLibrary lib, void* cb);

  // Add-on library.
  void (*log)(void* ctx, addon_log level, const char* msg);
  bool (*getSetting)(void* ctx, const char* name, void* value);
  void (*queueNotification)(void* ctx, queue_msg type, const char* msg);
  bool (*wakeOnLan)(void* ctx, const char* mac);
  char* (*unknownToUtf8)(void* ctx, const char* str);
  char* (*getLocalizedString)(void* ctx, int code);
  void (*freeString)(void* ctx, char* str);
  char* (*getDvdMenuLanguage)(void* ctx);
  void* (*openFile)(void* ctx, const char* path, unsigned int flags);
  void* (*openFileForWrite)(void* ctx, const char* path, bool overwrite);
  ssize_t (*readFile)(void* ctx, void* file, void* buf, size_t size);
  bool (*readFileString)(void* ctx, void* file, char* line, int size);
  ssize_t (*writeFile)(void* ctx, void* file, const void* buf, size_t size);
  void (*flushFile)(void* ctx, void* file);
  int64_t (*seekFile)(void* ctx, void* file, int64_t pos, int whence);
  int (*truncateFile)(void* ctx, void* file, int64_t size);
  int64_t (*getFilePosition)(void* ctx, void* file);
  int64_t (*getFileLength)(void* ctx, void* file);
  void (*closeFile)(void* ctx, void* file);
  int (*getFileChunkSize)(void* ctx, void* file);
  bool (*fileExists)(void* ctx, const char* path, bool useCache);
  int (*statFile)(void* ctx, const char* path, struct stat* buffer);
  bool (*deleteFile)(void* ctx, const char* path);
  bool (*canOpenDirectory)(void* ctx, const char* url);
  bool (*createDirectory)(void* ctx, const char* path);
  bool (*directoryExists)(void* ctx, const char* path);
  bool (*removeDirectory)(void* ctx, const char* path);

  // PVR library.
  void (*transferEpgEntry)(void* ctx, const ADDON_HANDLE handle, const EPG_TAG* entry);
  void (*transferChannelEntry)(void* ctx, const ADDON_HANDLE handle, const PVR_CHANNEL* entry);
  void (*transferTimerEntry)(void* ctx, const ADDON_HANDLE handle, const PVR_TIMER* entry);
  void (*transferRecordingEntry)(void* ctx, const ADDON_HANDLE handle, const PVR_RECORDING* entry);
  void (*addMenuHook)(void* ctx, PVR_MENUHOOK* hook);
  void (*recording)(void* ctx, const char* name, const char* fileName, bool on);
  void (*triggerTimerUpdate)(void* ctx);
  void (*triggerRecordingUpdate)(void* ctx);
  void (*triggerChannelUpdate)(void* ctx);
  void (*triggerChannelGroupsUpdate)(void* ctx);
  void (*triggerEpgUpdate)(void* ctx, unsigned int channelUid);
  void (*transferChannelGroup)(void* ctx, const ADDON_HANDLE handle,
                               const PVR_CHANNEL_GROUP* group);
  void (*transferChannelGroupMember)(void* ctx, const ADDON_HANDLE handle,
                                     const PVR_CHANNEL_GROUP_MEMBER* member);
  void (*freeDemuxPacket)(void* ctx, DemuxPacket* packet);
  DemuxPacket* (*allocateDemuxPacket)(void* ctx, int dataSize);

  // GUI library. Destroy and release calls carry no context: the objects are
  // the simulator's and their virtual destructors reach it.
  void (*guiLock)(void* ctx);
  void (*guiUnlock)(void* ctx);
  int (*screenHeight)(void* ctx);
  int (*screenWidth)(void* ctx);
  int (*videoResolution)(void* ctx);
  CAddonGUIWindow* (*windowCreate)(void* ctx, const char* xmlFilename, const char* defaultSkin,
                                   bool forceFallback, bool asDialog);
  CAddonGUISpinControl* (*controlGetSpin)(void* ctx, CAddonGUIWindow* window, int controlId);
  CAddonGUIRadioButton* (*controlGetRadioButton)(void* ctx, CAddonGUIWindow* window, int controlId);
  CAddonGUIProgressControl* (*controlGetProgress)(void* ctx, CAddonGUIWindow* window,
                                                  int controlId);
  CAddonListItem* (*listItemCreate)(void* ctx, const char* label, const char* label2,
                                    const char* iconImage, const char* thumbnailImage,
                                    const char* path);
  CAddonGUIRenderingControl* (*controlGetRendering)(void* ctx, CAddonGUIWindow* window,
                                                    int controlId);
};

}  // extern "C"
