#include <gtest/gtest.h>

#include "addon/AddonBinding.h"
#include "addon/Settings.h"
#include "addon/StorageLayout.h"
#include "backend/DatosConfiguracion.h"
#include "common/Globals.h"
#include "support/FakeHost.h"

namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { configuracionquorvina = DatosConfiguracion(); }
  FakeHost host;
};

struct BufCase {
  bool stored;
  int value;
  int expected;
};

class BufsizeTest : public SettingsTest, public ::testing::WithParamInterface<BufCase> {};

TEST_P(BufsizeTest, RoundsDownToWholeTransportPackets) {
  if (GetParam().stored) host.SetInt("BUFSIZE", GetParam().value);
  ADDON_ReadSettings();
  EXPECT_EQ(BUFSIZE, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, BufsizeTest,
                         ::testing::Values(BufCase{true, 1000, 940}, BufCase{true, 188, 188},
                                           BufCase{false, 0, 127840}));

TEST_F(SettingsTest, EmptyRecordFolderFallsBackForItsDependants) {
  host.SetText("recordfolder", "");
  host.SetText("timeshiftfolder", "");
  host.SetText("recordfolderseries", "");
  ADDON_ReadSettings();
  EXPECT_EQ(PathRecorded, "/storage/recordings");
  EXPECT_EQ(PathTimeShift, "/storage/recordings");
  EXPECT_EQ(PathGrabacionSeries, "/storage/recordings");
}

TEST_F(SettingsTest, DependantFoldersFollowTheRecordFolder) {
  host.SetText("recordfolder", "/srv/tv");
  ADDON_ReadSettings();
  EXPECT_EQ(PathTimeShift, "/srv/tv");
  EXPECT_EQ(PathGrabacionSeries, "/srv/tv");
}

struct ZoneCase {
  bool stored;
  int index;
  const char* demarcacion;
};

class ZoneTest : public SettingsTest, public ::testing::WithParamInterface<ZoneCase> {};

TEST_P(ZoneTest, IndexMapsToDemarcationCode) {
  if (GetParam().stored) host.SetInt("ZonaGeografica", GetParam().index);
  ADDON_ReadSettings();
  EXPECT_EQ(configuracionquorvina.Provincia, GetParam().demarcacion);
}

INSTANTIATE_TEST_SUITE_P(Indexes, ZoneTest,
                         ::testing::Values(ZoneCase{false, 0, "19"}, ZoneCase{true, 1, "19"},
                                           ZoneCase{true, 0, "24"}, ZoneCase{true, 16, "36"},
                                           ZoneCase{true, 17, "19"}, ZoneCase{true, -1, "19"}));

TEST_F(SettingsTest, UnreadableValuesKeepTheirOwnDefaults) {
  host.SetInt("minutosantes", 3);
  ADDON_ReadSettings();
  EXPECT_EQ(minutosantes, 3);
  EXPECT_EQ(minutosdespues, 20);
  EXPECT_EQ(PuertoHttp, 4242);
  EXPECT_FLOAT_EQ(finalventanaSinc, 24.0f);
  EXPECT_TRUE(configuracionquorvina.CargarCanalesHD);
}

TEST_F(SettingsTest, EntryPointEmptyStaysEmptyButUnreadableDefaults) {
  ADDON_ReadSettings();
  EXPECT_EQ(configuracionquorvina.IPInicial, "239.0.2.129");
  host.SetText("servidorInicio", "");
  ADDON_ReadSettings();
  EXPECT_EQ(configuracionquorvina.IPInicial, "");
}

TEST_F(SettingsTest, FolderTreeIsBuiltUnderAUserFolderWithoutTrailingSlash) {
  TempDir dir;
  strUserPath = dir.file("user");
  strClientPath = dir.path();
  host.SetText("recordfolder", dir.file("rec"));
  ADDON_ReadSettings();
  CrearDirectorios();
  EXPECT_EQ(PathPayloadBase, strUserPath + "/Base/");
  EXPECT_EQ(PathRecordingsRecordings, strUserPath + "/Recordings/Recordings/");
  EXPECT_EQ(PathFicheroTimeShiftDisco, dir.file("rec/timeshift.ts"));
  EXPECT_EQ(PathCompletoCanales, strUserPath + "/Canales/Canales.xml");
  EXPECT_EQ(PathCompletoMapasGenero, dir.file("MapasGeneros.xml"));
  for (const std::string& folder : {PathPayloadBase, PathDetallesEPG, PathLastPlayRecordings,
                                    PathSeriesTracking, PathSincronizacion, PathRecorded}) {
    EXPECT_TRUE(XBMC->DirectoryExists(folder.c_str())) << folder;
  }
}

}  // namespace
