// Files both ways: the block protocol against a device on the fake line, with the faults a line
// and a device have (one row per case), and the two commands around it: dialogs, the file between
// disk and line, and what is left on the disk and the screen afterwards.
#include <gtest/gtest.h>

#include <algorithm>
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

// The data in blocks and EOT, after stray answers to the first NAKs (they cost no attempt).
std::vector<std::string> Blocks(const std::string& data, int strayAnswers = 0) {
  std::vector<std::string> blocks(strayAnswers, "CC");
  for (size_t i = 0; i < data.size(); i += 128) blocks.push_back(MakeBlock(1 + i / 128, data.substr(i, 128)));
  blocks.push_back(Eot);
  return blocks;
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
  size_t blocks;   // on the line, repeats included
  int last, eots;  // the last block's number, EOTs sent
  int ms;          // when the send ends
  bool done = true;
};

// clang-format off
const Sending Sendings[] = {
    {"no bytes: one block", 0, "", "", 1, 1, 1, 765},
    {"128 bytes: one block", 128, "", "", 1, 1, 1, 765},
    {"129 bytes: two blocks", 129, "", "", 2, 2, 1, 1525},
    {"ten silent seconds after EOT end the send as done", 1, "", std::string(12, '.'), 1, 1, 10, 10810},
    {"a device that answers every EOT with NAK gets ten", 1, "", std::string(12, NAK), 1, 1, 10, 810},
    {"a device silent after a block", 256, Ack + ".", "", 2, 2, 0, 11420, false},
};
// clang-format on

using SentBlocks = TableOf<Sending>;
TEST_P(SentBlocks, CoverTheCountAndEndWithEot) {
  const Sending& s = GetParam();
  const std::string data = Pattern(TransferBufferSize);
  std::memcpy(TransferBuffer, data.data(), data.size());
  Taker device(s.blockPlan, s.eotPlan);
  EXPECT_EQ(SendBlocks(s.bytes), s.done);
  ASSERT_EQ(device.blocks.size(), s.blocks);
  EXPECT_EQ(Hex(device.blocks.back().substr(1, 2)), Hex({char(s.last), char(255 - s.last)}));
  EXPECT_EQ(device.accepted, data.substr(0, 128 * (s.done ? s.last : 1)));
  EXPECT_EQ(device.eots, s.eots);
  EXPECT_TRUE(s.done || PendingText[0] == 0);  // a title left there would be drawn
  EXPECT_EQ(fake::world.titles.back(), NormalTitle);
  ExpectMessage(s.done ? "" : NoConnectionText);
  EXPECT_NEAR(fake::world.nowUs / 1000, s.ms, 2);
}
ROWS(SentBlocks, Sendings);

TEST_F(Transfer, SendingFramesSumsPacesAndShowsEachBlock) {
  std::memcpy(TransferBuffer, "abc", 3);
  Taker device(Ack + "C", "");
  ASSERT_TRUE(SendBlocks(256));
  EXPECT_EQ(Hex(device.blocks[0].substr(0, 3) + device.blocks[0].back()), "0101fe26");
  EXPECT_EQ(device.blocks[2], device.blocks[1]);
  const auto& at = fake::world.sentAtUs;
  for (size_t i = 1; i < 132; ++i) EXPECT_EQ(at[i] - at[i - 1], 5000) << i;
  EXPECT_EQ(at[132] - at[131], 5000 + 100000);      // the ACK, one beep and 100 ms
  EXPECT_EQ(at[264] - at[263], 5000 + 3 * 100000);  // another reply, three beeps and 100 ms after each
  EXPECT_EQ(fake::world.beepsUs.size(), 1u + 3u + 1u);
  EXPECT_EQ(std::count(fake::world.titles.begin(), fake::world.titles.end(), "Sending block 2"), 2);
  EXPECT_EQ(std::count(fake::world.titles.begin(), fake::world.titles.end(), "Sending block 1"), 1);
}

TEST_F(Transfer, TheSendHandshakeWaitsForNakAndDrainsTheRest) {
  fake::DeviceSends("xx" + Nak + Nak + Nak);  // left over from before the file was chosen
  Taker device("", "");
  ASSERT_TRUE(SendBlocks(128));
  EXPECT_EQ(device.blocks.size(), 1u);  // the leftover NAKs were no answer to the block
  StartTerminal();
  fake::DeviceSends("abc");  // other bytes cost no look
  EXPECT_FALSE(SendBlocks(100));
  EXPECT_EQ(fake::world.nowUs, 1250 * 1000);
  ExpectMessage(NoConnectionText);
  EXPECT_EQ(fake::world.sent, "");
  EXPECT_EQ(fake::world.titles, std::vector<std::string>{"mirelox"});  // no progress shown
}

struct Reception {
  const char* name;
  std::vector<std::string> turns;  // what the device sends after each answer of the terminal
  std::optional<std::string> stored;
  std::string answers;  // the terminal's answers after its first NAK
  int shown;            // the number in the last progress title, before the normal one is back
  int ms;               // when the reception ends
  std::string message = "";
};

const std::string X = Pattern(128, 1), Y = Pattern(128, 2), Z = Pattern(128, 3), Acks4(4, ACK);
const std::string X1 = MakeBlock(1, X), Y2 = MakeBlock(2, Y), Z3 = MakeBlock(3, Z);
const std::string Many = Pattern(72 * 128);

// clang-format off
const Reception Receptions[] = {
    {"stray answers, then three blocks", Blocks(X + Y + Z, 12), X + Y + Z, std::string(12, NAK) + std::string(5, ACK),
     3, 90},
    {"a bad sum: NAK, and the repeat kept once", {X1.substr(0, 131) + char(X1[131] + 1), X1, Y2, Eot}, X + Y, Nak + Acks4,
     2, 30},
    {"a repeat after a lost ACK is kept once", {X1, Y2, Y2, Z3, Eot}, X + Y + Z, Acks4 + Ack + Ack,
     3, 35},
    {"the same number, other data", {X1, MakeBlock(1, Y), Eot}, X + Y, Acks4, 1, 25},
    {"the same data, another number", {X1, MakeBlock(2, X), Eot}, X + X, Acks4, 2, 25},
    {"a repeat with a broken complement", {X1, MakeBlock(1, X, 0), Eot}, X + X, Acks4, 1, 25},
    {"numbers shown signed, not checked", {MakeBlock(200, X, 7), Eot}, X, Ack + Ack + Ack, -56, 20},
    {"noise between blocks is skipped", {X1, "zz\x07" + Y2, Eot}, X + Y, Acks4, 2, 25},
    {"blocks beyond the buffer: ACK, cut", Blocks(Many), Many.substr(0, MaxReceivedBytes), std::string(74, ACK),
     72, 375, ReceivedFileCutMessage},
    {"silence in a block's header", {X1, Y2.substr(0, 2)}, {}, Ack, 1, 10010, NoConnectionText},
    {"silence between blocks", {X1}, {}, Ack, 1, 10010, NoConnectionText},
};
// clang-format on

using ReceivedBlocks = TableOf<Reception>;
TEST_P(ReceivedBlocks, AreAnsweredAndStoredInOrder) {
  const Reception& r = GetParam();
  AnswerInTurns(r.turns);
  const int32_t count = ReceiveBlocks();
  EXPECT_EQ(count, r.stored ? static_cast<int32_t>(r.stored->size()) : NoConnection);
  if (r.stored) {
    EXPECT_EQ(Hex(std::string(reinterpret_cast<char*>(TransferBuffer), count)), Hex(*r.stored));
  }
  EXPECT_EQ(Hex(fake::world.sent), Hex(Nak + r.answers));
  EXPECT_NEAR(fake::world.sentAtUs[1] - fake::world.sentAtUs[0], 5100, 100);  // after the NAK's pause
  EXPECT_EQ(fake::world.titles.rbegin()[1], "Receiving block " + std::to_string(r.shown));
  // A beep for each block followed by the next one or EOT: each turn after the first block's.
  const auto first =
      std::find_if(r.turns.begin(), r.turns.end(), [](const auto& t) { return t[0] == char(SOH); });
  EXPECT_EQ(fake::world.beepsUs.size(), size_t(r.turns.end() - first - 1));
  EXPECT_EQ(PendingText[0], 0);
  EXPECT_EQ(fake::world.titles.back(), NormalTitle);
  ExpectMessage(r.message);
  EXPECT_NEAR(fake::world.nowUs / 1000, r.ms, 2);
}
ROWS(ReceivedBlocks, Receptions);

TEST_F(Transfer, ReceivingGivesUpAfterTenSilentAttempts) {
  EXPECT_EQ(ReceiveBlocks(), NoConnection);
  EXPECT_EQ(fake::world.sent, std::string(10, NAK));
  EXPECT_NEAR(fake::world.nowUs / 1000, 5050, 2);
  EXPECT_EQ(fake::world.titles, std::vector<std::string>{"mirelox"});  // no progress shown
  ExpectMessage(NoConnectionText);
  ComPort.close();
  fake::world.sent.clear();
  EXPECT_EQ(ReceiveBlocks(), NoConnection);
  EXPECT_EQ(fake::world.sent, "");
  // A device that keeps sending something else, once every half second, never brings the first
  // block: the receive ends after a minute all the same.
  ComPort.open(1);
  const int64_t startUs = fake::world.nowUs;
  for (int ms = 0; ms < 100000; ms += 500) fake::DeviceSends("C", ms);
  EXPECT_EQ(ReceiveBlocks(), NoConnection);
  EXPECT_NEAR((fake::world.nowUs - startUs) / 1000, 60000, 500);
}

// The device gives one block of data, or stops after part of it.
void Give(const std::string& data, size_t bytesOnTheLine = 133) {
  AnswerInTurns({MakeBlock(1, data).substr(0, bytesOnTheLine), Eot});
}

void ExpectClearedScreen() {
  RunLoopUntilIdle();  // the erase the clear asked for comes with the next paint
  EXPECT_EQ(Cursor(), std::make_pair(0, 0));
  EXPECT_EQ(PendingText[0], 0);
  EXPECT_EQ(Rows(), Padded({}));
  EXPECT_EQ(VisibleRows(), Padded({}));
  EXPECT_TRUE(fake::world.openFiles.empty());
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

// Ten descriptions of 29 characters: the list keeps the nine that fit its 300 bytes, and its end.
TEST_F(Transfer, AFilterListLongerThanItsRoomKeepsWholeDescriptions) {
  for (auto& slot : FilterSlots) std::snprintf(slot, FilterSlotSize, "%s", A(29).c_str());
  BuildFilterList();
  int kept = 0;
  for (const char* p = FilterList; *p != 0 && p < FilterList + FilterListSize; p += std::strlen(p) + 1)
    ++kept;
  EXPECT_EQ(kept, 9);
}

TEST_F(Transfer, SendingTakesTheFirst7680BytesOfTheChosenFile) {
  for (const auto& [content, blocks] :
       {std::pair<std::string, size_t>{std::string(10000, 'q'), 60}, {"", 1}}) {
    StartTerminal();
    SCOPED_TRACE(blocks);
    fake::world.files["/data/f.bin"] = content;
    fake::world.dialogAnswers = {std::string("/data/f.bin")};
    fake::DeviceSends("text\x1b[R");
    Taker device("", "");  // its NAK comes after the command
    Receive("");
    EXPECT_EQ(device.blocks.size(), blocks);
    EXPECT_EQ(device.accepted.substr(0, 128), (content + std::string(128, '\0')).substr(0, 128));
    EXPECT_EQ(device.rowAtStart, "");  // cleared before the first block went out
    EXPECT_TRUE(fake::world.messages.empty());
    ExpectClearedScreen();
  }
  fake::world.dialogAnswers = {std::string("/data/gone.bin")};
  fake::world.sent.clear();
  Receive("\x1b[R");
  ExpectMessage("Cannot open the file");
  EXPECT_EQ(fake::world.sent, "");
  ExpectClearedScreen();
}

// Whatever happens, the old file stays whole unless the new one is saved, a user's file with the
// first temporary name is spared, and no temporary file is left.
struct Saving {
  const char* name;
  std::string path;
  size_t bytesOnTheLine, diskRoom;
  std::string message;
};

const std::string LongPath = "/" + std::string(252, 'd') + "/a";  // its ~0.tmp would need 261 bytes
const Saving Savings[] = {
    {"silent midway", "/data/old.bin", 60, SIZE_MAX, "ERROR: No connection!"},
    {"full disk", "/data/old.bin", 133, 100, "Cannot create the file"},
    {"read-only folder", "/readonly/x.bin", 133, SIZE_MAX, "Cannot create the file"},
    {"no room for a temporary name", LongPath, 133, SIZE_MAX, "Cannot create the file"},
    {"a link to a name too long", "/links/x.bin", 133, SIZE_MAX, "Cannot create the file"},
    {"saved", "/data/old.bin", 133, SIZE_MAX, ""},
};

using ReceivedFiles = TableOf<Saving>;
TEST_P(ReceivedFiles, ReplaceTheChosenOneOnlyWhenWhole) {
  const Saving& c = GetParam();
  fake::world.files["/data/old.bin"] = "old content";
  fake::world.files["/data/~0.tmp"] = "a file of the user's";
  fake::world.diskRoom = c.diskRoom;
  fake::world.dialogAnswers = {c.path};
  Give(std::string(128, 'n'), c.bytesOnTheLine);
  Receive("\x1b[T");
  EXPECT_EQ(fake::world.files["/data/old.bin"], c.message.empty() ? std::string(128, 'n') : "old content");
  EXPECT_EQ(fake::world.files["/data/~0.tmp"], "a file of the user's");
  EXPECT_EQ(fake::world.files.size(), 3u);
  ExpectMessage(c.message);
  ExpectClearedScreen();
  if (c.message.empty()) {  // written whole before it takes the old one's place
    ExpectInOrder({"CreateNewFile /data/~0.tmp", "CreateNewFile /data/~1.tmp", "WriteFile /data/~1.tmp",
                   "FlushFile /data/~1.tmp", "ReplaceFile /data/~1.tmp /data/old.bin"});
  }
}
ROWS(ReceivedFiles, Savings);

}  // namespace
