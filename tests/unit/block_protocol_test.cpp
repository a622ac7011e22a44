// The block protocol against a device on the fake line, both directions, with the faults a line
// and a device have.
#include "transfer/block_protocol.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "serial/serial_port.h"
#include "terminal/screen.h"
#include "tests/unit/support.h"

namespace {

using BlockProtocol = Terminal;
const std::string Normal = " Mirelox v2.2  |   COM1: 4800 8N1";
const std::string Ack(1, ACK), Nak(1, NAK), Eot(1, EOT);

std::string Pattern(int length, int seed = 0) {
  std::string bytes;
  for (int i = 0; i < length; ++i) bytes += static_cast<char>((i * 7 + seed * 13 + i / 256) & 0xFF);
  return bytes;
}

std::string MakeBlock(int number, const std::string& data, int complement = -1) {
  unsigned char sum = 0;
  for (unsigned char c : data) sum = static_cast<unsigned char>(sum + c);
  return std::string{char(SOH), char(number), char(complement < 0 ? 255 - number : complement)} + data +
         char(sum);
}

std::vector<std::string> Blocks(const std::string& data) {
  std::vector<std::string> blocks;
  for (size_t i = 0; i < data.size(); i += 128) blocks.push_back(MakeBlock(1 + i / 128, data.substr(i, 128)));
  return blocks;
}

std::string Stored(int count) {
  return std::string(reinterpret_cast<char*>(TransferBuffer), count);
}

bool Shown(const std::string& title) {
  const auto& titles = fake::world.titles;
  return std::find(titles.begin(), titles.end(), title) != titles.end();
}

// The device takes a file: NAK to start, then a reply to each block and to each EOT, in turn from
// these plans ('.': silence); ACK once a plan runs out.
struct Taker {
  std::string blockReplies, eotReplies;
  std::vector<std::string> blocks;
  std::string accepted, current;
  int eots = 0;

  explicit Taker(std::string blockPlan = "", std::string eotPlan = "")
      : blockReplies(std::move(blockPlan)), eotReplies(std::move(eotPlan)) {
    fake::world.answer = [this](unsigned char byte) { return Take(byte); };
    fake::DeviceSends(Nak);
  }
  static std::string Reply(const std::string& plan, size_t n) {
    return n >= plan.size() ? Ack : plan[n] == '.' ? "" : plan.substr(n, 1);
  }
  std::string Take(unsigned char byte) {
    if (current.empty() && byte == EOT) return Reply(eotReplies, eots++);
    current += static_cast<char>(byte);
    if (current.size() < 132) return "";
    const std::string reply = Reply(blockReplies, blocks.size());
    blocks.push_back(current);
    if (reply == Ack) accepted += current.substr(3, 128);
    current.clear();
    return reply;
  }
};

void Load(const std::string& data) {
  std::memcpy(TransferBuffer, data.data(), data.size());
}

TEST_F(BlockProtocol, SendingFramesSumsPacesAndShowsEachBlock) {
  const std::string data = "abc" + std::string(253, '\0');
  Load(data);
  Taker device;
  const int64_t start = fake::world.nowUs;
  ASSERT_TRUE(SendBlocks(256));
  ASSERT_EQ(device.blocks.size(), 2u);
  EXPECT_EQ(Hex(device.blocks[0].substr(0, 3)), "01 01 FE");
  EXPECT_EQ(Hex(device.blocks[0].substr(131)), "26");
  EXPECT_EQ(Hex(device.blocks[1].substr(0, 3)), "01 02 FD");
  EXPECT_EQ(device.accepted, data);
  EXPECT_EQ(device.eots, 1);
  for (size_t i = 1; i < 132; ++i)
    EXPECT_EQ(fake::world.sentAtUs[i] - fake::world.sentAtUs[i - 1], 5000) << i;
  // two blocks of 132 paced bytes, the answer and 100 ms after each, then EOT and its answer
  EXPECT_EQ(fake::world.sentAtUs[132] - fake::world.sentAtUs[131], 5000 + 100000);
  EXPECT_LT(fake::world.nowUs - start, (2 * (132 * 5 + 100 + 3) + 5 + 3) * 1000);
  EXPECT_EQ(fake::world.beepsUs.size(), 2u);
  EXPECT_TRUE(Shown("Sending block 1") && Shown("Sending block 2"));
  EXPECT_EQ(fake::world.titles.back().rfind(Normal, 0), 0u);
  EXPECT_TRUE(fake::world.messages.empty());
}

TEST_F(BlockProtocol, TheByteCountSetsTheBlocksAndTheBufferFillsTheLast) {
  for (int count : {0, 128, 129, 7680}) {
    StartTerminal();
    Load(Pattern(TransferBufferSize));
    Taker device;
    ASSERT_TRUE(SendBlocks(count));
    const size_t blocks = count == 0 ? 1 : (count + 127) / 128;
    EXPECT_EQ(device.blocks.size(), blocks) << count;
    EXPECT_EQ(device.accepted, Pattern(TransferBufferSize).substr(0, 128 * blocks)) << count;
    EXPECT_EQ(Hex(device.blocks.back().substr(1, 2)), Hex({char(blocks), char(255 - blocks)})) << count;
  }
}

TEST_F(BlockProtocol, TheSendHandshakeWaitsForNakAndDrainsTheRest) {
  Load(Pattern(128));
  fake::DeviceSends("xx" + Nak + Nak + Nak);  // left over from before the file was chosen
  Taker device;
  ASSERT_TRUE(SendBlocks(128));
  EXPECT_EQ(device.blocks.size(), 1u);  // the leftover NAKs were no answer to the block
  StartTerminal();
  const size_t titles = fake::world.titles.size();
  fake::DeviceSends("abc");  // other bytes cost no look
  EXPECT_FALSE(SendBlocks(100));
  EXPECT_EQ(fake::world.nowUs, 250 * 5000);
  ASSERT_EQ(fake::world.messages.size(), 1u);
  EXPECT_EQ(fake::world.messages[0].text, "ERROR: No connection!");
  EXPECT_TRUE(fake::world.messages[0].owned);
  EXPECT_EQ(fake::world.sent, "");
  EXPECT_EQ(fake::world.titles.size(), titles);
}

TEST_F(BlockProtocol, ABlockOrEotAnsweredOtherwiseGoesAgain) {
  Load(Pattern(256));
  Taker device(
      "\x06"
      "C",
      Nak + Nak);
  ASSERT_TRUE(SendBlocks(256));
  ASSERT_EQ(device.blocks.size(), 3u);
  EXPECT_EQ(device.blocks[2], device.blocks[1]);
  EXPECT_EQ(Hex(device.blocks[2].substr(1, 2)), "02 FD");
  EXPECT_EQ(std::count(fake::world.titles.begin(), fake::world.titles.end(), "Sending block 2"), 2);
  EXPECT_EQ(device.accepted, Pattern(256));
  EXPECT_EQ(fake::world.beepsUs.size(), 1u + 3u + 1u);
  EXPECT_EQ(device.eots, 3);
}

// A receiver that exits right after its ACK to EOT may lose it: EOT again each silent second,
// and after ten silent seconds the send is done all the same.
TEST_F(BlockProtocol, AnUnansweredEotIsRepeatedAndThenTheSendIsDone) {
  for (const std::string& plan : {std::string(".."), std::string(12, '.')}) {
    StartTerminal();
    Taker device("", plan);
    ASSERT_TRUE(SendBlocks(1));
    const int expected = plan.size() == 2 ? 3 : 10;
    EXPECT_EQ(device.eots, expected);
    EXPECT_GE(fake::world.sentAtUs.back() - fake::world.sentAtUs[fake::world.sentAtUs.size() - 2], 1000000);
    EXPECT_TRUE(fake::world.messages.empty());
    EXPECT_EQ(fake::world.titles.back().rfind(Normal, 0), 0u);
  }
  EXPECT_LT(fake::world.nowUs, (660 + 100 + 10 * 1010 + 50) * 1000);
}

TEST_F(BlockProtocol, ReceivingAnswersEachBlockAndEot) {
  std::vector<std::string> turns = Blocks(Pattern(384));
  turns.insert(turns.begin(), 12, "C");  // bytes other than SOH after a NAK cost no attempt
  turns.push_back(Eot);
  AnswerInTurns(turns);
  ASSERT_EQ(ReceiveBlocks(), 384);
  EXPECT_EQ(Stored(384), Pattern(384));
  EXPECT_EQ(Hex(fake::world.sent), Hex(std::string(13, NAK) + std::string(5, ACK)));
  EXPECT_TRUE(Shown("Receiving block 3"));
  EXPECT_EQ(fake::world.titles.back().rfind(Normal, 0), 0u);
  EXPECT_EQ(fake::world.beepsUs.size(), 3u);
  EXPECT_EQ(PendingText[0], 0);
  EXPECT_LE(fake::world.sentAtUs[13] - fake::world.sentAtUs[12], 5000 + 200);  // the ACK at once
}

TEST_F(BlockProtocol, ReceivingGivesUpAfterTenSilentAttempts) {
  const size_t titles = fake::world.titles.size();
  EXPECT_EQ(ReceiveBlocks(), NoConnection);
  EXPECT_EQ(fake::world.sent, std::string(10, NAK));
  EXPECT_EQ(fake::world.nowUs, 10 * 505 * 1000);
  ASSERT_EQ(fake::world.messages.size(), 1u);
  EXPECT_EQ(fake::world.messages[0].text, "ERROR: No connection!");
  EXPECT_EQ(fake::world.titles.size(), titles);
  ComPort.close();
  fake::world.sent.clear();
  EXPECT_EQ(ReceiveBlocks(), NoConnection);
  EXPECT_EQ(fake::world.sent, "");
}

struct Reception {
  const char* name;
  std::vector<std::string> turns;  // what the device sends after each answer of the terminal
  std::string stored;
  std::string answers;     // the terminal's answers after its first NAK
  std::string title = "";  // a title shown on the way
};

const std::string X = Pattern(128, 1), Y = Pattern(128, 2), Z = Pattern(128, 3);
const std::string Acks4(4, ACK);
std::string Corrupted(std::string block) {
  block[131] = static_cast<char>(block[131] + 1);
  return block;
}

const Reception Receptions[] = {
    {"a bad checksum is answered with NAK and the repeat stored once",
     {Corrupted(MakeBlock(1, X)), MakeBlock(1, X), MakeBlock(2, Y), Eot},
     X + Y,
     Nak + Acks4},
    {"a block repeated after a lost ACK is stored once",
     {MakeBlock(1, X), MakeBlock(2, Y), MakeBlock(2, Y), MakeBlock(3, Z), Eot},
     X + Y + Z,
     Acks4 + Ack + Ack},
    {"the same number with other data is another block",
     {MakeBlock(1, X), MakeBlock(1, Y), Eot},
     X + Y,
     Acks4},
    {"the same data with another number is another block",
     {MakeBlock(1, X), MakeBlock(2, X), Eot},
     X + X,
     Acks4},
    {"a repeat with a broken complement is another block",
     {MakeBlock(1, X), MakeBlock(1, X, 0), Eot},
     X + X,
     Acks4},
    {"numbers are shown signed and not checked",
     {MakeBlock(200, X, 7), Eot},
     X,
     Ack + Ack + Ack,
     "Receiving block -56"},
    {"noise between blocks is skipped", {MakeBlock(1, X), "zz\x07" + MakeBlock(2, Y), Eot}, X + Y, Acks4},
};

TEST_F(BlockProtocol, ReceivedBlocksAreStoredInOrder) {
  for (const Reception& r : Receptions) {
    StartTerminal();
    AnswerInTurns(r.turns);
    EXPECT_EQ(ReceiveBlocks(), static_cast<int32_t>(r.stored.size())) << r.name;
    EXPECT_EQ(Hex(Stored(r.stored.size())), Hex(r.stored)) << r.name;
    EXPECT_EQ(Hex(fake::world.sent), Hex(Nak + r.answers)) << r.name;
    EXPECT_TRUE(r.title.empty() || Shown(r.title)) << r.name;
    EXPECT_TRUE(fake::world.messages.empty()) << r.name;
  }
}

TEST_F(BlockProtocol, BlocksBeyondTheBufferAreAcknowledgedButCut) {
  const std::string data = Pattern(72 * 128, 9);
  std::vector<std::string> turns = Blocks(data);
  turns.push_back(Eot);
  AnswerInTurns(turns);
  ASSERT_EQ(ReceiveBlocks(), MaxReceivedBytes);
  EXPECT_EQ(Stored(MaxReceivedBytes), data.substr(0, MaxReceivedBytes));
  EXPECT_EQ(fake::world.sent, Nak + std::string(74, ACK));
  ASSERT_EQ(fake::world.messages.size(), 1u);
  EXPECT_EQ(fake::world.messages[0].text, ReceivedFileCutMessage);
}

TEST_F(BlockProtocol, ADeviceFallingSilentMidwayEndsEitherDirectionWithinTenSeconds) {
  AnswerInTurns({MakeBlock(1, X), MakeBlock(2, Y).substr(0, 60)});
  EXPECT_EQ(ReceiveBlocks(), NoConnection);
  EXPECT_LT(fake::world.nowUs, 10700 * 1000);
  StartTerminal();
  Taker device("\x06.");
  EXPECT_FALSE(SendBlocks(256));
  for (const auto& message : fake::world.messages) EXPECT_EQ(message.text, "ERROR: No connection!");
  EXPECT_EQ(fake::world.messages.size(), 1u);
  EXPECT_EQ(fake::world.titles.back().rfind(Normal, 0), 0u);
  EXPECT_EQ(PendingText[0], 0);
}

}  // namespace
