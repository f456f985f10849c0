#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "gui/FakeWindow.h"
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
#include "support/FakeHost.h"

namespace {

class DialogsTest : public ::testing::Test {
 protected:
  FakeHost host;
  FakeGui gui;  // after the host: it hooks into the host's GUI binding
};

Serie Rule(int tipo, bool cloud, std::vector<int> temporadas) {
  Serie serie;
  serie.IdStrSerie = "Serie";
  serie.TipodeCanal = tipo;
  serie.Cloud = cloud;
  serie.Temporadas = std::move(temporadas);
  return serie;
}

TEST_F(DialogsTest, WindowIsAFallbackDialogDestroyedWithItsObject) {
  FakeWindow* window = nullptr;
  {
    gui.Script({Focus(10), Click(12), Click(9), Click(10), Click(10)});
    CGUIDialogSi box("Aviso", "Texto");
    window = gui.last();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->file, "DialogSI.xml");
    EXPECT_EQ(gui.lastSkin, "");
    EXPECT_TRUE(gui.lastFallback && gui.lastDialog);
    EXPECT_FALSE(window->open);  // nothing shown before it is run
    box.Show();
    EXPECT_EQ(window->modalRuns, 1);
    EXPECT_EQ(window->label(1), "Aviso");
    EXPECT_EQ(window->label(9), "Texto");
    EXPECT_TRUE(window->closed);
    // OnInit, the focus and three clicks: 12 and 9 left it open, the second
    // click on 10 never came.
    EXPECT_EQ(window->answers, std::vector<bool>(5, true));
    EXPECT_FALSE(window->destroyed);
  }
  EXPECT_TRUE(window->destroyed);
}

TEST_F(DialogsTest, YesNoAnswersYesOnlyThroughControl11) {
  const struct {
    const char* name;
    std::vector<UiEvent> script;
    bool result, closed;
  } cases[] = {
      {"yes", {Click(11)}, true, true},
      {"no", {Click(10)}, false, true},
      {"back after focusing yes", {Focus(11), Action(ACTION_NAV_BACK)}, false, true},
      {"other clicks keep it open", {Click(12), Click(9)}, false, false},
      {"other click then yes", {Click(1), Click(11)}, true, true},
      {"no ends it before a later yes", {Click(10), Click(11)}, false, true},
  };
  for (const auto& c : cases) {
    gui.Script(c.script);
    EXPECT_EQ(CGUIDialogSiNo("Pregunta", "Texto").PulsadoOK(), c.result) << c.name;
    EXPECT_EQ(gui.last()->closed, c.closed) << c.name;
  }
}

TEST_F(DialogsTest, EmptyYesNoLabelsKeepTheWindowFileLabels) {
  // The yes and no labels given, then those shown on controls 11 and 10.
  const std::string cases[][4] = {
      {"", "", "S\xc3\xad", "No"}, {"Nube", "Local", "Nube", "Local"}, {"Vale", "", "Vale", "No"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c[0] + "/" + c[1]);
    gui.Script({Click(11)});
    // True means the yes label, whatever it says.
    EXPECT_TRUE(CGUIDialogSiNo("Pregunta", "Texto", c[0], c[1]).PulsadoOK());
    FakeWindow* w = gui.last();
    EXPECT_EQ((std::vector<std::string>{w->label(1), w->label(9), w->label(11), w->label(10)}),
              (std::vector<std::string>{"Pregunta", "Texto", c[2], c[3]}));
    // An empty label is not even set, so the file's stays.
    EXPECT_EQ(w->labelWasSet(11), !c[0].empty());
    EXPECT_EQ(w->labelWasSet(10), !c[1].empty());
  }
}

TEST_F(DialogsTest, EveryDialogClosesOnBackActionsLeavesOthersToTheHostAndHasItsButtons) {
  Serie serie;
  const std::pair<const char*, std::function<void()>> dialogs[] = {
      {"DialogSI.xml", [] { CGUIDialogSi("t", "x").Show(); }},
      {"DialogSiNo.xml", [] { CGUIDialogSiNo("t", "x").PulsadoOK(); }},
      {"DialogOpcionesGrabacion.xml", [&serie] { CGUIOpcionesGrabacion(serie).PulsadoOK(); }},
      {"DialogContextIniciarEn.xml", [] { CGUIContextIniciarEn("x").ObtenerBotonPulsado(); }},
      {"DialogContext1Boton.xml", [] { CGUIContext1Boton("x").ObtenerBotonPulsado(); }},
      {"DialogContext2Botones.xml", [] { CGUIContext2Botones("x", "y").ObtenerBotonPulsado(); }},
      {"DialogContextSerieNP.xml", [] { CGUIContextSerieNP().ObtenerBotonPulsado(); }},
      {"DialogContextSerieP.xml", [] { CGUIContextSerieP().ObtenerBotonPulsado(); }},
      {"DialogContextTracking.xml", [] { CGUIContextTracking().ObtenerBotonPulsado(); }},
  };
  // The buttons that the windows opening the choosers act on.
  std::map<std::string, std::vector<int>> buttons = {
      {"DialogContextIniciarEn.xml", {1008, 1009}},
      {"DialogContext1Boton.xml", {1005}},
      {"DialogContext2Botones.xml", {1005, 1006}},
      {"DialogContextSerieNP.xml", {1000, 1001, 1002, 1004}},
      {"DialogContextSerieP.xml", {1001, 1002, 1003, 1004, 1007}},
      {"DialogContextTracking.xml", {1005, 1006}},
  };
  const std::pair<int, bool> actions[] = {{10, true},  {51, true},   {92, true},   {275, true},
                                          {11, false}, {117, false}, {101, false}, {0, false}};
  for (const auto& [file, run] : dialogs) {
    for (const auto& [action, handled] : actions) {
      SCOPED_TRACE(std::string(file) + " action " + std::to_string(action));
      gui.Script({Focus(1), Action(action)});
      run();
      FakeWindow* w = gui.last();
      ASSERT_EQ(w->file, file);
      EXPECT_EQ(w->closed, handled);
      EXPECT_EQ(w->answers, (std::vector<bool>{true, true, handled}));  // init, focus, action
      EXPECT_TRUE(w->destroyed);
      for (int id : buttons[file])
        EXPECT_EQ(w->controls.count(id) ? w->controls[id].type : "", "button") << id;
    }
  }
}

TEST_F(DialogsTest, AWindowTheHostCannotCreateGivesTheNegativeAnswer) {
  Serie serie = Rule(1, false, {2});
  gui.FailNextCreate();
  EXPECT_FALSE(CGUIDialogSiNo("t", "x").PulsadoOK());
  EXPECT_TRUE(host.Logged("DialogSiNo.xml"));
  gui.FailNextCreate();
  EXPECT_FALSE(CGUIOpcionesGrabacion(serie).PulsadoOK());
  EXPECT_EQ(serie.TipodeCanal, 1);
  EXPECT_EQ(serie.Temporadas, std::vector<int>({2}));
  gui.FailNextCreate();
  EXPECT_EQ(CGUIContextIniciarEn("x").ObtenerBotonPulsado(), -1);
  gui.FailNextCreate();
  CGUIDialogSi("t", "x").Show();
  EXPECT_TRUE(host.Logged("DialogSI.xml"));
  EXPECT_EQ(gui.last(), nullptr);  // no window was ever made
}

TEST_F(DialogsTest, ChooserReturnsTheFirstClickedControlOrMinusOne) {
  const auto check = [this](const char* name, std::vector<UiEvent> script, int expected,
                            const std::function<int()>& run) {
    gui.Script(std::move(script));
    EXPECT_EQ(run(), expected) << name;
  };
  const auto resume = [] { return CGUIContextIniciarEn("x").ObtenerBotonPulsado(); };
  check("resume from start", {Click(1009)}, 1009, resume);
  check("resume", {Focus(1009), Click(1008), Click(1009)}, 1008, resume);
  check("closed by back", {Action(10), Click(1000)}, -1,
        [] { return CGUIContextSerieP().ObtenerBotonPulsado(); });
  check("unknown action then click", {Action(7), Click(1006)}, 1006,
        [] { return CGUIContextTracking().ObtenerBotonPulsado(); });
  check("left open", {Action(117)}, -1, [] { return CGUIContextSerieNP().ObtenerBotonPulsado(); });
}

TEST_F(DialogsTest, ChooserTextsConvertedExceptTheResumeOffer) {
  gui.Script({Click(1005)});
  EXPECT_EQ(CGUIContext1Boton("Eliminar sincronizaci\xf3n").ObtenerBotonPulsado(), 1005);
  EXPECT_EQ(gui.last()->label(1005), "Eliminar sincronizaci\xc3\xb3n");
  gui.Script({Click(1006)});
  EXPECT_EQ(CGUIContext2Botones("Sincronizaci\xf3n Inmediata", "A\361adir a la cola")
                .ObtenerBotonPulsado(),
            1006);
  EXPECT_EQ(gui.last()->label(1005), "Sincronizaci\xc3\xb3n Inmediata");
  EXPECT_EQ(gui.last()->label(1006), "A\303\261adir a la cola");
  // The resume offer is shown as it comes.
  CGUIContextIniciarEn("Continuar desde 1:02:05 en el cap\xedtulo").ObtenerBotonPulsado();
  EXPECT_EQ(gui.last()->label(1008), "Continuar desde 1:02:05 en el cap\xedtulo");
  EXPECT_EQ(gui.last()->label(1009), "Desde el principio");
  CGUIContextTracking().ObtenerBotonPulsado();
  EXPECT_TRUE(gui.last()->labelsSet.empty());
}

TEST_F(DialogsTest, OptionsShowTheRuleAndReleaseTheirControlsBeforeTheWindowGoes) {
  Serie serie = Rule(1, true, {2, 5});
  gui.Script({Click(10)});
  FakeWindow* w = nullptr;
  {
    CGUIOpcionesGrabacion options(serie);
    EXPECT_FALSE(options.PulsadoOK());
    w = gui.last();
    EXPECT_FALSE(w->Spin(13)->released);
  }
  EXPECT_EQ(w->label(1), "Opciones de grabaci\xc3\xb3n");
  EXPECT_EQ(w->label(14), "Grabar solo las siguientes temporadas (vacio todas):");
  ASSERT_TRUE(w->Spin(13) && w->Radio(7));
  using Entries = std::vector<std::pair<std::string, int>>;
  EXPECT_EQ(w->Spin(13)->entries, (Entries{{"Indistinto", 0}, {"Solo HD", 1}, {"Solo SD", 2}}));
  EXPECT_EQ(w->Spin(13)->value, 1);
  EXPECT_TRUE(w->Radio(7)->selected);
  for (int id : {15, 16, 17}) {
    ASSERT_NE(w->Spin(id), nullptr) << id;
    const Entries& e = w->Spin(id)->entries;
    ASSERT_EQ(e.size(), 51u) << id;
    EXPECT_EQ((Entries{e[0], e[1], e[50]}), (Entries{{"", 0}, {"T. 1", 1}, {"T. 50", 50}})) << id;
  }
  EXPECT_TRUE(w->destroyed);
  for (int id : {13, 15, 16, 17}) EXPECT_TRUE(w->Spin(id)->released) << id;
  EXPECT_TRUE(w->Radio(7)->released);
}

TEST_F(DialogsTest, OptionsWalkTheSeasonsIntoThreeSpinsAndStoreThemBack) {
  const std::vector<int> cases[][3] = {
      // the rule's seasons, the spins, the stored seasons
      {{0, 2, 5}, {2, 5, 0}, {2, 5}}, {{}, {0, 0, 0}, {}},
      {{0, 0}, {0, 0, 0}, {}},        {{3, 0, 7, 8, 9}, {3, 7, 8}, {3, 7, 8}},
      {{-1, 4}, {4, 0, 0}, {4}},      {{6, 6}, {6, 6, 0}, {6, 6}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c[0]));
    Serie serie = Rule(2, false, c[0]);
    gui.Script({Click(11)});
    EXPECT_TRUE(CGUIOpcionesGrabacion(serie).PulsadoOK());
    FakeWindow* w = gui.last();
    EXPECT_EQ((std::vector<int>{w->Spin(15)->value, w->Spin(16)->value, w->Spin(17)->value}), c[1]);
    EXPECT_EQ(serie.Temporadas, c[2]);
    EXPECT_EQ(serie.TipodeCanal, 2);
    EXPECT_FALSE(serie.Cloud);
  }
}

TEST_F(DialogsTest, OptionsWriteTheUsersChoicesOnlyWhenConfirmed) {
  const std::pair<UiEvent, bool> endings[] = {
      {Click(11), true},
      {Click(10), false},
      {Action(ACTION_BACKSPACE), false},  // back
      {Click(13), false},                 // another control
      {Action(ACTION_CONTEXT_MENU), false},
  };
  for (const auto& [last, confirmed] : endings) {
    SCOPED_TRACE(std::to_string(last.kind) + " " + std::to_string(last.id));
    Serie serie = Rule(1, true, {2, 5});
    gui.Script({ChangeSpin(13, 2), ChangeRadio(7, false), ChangeSpin(15, 0), ChangeSpin(16, 0),
                ChangeSpin(17, 9), last});
    EXPECT_EQ(CGUIOpcionesGrabacion(serie).PulsadoOK(), confirmed);
    EXPECT_EQ(serie.TipodeCanal, confirmed ? 2 : 1);
    EXPECT_EQ(serie.Cloud, !confirmed);
    EXPECT_EQ(serie.Temporadas, confirmed ? std::vector<int>({9}) : std::vector<int>({2, 5}));
  }
}

}  // namespace
