// Signatures of the symbols exported by the host's add-on, PVR and GUI
// libraries. The add-on resolves them with dlsym; the host's libraries define
// them with exactly these types.
#pragma once

#include <sys/types.h>

#include <cstdint>

#include "host/xbmc_gui_types.h"
#include "host/xbmc_pvr_types.h"

extern "C" {

// The host's add-on library ("/library.xbmc.addon/libXBMC_addon-x86-osx.so").
typedef void* (*XBMC_register_me_t)(void* hdl);
typedef void (*XBMC_unregister_me_t)(void* hdl, void* cb);
typedef void (*XBMC_log_t)(void* hdl, void* cb, const addon_log level, const char* msg);
typedef bool (*XBMC_get_setting_t)(void* hdl, void* cb, const char* name, void* value);
typedef void (*XBMC_queue_notification_t)(void* hdl, void* cb, const queue_msg type,
                                          const char* msg);
typedef bool (*XBMC_wake_on_lan_t)(void* hdl, void* cb, const char* mac);
typedef char* (*XBMC_unknown_to_utf8_t)(void* hdl, void* cb, const char* str);
typedef char* (*XBMC_get_localized_string_t)(void* hdl, void* cb, int code);
typedef void (*XBMC_free_string_t)(void* hdl, void* cb, char* str);
typedef char* (*XBMC_get_dvd_menu_language_t)(void* hdl, void* cb);
typedef void* (*XBMC_open_file_t)(void* hdl, void* cb, const char* path, unsigned int flags);
typedef void* (*XBMC_open_file_for_write_t)(void* hdl, void* cb, const char* path, bool overwrite);
typedef ssize_t (*XBMC_read_file_t)(void* hdl, void* cb, void* file, void* buf, size_t size);
typedef bool (*XBMC_read_file_string_t)(void* hdl, void* cb, void* file, char* line, int size);
typedef ssize_t (*XBMC_write_file_t)(void* hdl, void* cb, void* file, const void* buf, size_t size);
typedef void (*XBMC_flush_file_t)(void* hdl, void* cb, void* file);
typedef int64_t (*XBMC_seek_file_t)(void* hdl, void* cb, void* file, int64_t pos, int whence);
typedef int (*XBMC_truncate_file_t)(void* hdl, void* cb, void* file, int64_t size);
typedef int64_t (*XBMC_get_file_position_t)(void* hdl, void* cb, void* file);
typedef int64_t (*XBMC_get_file_length_t)(void* hdl, void* cb, void* file);
typedef void (*XBMC_close_file_t)(void* hdl, void* cb, void* file);
typedef int (*XBMC_get_file_chunk_size_t)(void* hdl, void* cb, void* file);
typedef bool (*XBMC_file_exists_t)(void* hdl, void* cb, const char* path, bool useCache);
typedef int (*XBMC_stat_file_t)(void* hdl, void* cb, const char* path, struct stat* buffer);
typedef bool (*XBMC_delete_file_t)(void* hdl, void* cb, const char* path);
typedef bool (*XBMC_can_open_directory_t)(void* hdl, void* cb, const char* url);
typedef bool (*XBMC_create_directory_t)(void* hdl, void* cb, const char* path);
typedef bool (*XBMC_directory_exists_t)(void* hdl, void* cb, const char* path);
typedef bool (*XBMC_remove_directory_t)(void* hdl, void* cb, const char* path);

// The host's PVR library ("/library.xbmc.pvr/libXBMC_pvr-x86-osx.so").
typedef void* (*PVR_register_me_t)(void* hdl);
typedef void (*PVR_unregister_me_t)(void* hdl, void* cb);
typedef void (*PVR_transfer_epg_entry_t)(void* hdl, void* cb, const ADDON_HANDLE handle,
                                         const EPG_TAG* entry);
typedef void (*PVR_transfer_channel_entry_t)(void* hdl, void* cb, const ADDON_HANDLE handle,
                                             const PVR_CHANNEL* entry);
typedef void (*PVR_transfer_timer_entry_t)(void* hdl, void* cb, const ADDON_HANDLE handle,
                                           const PVR_TIMER* entry);
typedef void (*PVR_transfer_recording_entry_t)(void* hdl, void* cb, const ADDON_HANDLE handle,
                                               const PVR_RECORDING* entry);
typedef void (*PVR_add_menu_hook_t)(void* hdl, void* cb, PVR_MENUHOOK* hook);
typedef void (*PVR_recording_t)(void* hdl, void* cb, const char* name, const char* fileName,
                                bool on);
typedef void (*PVR_trigger_timer_update_t)(void* hdl, void* cb);
typedef void (*PVR_trigger_recording_update_t)(void* hdl, void* cb);
typedef void (*PVR_trigger_channel_update_t)(void* hdl, void* cb);
typedef void (*PVR_trigger_channel_groups_update_t)(void* hdl, void* cb);
typedef void (*PVR_trigger_epg_update_t)(void* hdl, void* cb, unsigned int channelUid);
typedef void (*PVR_transfer_channel_group_t)(void* hdl, void* cb, const ADDON_HANDLE handle,
                                             const PVR_CHANNEL_GROUP* group);
typedef void (*PVR_transfer_channel_group_member_t)(void* hdl, void* cb, const ADDON_HANDLE handle,
                                                    const PVR_CHANNEL_GROUP_MEMBER* member);
typedef void (*PVR_free_demux_packet_t)(void* hdl, void* cb, DemuxPacket* packet);
typedef DemuxPacket* (*PVR_allocate_demux_packet_t)(void* hdl, void* cb, int dataSize);

// The host's GUI library ("/library.xbmc.gui/libXBMC_gui-x86-osx.so").
typedef void* (*GUI_register_me_t)(void* hdl);
typedef void (*GUI_unregister_me_t)(void* hdl, void* cb);
typedef void (*GUI_lock_t)(void* hdl, void* cb);
typedef void (*GUI_unlock_t)(void* hdl, void* cb);
typedef int (*GUI_get_screen_height_t)(void* hdl, void* cb);
typedef int (*GUI_get_screen_width_t)(void* hdl, void* cb);
typedef int (*GUI_get_video_resolution_t)(void* hdl, void* cb);
typedef CAddonGUIWindow* (*GUI_Window_create_t)(void* hdl, void* cb, const char* xmlFilename,
                                                const char* defaultSkin, bool forceFallback,
                                                bool asDialog);
typedef void (*GUI_Window_destroy_t)(CAddonGUIWindow* window);
typedef CAddonGUISpinControl* (*GUI_control_get_spin_t)(void* hdl, void* cb,
                                                        CAddonGUIWindow* window, int controlId);
typedef void (*GUI_control_release_spin_t)(CAddonGUISpinControl* spin);
typedef CAddonGUIRadioButton* (*GUI_control_get_radiobutton_t)(void* hdl, void* cb,
                                                               CAddonGUIWindow* window,
                                                               int controlId);
typedef void (*GUI_control_release_radiobutton_t)(CAddonGUIRadioButton* radio);
typedef CAddonGUIProgressControl* (*GUI_control_get_progress_t)(void* hdl, void* cb,
                                                                CAddonGUIWindow* window,
                                                                int controlId);
typedef void (*GUI_control_release_progress_t)(CAddonGUIProgressControl* progress);
typedef CAddonListItem* (*GUI_ListItem_create_t)(void* hdl, void* cb, const char* label,
                                                 const char* label2, const char* iconImage,
                                                 const char* thumbnailImage, const char* path);
typedef void (*GUI_ListItem_destroy_t)(CAddonListItem* item);
typedef CAddonGUIRenderingControl* (*GUI_control_get_rendering_t)(void* hdl, void* cb,
                                                                  CAddonGUIWindow* window,
                                                                  int controlId);
typedef void (*GUI_control_release_rendering_t)(CAddonGUIRenderingControl* control);

}  // extern "C"

// Relative paths of the three libraries under the host's add-on library folder.
#define XBMC_ADDON_LIBRARY_PATH "/library.xbmc.addon/libXBMC_addon-x86-osx.so"
#define XBMC_PVR_LIBRARY_PATH "/library.xbmc.pvr/libXBMC_pvr-x86-osx.so"
#define XBMC_GUI_LIBRARY_PATH "/library.xbmc.gui/libXBMC_gui-x86-osx.so"

#include <string>

// The full path of one of the three libraries: the host's add-on library
// folder is the first string of the callback block handed to ADDON_Create.
inline std::string XbmcLibraryPath(void* callbacks, const char* relative) {
  const auto* cb = static_cast<const AddonCB*>(callbacks);
  const std::string base = cb != nullptr && cb->libBasePath != nullptr ? cb->libBasePath : "";
  return base + relative;
}
