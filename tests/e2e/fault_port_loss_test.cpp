// The line going away under the program: the device's side of the pseudo-terminal closes while
// the program is idle, inside an escape sequence, while it sends its identification reply and in
// the middle of a received file. The program must neither crash nor spin writing errors, must keep
// answering (another port can be chosen and used, the window closes with code 0) and must leave
// no partial file.
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
constexpr Millis Slack(2500);
constexpr uint64_t QuietLogGrowth = 1024;  // bytes a program may log while nothing happens
constexpr uint64_t MaxLinuxLog = 4096;     // all the Linux program may log in the whole test

class FaultPortLossTest : public TerminalTest {
 protected:
  uint64_t LogSize() const { return FileSize(workspace_.Path("program.log")); }

  std::string LogExcerpt(uint64_t from, size_t length) const {
    Bytes log = workspace_.Read(workspace_.Path("program.log"));
    if (from >= log.size()) return "";
    return std::string(log.begin() + from, log.begin() + std::min<uint64_t>(log.size(), from + length));
  }

  // A program failing in a loop would go on writing its complaint while nothing happens. What a
  // line loss sets off once is let pass first: under Wine, wineserver holds the pty as its
  // controlling terminal, and the SIGHUP of the closing master makes it dump its object table
  // (about 2 MB) into the output it shares with the program, once per loss.
  void ExpectQuietLog(const std::string& after) {
    std::this_thread::sleep_for(Millis(500));
    uint64_t before = LogSize();
    std::this_thread::sleep_for(Millis(1000));
    uint64_t grown = LogSize() - before;
    EXPECT_LE(grown, QuietLogGrowth) << "the program kept writing output " << after << ", starting with:\n"
                                     << LogExcerpt(before, 600);
    EXPECT_TRUE(program_->Running()) << "the program ended " << after;
  }

  void SwitchToPort(int port, Millis timeout) {
    FocusWindow(mainWindow_);
    PressKeys({"F" + std::to_string(port)});
    EXPECT_TRUE(WaitForTitle(port, timeout)) << "no switch to COM" << port << ": " << WindowName(mainWindow_);
  }
};

TEST_P(FaultPortLossTest, LineClosedIdleInASequenceWhileSendingAndMidFileIsSurvived) {
  for (int port = 1; port <= 5; ++port) AddDevice(port);
  workspace_.WriteConfiguration('1');
  std::string files = workspace_.Path("files");
  std::filesystem::create_directories(files);
  std::string kept = files + "/kept.bin";
  Bytes keptBytes(700, 'k');
  workspace_.Write(kept, keptBytes);
  StartProgram();
  ASSERT_NE(WaitForMainWindow(1), "");
  SyncWith(Device(1));

  // Idle.
  RemoveDevice(1);
  ExpectQuietLog("after the line closed while idle");
  SwitchToPort(2, Millis(5000));

  // Inside an escape sequence: the terminal waits for the rest, then takes the queued F3.
  Device(2).Send("\x1b[0");
  std::this_thread::sleep_for(Millis(300));
  RemoveDevice(2);
  auto closed = Clock::now();
  SwitchToPort(3, SilenceLimit + Slack + Millis(2000));
  auto waited = std::chrono::duration_cast<Millis>(Clock::now() - closed);
  EXPECT_LE(waited, SilenceLimit + Slack) << "F3 took " << waited.count() << " ms";
  // Earlier would mean the terminal was not inside the sequence when the line closed.
  EXPECT_GE(waited, SilenceLimit - Millis(2000)) << "F3 took only " << waited.count() << " ms";
  ExpectQuietLog("after the line closed inside an escape sequence");

  // While it sends its paced identification reply.
  Device(3).Send(Bytes{devsim::Esc, 0xFF, 0x7F, 0x08, 0x0C, 0x0A});
  uint8_t first = 0;
  ASSERT_TRUE(Device(3).ReceiveByte(&first, ReplyTimeout)) << "no identification reply began";
  RemoveDevice(3);
  ExpectQuietLog("after the line closed while it was sending");
  SwitchToPort(4, Millis(5000));

  // In the middle of a file coming in under the name of an existing one.
  Device(4).OfferFileToTerminal();
  ChooseFile(TestMessageLines[5], kept);
  devsim::GiveFaults faults;
  faults.silentInBlock = 2;
  devsim::GiveResult given = devsim::GiveFileToTerminal(Device(4), Pattern(4 * BlockSize, 7), faults);
  ASSERT_EQ(given.blocksSent, 1) << given.failure;
  std::this_thread::sleep_for(Millis(300));
  RemoveDevice(4);
  WindowId box = ExpectErrorBox("ERROR: No connection!");
  ASSERT_NE(box, "");
  CloseBox(box);
  EXPECT_TRUE(WaitForTitle(4, Millis(3000))) << WindowName(mainWindow_);
  EXPECT_EQ(workspace_.Read(kept), keptBytes) << "the existing file was changed";
  EXPECT_EQ(FolderEntries(files), std::vector<std::string>{"kept.bin"}) << "a partial file was left behind";

  // Still the whole program: a fresh line works, and the window closes normally.
  SwitchToPort(5, Millis(5000));
  FocusWindow(mainWindow_);
  PressKeys({"k"});
  EXPECT_EQ(devsim::Printable(Device(5).Receive(1, ReplyTimeout)), "k");
  SyncWith(Device(5));
  CloseWindow(mainWindow_);
  EXPECT_EQ(WaitForExit(), 0);
  if (!IsWine()) {  // the Wine program's output also holds Wine's window trace and wineserver's dumps
    EXPECT_LE(LogSize(), MaxLinuxLog) << "the program wrote much output, starting with:\n"
                                      << LogExcerpt(0, 600);
  }
}

E2E_FOR_BOTH_PROGRAMS(FaultPortLossTest);

}  // namespace
}  // namespace e2e
