// One run of a program for the benchmarks, with nothing but this file's own helpers: a temporary
// workspace holding MIRELOX.CFG (and, for Wine, a copy of mirelox.exe of either bits, run in a
// prefix of its own), a simulated device on a link in it that the program opens as COM1, the
// program started in that folder on the display named by DISPLAY (scripts/bench.sh starts an Xvfb
// for the whole run), and what a benchmark does with it: time the start to the main window, answer
// a file dialog, close the window, and name the processes whose processor time counts. Windows are
// found and driven by running xdotool.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "devsim/device.h"

namespace bench {

enum class Program { Linux, Wine32, Wine64 };
std::string ProgramName(Program program);  // "Linux", "Wine 32-bit" or "Wine 64-bit", as the table names them

// How a session runs the program. AnswerModemStatus preloads the modem-lines library into Wine and
// its server, so that WaitCommEvent pends on the pseudo-terminal as on a real port; without it,
// Wine ends every such wait at once and the Windows program looks at the line every millisecond.
enum class Setup { Plain, RecordLine, AnswerModemStatus };

// The dialog titles of the workspace's MIRELOX.CFG (its lines 3 and 5).
extern const char OpenDialogTitle[];
extern const char SaveDialogTitle[];

// User plus system time so far, from /proc, of a whole process (all its threads) or of one of its
// threads (the main one has the process's number); -1 when gone.
double ProcessorSeconds(pid_t pid);
double ThreadProcessorSeconds(pid_t process, pid_t thread);

class ProgramSession {
 public:
  // With Setup::RecordLine, the program keeps a record of the line (--log) in the workspace.
  explicit ProgramSession(Program program, Setup setup = Setup::Plain);
  ~ProgramSession();  // kills the program if it still runs, and removes the workspace
  ProgramSession(const ProgramSession&) = delete;
  ProgramSession& operator=(const ProgramSession&) = delete;

  std::string Missing() const;  // why the program cannot start here; empty when it can

  // Starts the program; the seconds from its start until the main window with the normal title is
  // visible, or nothing when no such window came.
  std::optional<double> StartAndTimeWindow();
  // Waits for the file dialog with this title and chooses path in it.
  bool AnswerFileDialog(const std::string& title, const std::string& path);
  bool Close();  // File > Exit in the main window, then the wait for the program to end with code 0

  // The process that runs the program (mirelox, or mirelox.exe under Wine), and the wineserver of
  // the program's Wine prefix (0 for the Linux program, or when not found).
  pid_t ProgramProcess() const;
  pid_t WineServerProcess() const;

  devsim::Device& Device() { return device_; }
  std::string Path(const std::string& name) const { return root_ + "/" + name; }
  void WriteFile(const std::string& path, const devsim::Bytes& bytes) const;
  devsim::Bytes ReadFile(const std::string& path) const;  // empty when missing

 private:
  static std::string MakeWorkspace();

  Program program_;
  Setup setup_;
  std::string root_;
  devsim::Device device_;
  pid_t child_ = 0;  // leads its own process group
  bool started_ = false;
  std::string mainWindow_;
};

}  // namespace bench
