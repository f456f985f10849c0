#include <gtest/gtest.h>

#include "FakeAddonFolder.h"
#include "core/Host.h"

namespace {

using hostsim::CloseReason;
using hostsim::EntryKind;
using hostsim::GuiScript;
using hostsim::Host;
using hostsim::Window;

class GuiPlaybackTest : public ::testing::Test {
 protected:
  hostsim_test::FakeAddonFolder folder;

  void script(Host& host, const std::string& text) {
    GuiScript s;
    auto r = s.parse(text);
    ASSERT_TRUE(r.ok) << r.describe();
    host.gui().loadScript(s);
  }
  bool logged(Host& host, const std::string& text) {
    return host.journal().contains(EntryKind::Log, "fake: " + text);
  }
};

struct YesNoCase {
  const char* script;
  const char* answer;
  CloseReason closedBy;
  const char* closingStep;
};

TEST_F(GuiPlaybackTest, YesNoDialogFollowsTheScript) {
  const YesNoCase cases[] = {
      {"in DialogSiNo.xml click 11", "yesno=1", CloseReason::ByAddon, "click 11"},
      {"in DialogSiNo.xml click 10", "yesno=0", CloseReason::ByAddon, "click 10"},
      {"in DialogSiNo.xml send action 10", "yesno=0", CloseReason::ByAddon, "action 10"},
      {"", "yesno=0", CloseReason::ByAddon, "action 92 (host back)"},
      // A click the dialog ignores leaves it open; the host then goes back.
      {"in DialogSiNo.xml click 9", "yesno=0", CloseReason::ByAddon, "action 92 (host back)"},
      // Steps after the close are not played.
      {"in DialogSiNo.xml click 10 then click 11", "yesno=0", CloseReason::ByAddon, "click 10"},
  };
  for (const auto& c : cases) {
    Host host(folder.options());
    script(host, c.script);
    ASSERT_TRUE(host.load().ok);
    ASSERT_TRUE(host.callMenuHook(1, "").called);
    EXPECT_TRUE(logged(host, c.answer)) << c.script;
    auto shown = host.gui().closedWindows("DialogSiNo.xml");
    ASSERT_EQ(1u, shown.size()) << c.script;
    EXPECT_EQ(c.closedBy, shown[0].closedBy) << c.script;
    EXPECT_EQ(c.closingStep, shown[0].closingStep) << c.script;
    EXPECT_TRUE(shown[0].modal);
    EXPECT_EQ("Pregunta", shown[0].label(1));
    EXPECT_EQ("\xC2\xBFRecargar los canales?", shown[0].label(9));
    EXPECT_EQ("S\xC3\xAD o no", shown[0].label(11));  // numeric label, localized
    EXPECT_EQ("init", shown[0].steps.at(0));
    EXPECT_EQ("focus 10", shown[0].steps.at(1));  // the file's default control
  }
}

TEST_F(GuiPlaybackTest, InLinesServeSuccessiveOpeningsThenEveryLine) {
  Host host(folder.options());
  script(host,
         "in DialogSiNo.xml click 11\n"
         "every DialogSiNo.xml click 10\n"
         "in DialogSiNo.xml click 11\n");
  ASSERT_TRUE(host.load().ok);
  for (int i = 0; i < 4; ++i) host.callMenuHook(1, "");
  auto answers = host.journal().countContaining(EntryKind::Log, "fake: yesno=1");
  EXPECT_EQ(2u, answers);
  EXPECT_EQ(2u, host.journal().countContaining(EntryKind::Log, "fake: yesno=0"));
}

TEST_F(GuiPlaybackTest, SpinAndRadioValuesReachTheAddon) {
  Host host(folder.options());
  script(host, "in DialogOpciones.xml set spin 15 to 2 then set radio 7 on then click 11");
  ASSERT_TRUE(host.load().ok);
  host.callMenuHook(5, "");
  EXPECT_TRUE(logged(host, "options spin15=2 radio7=1 ok=1"));
  auto shown = host.gui().closedWindows("DialogOpciones.xml");
  ASSERT_EQ(1u, shown.size());
  EXPECT_EQ(2, shown[0].spins.at(15).value);
  EXPECT_EQ(51u, shown[0].spins.at(15).entries.size());
  EXPECT_EQ("T. 2", shown[0].spins.at(15).labelOfValue());
  EXPECT_TRUE(shown[0].radios.at(7).selected);
}

TEST_F(GuiPlaybackTest, ImpossibleStepsAreRefusedClearly) {
  Host host(folder.options());
  script(host, "in DialogOpciones.xml set spin 15 to 51 then click 42 then click 10");
  ASSERT_TRUE(host.load().ok);
  host.callMenuHook(5, "");
  EXPECT_TRUE(logged(host, "options spin15=0 radio7=0 ok=0"));
  auto shown = host.gui().closedWindows("DialogOpciones.xml");
  ASSERT_EQ(1u, shown.size());
  ASSERT_EQ(2u, shown[0].problems.size());
  EXPECT_EQ("set spin 15 to 51 not done: the spin control offers no such value",
            shown[0].problems[0]);
  EXPECT_EQ("click 42 not done: no such control in the window file", shown[0].problems[1]);
}

TEST_F(GuiPlaybackTest, HandlersSeeTheWindowAndWindowThatWontCloseIsClosedByHost) {
  Host host(folder.options());
  std::string seen;
  host.gui().onNextWindow("DialogSiNo.xml", [&](Window& w) {
    seen = w.label(1) + "|" + w.label(10);
    EXPECT_TRUE(w.click(11));
  });
  ASSERT_TRUE(host.load().ok);
  host.callMenuHook(1, "");
  EXPECT_EQ("Pregunta|No", seen);
  EXPECT_TRUE(logged(host, "yesno=1"));

  host.callMenuHook(6, "");  // ignores clicks and actions
  EXPECT_TRUE(logged(host, "stubborn done"));
  auto shown = host.gui().closedWindows("DialogSiNo.xml");
  ASSERT_EQ(2u, shown.size());
  EXPECT_EQ(CloseReason::ByHost, shown[1].closedBy);
}

TEST_F(GuiPlaybackTest, MissingWindowFileAndUnknownControlAreReported) {
  Host host(folder.options());
  ASSERT_TRUE(host.load().ok);
  host.callMenuHook(10, "");
  EXPECT_TRUE(logged(host, "missing window null"));
  EXPECT_TRUE(host.journal().contains(
      EntryKind::Host,
      "window file not found: " + folder.addonDir() + "/resources/skins/Default/720p/Missing.xml"));
  host.callMenuHook(11, "");
  EXPECT_TRUE(host.journal().contains(EntryKind::Host,
                                      "SetControlLabel: DialogSiNo.xml has no control 99"));
  auto shown = host.gui().closedWindows("DialogSiNo.xml");
  ASSERT_EQ(1u, shown.size());
  EXPECT_EQ(1u, shown[0].problems.size());
}

TEST_F(GuiPlaybackTest, ShownWindowRunsOnTheGuiThread) {
  Host host(folder.options());
  std::string thread;
  host.gui().onWindow("ListWindow.xml", [&](Window& w) {
    char name[16] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    thread = name;
    EXPECT_EQ(2, w.listSize());
    EXPECT_TRUE(w.select(1));
  });
  ASSERT_TRUE(host.load().ok);
  host.callMenuHook(7, "");
  ASSERT_TRUE(host.gui().waitForClosed("ListWindow.xml", 1, std::chrono::seconds(5)));
  EXPECT_EQ("hostsim-gui", thread);
  auto shown = host.gui().closedWindows("ListWindow.xml");
  ASSERT_EQ(1u, shown.size());
  EXPECT_FALSE(shown[0].modal);
  ASSERT_EQ(2u, shown[0].items.size());
  EXPECT_EQ("Serie A", shown[0].items[0].label);  // the add-on destroyed its own item
  EXPECT_EQ("lunes", shown[0].items[0].label2);
  EXPECT_EQ("Serie B", shown[0].items[1].label);
  EXPECT_EQ(1, shown[0].listPosition);
  EXPECT_EQ("Series", shown[0].properties.at("Titulo"));
  host.unload();
  EXPECT_FALSE(host.journal().contains(EntryKind::Host, "did not release"));
}

}  // namespace
