#include "gui/WindowRecord.h"

namespace hostsim {

const char* closeReasonName(CloseReason reason) {
  switch (reason) {
    case CloseReason::NotClosed:
      return "still open";
    case CloseReason::ByAddon:
      return "closed by the add-on";
    case CloseReason::ByHost:
      return "closed by the host";
    case CloseReason::Destroyed:
      return "destroyed while open";
  }
  return "?";
}

std::string SpinRecord::labelOfValue() const {
  for (const auto& e : entries)
    if (e.second == value) return e.first;
  return std::string();
}

namespace {

// Continuation lines of a multi-line text stay under their label.
std::string indented(const std::string& text) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '\n') out += "    ";
  }
  return out;
}

}  // namespace

std::string WindowRecord::label(int id) const {
  auto it = labels.find(id);
  return it == labels.end() ? std::string() : it->second;
}

std::vector<std::string> WindowRecord::describe() const {
  std::vector<std::string> lines;
  std::string head = "[window " + file + "] " + closeReasonName(closedBy);
  if (!closingStep.empty()) head += " after " + closingStep;
  lines.push_back(head);
  for (const auto& l : labels)
    if (!l.second.empty())
      lines.push_back("  label " + std::to_string(l.first) + ": " + indented(l.second));
  for (const auto& s : spins) {
    std::string line = "  spin " + std::to_string(s.first) + ": " + std::to_string(s.second.value);
    std::string shown = s.second.labelOfValue();
    if (!shown.empty()) line += " (" + shown + ")";
    line += ", " + std::to_string(s.second.entries.size()) + " choices";
    lines.push_back(line);
  }
  for (const auto& r : radios)
    lines.push_back("  radio " + std::to_string(r.first) + ": " +
                    (r.second.selected ? "on" : "off"));
  for (const auto& p : progress)
    lines.push_back("  progress " + std::to_string(p.first) + ": " + std::to_string(p.second));
  for (size_t i = 0; i < items.size(); ++i) {
    std::string line = "  item " + std::to_string(i) + ": " + items[i].label;
    if (!items[i].label2.empty()) line += " | " + items[i].label2;
    lines.push_back(line);
  }
  for (const auto& p : properties) lines.push_back("  property " + p.first + " = " + p.second);
  return lines;
}

std::vector<std::string> WindowRecord::describeNow() const {
  std::vector<std::string> lines;
  lines.push_back("[window " + file + "] snapshot: " + std::to_string(items.size()) +
                  " items, list position " + std::to_string(listPosition));
  for (const auto& l : labels)
    if (!l.second.empty())
      lines.push_back("  label " + std::to_string(l.first) + ": " + indented(l.second));
  for (size_t i = 0; i < items.size(); ++i) {
    const ListItemRecord& it = items[i];
    lines.push_back("  item " + std::to_string(i) + ": " + it.label);
    const std::pair<const char*, const std::string*> parts[] = {{"label2", &it.label2},
                                                                {"icon", &it.icon},
                                                                {"thumbnail", &it.thumbnail},
                                                                {"path", &it.path},
                                                                {"info", &it.info}};
    for (const auto& part : parts)
      if (!part.second->empty())
        lines.push_back(std::string("    ") + part.first + ": " + indented(*part.second));
    for (const auto& p : it.properties)
      lines.push_back("    property " + p.first + " = " + indented(p.second));
  }
  for (const auto& p : properties) lines.push_back("  property " + p.first + " = " + p.second);
  return lines;
}

}  // namespace hostsim
