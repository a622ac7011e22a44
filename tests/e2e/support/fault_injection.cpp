#include "support/fault_injection.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace e2e {

TinyDisk::TinyDisk(const std::string& folder, size_t bytes) : folder_(folder) {
  std::string options = "size=" + std::to_string(bytes);
  if (mount("tmpfs", folder_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0)
    error_ = "mount -t tmpfs -o " + options + " " + folder_ + ": " + std::strerror(errno);
}

TinyDisk::~TinyDisk() {
  if (Mounted()) umount2(folder_.c_str(), MNT_DETACH);
}

uint64_t TinyDisk::FreeBytes() const {
  struct statvfs info {};
  if (statvfs(folder_.c_str(), &info) != 0) return 0;
  return static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
}

bool TinyDisk::FillLeaving(const std::string& fillerName, uint64_t freeBytes) const {
  uint64_t available = FreeBytes();
  if (available < freeBytes) return false;
  std::ofstream filler(folder_ + "/" + fillerName, std::ios::binary | std::ios::trunc);
  std::string chunk(available - freeBytes, 'f');
  filler.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
  filler.close();
  return static_cast<bool>(filler) && FreeBytes() == freeBytes;
}

HeldLock::HeldLock(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
  locked_ = fd_ >= 0 && flock(fd_, LOCK_EX | LOCK_NB) == 0;
}

HeldLock::~HeldLock() {
  if (fd_ >= 0) close(fd_);
}

uint64_t FileSize(const std::string& path) {
  std::error_code error;
  uint64_t size = std::filesystem::file_size(path, error);
  return error ? 0 : size;
}

std::vector<std::string> FolderEntries(const std::string& path) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(path, error))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace e2e
