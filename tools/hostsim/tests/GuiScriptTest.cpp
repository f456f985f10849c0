#include <gtest/gtest.h>

#include "gui/GuiScript.h"
#include "gui/WindowFile.h"

namespace {

using hostsim::GuiScript;
using hostsim::GuiStep;

std::vector<std::string> stepTexts(const hostsim::ScriptVisit& v) {
  std::vector<std::string> out;
  for (const auto& s : v.steps) out.push_back(s.text());
  return out;
}

TEST(GuiScript, ParsesVisitsStepsAndContinuations) {
  GuiScript s;
  auto r = s.parse(
      "# answers for one run\n"
      "in DialogSiNo.xml click 11\n"
      "\n"
      "in DialogOpcionesGrabacion.xml set spin 15 to 2 then set radio 7 on\n"
      "  then click 11\n"
      "every DialogSI.xml send action 10\n"
      "in listadeseries.xml wait 2s then select item 3 then action 117 then focus 5 then back\n"
      "in x.xml set spin 13 to -1 then set radio 7 to off then wait 250ms then wait 40\n"
      "in y.xml select label Pérez & Hijos:  Año then snapshot then select label \"a then b\"\n");
  ASSERT_TRUE(r.ok) << r.describe();
  ASSERT_EQ(6u, s.visits().size());
  EXPECT_EQ("DialogSiNo.xml", s.visits()[0].file);
  EXPECT_FALSE(s.visits()[0].every);
  EXPECT_EQ(std::vector<std::string>({"click 11"}), stepTexts(s.visits()[0]));
  EXPECT_EQ(std::vector<std::string>({"set spin 15 to 2", "set radio 7 on", "click 11"}),
            stepTexts(s.visits()[1]));
  EXPECT_TRUE(s.visits()[2].every);
  EXPECT_EQ(6, s.visits()[2].line);
  EXPECT_EQ(std::vector<std::string>({"action 10"}), stepTexts(s.visits()[2]));
  EXPECT_EQ(std::vector<std::string>(
                {"wait 2000ms", "select item 3", "action 117", "focus 5", "action 92"}),
            stepTexts(s.visits()[3]));
  EXPECT_EQ(
      std::vector<std::string>({"set spin 13 to -1", "set radio 7 off", "wait 250ms", "wait 40ms"}),
      stepTexts(s.visits()[4]));
  EXPECT_EQ(std::vector<std::string>(
                {"select label Pérez & Hijos: Año", "snapshot", "select label a then b"}),
            stepTexts(s.visits()[5]));
}

struct BadScript {
  const char* text;
  int line;
  const char* error;  // a part of the message
};

TEST(GuiScript, ErrorsNameTheLine) {
  const BadScript cases[] = {
      {"click 11\n", 1, "starts with"},
      {"then click 11\n", 1, "no window line"},
      {"in DialogSiNo.xml\n", 1, "expected a step"},
      {"in DialogSiNo.xml clik 11\n", 1, "unknown step \"clik\""},
      {"# c\nin DialogSiNo.xml click\n", 2, "control id"},
      {"in DialogSiNo.xml click 11 click 10\n", 1, "joined with \"then\""},
      {"in a.xml set spin 15 2\n", 1, "\"to\""},
      {"in a.xml set radio 7 maybe\n", 1, "on or off"},
      {"in a.xml send 10\n", 1, "\"action\" after send"},
      {"in a.xml wait 61s\n", 1, "at most 60 s"},
      {"in a.xml select label then click 1\n", 1, "a label after select label"},
      {"in a.xml select label \"open then\n", 1, "unclosed quote"},
      {"in a.xml click 1\nin DialogSiNo click 1\n", 2, "window file name"},
  };
  for (const auto& c : cases) {
    GuiScript s;
    auto r = s.parse(c.text);
    EXPECT_FALSE(r.ok) << c.text;
    EXPECT_EQ(c.line, r.line) << c.text;
    EXPECT_NE(std::string::npos, r.error.find(c.error)) << c.text << " -> " << r.error;
    EXPECT_TRUE(s.visits().empty());
  }
}

TEST(WindowFile, FindsNestedControlsLabelsAndDefault) {
  hostsim::WindowFile f;
  auto r = f.loadString(
      "<window><defaultcontrol always=\"true\">11</defaultcontrol><controls>"
      "<control type=\"group\" id=\"100\"><control type=\"button\" id=\"11\">"
      "<label>30202</label></control></control>"
      "<control type=\"label\" id=\"1\"><label>Texto &amp; m\xC3\xA1s</label></control>"
      "<control type=\"image\"/>"
      "<control type=\"button\" id=\"1\"><label>dup</label></control>"
      "</controls></window>",
      [](int id) { return id == 30202 ? std::string("S\xC3\xAD") : std::string(); });
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(3u, f.controls().size());
  EXPECT_EQ(11, f.defaultControl());
  EXPECT_EQ("S\xC3\xAD", f.control(11).label);
  EXPECT_EQ("Texto & m\xC3\xA1s", f.control(1).label);
  EXPECT_EQ("label", f.control(1).type);
  EXPECT_EQ(1u, r.warnings.size());
  EXPECT_FALSE(f.has(2));

  hostsim::WindowFile bad;
  EXPECT_FALSE(bad.loadString("<window><controls>").ok);
  EXPECT_FALSE(bad.loadString("<settings/>").ok);
}

}  // namespace
