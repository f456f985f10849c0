// List items of the add-on's windows. The data is shared: an item the add-on
// created and added to a window shows the same labels there, as the host's own
// items do.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "gui/GuiRegistry.h"
#include "host/xbmc_gui_types.h"

namespace hostsim {

struct ListItemRecord {
  std::string label;
  std::string label2;
  std::string icon;
  std::string thumbnail;
  std::string path;
  std::string info;
  std::map<std::string, std::string> properties;
};

class ListItemData {
 public:
  void set(std::string ListItemRecord::*field, const char* value);
  const char* get(std::string ListItemRecord::*field);
  void setProperty(const char* key, const char* value);
  const char* property(const char* key) const;
  ListItemRecord snapshot() const;

 private:
  mutable std::mutex mutex_;
  ListItemRecord record_;
};

class HostListItem : public CAddonListItem, public Tracked {
 public:
  explicit HostListItem(std::shared_ptr<ListItemData> data) : data_(std::move(data)) {}

  const char* GetLabel() override { return data_->get(&ListItemRecord::label); }
  void SetLabel(const char* label) override { data_->set(&ListItemRecord::label, label); }
  const char* GetLabel2() override { return data_->get(&ListItemRecord::label2); }
  void SetLabel2(const char* label) override { data_->set(&ListItemRecord::label2, label); }
  void SetIconImage(const char* image) override { data_->set(&ListItemRecord::icon, image); }
  void SetThumbnailImage(const char* image) override {
    data_->set(&ListItemRecord::thumbnail, image);
  }
  void SetInfo(const char* info) override { data_->set(&ListItemRecord::info, info); }
  void SetProperty(const char* key, const char* value) override { data_->setProperty(key, value); }
  const char* GetProperty(const char* key) const override { return data_->property(key); }
  void SetPath(const char* path) override { data_->set(&ListItemRecord::path, path); }

  const std::shared_ptr<ListItemData>& data() const { return data_; }

 private:
  std::shared_ptr<ListItemData> data_;
};

}  // namespace hostsim
