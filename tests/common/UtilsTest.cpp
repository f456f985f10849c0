#include <gtest/gtest.h>

#include <chrono>

#include "addon/AddonBinding.h"
#include "common/Utils.h"
#include "support/FakeHost.h"

namespace {

struct PadCase {
  long long value;
  int width;
  const char* expected;
};

class PadTest : public ::testing::TestWithParam<PadCase> {};

TEST_P(PadTest, PadsOnlyUpToTheWidth) {
  EXPECT_EQ(convertInttoStringPad(GetParam().value, GetParam().width), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Widths, PadTest,
                         ::testing::Values(PadCase{7, 2, "07"}, PadCase{123, 2, "123"},
                                           PadCase{5, 0, "5"}, PadCase{0, 3, "000"}));

TEST(ConversionsTest, TextThatDoesNotParseYieldsZero) {
  EXPECT_EQ(ConvertStringtoint("abc"), 0);
  EXPECT_EQ(ConvertStringtoint("42"), 42);
  EXPECT_EQ(ConvertStringtoTimer(""), 0);
  EXPECT_EQ(ConvertHextoint("ff"), 255);
  EXPECT_EQ(ConvertHextoint("zz"), 0);
}

TEST(ConversionsTest, BoolIsTrueOnlyForOne) {
  EXPECT_TRUE(ConvertStringtobool("1"));
  EXPECT_FALSE(ConvertStringtobool("true"));
  EXPECT_FALSE(ConvertStringtobool("11"));
  EXPECT_FALSE(ConvertStringtobool(""));
}

TEST(ConversionsTest, HexIsTwoLowerCaseDigits) {
  EXPECT_EQ(ConvertToHex(10), "0a");
  EXPECT_EQ(ConvertToHex(255), "ff");
  EXPECT_EQ(ConvertToHex(0), "00");
}

TEST(ConversionsTest, IsoTimeIsReadAsLocalStandardTime) {
  const time_t t = ConvertStringtotime_T("2026-03-01T20:30:15.000Z");
  struct tm parts {};
  localtime_r(&t, &parts);
  EXPECT_EQ(parts.tm_year, 126);
  EXPECT_EQ(parts.tm_mon, 2);
  EXPECT_EQ(parts.tm_mday, 1);
  EXPECT_EQ(parts.tm_min, 30);
  EXPECT_EQ(Converttime_TtostringHora(t).size(), 5u);
}

TEST(TextTest, ObtenerValorReadsFlatJson) {
  const std::string json = R"({"resultCode":0,"resultText":"ok","last":"x"})";
  EXPECT_EQ(ObtenerValor(json, "resultCode"), "0");
  EXPECT_EQ(ObtenerValor(json, "resultText"), "ok");
  // The last member has no "," after it.
  EXPECT_EQ(ObtenerValor(json, "last"), "");
  EXPECT_EQ(ObtenerValor(json, "missing"), "");
}

TEST(TextTest, SplitKeepsInnerEmptyPiecesButNoTrailingOne) {
  EXPECT_EQ(split("a||b|", '|'), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_TRUE(split("", '|').empty());
  EXPECT_EQ(split("TDT|FUT", '|'), (std::vector<std::string>{"TDT", "FUT"}));
}

TEST(TextTest, EscapesEveryXmlSpecialCharacter) {
  EXPECT_EQ(stringtoescape("a&b<c>\"d'\n\r"), "a&amp;b&lt;c&gt;&quot;d&apos;&#xA;&#xD;");
}

TEST(TextTest, DoublesSingleBackslashesOnly) {
  EXPECT_EQ(barraadoblebarra("a\\b"), "a\\\\b");
  EXPECT_EQ(barraadoblebarra("a\\\\b"), "a\\\\b");
  EXPECT_EQ(barraadoblebarra("end\\"), "end\\\\");
}

TEST(TextTest, PatternsNeedTheWholePattern) {
  EXPECT_TRUE(CoincidePatronInicio("Canales.xml", "Canales"));
  EXPECT_FALSE(CoincidePatronInicio("Can", "Canales"));
  EXPECT_TRUE(CoincidePatronFinal("Canales.xml", ".xml"));
  EXPECT_FALSE(CoincidePatronFinal("ml", ".xml"));
}

TEST(TextTest, NormalidarFileNameBlanksUnsafeCharactersAndDropsAccents) {
  std::string title = "Acción: (El) Niño & Cía/Ñu";
  NormalidarFileName(title);
  EXPECT_EQ(title, "Accion   El  Niño   Cia Ñu");
}

TEST(TextTest, Windows1252RoundTripOfTheSpanishLetters) {
  // Only the twenty letters are mapped: ñ keeps its two UTF-8 bytes.
  EXPECT_EQ(DeUTF8a1252("ñá"), "ñ\xe1");
  const std::string utf8 = "áéíóúüÁÉÍÓÚÜàìòÀÈÌÒÙ";
  const std::string cp1252 = DeUTF8a1252(utf8);
  EXPECT_EQ(cp1252.size(), 20u);
  FakeHost host;
  EXPECT_EQ(De1252aUTF8(cp1252), utf8);
}

TEST(TextTest, LowerCasesAccentedCapitals) {
  EXPECT_EQ(stringtolower("CINE ÁÉÍÓÚÜ"), "cine áéíóúü");
  EXPECT_EQ(ObtenerGeneroCompleto("Cine", "DRAMA"), "Cine-drama");
  EXPECT_EQ(ObtenerGeneroCompleto("", "x"), "");
  EXPECT_EQ(StringColorAzul("T"), "[COLOR=blue]T[/COLOR] ");
}

TEST(TextTest, VectorHelpersRemoveEveryCopy) {
  std::vector<std::string> list{"a", "b", "a"};
  Deletevector(list, "a");
  EXPECT_EQ(list, std::vector<std::string>{"b"});
  std::vector<int> numbers{1, 2, 1};
  Deletevector(numbers, 1);
  EXPECT_FALSE(ExistInvector(numbers, 1));
  EXPECT_TRUE(ExistInvector(numbers, 2));
}

TEST(PathsTest, CombineInsertsExactlyOneSeparator) {
  EXPECT_EQ(PathCombine("/user", "Base/"), "/user/Base/");
  EXPECT_EQ(PathCombine("/user/", "Base/"), "/user/Base/");
  EXPECT_EQ(PathCombine("C:\\user\\", "Base/"), "C:\\user\\Base/");
}

TEST(PathsTest, SplitsAtTheLastSeparator) {
  std::string folder = "untouched", file;
  ObtenerDirectorioyFichero("/a/b/c.xml", folder, file);
  EXPECT_EQ(folder, "/a/b/");
  EXPECT_EQ(file, "c.xml");
  folder = "untouched";
  ObtenerDirectorioyFichero("c.xml", folder, file);
  EXPECT_EQ(folder, "untouched");
  EXPECT_EQ(file, "c.xml");
}

TEST(PathsTest, CreatesMissingParents) {
  FakeHost host;
  TempDir dir;
  EXPECT_TRUE(creardirectorio(dir.file("x/y/z/")));
  EXPECT_TRUE(XBMC->DirectoryExists(dir.file("x/y/z").c_str()));
}

TEST(LogTest, DebugLinesOnlyInDebugMode) {
  FakeHost host;
  ModoDebug = false;
  GenerarLogDebug("hidden");
  GenerarLogError("shown");
  EXPECT_FALSE(host.Logged("hidden"));
  ASSERT_TRUE(host.Logged("shown"));
  EXPECT_EQ(host.Logs().back().level, LOG_ERROR);
  ModoDebug = true;
  GenerarLogDebug(std::string(3000, 'x') + "%s%n");
  ModoDebug = false;
  EXPECT_EQ(host.Logs().back().level, LOG_NOTICE);
  EXPECT_EQ(host.Logs().back().text, std::string(1024, 'x'));
}

TEST(UuidTest, HasTheShapeOfAVersionFourUuid) {
  const std::string uuid = ObtenerUUID();
  EXPECT_EQ(std::count(uuid.begin(), uuid.end(), '-'), 4);
  EXPECT_EQ(ObtenerUUID(), ObtenerUUID());  // same second, same seed
}

}  // namespace
