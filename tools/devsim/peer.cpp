#include "devsim/peer.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace devsim {

namespace {

bool HoldsOpen(const std::string& pidDirectory, const std::string& devicePath) {
  std::string fdDirectory = pidDirectory + "/fd";
  DIR* fds = opendir(fdDirectory.c_str());
  if (!fds) return false;
  bool found = false;
  while (dirent* entry = readdir(fds)) {
    std::string link = fdDirectory + "/" + entry->d_name;
    char target[256];
    ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
    if (length > 0 && devicePath.compare(0, std::string::npos, target, length) == 0) {
      found = true;
      break;
    }
  }
  closedir(fds);
  return found;
}

}  // namespace

bool OtherProcessHolds(const std::string& devicePath) {
  DIR* processes = opendir("/proc");
  if (!processes) return false;
  pid_t self = getpid();
  bool found = false;
  while (dirent* entry = readdir(processes)) {
    char* end;
    long pid = std::strtol(entry->d_name, &end, 10);
    if (*end != '\0' || pid <= 0 || pid == self) continue;
    if (HoldsOpen(std::string("/proc/") + entry->d_name, devicePath)) {
      found = true;
      break;
    }
  }
  closedir(processes);
  return found;
}

bool ProcessAlive(pid_t pid) {
  return kill(pid, 0) == 0 || errno == EPERM;
}

}  // namespace devsim
