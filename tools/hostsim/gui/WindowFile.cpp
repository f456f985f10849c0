#include "gui/WindowFile.h"

#include "core/SettingsStore.h"
#include "core/XmlFile.h"

namespace hostsim {

namespace {

WindowFileResult failed(const std::string& why) {
  WindowFileResult r;
  r.error = why;
  return r;
}

}  // namespace

WindowFileResult WindowFile::loadFile(const std::string& path, const Localizer& localize) {
  pugi::xml_document doc;
  std::string error = parseXmlFile(doc, path);
  if (!error.empty()) return failed(error);
  return load(doc.document_element(), localize);
}

WindowFileResult WindowFile::loadString(const std::string& xml, const Localizer& localize) {
  pugi::xml_document doc;
  std::string error = parseXml(doc, xml);
  if (!error.empty()) return failed(error);
  return load(doc.document_element(), localize);
}

WindowFileResult WindowFile::load(const pugi::xml_node& root, const Localizer& localize) {
  WindowFileResult result;
  if (std::string(root.name()) != "window")
    return failed(std::string("root element is <") + root.name() + ">, not <window>");
  std::map<int, ControlSpec> controls;
  for (pugi::xpath_node found : root.select_nodes(".//control[@id]")) {
    pugi::xml_node node = found.node();
    std::string id = node.attribute("id").value();
    ControlSpec control;
    if (!parseSettingInt(id, control.id)) {
      result.warnings.push_back("control id \"" + id + "\" is not a number");
      continue;
    }
    control.type = node.attribute("type").value();
    control.label = elementText(node.child("label"));
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
  pugi::xml_node defaultControl = root.child("defaultcontrol");
  if (defaultControl && !parseSettingInt(elementText(defaultControl), def))
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
