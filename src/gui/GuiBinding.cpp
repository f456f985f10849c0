#include "gui/GuiBinding.h"

#include "common/Library.h"

CHelper_libXBMC_gui* GUI = nullptr;

CHelper_libXBMC_gui::~CHelper_libXBMC_gui() {
  Release();
}

bool CHelper_libXBMC_gui::RegisterMe(void* handle) {
  m_Handle = handle;
  m_libXBMC_gui = library::Open(XbmcLibraryPath(handle, XBMC_GUI_LIBRARY_PATH));
  if (m_libXBMC_gui == nullptr) return false;

  void* lib = m_libXBMC_gui;
  const bool resolved =
      library::Resolve(lib, "GUI_register_me", GUI_register_me) &&
      library::Resolve(lib, "GUI_unregister_me", GUI_unregister_me) &&
      library::Resolve(lib, "GUI_lock", GUI_lock) &&
      library::Resolve(lib, "GUI_unlock", GUI_unlock) &&
      library::Resolve(lib, "GUI_get_screen_height", GUI_get_screen_height) &&
      library::Resolve(lib, "GUI_get_screen_width", GUI_get_screen_width) &&
      library::Resolve(lib, "GUI_get_video_resolution", GUI_get_video_resolution) &&
      library::Resolve(lib, "GUI_Window_create", GUI_Window_create) &&
      library::Resolve(lib, "GUI_Window_destroy", GUI_Window_destroy) &&
      library::Resolve(lib, "GUI_control_get_spin", GUI_control_get_spin) &&
      library::Resolve(lib, "GUI_control_release_spin", GUI_control_release_spin) &&
      library::Resolve(lib, "GUI_control_get_radiobutton", GUI_control_get_radiobutton) &&
      library::Resolve(lib, "GUI_control_release_radiobutton", GUI_control_release_radiobutton) &&
      library::Resolve(lib, "GUI_control_get_progress", GUI_control_get_progress) &&
      library::Resolve(lib, "GUI_control_release_progress", GUI_control_release_progress) &&
      library::Resolve(lib, "GUI_ListItem_create", GUI_ListItem_create) &&
      library::Resolve(lib, "GUI_ListItem_destroy", GUI_ListItem_destroy) &&
      library::Resolve(lib, "GUI_control_get_rendering", GUI_control_get_rendering) &&
      library::Resolve(lib, "GUI_control_release_rendering", GUI_control_release_rendering);
  if (!resolved) return false;

  m_Callbacks = GUI_register_me(m_Handle);
  return m_Callbacks != nullptr;
}

void CHelper_libXBMC_gui::Release() {
  if (m_Callbacks != nullptr && GUI_unregister_me != nullptr) {
    GUI_unregister_me(m_Handle, m_Callbacks);
  }
  m_Callbacks = nullptr;
  library::Close(m_libXBMC_gui);
}

void CHelper_libXBMC_gui::Lock() {
  if (GUI_lock) GUI_lock(m_Handle, m_Callbacks);
}

void CHelper_libXBMC_gui::Unlock() {
  if (GUI_unlock) GUI_unlock(m_Handle, m_Callbacks);
}

CAddonGUIWindow* CHelper_libXBMC_gui::Window_create(const char* xmlFilename,
                                                    const char* defaultSkin, bool forceFallback,
                                                    bool asDialog) {
  if (GUI_Window_create == nullptr) return nullptr;
  return GUI_Window_create(m_Handle, m_Callbacks, xmlFilename, defaultSkin, forceFallback,
                           asDialog);
}

void CHelper_libXBMC_gui::Window_destroy(CAddonGUIWindow* window) {
  if (GUI_Window_destroy && window) GUI_Window_destroy(window);
}

CAddonGUISpinControl* CHelper_libXBMC_gui::Control_getSpin(CAddonGUIWindow* window, int controlId) {
  return GUI_control_get_spin ? GUI_control_get_spin(m_Handle, m_Callbacks, window, controlId)
                              : nullptr;
}

void CHelper_libXBMC_gui::Control_releaseSpin(CAddonGUISpinControl* spin) {
  if (GUI_control_release_spin && spin) GUI_control_release_spin(spin);
}

CAddonGUIRadioButton* CHelper_libXBMC_gui::Control_getRadioButton(CAddonGUIWindow* window,
                                                                  int controlId) {
  return GUI_control_get_radiobutton
             ? GUI_control_get_radiobutton(m_Handle, m_Callbacks, window, controlId)
             : nullptr;
}

void CHelper_libXBMC_gui::Control_releaseRadioButton(CAddonGUIRadioButton* radio) {
  if (GUI_control_release_radiobutton && radio) GUI_control_release_radiobutton(radio);
}

CAddonGUIProgressControl* CHelper_libXBMC_gui::Control_getProgress(CAddonGUIWindow* window,
                                                                   int controlId) {
  return GUI_control_get_progress
             ? GUI_control_get_progress(m_Handle, m_Callbacks, window, controlId)
             : nullptr;
}

void CHelper_libXBMC_gui::Control_releaseProgress(CAddonGUIProgressControl* progress) {
  if (GUI_control_release_progress && progress) GUI_control_release_progress(progress);
}

CAddonListItem* CHelper_libXBMC_gui::ListItem_create(const char* label, const char* label2,
                                                     const char* iconImage,
                                                     const char* thumbnailImage, const char* path) {
  return GUI_ListItem_create ? GUI_ListItem_create(m_Handle, m_Callbacks, label, label2, iconImage,
                                                   thumbnailImage, path)
                             : nullptr;
}

void CHelper_libXBMC_gui::ListItem_destroy(CAddonListItem* item) {
  if (GUI_ListItem_destroy && item) GUI_ListItem_destroy(item);
}
