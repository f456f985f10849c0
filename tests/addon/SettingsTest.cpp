// Reading the add-on's settings from the host at create.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "addon/Settings.h"
#include "common/DatosConfiguracion.h"
#include "common/Globals.h"
#include "common/SettingValues.h"
#include "support/InProcessHost.h"

namespace {

const std::string kLongFolder = "/" + std::string(2999, 'd');

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { configuracionquorvina = DatosConfiguracion(); }
  void TearDown() override { configuracionquorvina = DatosConfiguracion(); }
  // Reads the settings while the host holds `stored` (setting elements).
  void Read(const std::string& stored) {
    host.Settings("<settings>" + stored + "</settings>");
    ADDON_ReadSettings();
  }
  static std::string Setting(const std::string& id, const std::string& value) {
    return "<setting id=\"" + id + "\" value=\"" + value + "\"/>";
  }
  InProcessHost host;
};

TEST_F(SettingsTest, BufferSizeIsCutToWholeTransportPackets) {
  const struct {
    const char* stored;  // null: absent
    int size;
  } cases[] = {{"1000", 940}, {"188", 188}, {nullptr, 127840}};
  for (const auto& c : cases) {
    Read(c.stored ? Setting("BUFSIZE", c.stored) : "");
    EXPECT_EQ(BUFSIZE, c.size) << (c.stored ? c.stored : "absent");
  }
}

TEST_F(SettingsTest, ZoneIndexGivesTheDemarcationCode) {
  const struct {
    const char* stored;  // null: absent
    const char* demarcation;
    bool refused;
  } cases[] = {{nullptr, "19", false}, {"0", "24", false}, {"1", "19", false},
               {"16", "36", false},    {"17", "19", true}, {"-1", "19", true}};
  for (const auto& c : cases) {
    const std::string name = c.stored ? c.stored : "absent";
    Read(c.stored ? Setting("ZonaGeografica", c.stored) : "");
    EXPECT_EQ(configuracionquorvina.Provincia, c.demarcation) << name;
    EXPECT_EQ(host.Logged("ZonaGeografica fuera de rango: " + name), c.refused) << name;
  }
}

// An empty folder falls back, but an empty entry point stays empty: only an
// unreadable one takes the default.
TEST_F(SettingsTest, EmptyTextsFallBackExceptTheEntryPoint) {
  const struct {
    std::string stored;
    const char* recordings;
    const char* timeShift;
    const char* series;
    const char* entryPoint;
  } cases[] = {
      {Setting("recordfolder", "") + Setting("timeshiftfolder", "") +
           Setting("recordfolderseries", "") + Setting("servidorInicio", ""),
       "/storage/recordings", "/storage/recordings", "/storage/recordings", ""},
      {Setting("recordfolder", "/srv/tv"), "/srv/tv", "/srv/tv", "/srv/tv", "239.0.2.129"},
      {Setting("recordfolder", "/srv/tv") + Setting("timeshiftfolder", "/ts"), "/srv/tv", "/ts",
       "/srv/tv", "239.0.2.129"},
  };
  for (const auto& c : cases) {
    Read(c.stored);
    EXPECT_EQ(PathRecorded, c.recordings) << c.stored;
    EXPECT_EQ(PathTimeShift, c.timeShift) << c.stored;
    EXPECT_EQ(PathGrabacionSeries, c.series) << c.stored;
    EXPECT_EQ(configuracionquorvina.IPInicial, c.entryPoint) << c.stored;
  }
}

TEST_F(SettingsTest, ALongFolderIsCutTo1023BytesWhateverTheHostCopies) {
  // Unlike hostsim, a host may copy the whole text into the caller's buffer.
  host.table().getSetting = [](void*, const char* name, void* value) {
    if (strcmp(name, "recordfolder") != 0) return false;
    memcpy(value, kLongFolder.c_str(), kLongFolder.size() + 1);
    return true;
  };
  ADDON_ReadSettings();
  EXPECT_EQ(PathRecorded, kLongFolder.substr(0, 1023));
  EXPECT_EQ(PathTimeShift, PathRecorded);
}

}  // namespace
