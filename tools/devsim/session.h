// How long a command-line session lasts: until the program that opened the pty has gone (closed
// its port or exited, or the process given with --pid has ended), the link to the pty has been
// removed, or a signal asks to stop.
#pragma once

#include <sys/types.h>

#include <string>

#include "devsim/device.h"

namespace devsim {

class Session {
 public:
  Session(const Device& device, pid_t watchedPid);  // watchedPid 0: watch the pty instead
  // Waits until the program holds the port; false when the session ended first.
  bool WaitForProgram(Millis timeout);
  bool Running();  // false once the program is gone or a stop was asked for
  static void InstallStopSignals();

 private:
  bool ProgramPresent() const;
  bool LinkIntact() const;

  const Device& device_;
  pid_t watchedPid_;
  Clock::time_point nextCheck_{};
  int absentChecks_ = 0;
};

}  // namespace devsim
