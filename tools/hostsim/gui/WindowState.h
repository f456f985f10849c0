// The state of one add-on window, shared by the object the add-on holds, its
// controls and the host's session that runs it: once the add-on destroys the
// window, the session can still finish and take its record. One lock guards
// all of it; it is never held while the add-on is called.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "gui/ListItem.h"
#include "gui/WindowFile.h"
#include "gui/WindowRecord.h"
#include "host/xbmc_gui_types.h"

namespace hostsim {

class WindowState {
 public:
  WindowState(std::string file, WindowFile layout)
      : file_(std::move(file)), layout_(std::move(layout)) {}

  const std::string& file() const { return file_; }
  const WindowFile& layout() const { return layout_; }
  bool hasControl(int id) const { return layout_.has(id); }

  bool setLabel(int id, const std::string& text);  // false: no such control
  std::string label(int id) const;

  void setProperty(const std::string& key, const std::string& value);
  // Stays valid until the property changes.
  const char* propertyText(const std::string& key) const;
  void clearProperties();

  size_t listSize() const;
  void clearList();
  // The window's own handle for the new entry, sharing `data`.
  HostListItem* addItem(const std::shared_ptr<ListItemData>& data, int position);
  void removeItem(int position);
  HostListItem* item(int position) const;
  void setListPosition(int position);
  int listPosition() const;

  bool setFocus(int id);
  int focus() const;

  void spinUpdate(int id, const std::function<void(SpinRecord&)>& change);
  SpinRecord spin(int id) const;
  void radioUpdate(int id, const std::function<void(RadioRecord&)>& change);
  RadioRecord radio(int id) const;
  void setProgress(int id, float percent);
  float progress(int id) const;

  // Life of one showing.
  bool begin(bool modal);  // false when open already or destroyed
  void close(CloseReason reason);
  bool isOpen() const;
  bool isDestroyed() const;
  void setStep(const std::string& step);  // what the host does now; kept in the record
  void addProblem(const std::string& problem);
  void setScripted(bool scripted);

  // The add-on's callbacks, read from the window object while it exists.
  struct Callbacks {
    GUIHANDLE handle = nullptr;
    bool (*onInit)(GUIHANDLE) = nullptr;
    bool (*onFocus)(GUIHANDLE, int) = nullptr;
    bool (*onClick)(GUIHANDLE, int) = nullptr;
    bool (*onAction)(GUIHANDLE, int) = nullptr;
  };
  void attach(CAddonGUIWindow* owner);
  // False when the window is gone; otherwise the caller must leaveCallback().
  bool enterCallback(Callbacks& out);
  void leaveCallback();
  // The add-on destroys the window: callbacks running on other threads are
  // waited for (bounded); returns false if they did not end in time.
  bool detach(std::chrono::milliseconds timeout);

  WindowRecord snapshot() const;

 private:
  const std::string file_;
  const WindowFile layout_;

  mutable std::mutex mutex_;
  std::condition_variable callbacksDone_;
  std::map<int, std::string> labels_;  // labels set by the add-on
  std::map<std::string, std::string> properties_;
  struct Entry {
    std::shared_ptr<ListItemData> data;
    std::unique_ptr<HostListItem> view;
  };
  std::vector<Entry> items_;
  int listPosition_ = -1;
  int focus_ = 0;
  std::map<int, SpinRecord> spins_;
  std::map<int, RadioRecord> radios_;
  std::map<int, float> progress_;

  CAddonGUIWindow* owner_ = nullptr;
  bool destroyed_ = false;
  bool open_ = false;
  bool modal_ = false;
  bool scripted_ = false;
  CloseReason closedBy_ = CloseReason::NotClosed;
  std::string step_;
  std::string closingStep_;
  std::vector<std::string> steps_;
  std::vector<std::string> problems_;
  std::map<std::thread::id, int> inCallback_;
};

}  // namespace hostsim
