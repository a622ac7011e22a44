// File search on Linux, in the order of the Windows search path: the program's own folder, the
// current directory, then each folder of PATH. Names are case-sensitive here.
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace platform {

namespace {

bool HasExtension(const std::string& name) {
  size_t slash = name.rfind('/');
  size_t dot = name.rfind('.');
  return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

bool IsFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string ProgramFolder() {
  char exe[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (length <= 0) return "";
  std::string path(exe, static_cast<size_t>(length));
  return path.substr(0, path.rfind('/') + 1);
}

std::string CurrentFolder() {
  char cwd[PATH_MAX];
  return getcwd(cwd, sizeof cwd) != nullptr ? std::string(cwd) + "/" : "";
}

bool Deliver(const std::string& path, char* foundPath, int size) {
  if (size <= 0 || path.size() + 1 > static_cast<size_t>(size)) return false;
  std::memcpy(foundPath, path.c_str(), path.size() + 1);
  return true;
}

}  // namespace

bool SearchFile(const char* name, const char* extension, char* foundPath, int size) {
  if (name == nullptr || name[0] == '\0') return false;
  std::string file = name;
  if (extension != nullptr && !HasExtension(file)) file += extension;

  // A name with a folder in it is looked for there only.
  if (file.find('/') != std::string::npos) {
    std::string path = file[0] == '/' ? file : CurrentFolder() + file;
    return IsFile(path) && Deliver(path, foundPath, size);
  }

  std::string candidate = ProgramFolder() + file;
  if (IsFile(candidate)) return Deliver(candidate, foundPath, size);
  candidate = CurrentFolder() + file;
  if (IsFile(candidate)) return Deliver(candidate, foundPath, size);

  const char* searchPath = std::getenv("PATH");
  std::string folders = searchPath != nullptr ? searchPath : "";
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    std::string folder = folders.substr(start, end - start);
    if (!folder.empty()) {
      candidate = folder + "/" + file;
      if (IsFile(candidate)) return Deliver(candidate, foundPath, size);
    }
    start = end + 1;
  }
  return false;
}

}  // namespace platform
