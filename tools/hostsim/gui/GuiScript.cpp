#include "gui/GuiScript.h"

#include <fstream>
#include <sstream>

#include "core/SettingsStore.h"

namespace hostsim {

namespace {

class Tokens {
 public:
  explicit Tokens(const std::string& line) {
    std::istringstream in(line);
    std::string t;
    while (in >> t) tokens_.push_back(t);
  }
  bool done() const { return pos_ >= tokens_.size(); }
  std::string peek() const { return done() ? std::string() : tokens_[pos_]; }
  std::string next() { return done() ? std::string() : tokens_[pos_++]; }
  bool accept(const char* word) {
    if (peek() != word) return false;
    ++pos_;
    return true;
  }

 private:
  std::vector<std::string> tokens_;
  size_t pos_ = 0;
};

bool number(Tokens& t, int& out, std::string& error, const char* what) {
  std::string word = t.next();
  if (!parseSettingInt(word, out)) {
    error = std::string("expected ") + what + (word.empty() ? "" : ", got \"" + word + "\"");
    return false;
  }
  return true;
}

// "500", "500ms" or "2s".
bool duration(Tokens& t, int& ms, std::string& error) {
  std::string word = t.next();
  int scale = 1;
  std::string digits = word;
  if (word.size() > 2 && word.compare(word.size() - 2, 2, "ms") == 0) {
    digits = word.substr(0, word.size() - 2);
  } else if (word.size() > 1 && word.back() == 's') {
    digits = word.substr(0, word.size() - 1);
    scale = 1000;
  }
  int v;
  if (!parseSettingInt(digits, v) || v < 0 || v > GuiScript::kMaxWaitMs / scale) {
    error = "expected a wait of at most 60 s, got \"" + word + "\"";
    return false;
  }
  ms = v * scale;
  return true;
}

bool parseStep(Tokens& t, GuiStep& step, std::string& error) {
  std::string verb = t.next();
  using Op = GuiStep::Op;
  if (verb == "click") {
    step.op = Op::Click;
    return number(t, step.a, error, "a control id after click");
  }
  if (verb == "send" || verb == "action") {
    if (verb == "send" && !t.accept("action")) {
      error = "expected \"action\" after send";
      return false;
    }
    step.op = Op::Action;
    return number(t, step.a, error, "an action id");
  }
  if (verb == "back") {
    step.op = Op::Action;
    step.a = 92;
    return true;
  }
  if (verb == "set") {
    if (t.accept("spin")) {
      step.op = Op::SetSpin;
      if (!number(t, step.a, error, "a spin control id")) return false;
      if (!t.accept("to")) {
        error = "expected \"to\" after the spin control id";
        return false;
      }
      return number(t, step.b, error, "a spin value");
    }
    if (t.accept("radio")) {
      step.op = Op::SetRadio;
      if (!number(t, step.a, error, "a radio button id")) return false;
      t.accept("to");  // "set radio 7 to on" reads as well
      std::string state = t.next();
      if (state != "on" && state != "off") {
        error = "expected on or off for the radio button";
        return false;
      }
      step.b = state == "on";
      return true;
    }
    error = "expected spin or radio after set";
    return false;
  }
  if (verb == "focus") {
    step.op = Op::Focus;
    return number(t, step.a, error, "a control id after focus");
  }
  if (verb == "select" && t.accept("label")) {
    // The label runs to the next "then" or the end of the line; quotes keep
    // a "then" inside it.
    step.op = Op::SelectLabel;
    const bool quoted = !t.peek().empty() && t.peek()[0] == '"';
    std::string text;
    while (!t.done() && (quoted || t.peek() != "then")) {
      const std::string word = t.next();
      text += (text.empty() ? "" : " ") + word;
      if (quoted && text.size() > 1 && text.back() == '"') break;
    }
    if (quoted) {
      if (text.size() < 2 || text.back() != '"') {
        error = "unclosed quote in the label";
        return false;
      }
      text = text.substr(1, text.size() - 2);
    }
    if (text.empty()) {
      error = "expected a label after select label";
      return false;
    }
    step.label = text;
    return true;
  }
  if (verb == "snapshot") {
    step.op = Op::Snapshot;
    return true;
  }
  if (verb == "select") {
    t.accept("item");
    step.op = Op::Select;
    return number(t, step.a, error, "a list position after select");
  }
  if (verb == "wait") {
    step.op = Op::Wait;
    return duration(t, step.a, error);
  }
  error = verb.empty() ? "expected a step" : "unknown step \"" + verb + "\"";
  return false;
}

// Steps joined by "then" until the end of the line.
bool parseSteps(Tokens& t, std::vector<GuiStep>& steps, std::string& error) {
  do {
    GuiStep step;
    if (!parseStep(t, step, error)) return false;
    steps.push_back(step);
  } while (t.accept("then"));
  if (!t.done()) {
    error = "unexpected \"" + t.peek() + "\" (steps are joined with \"then\")";
    return false;
  }
  return true;
}

}  // namespace

std::string GuiStep::text() const {
  switch (op) {
    case Op::Click:
      return "click " + std::to_string(a);
    case Op::Action:
      return "action " + std::to_string(a);
    case Op::SetSpin:
      return "set spin " + std::to_string(a) + " to " + std::to_string(b);
    case Op::SetRadio:
      return "set radio " + std::to_string(a) + (b ? " on" : " off");
    case Op::Focus:
      return "focus " + std::to_string(a);
    case Op::Select:
      return "select item " + std::to_string(a);
    case Op::SelectLabel:
      return "select label " + label;
    case Op::Snapshot:
      return "snapshot";
    case Op::Wait:
      return "wait " + std::to_string(a) + "ms";
  }
  return "?";
}

std::string GuiScriptResult::describe() const {
  return ok ? "ok" : "line " + std::to_string(line) + ": " + error;
}

GuiScriptResult GuiScript::parse(const std::string& text) {
  GuiScriptResult result;
  std::vector<ScriptVisit> visits;
  std::istringstream in(text);
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    size_t start = line.find_first_not_of(" \t\r");
    if (start == std::string::npos || line[start] == '#') continue;
    Tokens t(line);
    std::string error;
    if (t.accept("then")) {
      if (visits.empty()) {
        result.line = lineNo;
        result.error = "\"then\" line with no window line before it";
        return result;
      }
      if (!parseSteps(t, visits.back().steps, error)) {
        result.line = lineNo;
        result.error = error;
        return result;
      }
      continue;
    }
    ScriptVisit visit;
    visit.line = lineNo;
    std::string head = t.next();
    if (head != "in" && head != "every") {
      result.line = lineNo;
      result.error = "a line starts with \"in\", \"every\" or \"then\", not \"" + head + "\"";
      return result;
    }
    visit.every = head == "every";
    visit.file = t.next();
    if (visit.file.empty() || visit.file.find(".xml") == std::string::npos) {
      result.line = lineNo;
      result.error = "expected a window file name after " + head;
      return result;
    }
    if (!parseSteps(t, visit.steps, error)) {
      result.line = lineNo;
      result.error = error;
      return result;
    }
    visits.push_back(std::move(visit));
  }
  visits_ = std::move(visits);
  result.ok = true;
  return result;
}

GuiScriptResult GuiScript::loadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    GuiScriptResult r;
    r.error = "cannot open " + path;
    return r;
  }
  std::ostringstream buffer;
  buffer << in.rdbuf();
  return parse(buffer.str());
}

}  // namespace hostsim
