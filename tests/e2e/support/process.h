// Child processes for the end-to-end tests: the program under test, Xvfb, and short tool runs
// (xdotool, import, wine reg). Each child leads its own process group, so a kill takes along
// whatever it started (wine's helpers among them).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

using Millis = std::chrono::milliseconds;
using Environment = std::map<std::string, std::string>;  // added to (or replacing) the inherited one

class ChildProcess {
 public:
  // Output goes to outputPath (appended) when given, else to /dev/null. Throws when fork fails.
  ChildProcess(const std::vector<std::string>& argv, const Environment& environment,
               const std::string& workingDirectory, const std::string& outputPath = "");
  ~ChildProcess();  // kills the group if it still runs
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  std::optional<int> WaitForExit(Millis timeout);  // the exit code; nullopt while it still runs
  bool Running();
  void Kill();  // SIGKILL to the whole group, then reaps

 private:
  pid_t pid_;
  std::optional<int> exitCode_;
};

struct CommandResult {
  int exitCode = -1;   // -1: did not finish in time (killed)
  std::string output;  // standard output
};

// Runs a short command to its end (or kills it after timeout), capturing its standard output.
CommandResult RunCommand(const std::vector<std::string>& argv, const Environment& environment = {},
                         Millis timeout = Millis(20000));

}  // namespace e2e
