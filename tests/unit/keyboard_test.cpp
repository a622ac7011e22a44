// Where a key becomes bytes on the line, and the port keys F1..F6 with the title they leave.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/window_messages.h"
#include "config/configuration.h"
#include "serial/serial_port.h"
#include "terminal/title.h"
#include "tests/unit/support.h"

namespace {

using Keyboard = Terminal;

std::string Sent(unsigned message, unsigned code) {
  fake::world.sent.clear();
  MainWindowProc(message, code, 0);
  return fake::world.sent;
}

struct Key {
  unsigned message, code;
  std::string bytes;
};

const Key Keys[] = {
    {msg::KeyDown, vk::Left, "\x1b[D"},
    {msg::KeyDown, vk::Up, "\x1b[A"},
    {msg::KeyDown, vk::Right, "\x1b[C"},
    {msg::KeyDown, vk::Down, "\x1b[B"},
    {msg::KeyDown, vk::Prior, "<"},
    {msg::KeyDown, vk::Next, ">"},
    {msg::KeyDown, vk::End, "\x1b[K"},
    {msg::KeyDown, vk::Home, "\x1b[H"},
    {msg::KeyDown, vk::Back, "\x1b[D \x1b[D"},
    {msg::KeyDown, 0x2E, ""},  // Delete
    {msg::KeyDown, 0x2D, ""},  // Insert
    {msg::KeyDown, 0x76, ""},  // F7
    {msg::KeyDown, 0x0D, ""},  // Enter sends its character, not its key
    {msg::KeyDown, 'A', ""},
    {msg::KeyDown, 0x20, ""},
    {msg::KeyDown, 0x6F, ""},
    {msg::Char, 'a', "a"},
    {msg::Char, ' ', " "},
    {msg::Char, 0x0D, "\r"},
    {msg::Char, 0x0A, "\n"},
    {msg::Char, 0x7F, "\x7f"},
    {msg::Char, 0x80, "\x80"},
    {msg::Char, 0xE4, "\xe4"},
    {msg::Char, 0xFF, "\xff"},
    {msg::Char, 0x1E5, "\x86"},
    {msg::Char, 0xE5, "\x86"},
    {msg::Char, 0xC5, "\x8f"},
    {msg::Char, 0xE6, "\x91"},
    {msg::Char, 0xC6, "\x92"},
    {msg::Char, 0xF8, "\x9b"},
    {msg::Char, 0xD8, "\x9d"},
};

TEST_F(Keyboard, KeysAndCharactersBecomeBytes) {
  for (const Key& key : Keys) EXPECT_EQ(Hex(Sent(key.message, key.code)), Hex(key.bytes)) << key.code;
  for (unsigned control = 0; control < 0x20; ++control) {
    if (control != 0x0A && control != 0x0D) {
      EXPECT_EQ(Sent(msg::Char, control), "") << control;
    }
  }
}

TEST_F(Keyboard, BytesArePacedAndHomeAndEndBeepFirst) {
  const int64_t start = fake::world.nowUs;
  Sent(msg::KeyDown, vk::Back);
  std::vector<int64_t> gaps;
  for (int64_t at : fake::world.sentAtUs) gaps.push_back((at - start) / 1000);
  EXPECT_EQ(gaps, (std::vector<int64_t>{0, 5, 10, 20, 30, 35, 40}));
  EXPECT_EQ(fake::world.nowUs - start, 45000);
  EXPECT_TRUE(fake::world.beepsUs.empty());
  for (unsigned key : {vk::End, vk::Home}) {
    fake::world.sentAtUs.clear();
    Sent(msg::KeyDown, key);
    EXPECT_LE(fake::world.beepsUs.back(), fake::world.sentAtUs.front());
  }
  EXPECT_EQ(fake::world.beepsUs.size(), 2u);
}

TEST_F(Keyboard, FunctionKeysReopenThePortAndRememberIt) {
  Sent(msg::KeyDown, vk::F1);  // the port in use is closed and opened again
  EXPECT_EQ(fake::world.calls[0], "CloseSerialDevice 1");
  EXPECT_EQ(fake::world.calls[1], "OpenSerialDevice 1");
  fake::world.calls.clear();
  Sent(msg::KeyDown, vk::F1 + 1);
  EXPECT_EQ(fake::world.calls[0], "CloseSerialDevice 1");
  EXPECT_EQ(fake::world.calls[1], "OpenSerialDevice 2");
  EXPECT_EQ(CurrentPort, 2);
  EXPECT_EQ(fake::world.files["/prog/MIRELOX.CFG"].substr(0, 3), "2\r\n");
  EXPECT_NE(fake::world.titles.back().find("COM2:"), std::string::npos);
  EXPECT_EQ(Sent(msg::Char, 'k'), "k");
  EXPECT_TRUE(fake::world.messages.empty());
}

TEST_F(Keyboard, APortThatCannotOpenLeavesNoneOpenAndTheOldNumber) {
  fake::world.presentPorts = {1, 2};
  Sent(msg::KeyDown, vk::F6);
  EXPECT_EQ(fake::world.calls[1], "OpenSerialDevice 6");
  ASSERT_EQ(fake::world.messages.size(), 1u);
  EXPECT_EQ(fake::world.messages[0].text, "Error: COM6 port cannot be opened!");
  EXPECT_TRUE(fake::world.messages[0].owned);
  EXPECT_EQ(fake::world.openPort, 0);
  EXPECT_EQ(CurrentPort, 1);
  EXPECT_EQ(fake::world.files["/prog/MIRELOX.CFG"], StandardConfiguration);  // rewritten with '1'
  EXPECT_GE(fake::IndexOfCall("OpenForWriting"), 0);
  EXPECT_NE(fake::world.titles.back().find("COM1:"), std::string::npos);
  EXPECT_EQ(Sent(msg::Char, 'a'), "");
}

TEST(Title, NamesThePortAndFitsItsBuffer) {
  char title[TitleSize];
  ComposeNormalTitle(title, 3);
  EXPECT_EQ(std::string(title),
            " Mirelox v2.2  |   COM3: 4800 8N1   |   select comport F1..F6   |   (c) Mirelox Instruments");
  ComposeNormalTitle(title, -999);
  EXPECT_EQ(std::string(title).size(), 94u);
  EXPECT_EQ(std::string(title).substr(0, 27), " Mirelox v2.2  |   COM-999:");
}

}  // namespace
