// What the fault tests set up around a program besides its devices: a tiny tmpfs that fills up,
// an exclusive lock held on a file (the lock the Linux program's own opens take), and the sizes of
// files the program writes (its log, to see whether it spins writing errors).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

// A tmpfs of the given size mounted over folder for the life of the object (needs root).
class TinyDisk {
 public:
  TinyDisk(const std::string& folder, size_t bytes);
  ~TinyDisk();  // detaches, also while a program still holds a file there
  TinyDisk(const TinyDisk&) = delete;
  TinyDisk& operator=(const TinyDisk&) = delete;

  bool Mounted() const { return error_.empty(); }
  const std::string& Error() const { return error_; }  // why the mount failed
  uint64_t FreeBytes() const;
  // Writes a file of that name taking all but freeBytes of the free space.
  bool FillLeaving(const std::string& fillerName, uint64_t freeBytes) const;

 private:
  std::string folder_;
  std::string error_;
};

// flock(LOCK_EX) on a file for the life of the object; Locked() is false when it could not be had.
class HeldLock {
 public:
  explicit HeldLock(const std::string& path);
  ~HeldLock();
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;
  bool Locked() const { return locked_; }

 private:
  int fd_ = -1;
  bool locked_ = false;
};

uint64_t FileSize(const std::string& path);                       // 0 when missing
std::vector<std::string> FolderEntries(const std::string& path);  // names, sorted

}  // namespace e2e
