#include "gui/GuiRegistry.h"

#include <vector>

namespace hostsim {

Tracked::~Tracked() {
  if (registry_ != nullptr) registry_->remove(this);
}

GuiRegistry::~GuiRegistry() {
  releaseAll();
}

void GuiRegistry::add(Tracked* object, const void* key, GuiObjectKind kind) {
  std::lock_guard<std::mutex> lock(mutex_);
  object->registry_ = this;
  object->key_ = key;
  objects_[key] = {object, kind};
}

void GuiRegistry::remove(Tracked* object) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = objects_.find(object->key_);
  if (it != objects_.end() && it->second.first == object) objects_.erase(it);
  object->registry_ = nullptr;
}

bool GuiRegistry::contains(const void* key, GuiObjectKind kind) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = objects_.find(key);
  return it != objects_.end() && it->second.second == kind;
}

size_t GuiRegistry::count(GuiObjectKind kind) const {
  std::lock_guard<std::mutex> lock(mutex_);
  size_t n = 0;
  for (const auto& kv : objects_) n += kv.second.second == kind;
  return n;
}

std::map<GuiObjectKind, size_t> GuiRegistry::releaseAll() {
  std::map<GuiObjectKind, size_t> released;
  // Windows first: they own their list items and may hold controls' state.
  for (GuiObjectKind pass :
       {GuiObjectKind::Window, GuiObjectKind::Spin, GuiObjectKind::Radio, GuiObjectKind::Progress,
        GuiObjectKind::Rendering, GuiObjectKind::ListItem}) {
    std::vector<Tracked*> doomed;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (auto it = objects_.begin(); it != objects_.end();) {
        if (it->second.second == pass) {
          it->second.first->registry_ = nullptr;
          doomed.push_back(it->second.first);
          it = objects_.erase(it);
        } else {
          ++it;
        }
      }
    }
    for (Tracked* t : doomed) delete t;
    if (!doomed.empty()) released[pass] = doomed.size();
  }
  return released;
}

const char* guiObjectKindName(GuiObjectKind kind) {
  switch (kind) {
    case GuiObjectKind::Window:
      return "windows";
    case GuiObjectKind::Spin:
      return "spin controls";
    case GuiObjectKind::Radio:
      return "radio buttons";
    case GuiObjectKind::Progress:
      return "progress controls";
    case GuiObjectKind::Rendering:
      return "rendering controls";
    case GuiObjectKind::ListItem:
      return "list items";
    case GuiObjectKind::WindowListItem:
      return "window list items";
  }
  return "?";
}

}  // namespace hostsim
