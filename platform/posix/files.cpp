// Files on Linux: plain descriptors used as FileHandle. Windows opens them with no sharing, so the
// configuration and transferred files take an exclusive flock and refuse a file that someone else
// holds locked; text pages and the record of the line are shared.
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace platform {

namespace {

// A new file starts private (its data may not be the user's to show yet); ReplaceFile gives it the
// permissions it ends up with.
FileHandle OpenExclusive(const char* path, int flags) {
  int fd = open(path, flags | O_CLOEXEC, 0600);
  if (fd < 0) return NoFile;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return NoFile;
  }
  return fd;
}

}  // namespace

const char LineEnd[] = "\n";

FileHandle OpenFileForReading(const char* path) {
  return OpenExclusive(path, O_RDONLY);
}

FileHandle OpenFileForWriting(const char* path) {
  return OpenExclusive(path, O_WRONLY);
}

FileHandle CreateNewFile(const char* path) {
  return OpenExclusive(path, O_WRONLY | O_CREAT | O_EXCL);
}

FileHandle OpenFileForSharedReading(const char* path) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  return fd < 0 ? NoFile : fd;
}

FileHandle OpenFileForAppending(const char* path) {
  const int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  return fd < 0 ? NoFile : fd;
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

bool AppendWhole(FileHandle file, const void* buffer, int count) {
  const int fd = static_cast<int>(file);
  const off_t end = lseek(fd, 0, SEEK_END);
  if (end < 0) return false;
  if (WriteToFile(file, buffer, count) == count) return true;
  (void)!ftruncate(fd, end);
  return false;
}

bool IsSameFile(FileHandle file, const char* path) {
  struct stat open {
  }, named{};
  return fstat(static_cast<int>(file), &open) == 0 && stat(path, &named) == 0 &&
         open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

bool IsDevice(FileHandle file) {
  struct stat info {};
  return fstat(static_cast<int>(file), &info) == 0 && (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode));
}

bool FlushFile(FileHandle file) {
  return fsync(static_cast<int>(file)) == 0;
}

bool CloseFile(FileHandle file) {
  return file != NoFile && close(static_cast<int>(file)) == 0;
}

bool ResolveSaveTarget(const char* path, char* target, int size) {
  std::string resolved = path;
  char buffer[PATH_MAX];
  struct stat info {};
  if (lstat(path, &info) == 0 && S_ISLNK(info.st_mode)) {
    if (realpath(path, buffer) != nullptr) {
      resolved = buffer;
    } else {
      // A link to a file not made yet: the file is made where the link points.
      const ssize_t length = readlink(path, buffer, sizeof buffer - 1);
      if (length <= 0) return false;
      std::string to(buffer, static_cast<size_t>(length));
      const std::string from = path;
      const size_t slash = from.rfind('/');
      resolved = to[0] == '/' || slash == std::string::npos ? to : from.substr(0, slash + 1) + to;
    }
  }
  if (resolved.size() + 1 > static_cast<size_t>(size)) return false;
  std::memcpy(target, resolved.c_str(), resolved.size() + 1);
  return true;
}

// Windows refuses to replace a read-only file; here the owner's write permission and ownership
// stand for it. The replacement keeps the old file's permissions, so a private file stays private,
// and its group where the owner may give it that group, so the people it is shared with keep it.
bool ReplaceFile(const char* fromPath, const char* toPath) {
  struct stat old {};
  if (stat(toPath, &old) == 0) {
    if (old.st_uid != geteuid() || (old.st_mode & S_IWUSR) == 0) return false;
    if (chown(fromPath, static_cast<uid_t>(-1), old.st_gid) != 0 && errno != EPERM) return false;
    if (chmod(fromPath, old.st_mode & 07777) != 0) return false;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    if (chmod(fromPath, 0666 & ~mask) != 0) return false;
  }
  if (std::rename(fromPath, toPath) != 0) return false;
  // The rename is on the disk once the folder is; where the folder cannot be synced (it cannot be
  // listed, or its file system refuses), the file is saved all the same.
  std::string folder = toPath;
  const size_t slash = folder.rfind('/');
  folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
  return true;
}

bool RemoveFile(const char* path) {
  return unlink(path) == 0;
}

}  // namespace platform
