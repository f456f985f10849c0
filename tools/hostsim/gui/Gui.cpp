#include "gui/Gui.h"

#include <pthread.h>
#include <sys/stat.h>

#include <exception>

#include "core/Journal.h"
#include "core/StringTable.h"
#include "gui/Controls.h"
#include "gui/HostWindow.h"

namespace hostsim {

namespace {

constexpr int kBackAction = 92;  // ACTION_NAV_BACK
constexpr auto kLockTimeout = std::chrono::seconds(5);

bool fileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

Gui::Gui(Journal& journal, const StringTable& strings)
    : journal_(journal),
      strings_(strings),
      thread_([this](const std::shared_ptr<WindowState>& s) { run(s, false); }) {}

Gui::~Gui() {
  shutdown();
}

void Gui::setSkinFolder(const std::string& folder) {
  std::lock_guard<std::mutex> lock(mutex_);
  skinFolder_ = folder;
}

void Gui::onWindow(const std::string& file, WindowHandler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  every_[file] = std::move(handler);
}

void Gui::onNextWindow(const std::string& file, WindowHandler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  once_[file].push_back(std::move(handler));
}

void Gui::loadScript(const GuiScript& script) {
  for (const ScriptVisit& visit : script.visits()) {
    std::vector<GuiStep> steps = visit.steps;
    WindowHandler play = [steps](Window& w) {
      for (const GuiStep& step : steps) {
        if (!w.isOpen()) break;
        w.play(step);
      }
    };
    if (visit.every)
      onWindow(visit.file, std::move(play));
    else
      onNextWindow(visit.file, std::move(play));
  }
}

void Gui::clearHandlers() {
  std::lock_guard<std::mutex> lock(mutex_);
  once_.clear();
  every_.clear();
}

std::vector<WindowRecord> Gui::closedWindows() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return records_;
}

namespace {

std::vector<WindowRecord> OfFile(const std::vector<WindowRecord>& records,
                                 const std::string& file) {
  std::vector<WindowRecord> out;
  for (const auto& r : records)
    if (r.file == file) out.push_back(r);
  return out;
}

}  // namespace

std::vector<WindowRecord> Gui::snapshots(const std::string& file) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return OfFile(snapshots_, file);
}

std::vector<WindowRecord> Gui::closedWindows(const std::string& file) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return OfFile(records_, file);
}

bool Gui::waitForClosed(const std::string& file, size_t count,
                        std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return closed_.wait_for(lock, timeout, [&] {
    size_t n = 0;
    for (const auto& r : records_) n += r.file == file;
    return n >= count;
  });
}

bool Gui::waitIdle(std::chrono::milliseconds timeout) const {
  return thread_.waitIdle(timeout);
}

Gui::WindowHandler Gui::take(const std::string& file) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto once = once_.find(file);
  if (once != once_.end() && !once->second.empty()) {
    WindowHandler h = std::move(once->second.front());
    once->second.pop_front();
    return h;
  }
  auto every = every_.find(file);
  return every != every_.end() ? every->second : WindowHandler();
}

void Gui::run(const std::shared_ptr<WindowState>& state, bool modal) {
  const std::string& file = state->file();
  if (!state->begin(modal)) {
    journal_.host("window " + file + " is open already or destroyed; not shown again");
    return;
  }
  // Which thread asks matters: a host thread held by a modal window hangs the host.
  char thread[32] = "?";
  pthread_getname_np(pthread_self(), thread, sizeof thread);
  journal_.host("window " + file + (modal ? " opened (modal)" : " shown") + " on thread " + thread);
  Window w(state, journal_, [this](const WindowRecord& r) {
    std::lock_guard<std::mutex> lock(mutex_);
    snapshots_.push_back(r);
  });
  w.call(Window::Callback::Init, 0, "init");
  int focus = state->layout().defaultControl();
  if (focus != 0 && state->isOpen() && state->setFocus(focus))
    w.call(Window::Callback::Focus, focus, "focus " + std::to_string(focus));

  WindowHandler handler = take(file);
  if (handler && state->isOpen()) {
    state->setScripted(true);
    try {
      handler(w);
    } catch (const std::exception& e) {
      journal_.hostError("window handler for " + file + " threw: " + e.what());
    }
  } else if (!handler) {
    journal_.host("window " + file + " has no script: the host goes back (action 92)");
  }
  bool handled = false;
  if (state->isOpen())
    handled = w.call(Window::Callback::Action, kBackAction, "action 92 (host back)");
  if (state->isOpen()) {
    state->setStep("");
    state->close(CloseReason::ByHost);
    // An action the window leaves unhandled is the host's: back closes it.
    if (handled)
      journal_.hostError("window " + file +
                         " stayed open after the back action; the host closed it");
    else
      journal_.host("window " + file + " left the back action to the host, which closed it");
  }
  WindowRecord record = state->snapshot();
  for (const std::string& line : record.describe()) journal_.print(line);
  std::lock_guard<std::mutex> lock(mutex_);
  records_.push_back(std::move(record));
  closed_.notify_all();
}

bool Gui::runModal(const std::shared_ptr<WindowState>& state) {
  run(state, true);
  return true;
}

bool Gui::show(const std::shared_ptr<WindowState>& state) {
  thread_.start();
  thread_.post(state);
  return true;
}

CAddonGUIWindow* Gui::createWindow(const char* xmlFilename, const char*, bool, bool) {
  std::string name = xmlFilename ? xmlFilename : "";
  std::string folder;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    folder = skinFolder_;
  }
  if (name.empty() || name.find('/') != std::string::npos) {
    journal_.hostError("GUI_Window_create: bad window file name \"" + name + "\"");
    return nullptr;
  }
  std::string path = folder + "/" + name;
  if (!fileExists(path)) {
    journal_.hostError("window file not found: " + path);
    return nullptr;
  }
  WindowFile layout;
  WindowFileResult loaded = layout.loadFile(path, [this](int id) { return strings_.get(id); });
  if (!loaded) {
    journal_.hostError("window file " + path + ": " + loaded.error);
    return nullptr;
  }
  for (const auto& w : loaded.warnings) journal_.host("window file " + name + ": " + w);
  auto* window = new HostWindow(*this, std::make_shared<WindowState>(name, std::move(layout)));
  registry_.add(window, static_cast<CAddonGUIWindow*>(window), GuiObjectKind::Window);
  return window;
}

std::shared_ptr<WindowState> Gui::controlOf(CAddonGUIWindow* window, int controlId,
                                            const char* what,
                                            std::initializer_list<const char*> types) {
  if (!registry_.contains(window, GuiObjectKind::Window)) {
    journal_.hostError(std::string(what) + " on a window the host did not create");
    return nullptr;
  }
  std::shared_ptr<WindowState> state = static_cast<HostWindow*>(window)->state();
  if (!state->hasControl(controlId)) {
    journal_.hostError(std::string(what) + ": " + state->file() + " has no control " +
                       std::to_string(controlId));
    return nullptr;
  }
  std::string type = state->layout().control(controlId).type;
  for (const char* t : types)
    if (type == t) return state;
  journal_.hostError(std::string(what) + ": control " + std::to_string(controlId) + " of " +
                     state->file() + " is of type \"" + type + "\"");
  return nullptr;
}

CAddonGUISpinControl* Gui::getSpin(CAddonGUIWindow* window, int controlId) {
  auto state =
      controlOf(window, controlId, "GUI_control_get_spin", {"spincontrolex", "spincontrol"});
  if (!state) return nullptr;
  state->spinUpdate(controlId, [](SpinRecord&) {});  // shows in the record from now on
  auto* spin = new HostSpin(state, controlId);
  registry_.add(spin, static_cast<CAddonGUISpinControl*>(spin), GuiObjectKind::Spin);
  return spin;
}

CAddonGUIRadioButton* Gui::getRadioButton(CAddonGUIWindow* window, int controlId) {
  auto state = controlOf(window, controlId, "GUI_control_get_radiobutton", {"radiobutton"});
  if (!state) return nullptr;
  state->radioUpdate(controlId, [](RadioRecord&) {});
  auto* radio = new HostRadio(state, controlId);
  registry_.add(radio, static_cast<CAddonGUIRadioButton*>(radio), GuiObjectKind::Radio);
  return radio;
}

CAddonGUIProgressControl* Gui::getProgress(CAddonGUIWindow* window, int controlId) {
  auto state = controlOf(window, controlId, "GUI_control_get_progress", {"progress"});
  if (!state) return nullptr;
  auto* progress = new HostProgress(state, controlId);
  registry_.add(progress, static_cast<CAddonGUIProgressControl*>(progress),
                GuiObjectKind::Progress);
  return progress;
}

CAddonGUIRenderingControl* Gui::getRendering(CAddonGUIWindow* window, int controlId) {
  auto state = controlOf(window, controlId, "GUI_control_get_rendering", {"renderaddon"});
  if (!state) return nullptr;
  auto* rendering = new HostRendering();
  registry_.add(rendering, static_cast<CAddonGUIRenderingControl*>(rendering),
                GuiObjectKind::Rendering);
  return rendering;
}

CAddonListItem* Gui::createListItem(const char* label, const char* label2, const char* icon,
                                    const char* thumbnail, const char* path) {
  auto data = std::make_shared<ListItemData>();
  data->set(&ListItemRecord::label, label);
  data->set(&ListItemRecord::label2, label2);
  data->set(&ListItemRecord::icon, icon);
  data->set(&ListItemRecord::thumbnail, thumbnail);
  data->set(&ListItemRecord::path, path);
  auto* item = new HostListItem(data);
  registry_.add(item, static_cast<CAddonListItem*>(item), GuiObjectKind::ListItem);
  return item;
}

void Gui::lock() {
  if (!guiLock_.lock(kLockTimeout))
    journal_.hostError("GUI_lock: another thread held the GUI lock for 5 s; going on without it");
}

void Gui::unlock() {
  if (!guiLock_.unlock()) journal_.hostError("GUI_unlock by a thread that does not hold the lock");
}

void Gui::drain(std::chrono::milliseconds timeout) {
  if (!thread_.waitIdle(timeout))
    journal_.hostError("shown windows still running after " + std::to_string(timeout.count()) +
                       " ms");
}

void Gui::shutdown() {
  size_t dropped = thread_.discard();
  thread_.stop();
  if (dropped) journal_.host(std::to_string(dropped) + " shown windows never ran");
  std::string left;
  for (const auto& kv : registry_.releaseAll())
    left +=
        (left.empty() ? "" : ", ") + std::to_string(kv.second) + " " + guiObjectKindName(kv.first);
  if (!left.empty()) journal_.host("the add-on did not release " + left + "; freed by the host");
}

}  // namespace hostsim
