#include <gtest/gtest.h>

#include "FakeAddonFolder.h"
#include "core/Host.h"
#include "core/Player.h"

namespace {

using hostsim::EntryKind;
using hostsim::FollowUpKind;
using hostsim::Host;

class HostTest : public ::testing::Test {
 protected:
  hostsim_test::FakeAddonFolder folder;

  bool logged(Host& host, const std::string& text) {
    return host.journal().contains(EntryKind::Log, "fake: " + text);
  }
  bool hostError(Host& host, const std::string& text) {
    for (const auto& e : host.journal().entries())
      if (e.kind == EntryKind::Host && e.level == "error" && e.text.find(text) != std::string::npos)
        return true;
    return false;
  }
};

TEST_F(HostTest, CreateGivesTheAddonItsFoldersSettingsAndStrings) {
  Host host(folder.options());
  auto loaded = host.load();
  ASSERT_TRUE(loaded.ok) << loaded.message;
  EXPECT_EQ(0, loaded.status);
  EXPECT_TRUE(logged(host, "created user=" + folder.userDir() + "/ client=" + folder.addonDir()));
  EXPECT_TRUE(logged(host, "setting host=localhost"));
  EXPECT_TRUE(logged(host, "setting port=8080"));
  EXPECT_TRUE(logged(host, "setting debug=true"));
  EXPECT_TRUE(logged(host, "setting window=1.50"));
  EXPECT_TRUE(logged(host, "setting mode=2"));
  EXPECT_TRUE(logged(host, "setting absent unreadable"));
  EXPECT_TRUE(logged(host, "string 30500=Canales cargados"));
  EXPECT_TRUE(logged(host, "utf8=Canci\xC3\xB3n"));

  auto info = host.info();
  EXPECT_EQ("Fake Backend", info.backendName);
  EXPECT_EQ("1.9.2", info.pvrApiVersion);
  ASSERT_EQ(11u, info.menuHooks.size());
  EXPECT_EQ(3u, info.menuHooks[2].hookId);
  EXPECT_EQ(PVR_MENUHOOK_RECORDING, info.menuHooks[2].category);
  auto flags = hostsim::capabilityFlags(info.capabilities);
  ASSERT_EQ(13u, flags.size());
  EXPECT_STREQ("bSupportsEPG", flags[0].first);
  EXPECT_TRUE(flags[0].second);
  EXPECT_FALSE(flags[2].second);

  host.unload();
  EXPECT_FALSE(hostError(host, "did not unregister"));
  EXPECT_TRUE(host.journal().contains(EntryKind::Host, "add-on unloaded"));
}

struct BrokenHost {
  const char* name;
  const char* folder;
};

TEST_F(HostTest, IncompleteHostLibrariesMakeCreateFailCleanly) {
  const BrokenHost cases[] = {{"symbol missing", HOSTSIM_BROKEN_SYMBOL_DIR},
                              {"library missing", HOSTSIM_MISSING_GUI_DIR},
                              {"no folder", "/nonexistent/hostsim-host"}};
  for (const auto& c : cases) {
    auto options = folder.options();
    options.hostLibDir = c.folder;
    Host host(options);
    auto loaded = host.load();
    EXPECT_FALSE(loaded.ok) << c.name;
    EXPECT_EQ(6, loaded.status) << c.name;
    EXPECT_EQ("add-on failed to start: permanent failure (6)", loaded.message) << c.name;
    EXPECT_FALSE(host.isRunning());
    // Whatever the add-on registered before failing, it released.
    EXPECT_FALSE(hostError(host, "did not unregister")) << c.name;
  }
}

TEST_F(HostTest, MissingAddonFolderOrLibraryIsReported) {
  auto options = folder.options();
  options.addonDir = folder.root() + "/nothing";
  Host none(options);
  EXPECT_EQ("add-on folder not found: " + options.addonDir, none.load().message);

  hostsim_test::writeFile(folder.addonDir() + "/pvr.fake.so", "not an elf");
  Host broken(folder.options());
  auto loaded = broken.load();
  EXPECT_FALSE(loaded.ok);
  EXPECT_EQ(-1, loaded.status);
  EXPECT_NE(std::string::npos, loaded.message.find("cannot load add-on library"));
}

TEST_F(HostTest, TriggersAreFollowedUpOnceAfterCoalescing) {
  auto options = folder.options();
  options.followUpDelay = std::chrono::milliseconds(500);  // the five triggers fit in it
  Host host(options);
  ASSERT_TRUE(host.load().ok);
  ASSERT_TRUE(host.callMenuHook(2, "").called);  // five channel triggers
  ASSERT_TRUE(host.waitForFollowUps(std::chrono::seconds(5)));
  EXPECT_EQ(5u, host.followUps().triggers(FollowUpKind::Channels));
  EXPECT_EQ(1u, host.followUps().runs(FollowUpKind::Channels));
  EXPECT_EQ(1u, host.journal().countContaining(EntryKind::Log, "fake: GetChannels call"));
  auto channels = host.pvr().channels();
  ASSERT_EQ(3u, channels.size());
  EXPECT_EQ("Canal 2", channels[1].name);
  EXPECT_EQ("/logos/2.png", channels[1].iconPath);

  // The guide follow-up gets the channel the host knows, and copies the texts.
  ASSERT_TRUE(host.callMenuHook(9, "").called);
  ASSERT_TRUE(host.waitForFollowUps(std::chrono::seconds(5)));
  EXPECT_TRUE(logged(host, "GetEpg channel 102 name Canal 2"));
  auto epg = host.pvr().epg(102);
  ASSERT_EQ(2u, epg.size());
  EXPECT_EQ("Programa 102-1", epg[1].title);
  EXPECT_EQ("Argumento", epg[1].plot);
  ASSERT_EQ(1u, host.pvr().timers().size());
  EXPECT_EQ("Noticias", host.pvr().timers()[0].title);
}

TEST_F(HostTest, TransfersAreBoundedAndMenuItemsReachTheAddon) {
  Host host(folder.options());
  ASSERT_TRUE(host.load().ok);
  ASSERT_TRUE(host.fetchAllGroups());
  ASSERT_EQ(3u, host.pvr().members()["Todos"].size());

  auto recordings = host.fetchRecordings();
  ASSERT_EQ(1u, recordings.data.recordings.size());
  EXPECT_EQ(1023u, recordings.data.recordings[0].plot.size());
  EXPECT_TRUE(hostError(host, "strPlot is not terminated within its 1024 bytes"));

  EXPECT_EQ(PVR_ERROR_NO_ERROR, host.callMenuHook(3, "rec-7").error);
  EXPECT_TRUE(logged(host, "recording hook id=rec-7"));
  EXPECT_EQ(PVR_ERROR_NO_ERROR, host.callMenuHook(8, "4242").error);
  EXPECT_TRUE(logged(host, "epg hook uid=4242"));
  EXPECT_FALSE(host.callMenuHook(99, "").called);
  EXPECT_TRUE(hostError(host, "menu hook 99 is not registered"));
}

TEST_F(HostTest, SetSettingStoresTypedValueAndCallsTheAddon) {
  Host host(folder.options());
  ASSERT_TRUE(host.load().ok);
  EXPECT_TRUE(host.setSetting("port", "9090").ok);
  EXPECT_TRUE(logged(host, "SetSetting port=9090"));
  EXPECT_TRUE(host.setSetting("debug", "false").ok);
  EXPECT_TRUE(logged(host, "SetSetting debug=false"));
  EXPECT_FALSE(host.setSetting("port", "many").ok);
  EXPECT_NE(std::string::npos,
            folder.readUserFile("settings.xml").find("<setting id=\"port\" value=\"9090\" />"));
  host.announce("OnQuit");
  EXPECT_TRUE(logged(host, "announce OnQuit"));
}

TEST_F(HostTest, DemuxPacketsLeftByTheAddonAreReported) {
  Host host(folder.options());
  ASSERT_TRUE(host.load().ok);
  ASSERT_TRUE(host.callMenuHook(4, "").called);
  EXPECT_TRUE(logged(host, "demux sizes 188 1316"));
  EXPECT_EQ(3u, host.demux().allocatedTotal());
  EXPECT_EQ(2u, host.demux().outstanding());
  host.unload();
  EXPECT_TRUE(hostError(host, "the add-on did not free 2 demux packets"));
  EXPECT_EQ(0u, host.demux().outstanding());
}

TEST_F(HostTest, PlaybackFreesWhatDemuxReadReturns) {
  Host host(folder.options());
  ASSERT_TRUE(host.load().ok);
  host.fetchChannels();
  hostsim::Player player(host);
  EXPECT_FALSE(player.play(999, std::chrono::milliseconds(100)).opened);

  auto r = player.play(101, std::chrono::seconds(5), 40);
  ASSERT_TRUE(r.opened) << r.message;
  EXPECT_EQ(40u, r.packets);
  EXPECT_EQ(40u * 188, r.bytes);
  EXPECT_EQ(1u, r.streamChanges);
  EXPECT_EQ(20u, r.packetsPerStream[0]);
  EXPECT_EQ(20u, r.packetsPerStream[1]);
  EXPECT_EQ(2u, r.properties.iStreamCount);
  EXPECT_EQ(0u, host.demux().outstanding());
  EXPECT_EQ(41u, host.demux().freedTotal());
}

}  // namespace
