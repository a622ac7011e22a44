// Start-up and shutdown: the main window and its title, bytes reaching the screen, closing with
// code 0, the fatal missing-configuration box with code 1, and a port that cannot be opened.
#include <thread>

#include "support/terminal_test.h"

namespace e2e {
namespace {

using StartupTest = TerminalTest;

TEST_P(StartupTest, ShowsTitleDrawsReceivedBytesAndClosesWithCodeZero) {
  devsim::Device& device = AddDevice(1);
  workspace_.WriteConfiguration('1');
  StartProgram();
  ASSERT_NE(WaitForMainWindow(1), "");

  std::string title = WindowName(mainWindow_);
  EXPECT_EQ(title.substr(0, NormalTitlePrefix(1).size()), NormalTitlePrefix(1));
  EXPECT_EQ(CharacterCount(title), NormalTitlePrefix(1).size() + MakersNoticeLength) << title;

  Geometry window = WindowGeometry(mainWindow_);
  device.ClearScreen();
  SyncWith(device);
  Image before = Shot();
  device.PutText(3, 5, "Hello from the device");
  SyncWith(device);
  EXPECT_GT(NewInk(before, Shot(), {window.x, window.y, window.width, window.height}, 4).size(), 20u)
      << "the text sent by the device left no ink in the window";

  CloseWindow(mainWindow_);
  EXPECT_EQ(WaitForExit(), 0);
}

TEST_P(StartupTest, WithoutConfigurationShowsTheFatalBoxAndExitsWithCodeOne) {
  AddDevice(1);
  StartProgram();
  WindowId box = ExpectErrorBox(
      "ERROR: missing MIRELOX.CFG configuration file !!! \nCannot continue, program terminated.");
  ASSERT_NE(box, "");
  EXPECT_TRUE(FindWindows("Mirelox v2", Millis(0)).empty()) << "a main window exists beside the fatal box";
  CloseBox(box);
  EXPECT_EQ(WaitForExit(), 1);
}

TEST_P(StartupTest, PortThatCannotOpenIsReportedBeforeTheMainWindowExists) {
  workspace_.WriteConfiguration('1');
  StartProgram();  // COM1 leads nowhere
  WindowId box = ExpectErrorBox("Error: COM port cannot be opened!\nSelect another COM port.");
  ASSERT_NE(box, "");
  EXPECT_TRUE(FindWindows("Mirelox v2", Millis(0)).empty()) << "the main window came before the box";
  CloseBox(box);
  ASSERT_NE(WaitForMainWindow(1), "");
  CloseWindow(mainWindow_);
  EXPECT_EQ(WaitForExit(), 0);
}

E2E_FOR_BOTH_PROGRAMS(StartupTest);

}  // namespace
}  // namespace e2e
