// The user's side of an open window, handed to window handlers and GUI
// scripts: each operation does what a user would (click, send an action, pick
// a spin value) and calls the add-on back on the session's thread.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/GuiScript.h"
#include "gui/WindowState.h"

namespace hostsim {

class Journal;

class Window {
 public:
  using Keeper = std::function<void(const WindowRecord&)>;
  Window(std::shared_ptr<WindowState> state, Journal& journal, Keeper keep = Keeper())
      : state_(std::move(state)), journal_(journal), keep_(std::move(keep)) {}

  const std::string& file() const { return state_->file(); }
  bool isOpen() const { return state_->isOpen(); }

  // Each returns the add-on's answer; false without calling it when the
  // window is closed or has no such control.
  bool click(int controlId);
  bool action(int actionId);
  bool focus(int controlId);
  // Host-side changes a user makes before clicking; no callback.
  bool setSpin(int controlId, int value);
  bool setRadio(int controlId, bool selected);
  bool select(int position);
  // Selects the first list item with that label.
  bool selectLabel(const std::string& label);
  // What the window shows now: printed, and kept (Gui::snapshots).
  WindowRecord snapshot();
  void wait(std::chrono::milliseconds duration);
  bool play(const GuiStep& step);

  std::string label(int controlId) const { return state_->label(controlId); }
  int spinValue(int controlId) const { return state_->spin(controlId).value; }
  SpinRecord spin(int controlId) const { return state_->spin(controlId); }
  bool radioSelected(int controlId) const { return state_->radio(controlId).selected; }
  int listSize() const { return static_cast<int>(state_->listSize()); }
  int listPosition() const { return state_->listPosition(); }
  std::vector<ListItemRecord> items() const { return state_->snapshot().items; }
  std::string property(const std::string& key) const { return state_->propertyText(key); }

  // Used by the host's session for the steps it takes itself.
  enum class Callback { Init, Focus, Click, Action };
  bool call(Callback which, int argument, const std::string& step);

 private:
  bool refuse(const std::string& step, const std::string& why);

  std::shared_ptr<WindowState> state_;
  Journal& journal_;
  Keeper keep_;
};

}  // namespace hostsim
