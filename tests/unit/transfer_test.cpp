// Files both ways: the block protocol against a device on the fake line, with the faults a line
// and a device have (one row per case), and the two commands around it: dialogs, the file between
// disk and line, and what is left on the disk and the screen afterwards.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "config/configuration.h"
#include "serial/serial_port.h"
#include "terminal/screen.h"
#include "tests/unit/support.h"
#include "transfer/block_protocol.h"
#include "transfer/transfer_commands.h"

namespace {

using Transfer = Terminal;
const std::string Normal = " Mirelox v2.2  |   COM1: 4800 8N1";
const std::string Ack(1, ACK), Nak(1, NAK), Eot(1, EOT), NoConnectionText = "ERROR: No connection!";

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

std::vector<std::string> Blocks(const std::string& data, std::vector<std::string> after = {Eot}) {
  std::vector<std::string> blocks;
  for (size_t i = 0; i < data.size(); i += 128) blocks.push_back(MakeBlock(1 + i / 128, data.substr(i, 128)));
  blocks.insert(blocks.end(), after.begin(), after.end());
  return blocks;
}

bool Shown(const std::string& title) {
  const auto& titles = fake::world.titles;
  return title.empty() || std::find(titles.begin(), titles.end(), title) != titles.end();
}

// The messages shown: none, or the one given.
void ExpectMessage(const std::string& name, const std::string& message) {
  ASSERT_EQ(fake::world.messages.size(), message.empty() ? 0u : 1u) << name;
  if (!message.empty()) {
    EXPECT_EQ(fake::world.messages[0].text, message) << name;
  }
}

void ExpectEnd(const std::string& name, const std::string& message) {
  EXPECT_EQ(fake::world.titles.back().rfind(Normal, 0), 0u) << name;
  ExpectMessage(name, message);
}

// The device takes a file: NAK to start, then a reply to each block and to each EOT, in turn from
// these plans ('.': silence); ACK once a plan runs out. It notes what the screen's first row held
// when the first block came.
struct Taker {
  std::string blockPlan, eotPlan;
  std::vector<std::string> blocks;
  std::string accepted, current, rowAtStart;
  int eots = 0;

  Taker(std::string blocks, std::string eots) : blockPlan(std::move(blocks)), eotPlan(std::move(eots)) {
    fake::world.answer = [this](unsigned char byte) { return Take(byte); };
    fake::DeviceSends(Nak);
  }
  static std::string Reply(const std::string& plan, size_t n) {
    return n >= plan.size() ? Ack : plan[n] == '.' ? "" : plan.substr(n, 1);
  }
  std::string Take(unsigned char byte) {
    if (current.empty() && byte == EOT) return Reply(eotPlan, eots++);
    if (current.empty() && blocks.empty()) rowAtStart = Row(0);
    current += static_cast<char>(byte);
    if (current.size() < 132) return "";
    const std::string reply = Reply(blockPlan, blocks.size());
    blocks.push_back(current);
    if (reply == Ack) accepted += current.substr(3, 128);
    current.clear();
    return reply;
  }
};

struct Sending {
  const char* name;
  int bytes;
  std::string blockPlan, eotPlan;
  size_t blocks;  // on the line, repeats included
  int eots;
  bool done = true;
};

// clang-format off
const Sending Sendings[] = {
    {"no bytes: one block", 0, "", "", 1, 1},
    {"128 bytes: one block", 128, "", "", 1, 1},
    {"129 bytes: two blocks", 129, "", "", 2, 1},
    {"7680 bytes: sixty blocks", 7680, "", "", 60, 1},
    {"another reply brings the block again", 256, Ack + "C", "", 3, 1},
    {"another reply to EOT brings EOT again", 1, "", Nak + Nak, 1, 3},
    {"EOT again after each silent second", 1, "", "..", 1, 3},
    {"ten silent seconds after EOT end the send as done", 1, "", std::string(12, '.'), 1, 10},
    {"a device that answers every EOT with NAK gets ten", 1, "", std::string(12, NAK), 1, 10},
    {"a device silent after a block", 256, Ack + ".", "", 2, 0, false},
};
// clang-format on

TEST_F(Transfer, SendingCoversTheCountWithBlocksAndEndsWithEot) {
  for (const Sending& s : Sendings) {
    StartTerminal();
    const std::string data = Pattern(TransferBufferSize);
    std::memcpy(TransferBuffer, data.data(), data.size());
    Taker device(s.blockPlan, s.eotPlan);
    EXPECT_EQ(SendBlocks(s.bytes), s.done) << s.name;
    ASSERT_EQ(device.blocks.size(), s.blocks) << s.name;
    const int last = std::max(1, (s.bytes + 127) / 128);  // the last one takes the buffer's bytes
    EXPECT_EQ(Hex(device.blocks.back().substr(1, 2)), Hex({char(last), char(255 - last)})) << s.name;
    EXPECT_EQ(device.accepted, data.substr(0, device.accepted.size())) << s.name;
    EXPECT_EQ(device.accepted.size(), s.done ? 128u * last : 128u) << s.name;
    EXPECT_EQ(device.eots, s.eots) << s.name;
    EXPECT_TRUE(s.done || PendingText[0] == 0) << s.name;  // a title left there would be drawn
    ExpectEnd(s.name, s.done ? "" : NoConnectionText);
  }
  EXPECT_LT(fake::world.nowUs, (2 * 132 * 5 + 100 + 10100) * 1000);  // given up 10 s after block 2
}

TEST_F(Transfer, SendingFramesSumsPacesAndShowsEachBlock) {
  std::memcpy(TransferBuffer, "abc", 3);
  Taker device(
      "\x06"
      "C",
      "");
  ASSERT_TRUE(SendBlocks(256));
  EXPECT_EQ(Hex(device.blocks[0].substr(0, 3) + device.blocks[0].back()), "01 01 FE 26");
  EXPECT_EQ(device.blocks[2], device.blocks[1]);
  const auto& at = fake::world.sentAtUs;
  for (size_t i = 1; i < 132; ++i) EXPECT_EQ(at[i] - at[i - 1], 5000) << i;
  EXPECT_EQ(at[132] - at[131], 5000 + 100000);      // the ACK, one beep and 100 ms
  EXPECT_EQ(at[264] - at[263], 5000 + 3 * 100000);  // another reply, three beeps and 100 ms after each
  EXPECT_EQ(fake::world.beepsUs.size(), 1u + 3u + 1u);
  EXPECT_EQ(std::count(fake::world.titles.begin(), fake::world.titles.end(), "Sending block 2"), 2);
  EXPECT_TRUE(Shown("Sending block 1"));
}

TEST_F(Transfer, TheSendHandshakeWaitsForNakAndDrainsTheRest) {
  fake::DeviceSends("xx" + Nak + Nak + Nak);  // left over from before the file was chosen
  Taker device("", "");
  ASSERT_TRUE(SendBlocks(128));
  EXPECT_EQ(device.blocks.size(), 1u);  // the leftover NAKs were no answer to the block
  StartTerminal();
  const size_t titles = fake::world.titles.size();
  fake::DeviceSends("abc");  // other bytes cost no look
  EXPECT_FALSE(SendBlocks(100));
  EXPECT_EQ(fake::world.nowUs, 250 * 5000);
  ExpectMessage("no NAK", NoConnectionText);
  EXPECT_TRUE(fake::world.messages[0].owned);
  EXPECT_EQ(fake::world.sent, "");
  EXPECT_EQ(fake::world.titles.size(), titles);
}

struct Reception {
  const char* name;
  std::vector<std::string> turns;  // what the device sends after each answer of the terminal
  std::optional<std::string> stored;
  std::string answers;  // the terminal's answers after its first NAK
  std::string title = "", message = "";
};

const std::string X = Pattern(128, 1), Y = Pattern(128, 2), Z = Pattern(128, 3), Acks4(4, ACK);
const std::string X1 = MakeBlock(1, X), Y2 = MakeBlock(2, Y), Z3 = MakeBlock(3, Z);
std::string Corrupted(std::string block) {
  block[131] = static_cast<char>(block[131] + 1);
  return block;
}
std::vector<std::string> StrayAnswersFirst() {  // after a NAK they cost no attempt, and are drained
  std::vector<std::string> turns(12, "CC");
  for (const std::string& block : Blocks(X + Y + Z)) turns.push_back(block);
  return turns;
}
const std::string Many = Pattern(72 * 128);

// clang-format off
const Reception Receptions[] = {
    {"stray answers, then three blocks", StrayAnswersFirst(), X + Y + Z, std::string(12, NAK) + std::string(5, ACK),
     "Receiving block 3"},
    {"a bad sum: NAK, and the repeat kept once", {Corrupted(X1), X1, Y2, Eot}, X + Y, Nak + Acks4},
    {"a repeat after a lost ACK is kept once", {X1, Y2, Y2, Z3, Eot}, X + Y + Z, Acks4 + Ack + Ack},
    {"the same number, other data", {X1, MakeBlock(1, Y), Eot}, X + Y, Acks4},
    {"the same data, another number", {X1, MakeBlock(2, X), Eot}, X + X, Acks4},
    {"a repeat with a broken complement", {X1, MakeBlock(1, X, 0), Eot}, X + X, Acks4},
    {"numbers shown signed, not checked", {MakeBlock(200, X, 7), Eot}, X, Ack + Ack + Ack, "Receiving block -56"},
    {"noise between blocks is skipped", {X1, "zz\x07" + Y2, Eot}, X + Y, Acks4},
    {"blocks beyond the buffer: ACK, cut", Blocks(Many), Many.substr(0, MaxReceivedBytes), std::string(74, ACK), "",
     ReceivedFileCutMessage},
    {"silence in a block's header", {X1, Y2.substr(0, 2)}, {}, Ack, "", NoConnectionText},
    {"silence in a block's data", {X1, Y2.substr(0, 60)}, {}, Ack, "", NoConnectionText},
    {"silence between blocks", {X1}, {}, Ack, "Receiving block 1", NoConnectionText},
};
// clang-format on

TEST_F(Transfer, ReceivedBlocksAreAnsweredAndStoredInOrder) {
  for (const Reception& r : Receptions) {
    StartTerminal();
    AnswerInTurns(r.turns);
    const int32_t count = ReceiveBlocks();
    EXPECT_EQ(count, r.stored ? static_cast<int32_t>(r.stored->size()) : NoConnection) << r.name;
    if (r.stored) {
      EXPECT_EQ(Hex(std::string(reinterpret_cast<char*>(TransferBuffer), count)), Hex(*r.stored)) << r.name;
    }
    EXPECT_EQ(Hex(fake::world.sent), Hex(Nak + r.answers)) << r.name;
    EXPECT_LE(fake::world.sentAtUs[1] - fake::world.sentAtUs[0], 5200) << r.name;  // answered at once
    EXPECT_TRUE(Shown(r.title)) << r.name;
    EXPECT_EQ(fake::world.beepsUs.empty(), r.turns.size() < 2) << r.name;  // a beep after each block
    EXPECT_EQ(PendingText[0], 0) << r.name;
    ExpectEnd(r.name, r.message);
    EXPECT_LT(fake::world.nowUs, 10700 * 1000) << r.name;
  }
}

TEST_F(Transfer, ReceivingGivesUpAfterTenSilentAttempts) {
  const size_t titles = fake::world.titles.size();
  EXPECT_EQ(ReceiveBlocks(), NoConnection);
  EXPECT_EQ(fake::world.sent, std::string(10, NAK));
  EXPECT_EQ(fake::world.nowUs, 10 * 505 * 1000);
  EXPECT_EQ(fake::world.titles.size(), titles);
  ExpectMessage("silence", NoConnectionText);
  ComPort.close();
  fake::world.sent.clear();
  EXPECT_EQ(ReceiveBlocks(), NoConnection);
  EXPECT_EQ(fake::world.sent, "");
}

// The device gives one block of data, or stops after part of it.
void Give(const std::string& data, size_t bytesOnTheLine = 133) {
  AnswerInTurns({MakeBlock(1, data).substr(0, bytesOnTheLine), Eot});
}

void ExpectClearedScreen(const std::string& name) {
  RunLoopUntilIdle();  // the erase the clear asked for comes with the next paint
  EXPECT_EQ(CursorX, 0) << name;
  EXPECT_EQ(CursorY, 0) << name;
  EXPECT_EQ(PendingText[0], 0) << name;
  EXPECT_EQ(Row(0), "") << name;
  EXPECT_EQ(fake::VisibleRow(0), std::string(80, ' ')) << name;
  EXPECT_TRUE(fake::world.openFiles.empty()) << name;
}

TEST_F(Transfer, DialogsOfferTheConfiguredTitlesAndFilter) {
  Receive("some text\x1b[Ty");  // cancelled: the screen is cleared, and what follows is text again
  EXPECT_EQ(Row(0), "y");
  Receive("\x1b[Rx");
  EXPECT_EQ(Row(0), "x");
  ExpectInOrder(
      {"Save Save the received file as Binary files|*.bin|", "Open Send which file? Binary files|*.bin|"});
  EXPECT_EQ(fake::world.sent, "");
  EXPECT_TRUE(fake::world.messages.empty());
  std::snprintf(MessageLines[2], MessageLineSize, "%s", "A description of thirty-five chars");
  SendFileToDevice();
  EXPECT_EQ(fake::world.calls.back(), "Open Send which file? A description of thirty-five |*.bin|");
  MessageLines[2][0] = 0;
  SendFileToDevice();
  EXPECT_EQ(fake::world.calls.back(), "Open Send which file? ");  // no filter at all
}

TEST_F(Transfer, SendingTakesTheFirst7680BytesOfTheChosenFile) {
  struct File {
    std::string content;
    size_t blocks;
  };
  for (const File& file : {File{std::string(10000, 'q'), 60}, File{"", 1}}) {
    StartTerminal();
    fake::world.files["/data/f.bin"] = file.content;
    fake::world.dialogAnswers = {std::string("/data/f.bin")};
    fake::DeviceSends("text\x1b[R");
    Taker device("", "");  // its NAK comes after the command
    Receive("");
    EXPECT_EQ(device.blocks.size(), file.blocks);
    EXPECT_EQ(device.accepted.substr(0, 128), (file.content + std::string(128, '\0')).substr(0, 128));
    EXPECT_EQ(device.rowAtStart, "");  // cleared before the first block went out
    EXPECT_TRUE(fake::world.messages.empty()) << file.blocks;
    ExpectClearedScreen("sent");
  }
  fake::world.dialogAnswers = {std::string("/data/gone.bin")};
  fake::world.sent.clear();
  Receive("\x1b[R");
  ASSERT_EQ(fake::world.messages.size(), 1u);
  EXPECT_EQ(fake::world.messages[0].text, "Cannot open the file");
  EXPECT_EQ(fake::world.sent, "");
  ExpectClearedScreen("not opened");
}

// Giving up empties the progress title before the message box, whose repaint would draw it.
TEST_F(Transfer, AStalledSendLeavesNoTitleOnTheScreen) {
  fake::world.files["/data/f.bin"] = std::string(300, 'q');
  fake::world.dialogAnswers = {std::string("/data/f.bin")};
  Receive("\x1b[R" + Nak);  // and then no answer to the first block
  ASSERT_EQ(fake::world.messages.size(), 1u);
  EXPECT_EQ(fake::IndexOfCall("Draw Sending block"), -1);
  ExpectClearedScreen("stalled");
}

// Whatever happens, the old file stays whole unless the new one is saved, a user's file with the
// first temporary name is spared, and no temporary file is left.
TEST_F(Transfer, AReceivedFileReplacesTheChosenOneOnlyWhenWhole) {
  struct Case {
    const char* name;
    std::string path;
    size_t bytesOnTheLine, diskRoom;
    std::string message;
  };
  const std::string longPath = "/" + std::string(252, 'd') + "/a";  // its ~0.tmp would need 261 bytes
  for (const Case& c :
       {Case{"no connection", "/data/old.bin", 0, SIZE_MAX, "ERROR: No connection!"},
        Case{"silent midway", "/data/old.bin", 60, SIZE_MAX, "ERROR: No connection!"},
        Case{"full disk", "/data/old.bin", 133, 100, "Cannot create the file"},
        Case{"read-only folder", "/readonly/x.bin", 133, SIZE_MAX, "Cannot create the file"},
        Case{"no room for a temporary name", longPath, 133, SIZE_MAX, "Cannot create the file"},
        Case{"saved", "/data/old.bin", 133, SIZE_MAX, ""}}) {
    StartTerminal();
    fake::world.files["/data/old.bin"] = "old content";
    fake::world.files["/data/~0.tmp"] = "a file of the user's";
    fake::world.diskRoom = c.diskRoom;
    fake::world.dialogAnswers = {c.path};
    if (c.bytesOnTheLine > 0) Give(std::string(128, 'n'), c.bytesOnTheLine);
    Receive("\x1b[T");
    EXPECT_EQ(fake::world.files["/data/old.bin"], c.message.empty() ? std::string(128, 'n') : "old content")
        << c.name;
    EXPECT_EQ(fake::world.files["/data/~0.tmp"], "a file of the user's") << c.name;
    EXPECT_EQ(fake::world.files.size(), 3u) << c.name;
    ExpectMessage(c.name, c.message);
    ExpectClearedScreen(c.name);
  }
  ExpectInOrder({"CreateNewFile /data/~0.tmp", "CreateNewFile /data/~1.tmp", "WriteFile /data/~1.tmp",
                 "FlushFile /data/~1.tmp", "ReplaceFile /data/~1.tmp /data/old.bin"});
}

}  // namespace
