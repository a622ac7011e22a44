// Where a key becomes bytes on the line, and the port keys F1..F6 with the title they leave.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/window_messages.h"
#include "config/configuration.h"
#include "serial/serial_port.h"
#include "tests/unit/support.h"

namespace {

using Keyboard = Terminal;

std::string Sent(unsigned message, unsigned code) {
  fake::world.sent.clear();
  MainWindowProc(message, code, 0);
  return fake::world.sent;
}

TEST_F(Keyboard, KeysAndCharactersBecomeBytes) {
  const std::pair<unsigned, std::string> keys[] = {
      {vk::Left, "\x1b[D"}, {vk::Up, "\x1b[A"},   {vk::Right, "\x1b[C"},
      {vk::Down, "\x1b[B"}, {vk::Prior, "<"},     {vk::Next, ">"},
      {vk::End, "\x1b[K"},  {vk::Home, "\x1b[H"}, {vk::Back, "\x1b[D \x1b[D"}};
  for (const auto& [key, bytes] : keys) EXPECT_EQ(Hex(Sent(msg::KeyDown, key)), Hex(bytes)) << key;
  // Delete, Insert, F7, and keys whose character is what they send (Enter, A, space)
  for (unsigned key : {0x2Eu, 0x2Du, 0x76u, 0x0Du, 0x41u, 0x20u, 0x6Fu})
    EXPECT_EQ(Sent(msg::KeyDown, key), "") << key;
  const std::string typed = "a \r\n\x7f\x80\xe4\xff\xe5\xc5\xe6\xc6\xf8\xd8";
  const std::string sent = "a \r\n\x7f\x80\xe4\xff\x86\x8f\x91\x92\x9b\x9d";  // six letters in code page 850
  for (size_t i = 0; i < typed.size(); ++i)
    EXPECT_EQ(Hex(Sent(msg::Char, uint8_t(typed[i]))), Hex(sent.substr(i, 1)));
  EXPECT_EQ(Sent(msg::Char, 0x1E5), "\x86");  // the low 8 bits count
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

// The port in the first byte of MIRELOX.CFG and in the title.
std::string RememberedPort() {
  return fake::world.files["/prog/MIRELOX.CFG"].substr(0, 1) + fake::world.titles.back().substr(19, 5);
}

TEST_F(Keyboard, FunctionKeysReopenThePortAndRememberIt) {
  fake::world.presentPorts = {1, 2};
  Sent(msg::KeyDown, vk::F1);  // the port in use is closed and opened again
  Sent(msg::KeyDown, vk::F1 + 1);
  EXPECT_EQ(Sent(msg::Char, 'k'), "k");
  ExpectInOrder({"CloseSerialDevice 1", "OpenSerialDevice 1", "CloseSerialDevice 1", "OpenSerialDevice 2"});
  EXPECT_EQ(RememberedPort(), "2COM2:");
  EXPECT_TRUE(fake::world.messages.empty());
  Sent(msg::KeyDown, vk::F6);  // COM6 cannot open: no port is open, and COM2 is remembered
  ASSERT_EQ(fake::world.messages.size(), 1u);
  EXPECT_EQ(fake::world.messages[0].text, "Error: COM6 port cannot be opened!");
  EXPECT_TRUE(fake::world.messages[0].owned);
  EXPECT_EQ(fake::world.openPort, 0);
  EXPECT_EQ(RememberedPort(), "2COM2:");
  ExpectInOrder({"OpenSerialDevice 6", "OpenForWriting"});  // the file is rewritten all the same
  EXPECT_EQ(Sent(msg::Char, 'a'), "");
}

}  // namespace
