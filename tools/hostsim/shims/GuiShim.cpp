// The host's GUI library: forwards every call to the simulator's table. The
// destroy and release calls delete the simulator's objects through their
// virtual destructors, which tell the simulator.
#include "shims/ShimSupport.h"

using hostsim_shim::TableOf;

#define TABLE_OR(result)                          \
  const HostsimTable* t = TableOf(hdl, __func__); \
  if (t == nullptr) return result

HOSTSIM_EXPORT void* GUI_register_me(void* hdl) {
  TABLE_OR(nullptr);
  return t->registerLibrary(t->ctx, HOSTSIM_LIB_GUI);
}

HOSTSIM_EXPORT void GUI_unregister_me(void* hdl, void* cb) {
  TABLE_OR();
  t->unregisterLibrary(t->ctx, HOSTSIM_LIB_GUI, cb);
}

HOSTSIM_EXPORT void GUI_lock(void* hdl, void*) {
  TABLE_OR();
  t->guiLock(t->ctx);
}

HOSTSIM_EXPORT void GUI_unlock(void* hdl, void*) {
  TABLE_OR();
  t->guiUnlock(t->ctx);
}

HOSTSIM_EXPORT int GUI_get_screen_height(void* hdl, void*) {
  TABLE_OR(0);
  return t->screenHeight(t->ctx);
}

HOSTSIM_EXPORT int GUI_get_screen_width(void* hdl, void*) {
  TABLE_OR(0);
  return t->screenWidth(t->ctx);
}

HOSTSIM_EXPORT int GUI_get_video_resolution(void* hdl, void*) {
  TABLE_OR(-1);
  return t->videoResolution(t->ctx);
}

HOSTSIM_EXPORT CAddonGUIWindow* GUI_Window_create(void* hdl, void*, const char* xmlFilename,
                                                  const char* defaultSkin, bool forceFallback,
                                                  bool asDialog) {
  TABLE_OR(nullptr);
  return t->windowCreate(t->ctx, xmlFilename, defaultSkin, forceFallback, asDialog);
}

HOSTSIM_EXPORT void GUI_Window_destroy(CAddonGUIWindow* window) {
  delete window;
}

HOSTSIM_EXPORT CAddonGUISpinControl* GUI_control_get_spin(void* hdl, void*, CAddonGUIWindow* window,
                                                          int controlId) {
  TABLE_OR(nullptr);
  return t->controlGetSpin(t->ctx, window, controlId);
}

HOSTSIM_EXPORT void GUI_control_release_spin(CAddonGUISpinControl* spin) {
  delete spin;
}

HOSTSIM_EXPORT CAddonGUIRadioButton* GUI_control_get_radiobutton(void* hdl, void*,
                                                                 CAddonGUIWindow* window,
                                                                 int controlId) {
  TABLE_OR(nullptr);
  return t->controlGetRadioButton(t->ctx, window, controlId);
}

HOSTSIM_EXPORT void GUI_control_release_radiobutton(CAddonGUIRadioButton* radio) {
  delete radio;
}

HOSTSIM_EXPORT CAddonGUIProgressControl* GUI_control_get_progress(void* hdl, void*,
                                                                  CAddonGUIWindow* window,
                                                                  int controlId) {
  TABLE_OR(nullptr);
  return t->controlGetProgress(t->ctx, window, controlId);
}

HOSTSIM_EXPORT void GUI_control_release_progress(CAddonGUIProgressControl* progress) {
  delete progress;
}

HOSTSIM_EXPORT CAddonListItem* GUI_ListItem_create(void* hdl, void*, const char* label,
                                                   const char* label2, const char* iconImage,
                                                   const char* thumbnailImage, const char* path) {
  TABLE_OR(nullptr);
  return t->listItemCreate(t->ctx, label, label2, iconImage, thumbnailImage, path);
}

HOSTSIM_EXPORT void GUI_ListItem_destroy(CAddonListItem* item) {
  delete item;
}

HOSTSIM_EXPORT CAddonGUIRenderingControl* GUI_control_get_rendering(void* hdl, void*,
                                                                    CAddonGUIWindow* window,
                                                                    int controlId) {
  TABLE_OR(nullptr);
  return t->controlGetRendering(t->ctx, window, controlId);
}

HOSTSIM_EXPORT void GUI_control_release_rendering(CAddonGUIRenderingControl* control) {
  delete control;
}
