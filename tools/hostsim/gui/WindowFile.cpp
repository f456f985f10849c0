#include "gui/WindowFile.h"

#include "core/SettingsStore.h"
#include "core/Xml.h"

namespace hostsim {

namespace {

WindowFileResult failed(const std::string& why) {
  WindowFileResult r;
  r.error = why;
  return r;
}

}  // namespace

WindowFileResult WindowFile::loadFile(const std::string& path, const Localizer& localize) {
  XmlDocument doc;
  XmlParseResult parsed = doc.loadFile(path);
  if (!parsed) return failed(parsed.describe());
  return load(doc.root(), localize);
}

WindowFileResult WindowFile::loadString(const std::string& xml, const Localizer& localize) {
  XmlDocument doc;
  XmlParseResult parsed = doc.loadString(xml);
  if (!parsed) return failed(parsed.describe());
  return load(doc.root(), localize);
}

WindowFileResult WindowFile::load(const XmlNode& root, const Localizer& localize) {
  WindowFileResult result;
  if (root.name() != "window") return failed("root element is <" + root.name() + ">, not <window>");
  std::map<int, ControlSpec> controls;
  for (const XmlNode& node : root.descendants("control")) {
    if (!node.hasAttribute("id")) continue;
    ControlSpec control;
    if (!parseSettingInt(node.attribute("id"), control.id)) {
      result.warnings.push_back("control id \"" + node.attribute("id") + "\" is not a number");
      continue;
    }
    control.type = node.attribute("type");
    control.label = node.child("label").text();
    int stringId;
    if (localize && parseSettingInt(control.label, stringId)) {
      std::string text = localize(stringId);
      if (!text.empty()) control.label = text;
    }
    if (!controls.emplace(control.id, control).second)
      result.warnings.push_back("control id " + std::to_string(control.id) +
                                " appears twice; the first one counts");
  }
  int def = 0;
  if (root.child("defaultcontrol") && !parseSettingInt(root.child("defaultcontrol").text(), def))
    result.warnings.push_back("defaultcontrol is not a number");
  controls_ = std::move(controls);
  defaultControl_ = def;
  result.ok = true;
  return result;
}

ControlSpec WindowFile::control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? ControlSpec() : it->second;
}

}  // namespace hostsim
