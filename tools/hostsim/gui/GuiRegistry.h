// Every GUI object handed to the add-on, keyed by the pointer the add-on
// holds. Pointers coming back from the add-on are checked here before use,
// and whatever the add-on never released is freed when the host unloads it.
#pragma once

#include <map>
#include <mutex>
#include <utility>

namespace hostsim {

enum class GuiObjectKind { Window, Spin, Radio, Progress, Rendering, ListItem, WindowListItem };

class GuiRegistry;

// Base of the host's GUI objects; unregisters itself when deleted.
class Tracked {
 public:
  virtual ~Tracked();

 private:
  friend class GuiRegistry;
  GuiRegistry* registry_ = nullptr;
  const void* key_ = nullptr;
};

class GuiRegistry {
 public:
  GuiRegistry() = default;
  ~GuiRegistry();
  GuiRegistry(const GuiRegistry&) = delete;
  GuiRegistry& operator=(const GuiRegistry&) = delete;

  // `key` is the pointer the add-on sees.
  void add(Tracked* object, const void* key, GuiObjectKind kind);
  void remove(Tracked* object);
  bool contains(const void* key, GuiObjectKind kind) const;
  size_t count(GuiObjectKind kind) const;
  // Deletes the objects the add-on still holds (window-owned list items go
  // with their windows); returns how many of each kind.
  std::map<GuiObjectKind, size_t> releaseAll();

 private:
  mutable std::mutex mutex_;
  std::map<const void*, std::pair<Tracked*, GuiObjectKind>> objects_;
};

const char* guiObjectKindName(GuiObjectKind kind);

}  // namespace hostsim
