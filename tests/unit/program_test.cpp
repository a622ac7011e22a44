// The program as a whole: what start-up and shutdown show, the main loop's turns and its sleep, the
// window's commands; MIRELOX.CFG read and rewritten; the one serial port and its byte operations.
#include "app/program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/window_messages.h"
#include "config/configuration.h"
#include "platform/platform.h"
#include "serial/serial_port.h"
#include "serial/transmit.h"
#include "terminal/screen.h"
#include "tests/unit/support.h"

namespace {

TEST_F(Program, ShowsABlankWindowOnTheOpenPortAndEndsWhenTheWindowIsClosed) {
  std::memset(ScreenBuffer, 0, sizeof ScreenBuffer);                                    // as a process starts
  fake::world.visible.assign(fake::ClientRows, std::string(fake::ClientColumns, '#'));  // not yet painted
  fake::Post(msg::Close, 0, 1);  // after the first paint
  EXPECT_EQ(MireloxMain(1), 0);
  EXPECT_NE(fake::IndexOfCall("ShowMainWindow"), -1);
  EXPECT_NE(fake::IndexOfCall("LoadAccelerators"), -1);  // the menu's shortcut keys
  EXPECT_EQ(fake::world.titles, (std::vector<std::string>{"mirelox", NormalTitle}));
  EXPECT_EQ(VisibleRows(), Padded({}));
  EXPECT_NE(fake::IndexOfCall("OpenSerialDevice 1"), -1);
  EXPECT_EQ(fake::world.openPort, 0);
  EXPECT_TRUE(fake::world.messages.empty());
}

TEST_F(Program, WithoutAWindowNothingRuns) {
  fake::world.windowCanBeCreated = false;
  EXPECT_EQ(MireloxMain(1), 0);
  EXPECT_TRUE(fake::world.messages.empty());
  EXPECT_EQ(fake::IndexOfCall("LoadAccelerators"), -1);
}

// Each turn: one message, then one byte. Only a turn that finds neither sleeps, and what arrives
// meanwhile is taken in the next turns in the usual order.
TEST_F(Program, TheLoopTakesAMessageThenAByteAndSleepsOnlyWhenIdle) {
  fake::Post(msg::Char, 'a');
  fake::Post(msg::Char, 'b');
  fake::DeviceSends("XY");
  fake::DeviceSends("Z", 1000);
  fake::Post(msg::Char, 'c', 1000);
  fake::Post(msg::Command, cmd::Exit, 2000);
  MireloxMain(1);
  ExpectInOrder(
      {"Sent a", "Draw X", "Sent b", "Draw Y", "Wait", "Sent c", "Draw Z", "Wait", "DestroyMainWindow"});
  EXPECT_EQ(std::count(fake::world.calls.begin(), fake::world.calls.end(), "Wait"), 2);
  EXPECT_EQ(fake::world.nowUs / 1000, 2000);
}

TEST_F(Program, WindowCommandsTheAboutDialogAndDefaultProcessing) {
  fake::Post(msg::Command, cmd::About);
  fake::Post(msg::Command, 999);
  fake::Post(3);  // WM_MOVE
  fake::Post(msg::Command, cmd::Exit);
  MireloxMain(1);
  ExpectInOrder({"RunAboutDialog open", "DefaultWindowProc 273", "DefaultWindowProc 3", "DestroyMainWindow"});
  EXPECT_FALSE(AboutDialogProc(msg::Command, 3));
  EXPECT_FALSE(AboutDialogProc(msg::Paint, 0));
  EXPECT_EQ(fake::IndexOfCall("EndAboutDialog"), -1);
  EXPECT_TRUE(AboutDialogProc(msg::Command, cmd::Cancel));
  EXPECT_TRUE(AboutDialogProc(msg::Command, cmd::Ok));
  ExpectInOrder({"EndAboutDialog 2", "EndAboutDialog 1"});
  StartTerminal();  // handled messages answer 0, as Windows asks of a window procedure, and are not passed on
  for (unsigned message : {msg::Create, msg::Size, msg::Activate, msg::SetFocus, msg::KillFocus, msg::Paint,
                           msg::KeyDown, msg::Char, msg::Command, msg::EndSession, msg::Destroy}) {
    EXPECT_EQ(MainWindowProc(message, message == msg::Command ? cmd::About : 0, 0), 0) << message;
  }
  EXPECT_EQ(MainWindowProc(msg::Command, cmd::Exit, 0), 0);
  EXPECT_EQ(fake::IndexOfCall("DefaultWindowProc"), -1);
}

// A device unplugged at 1 s and back at 3.5 s: the title says so at once and no box waits; the
// port is tried once a second, with the loop asleep in between, and when it opens the session
// goes on. A port chosen meanwhile ends the search; a transfer under way ends as on silence.
TEST_F(Program, ADeviceThatGoesAwayIsLookedForUntilItIsBack) {
  const std::string Lost =
      " Mirelox v2.2  |   COM1: no device   |   select comport F1..F6   |   (c) Mirelox Instruments";
  const std::string Query = "\x1b\xff\x7f\x08\x0c\x0a", Block = "\x01\x01\xfe" + A(128) + "\x80";
  struct Case {
    std::vector<std::pair<int, unsigned>> keys;  // virtual keys pressed, at ms
    std::string device;                          // what the device sends at 0.9 s
    std::vector<std::string> titles, messages;   // after the first
    int looks;                                   // opens of COM1 after the first
  };
  const Case Cases[] = {
      {{}, "", {NormalTitle, Lost, NormalTitle}, {}, 3},
      {{{1500, vk::F1 + 1}}, "", {NormalTitle, Lost, "COM2"}, {}, 0},
      {{},
       "\x1b[T",
       {NormalTitle, "Receiving block 1", Lost, Lost, NormalTitle},
       {"ERROR: No connection!"},
       3},
  };
  for (const Case& c : Cases) {
    SetUp();
    fake::world.goneFromUs = 1000 * 1000;
    fake::world.goneUntilUs = 3500 * 1000;
    fake::world.dialogAnswers = {std::string("/data/in.bin")};
    if (!c.device.empty()) AnswerInTurns({Block});
    fake::DeviceSends(c.device, 900);
    for (const auto& [ms, key] : c.keys) fake::Post(msg::KeyDown, key, ms);
    fake::Post(msg::Char, 'k', 2000);  // goes nowhere
    fake::DeviceSends(Query, 6000);
    fake::Post(msg::Command, cmd::Exit, 8000);
    MireloxMain(1);
    std::vector<std::string> titles(fake::world.titles.begin() + 1, fake::world.titles.end());
    for (std::string& title : titles) title = title.find("COM2") != std::string::npos ? "COM2" : title;
    EXPECT_EQ(titles, c.titles);
    std::vector<std::string> messages;
    for (const auto& m : fake::world.messages) messages.push_back(m.text);
    EXPECT_EQ(messages, c.messages);
    EXPECT_EQ(std::count(fake::world.calls.begin(), fake::world.calls.end(), "OpenSerialDevice 1"),
              1 + c.looks);
    EXPECT_NE(fake::world.sent.find("MIRELOX     "), std::string::npos);
    EXPECT_LE(std::count(fake::world.calls.begin(), fake::world.calls.end(), "Wait"), 14);
  }
}

const std::string Path = "/prog/MIRELOX.CFG";

struct File {
  const char* name;
  std::string content;
  char digit;
  std::vector<std::string> lines;  // from line 0 on; the others are empty
};

// clang-format off
const File Files[] = {
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

using ConfigurationFiles = TableOf<File, Program>;
TEST_P(ConfigurationFiles, GiveTheirDigitAndLinesAndKeepThemWhenANewPortIsSaved) {
  const File& file = GetParam();
  fake::world.files[Path] = file.content;
  LoadConfiguration();
  EXPECT_EQ(PortDigit, file.digit);
  std::vector<std::string> lines = file.lines;
  lines.resize(MessageLineCount);
  EXPECT_EQ(std::vector<std::string>(MessageLines, MessageLines + MessageLineCount), lines);
  CurrentPort = 4;
  SavePortDigit();
  std::string rewritten = file.content;
  if (!rewritten.empty()) rewritten[0] = '4';
  EXPECT_EQ(fake::world.files[Path], rewritten);
  EXPECT_EQ(PortDigit, '4');
}
ROWS(ConfigurationFiles, Files);

TEST_F(Program, AConfigurationThatCannotBeRewrittenStopsTheProgram) {
  LoadConfiguration();
  ASSERT_NE(platform::OpenFileForReading(Path.c_str()), platform::NoFile);  // held by another program
  EXPECT_THROW(SavePortDigit(), fake::ProcessExit);
  EXPECT_EQ(fake::world.files[Path], StandardConfiguration);
}

TEST_F(Program, APortStaysOpenUntilClosedAndWithoutOneNothingMoves) {
  ComPort.open(1);
  ComPort.open(2);  // the port in use stays
  fake::world.lineTakes = false;
  EXPECT_FALSE(ComPort.writeByte('n'));  // whether the byte went out
  fake::world.lineTakes = true;
  EXPECT_TRUE(ComPort.writeByte('y'));
  ComPort.close();
  ComPort.close();
  EXPECT_EQ(fake::world.calls,
            (std::vector<std::string>{"OpenSerialDevice 1", "Sent y", "CloseSerialDevice 1"}));
  EXPECT_FALSE(ComPort.open(7));
  fake::DeviceSends("xyz");
  unsigned char byte = 0;
  EXPECT_EQ(ComPort.bytesWaiting(), 0);
  EXPECT_EQ(ComPort.read(&byte, 1), 0);
  EXPECT_EQ(ComPort.send(&byte, 1), 0);
  sendTransmitBuffer(3);  // the pause after each byte all the same
  EXPECT_EQ(fake::world.nowUs, 15000);
  EXPECT_EQ(fake::world.sent, "y");  // only what went out while a port was open
}

}  // namespace
