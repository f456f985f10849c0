// The common utilities: conversions, text, paths, the log and file moves.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/HostServices.h"
#include "common/Utils.h"
#include "support/InProcessHost.h"

namespace {

TEST(TextTest, TextTransforms) {
  std::string title = "Acción: (El) Niño & Cía/Ñu";
  NormalidarFileName(title);
  const struct {
    const char* what;
    std::string got;
    std::string want;
  } cases[] = {
      {"padded", convertInttoStringPad(7, 2), "07"},
      {"never cut by padding", convertInttoStringPad(123, 2), "123"},
      {"hex", ConvertToHex(10) + ConvertToHex(255) + ConvertToHex(0), "0aff00"},
      {"escaped", stringtoescape("a&b<c>\"d'\n\r"), "a&amp;b&lt;c&gt;&quot;d&apos;&#xA;&#xD;"},
      {"single backslash doubled", barraadoblebarra("a\\b"), "a\\\\b"},
      {"double backslash kept", barraadoblebarra("a\\\\b"), "a\\\\b"},
      {"last backslash doubled", barraadoblebarra("end\\"), "end\\\\"},
      {"file name", title, "Accion   El  Niño   Cia Ñu"},
      {"lower case", stringtolower("CINE ÁÉÍÓÚÜ"), "cine áéíóúü"},
      // Only the twenty Spanish letters are mapped: ñ keeps its UTF-8 bytes.
      {"to Windows-1252", DeUTF8a1252("ñá"), "ñ\xe1"},
      {"path", PathCombine("/user", "Base/"), "/user/Base/"},
      {"path with separator", PathCombine("/user/", "Base/"), "/user/Base/"},
      {"windows path", PathCombine("C:\\user\\", "Base/"), "C:\\user\\Base/"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
  const std::string utf8 = "áéíóúüÁÉÍÓÚÜàìòÀÈÌÒÙ";
  InProcessHost host;  // back from Windows-1252 through the host
  EXPECT_EQ(De1252aUTF8(DeUTF8a1252(utf8)), utf8);
  EXPECT_TRUE(creardirectorio(host.user().file("x/y/z/")));  // with its parents
  EXPECT_TRUE(std::filesystem::is_directory(host.user().file("x/y/z")));
}

TEST(TextTest, NumbersListsAndPatterns) {
  EXPECT_EQ(ConvertStringtoint("abc") + ConvertStringtoint("42"), 42);
  EXPECT_EQ(ConvertHextoint("ff") + ConvertHextoint("zz"), 255);
  EXPECT_EQ(ConvertStringtoTimer(""), 0);
  EXPECT_TRUE(ConvertStringtobool("1"));
  for (const char* no : {"true", "11", ""}) EXPECT_FALSE(ConvertStringtobool(no)) << no;
  EXPECT_EQ(split("a||b|", '|'), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_TRUE(split("", '|').empty());
  std::vector<int> numbers{1, 2, 1};
  Deletevector(numbers, 1);
  EXPECT_EQ(numbers, std::vector<int>{2});
  EXPECT_TRUE(CoincidePatronInicio("Canales.xml", "Canales") &&
              CoincidePatronFinal("Canales.xml", ".xml"));
  EXPECT_FALSE(CoincidePatronInicio("Can", "Canales") || CoincidePatronFinal("ml", ".xml"));
  std::string folder = "untouched", file;
  ObtenerDirectorioyFichero("c.xml", folder, file);
  EXPECT_EQ(folder + " " + file, "untouched c.xml");
  ObtenerDirectorioyFichero("/a/b/c.xml", folder, file);
  EXPECT_EQ(folder + " " + file, "/a/b/ c.xml");
}

TEST(LogTest, DebugLinesOnlyInDebugModeAndNoneLongerThan1024) {
  InProcessHost host;
  ModoDebug = false;
  GenerarLogDebug("hidden");
  GenerarLogError("shown");
  EXPECT_FALSE(host.Logged("hidden"));
  EXPECT_EQ(host.LevelOfLog("shown"), "error");
  ModoDebug = true;
  GenerarLogDebug(std::string(3000, 'x') + "%s%n");
  ModoDebug = false;
  const hostsim::JournalEntry last = host.journal().entries().back();
  EXPECT_EQ(last.level + last.text, "notice" + std::string(1024, 'x'));
}

// A rename, else (/dev/shm is another file system) a copy; no source: nothing.
TEST(MoverFicheroTest, RenamesOrCopiesAcrossFileSystemsAndLeavesOneFile) {
  InProcessHost host;
  const std::string shm = "/dev/shm/quorvina-mover-" + std::to_string(getpid());
  std::filesystem::create_directories(shm);
  const std::string bytes(200 * 1024 + 7, 'x');
  const struct {
    std::string origen, destino;
    bool existe;
  } casos[] = {{host.user().file("a"), host.user().file("a.mpeg"), true},
               {shm + "/b", host.user().file("b.mpeg"), true},
               {shm + "/c", host.user().file("c.mpeg"), false}};
  for (const auto& c : casos) {
    if (c.existe) std::ofstream(c.origen, std::ios::binary) << bytes;
    EXPECT_EQ(MoverFichero(c.origen, c.destino), c.existe) << c.origen;
    EXPECT_FALSE(std::filesystem::exists(c.origen)) << c.origen;
    EXPECT_EQ(std::filesystem::exists(c.destino) ? std::filesystem::file_size(c.destino) : 0,
              c.existe ? bytes.size() : 0)
        << c.origen;
  }
  std::filesystem::remove_all(shm);
}

}  // namespace
