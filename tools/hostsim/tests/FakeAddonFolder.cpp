#include "FakeAddonFolder.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace hostsim_test {

namespace fs = std::filesystem;

namespace {

const char kAddonXml[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<addon id=\"pvr.fake\" version=\"0.1.0\" name=\"Fake PVR\">\n"
    "  <extension point=\"xbmc.pvrclient\" library_linux=\"pvr.fake.so\"/>\n"
    "</addon>\n";

const char kSettingsXml[] =
    "<settings>\n"
    "  <category label=\"30000\">\n"
    "    <setting id=\"host\" type=\"text\" label=\"30001\" default=\"127.0.0.1\"/>\n"
    "    <setting id=\"port\" type=\"number\" label=\"30002\" default=\"80\"/>\n"
    "    <setting type=\"sep\"/>\n"
    "    <setting id=\"debug\" type=\"bool\" label=\"30003\" default=\"false\"/>\n"
    "  </category>\n"
    "  <category label=\"30010\">\n"
    "    <setting id=\"window\" type=\"slider\" option=\"float\" range=\"0,0.5,24\" "
    "default=\"0\"/>\n"
    "    <setting id=\"mode\" type=\"labelenum\" values=\"1|2|3\" default=\"1\"/>\n"
    "    <setting id=\"absent\" type=\"text\" default=\"x\"/>\n"
    "  </category>\n"
    "</settings>\n";

const char kUserSettings[] =
    "<settings>\n"
    "    <setting id=\"debug\" value=\"true\" />\n"
    "    <setting id=\"host\" value=\"localhost\" />\n"
    "    <setting id=\"mode\" value=\"2\" />\n"
    "    <setting id=\"port\" value=\"8080\" />\n"
    "    <setting id=\"window\" value=\"1.5\" />\n"
    "</settings>\n";

const char kStrings[] =
    "# Fake PVR language file\n"
    "msgid \"\"\n"
    "msgstr \"\"\n"
    "\"Language: es\\n\"\n"
    "\n"
    "msgctxt \"#30202\"\n"
    "msgid \"Yes or no\"\n"
    "msgstr \"S\xc3\xad o no\"\n"
    "\n"
    "msgctxt \"#30500\"\n"
    "msgid \"Channels loaded\"\n"
    "msgstr \"\"\n"
    "\"Canales \"\n"
    "\"cargados\"\n";

const char kYesNo[] =
    "<window>\n"
    "  <defaultcontrol>10</defaultcontrol>\n"
    "  <controls>\n"
    "    <control type=\"label\" id=\"1\"><label>Titulo</label></control>\n"
    "    <control type=\"textbox\" id=\"9\"/>\n"
    "    <control type=\"group\">\n"
    "      <control type=\"button\" id=\"10\"><label>No</label></control>\n"
    "      <control type=\"button\" id=\"11\"><label>30202</label></control>\n"
    "    </control>\n"
    "  </controls>\n"
    "</window>\n";

const char kOptions[] =
    "<window>\n"
    "  <controls>\n"
    "    <control type=\"label\" id=\"1\"/>\n"
    "    <control type=\"radiobutton\" id=\"7\"><label>Nube</label></control>\n"
    "    <control type=\"spincontrolex\" id=\"15\"/>\n"
    "    <control type=\"button\" id=\"10\"/>\n"
    "    <control type=\"button\" id=\"11\"/>\n"
    "  </controls>\n"
    "</window>\n";

const char kList[] =
    "<window>\n"
    "  <controls>\n"
    "    <control type=\"label\" id=\"1\"><label>Series</label></control>\n"
    "    <control type=\"list\" id=\"50\"/>\n"
    "  </controls>\n"
    "</window>\n";

}  // namespace

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

void writeFile(const std::string& path, const std::string& content) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

FakeAddonFolder::FakeAddonFolder() {
  char pattern[] = "/tmp/hostsim-test-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  fs::create_directories(addonDir());
  // A copy, so that each test loads a fresh instance of the library.
  fs::copy_file(HOSTSIM_FAKEADDON, addonDir() + "/pvr.fake.so");
  writeAddonFile("addon.xml", kAddonXml);
  writeAddonFile("resources/settings.xml", kSettingsXml);
  writeAddonFile("resources/language/Spanish/strings.po", kStrings);
  writeAddonFile("resources/skins/Default/720p/DialogSiNo.xml", kYesNo);
  writeAddonFile("resources/skins/Default/720p/DialogOpciones.xml", kOptions);
  writeAddonFile("resources/skins/Default/720p/ListWindow.xml", kList);
  writeUserSettings(kUserSettings);
}

FakeAddonFolder::~FakeAddonFolder() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

void FakeAddonFolder::writeAddonFile(const std::string& relative,
                                     const std::string& content) const {
  writeFile(addonDir() + "/" + relative, content);
}

void FakeAddonFolder::writeUserSettings(const std::string& xml) const {
  writeFile(userDir() + "/settings.xml", xml);
}

std::string FakeAddonFolder::readUserFile(const std::string& relative) const {
  return readFile(userDir() + "/" + relative);
}

hostsim::HostOptions FakeAddonFolder::options() const {
  hostsim::HostOptions o;
  o.addonDir = addonDir();
  o.userDir = userDir();
  o.hostLibDir = HOSTSIM_HOST_DIR;
  o.echo = false;
  o.realNetwork = true;  // the fake add-on opens no socket
  o.followUpDelay = std::chrono::milliseconds(100);
  o.jsonRpcPort = 0;  // tests run side by side, outside the test network
  return o;
}

}  // namespace hostsim_test
