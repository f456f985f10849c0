#include <fcntl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "FakeAddonFolder.h"
#include "core/FileService.h"

namespace {

using hostsim::FileService;
using hostsim_test::readFile;
using hostsim_test::writeFile;

class FileServiceTest : public ::testing::Test {
 protected:
  FileServiceTest() : files([this](const std::string& e) { errors.push_back(e); }) {}
  hostsim_test::FakeAddonFolder folder;
  std::vector<std::string> errors;
  FileService files;
  std::string path(const char* name) { return folder.root() + "/" + name; }
};

TEST_F(FileServiceTest, WriteSeekReadAndLength) {
  void* f = files.openForWrite(path("a.xml").c_str(), true);
  ASSERT_NE(nullptr, f);
  EXPECT_EQ(12, files.write(f, "<a>\n<b/>\n</a>", 12));
  EXPECT_EQ(12, files.length(f));
  EXPECT_EQ(4, files.seek(f, 4, SEEK_SET));
  EXPECT_EQ(4, files.position(f));
  files.close(f);
  EXPECT_EQ("<a>\n<b/>\n</a", readFile(path("a.xml")));

  f = files.open(("file://" + path("a.xml")).c_str(), 0);
  ASSERT_NE(nullptr, f);
  char line[6];
  ASSERT_TRUE(files.readString(f, line, sizeof line));
  EXPECT_STREQ("<a>\n", line);
  ASSERT_TRUE(files.readString(f, line, sizeof line));
  EXPECT_STREQ("<b/>\n", line);
  char rest[16] = {};
  EXPECT_EQ(3, files.read(f, rest, sizeof rest));
  EXPECT_STREQ("</a", rest);
  EXPECT_FALSE(files.readString(f, line, sizeof line));
  files.close(f);
  EXPECT_EQ(0u, files.openCount());
  EXPECT_TRUE(errors.empty());
}

TEST_F(FileServiceTest, OpenForWriteWithoutOverwriteKeepsTheContent) {
  writeFile(path("keep.txt"), "0123456789");
  void* f = files.openForWrite(path("keep.txt").c_str(), false);
  ASSERT_NE(nullptr, f);
  EXPECT_EQ(0, files.position(f));
  EXPECT_EQ(2, files.write(f, "ab", 2));
  EXPECT_EQ(0, files.truncate(f, 5));
  files.close(f);
  EXPECT_EQ("ab234", readFile(path("keep.txt")));

  f = files.openForWrite(path("keep.txt").c_str(), true);
  files.close(f);
  EXPECT_EQ("", readFile(path("keep.txt")));
}

TEST_F(FileServiceTest, DirectoriesAndExistence) {
  std::string dir = path("Base/");
  EXPECT_FALSE(files.directoryExists(dir.c_str()));
  EXPECT_TRUE(files.createDirectory(dir.c_str()));
  EXPECT_TRUE(files.createDirectory(dir.c_str()));  // existing is fine
  EXPECT_TRUE(files.directoryExists(dir.c_str()));
  EXPECT_TRUE(files.canOpenDirectory(dir.c_str()));
  EXPECT_FALSE(files.createDirectory(path("no/such/parent").c_str()));
  EXPECT_EQ(nullptr, files.open(dir.c_str(), 0));  // a folder is no file

  writeFile(path("Base/x"), "1");
  EXPECT_TRUE(files.exists(path("Base/x").c_str()));
  struct stat st;
  EXPECT_EQ(0, files.stat(path("Base/x").c_str(), &st));
  EXPECT_EQ(1, st.st_size);
  EXPECT_FALSE(files.removeDirectory(dir.c_str()));  // not empty
  EXPECT_TRUE(files.remove(path("Base/x").c_str()));
  EXPECT_FALSE(files.remove(path("Base/x").c_str()));
  EXPECT_TRUE(files.removeDirectory(dir.c_str()));
  EXPECT_EQ(nullptr, files.open(path("missing").c_str(), 0));
}

TEST_F(FileServiceTest, ForeignHandlesAreReportedAndLeftOpenFilesCounted) {
  int notAHandle = 0;
  char buffer[4];
  EXPECT_EQ(-1, files.read(&notAHandle, buffer, sizeof buffer));
  files.close(&notAHandle);
  EXPECT_EQ(2u, errors.size());

  void* f = files.openForWrite(path("left.txt").c_str(), true);
  ASSERT_NE(nullptr, f);
  files.close(f);
  files.close(f);  // twice
  EXPECT_EQ(3u, errors.size());

  files.openForWrite(path("left1.txt").c_str(), true);
  files.openForWrite(path("left2.txt").c_str(), true);
  EXPECT_EQ(2u, files.closeAll());
  EXPECT_EQ(0u, files.openCount());
}

}  // namespace
