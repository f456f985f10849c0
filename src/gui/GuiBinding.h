// Binding of the host's GUI library: windows, controls and list items.
#pragma once

#include "host/xbmc_host_api.h"

class CHelper_libXBMC_gui {
 public:
  CHelper_libXBMC_gui() = default;
  ~CHelper_libXBMC_gui();
  CHelper_libXBMC_gui(const CHelper_libXBMC_gui&) = delete;
  CHelper_libXBMC_gui& operator=(const CHelper_libXBMC_gui&) = delete;

  bool RegisterMe(void* handle);
  void Release();

  void Lock();
  void Unlock();
  CAddonGUIWindow* Window_create(const char* xmlFilename, const char* defaultSkin,
                                 bool forceFallback, bool asDialog);
  void Window_destroy(CAddonGUIWindow* window);
  CAddonGUISpinControl* Control_getSpin(CAddonGUIWindow* window, int controlId);
  void Control_releaseSpin(CAddonGUISpinControl* spin);
  CAddonGUIRadioButton* Control_getRadioButton(CAddonGUIWindow* window, int controlId);
  void Control_releaseRadioButton(CAddonGUIRadioButton* radio);
  CAddonGUIProgressControl* Control_getProgress(CAddonGUIWindow* window, int controlId);
  void Control_releaseProgress(CAddonGUIProgressControl* progress);
  CAddonListItem* ListItem_create(const char* label, const char* label2, const char* iconImage,
                                  const char* thumbnailImage, const char* path);
  void ListItem_destroy(CAddonListItem* item);

  GUI_register_me_t GUI_register_me = nullptr;
  GUI_unregister_me_t GUI_unregister_me = nullptr;
  GUI_lock_t GUI_lock = nullptr;
  GUI_unlock_t GUI_unlock = nullptr;
  GUI_get_screen_height_t GUI_get_screen_height = nullptr;
  GUI_get_screen_width_t GUI_get_screen_width = nullptr;
  GUI_get_video_resolution_t GUI_get_video_resolution = nullptr;
  GUI_Window_create_t GUI_Window_create = nullptr;
  GUI_Window_destroy_t GUI_Window_destroy = nullptr;
  GUI_control_get_spin_t GUI_control_get_spin = nullptr;
  GUI_control_release_spin_t GUI_control_release_spin = nullptr;
  GUI_control_get_radiobutton_t GUI_control_get_radiobutton = nullptr;
  GUI_control_release_radiobutton_t GUI_control_release_radiobutton = nullptr;
  GUI_control_get_progress_t GUI_control_get_progress = nullptr;
  GUI_control_release_progress_t GUI_control_release_progress = nullptr;
  GUI_ListItem_create_t GUI_ListItem_create = nullptr;
  GUI_ListItem_destroy_t GUI_ListItem_destroy = nullptr;
  GUI_control_get_rendering_t GUI_control_get_rendering = nullptr;
  GUI_control_release_rendering_t GUI_control_release_rendering = nullptr;

  void* m_libXBMC_gui = nullptr;
  void* m_Handle = nullptr;
  void* m_Callbacks = nullptr;
};

extern CHelper_libXBMC_gui* GUI;
