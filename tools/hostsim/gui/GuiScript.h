// What the user does in the add-on's windows, written as lines such as
//   in DialogSiNo.xml click 11
//   in DialogOpcionesGrabacion.xml set spin 15 to 2 then click 11
//   every DialogSI.xml send action 10
// An "in" line serves one opening of that window, in the order of the lines;
// "every" serves each opening that no "in" line is left for. A line that
// starts with "then" continues the line before it.
#pragma once

#include <string>
#include <vector>

namespace hostsim {

struct GuiStep {
  enum class Op { Click, Action, SetSpin, SetRadio, Focus, Select, SelectLabel, Snapshot, Wait };
  Op op = Op::Click;
  int a = 0;                 // control id, action id, list position or milliseconds
  int b = 0;                 // spin value, radio state
  std::string label;         // the list item's label to select
  std::string text() const;  // "click 11", "set spin 15 to 2"...
};

struct ScriptVisit {
  std::string file;
  bool every = false;
  std::vector<GuiStep> steps;
  int line = 0;
};

struct GuiScriptResult {
  bool ok = false;
  int line = 0;
  std::string error;
  explicit operator bool() const { return ok; }
  std::string describe() const;
};

class GuiScript {
 public:
  GuiScriptResult parse(const std::string& text);
  GuiScriptResult loadFile(const std::string& path);
  const std::vector<ScriptVisit>& visits() const { return visits_; }

  static constexpr int kMaxWaitMs = 60000;

 private:
  std::vector<ScriptVisit> visits_;
};

}  // namespace hostsim
