#include "gui/WindowState.h"

namespace hostsim {

bool WindowState::setLabel(int id, const std::string& text) {
  if (!layout_.has(id)) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  labels_[id] = text;
  return true;
}

std::string WindowState::label(int id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = labels_.find(id);
  return it != labels_.end() ? it->second : layout_.control(id).label;
}

void WindowState::setProperty(const std::string& key, const std::string& value) {
  std::lock_guard<std::mutex> lock(mutex_);
  properties_[key] = value;
}

const char* WindowState::propertyText(const std::string& key) const {
  static const char kEmpty[] = "";
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = properties_.find(key);
  return it == properties_.end() ? kEmpty : it->second.c_str();
}

void WindowState::clearProperties() {
  std::lock_guard<std::mutex> lock(mutex_);
  properties_.clear();
}

size_t WindowState::listSize() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return items_.size();
}

void WindowState::clearList() {
  std::vector<Entry> gone;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    gone.swap(items_);
    listPosition_ = -1;
  }
}

HostListItem* WindowState::addItem(const std::shared_ptr<ListItemData>& data, int position) {
  Entry e{data, std::make_unique<HostListItem>(data)};
  HostListItem* view = e.view.get();
  std::lock_guard<std::mutex> lock(mutex_);
  if (position < 0 || static_cast<size_t>(position) >= items_.size())
    items_.push_back(std::move(e));
  else
    items_.insert(items_.begin() + position, std::move(e));
  return view;
}

void WindowState::removeItem(int position) {
  Entry gone;
  std::lock_guard<std::mutex> lock(mutex_);
  if (position < 0 || static_cast<size_t>(position) >= items_.size()) return;
  gone = std::move(items_[position]);
  items_.erase(items_.begin() + position);
}

HostListItem* WindowState::item(int position) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (position < 0 || static_cast<size_t>(position) >= items_.size()) return nullptr;
  return items_[position].view.get();
}

void WindowState::setListPosition(int position) {
  std::lock_guard<std::mutex> lock(mutex_);
  listPosition_ = position;
}

int WindowState::listPosition() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return listPosition_;
}

bool WindowState::setFocus(int id) {
  if (!layout_.has(id)) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  focus_ = id;
  return true;
}

int WindowState::focus() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return focus_;
}

void WindowState::spinUpdate(int id, const std::function<void(SpinRecord&)>& change) {
  std::lock_guard<std::mutex> lock(mutex_);
  change(spins_[id]);
}

SpinRecord WindowState::spin(int id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = spins_.find(id);
  return it == spins_.end() ? SpinRecord() : it->second;
}

void WindowState::radioUpdate(int id, const std::function<void(RadioRecord&)>& change) {
  std::lock_guard<std::mutex> lock(mutex_);
  change(radios_[id]);
}

RadioRecord WindowState::radio(int id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = radios_.find(id);
  return it == radios_.end() ? RadioRecord() : it->second;
}

void WindowState::setProgress(int id, float percent) {
  std::lock_guard<std::mutex> lock(mutex_);
  progress_[id] = percent;
}

float WindowState::progress(int id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = progress_.find(id);
  return it == progress_.end() ? 0.0f : it->second;
}

bool WindowState::begin(bool modal) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (open_ || destroyed_) return false;
  open_ = true;
  modal_ = modal;
  closedBy_ = CloseReason::NotClosed;
  closingStep_.clear();
  steps_.clear();
  step_.clear();
  return true;
}

void WindowState::close(CloseReason reason) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!open_) return;
  open_ = false;
  closedBy_ = reason;
  closingStep_ = step_;
}

bool WindowState::isOpen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_;
}

bool WindowState::isDestroyed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return destroyed_;
}

void WindowState::setStep(const std::string& step) {
  std::lock_guard<std::mutex> lock(mutex_);
  step_ = step;
  if (!step.empty()) steps_.push_back(step);
}

void WindowState::addProblem(const std::string& problem) {
  std::lock_guard<std::mutex> lock(mutex_);
  problems_.push_back(problem);
}

void WindowState::setScripted(bool scripted) {
  std::lock_guard<std::mutex> lock(mutex_);
  scripted_ = scripted;
}

void WindowState::attach(CAddonGUIWindow* owner) {
  std::lock_guard<std::mutex> lock(mutex_);
  owner_ = owner;
}

bool WindowState::enterCallback(Callbacks& out) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (owner_ == nullptr) return false;
  out.handle = owner_->m_cbhdl;
  out.onInit = owner_->CBOnInit;
  out.onFocus = owner_->CBOnFocus;
  out.onClick = owner_->CBOnClick;
  out.onAction = owner_->CBOnAction;
  ++inCallback_[std::this_thread::get_id()];
  return true;
}

void WindowState::leaveCallback() {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = inCallback_.find(std::this_thread::get_id());
  if (it != inCallback_.end() && --it->second == 0) inCallback_.erase(it);
  callbacksDone_.notify_all();
}

bool WindowState::detach(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  owner_ = nullptr;
  destroyed_ = true;
  if (open_) {
    open_ = false;
    closedBy_ = CloseReason::Destroyed;
    closingStep_ = step_;
  }
  // A callback on this very thread is the one destroying the window.
  auto self = std::this_thread::get_id();
  return callbacksDone_.wait_for(lock, timeout, [&] {
    for (const auto& kv : inCallback_)
      if (kv.first != self) return false;
    return true;
  });
}

WindowRecord WindowState::snapshot() const {
  WindowRecord r;
  r.file = file_;
  std::vector<std::shared_ptr<ListItemData>> items;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& c : layout_.controls()) {
      auto it = labels_.find(c.first);
      r.labels[c.first] = it != labels_.end() ? it->second : c.second.label;
    }
    r.modal = modal_;
    r.scripted = scripted_;
    r.spins = spins_;
    r.radios = radios_;
    r.progress = progress_;
    r.properties = properties_;
    r.focusId = focus_;
    r.listPosition = listPosition_;
    r.closedBy = closedBy_;
    r.closingStep = closingStep_;
    r.steps = steps_;
    r.problems = problems_;
    for (const auto& e : items_) items.push_back(e.data);
  }
  for (const auto& d : items) r.items.push_back(d->snapshot());
  return r;
}

}  // namespace hostsim
