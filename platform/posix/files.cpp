// Files on Linux: plain descriptors used as FileHandle. Windows opens them with no sharing, so every
// open takes an exclusive flock and refuses a file that someone else holds locked.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace platform {

namespace {

FileHandle OpenExclusive(const char* path, int flags) {
  int fd = open(path, flags | O_CLOEXEC, 0644);
  if (fd < 0) return NoFile;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return NoFile;
  }
  return fd;
}

}  // namespace

FileHandle OpenFileForReading(const char* path) {
  return OpenExclusive(path, O_RDONLY);
}

FileHandle OpenFileForWriting(const char* path) {
  return OpenExclusive(path, O_WRONLY);
}

FileHandle CreateNewFile(const char* path) {
  return OpenExclusive(path, O_WRONLY | O_CREAT | O_EXCL);
}

int ReadFromFile(FileHandle file, void* buffer, int count) {
  if (count < 0) return -1;
  auto* bytes = static_cast<char*>(buffer);
  int done = 0;
  while (done < count) {
    ssize_t got = read(static_cast<int>(file), bytes + done, static_cast<size_t>(count - done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<int>(got);
  }
  return done;
}

int WriteToFile(FileHandle file, const void* buffer, int count) {
  if (count < 0) return -1;
  const auto* bytes = static_cast<const char*>(buffer);
  int done = 0;
  while (done < count) {
    ssize_t put = write(static_cast<int>(file), bytes + done, static_cast<size_t>(count - done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return -1;
    done += static_cast<int>(put);
  }
  return done;
}

bool FlushFile(FileHandle file) {
  return fsync(static_cast<int>(file)) == 0;
}

bool CloseFile(FileHandle file) {
  return file != NoFile && close(static_cast<int>(file)) == 0;
}

// The rename itself is on the disk only once the folder that holds both names is.
bool ReplaceFile(const char* fromPath, const char* toPath) {
  if (std::rename(fromPath, toPath) != 0) return false;
  std::string folder = toPath;
  const size_t slash = folder.rfind('/');
  folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = fsync(fd) == 0;
  close(fd);
  return synced;
}

bool RemoveFile(const char* path) {
  return unlink(path) == 0;
}

}  // namespace platform
