#include "gui/ListItem.h"

namespace hostsim {

// Returned pointers stay valid until the same field changes, as the add-on
// expects of the host's strings.
void ListItemData::set(std::string ListItemRecord::*field, const char* value) {
  std::lock_guard<std::mutex> lock(mutex_);
  record_.*field = value ? value : "";
}

const char* ListItemData::get(std::string ListItemRecord::*field) {
  std::lock_guard<std::mutex> lock(mutex_);
  return (record_.*field).c_str();
}

void ListItemData::setProperty(const char* key, const char* value) {
  if (key == nullptr) return;
  std::lock_guard<std::mutex> lock(mutex_);
  record_.properties[key] = value ? value : "";
}

const char* ListItemData::property(const char* key) const {
  static const char kEmpty[] = "";
  if (key == nullptr) return kEmpty;
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = record_.properties.find(key);
  return it == record_.properties.end() ? kEmpty : it->second.c_str();
}

ListItemRecord ListItemData::snapshot() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return record_;
}

}  // namespace hostsim
