// The record of the line: a whole session of the program, run with --log over the fake, in
// virtual time (0 is 14:03:22.000), and the record it leaves.
#include "serial/line_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "app/program.h"
#include "app/window_messages.h"
#include "tests/unit/support.h"

namespace {

const std::string LogPath = "/logs/line.txt";

// The record's lines, each checked for its end.
std::vector<std::string> Lines() {
  std::vector<std::string> lines;
  std::string text = fake::world.files[LogPath];
  for (size_t end; (end = text.find('\n')) != std::string::npos; text.erase(0, end + 1))
    lines.push_back(text.substr(0, end));
  EXPECT_EQ(text, "") << "a line without its end";
  return lines;
}

// Runs the program with --log path until the window is closed at endMs; returns the record's lines.
std::vector<std::string> Session(int endMs, std::string path = LogPath) {
  fake::Post(msg::Command, cmd::Exit, endMs);
  char program[] = "mirelox", option[] = "--log";
  char* argv[] = {program, option, path.data()};
  EXPECT_EQ(MireloxMain(1, path.empty() ? 1 : 3, argv), 0);
  return Lines();
}

// The hex of the lines that start with what (RX, TX or --), joined in order.
std::string Joined(const std::vector<std::string>& lines, const std::string& what) {
  std::string joined;
  for (const std::string& line : lines) {
    if (line.compare(24, 3, what + " ") == 0)
      joined += what == "--" ? line.substr(27) + "|" : line.substr(27, 47);
  }
  if (what != "--") joined.erase(std::remove(joined.begin(), joined.end(), ' '), joined.end());
  return joined;
}

struct RecordCase {
  const char* name;
  std::vector<std::pair<int, std::string>> device;  // bytes the device sends, at ms
  std::vector<std::pair<int, char>> typed;          // characters typed, at ms
  std::vector<std::string> record;                  // between "COM1 opened" and "COM1 closed"
  bool lineTakes = true;                            // false: no byte written goes out
  int goneFromMs = 0, goneUntilMs = 0;              // the device unplugged meanwhile
};

// clang-format off
const RecordCase Cases[] = {
    {"a burst is one line", {{1000, "\x1b[H Hello~\x7f"}}, {},
     {"2026-12-07 14:03:23.000 RX 1b 5b 48 20 48 65 6c 6c 6f 7e 7f                 |.[H Hello~.|"}},
    {"sixteen bytes a line", {{1000, "0123456789abcdefXYZ"}}, {},
     {"2026-12-07 14:03:23.000 RX 30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66  |0123456789abcdef|",
      "2026-12-07 14:03:23.000 RX 58 59 5a                                         |XYZ|"}},
    {"more than 20 ms of quiet starts a line", {{1000, "ab"}, {1021, "c"}, {1041, "d"}}, {},
     {"2026-12-07 14:03:23.000 RX 61 62                                            |ab|",
      "2026-12-07 14:03:23.021 RX 63 64                                            |cd|"}},
    {"pages and their names", {{1000, "\x1b[X00042\x1b[X0\x01\x7f" "43"}}, {},  // TXT00042.KVB is empty
     {"2026-12-07 14:03:23.000 RX 1b 5b 58 30 30 30 34 32                          |.[X00042|",
      "2026-12-07 14:03:23.000 -- page TXT00042 shown",
      "2026-12-07 14:03:23.000 RX 1b 5b 58 30 01 7f 34 33                          |.[X0..43|",
      "2026-12-07 14:03:23.000 -- page TXT0..43 missing"}},
    {"bytes the line does not take are told once", {}, {{1000, 'a'}, {1000, 'b'}},
     {"2026-12-07 14:03:23.000 -- TX 61 not sent: the line took nothing for a second"}, false},
    {"a device unplugged and back", {{4500, "z"}}, {{1500, 'k'}},
     {"2026-12-07 14:03:23.000 -- COM1 lost", "2026-12-07 14:03:26.000 -- COM1 back",
      "2026-12-07 14:03:26.500 RX 7a                                               |z|"}, true, 1000, 3500},
    {"a reply cut short as the device goes", {{1000, "\x1b\xff\x7f\x08\x0c\x0a"}}, {},
     {"2026-12-07 14:03:23.000 RX 1b ff 7f 08 0c 0a                                |......|",
      "2026-12-07 14:03:23.000 TX 4d 49 52                                         |MIR|",
      "2026-12-07 14:03:23.015 -- COM1 lost", "2026-12-07 14:03:23.015 -- TX 45 not sent: the device is gone",
      "2026-12-07 14:03:24.015 -- COM1 back"}, true, 1012, 1500},
    {"a refusal after the device is back is told again", {{1000, "\x1b\xff\x7f\x08\x0c\x0a"}}, {{3000, 'k'}},
     {"2026-12-07 14:03:23.000 RX 1b ff 7f 08 0c 0a                                |......|",
      "2026-12-07 14:03:23.000 -- TX 4d not sent: the line took nothing for a second",
      "2026-12-07 14:03:23.015 -- COM1 lost", "2026-12-07 14:03:24.015 -- COM1 back",
      "2026-12-07 14:03:25.000 -- TX 6b not sent: the line took nothing for a second"}, false, 1012, 1500},
};
// clang-format on

using Record = TableOf<RecordCase, Program>;
TEST_P(Record, BytesBecomeLines) {
  fake::world.files["/prog/TXT00042.KVB"] = "";
  fake::world.lineTakes = GetParam().lineTakes;
  fake::world.goneFromUs = GetParam().goneFromMs ? GetParam().goneFromMs * 1000 : INT64_MAX;
  fake::world.goneUntilUs = GetParam().goneUntilMs * 1000;
  for (const auto& [ms, bytes] : GetParam().device) fake::DeviceSends(bytes, ms);
  for (const auto& [ms, c] : GetParam().typed) fake::Post(msg::Char, static_cast<unsigned char>(c), ms);
  std::vector<std::string> expected = {"2026-12-07 14:03:22.000 -- log started (Mirelox 2.2)",
                                       "2026-12-07 14:03:22.000 -- COM1 opened (4800 8N1)"};
  expected.insert(expected.end(), GetParam().record.begin(), GetParam().record.end());
  expected.push_back("2026-12-07 14:03:27.000 -- COM1 closed");
  expected.push_back("2026-12-07 14:03:27.000 -- log ended");
  EXPECT_EQ(Session(5000), expected);
}
ROWS(Record, Cases);

// What the device sent is in the file while the program idles, not only when it ends, and the
// program sleeps in between.
TEST_F(Program, ARecordedRunReachesTheFileWhileTheProgramIdles) {
  fake::DeviceSends("k", 1000);
  Session(60000);
  ExpectInOrder({"Draw k", "WriteFile /logs/line.txt", "Wait", "DestroyMainWindow"});
  // Three waits: for k, for its run's end, for the close.
  EXPECT_EQ(std::count(fake::world.calls.begin(), fake::world.calls.end(), "Wait"), 3);
}

// A transfer: every byte of the blocks and of the answers, once, in its direction, and its events.
struct TransferRecord {
  const char* name;
  std::string command, path;
  std::vector<std::string> turns;  // the device's, after each byte of the terminal's
  std::string events;              // between "COM1 opened" and "COM1 closed"
};

const std::string Block = "\x01\x01\xfe" + std::string(128, 'q') + char(128 * 'q' % 256);
const std::vector<std::string> OneBlockTaken = [] {  // ACK to the block's last byte and to EOT
  std::vector<std::string> turns(131);
  turns.insert(turns.end(), {"\x06", "\x06"});
  return turns;
}();
const std::vector<std::string> Repeats = [] {  // more than the record's buffer holds, in a moment
  std::vector<std::string> turns(24, Block);
  turns.push_back("\x04");
  return turns;
}();
// clang-format off
const TransferRecord Transfers[] = {
    {"a received file", "\x1b[T", "/data/in.bin", {Block, "\x04"},
     "receive into /data/in.bin started|receive ended: 1 blocks|/data/in.bin saved (128 bytes)|"},
    {"a received file that cannot be saved", "\x1b[T", "/readonly/in.bin", {Block, "\x04"},
     "receive into /readonly/in.bin started|receive ended: 1 blocks|"
     "/readonly/in.bin not saved: the file cannot be written|"},
    {"a send the device stops taking", "\x1b[R\x15", "/data/out.bin", {},
     "send of /data/out.bin started (3 bytes)|send failed after 0 blocks: ERROR: No connection!|"},
    {"a sent file", "\x1b[R\x15", "/data/out.bin", OneBlockTaken,
     "send of /data/out.bin started (3 bytes)|send ended: 1 blocks|"},
    {"a send never taken up", "\x1b[R", "/data/out.bin", {},
     "send of /data/out.bin started (3 bytes)|send failed after 0 blocks: ERROR: No connection!|"},
    {"a receive never begun", "\x1b[T", "/data/in.bin", {},
     "receive into /data/in.bin started|receive failed after 0 blocks: ERROR: No connection!|"},
    {"a file that cannot be sent", "\x1b[R", "/data/none.bin", {}, "send of /data/none.bin: the file cannot be opened|"},
    {"a send cancelled", "\x1b[R", "", {}, "send: the file dialog was cancelled|"},
    {"a receive cancelled", "\x1b[T", "", {}, "receive: the file dialog was cancelled|"},
    {"a block repeated many times", "\x1b[T", "/data/in.bin", Repeats,
     "receive into /data/in.bin started|receive ended: 1 blocks|/data/in.bin saved (128 bytes)|"},
};
// clang-format on

using RecordedTransfer = TableOf<TransferRecord, Program>;
TEST_P(RecordedTransfer, KeepsEveryByteAndItsEvents) {
  const TransferRecord& t = GetParam();
  fake::world.files["/data/out.bin"] = "abc";
  if (!t.path.empty()) fake::world.dialogAnswers = {t.path};
  fake::DeviceSends(t.command, 1000);
  AnswerInTurns(t.turns);
  const std::vector<std::string> lines = Session(30000);
  std::string received = t.command;
  for (const std::string& turn : t.turns) received += turn;
  EXPECT_EQ(Joined(lines, "RX"), Hex(received));
  EXPECT_EQ(Joined(lines, "TX"), Hex(fake::world.sent));
  EXPECT_EQ(Joined(lines, "--"),
            "log started (Mirelox 2.2)|COM1 opened (4800 8N1)|" + t.events + "COM1 closed|log ended|");
}
ROWS(RecordedTransfer, Transfers);

// A transfer keeps the program from its idle turns: what it records reaches the disk at least
// every second all the same, so a program killed meanwhile loses no more than that.
TEST_F(Program, ATransferReachesTheDiskEverySecond) {
  fake::world.files["/data/out.bin"] = std::string(1280, 'o');  // ten blocks, seven seconds
  fake::world.dialogAnswers = {std::string("/data/out.bin")};
  fake::DeviceSends("\x1b[R\x15", 1000);
  int64_t lagMs = 0, sent = 0;
  fake::world.answer = [&](unsigned char byte) {
    const std::string& disk = fake::world.files[LogPath];
    const size_t start = disk.rfind('\n', disk.size() - 2) + 1;  // of the last line on the disk
    const int64_t stampMs =
        (std::stoi(disk.substr(start + 14, 2)) * 60 + std::stoi(disk.substr(start + 17, 2))) * 1000 +
        std::stoi(disk.substr(start + 20, 3)) - (3 * 60 + 22) * 1000;
    lagMs = std::max(lagMs, fake::world.nowUs / 1000 - stampMs);
    return ++sent % 132 == 0 || byte == 0x04 ? "\x06" : "";
  };
  Session(12000);
  EXPECT_EQ(fake::world.sent.back(), '\x04');
  EXPECT_LE(lagMs, 1000);
  EXPECT_LE(std::count_if(fake::world.calls.begin(), fake::world.calls.end(),
                          [](const std::string& call) { return call.rfind("WriteFile " + LogPath, 0) == 0; }),
            30);  // about two a second: one a byte would be 1,300
}

TEST_F(Program, APortThatCannotBeOpenedIsRecorded) {
  fake::world.presentPorts = {2};
  EXPECT_EQ(Joined(Session(1000), "--"), "log started (Mirelox 2.2)|COM1 cannot be opened|log ended|");
}

// An event longer than a line holds (a path and a message) is cut, and its line still ends.
TEST_F(Program, ALongEventIsCutOnItsLine) {
  StartLineLog(platform::OpenFileForAppending(LogPath.c_str()), LogPath.c_str());
  RecordLineEvent("%s", std::string(600, 'x').c_str());
  EndLineLog();
  EXPECT_EQ(Lines().at(1), "2026-12-07 14:03:22.000 -- " + std::string(481, 'x'));
}

// The system ends the session (a logout): the record ends there, and nothing follows it.
TEST_F(Program, AnEndingSessionEndsTheRecord) {
  fake::Post(msg::EndSession, 0, 1000);  // only asked: the session goes on
  fake::DeviceSends("on", 1500);
  fake::Post(msg::EndSession, 1, 2000);
  fake::DeviceSends("late", 3000);
  const std::vector<std::string> lines = Session(4000);
  EXPECT_EQ(Joined(lines, "--"), "log started (Mirelox 2.2)|COM1 opened (4800 8N1)|log ended|");
  EXPECT_EQ(Joined(lines, "RX"), Hex("on"));
  EXPECT_EQ(Row(0), "onlate");
}

// Without --log nothing is opened; a record that cannot be opened, that would write into the
// program's own files or line, or that fills the disk, is told once and the session goes on as it
// would without one.
TEST_F(Program, TheSessionGoesOnWithoutARecord) {
  const std::string Refused = "The record of the line cannot be kept in ";
  const std::string LongPath = "/logs/" + std::string(200, 'l');  // all of it in the message
  const std::tuple<std::string, std::string, bool> Cases[] = {
      // the path, the message and its owner
      {"", "", false},
      {"/readonly/line.txt",
       "The record of the line cannot be written to /readonly/line.txt.\nThe program goes on without it.",
       false},
      {"/prog/MIRELOX.CFG",
       Refused + "/prog/MIRELOX.CFG: it is the program's MIRELOX.CFG.\nThe program goes on without it.",
       false},
      {"/cwd/TXT00042.KVB",
       Refused + "/cwd/TXT00042.KVB: it is a text page.\nThe program goes on without it.", false},
      {"/dev/ttyS0", Refused + "/dev/ttyS0: it is a device, not a file.\nThe program goes on without it.",
       false},
      {"/logs/TXT00042.KVB", "", false},  // named as a page, but not the page the search finds
      {LongPath, "The record of the line in " + LongPath + " has stopped: the file cannot be written.",
       true}};
  for (const auto& [path, message, owned] : Cases) {
    SetUp();
    fake::world.files["/cwd/TXT00042.KVB"] = fake::world.files["/dev/ttyS0"] = "kept";
    fake::world.diskRoom = path == LongPath ? 120 : SIZE_MAX;  // the first two lines and part of a third
    fake::DeviceSends("abc", 1000);
    fake::DeviceSends(std::string(40, 'x'), 2000);
    fake::Post(msg::Char, 'k', 3000);
    Session(5000, path);
    EXPECT_EQ(Row(0), "abc" + std::string(40, 'x')) << path;
    EXPECT_EQ(fake::world.sent, "k") << path;
    ExpectMessage(message, owned);
    EXPECT_EQ(fake::IndexOfCall("OpenForAppending") >= 0, !path.empty()) << path;
    EXPECT_EQ(fake::world.files["/prog/MIRELOX.CFG"].substr(1), std::string(StandardConfiguration).substr(1));
    EXPECT_EQ(fake::world.files["/cwd/TXT00042.KVB"] + fake::world.files["/dev/ttyS0"], "keptkept");
    EXPECT_TRUE(fake::world.openFiles.empty()) << path;
  }
  EXPECT_EQ(fake::world.files[LongPath],
            "2026-12-07 14:03:22.000 -- log started (Mirelox 2.2)\n2026-12-07 14:03:22.000 -- COM1 opened "
            "(4800 8N1)\n");
}

// Without MIRELOX.CFG the program stops with exit code 1 before anything opens: the record says why.
TEST_F(Program, AMissingConfigurationEndsTheRecord) {
  fake::world.files.clear();
  char program[] = "mirelox", option[] = "--log", path[] = "/logs/line.txt";
  char* argv[] = {program, option, path};
  EXPECT_THROW(MireloxMain(1, 3, argv), fake::ProcessExit);
  EXPECT_EQ(Joined(Lines(), "--"),
            "log started (Mirelox 2.2)|stopped: MIRELOX.CFG cannot be opened|log ended|");
  ExpectMessage("ERROR: missing MIRELOX.CFG configuration file !!! \nCannot continue, program terminated.",
                false);
  EXPECT_EQ(fake::world.calls.back(), "Exit 1");
  for (const char* call :
       {"OpenForReading", "OpenSerialDevice", "OpenMainWindow"})  // a failed search opens nothing
    EXPECT_EQ(fake::IndexOfCall(call), -1) << call;
}

// The one option is --log FILE: anything else, or --log without its file, ends the program at once.
TEST_F(Program, OtherArgumentsAreRefused) {
  char program[] = "mirelox", log[] = "--log", bogus[] = "--bogus";
  for (char* argument : {bogus, log}) {
    SetUp();
    char* argv[] = {program, argument};
    EXPECT_EQ(MireloxMain(1, 2, argv), 2) << argument;
    ExpectMessage(std::string("Usage: mirelox [--log FILE]\n\nNot understood: ") + argument, false);
    EXPECT_EQ(fake::IndexOfCall("OpenSerialDevice"), -1) << argument;
  }
}

}  // namespace
