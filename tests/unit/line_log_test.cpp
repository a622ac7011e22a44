// The record of the line: a whole session of the program, run with --log over the fake, in
// virtual time (0 is 14:03:22.000), and the record it leaves.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "app/program.h"
#include "app/window_messages.h"
#include "tests/unit/support.h"

namespace {

const std::string LogPath = "/logs/line.txt";

// Runs the program until the window is closed at endMs; returns the record's lines.
std::vector<std::string> Session(int endMs, const char* logPath = LogPath.c_str()) {
  fake::world.files["/prog/MIRELOX.CFG"] = StandardConfiguration;
  fake::Post(msg::Command, cmd::Exit, endMs);
  char program[] = "mirelox", option[] = "--log";
  std::string path = logPath != nullptr ? logPath : "";
  char* argv[] = {program, option, path.data()};
  EXPECT_EQ(MireloxMain(1, logPath != nullptr ? 3 : 1, argv), 0);
  std::vector<std::string> lines;
  std::string text = fake::world.files[LogPath];
  for (size_t end; (end = text.find('\n')) != std::string::npos; text.erase(0, end + 1))
    lines.push_back(text.substr(0, end));
  EXPECT_EQ(text, "") << "a line without its end";
  return lines;
}

struct RecordCase {
  const char* name;
  std::vector<std::pair<int, std::string>> device;  // bytes the device sends, at ms
  std::vector<std::pair<int, char>> typed;          // characters typed, at ms
  std::vector<std::string> record;                  // between "COM1 opened" and "COM1 closed"
};

// clang-format off
const RecordCase Cases[] = {
    {"a burst is one line", {{1000, "\x1b[HHello"}}, {},
     {"2026-12-07 14:03:23.000 RX 1b 5b 48 48 65 6c 6c 6f                          |.[HHello|"}},
    {"sixteen bytes a line", {{1000, "0123456789abcdefXYZ"}}, {},
     {"2026-12-07 14:03:23.000 RX 30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66  |0123456789abcdef|",
      "2026-12-07 14:03:23.000 RX 58 59 5a                                         |XYZ|"}},
    {"more than 20 ms of quiet starts a line", {{1000, "ab"}, {1021, "c"}, {1041, "d"}}, {},
     {"2026-12-07 14:03:23.000 RX 61 62                                            |ab|",
      "2026-12-07 14:03:23.021 RX 63 64                                            |cd|"}},
    {"the direction starts a line", {{1000, "\x1b\xff\x7f\x08\x0c\x0a"}}, {},
     {"2026-12-07 14:03:23.000 RX 1b ff 7f 08 0c 0a                                |......|",
      "2026-12-07 14:03:23.000 TX 4d 49 52 45 4c 4f 58 20 20 20 20 20              |MIRELOX     |"}},
    {"keys paced 5 ms apart are one run", {}, {{1000, 'a'}, {1000, 'b'}, {1100, '\xe5'}},
     {"2026-12-07 14:03:23.000 TX 61 62                                            |ab|",
      "2026-12-07 14:03:23.100 TX 86                                               |.|"}},
    {"a page and its name", {{1000, "\x1b[X00042"}}, {},
     {"2026-12-07 14:03:23.000 RX 1b 5b 58 30 30 30 34 32                          |.[X00042|",
      "2026-12-07 14:03:23.000 -- page TXT00042 missing"}},
};
// clang-format on

class Record : public ::testing::TestWithParam<RecordCase> {
 protected:
  void SetUp() override { ResetCore(); }
  void TearDown() override { ResetCore(); }
};

TEST_P(Record, BytesBecomeLines) {
  for (const auto& [ms, bytes] : GetParam().device) fake::DeviceSends(bytes, ms);
  for (const auto& [ms, c] : GetParam().typed) fake::Post(msg::Char, static_cast<unsigned char>(c), ms);
  std::vector<std::string> lines = Session(5000);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines.front(), "2026-12-07 14:03:22.000 -- log started (Mirelox 2.2)");
  EXPECT_EQ(lines[1], "2026-12-07 14:03:22.000 -- COM1 opened (4800 8N1)");
  EXPECT_EQ(lines.back(), "2026-12-07 14:03:27.000 -- log ended");
  EXPECT_EQ(lines[lines.size() - 2], "2026-12-07 14:03:27.000 -- COM1 closed");
  lines.erase(lines.begin(), lines.begin() + 2);
  lines.resize(lines.size() - 2);
  EXPECT_EQ(lines, GetParam().record);
}

INSTANTIATE_TEST_SUITE_P(Line, Record, ::testing::ValuesIn(Cases), [](const auto& info) {
  std::string name = info.param.name;
  for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
});

// The hex of one direction's lines, joined in order.
std::string Joined(const std::vector<std::string>& lines, const std::string& direction) {
  std::string hex;
  for (const std::string& line : lines) {
    if (line.compare(24, 3, direction + " ") == 0) hex += line.substr(27, 47) + " ";
  }
  std::string compact;
  for (char c : hex) compact += c == ' ' ? "" : std::string(1, c);
  return compact;
}

std::string HexOf(const std::string& bytes) {
  std::string compact;
  for (char c : Hex(bytes)) compact += c == ' ' ? "" : std::string(1, static_cast<char>(std::tolower(c)));
  return compact;
}

// What the device sent is in the file while the program idles, not only when it ends.
TEST(RecordOfTheLine, AFinishedRunReachesTheFileWhileTheProgramIdles) {
  ResetCore();
  fake::DeviceSends("ok", 1000);
  Session(60000);
  ExpectInOrder({"Draw k", "WriteFile /logs/line.txt", "Wait", "DestroyMainWindow"});
}

// A received file: every byte of the blocks and of the answers, once, in its direction.
TEST(RecordOfTheLine, KeepsATransferByteForByte) {
  ResetCore();
  std::string block = "\x01\x01\xfe" + std::string(128, 'q');
  block += static_cast<char>(128 * 'q' % 256);
  fake::world.dialogAnswers = {std::string("/data/in.bin")};
  fake::DeviceSends("\x1b[T", 1000);
  AnswerInTurns({block, "\x04"});
  const std::vector<std::string> lines = Session(20000);
  EXPECT_EQ(Joined(lines, "RX"), HexOf("\x1b[T" + block + "\x04"));
  EXPECT_EQ(Joined(lines, "TX"), HexOf(fake::world.sent));
  EXPECT_EQ(fake::world.sent, "\x15\x06\x06\x06");
  std::string events;
  for (const std::string& line : lines) {
    if (line.compare(24, 3, "-- ") == 0) events += line.substr(27) + "|";
  }
  EXPECT_EQ(events,
            "log started (Mirelox 2.2)|COM1 opened (4800 8N1)|receive into /data/in.bin started|"
            "receive ended: 1 blocks|/data/in.bin saved (128 bytes)|COM1 closed|log ended|");
}

// Without --log nothing is opened; a record that cannot be opened, or that fills the disk, is told
// once and the session goes on as it would without one.
TEST(RecordOfTheLine, TheSessionGoesOnWithoutIt) {
  for (const char* path : {static_cast<const char*>(nullptr), "/readonly/line.txt", LogPath.c_str()}) {
    ResetCore();
    if (path == LogPath.c_str()) fake::world.diskRoom = 103;  // the first two lines
    fake::DeviceSends("abc", 1000);
    fake::DeviceSends(std::string(40, 'x'), 2000);
    fake::Post(msg::Char, 'k', 3000);
    Session(5000, path);
    EXPECT_EQ(Row(0), "abc" + std::string(40, 'x')) << path;
    EXPECT_EQ(fake::world.sent, "k") << path;
    EXPECT_EQ(fake::world.messages.size(), path == nullptr ? 0u : 1u) << path;
    EXPECT_EQ(fake::IndexOfCall("OpenForAppending") >= 0, path != nullptr) << path;
  }
  EXPECT_EQ(fake::world.files[LogPath],
            "2026-12-07 14:03:22.000 -- log started (Mirelox 2.2)\n2026-12-07 14:03:22.000 -- COM1 opened "
            "(4800 8N1)\n");
}

// The one option is --log FILE: anything else, or --log without its file, ends the program at once.
TEST(RecordOfTheLine, OtherArgumentsAreRefused) {
  char program[] = "mirelox", log[] = "--log", bogus[] = "--bogus";
  for (char* argument : {bogus, log}) {
    ResetCore();
    fake::world.files["/prog/MIRELOX.CFG"] = StandardConfiguration;
    char* argv[] = {program, argument};
    EXPECT_EQ(MireloxMain(1, 2, argv), 2) << argument;
    ASSERT_EQ(fake::world.messages.size(), 1u) << argument;
    EXPECT_EQ(fake::world.messages[0].text,
              std::string("Usage: mirelox [--log FILE]\n\nNot understood: ") + argument);
    EXPECT_EQ(fake::IndexOfCall("OpenSerialDevice"), -1) << argument;
  }
}

}  // namespace
