// The program as a whole: start-up and shutdown order, the main loop's turns and its sleep, the
// window's commands.
#include "app/program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/window_messages.h"
#include "config/configuration.h"
#include "serial/serial_port.h"
#include "terminal/screen.h"
#include "tests/unit/support.h"

namespace {

class Program : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetCore();
    fake::world.files["/prog/MIRELOX.CFG"] = StandardConfiguration;
  }
  void TearDown() override { ResetCore(); }
};

TEST_F(Program, StartsInOrderAndEndsWhenTheWindowIsClosed) {
  std::memset(ScreenBuffer, 0, sizeof ScreenBuffer);  // as a process starts
  fake::Post(msg::Close);
  EXPECT_EQ(MireloxMain(1), 0);
  ExpectInOrder({"OpenForReading /prog/MIRELOX.CFG", "OpenSerialDevice 1", "RegisterClass MIRELOX",
                 "OpenMainWindow MIRELOX mirelox", "ShowMainWindow", "SetTitle  Mirelox v2.2  |   COM1: ",
                 "LoadAccelerators", "DestroyMainWindow", "PostQuit", "CloseSerialDevice 1"});
  EXPECT_TRUE(fake::world.messages.empty());
  EXPECT_EQ(fake::world.openPort, 0);
  EXPECT_TRUE(fake::world.invalid && fake::world.eraseRequested);  // the first paint erases
  EXPECT_EQ(std::string(reinterpret_cast<char*>(ScreenBuffer), 2000), std::string(2000, ' '));
}

TEST_F(Program, WithoutConfigurationOrWindowNothingRuns) {
  fake::world.files.clear();
  EXPECT_THROW(MireloxMain(1), fake::ProcessExit);
  EXPECT_EQ(fake::IndexOfCall("OpenSerialDevice"), -1);
  EXPECT_EQ(fake::IndexOfCall("OpenMainWindow"), -1);
  ResetCore();
  fake::world.files["/prog/MIRELOX.CFG"] = StandardConfiguration;
  fake::world.windowCanBeCreated = false;
  EXPECT_EQ(MireloxMain(1), 0);
  EXPECT_TRUE(fake::world.messages.empty());
  EXPECT_EQ(fake::IndexOfCall("LoadAccelerators"), -1);
}

// Each turn: one message, then one byte. Only a turn that finds neither sleeps, and what arrives
// meanwhile is taken in the next turns in the usual order.
TEST_F(Program, TheLoopTakesAMessageThenAByteAndSleepsOnlyWhenIdle) {
  fake::Post(msg::Char, 'a');
  fake::Post(msg::Char, 'b');
  fake::DeviceSends("XY");
  fake::DeviceSends("Z", 1000);
  fake::Post(msg::Char, 'c', 1000);
  fake::Post(msg::Command, cmd::Exit, 2000);
  MireloxMain(1);
  ExpectInOrder(
      {"Sent a", "Draw X", "Sent b", "Draw Y", "Wait", "Sent c", "Draw Z", "Wait", "DestroyMainWindow"});
  int waits = 0;
  for (const std::string& call : fake::world.calls) waits += call == "Wait";
  EXPECT_EQ(waits, 2);
  EXPECT_GE(fake::world.nowUs, 2000 * 1000);
}

TEST_F(Program, WindowCommandsTheAboutDialogAndDefaultProcessing) {
  fake::Post(msg::Command, cmd::About);
  fake::Post(msg::Command, 999);
  fake::Post(3);  // WM_MOVE
  fake::Post(msg::Command, cmd::Exit);
  MireloxMain(1);
  ExpectInOrder({"RunAboutDialog open", "DefaultWindowProc 273", "DefaultWindowProc 3", "DestroyMainWindow"});
  EXPECT_FALSE(AboutDialogProc(msg::Command, 3) || AboutDialogProc(msg::Paint, 0));
  EXPECT_EQ(fake::IndexOfCall("EndAboutDialog"), -1);
  EXPECT_TRUE(AboutDialogProc(msg::Command, cmd::Cancel) && AboutDialogProc(msg::Command, cmd::Ok));
  ExpectInOrder({"EndAboutDialog 2", "EndAboutDialog 1"});
  StartTerminal();  // handled messages answer 0
  for (unsigned message : {msg::Create, msg::Size, msg::Activate, msg::SetFocus, msg::KillFocus, msg::Paint,
                           msg::KeyDown, msg::Char, msg::Command, msg::Destroy}) {
    EXPECT_EQ(MainWindowProc(message, message == msg::Command ? cmd::About : 0, 0), 0) << message;
  }
  EXPECT_EQ(MainWindowProc(msg::Command, cmd::Exit, 0), 0);
  EXPECT_EQ(fake::IndexOfCall("DefaultWindowProc"), -1);
}

}  // namespace
