#include "transfer/block_protocol.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "serial/serial_port.h"
#include "terminal/screen.h"
#include "tests/fake/fake_platform.h"
#include "tests/unit/scripted_device.h"
#include "tests/unit/terminal_fixture.h"

namespace {

using BlockProtocol = TerminalTest;
const std::string Normal1 = " Mirelox v2.2  |   COM1: ";

void Load(const std::string& data) {
  std::memcpy(TransferBuffer, data.data(), data.size());
}

std::string Stored(int count) {
  return std::string(reinterpret_cast<char*>(TransferBuffer), count);
}

std::vector<std::string> BlocksOf(const std::string& data, int firstNumber = 1) {
  std::vector<std::string> blocks;
  for (size_t i = 0; i < data.size(); i += 128) {
    blocks.push_back(MakeBlock(static_cast<unsigned char>(firstNumber + i / 128), data.substr(i, 128)));
  }
  return blocks;
}

bool TitleWasShown(const std::string& title) {
  for (const std::string& t : fake::world.titles) {
    if (t == title) return true;
  }
  return false;
}

TEST_F(BlockProtocol, SentBlocksAreFramedAndSummed) {
  const std::string data = "abc" + std::string(125, '\0');
  Load(data);
  ReceivingDevice device;
  ASSERT_TRUE(SendBlocks(3));
  ASSERT_EQ(device.blocks.size(), 1u);
  EXPECT_EQ(Hex(device.blocks[0].substr(0, 3)), "01 01 FE");
  EXPECT_EQ(static_cast<unsigned char>(device.blocks[0][131]), 0x26);
  EXPECT_EQ(device.accepted, data);
  EXPECT_EQ(device.eots, 1);
  EXPECT_TRUE(TitleWasShown("Sending block 1"));
  EXPECT_EQ(fake::world.title.rfind(Normal1, 0), 0u);
  EXPECT_TRUE(fake::world.messages.empty());
}

TEST_F(BlockProtocol, BlockCountCoversTheByteCountAndTheTailComesFromTheBuffer) {
  struct Case {
    int bytes;
    size_t blocks;
  };
  for (Case c : {Case{0, 1}, Case{128, 1}, Case{129, 2}, Case{7680, 60}}) {
    StartTerminal();
    Load(Pattern(TransferBufferSize));
    ReceivingDevice device;
    ASSERT_TRUE(SendBlocks(c.bytes));
    EXPECT_EQ(device.blocks.size(), c.blocks) << c.bytes;
    EXPECT_EQ(device.accepted, Pattern(TransferBufferSize).substr(0, 128 * c.blocks)) << c.bytes;
    if (c.blocks == 60) {
      EXPECT_EQ(Hex(device.blocks[59].substr(0, 3)), "01 3C C3");
    }
  }
}

TEST_F(BlockProtocol, SendingIsPacedByTheLineAndTheAcknowledgements) {
  Load(Pattern(256));
  ReceivingDevice device;
  const int64_t start = fake::world.nowUs;
  ASSERT_TRUE(SendBlocks(256));
  const auto& sent = fake::world.sent;
  for (size_t i = 1; i < 132; ++i) EXPECT_EQ(sent[i].atUs - sent[i - 1].atUs, 5000) << i;
  // two blocks of 132 paced bytes, each followed by 100 ms, then EOT and its pause
  EXPECT_GE(fake::world.nowUs - start, (2 * (132 * 5 + 100) + 5) * 1000);
  EXPECT_LT(fake::world.nowUs - start, (2 * (132 * 5 + 100) + 5 + 20) * 1000);
  EXPECT_EQ(fake::world.beepsUs.size(), 2u);
}

TEST_F(BlockProtocol, NaksQueuedBeforeTheHandshakeEndItAndTheRestAreDrained) {
  Load(Pattern(128));
  fake::DeviceSends("xx\x15\x15\x15");
  ReceivingDevice device;  // queues one more NAK
  ASSERT_TRUE(SendBlocks(128));
  EXPECT_EQ(device.blocks.size(), 1u);  // the leftover NAKs did not count as replies
  EXPECT_EQ(fake::world.beepsUs.size(), 1u);
}

TEST_F(BlockProtocol, ABlockAnsweredOtherwiseGoesAgainWithTheSameNumber) {
  Load(Pattern(256));
  ReceivingDevice device;
  device.answer = [](int n) { return n == 1 ? 'C' : ACK; };
  device.eotAnswer = [](int n) { return n < 2 ? NAK : ACK; };
  ASSERT_TRUE(SendBlocks(256));
  ASSERT_EQ(device.blocks.size(), 3u);
  EXPECT_EQ(device.blocks[1], device.blocks[2]);
  EXPECT_EQ(Hex(device.blocks[2].substr(0, 3)), "01 02 FD");
  EXPECT_EQ(device.accepted, Pattern(256));
  EXPECT_EQ(fake::world.beepsUs.size(), 1u + 3u + 1u);
  EXPECT_EQ(device.eots, 3);  // EOT until ACK
}

TEST_F(BlockProtocol, SendGivesUpAfter250SilentLooks) {
  const int64_t start = fake::world.nowUs;
  fake::DeviceSends("abc");  // bytes other than NAK do not end the handshake and cost no look
  EXPECT_FALSE(SendBlocks(100));
  EXPECT_EQ(fake::world.nowUs - start, 250 * 5000);
  ASSERT_EQ(fake::world.messages.size(), 1u);
  EXPECT_EQ(fake::world.messages[0].text, "ERROR: No connection!");
  EXPECT_TRUE(fake::world.messages[0].ownedByMainWindow);
  EXPECT_TRUE(fake::world.sent.empty());
  EXPECT_TRUE(fake::world.titles.empty());
}

TEST_F(BlockProtocol, ReceiveAnswersNakUntilTheFirstBlockThenTakesTheBlocks) {
  SendingDevice device(BlocksOf(Pattern(384)));
  fake::DeviceSends("?");  // noise before the handshake costs no attempt
  const int32_t count = ReceiveBlocks();
  ASSERT_EQ(count, 384);
  EXPECT_EQ(Stored(384), Pattern(384));
  EXPECT_EQ(Hex(device.fromTerminal), "15 06 06 06 06 06");  // NAK, three ACKs, ACK ACK for EOT
  EXPECT_EQ(device.acksAfterEot, 2);
  EXPECT_TRUE(TitleWasShown("Receiving block 3"));
  EXPECT_EQ(fake::world.title.rfind(Normal1, 0), 0u);
  EXPECT_EQ(fake::world.beepsUs.size(), 3u);
  EXPECT_EQ(PendingText[0], 0);
}

TEST_F(BlockProtocol, ReceiveGivesUpAfterTenSilentAttempts) {
  const int64_t start = fake::world.nowUs;
  EXPECT_EQ(ReceiveBlocks(), NoConnection);
  EXPECT_EQ(fake::SentBytes(), std::string(10, '\x15'));
  EXPECT_EQ(fake::world.nowUs - start, 10 * 505 * 1000);
  ASSERT_EQ(fake::world.messages.size(), 1u);
  EXPECT_EQ(fake::world.messages[0].text, "ERROR: No connection!");
  EXPECT_TRUE(fake::world.titles.empty());

  ComPort.close();  // with no port the attempts take as long and nothing is sent
  fake::ClearSent();
  EXPECT_EQ(ReceiveBlocks(), NoConnection);
  EXPECT_TRUE(fake::world.sent.empty());
}

TEST_F(BlockProtocol, ABadChecksumIsRejectedAndTheRepeatStoredOnce) {
  const std::string data = Pattern(256, 3);
  SendingDevice device(BlocksOf(data));
  device.shape = [](int index, int sending, const std::string& block) {
    std::string b = block;
    if (index == 0 && sending == 0) b[131] = static_cast<char>(b[131] + 1);
    return b;
  };
  ASSERT_EQ(ReceiveBlocks(), 256);
  EXPECT_EQ(Stored(256), data);
  EXPECT_EQ(Hex(device.fromTerminal), "15 15 06 06 06 06");
}

TEST_F(BlockProtocol, ABlockRepeatedAfterAMissedAckIsStoredOnce) {
  const std::string data = Pattern(384, 5);
  SendingDevice device(BlocksOf(data));
  device.missesAck = [](int index) { return index == 1; };
  ASSERT_EQ(ReceiveBlocks(), 384);
  EXPECT_EQ(Stored(384), data);

  // Two consecutive blocks with the same number but other data are two blocks.
  StartTerminal();
  const std::string twins = Pattern(128, 1) + Pattern(128, 2);
  std::vector<std::string> blocks = {MakeBlock(1, twins.substr(0, 128)), MakeBlock(1, twins.substr(128))};
  SendingDevice other(blocks);
  ASSERT_EQ(ReceiveBlocks(), 256);
  EXPECT_EQ(Stored(256), twins);
}

TEST_F(BlockProtocol, NumbersAreShownSignedAndNotChecked) {
  SendingDevice device({MakeBlock(200, Pattern(128)), MakeBlock(7, Pattern(128, 1))});
  device.shape = [](int index, int, const std::string& block) {
    std::string b = block;
    if (index == 1) b[2] = 0;  // a wrong complement is not looked at
    return b;
  };
  ASSERT_EQ(ReceiveBlocks(), 256);
  EXPECT_TRUE(TitleWasShown("Receiving block -56"));
  EXPECT_TRUE(TitleWasShown("Receiving block 7"));
}

TEST_F(BlockProtocol, NoiseBetweenBlocksIsSkipped) {
  SendingDevice device(BlocksOf(Pattern(256)));
  device.shape = [](int index, int, const std::string& block) {
    return index == 1 ? "zz\x07" + block : block;
  };
  ASSERT_EQ(ReceiveBlocks(), 256);
  EXPECT_EQ(Stored(256), Pattern(256));
}

TEST_F(BlockProtocol, ADeviceThatFallsSilentEndsTheTransferWithinTenSeconds) {
  SendingDevice device(BlocksOf(Pattern(256)));
  device.shape = [](int index, int, const std::string& block) {
    return index == 1 ? block.substr(0, 60) : block;
  };
  const int64_t start = fake::world.nowUs;
  EXPECT_EQ(ReceiveBlocks(), NoConnection);
  EXPECT_LT(fake::world.nowUs - start, 12 * 1000 * 1000);
  ASSERT_EQ(fake::world.messages.size(), 1u);
  EXPECT_EQ(fake::world.messages[0].text, "ERROR: No connection!");
  EXPECT_EQ(fake::world.title.rfind(Normal1, 0), 0u);

  // The same on the sending side, while waiting for the answer to a block.
  StartTerminal();
  Load(Pattern(256));
  ReceivingDevice silent;
  silent.answer = [](int n) -> unsigned char { return n == 0 ? ACK : 0; };
  EXPECT_FALSE(SendBlocks(256));
  EXPECT_EQ(fake::world.messages.back().text, "ERROR: No connection!");
  EXPECT_EQ(fake::world.title.rfind(Normal1, 0), 0u);
}

TEST_F(BlockProtocol, MoreBlocksThanTheBufferHoldsAreAcknowledgedButNotStored) {
  const std::string data = Pattern(72 * 128, 9);
  SendingDevice device(BlocksOf(data));
  ASSERT_EQ(ReceiveBlocks(), MaxReceivedBytes);
  EXPECT_EQ(Stored(MaxReceivedBytes), data.substr(0, MaxReceivedBytes));
  EXPECT_EQ(device.acksAfterEot, 2);
  ASSERT_EQ(fake::world.messages.size(), 1u);
  EXPECT_EQ(fake::world.messages[0].text, ReceivedFileCutMessage);
}

TEST_F(BlockProtocol, TheAnswerFollowsTheChecksumAtOnce) {
  SendingDevice device(BlocksOf(Pattern(128)));
  ASSERT_EQ(ReceiveBlocks(), 128);
  // The block arrived during the 5 ms after the NAK; the ACK goes out as soon as it has been read.
  ASSERT_GE(fake::world.sent.size(), 2u);
  const int64_t ackAt = fake::world.sent[1].atUs;
  const int64_t nakAt = fake::world.sent[0].atUs;
  EXPECT_LE(ackAt - nakAt, 5000 + 200);
}

}  // namespace
