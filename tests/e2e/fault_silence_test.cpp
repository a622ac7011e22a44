// A device that falls silent: inside an escape sequence the terminal gives the sequence up after
// ten seconds and then takes keys and draws text again; inside a transfer, either way, it reports
// "ERROR: No connection!", puts the normal title back and writes no file.
#include <filesystem>
#include <thread>

#include "support/fault_injection.h"
#include "support/terminal_test.h"

namespace e2e {
namespace {

using devsim::BlockSize;
using devsim::Bytes;
using Clock = std::chrono::steady_clock;

constexpr Millis SilenceLimit(10000);
constexpr Millis Slack(2500);  // polling, window lookup and a loaded machine

class FaultSilenceTest : public TerminalTest {
 protected:
  // The box must come once the silence has lasted the limit, and not much later.
  WindowId ExpectNoConnectionBox(Clock::time_point silenceBegan) {
    WindowId box = ExpectErrorBox("ERROR: No connection!");
    auto waited = std::chrono::duration_cast<Millis>(Clock::now() - silenceBegan);
    EXPECT_LE(waited, SilenceLimit + Slack) << "the box came " << waited.count() << " ms into the silence";
    return box;
  }

  bool WaitForWindowName(const std::string& name, Millis timeout) {
    auto deadline = Clock::now() + timeout;
    while (WindowName(mainWindow_) != name) {
      if (Clock::now() >= deadline) return false;
      std::this_thread::sleep_for(Millis(50));
    }
    return true;
  }
};

TEST_P(FaultSilenceTest, SilenceIsGivenUpInAnEscapeSequenceAndReportedInATransfer) {
  StartWithDevice();
  devsim::Device& device = Device();
  CellGrid grid = MeasureCellGrid(device);
  ASSERT_FALSE(HasFailure());
  Image before = Shot();
  FocusWindow(mainWindow_);

  // Inside an escape sequence: a cursor move that never ends.
  device.Send("\x1b[05");
  auto silenceBegan = Clock::now();
  std::this_thread::sleep_for(Millis(500));
  PressKeys({"k"});
  Bytes key = device.Receive(1, SilenceLimit + Slack + Millis(2000));
  auto waited = std::chrono::duration_cast<Millis>(Clock::now() - silenceBegan);
  ASSERT_EQ(devsim::Printable(key), "k") << "the key typed during the silence never reached the device";
  EXPECT_LE(waited, SilenceLimit + Slack) << "the window took " << waited.count() << " ms to answer";
  // Earlier would mean the terminal never waited inside the sequence, and this test proved nothing.
  EXPECT_GE(waited, SilenceLimit - Millis(1000)) << "the key arrived " << waited.count() << " ms in";

  device.PutText(5, 10, "HHHH");
  SyncWith(device);
  Rect row5 = grid.Cell(5, 10);
  row5.width = grid.Cell(5, 14).x - row5.x;
  EXPECT_GT(NewInk(before, Shot(), row5, 4).size(), 20u) << "text sent after the silence was not drawn there";

  // Receiving: the device stops in the middle of block 2.
  std::string fresh = workspace_.Path("files/fresh.bin");
  device.OfferFileToTerminal();
  ChooseFile(TestMessageLines[5], fresh);
  ConfirmCreation(TestMessageLines[5]);
  devsim::GiveFaults giveFaults;
  giveFaults.silentInBlock = 2;
  devsim::GiveResult given = devsim::GiveFileToTerminal(device, Pattern(4 * BlockSize, 5), giveFaults);
  silenceBegan = Clock::now();
  ASSERT_EQ(given.blocksSent, 1) << given.failure;
  // The title counts the blocks while the terminal waits, so that it can be seen to come back.
  EXPECT_TRUE(WaitForWindowName(TestMessageLines[6] + "1", Millis(3000)))
      << "the title never showed block 1 arriving: " << WindowName(mainWindow_);
  WindowId box = ExpectNoConnectionBox(silenceBegan);
  ASSERT_NE(box, "");
  CloseBox(box);
  EXPECT_TRUE(WaitForTitle(1, Millis(3000))) << WindowName(mainWindow_);
  EXPECT_EQ(FolderEntries(workspace_.Path("files")), std::vector<std::string>{})
      << "a file was left behind by the broken receive";

  // Sending: the device takes block 2 and never answers it.
  std::string out = workspace_.Path("files/out.bin");
  Bytes file = Pattern(5 * BlockSize, 6);
  workspace_.Write(out, file);
  device.RequestFileFromTerminal();
  ChooseFile(TestMessageLines[3], out);
  devsim::TakeFaults takeFaults;
  takeFaults.silentAfterBlock = 2;
  devsim::TakeResult taken = devsim::TakeFileFromTerminal(device, takeFaults);
  silenceBegan = Clock::now();
  ASSERT_EQ(taken.blocksReceived, 2) << taken.failure;
  EXPECT_TRUE(WaitForWindowName(TestMessageLines[9] + "2", Millis(3000)))
      << "the title never showed block 2 going out: " << WindowName(mainWindow_);
  box = ExpectNoConnectionBox(silenceBegan);
  ASSERT_NE(box, "");
  EXPECT_EQ(devsim::Printable(device.ReceiveFor(Millis(0))), "")
      << "the terminal went on sending after a block nobody answered";
  CloseBox(box);
  EXPECT_TRUE(WaitForTitle(1, Millis(3000))) << WindowName(mainWindow_);
  EXPECT_EQ(workspace_.Read(out), file);
  SyncWith(device);
}

E2E_FOR_BOTH_PROGRAMS(FaultSilenceTest);

}  // namespace
}  // namespace e2e
