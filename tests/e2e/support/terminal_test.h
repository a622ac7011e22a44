// The fixture every end-to-end test uses, run once for each program (Linux and Wine): a workspace
// with MIRELOX.CFG, simulated devices on COM ports, the program started against them on the
// virtual display, and the helpers the tests share (window title, sync with the interpreter, the
// screen's cell grid, file dialogs and message boxes). A program left running is killed at the end.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "devsim/block_transfer.h"
#include "devsim/device.h"
#include "gtest/gtest.h"
#include "support/display.h"
#include "support/launcher.h"
#include "support/workspace.h"

namespace e2e {

constexpr Millis WindowTimeout(30000);
constexpr Millis ExitTimeout(20000);
constexpr Millis ReplyTimeout(5000);

std::string NormalTitlePrefix(int port);  // the title up to the maker's notice
constexpr size_t MakersNoticeLength = 23;
size_t CharacterCount(const std::string& utf8);

// Where the screen's cells lie on the display, measured from glyphs drawn at known cells.
struct CellGrid {
  double left = 0, top = 0, width = 0, height = 0;  // of row 1, column 1
  Rect Cell(int row, int column) const;             // both from 1
  Rect Inside(int row, int column) const;           // the cell less a 1-pixel border
};

class TerminalTest : public testing::TestWithParam<ProgramKind> {
 protected:
  void SetUp() override;
  void TearDown() override;

  devsim::Device& AddDevice(int port);  // a fresh pty, linked in the workspace, for COM<port>
  devsim::Device& Device(int port = 1) { return *devices_.at(port); }
  // Ends the device on COM<port>: its pty master closes under the program and its link goes.
  void RemoveDevice(int port) { devices_.erase(port); }
  // Starts the program with the ports of the devices added so far (plus extra ones given).
  void StartProgram(const PortMap& extraPorts = {});
  // A device on COM1, a configuration naming it, a "files" folder, the program and its window.
  void StartWithDevice();
  // Waits for the main window with the normal title of port; fails the test when it does not come.
  WindowId WaitForMainWindow(int port = 1);
  bool WaitForTitle(int port, Millis timeout = Millis(10000));  // the normal title of that port
  std::optional<int> WaitForExit(Millis timeout = ExitTimeout) { return program_->WaitForExit(timeout); }
  // The interpreter handles bytes in order: once the identification reply is back, everything
  // sent before it has been drawn.
  void SyncWith(devsim::Device& device);
  Image Shot();                                      // a screenshot; fails the test when none could be taken
  CellGrid MeasureCellGrid(devsim::Device& device);  // clears the screen; fails the test on trouble
  void ChooseFile(const std::string& dialogTitle, const std::string& path);
  // Answers Yes to the question a Save dialog asks before it accepts a name that does not exist.
  void ConfirmCreation(const std::string& dialogTitle);
  void CancelFileDialog(const std::string& dialogTitle);
  // Waits for a message box titled "Error" and checks its text where the program lets it be read.
  WindowId ExpectErrorBox(const std::string& text);
  void CloseBox(const WindowId& box);  // Return, then waits for it to go

  std::string ConfigPath() const { return workspace_.ProgramFolder() + "/MIRELOX.CFG"; }
  bool IsWine() const { return GetParam() == ProgramKind::Wine; }

  Workspace workspace_;
  std::unique_ptr<Launcher> launcher_;
  std::map<int, std::unique_ptr<devsim::Device>> devices_;
  std::unique_ptr<ChildProcess> program_;
  WindowId mainWindow_;
};

std::string ProgramParamName(const testing::TestParamInfo<ProgramKind>& info);

#define E2E_FOR_BOTH_PROGRAMS(Suite)                                                         \
  INSTANTIATE_TEST_SUITE_P(Programs, Suite,                                                  \
                           testing::Values(e2e::ProgramKind::Linux, e2e::ProgramKind::Wine), \
                           e2e::ProgramParamName)

}  // namespace e2e
