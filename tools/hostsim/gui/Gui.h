// The host's GUI for the add-on: creates its windows from the add-on's window
// files, runs them (modal on the caller's thread, shown ones on the GUI
// thread) with the steps of a GUI script or of handlers registered by tests,
// and keeps what each window showed when it closed.
//
//   host.gui().onWindow("DialogSiNo.xml", [](hostsim::Window& w) { w.click(11); });
//   ... the add-on runs the dialog ...
//   auto shown = host.gui().closedWindows("DialogSiNo.xml");
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "gui/GuiLock.h"
#include "gui/GuiRegistry.h"
#include "gui/GuiScript.h"
#include "gui/GuiThread.h"
#include "gui/Window.h"
#include "gui/WindowRecord.h"
#include "host/xbmc_gui_types.h"

namespace hostsim {

class Journal;
class StringTable;

class Gui {
 public:
  using WindowHandler = std::function<void(Window&)>;

  Gui(Journal& journal, const StringTable& strings);
  ~Gui();
  Gui(const Gui&) = delete;
  Gui& operator=(const Gui&) = delete;

  // Where window files are looked up: <addon>/resources/skins/Default/720p.
  void setSkinFolder(const std::string& folder);

  // Handlers run after the window's init and focus callbacks. onNextWindow
  // serves the next opening of that file only, before any onWindow handler,
  // which serves every opening. A window still open after its handler (or
  // without one) gets the back action, and is closed by the host if the
  // add-on leaves it open.
  void onWindow(const std::string& file, WindowHandler handler);
  void onNextWindow(const std::string& file, WindowHandler handler);
  void loadScript(const GuiScript& script);
  void clearHandlers();

  std::vector<WindowRecord> closedWindows() const;
  // What the "snapshot" steps took, in order.
  std::vector<WindowRecord> snapshots(const std::string& file) const;
  std::vector<WindowRecord> closedWindows(const std::string& file) const;
  // Waits until `count` windows of that file have closed in all.
  bool waitForClosed(const std::string& file, size_t count,
                     std::chrono::milliseconds timeout) const;
  size_t liveWindows() const { return registry_.count(GuiObjectKind::Window); }
  // Waits until the GUI thread has nothing to run.
  bool waitIdle(std::chrono::milliseconds timeout) const;

  // The host GUI library's calls.
  CAddonGUIWindow* createWindow(const char* xmlFilename, const char* defaultSkin,
                                bool forceFallback, bool asDialog);
  CAddonGUISpinControl* getSpin(CAddonGUIWindow* window, int controlId);
  CAddonGUIRadioButton* getRadioButton(CAddonGUIWindow* window, int controlId);
  CAddonGUIProgressControl* getProgress(CAddonGUIWindow* window, int controlId);
  CAddonGUIRenderingControl* getRendering(CAddonGUIWindow* window, int controlId);
  CAddonListItem* createListItem(const char* label, const char* label2, const char* icon,
                                 const char* thumbnail, const char* path);
  void lock();
  void unlock();

  // Used by the window objects.
  bool runModal(const std::shared_ptr<WindowState>& state);
  bool show(const std::shared_ptr<WindowState>& state);
  GuiRegistry& registry() { return registry_; }
  Journal& journal() { return journal_; }

  // Before the add-on is destroyed: lets shown windows finish.
  void drain(std::chrono::milliseconds timeout);
  // After: stops the GUI thread and frees what the add-on did not release.
  void shutdown();

 private:
  void run(const std::shared_ptr<WindowState>& state, bool modal);
  WindowHandler take(const std::string& file);
  // The window's state when `window` is one of ours and `controlId` one of
  // its controls of an accepted type; null after reporting.
  std::shared_ptr<WindowState> controlOf(CAddonGUIWindow* window, int controlId, const char* what,
                                         std::initializer_list<const char*> types);

  Journal& journal_;
  const StringTable& strings_;
  GuiRegistry registry_;
  GuiLock guiLock_;

  mutable std::mutex mutex_;
  mutable std::condition_variable closed_;
  std::string skinFolder_;
  std::map<std::string, std::deque<WindowHandler>> once_;
  std::map<std::string, WindowHandler> every_;
  std::vector<WindowRecord> records_;
  std::vector<WindowRecord> snapshots_;

  GuiThread thread_;  // last: stopped before the rest goes
};

}  // namespace hostsim
