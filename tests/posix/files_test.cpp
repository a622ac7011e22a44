// Files of the POSIX layer: the search order of SearchFile, exclusive opens, truncation rules,
// and the monotonic sleep.
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace {

std::string ProgramFolder() {
  char exe[PATH_MAX] = {};
  ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
  std::string path(exe, length > 0 ? static_cast<size_t>(length) : 0);
  return path.substr(0, path.rfind('/'));
}

void WriteText(const std::string& path, const std::string& text) {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}

std::string ReadText(const std::string& path) {
  std::string text;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return "<missing>";
  char buffer[256];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
  std::fclose(file);
  return text;
}

class TemporaryFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/mirelox-posix-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    ASSERT_EQ(mkdir((root_ + "/cwd").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((root_ + "/path1").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((root_ + "/path2").c_str(), 0755), 0);
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    oldCwd_ = cwd;
    ASSERT_EQ(chdir((root_ + "/cwd").c_str()), 0);
    const char* path = getenv("PATH");
    oldPath_ = path != nullptr ? path : "";
    setenv("PATH", (root_ + "/path1:" + root_ + "/path2").c_str(), 1);
  }
  void TearDown() override {
    setenv("PATH", oldPath_.c_str(), 1);
    ASSERT_EQ(chdir(oldCwd_.c_str()), 0);
    std::string command = "rm -rf '" + root_ + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }

  std::string Search(const char* name, const char* extension, int size = 512) {
    char found[512] = "123456.789";
    return platform::SearchFile(name, extension, found, size) ? found : "<not found>";
  }

  std::string root_, oldCwd_, oldPath_;
};

TEST_F(TemporaryFolders, SearchLooksInProgramFolderThenCurrentThenPath) {
  std::string name = "SEARCH" + std::to_string(getpid());
  std::string inProgram = ProgramFolder() + "/" + name + ".CFG";
  std::string inCurrent = root_ + "/cwd/" + name + ".CFG";
  std::string inPath2 = root_ + "/path2/" + name + ".CFG";
  WriteText(inPath2, "3");
  WriteText(inCurrent, "2");
  WriteText(inProgram, "1");

  EXPECT_EQ(Search(name.c_str(), ".CFG"), inProgram);
  unlink(inProgram.c_str());
  EXPECT_EQ(Search(name.c_str(), ".CFG"), inCurrent);
  unlink(inCurrent.c_str());
  EXPECT_EQ(Search(name.c_str(), ".CFG"), inPath2);
  unlink(inPath2.c_str());
  EXPECT_EQ(Search(name.c_str(), ".CFG"), "<not found>");
}

TEST_F(TemporaryFolders, SearchAddsTheExtensionOnlyToANameWithout) {
  WriteText(root_ + "/cwd/TXT00042.KVB", "page");
  WriteText(root_ + "/cwd/NOTE.TXT", "note");
  WriteText(root_ + "/path1/PLAIN", "plain");

  EXPECT_EQ(Search("TXT00042", ".KVB"), root_ + "/cwd/TXT00042.KVB");
  EXPECT_EQ(Search("TXT00042.KVB", ".KVB"), root_ + "/cwd/TXT00042.KVB");
  EXPECT_EQ(Search("NOTE.TXT", ".KVB"), root_ + "/cwd/NOTE.TXT");
  EXPECT_EQ(Search("NOTE", ".KVB"), "<not found>");
  EXPECT_EQ(Search("PLAIN", nullptr), root_ + "/path1/PLAIN");
  EXPECT_EQ(Search("txt00042", ".KVB"), "<not found>");  // names are case-sensitive
}

TEST_F(TemporaryFolders, SearchFailsWhenTheResultDoesNotFit) {
  WriteText(root_ + "/cwd/FIT.CFG", "x");
  std::string full = root_ + "/cwd/FIT.CFG";
  int exact = static_cast<int>(full.size()) + 1;
  EXPECT_EQ(Search("FIT", ".CFG", exact), full);
  EXPECT_EQ(Search("FIT", ".CFG", exact - 1), "<not found>");
}

TEST_F(TemporaryFolders, OpensAreExclusiveAndNeverTruncateByAccident) {
  std::string path = root_ + "/data.bin";
  EXPECT_EQ(platform::OpenFileForReading(path.c_str()), platform::NoFile);
  EXPECT_EQ(platform::OpenFileForWriting(path.c_str()), platform::NoFile);
  EXPECT_EQ(ReadText(path), "<missing>");  // writing never creates

  WriteText(path, "ABCDEF");
  platform::FileHandle reader = platform::OpenFileForReading(path.c_str());
  ASSERT_NE(reader, platform::NoFile);
  EXPECT_EQ(platform::OpenFileForReading(path.c_str()), platform::NoFile);
  EXPECT_EQ(platform::OpenFileForWriting(path.c_str()), platform::NoFile);
  EXPECT_EQ(platform::CreateNewFile(path.c_str()), platform::NoFile);
  EXPECT_EQ(ReadText(path), "ABCDEF");  // a refused create leaves the file whole
  char buffer[16] = {};
  EXPECT_EQ(platform::ReadFromFile(reader, buffer, 16), 6);
  EXPECT_EQ(std::string(buffer), "ABCDEF");
  EXPECT_TRUE(platform::CloseFile(reader));

  platform::FileHandle writer = platform::OpenFileForWriting(path.c_str());
  ASSERT_NE(writer, platform::NoFile);
  EXPECT_EQ(platform::WriteToFile(writer, "x", 1), 1);
  EXPECT_TRUE(platform::CloseFile(writer));
  EXPECT_EQ(ReadText(path), "xBCDEF");

  mode_t oldMask = umask(022);
  EXPECT_EQ(platform::CreateNewFile(path.c_str()), platform::NoFile);  // it exists
  EXPECT_EQ(ReadText(path), "xBCDEF");

  std::string fresh = root_ + "/fresh.bin";
  platform::FileHandle created = platform::CreateNewFile(fresh.c_str());
  ASSERT_NE(created, platform::NoFile);
  EXPECT_TRUE(platform::CloseFile(created));
  umask(oldMask);
  struct stat info {};
  ASSERT_EQ(stat(fresh.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
  EXPECT_EQ(info.st_size, 0);
}

TEST_F(TemporaryFolders, ReplacesAndRemovesFiles) {
  std::string from = root_ + "/new.tmp", to = root_ + "/MIRELOX.CFG";
  WriteText(from, "2 new");
  WriteText(to, "1 old");
  EXPECT_TRUE(platform::ReplaceFile(from.c_str(), to.c_str()));
  EXPECT_EQ(ReadText(to), "2 new");
  EXPECT_EQ(ReadText(from), "<missing>");
  EXPECT_TRUE(platform::RemoveFile(to.c_str()));
  EXPECT_FALSE(platform::RemoveFile(to.c_str()));
}

TEST(MonotonicTime, SleepLastsAtLeastItsLength) {
  int64_t start = platform::NowMs();
  platform::SleepMs(25);
  EXPECT_GE(platform::NowMs() - start, 25);
}

}  // namespace
