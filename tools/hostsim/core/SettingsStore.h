// The add-on's settings as the host keeps them: the definitions shipped in the
// add-on's resources/settings.xml tell each key's type, the values live in
// <user>/settings.xml. A value reaches the add-on in the form its type asks
// for: text into the caller's 1024-byte buffer, int, bool or float.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace hostsim {

enum class SettingType { None, Text, Int, Bool, Float };

const char* settingTypeName(SettingType type);

struct SettingDefinition {
  std::string id;
  std::string kind;  // the definition's type attribute
  SettingType type = SettingType::None;
  std::string defaultValue;
};

struct SettingsResult {
  bool ok = false;
  std::string error;
  explicit operator bool() const { return ok; }
};

class SettingsStore {
 public:
  static constexpr size_t kTextBufferSize = 1024;

  SettingsResult loadDefinitions(const std::string& path);
  SettingsResult loadDefinitionsString(const std::string& xml);
  SettingsResult loadValues(const std::string& path);  // a missing file is empty
  SettingsResult loadValuesString(const std::string& xml);
  SettingsResult save(const std::string& path) const;
  std::string valuesXml() const;

  // Gives absent keys their defaults, like a host that stored them once.
  void fillDefaults();

  // Writes the value into `out` as the key's type asks; false when the key has
  // no value, no definition, or a value its type can't read (`problem` says).
  bool get(const std::string& name, void* out, std::string* problem = nullptr) const;
  // Stores a new value given as text, checked against the key's type.
  SettingsResult set(const std::string& name, const std::string& value);

  SettingType typeOf(const std::string& name) const;
  bool hasValue(const std::string& name) const;
  std::string value(const std::string& name) const;
  std::vector<SettingDefinition> definitions() const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, SettingDefinition> definitions_;
  std::map<std::string, std::string> values_;
};

// Parses text the way get() does for that type; false when it can't.
bool parseSettingInt(const std::string& text, int& out);
bool parseSettingBool(const std::string& text, bool& out);
bool parseSettingFloat(const std::string& text, float& out);

}  // namespace hostsim
