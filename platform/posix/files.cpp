// Files on Linux: plain descriptors used as FileHandle. Windows opens them with no sharing, so every
// open takes an exclusive flock and refuses a file that someone else holds locked.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

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

FileHandle CreateFileAlways(const char* path) {
  // Truncate only once the lock is held, so a file another opener holds is left whole.
  FileHandle file = OpenExclusive(path, O_WRONLY | O_CREAT);
  if (file != NoFile && ftruncate(static_cast<int>(file), 0) != 0) {
    close(static_cast<int>(file));
    return NoFile;
  }
  return file;
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

bool CloseFile(FileHandle file) {
  return file != NoFile && close(static_cast<int>(file)) == 0;
}

bool ReplaceFile(const char* fromPath, const char* toPath) {
  return std::rename(fromPath, toPath) == 0;
}

bool RemoveFile(const char* path) {
  return unlink(path) == 0;
}

}  // namespace platform
