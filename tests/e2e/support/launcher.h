// Starting the program under test, the same way for both builds: the Linux program with its COM
// ports named by MIRELOX_COM<n> and its MIRELOX.CFG in its working folder, or the Windows program
// copied beside its MIRELOX.CFG and run by Wine with the COM ports mapped in the shared prefix.
// The launcher also knows how its program's file dialogs and message boxes are driven.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "support/display.h"
#include "support/process.h"
#include "support/workspace.h"

namespace e2e {

enum class ProgramKind { Linux, Wine };
std::string KindName(ProgramKind kind);
void PrintTo(ProgramKind kind, std::ostream* out);  // names the program in test output

using PortMap = std::map<int, std::string>;  // COM number -> device path; others lead nowhere

class Launcher {
 public:
  virtual ~Launcher() = default;
  virtual ProgramKind Kind() const = 0;
  // Empty when the program can be started, else why not (the test then fails).
  virtual std::string Missing() const = 0;
  virtual std::unique_ptr<ChildProcess> Start(const Workspace& workspace, const PortMap& ports) = 0;
  // Types path into the file dialog that has just appeared (its title matching titlePattern), and
  // confirms it.
  virtual void ChooseInFileDialog(const WindowId& dialog, const std::string& titlePattern,
                                  const std::string& path) = 0;
  // Whether a Save dialog asks before it accepts a name that does not exist. The GTK chooser asks;
  // Wine's common dialog does not, although the program asks it to (OFN_CREATEPROMPT).
  virtual bool SaveDialogAsksBeforeCreating() const = 0;
  // The text of the message box shown last (read from the program's trace, not the screen).
  virtual std::optional<std::string> MessageBoxText(const WindowId& box) = 0;
  virtual void CleanUp() {}  // after the program has ended or been killed
};

std::unique_ptr<Launcher> MakeLauncher(ProgramKind kind);

}  // namespace e2e
