// MIRELOX.CFG: the port digit and ten message lines out of the file's bytes, and the rewrite of
// byte 0 alone.
#include "config/configuration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/unit/support.h"

namespace {

const std::string Path = "/prog/MIRELOX.CFG";

struct File {
  const char* name;
  std::string content;
  char digit;
  std::vector<std::string> lines;  // from line 0 on; the others are empty
};

std::string A(int count) {
  return std::string(count, 'a');
}

// clang-format off
const File Files[] = {
    {"text with CR LF", StandardConfiguration, '1', {"line zero", "Text page not found: ", "Binary files",
     "Send which file?", "line four", "Save the received file as", "Receiving block ", "Cannot create the file",
     "Cannot open the file", "Sending block "}},
    {"LF alone ends no line", "3\nalpha\nbeta\n", '3', {"alphabeta"}},
    {"byte 1 is not looked at", "12\r\nfirst\r\nsecond\r\n", '1', {"", "first", "second"}},
    {"CR alone ends a line", "1\rA\rB\r", '1', {"A", "B"}},
    {"a line keeps 79 characters", "1\r\n" + A(100) + "\r\nnext", '1', {A(79), "next"}},
    {"only space to z are kept", "1\r\na\tb{c}d~e|f\x80g\xE5h\x1Fi z\r\n", '1', {"abcdefghi z"}},
    {"an eleventh line changes nothing", "1\r\n0\r1\r2\r3\r4\r5\r6\r7\r8\r9\rten\r", '1',
     {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}},
    {"a line past byte 1023 is not read", "1\r\n" + A(1019) + "\r\nbeyond\r\n", '1', {A(79)}},
    {"byte 1023 is read", "1\r\n" + A(1018) + "\r\nbeyond\r\n", '1', {A(79), "b"}},
    {"a file of one byte", "7", '7', {}},
    {"an empty file", "", 0, {}},
};
// clang-format on

TEST(Configuration, FilesGiveTheirDigitAndLines) {
  for (const File& file : Files) {
    ResetCore();
    fake::world.files[Path] = file.content;
    LoadConfiguration();
    EXPECT_EQ(PortDigit, file.digit) << file.name;
    std::vector<std::string> lines = file.lines;
    lines.resize(MessageLineCount);
    EXPECT_EQ(std::vector<std::string>(MessageLines, MessageLines + MessageLineCount), lines) << file.name;
    CurrentPort = 4;
    SavePortDigit();
    std::string rewritten = file.content;
    if (!rewritten.empty()) rewritten[0] = '4';
    EXPECT_EQ(fake::world.files[Path], rewritten) << file.name;
    EXPECT_EQ(PortDigit, '4') << file.name;
  }
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
