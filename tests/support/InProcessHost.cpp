#include "support/InProcessHost.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "addon/AddonBinding.h"
#include "addon/AddonHost.h"
#include "addon/PvrBinding.h"
#include "common/SettingValues.h"
#include "common/StorageLayout.h"
#include "gui/GuiBinding.h"

TempDir::TempDir() {
  char pattern[] = "/tmp/quorvina-test-XXXXXX";
  const char* made = mkdtemp(pattern);
  path_ = made != nullptr ? made : "/tmp";
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (path_ != "/tmp") std::filesystem::remove_all(path_, ignored);
}

void TempDir::Write(const std::string& name, const std::string& content) const {
  std::filesystem::create_directories(std::filesystem::path(file(name)).parent_path());
  std::ofstream out(file(name), std::ios::binary);
  out << content;
}

std::string TempDir::Read(const std::string& name) const {
  std::ifstream in(file(name), std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

InProcessHost::InProcessHost() {
  hostsim::HostOptions options;
  options.addonDir = QUORVINA_STAGE_DIR;
  options.userDir = user_.path();
  options.echo = false;
  host_ = std::make_unique<hostsim::Host>(options);
  const std::string stage = QUORVINA_STAGE_DIR;
  host_->gui().setSkinFolder(stage + "/resources/skins/Default/720p");
  // Host::load() reads the language file and the setting definitions before
  // it loads the add-on's library; without that library they are read here.
  const_cast<hostsim::StringTable&>(host_->strings())
      .loadFile(stage + "/resources/language/Spanish/strings.po");
  host_->settings().loadDefinitions(stage + "/resources/settings.xml");
  table_ = hostsim::makeHostTable(*host_);
  callbacks_.libBasePath = HOSTSIM_HOST_DIR;
  callbacks_.addonData = &table_;
  XBMC = new CHelper_libXBMC_addon();
  PVR = new CHelper_libXBMC_pvr();
  GUI = new CHelper_libXBMC_gui();
  if (!XBMC->RegisterMe(&callbacks_) || !PVR->RegisterMe(&callbacks_) ||
      !GUI->RegisterMe(&callbacks_)) {
    abort();  // the build's host libraries are missing: nothing can be tested
  }
  addonHost_ = std::make_unique<AddonHost>(*XBMC, *PVR);
  InstallHost(addonHost_.get());
}

InProcessHost::~InProcessHost() {
  InstallHost(nullptr);
  addonHost_.reset();
  delete GUI;
  GUI = nullptr;
  delete PVR;
  PVR = nullptr;
  delete XBMC;
  XBMC = nullptr;
  host_.reset();
}

void InProcessHost::UseStorage() {
  strUserPath = user_.path();
  strClientPath = QUORVINA_STAGE_DIR;
  PathRecorded = user_.file("grabaciones");
  PathTimeShift = PathRecorded;
  CrearDirectorios();
}

void InProcessHost::Settings(const std::string& settingsXml) {
  if (!host_->settings().loadValuesString(settingsXml)) abort();
}

void InProcessHost::Script(const std::string& lines) {
  hostsim::GuiScript script;
  if (!script.parse(lines)) abort();
  host_->gui().loadScript(script);
}

bool InProcessHost::Logged(const std::string& fragment) const {
  return host_->journal().contains(hostsim::EntryKind::Log, fragment);
}

std::string InProcessHost::LevelOfLog(const std::string& fragment) const {
  for (const hostsim::JournalEntry& entry : host_->journal().entries()) {
    if (entry.kind == hostsim::EntryKind::Log && entry.text.find(fragment) != std::string::npos) {
      return entry.level;
    }
  }
  return std::string();
}

size_t InProcessHost::CountNotified(const std::string& text) const {
  return host_->journal().countContaining(hostsim::EntryKind::Notification, text);
}

std::vector<std::string> InProcessHost::HostErrors() const {
  std::vector<std::string> errors;
  for (const hostsim::JournalEntry& entry : host_->journal().entries()) {
    if (entry.kind == hostsim::EntryKind::Host && entry.level == "error") {
      errors.push_back(entry.text);
    }
  }
  return errors;
}
