// MIRELOX.CFG: the port digit and ten message lines out of the file's bytes, and the rewrite of
// byte 0 alone.
#include "config/configuration.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/platform.h"
#include "tests/unit/support.h"

namespace {

const std::string Path = "/prog/MIRELOX.CFG";

struct File {
  const char* name;
  std::string content;
  char digit;
  std::map<int, std::string> lines;  // the other lines are empty
};

const File Files[] = {
    {"text with CR LF",
     StandardConfiguration,
     '1',
     {{0, "line zero"},
      {1, "Text page not found: "},
      {2, "Binary files"},
      {3, "Send which file?"},
      {4, "line four"},
      {5, "Save the received file as"},
      {6, "Receiving block "},
      {7, "Cannot create the file"},
      {8, "Cannot open the file"},
      {9, "Sending block "}}},
    {"LF alone ends no line", "3\nalpha\nbeta\n", '3', {{0, "alphabeta"}}},
    {"byte 1 is not looked at", "12\r\nfirst\r\nsecond\r\n", '1', {{1, "first"}, {2, "second"}}},
    {"CR alone ends a line", "1\rA\rB\r", '1', {{0, "A"}, {1, "B"}}},
    {"a line keeps 79 characters",
     "1\r\n" + std::string(100, 'x') + "\r\nnext",
     '1',
     {{0, std::string(79, 'x')}, {1, "next"}}},
    {"only space to z are kept", "1\r\na\tb{c}d~e|f\x80g\xE5h\x1Fi z\r\n", '1', {{0, "abcdefghi z"}}},
    {"an eleventh line changes nothing",
     "1\r\n0\r1\r2\r3\r4\r5\r6\r7\r8\r9\rten\r",
     '1',
     {{0, "0"}, {1, "1"}, {2, "2"}, {3, "3"}, {4, "4"}, {5, "5"}, {6, "6"}, {7, "7"}, {8, "8"}, {9, "9"}}},
    {"a line past byte 1023 is not read",
     "1\r\n" + std::string(1019, 'a') + "\r\nbeyond\r\n",
     '1',
     {{0, std::string(79, 'a')}}},
    {"byte 1023 is read",
     "1\r\n" + std::string(1018, 'a') + "\r\nbeyond\r\n",
     '1',
     {{0, std::string(79, 'a')}, {1, "b"}}},
    {"a file of one byte", "7", '7', {}},
    {"an empty file", "", 0, {}},
};

TEST(Configuration, FilesGiveTheirDigitAndLines) {
  for (const File& file : Files) {
    ResetCore();
    fake::world.files[Path] = file.content;
    LoadConfiguration();
    EXPECT_EQ(PortDigit, file.digit) << file.name;
    for (int n = 0; n < MessageLineCount; ++n) {
      const auto line = file.lines.find(n);
      EXPECT_EQ(MessageLines[n], line == file.lines.end() ? "" : line->second) << file.name << " line " << n;
    }
    CurrentPort = 4;
    SavePortDigit();
    std::string rewritten = file.content;
    if (!rewritten.empty()) rewritten[0] = '4';
    EXPECT_EQ(fake::world.files[Path], rewritten) << file.name;
    EXPECT_EQ(PortDigit, '4') << file.name;
  }
  ResetCore();
}

TEST(Configuration, TheRewriteFindsTheFileAgainAndKeepsWhatOthersChanged) {
  ResetCore();
  fake::world.files["/cwd/MIRELOX.CFG"] = "2\r\ncwd\r\n";
  LoadConfiguration();
  fake::world.files["/cwd/MIRELOX.CFG"][4] = 'Z';  // edited meanwhile
  CurrentPort = 5;
  SavePortDigit();
  EXPECT_EQ(fake::world.files["/cwd/MIRELOX.CFG"], "5\r\ncZd\r\n");
  fake::world.files[Path] = "3\r\nprog\r\n";  // the program's folder comes first
  SavePortDigit();
  EXPECT_EQ(fake::world.files[Path], "5\r\nprog\r\n");
  EXPECT_EQ(std::string(MessageLines[0]), "cwd");  // lines are read once
  ResetCore();
}

TEST(Configuration, AFileThatCannotBeOpenedStopsTheProgram) {
  ResetCore();
  EXPECT_THROW(LoadConfiguration(), fake::ProcessExit);
  EXPECT_EQ(fake::IndexOfCall("OpenForReading"), -1);  // a failed search opens nothing
  ASSERT_EQ(fake::world.messages.size(), 1u);
  EXPECT_EQ(fake::world.messages[0].text,
            "ERROR: missing MIRELOX.CFG configuration file !!! \nCannot continue, program terminated.");
  EXPECT_FALSE(fake::world.messages[0].owned);
  EXPECT_EQ(fake::world.calls.back(), "Exit 1");
  fake::world.files[Path] = StandardConfiguration;
  LoadConfiguration();
  ASSERT_NE(platform::OpenFileForReading(Path.c_str()), platform::NoFile);  // held by another program
  EXPECT_THROW(SavePortDigit(), fake::ProcessExit);
  EXPECT_EQ(fake::world.files[Path], StandardConfiguration);
  ResetCore();
}

}  // namespace
