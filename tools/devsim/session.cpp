#include "devsim/session.h"

#include <unistd.h>

#include <csignal>
#include <thread>

#include "devsim/peer.h"

namespace devsim {

namespace {

volatile std::sig_atomic_t stopAsked = 0;

void AskStop(int) {
  stopAsked = 1;
}

constexpr Millis CheckPeriod(300);
constexpr int AbsentChecksToEnd = 2;  // the port is closed and reopened when the user switches ports

}  // namespace

Session::Session(const Device& device, pid_t watchedPid) : device_(device), watchedPid_(watchedPid) {}

void Session::InstallStopSignals() {
  std::signal(SIGINT, AskStop);
  std::signal(SIGTERM, AskStop);
}

// Once the link is gone (its folder removed), nobody can reach this device any more.
bool Session::LinkIntact() const {
  char target[256];
  ssize_t length = readlink(device_.LinkPath().c_str(), target, sizeof target - 1);
  return length > 0 && device_.SlavePath().compare(0, std::string::npos, target, length) == 0;
}

bool Session::ProgramPresent() const {
  if (watchedPid_ > 0) return ProcessAlive(watchedPid_);
  return OtherProcessHolds(device_.SlavePath());
}

bool Session::WaitForProgram(Millis timeout) {
  auto deadline = Clock::now() + timeout;
  while (!stopAsked && LinkIntact() && Clock::now() < deadline) {
    if (ProgramPresent()) return true;
    std::this_thread::sleep_for(Millis(100));
  }
  return false;
}

bool Session::Running() {
  if (stopAsked) return false;
  auto now = Clock::now();
  if (now < nextCheck_) return true;
  nextCheck_ = now + CheckPeriod;
  if (!LinkIntact()) return false;
  absentChecks_ = ProgramPresent() ? 0 : absentChecks_ + 1;
  return absentChecks_ < AbsentChecksToEnd;
}

}  // namespace devsim
