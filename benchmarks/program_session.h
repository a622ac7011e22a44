// One run of a program under test for the benchmarks: a workspace with MIRELOX.CFG for COM1, a
// simulated device on COM1, the program started through the end-to-end tests' launcher (the Linux
// program directly, the Windows program under Wine) on their virtual display, and what a benchmark
// does with it: time the start to the main window, answer a file dialog, close it again.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "devsim/device.h"
#include "support/display.h"
#include "support/launcher.h"
#include "support/workspace.h"

namespace bench {

class ProgramSession {
 public:
  explicit ProgramSession(e2e::ProgramKind kind);
  ~ProgramSession();
  ProgramSession(const ProgramSession&) = delete;
  ProgramSession& operator=(const ProgramSession&) = delete;

  std::string Missing() const { return launcher_->Missing(); }  // why the program cannot start
  // Starts the program; the seconds from its start until the main window with the normal title is
  // visible, or nothing when no such window came.
  std::optional<double> StartAndTimeWindow();
  // Waits for the file dialog with this title and chooses path in it.
  bool AnswerFileDialog(const std::string& title, const std::string& path);
  bool Close();  // closes the main window and waits for the program to end with code 0

  devsim::Device& Device() { return device_; }
  const e2e::Workspace& Workspace() const { return workspace_; }

 private:
  e2e::Workspace workspace_;
  devsim::Device device_;
  std::unique_ptr<e2e::Launcher> launcher_;
  std::unique_ptr<e2e::ChildProcess> program_;
  e2e::WindowId mainWindow_;
};

}  // namespace bench
