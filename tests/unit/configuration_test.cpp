#include "config/configuration.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "tests/fake/fake_platform.h"
#include "tests/unit/terminal_fixture.h"

namespace {

void Load(const std::string& content) {
  fake::Reset();
  fake::world.files["/prog/MIRELOX.CFG"] = content;
  LoadConfiguration();
}

std::string Line(int n) {
  return MessageLines[n];
}

TEST(Configuration, TextFileWithCrLfGivesPortDigitAndTenLines) {
  Load(StandardConfiguration);
  EXPECT_EQ(PortDigit, '1');
  EXPECT_EQ(Line(0), "line zero");
  EXPECT_EQ(Line(1), "Text page not found: ");
  EXPECT_EQ(Line(6), "Receiving block ");
  EXPECT_EQ(Line(9), "Sending block ");
}

TEST(Configuration, LineEndsOtherThanCrShiftOrMergeLines) {
  Load("3\nalpha\nbeta\ngamma\n");  // LF alone ends no line
  EXPECT_EQ(PortDigit, '3');
  EXPECT_EQ(Line(0), "alphabetagamma");
  for (int n = 1; n < MessageLineCount; ++n) EXPECT_EQ(Line(n), "") << n;

  Load("12\r\nfirst\r\nsecond\r\n");  // byte 1 is ignored, the CR at offset 2 ends an empty line 0
  EXPECT_EQ(PortDigit, '1');
  EXPECT_EQ(Line(0), "");
  EXPECT_EQ(Line(1), "first");
  EXPECT_EQ(Line(2), "second");

  Load("1\rA\rB\r");  // CR alone works like CR LF
  EXPECT_EQ(Line(0), "A");
  EXPECT_EQ(Line(1), "B");
}

TEST(Configuration, LinesKeepOnlyTheirFirst79PrintableCharacters) {
  Load("1\r\n" + std::string(100, 'x') + "\r\nnext\r\n");
  EXPECT_EQ(Line(0), std::string(79, 'x'));
  EXPECT_EQ(Line(1), "next");

  Load(std::string("1\r\na\tb{c}d~e|f\x80g\xE5h\x7Ai\r\n"));
  EXPECT_EQ(Line(0), "abcdefghzi");
}

TEST(Configuration, AnEleventhLineChangesNothing) {
  std::string file = "1\r\n";
  for (int n = 0; n < 11; ++n) file += "line" + std::to_string(n) + "\r\n";
  Load(file);
  EXPECT_EQ(Line(9), "line9");
}

TEST(Configuration, OnlyTheFirst1024BytesAreReadAndRewritten) {
  std::string file = "1\r\n" + std::string(1019, 'a') + "\r\nbeyond\r\n";
  ASSERT_GT(file.size(), 1024u);
  Load(file);
  EXPECT_EQ(Line(0), std::string(79, 'a'));
  EXPECT_EQ(Line(1), "");  // begins beyond byte 1023

  CurrentPort = 4;
  SavePortDigit();
  const std::string& rewritten = fake::world.files["/prog/MIRELOX.CFG"];
  EXPECT_EQ(rewritten.size(), file.size());
  EXPECT_EQ(rewritten[0], '4');
  EXPECT_EQ(rewritten.substr(1), file.substr(1));
}

TEST(Configuration, EmptyFileGivesNoDigitAndIsNeverWritten) {
  Load("");
  EXPECT_EQ(PortDigit, 0);
  for (int n = 0; n < MessageLineCount; ++n) EXPECT_EQ(Line(n), "");
  CurrentPort = 2;
  SavePortDigit();
  EXPECT_EQ(fake::world.files["/prog/MIRELOX.CFG"], "");
}

TEST(Configuration, RewriteChangesByteZeroOfTheFileFoundNow) {
  Load(StandardConfiguration);
  fake::world.files["/prog/MIRELOX.CFG"][5] = 'Z';  // someone edits the file meanwhile
  CurrentPort = 5;
  SavePortDigit();
  std::string expected = StandardConfiguration;
  expected[0] = '5';
  expected[5] = 'Z';
  EXPECT_EQ(fake::world.files["/prog/MIRELOX.CFG"], expected);
  EXPECT_EQ(PortDigit, '5');
}

TEST(Configuration, MissingOrLockedFileStopsTheProgramWithCode1) {
  fake::Reset();
  try {
    LoadConfiguration();
    FAIL() << "the program went on without a configuration";
  } catch (const fake::ProcessExit& exit) {
    EXPECT_EQ(exit.code, 1);
  }
  ASSERT_EQ(fake::world.messages.size(), 1u);
  EXPECT_EQ(fake::world.messages[0].text,
            "ERROR: missing MIRELOX.CFG configuration file !!! \nCannot continue, program terminated.");
  EXPECT_FALSE(fake::world.messages[0].ownedByMainWindow);
  // The placeholder name is never opened, even when such a file exists.
  fake::Reset();
  fake::world.files["123456.789"] = "1\r\n";
  EXPECT_THROW(LoadConfiguration(), fake::ProcessExit);
  for (const std::string& call : fake::world.calls) EXPECT_EQ(call.find("123456.789"), std::string::npos);

  // A rewrite that finds the file held by another program ends the program the same way.
  Load(StandardConfiguration);
  platform::FileHandle held = platform::OpenFileForReading("/prog/MIRELOX.CFG");
  ASSERT_NE(held, platform::NoFile);
  EXPECT_THROW(SavePortDigit(), fake::ProcessExit);
  EXPECT_EQ(fake::world.files["/prog/MIRELOX.CFG"], StandardConfiguration);
}

TEST(Configuration, SearchFindsTheFileInTheFirstFolderThatHasIt) {
  fake::Reset();
  fake::world.files["/cwd/MIRELOX.CFG"] = "2\r\ncwd\r\n";
  LoadConfiguration();
  EXPECT_EQ(std::string(FoundPath), "/cwd/MIRELOX.CFG");
  fake::world.files["/prog/MIRELOX.CFG"] = "3\r\nprog\r\n";
  LoadConfiguration();
  EXPECT_EQ(Line(0), "prog");
}

}  // namespace
