// ESC [ R and ESC [ T: the dialogs, the file between disk and line, and what is left on the disk
// and the screen afterwards.
#include "transfer/transfer_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/configuration.h"
#include "terminal/screen.h"
#include "tests/unit/support.h"
#include "transfer/block_protocol.h"

namespace {

using TransferCommands = Terminal;
const std::string Ack(1, ACK), Nak(1, NAK);

// The device takes whatever comes: NAK to start, ACK to every block and to EOT. The screen has
// been cleared when the first block goes out.
void TakeEverything(std::string* received) {
  fake::world.answer = [received](unsigned char byte) {
    *received += static_cast<char>(byte);
    if (received->size() == 1) {
      EXPECT_EQ(Row(0), "");
    }
    return received->size() % 132 == 0 || (received->size() % 132 == 1 && byte == EOT) ? Ack : "";
  };
}

// The device gives one block of data, or stops after part of it.
void Give(const std::string& data, size_t bytesOnTheLine = 133) {
  unsigned char sum = 0;
  for (unsigned char c : data) sum = static_cast<unsigned char>(sum + c);
  const std::string block = std::string{char(SOH), 1, char(254)} + data + char(sum);
  AnswerInTurns({block.substr(0, bytesOnTheLine), "\x04"});
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

TEST_F(TransferCommands, DialogsOfferTheConfiguredTitlesAndFilter) {
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

TEST_F(TransferCommands, SendingTakesTheFirst7680BytesOfTheChosenFile) {
  struct File {
    std::string content;
    size_t blocks;
  };
  for (const File& file : {File{std::string(10000, 'q'), 60}, File{"", 1}}) {
    StartTerminal();
    fake::world.files["/data/f.bin"] = file.content;
    fake::world.dialogAnswers = {std::string("/data/f.bin")};
    std::string received;
    TakeEverything(&received);
    Receive("text\x1b[R" + Nak);
    EXPECT_EQ(received.size(), 132 * file.blocks + 1) << file.blocks;
    EXPECT_EQ(
        received.substr(3, 128),
        file.content.substr(0, 128) + std::string(128 - std::min<size_t>(128, file.content.size()), '\0'));
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
TEST_F(TransferCommands, AStalledSendLeavesNoTitleOnTheScreen) {
  fake::world.files["/data/f.bin"] = std::string(300, 'q');
  fake::world.dialogAnswers = {std::string("/data/f.bin")};
  Receive("\x1b[R" + Nak);  // and then no answer to the first block
  ASSERT_EQ(fake::world.messages.size(), 1u);
  EXPECT_EQ(fake::IndexOfCall("Draw Sending block"), -1);
  ExpectClearedScreen("stalled");
}

// Whatever happens, the old file stays whole unless the new one is saved, a user's file with the
// first temporary name is spared, and no temporary file is left.
TEST_F(TransferCommands, AReceivedFileReplacesTheChosenOneOnlyWhenWhole) {
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
    EXPECT_EQ(fake::world.messages.size(), c.message.empty() ? 0u : 1u) << c.name;
    if (!c.message.empty()) {
      EXPECT_EQ(fake::world.messages[0].text, c.message) << c.name;
    }
    ExpectClearedScreen(c.name);
  }
  ExpectInOrder({"CreateNewFile /data/~0.tmp", "CreateNewFile /data/~1.tmp", "WriteFile /data/~1.tmp",
                 "FlushFile /data/~1.tmp", "ReplaceFile /data/~1.tmp /data/old.bin"});
}

}  // namespace
