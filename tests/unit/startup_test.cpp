#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/main_window.h"
#include "app/program.h"
#include "app/window_messages.h"
#include "config/configuration.h"
#include "serial/serial_port.h"
#include "tests/fake/fake_platform.h"
#include "tests/unit/terminal_fixture.h"

namespace {

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetCoreState();
    fake::world.files["/prog/MIRELOX.CFG"] = StandardConfiguration;
  }
  void TearDown() override { ComPort.close(); }
};

// The position of the first call that starts with prefix, or -1.
int IndexOf(const std::string& prefix) {
  const auto& calls = fake::world.calls;
  for (size_t i = 0; i < calls.size(); ++i) {
    if (calls[i].rfind(prefix, 0) == 0) return static_cast<int>(i);
  }
  return -1;
}

TEST_F(StartupTest, StartsInOrderAndEndsWhenTheWindowIsClosed) {
  fake::Post(msg::Close);
  EXPECT_EQ(MireloxMain(1), 0);
  const int configuration = IndexOf("OpenForReading /prog/MIRELOX.CFG");
  const int port = IndexOf("OpenSerialDevice 1");
  const int window = IndexOf("OpenMainWindow MIRELOX mirelox");
  const int shown = IndexOf("ShowMainWindow");
  const int title = IndexOf("SetTitle  Mirelox v2.2  |   COM1: ");
  const int accelerators = IndexOf("LoadAccelerators");
  const int destroyed = IndexOf("DestroyMainWindow");
  const int quit = IndexOf("PostQuit");
  const int closed = IndexOf("CloseSerialDevice 1");
  EXPECT_GE(configuration, 0);
  EXPECT_LT(configuration, port);
  EXPECT_LT(port, window);
  EXPECT_LT(window, shown);
  EXPECT_LT(shown, title);
  EXPECT_LT(title, accelerators);
  EXPECT_LT(accelerators, destroyed);
  EXPECT_LT(destroyed, quit);
  EXPECT_LT(quit, closed);  // the quit message is posted, then the port closed
  EXPECT_TRUE(fake::world.messages.empty());
  EXPECT_EQ(fake::world.openPort, 0);
}

TEST_F(StartupTest, PortDigitChoosesThePortAndAFailedOpenIsReportedWithoutOwner) {
  fake::world.files["/prog/MIRELOX.CFG"][0] = '3';
  fake::Post(msg::Command, 105);
  MireloxMain(1);
  EXPECT_GE(IndexOf("OpenSerialDevice 3"), 0);
  EXPECT_EQ(CurrentPort, 3);

  ComPort.close();
  fake::Reset();
  fake::world.files["/prog/MIRELOX.CFG"] = StandardConfiguration;
  fake::world.files["/prog/MIRELOX.CFG"][0] = 'A';
  fake::Post(msg::Command, 105);
  EXPECT_EQ(MireloxMain(1), 0);
  EXPECT_EQ(CurrentPort, 17);
  ASSERT_EQ(fake::world.messages.size(), 1u);
  EXPECT_EQ(fake::world.messages[0].text, "Error: COM port cannot be opened!\nSelect another COM port.");
  EXPECT_FALSE(fake::world.messages[0].ownedByMainWindow);
  EXPECT_LT(IndexOf("ShowMessage"), IndexOf("OpenMainWindow"));
  EXPECT_NE(fake::world.title.find("COM17:"), std::string::npos);
}

TEST_F(StartupTest, MissingConfigurationEndsBeforeAnythingElse) {
  fake::world.files.clear();
  EXPECT_THROW(MireloxMain(1), fake::ProcessExit);
  EXPECT_EQ(IndexOf("OpenSerialDevice"), -1);
  EXPECT_EQ(IndexOf("OpenMainWindow"), -1);
}

TEST_F(StartupTest, AWindowThatCannotBeCreatedEndsWithZero) {
  fake::world.windowCanBeCreated = false;
  EXPECT_EQ(MireloxMain(1), 0);
  EXPECT_TRUE(fake::world.messages.empty());
  EXPECT_EQ(IndexOf("LoadAccelerators"), -1);
}

TEST_F(StartupTest, EachTurnTakesOneMessageThenOneByte) {
  fake::Post(msg::Char, 'a');
  fake::Post(msg::Char, 'b');
  fake::Post(msg::Command, 105);
  fake::DeviceSends("XY");
  MireloxMain(1);
  const int sentA = IndexOf("Sent a");
  const int drawnX = IndexOf("Draw X");
  const int sentB = IndexOf("Sent b");
  const int drawnY = IndexOf("Draw Y");
  ASSERT_GE(sentA, 0);
  EXPECT_LT(sentA, drawnX);
  EXPECT_LT(drawnX, sentB);
  EXPECT_LT(sentB, drawnY);
}

TEST_F(StartupTest, WindowCommandsAndTheAboutDialog) {
  fake::Post(msg::Command, 104);
  fake::Post(msg::Command, 999);
  fake::Post(msg::Command, 105);
  MireloxMain(1);
  EXPECT_GE(IndexOf("RunAboutDialog"), 0);
  EXPECT_TRUE(fake::world.aboutOpen);
  EXPECT_GE(IndexOf("DefaultWindowProc 273"), 0);  // an unknown command goes to default processing

  EXPECT_TRUE(AboutDialogProc(msg::Command, cmd::Cancel));
  EXPECT_FALSE(fake::world.aboutOpen);
  EXPECT_GE(IndexOf("EndAboutDialog 2"), 0);
  EXPECT_FALSE(AboutDialogProc(msg::Command, 3));
  EXPECT_FALSE(AboutDialogProc(msg::Paint, 0));
  EXPECT_TRUE(AboutDialogProc(msg::Command, cmd::Ok));
  EXPECT_GE(IndexOf("EndAboutDialog 1"), 0);
}

}  // namespace
