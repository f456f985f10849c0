#include <gtest/gtest.h>

#include <functional>
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

// --- the base, through the information box ---

TEST_F(DialogsTest, WindowIsAFallbackDialogDestroyedWithItsObject) {
  FakeWindow* window = nullptr;
  {
    gui.Script({Focus(10), Click(12), Click(9), Click(10), Click(10)});
    CGUIDialogSi box("Aviso", "Texto");
    window = gui.last();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->file, "DialogSI.xml");
    EXPECT_EQ(gui.lastSkin, "");
    EXPECT_TRUE(gui.lastFallback);
    EXPECT_TRUE(gui.lastDialog);
    EXPECT_EQ(window->open, false);  // nothing shown before it is run

    box.Show();
    EXPECT_EQ(window->modalRuns, 1);
    EXPECT_EQ(window->label(1), "Aviso");
    EXPECT_EQ(window->label(9), "Texto");
    EXPECT_TRUE(window->closed);
    // OnInit, the focus and three clicks: 12 and 9 left it open, the second
    // click on 10 never came.
    EXPECT_EQ(window->answers, std::vector<bool>({true, true, true, true, true}));
    EXPECT_FALSE(window->destroyed);
  }
  EXPECT_TRUE(window->destroyed);
}

// --- the yes/no box ---

struct SiNoCase {
  const char* name;
  std::vector<UiEvent> script;
  bool result;
  bool closed;
};

void PrintTo(const SiNoCase& c, std::ostream* os) {
  *os << c.name;
}

class SiNoTest : public DialogsTest, public ::testing::WithParamInterface<SiNoCase> {};

TEST_P(SiNoTest, AnswersYesOnlyThroughControl11) {
  gui.Script(GetParam().script);
  CGUIDialogSiNo box("Pregunta", "Texto");
  EXPECT_EQ(box.PulsadoOK(), GetParam().result);
  EXPECT_EQ(gui.last()->closed, GetParam().closed);
}

INSTANTIATE_TEST_SUITE_P(
    Events, SiNoTest,
    ::testing::Values(SiNoCase{"Yes", {Click(11)}, true, true},
                      SiNoCase{"No", {Click(10)}, false, true},
                      SiNoCase{"Back", {Action(ACTION_NAV_BACK)}, false, true},
                      SiNoCase{"BackAfterYesFocus", {Focus(11), Action(10)}, false, true},
                      SiNoCase{"OtherClickKeepsOpen", {Click(12), Click(9)}, false, false},
                      SiNoCase{"OtherClickThenYes", {Click(1), Click(11)}, true, true},
                      SiNoCase{"OtherActionKeepsOpen", {Action(ACTION_SHOW_INFO)}, false, false},
                      SiNoCase{"NoWinsOverLaterYes", {Click(10), Click(11)}, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DialogsTest, EmptyYesNoLabelsKeepTheWindowFileLabels) {
  {
    gui.Script({Click(10)});
    CGUIDialogSiNo box("Pregunta", "Texto");
    box.PulsadoOK();
    FakeWindow* w = gui.last();
    EXPECT_FALSE(w->labelWasSet(10));
    EXPECT_FALSE(w->labelWasSet(11));
    EXPECT_EQ(w->label(10), "No");
    EXPECT_EQ(w->label(11), "S\xc3\xad");
    EXPECT_EQ(w->label(1), "Pregunta");
    EXPECT_EQ(w->label(9), "Texto");
  }
  {
    gui.Script({Click(11)});
    CGUIDialogSiNo box("Grabaci\xc3\xb3n", "Texto", "Nube", "Local");
    EXPECT_TRUE(box.PulsadoOK());  // true means the yes label, here the cloud
    EXPECT_EQ(gui.last()->label(11), "Nube");
    EXPECT_EQ(gui.last()->label(10), "Local");
  }
  {
    gui.Script({Click(11)});
    CGUIDialogSiNo box("Pregunta", "Texto", "Vale", "");
    box.PulsadoOK();
    EXPECT_EQ(gui.last()->label(11), "Vale");
    EXPECT_FALSE(gui.last()->labelWasSet(10));
  }
}

// --- every dialog: the back actions close, any other is left to the host ---

struct AnyDialog {
  const char* file;
  std::function<void()> run;
};

std::vector<AnyDialog> EveryDialog(Serie& serie) {
  return {
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
}

TEST_F(DialogsTest, BackActionsCloseEveryDialogAndOthersAreLeftToTheHost) {
  Serie serie;
  const struct {
    int action;
    bool handled;
  } actions[] = {{10, true},  {51, true},   {92, true},   {275, true},
                 {11, false}, {117, false}, {101, false}, {0, false}};
  for (const AnyDialog& dialog : EveryDialog(serie)) {
    for (const auto& a : actions) {
      SCOPED_TRACE(std::string(dialog.file) + " action " + std::to_string(a.action));
      gui.Script({Focus(1), Action(a.action)});
      dialog.run();
      FakeWindow* w = gui.last();
      ASSERT_NE(w, nullptr);
      ASSERT_EQ(w->file, dialog.file);
      EXPECT_EQ(w->closed, a.handled);
      ASSERT_EQ(w->answers.size(), 3u);
      EXPECT_TRUE(w->answers[0]);  // OnInit
      EXPECT_TRUE(w->answers[1]);  // OnFocus
      EXPECT_EQ(w->answers[2], a.handled);
      EXPECT_TRUE(w->destroyed);
    }
  }
}

TEST_F(DialogsTest, AWindowTheHostCannotCreateGivesTheNegativeAnswer) {
  Serie serie;
  serie.TipodeCanal = 1;
  serie.Temporadas = {2};
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

// --- the button choosers ---

TEST_F(DialogsTest, ChooserReturnsTheFirstClickedControlOrMinusOne) {
  const struct {
    const char* name;
    std::function<int()> run;
    std::vector<UiEvent> script;
    int expected;
  } cases[] = {
      {"resume from start",
       [] { return CGUIContextIniciarEn("x").ObtenerBotonPulsado(); },
       {Click(1009)},
       1009},
      {"resume",
       [] { return CGUIContextIniciarEn("x").ObtenerBotonPulsado(); },
       {Focus(1009), Click(1008), Click(1009)},
       1008},
      {"closed by back",
       [] { return CGUIContextSerieP().ObtenerBotonPulsado(); },
       {Action(10), Click(1000)},
       -1},
      {"unknown action then click",
       [] { return CGUIContextTracking().ObtenerBotonPulsado(); },
       {Action(7), Click(1006)},
       1006},
      {"left open", [] { return CGUIContextSerieNP().ObtenerBotonPulsado(); }, {Action(117)}, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    gui.Script(c.script);
    EXPECT_EQ(c.run(), c.expected);
  }
}

TEST_F(DialogsTest, ChooserTextsConvertedExceptTheResumeOffer) {
  gui.Script({Click(1005)});
  CGUIContext1Boton one("Eliminar sincronizaci\xf3n");
  EXPECT_EQ(one.ObtenerBotonPulsado(), 1005);
  EXPECT_EQ(gui.last()->label(1005), "Eliminar sincronizaci\xc3\xb3n");

  gui.Script({Click(1006)});
  CGUIContext2Botones two("Sincronizaci\xf3n Inmediata",
                          "A\xf1"
                          "adir a la cola");
  EXPECT_EQ(two.ObtenerBotonPulsado(), 1006);
  EXPECT_EQ(gui.last()->label(1005), "Sincronizaci\xc3\xb3n Inmediata");
  EXPECT_EQ(gui.last()->label(1006),
            "A\xc3\xb1"
            "adir a la cola");

  CGUIContextIniciarEn resume("Continuar desde 1:02:05");
  resume.ObtenerBotonPulsado();
  EXPECT_EQ(gui.last()->label(1008), "Continuar desde 1:02:05");
  EXPECT_EQ(gui.last()->label(1009), "Desde el principio");

  CGUIContextTracking tracking;
  tracking.ObtenerBotonPulsado();
  EXPECT_TRUE(gui.last()->labelsSet.empty());
}

// The windows that open these choosers act on these buttons.
TEST_F(DialogsTest, ChooserFilesCarryTheButtonsTheirCallersUse) {
  const struct {
    std::function<void()> run;
    std::vector<int> buttons;
  } cases[] = {
      {[] { CGUIContextIniciarEn("x").ObtenerBotonPulsado(); }, {1008, 1009}},
      {[] { CGUIContext1Boton("x").ObtenerBotonPulsado(); }, {1005}},
      {[] { CGUIContext2Botones("x", "y").ObtenerBotonPulsado(); }, {1005, 1006}},
      {[] { CGUIContextSerieNP().ObtenerBotonPulsado(); }, {1000, 1001, 1002, 1004}},
      {[] { CGUIContextSerieP().ObtenerBotonPulsado(); }, {1001, 1002, 1003, 1004, 1007}},
      {[] { CGUIContextTracking().ObtenerBotonPulsado(); }, {1005, 1006}},
  };
  for (const auto& c : cases) {
    c.run();
    FakeWindow* w = gui.last();
    SCOPED_TRACE(w->file);
    for (int id : c.buttons) {
      ASSERT_EQ(w->controls.count(id), 1u) << id;
      EXPECT_EQ(w->controls[id].type, "button") << id;
    }
  }
}

// --- recording options of a series rule ---

Serie Rule(int tipo, bool cloud, std::vector<int> temporadas) {
  Serie serie;
  serie.IdStrSerie = "Serie";
  serie.TipodeCanal = tipo;
  serie.Cloud = cloud;
  serie.Temporadas = std::move(temporadas);
  return serie;
}

TEST_F(DialogsTest, OptionsShowTheRule) {
  Serie serie = Rule(1, true, {2, 5});
  gui.Script({Click(10)});
  CGUIOpcionesGrabacion options(serie);
  EXPECT_FALSE(options.PulsadoOK());
  FakeWindow* w = gui.last();
  EXPECT_EQ(w->label(1), "Opciones de grabaci\xc3\xb3n");
  EXPECT_EQ(w->label(14), "Grabar solo las siguientes temporadas (vacio todas):");

  ASSERT_NE(w->Spin(13), nullptr);
  const std::vector<std::pair<std::string, int>> tipos = {
      {"Indistinto", 0}, {"Solo HD", 1}, {"Solo SD", 2}};
  EXPECT_EQ(w->Spin(13)->entries, tipos);
  EXPECT_EQ(w->Spin(13)->value, 1);
  ASSERT_NE(w->Radio(7), nullptr);
  EXPECT_TRUE(w->Radio(7)->selected);

  for (int id : {15, 16, 17}) {
    SCOPED_TRACE(id);
    ASSERT_NE(w->Spin(id), nullptr);
    const auto& entries = w->Spin(id)->entries;
    ASSERT_EQ(entries.size(), 51u);
    EXPECT_EQ(entries[0], std::make_pair(std::string(), 0));
    EXPECT_EQ(entries[1], std::make_pair(std::string("T. 1"), 1));
    EXPECT_EQ(entries[50], std::make_pair(std::string("T. 50"), 50));
  }
}

TEST_F(DialogsTest, OptionsWalkTheSeasonsIntoThreeSpinsAndStoreThemBack) {
  const struct {
    std::vector<int> temporadas;
    int spins[3];
    std::vector<int> stored;
  } cases[] = {
      {{0, 2, 5}, {2, 5, 0}, {2, 5}}, {{}, {0, 0, 0}, {}},
      {{0, 0}, {0, 0, 0}, {}},        {{3, 0, 7, 8, 9}, {3, 7, 8}, {3, 7, 8}},
      {{-1, 4}, {4, 0, 0}, {4}},      {{6, 6}, {6, 6, 0}, {6, 6}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.temporadas));
    Serie serie = Rule(2, false, c.temporadas);
    gui.Script({Click(11)});
    CGUIOpcionesGrabacion options(serie);
    EXPECT_TRUE(options.PulsadoOK());
    FakeWindow* w = gui.last();
    EXPECT_EQ(w->Spin(15)->value, c.spins[0]);
    EXPECT_EQ(w->Spin(16)->value, c.spins[1]);
    EXPECT_EQ(w->Spin(17)->value, c.spins[2]);
    EXPECT_EQ(serie.Temporadas, c.stored);
    EXPECT_EQ(serie.TipodeCanal, 2);
    EXPECT_FALSE(serie.Cloud);
  }
}

TEST_F(DialogsTest, OptionsWriteTheUsersChoicesOnlyWhenConfirmed) {
  const std::vector<UiEvent> edits = {ChangeSpin(13, 2), ChangeRadio(7, false), ChangeSpin(15, 0),
                                      ChangeSpin(16, 0), ChangeSpin(17, 9)};
  const struct {
    const char* name;
    UiEvent last;
    bool confirmed;
  } cases[] = {
      {"accept", Click(11), true},
      {"cancel", Click(10), false},
      {"back", Action(ACTION_BACKSPACE), false},
      {"other click", Click(13), false},
      {"other action", Action(ACTION_CONTEXT_MENU), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Serie serie = Rule(1, true, {2, 5});
    std::vector<UiEvent> script = edits;
    script.push_back(c.last);
    gui.Script(script);
    CGUIOpcionesGrabacion options(serie);
    EXPECT_EQ(options.PulsadoOK(), c.confirmed);
    EXPECT_EQ(serie.TipodeCanal, c.confirmed ? 2 : 1);
    EXPECT_EQ(serie.Cloud, !c.confirmed);
    EXPECT_EQ(serie.Temporadas, c.confirmed ? std::vector<int>({9}) : std::vector<int>({2, 5}));
  }
}

TEST_F(DialogsTest, OptionsReleaseTheirControlsBeforeTheWindowGoes) {
  Serie serie = Rule(0, false, {});
  FakeWindow* w = nullptr;
  {
    gui.Script({Click(11)});
    CGUIOpcionesGrabacion options(serie);
    options.PulsadoOK();
    w = gui.last();
    EXPECT_FALSE(w->Spin(13)->released);
  }
  EXPECT_TRUE(w->destroyed);
  for (int id : {13, 15, 16, 17}) EXPECT_TRUE(w->Spin(id)->released) << id;
  EXPECT_TRUE(w->Radio(7)->released);
}

}  // namespace
