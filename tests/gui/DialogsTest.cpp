// The add-on's dialogs run in the simulated host's GUI, built from the
// shipped window files: what the user does, what the dialog answers, and what
// the window showed when it closed.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "gui/GUIContext1Boton.h"
#include "gui/GUIContext2Botones.h"
#include "gui/GUIContextIniciarEn.h"
#include "gui/GUIContextSerieNP.h"
#include "gui/GUIContextSerieP.h"
#include "gui/GUIContextTracking.h"
#include "gui/GUIDialogSi.h"
#include "gui/GUIDialogSiNo.h"
#include "gui/GUIOpcionesGrabacion.h"
#include "series/Serie.h"
#include "support/InProcessHost.h"

namespace {

const char* const kOpciones = "DialogOpcionesGrabacion.xml";

class DialogsTest : public ::testing::Test {
 protected:
  // What the last window of `file` showed when it closed.
  hostsim::WindowRecord Last(const std::string& file) {
    const auto closed = host.gui().closedWindows(file);
    return closed.empty() ? hostsim::WindowRecord() : closed.back();
  }
  // Runs the options of `serie` with the user's steps; true when confirmed.
  bool Options(Serie& serie, const std::string& steps) {
    host.Script(std::string("in ") + kOpciones + " " + steps);
    return CGUIOpcionesGrabacion(serie).PulsadoOK();
  }

  InProcessHost host;
};

Serie Rule(int tipo, bool cloud, std::vector<int> temporadas) {
  Serie serie;
  serie.TipodeCanal = tipo;
  serie.Cloud = cloud;
  serie.Temporadas = std::move(temporadas);
  return serie;
}

TEST_F(DialogsTest, YesNoAnswersYesOnlyThroughControl11AndEmptyLabelsKeepTheFiles) {
  const struct {
    const char* steps;
    const char* yesLabel;
    const char* noLabel;
    bool yes;
    const char* closedBy;
    const char* shownYes;
    const char* shownNo;
  } cases[] = {
      {"click 11", "", "", true, "click 11", "Sí", "No"},
      {"click 10", "Nube", "Local", false, "click 10", "Nube", "Local"},
      {"focus 11 then back", "Vale", "", false, "action 92", "Vale", "No"},
      {"click 9 then click 1", "", "", false, "action 92 (host back)", "Sí", "No"},
      {"click 1 then click 11", "", "", true, "click 11", "Sí", "No"},
      {"click 10 then click 11", "", "", false, "click 10", "Sí", "No"},
  };
  for (const auto& c : cases) {
    host.Script(std::string("in DialogSiNo.xml ") + c.steps);
    EXPECT_EQ(CGUIDialogSiNo("Pregunta", "Texto", c.yesLabel, c.noLabel).PulsadoOK(), c.yes)
        << c.steps;
    const hostsim::WindowRecord shown = Last("DialogSiNo.xml");
    EXPECT_EQ(shown.closingStep, c.closedBy) << c.steps;
    EXPECT_EQ(shown.label(1) + "|" + shown.label(9) + "|" + shown.label(11) + "|" + shown.label(10),
              std::string("Pregunta|Texto|") + c.shownYes + "|" + c.shownNo)
        << c.steps;
  }
}

// Every dialog, with the buttons that answer it when it is a chooser.
struct Dialog {
  const char* file;
  std::vector<int> buttons;
  std::function<int()> run;
};

std::vector<Dialog> Dialogs(Serie& serie) {
  return {
      {"DialogSI.xml", {}, [] { return (CGUIDialogSi("t", "x").Show(), 0); }},
      {"DialogSiNo.xml", {}, [] { return int(CGUIDialogSiNo("t", "x").PulsadoOK()); }},
      {kOpciones, {}, [&serie] { return int(CGUIOpcionesGrabacion(serie).PulsadoOK()); }},
      {"DialogContextIniciarEn.xml",
       {1008, 1009},
       [] { return CGUIContextIniciarEn("x").ObtenerBotonPulsado(); }},
      {"DialogContext1Boton.xml",
       {1005},
       [] { return CGUIContext1Boton("x").ObtenerBotonPulsado(); }},
      {"DialogContext2Botones.xml",
       {1005, 1006},
       [] { return CGUIContext2Botones("x", "y").ObtenerBotonPulsado(); }},
      {"DialogContextSerieNP.xml",
       {1000, 1001, 1002, 1004},
       [] { return CGUIContextSerieNP().ObtenerBotonPulsado(); }},
      {"DialogContextSerieP.xml",
       {1001, 1002, 1003, 1004, 1007},
       [] { return CGUIContextSerieP().ObtenerBotonPulsado(); }},
      {"DialogContextTracking.xml",
       {1005, 1006},
       [] { return CGUIContextTracking().ObtenerBotonPulsado(); }},
  };
}

TEST_F(DialogsTest, EveryDialogClosesOnTheBackActionsAndOnlyOnThem) {
  Serie serie;
  const struct {
    int action;
    bool closes;
  } actions[] = {{10, true},  {51, true},   {92, true},   {275, true},
                 {11, false}, {117, false}, {101, false}, {0, false}};
  for (const Dialog& dialog : Dialogs(serie)) {
    for (const auto& a : actions) {
      SCOPED_TRACE(std::string(dialog.file) + " action " + std::to_string(a.action));
      bool answer = !a.closes;
      host.gui().onNextWindow(dialog.file,
                              [&](hostsim::Window& w) { answer = w.action(a.action); });
      dialog.run();
      // The answer tells the host whether the window handled the action.
      EXPECT_EQ(answer, a.closes);
      EXPECT_EQ(Last(dialog.file).closingStep,
                a.closes ? "action " + std::to_string(a.action) : "action 92 (host back)");
      EXPECT_EQ(host.gui().liveWindows(), 0u);  // destroyed with its dialog
    }
  }
  EXPECT_EQ(host.HostErrors(), std::vector<std::string>());
}

TEST_F(DialogsTest, ChooserAnswersTheFirstButtonClickedOrMinusOne) {
  Serie serie;
  for (const Dialog& chooser : Dialogs(serie)) {
    if (chooser.buttons.empty()) continue;
    // The first click closes the chooser: the one after it is never played.
    for (int button : chooser.buttons) {
      host.Script(std::string("in ") + chooser.file + " click " + std::to_string(button) +
                  " then click " + std::to_string(chooser.buttons.front()));
      EXPECT_EQ(chooser.run(), button) << chooser.file;
    }
    host.Script(std::string("in ") + chooser.file + " action 10 then click " +
                std::to_string(chooser.buttons.back()));
    EXPECT_EQ(chooser.run(), -1) << chooser.file;
    host.Script(std::string("in ") + chooser.file + " action 117");
    EXPECT_EQ(chooser.run(), -1) << chooser.file;
  }
}

TEST_F(DialogsTest, AWindowTheHostCannotCreateGivesTheNegativeAnswer) {
  host.gui().setSkinFolder(host.user().file("no-skin"));
  Serie serie = Rule(1, false, {2});
  EXPECT_FALSE(CGUIDialogSiNo("t", "x").PulsadoOK());
  EXPECT_FALSE(CGUIOpcionesGrabacion(serie).PulsadoOK());
  EXPECT_EQ(serie.TipodeCanal, 1);
  EXPECT_EQ(serie.Temporadas, std::vector<int>({2}));
  EXPECT_EQ(CGUIContextIniciarEn("x").ObtenerBotonPulsado(), -1);
  EXPECT_TRUE(host.Logged("No se ha podido crear la ventana DialogSiNo.xml"));
  EXPECT_TRUE(host.gui().closedWindows().empty());
}

TEST_F(DialogsTest, OptionsShowTheRuleAndReleaseTheirControls) {
  Serie serie = Rule(1, true, {2, 5});
  EXPECT_FALSE(Options(serie, "click 10"));
  const hostsim::WindowRecord shown = Last(kOpciones);
  EXPECT_EQ(shown.label(1), "Opciones de grabación");
  EXPECT_EQ(shown.label(14), "Grabar solo las siguientes temporadas (vacio todas):");
  using Entries = std::vector<std::pair<std::string, int>>;
  EXPECT_EQ(shown.spins.at(13).entries,
            (Entries{{"Indistinto", 0}, {"Solo HD", 1}, {"Solo SD", 2}}));
  EXPECT_TRUE(shown.spins.at(13).value == 1 && shown.radios.at(7).selected);
  for (int id : {15, 16, 17}) {
    const Entries& e = shown.spins.at(id).entries;
    ASSERT_EQ(e.size(), 51u) << id;
    EXPECT_EQ((Entries{e[0], e[1], e[50]}), (Entries{{"", 0}, {"T. 1", 1}, {"T. 50", 50}})) << id;
  }
  EXPECT_EQ(host.gui().registry().count(hostsim::GuiObjectKind::Spin) +
                host.gui().registry().count(hostsim::GuiObjectKind::Radio),
            0u);  // released
  EXPECT_EQ(host.HostErrors(), std::vector<std::string>());
}

TEST_F(DialogsTest, OptionsWalkTheSeasonsIntoThreeSpinsAndStoreThemBack) {
  const struct {
    std::vector<int> rule;
    const char* steps;
    std::vector<int> spins;  // shown when the window closed
    std::vector<int> stored;
  } cases[] = {
      {{0, 2, 5}, "click 11", {2, 5, 0}, {2, 5}},
      {{}, "click 11", {0, 0, 0}, {}},
      {{0, 0}, "click 11", {0, 0, 0}, {}},
      {{3, 0, 7, 8, 9}, "click 11", {3, 7, 8}, {3, 7, 8}},
      {{-1, 4}, "click 11", {4, 0, 0}, {4}},
      {{6, 6}, "click 11", {6, 6, 0}, {6, 6}},
      {{3}, "set spin 15 to 0 then click 11", {0, 0, 0}, {}},  // every spin at 0: every season
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.rule));
    Serie serie = Rule(2, false, c.rule);
    EXPECT_TRUE(Options(serie, c.steps));
    const hostsim::WindowRecord shown = Last(kOpciones);
    EXPECT_EQ((std::vector<int>{shown.spins.at(15).value, shown.spins.at(16).value,
                                shown.spins.at(17).value}),
              c.spins);
    EXPECT_EQ(serie.Temporadas, c.stored);
    EXPECT_EQ(serie.TipodeCanal, 2);
    EXPECT_FALSE(serie.Cloud);
  }
}

TEST_F(DialogsTest, OptionsKeepTheUsersChoicesOnlyWhenConfirmed) {
  const struct {
    const char* ending;
    bool confirmed;
  } cases[] = {{"click 11", true},   {"click 10", false}, {"back", false},
               {"action 10", false}, {"click 13", false}, {"action 117", false}};
  for (const auto& c : cases) {
    Serie serie = Rule(1, true, {2, 5});
    EXPECT_EQ(
        Options(serie, std::string("set spin 13 to 2 then set radio 7 off then set spin 15 to 0 "
                                   "then set spin 16 to 0 then set spin 17 to 9 then ") +
                           c.ending),
        c.confirmed)
        << c.ending;
    EXPECT_EQ(serie.TipodeCanal, c.confirmed ? 2 : 1) << c.ending;
    EXPECT_EQ(serie.Cloud, !c.confirmed) << c.ending;
    const std::vector<int> seasons = c.confirmed ? std::vector<int>{9} : std::vector<int>{2, 5};
    EXPECT_EQ(serie.Temporadas, seasons) << c.ending;
  }
}

}  // namespace
