#include "transfer/transfer_commands.h"

#include <gtest/gtest.h>

#include <string>

#include "config/configuration.h"
#include "terminal/interpreter.h"
#include "terminal/screen.h"
#include "tests/fake/fake_platform.h"
#include "tests/unit/scripted_device.h"
#include "tests/unit/terminal_fixture.h"
#include "transfer/block_protocol.h"

namespace {

using TransferCommands = TerminalTest;

std::vector<std::string> BlocksOf(const std::string& data) {
  std::vector<std::string> blocks;
  for (size_t i = 0; i < data.size(); i += 128) {
    blocks.push_back(MakeBlock(static_cast<unsigned char>(1 + i / 128), data.substr(i, 128)));
  }
  return blocks;
}

void ExpectClearedScreen() {
  EXPECT_EQ(CursorX, 0);
  EXPECT_EQ(CursorY, 0);
  EXPECT_EQ(PendingText[0], 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(ScreenBuffer), 80), std::string(80, ' '));
}

TEST_F(TransferCommands, TheFilterOffersTheConfiguredDescriptionWithBin) {
  fake::world.dialogAnswers = {std::nullopt, std::nullopt};
  Receive("\x1b[R\x1b[T");
  EXPECT_EQ(fake::world.dialogTitles,
            (std::vector<std::string>{"Send which file?", "Save the received file as"}));
  EXPECT_EQ(fake::world.dialogFilters[0], "Binary files|*.bin|");

  std::snprintf(MessageLines[2], MessageLineSize, "%s", "A description of thirty-five chars");
  SendFileToDevice();
  EXPECT_EQ(fake::world.dialogFilters.back(), "A description of thirty-five |*.bin|");  // cut to 29

  MessageLines[2][0] = 0;
  SendFileToDevice();
  EXPECT_EQ(fake::world.dialogFilters.back(), "");  // no filter at all
}

TEST_F(TransferCommands, CancellingEitherDialogClearsTheScreenAndSendsNothing) {
  Receive("some text");
  fake::world.dialogAnswers = {std::nullopt};
  Receive("\x1b[R");
  ExpectClearedScreen();
  Receive("more");
  fake::world.dialogAnswers = {std::nullopt};
  Receive("\x1b[T");
  ExpectClearedScreen();
  EXPECT_TRUE(fake::world.sent.empty());
  EXPECT_TRUE(fake::world.messages.empty());
}

TEST_F(TransferCommands, SendingTakesTheFirst7680BytesOfTheChosenFile) {
  const std::string content = Pattern(10000, 4);
  fake::world.files["/data/big.bin"] = content;
  fake::world.dialogAnswers = {std::string("/data/big.bin")};
  fake::DeviceSends("\x1b[R");
  ReceivingDevice device;  // its NAK comes after the command
  Receive("");
  EXPECT_EQ(device.blocks.size(), 60u);
  EXPECT_EQ(device.accepted, content.substr(0, 7680));
  EXPECT_TRUE(fake::world.messages.empty());
  ExpectClearedScreen();
  EXPECT_EQ(fake::world.title.rfind(" Mirelox v2.2", 0), 0u);
}

TEST_F(TransferCommands, AFileThatCannotBeOpenedIsReportedAndNothingIsSent) {
  fake::world.dialogAnswers = {std::string("/data/gone.bin")};
  Receive("\x1b[R");
  ASSERT_EQ(fake::world.messages.size(), 1u);
  EXPECT_EQ(fake::world.messages[0].text, "Cannot open the file");
  EXPECT_TRUE(fake::world.sent.empty());
  ExpectClearedScreen();
}

TEST_F(TransferCommands, ReceivingWritesTheBlocksOnlyAfterTheTransfer) {
  const std::string data = Pattern(300, 2);
  fake::world.dialogAnswers = {std::string("/data/new.bin")};
  SendingDevice device(BlocksOf(data + std::string(84, '\x1a')));
  Receive("\x1b[T");
  ASSERT_EQ(fake::world.files.count("/data/new.bin"), 1u);
  EXPECT_EQ(fake::world.files["/data/new.bin"], data + std::string(84, '\x1a'));
  EXPECT_EQ(fake::world.files.count("/data/new.bin.part"), 0u);
  EXPECT_TRUE(fake::world.messages.empty());
  ExpectClearedScreen();

  fake::world.files["/data/old.bin"] = "old content";
  fake::world.dialogAnswers = {std::string("/data/old.bin")};
  SendingDevice again(BlocksOf(Pattern(128, 8)));
  Receive("\x1b[T");
  EXPECT_EQ(fake::world.files["/data/old.bin"], Pattern(128, 8));
}

TEST_F(TransferCommands, ANoConnectionLeavesTheChosenFileAlone) {
  fake::world.files["/data/old.bin"] = "old content";
  fake::world.dialogAnswers = {std::string("/data/old.bin"), std::string("/data/none.bin")};
  Receive("\x1b[T");
  EXPECT_EQ(fake::world.files["/data/old.bin"], "old content");
  EXPECT_EQ(fake::world.messages.back().text, "ERROR: No connection!");
  ExpectClearedScreen();

  SendingDevice silentMidway(BlocksOf(Pattern(256)));
  silentMidway.shape = [](int index, int, const std::string& b) { return index == 1 ? b.substr(0, 9) : b; };
  Receive("\x1b[T");
  EXPECT_EQ(fake::world.files.count("/data/none.bin"), 0u);
  EXPECT_EQ(fake::world.files.count("/data/none.bin.part"), 0u);
}

TEST_F(TransferCommands, AFailedSaveIsReportedAndNeverDestroysTheOldFile) {
  fake::world.files["/data/old.bin"] = "old content";
  fake::world.writeLimit["/data/old.bin.part"] = 100;  // a disk that fills up
  fake::world.dialogAnswers = {std::string("/data/old.bin")};
  SendingDevice device(BlocksOf(Pattern(256)));
  Receive("\x1b[T");
  ASSERT_EQ(fake::world.messages.size(), 1u);
  EXPECT_EQ(fake::world.messages[0].text, "Cannot create the file");
  EXPECT_EQ(fake::world.files["/data/old.bin"], "old content");
  EXPECT_EQ(fake::world.files.count("/data/old.bin.part"), 0u);

  fake::world.dialogAnswers = {std::string("/readonly/x.bin")};
  SendingDevice other(BlocksOf(Pattern(128)));
  Receive("\x1b[T");
  EXPECT_EQ(fake::world.messages.back().text, "Cannot create the file");
  EXPECT_EQ(fake::world.files.count("/readonly/x.bin"), 0u);
}

}  // namespace
