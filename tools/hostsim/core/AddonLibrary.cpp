#include "core/AddonLibrary.h"

#include <dlfcn.h>

#include <cstring>

#include "core/XmlFile.h"

namespace hostsim {

namespace {

const char* const kSlotNames[AddonLibrary::kSlotCount] = {"GetPVRAPIVersion",
                                                          "GetMininumPVRAPIVersion",
                                                          "GetGUIAPIVersion",
                                                          "GetMininumGUIAPIVersion",
                                                          "GetAddonCapabilities",
                                                          "GetStreamProperties",
                                                          "GetBackendName",
                                                          "GetBackendVersion",
                                                          "GetConnectionString",
                                                          "GetDriveSpace",
                                                          "MenuHook",
                                                          "GetEpg",
                                                          "GetChannelGroupsAmount",
                                                          "GetChannelGroups",
                                                          "GetChannelGroupMembers",
                                                          "OpenDialogChannelScan",
                                                          "GetChannelsAmount",
                                                          "GetChannels",
                                                          "DeleteChannel",
                                                          "RenameChannel",
                                                          "MoveChannel",
                                                          "OpenDialogChannelSettings",
                                                          "OpenDialogChannelAdd",
                                                          "GetRecordingsAmount",
                                                          "GetRecordings",
                                                          "DeleteRecording",
                                                          "RenameRecording",
                                                          "SetRecordingPlayCount",
                                                          "SetRecordingLastPlayedPosition",
                                                          "GetRecordingLastPlayedPosition",
                                                          "GetRecordingEdl",
                                                          "GetTimersAmount",
                                                          "GetTimers",
                                                          "AddTimer",
                                                          "DeleteTimer",
                                                          "UpdateTimer",
                                                          "OpenLiveStream",
                                                          "CloseLiveStream",
                                                          "ReadLiveStream",
                                                          "SeekLiveStream",
                                                          "PositionLiveStream",
                                                          "LengthLiveStream",
                                                          "GetCurrentClientChannel",
                                                          "SwitchChannel",
                                                          "SignalStatus",
                                                          "GetLiveStreamURL",
                                                          "OpenRecordedStream",
                                                          "CloseRecordedStream",
                                                          "ReadRecordedStream",
                                                          "SeekRecordedStream",
                                                          "PositionRecordedStream",
                                                          "LengthRecordedStream",
                                                          "DemuxReset",
                                                          "DemuxAbort",
                                                          "DemuxFlush",
                                                          "DemuxRead",
                                                          "GetChannelSwitchDelay",
                                                          "CanPauseStream",
                                                          "PauseStream",
                                                          "CanSeekStream",
                                                          "SeekTime",
                                                          "SetSpeed",
                                                          "GetPlayingTime",
                                                          "GetBufferTimeStart",
                                                          "GetBufferTimeEnd"};

static_assert(sizeof(PVRClient) == AddonLibrary::kSlotCount * sizeof(void (*)()),
              "slot names must follow the PVRClient layout");

template <typename T>
void resolve(void* handle, const char* name, T& out) {
  out = reinterpret_cast<T>(dlsym(handle, name));
}

std::string baseName(const std::string& dir) {
  std::string d = dir;
  while (d.size() > 1 && d.back() == '/') d.pop_back();
  size_t slash = d.rfind('/');
  return slash == std::string::npos ? d : d.substr(slash + 1);
}

}  // namespace

const char* AddonLibrary::slotName(size_t index) {
  return index < kSlotCount ? kSlotNames[index] : "?";
}

AddonDescription describeAddon(const std::string& addonDir, std::vector<std::string>& warnings) {
  AddonDescription d;
  d.id = baseName(addonDir);
  pugi::xml_document doc;
  std::string error = parseXmlFile(doc, addonDir + "/addon.xml");
  if (!error.empty()) {
    warnings.push_back("addon.xml: " + error);
  } else {
    pugi::xml_node addon = doc.document_element();
    if (*addon.attribute("id").value() != '\0') d.id = addon.attribute("id").value();
    d.name = addon.attribute("name").value();
    d.version = addon.attribute("version").value();
    for (pugi::xml_node ext : addon.children("extension")) {
      if (std::string(ext.attribute("point").value()) != "xbmc.pvrclient") continue;
      d.library = ext.attribute("library_linux").value();
      if (d.library.empty()) d.library = ext.attribute("library").value();
    }
  }
  if (d.library.empty()) d.library = baseName(addonDir) + ".so";
  return d;
}

AddonLibrary::~AddonLibrary() {
  close();
}

AddonOpenResult AddonLibrary::open(const std::string& addonDir) {
  AddonOpenResult result;
  close();
  description_ = describeAddon(addonDir, result.warnings);
  libraryPath_ = addonDir + "/" + description_.library;
  handle_ = dlopen(libraryPath_.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* why = dlerror();
    result.error = "cannot load add-on library " + libraryPath_ + ": " + (why ? why : "?");
    return result;
  }
  resolve(handle_, "get_addon", exports_.getAddon);
  resolve(handle_, "ADDON_Create", exports_.create);
  resolve(handle_, "ADDON_Destroy", exports_.destroy);
  resolve(handle_, "ADDON_Stop", exports_.stop);
  resolve(handle_, "ADDON_GetStatus", exports_.getStatus);
  resolve(handle_, "ADDON_HasSettings", exports_.hasSettings);
  resolve(handle_, "ADDON_GetSettings", exports_.getSettings);
  resolve(handle_, "ADDON_FreeSettings", exports_.freeSettings);
  resolve(handle_, "ADDON_SetSetting", exports_.setSetting);
  resolve(handle_, "ADDON_Announce", exports_.announce);
  const char* missingRequired = !exports_.getAddon  ? "get_addon"
                                : !exports_.create  ? "ADDON_Create"
                                : !exports_.destroy ? "ADDON_Destroy"
                                                    : nullptr;
  if (missingRequired != nullptr) {
    result.error = libraryPath_ + " does not export " + missingRequired;
    close();
    return result;
  }
  const std::pair<const char*, bool> optional[] = {
      {"ADDON_Stop", exports_.stop != nullptr},
      {"ADDON_GetStatus", exports_.getStatus != nullptr},
      {"ADDON_HasSettings", exports_.hasSettings != nullptr},
      {"ADDON_GetSettings", exports_.getSettings != nullptr},
      {"ADDON_FreeSettings", exports_.freeSettings != nullptr},
      {"ADDON_SetSetting", exports_.setSetting != nullptr},
      {"ADDON_Announce", exports_.announce != nullptr}};
  for (const auto& o : optional)
    if (!o.second) result.warnings.push_back(libraryPath_ + " does not export " + o.first);

  std::memset(&client_, 0, sizeof client_);
  exports_.getAddon(&client_);
  std::string empty;
  size_t emptyCount = 0;
  const auto* slots = reinterpret_cast<void (*const*)()>(&client_);
  for (size_t i = 0; i < kSlotCount; ++i) {
    if (slots[i] != nullptr) continue;
    ++emptyCount;
    empty += std::string(empty.empty() ? "" : ", ") + kSlotNames[i];
  }
  if (emptyCount)
    result.warnings.push_back("get_addon left " + std::to_string(emptyCount) +
                              " PVRClient slots empty: " + empty);
  result.ok = true;
  return result;
}

void AddonLibrary::abandon() {
  handle_ = nullptr;
  close();
}

void AddonLibrary::close() {
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = nullptr;
  exports_ = AddonExports();
  std::memset(&client_, 0, sizeof client_);
}

}  // namespace hostsim
