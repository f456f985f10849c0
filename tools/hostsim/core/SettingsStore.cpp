#include "core/SettingsStore.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "core/XmlFile.h"

namespace hostsim {

namespace {

std::vector<std::string> splitBar(const std::string& text) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  std::string part;
  while (std::getline(in, part, '|')) parts.push_back(part);
  return parts;
}

bool isInteger(const std::string& text) {
  int ignored;
  return parseSettingInt(text, ignored);
}

SettingType typeFor(const pugi::xml_node& node) {
  const std::string kind = node.attribute("type").value();
  const std::string def = node.attribute("default").value();
  if (kind == "text" || kind == "folder" || kind == "ipaddress" || kind == "file" ||
      kind == "path" || kind == "select" || kind == "fileenum" || kind == "audio" ||
      kind == "video" || kind == "image" || kind == "executable")
    return SettingType::Text;
  if (kind == "number" || kind == "integer" || kind == "enum") return SettingType::Int;
  if (kind == "bool") return SettingType::Bool;
  if (kind == "labelenum") {
    // Stored as the label unless every choice is a number.
    std::string values = node.attribute("values").value();
    if (values.empty()) return isInteger(def) ? SettingType::Int : SettingType::Text;
    for (const auto& v : splitBar(values))
      if (!isInteger(v)) return SettingType::Text;
    return SettingType::Int;
  }
  if (kind == "slider") {
    if (std::string(node.attribute("option").value()) == "float" ||
        def.find('.') != std::string::npos)
      return SettingType::Float;
    return SettingType::Int;
  }
  return SettingType::None;
}

SettingsResult okResult() {
  SettingsResult r;
  r.ok = true;
  return r;
}

SettingsResult failure(const std::string& why) {
  SettingsResult r;
  r.error = why;
  return r;
}

std::string xmlEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool readFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  text = buffer.str();
  return true;
}

}  // namespace

const char* settingTypeName(SettingType type) {
  switch (type) {
    case SettingType::Text:
      return "text";
    case SettingType::Int:
      return "int";
    case SettingType::Bool:
      return "bool";
    case SettingType::Float:
      return "float";
    case SettingType::None:
      break;
  }
  return "none";
}

bool parseSettingInt(const std::string& text, int& out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < INT_MIN || v > INT_MAX) return false;
  out = static_cast<int>(v);
  return true;
}

bool parseSettingBool(const std::string& text, bool& out) {
  if (text == "true")
    out = true;
  else if (text == "false")
    out = false;
  else
    return false;
  return true;
}

bool parseSettingFloat(const std::string& text, float& out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  float v = std::strtof(text.c_str(), &end);
  if (errno != 0 || *end != '\0') return false;
  out = v;
  return true;
}

SettingsResult SettingsStore::loadDefinitions(const std::string& path) {
  std::string text;
  if (!readFile(path, text)) return failure("cannot open " + path);
  SettingsResult r = loadDefinitionsString(text);
  if (!r) r.error = path + ": " + r.error;
  return r;
}

SettingsResult SettingsStore::loadDefinitionsString(const std::string& xml) {
  pugi::xml_document doc;
  std::string error = parseXml(doc, xml);
  if (!error.empty()) return failure(error);
  pugi::xml_node root = doc.document_element();
  if (std::string(root.name()) != "settings") return failure("root element is not <settings>");
  std::map<std::string, SettingDefinition> defs;
  // Settings without an id are separators and the like.
  for (pugi::xpath_node found : root.select_nodes(".//setting[@id]")) {
    pugi::xml_node node = found.node();
    SettingDefinition d;
    d.id = node.attribute("id").value();
    d.kind = node.attribute("type").value();
    d.type = typeFor(node);
    d.defaultValue = node.attribute("default").value();
    defs.emplace(d.id, d);  // the first definition of a key wins
  }
  std::lock_guard<std::mutex> lock(mutex_);
  definitions_ = std::move(defs);
  return okResult();
}

SettingsResult SettingsStore::loadValues(const std::string& path) {
  std::string text;
  if (!readFile(path, text)) {
    std::lock_guard<std::mutex> lock(mutex_);
    values_.clear();
    return okResult();
  }
  SettingsResult r = loadValuesString(text);
  if (!r) r.error = path + ": " + r.error;
  return r;
}

SettingsResult SettingsStore::loadValuesString(const std::string& xml) {
  pugi::xml_document doc;
  std::string error = parseXml(doc, xml);
  if (!error.empty()) return failure(error);
  pugi::xml_node root = doc.document_element();
  if (std::string(root.name()) != "settings") return failure("root element is not <settings>");
  std::map<std::string, std::string> values;
  for (pugi::xml_node node : root.children("setting")) {
    pugi::xml_attribute id = node.attribute("id");
    if (!id) continue;
    // The value attribute, or the element's text in the newer layout.
    pugi::xml_attribute value = node.attribute("value");
    values[id.value()] = value ? std::string(value.value()) : elementText(node);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  values_ = std::move(values);
  return okResult();
}

std::string SettingsStore::valuesXml() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string xml = "<settings>\n";
  for (const auto& kv : values_)
    xml += "    <setting id=\"" + xmlEscape(kv.first) + "\" value=\"" + xmlEscape(kv.second) +
           "\" />\n";
  xml += "</settings>\n";
  return xml;
}

SettingsResult SettingsStore::save(const std::string& path) const {
  std::string xml = valuesXml();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return failure("cannot write " + path);
  out << xml;
  out.close();
  if (!out) return failure("cannot write " + path);
  return okResult();
}

void SettingsStore::fillDefaults() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& kv : definitions_)
    if (kv.second.type != SettingType::None && !values_.count(kv.first))
      values_[kv.first] = kv.second.defaultValue;
}

bool SettingsStore::get(const std::string& name, void* out, std::string* problem) const {
  SettingType type;
  std::string text;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto def = definitions_.find(name);
    if (def == definitions_.end() || def->second.type == SettingType::None) {
      if (problem) *problem = "setting " + name + " has no definition in resources/settings.xml";
      return false;
    }
    auto val = values_.find(name);
    if (val == values_.end()) return false;  // unreadable: the add-on takes its default
    type = def->second.type;
    text = val->second;
  }
  if (out == nullptr) {
    if (problem) *problem = "setting " + name + " asked with a null buffer";
    return false;
  }
  bool ok = true;
  switch (type) {
    case SettingType::Text: {
      size_t n = std::min(text.size(), kTextBufferSize - 1);
      std::memcpy(out, text.data(), n);
      static_cast<char*>(out)[n] = '\0';
      if (n < text.size() && problem) *problem = "setting " + name + " cut to 1023 bytes";
      return true;
    }
    case SettingType::Int: {
      int v;
      ok = parseSettingInt(text, v);
      if (ok) std::memcpy(out, &v, sizeof v);
      break;
    }
    case SettingType::Bool: {
      bool v;
      ok = parseSettingBool(text, v);
      if (ok) std::memcpy(out, &v, sizeof v);
      break;
    }
    case SettingType::Float: {
      float v;
      ok = parseSettingFloat(text, v);
      if (ok) std::memcpy(out, &v, sizeof v);
      break;
    }
    case SettingType::None:
      ok = false;
      break;
  }
  if (!ok && problem)
    *problem = "setting " + name + ": \"" + text + "\" is not a " + settingTypeName(type);
  return ok;
}

SettingsResult SettingsStore::set(const std::string& name, const std::string& value) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto def = definitions_.find(name);
  if (def == definitions_.end() || def->second.type == SettingType::None)
    return failure("setting " + name + " has no definition in resources/settings.xml");
  int i;
  bool b;
  float f;
  bool ok = true;
  switch (def->second.type) {
    case SettingType::Int:
      ok = parseSettingInt(value, i);
      break;
    case SettingType::Bool:
      ok = parseSettingBool(value, b);
      break;
    case SettingType::Float:
      ok = parseSettingFloat(value, f);
      break;
    default:
      break;
  }
  if (!ok)
    return failure("setting " + name + ": \"" + value + "\" is not a " +
                   settingTypeName(def->second.type));
  values_[name] = value;
  return okResult();
}

SettingType SettingsStore::typeOf(const std::string& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto def = definitions_.find(name);
  return def == definitions_.end() ? SettingType::None : def->second.type;
}

bool SettingsStore::hasValue(const std::string& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return values_.count(name) != 0;
}

std::string SettingsStore::value(const std::string& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = values_.find(name);
  return it == values_.end() ? std::string() : it->second;
}

std::vector<SettingDefinition> SettingsStore::definitions() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<SettingDefinition> out;
  for (const auto& kv : definitions_) out.push_back(kv.second);
  return out;
}

}  // namespace hostsim
