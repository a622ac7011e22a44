#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/window_messages.h"
#include "config/configuration.h"
#include "serial/serial_port.h"
#include "terminal/title.h"
#include "tests/fake/fake_platform.h"
#include "tests/unit/terminal_fixture.h"

namespace {

using Keyboard = TerminalTest;

std::string Key(unsigned virtualKey) {
  fake::ClearSent();
  MainWindowProc(msg::KeyDown, virtualKey, 0);
  return fake::SentBytes();
}

std::string Typed(unsigned character) {
  fake::ClearSent();
  MainWindowProc(msg::Char, character, 0);
  return fake::SentBytes();
}

std::vector<int64_t> GapsMs() {
  std::vector<int64_t> gaps;
  const auto& sent = fake::world.sent;
  for (size_t i = 1; i < sent.size(); ++i) gaps.push_back((sent[i].atUs - sent[i - 1].atUs) / 1000);
  return gaps;
}

TEST_F(Keyboard, CursorAndEditingKeysBecomeSequences) {
  EXPECT_EQ(Key(0x25), "\x1b[D");
  EXPECT_EQ(Key(0x26), "\x1b[A");
  EXPECT_EQ(Key(0x27), "\x1b[C");
  EXPECT_EQ(Key(0x28), "\x1b[B");
  EXPECT_EQ(GapsMs(), (std::vector<int64_t>{5, 5}));
  EXPECT_EQ(Key(0x21), "<");
  EXPECT_EQ(Key(0x22), ">");

  const size_t beeps = fake::world.beepsUs.size();
  EXPECT_EQ(Key(0x23), "\x1b[K");
  EXPECT_EQ(fake::world.beepsUs.size(), beeps + 1);
  EXPECT_LE(fake::world.beepsUs.back(), fake::world.sent.front().atUs);  // the beep comes first
  EXPECT_EQ(Key(0x24), "\x1b[H");
  EXPECT_EQ(fake::world.beepsUs.size(), beeps + 2);

  for (unsigned silent : {0x2Eu, 0x2Du, 0x76u, 0x7Bu, 0x0Du, 0x09u, 0x1Bu, 0x41u}) {
    EXPECT_EQ(Key(silent), "") << silent;
  }
}

TEST_F(Keyboard, BackspaceSendsSevenBytesInAbout45Ms) {
  const int64_t start = fake::world.nowUs;
  EXPECT_EQ(Key(0x08), "\x1b[D \x1b[D");
  EXPECT_EQ(GapsMs(), (std::vector<int64_t>{5, 5, 10, 10, 5, 5}));
  EXPECT_EQ(fake::world.nowUs - start, 45000);
  EXPECT_EQ(Typed(0x08), "");  // the character that comes with the key is dropped
}

TEST_F(Keyboard, CharactersAreSentAsTypedExceptControlCodes) {
  EXPECT_EQ(Typed('a'), "a");
  EXPECT_EQ(Typed(' '), " ");
  EXPECT_EQ(Typed(0x0D), "\r");
  EXPECT_EQ(Typed(0x0A), "\n");
  EXPECT_EQ(Typed(0x7F), "\x7f");
  EXPECT_EQ(Typed(0xE4), "\xe4");
  EXPECT_EQ(Typed(0xFF), "\xff");
  EXPECT_EQ(Typed(0x80), "\x80");
  EXPECT_EQ(Typed(0x1E5), "\x86");  // only the low 8 bits count
  for (unsigned control = 0; control < 0x20; ++control) {
    if (control != 0x0A && control != 0x0D) {
      EXPECT_EQ(Typed(control), "") << control;
    }
  }
}

TEST_F(Keyboard, ScandinavianLettersGoOutInCodePage850) {
  EXPECT_EQ(Typed(0xE5), "\x86");
  EXPECT_EQ(Typed(0xC5), "\x8f");
  EXPECT_EQ(Typed(0xE6), "\x91");
  EXPECT_EQ(Typed(0xC6), "\x92");
  EXPECT_EQ(Typed(0xF8), "\x9b");
  EXPECT_EQ(Typed(0xD8), "\x9d");
}

TEST_F(Keyboard, CtrlBackspaceSendsTheSequenceThenDelete) {
  fake::ClearSent();
  fake::Post(msg::KeyDown, 0x08);
  fake::Post(msg::Char, 0x7F);
  fake::PumpAll();
  EXPECT_EQ(fake::SentBytes(), "\x1b[D \x1b[D\x7f");
}

TEST_F(Keyboard, NormalTitleNamesThePort) {
  char title[TitleSize];
  ComposeNormalTitle(title, 3);
  EXPECT_EQ(
      std::string(title),
      std::string(" Mirelox v2.2  |   COM3: 4800 8N1   |   select comport F1..F6   |   ") + MakersNotice);
  EXPECT_EQ(std::string(title).size(), 91u);
  ComposeNormalTitle(title, -48);
  EXPECT_EQ(std::string(title).substr(0, 26), " Mirelox v2.2  |   COM-48:");
  ComposeNormalTitle(title, -999);
  EXPECT_EQ(std::string(title).size(), 94u);
}

TEST_F(Keyboard, FunctionKeysSwitchThePortAndRememberIt) {
  EXPECT_EQ(Key(0x71), "");
  EXPECT_EQ(fake::world.openPort, 2);
  EXPECT_EQ(CurrentPort, 2);
  EXPECT_EQ(fake::world.files["/prog/MIRELOX.CFG"][0], '2');
  EXPECT_NE(fake::world.title.find("COM2:"), std::string::npos);
  EXPECT_EQ(fake::world.calls.front(), "CloseSerialDevice 1");

  fake::world.calls.clear();
  Key(0x71);  // the port in use is closed and opened again
  EXPECT_EQ(fake::world.calls[0], "CloseSerialDevice 2");
  EXPECT_EQ(fake::world.calls[1], "OpenSerialDevice 2");
}

TEST_F(Keyboard, APortThatCannotOpenLeavesNoneOpenAndTheOldNumber) {
  fake::world.presentPorts = {1, 2};
  fake::world.calls.clear();
  Key(0x73);
  EXPECT_EQ(fake::world.calls[0], "CloseSerialDevice 1");
  EXPECT_EQ(fake::world.calls[1], "OpenSerialDevice 4");
  ASSERT_EQ(fake::world.messages.size(), 1u);
  EXPECT_EQ(fake::world.messages[0].text, "Error: COM4 port cannot be opened!");
  EXPECT_TRUE(fake::world.messages[0].ownedByMainWindow);
  EXPECT_EQ(fake::world.openPort, 0);
  EXPECT_EQ(CurrentPort, 1);
  EXPECT_EQ(fake::world.files["/prog/MIRELOX.CFG"], StandardConfiguration);
  EXPECT_NE(fake::world.title.find("COM1:"), std::string::npos);
  EXPECT_EQ(Typed('a'), "");  // nothing reaches the line until a port opens
}

}  // namespace
