// Host GUI API, version "5.3.0": windows, controls and list items that the
// host's GUI library creates for an add-on. The add-on uses them through their
// virtual operations only; the host owns their implementation.
#pragma once

#define XBMC_GUI_API_VERSION "5.3.0"
#define XBMC_GUI_MIN_API_VERSION "5.3.0"

typedef void* GUIHANDLE;

// Action ids the add-on's dialogs react to.
#define ACTION_PREVIOUS_MENU 10
#define ACTION_SHOW_INFO 11
#define ACTION_CONTEXT_MENU 117
#define ACTION_CLOSE_DIALOG 51
#define ACTION_NAV_BACK 92
#define ACTION_MOUSE_RIGHT_CLICK 101
#define ACTION_BUILT_IN_FUNCTION 122
#define ACTION_BACKSPACE 275

class CAddonListItem {
 public:
  virtual ~CAddonListItem() = default;
  virtual const char* GetLabel() = 0;
  virtual void SetLabel(const char* label) = 0;
  virtual const char* GetLabel2() = 0;
  virtual void SetLabel2(const char* label) = 0;
  virtual void SetIconImage(const char* image) = 0;
  virtual void SetThumbnailImage(const char* image) = 0;
  virtual void SetInfo(const char* info) = 0;
  virtual void SetProperty(const char* key, const char* value) = 0;
  virtual const char* GetProperty(const char* key) const = 0;
  virtual void SetPath(const char* path) = 0;
};

class CAddonGUISpinControl {
 public:
  virtual ~CAddonGUISpinControl() = default;
  virtual void SetVisible(bool visible) = 0;
  virtual void SetText(const char* label) = 0;
  virtual void Clear() = 0;
  virtual void AddLabel(const char* label, int value) = 0;
  virtual int GetValue() = 0;
  virtual void SetValue(int value) = 0;
};

class CAddonGUIRadioButton {
 public:
  virtual ~CAddonGUIRadioButton() = default;
  virtual void SetVisible(bool visible) = 0;
  virtual void SetText(const char* label) = 0;
  virtual void SetSelected(bool selected) = 0;
  virtual bool IsSelected() = 0;
};

class CAddonGUIProgressControl {
 public:
  virtual ~CAddonGUIProgressControl() = default;
  virtual void SetPercentage(float percent) = 0;
  virtual float GetPercentage() const = 0;
  virtual void SetInfo(int info) = 0;
  virtual int GetInfo() const = 0;
};

class CAddonGUIRenderingControl {
 public:
  virtual ~CAddonGUIRenderingControl() = default;
  virtual void Init() = 0;
};

class CAddonGUIWindow {
 public:
  virtual ~CAddonGUIWindow() = default;
  virtual bool Show() = 0;
  virtual bool Close() = 0;
  virtual bool DoModal() = 0;
  virtual bool SetFocusId(int controlId) = 0;
  virtual int GetFocusId() = 0;
  virtual bool SetCoordinateResolution(int res) = 0;
  virtual void SetProperty(const char* key, const char* value) = 0;
  virtual void SetPropertyInt(const char* key, int value) = 0;
  virtual void SetPropertyBool(const char* key, bool value) = 0;
  virtual void SetPropertyDouble(const char* key, double value) = 0;
  virtual const char* GetProperty(const char* key) const = 0;
  virtual int GetPropertyInt(const char* key) const = 0;
  virtual bool GetPropertyBool(const char* key) const = 0;
  virtual double GetPropertyDouble(const char* key) const = 0;
  virtual void ClearProperties() = 0;
  virtual int GetListSize() = 0;
  virtual void ClearList() = 0;
  virtual GUIHANDLE AddStringItem(const char* name, int itemPosition = -1) = 0;
  virtual void AddItem(GUIHANDLE item, int itemPosition = -1) = 0;
  virtual void AddItem(CAddonListItem* item, int itemPosition = -1) = 0;
  virtual void RemoveItem(int itemPosition) = 0;
  virtual GUIHANDLE GetListItem(int listPos) = 0;
  virtual void SetCurrentListPosition(int listPos) = 0;
  virtual int GetCurrentListPosition() = 0;
  virtual void SetControlLabel(int controlId, const char* label) = 0;
  virtual void MarkDirtyRegion() = 0;

  // Set by the add-on after creation; the host calls them while the window is
  // open and passes m_cbhdl back as the first argument.
  GUIHANDLE m_cbhdl = nullptr;
  bool (*CBOnInit)(GUIHANDLE cbhdl) = nullptr;
  bool (*CBOnFocus)(GUIHANDLE cbhdl, int controlId) = nullptr;
  bool (*CBOnClick)(GUIHANDLE cbhdl, int controlId) = nullptr;
  bool (*CBOnAction)(GUIHANDLE cbhdl, int actionId) = nullptr;
};
