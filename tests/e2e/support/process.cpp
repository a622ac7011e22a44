#include "support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <thread>

namespace e2e {

namespace {

using Clock = std::chrono::steady_clock;

// Runs in the child after fork: only async-signal-safe calls until exec.
[[noreturn]] void ExecChild(const std::vector<std::string>& argv, const Environment& environment,
                            const std::string& workingDirectory, int outputFd, int inputFd) {
  setpgid(0, 0);
  if (inputFd >= 0) dup2(inputFd, 0);
  if (outputFd >= 0) {
    dup2(outputFd, 1);
    dup2(outputFd, 2);
  }
  if (!workingDirectory.empty() && chdir(workingDirectory.c_str()) != 0) _exit(126);
  for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

int DecodeStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const Environment& environment,
                           const std::string& workingDirectory, const std::string& outputPath) {
  int outputFd = open(outputPath.empty() ? "/dev/null" : outputPath.c_str(),
                      O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  int nullInput = open("/dev/null", O_RDONLY | O_CLOEXEC);
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
  if (pid_ == 0) ExecChild(argv, environment, workingDirectory, outputFd, nullInput);
  setpgid(pid_, pid_);
  close(outputFd);
  close(nullInput);
}

ChildProcess::~ChildProcess() {
  Kill();
}

std::optional<int> ChildProcess::WaitForExit(Millis timeout) {
  auto deadline = Clock::now() + timeout;
  while (!exitCode_) {
    int status;
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      exitCode_ = DecodeStatus(status);
      break;
    }
    if (done < 0 || Clock::now() >= deadline) break;
    std::this_thread::sleep_for(Millis(20));
  }
  return exitCode_;
}

bool ChildProcess::Running() {
  return !WaitForExit(Millis(0)).has_value();
}

void ChildProcess::Kill() {
  if (exitCode_) return;
  kill(-pid_, SIGKILL);
  kill(pid_, SIGKILL);
  int status;
  if (waitpid(pid_, &status, 0) == pid_) exitCode_ = DecodeStatus(status);
}

CommandResult RunCommand(const std::vector<std::string>& argv, const Environment& environment,
                         Millis timeout) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
    int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, 2);
    ExecChild(argv, environment, "", out[1], open("/dev/null", O_RDONLY));
  }
  setpgid(pid, pid);
  close(out[1]);
  CommandResult result;
  auto deadline = Clock::now() + timeout;
  // A child the command leaves behind (wineserver) may keep the pipe open, so the command's own
  // exit, not the end of its output, ends the wait.
  fcntl(out[0], F_SETFL, O_NONBLOCK);
  auto drain = [&] {
    char buffer[65536];
    ssize_t count;
    while ((count = read(out[0], buffer, sizeof buffer)) > 0) result.output.append(buffer, count);
  };
  int status;
  for (;;) {
    pollfd pfd = {out[0], POLLIN, 0};
    if (poll(&pfd, 1, 20) > 0 && (pfd.revents & POLLHUP)) std::this_thread::sleep_for(Millis(5));
    drain();
    if (waitpid(pid, &status, WNOHANG) == pid) {
      drain();
      result.exitCode = DecodeStatus(status);
      break;
    }
    if (Clock::now() >= deadline) {
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
  }
  close(out[0]);
  return result;
}

}  // namespace e2e
