// Files, the clock and process exit for the core: synchronous, exclusive file access through
// CreateFileA handles, the executable search path for finding files, Sleep and a monotonic clock.
#include <windows.h>
// winbase.h maps ReplaceFile to ReplaceFileA; here it names the seam's own function.
#undef ReplaceFile

#include <cstdlib>

#include "platform/platform.h"

namespace platform {

namespace {

HANDLE AsHandle(FileHandle file) {
  return reinterpret_cast<HANDLE>(file);
}

FileHandle Open(const char* path, DWORD access, DWORD sharing, DWORD disposition) {
  HANDLE file = CreateFileA(path, access, sharing, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  return reinterpret_cast<FileHandle>(file);  // INVALID_HANDLE_VALUE is NoFile
}

FileHandle OpenExclusive(const char* path, DWORD access, DWORD disposition) {
  return Open(path, access, 0, disposition);
}

}  // namespace

const char LineEnd[] = "\r\n";

void SleepMs(int milliseconds) {
  Sleep(milliseconds);
}

int64_t NowMs() {
  // The performance counter: GetTickCount64 moves in whole scheduler ticks on Windows.
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return counter.QuadPart / frequency.QuadPart * 1000 +
         counter.QuadPart % frequency.QuadPart * 1000 / frequency.QuadPart;
}

void ReadLocalTime(LocalTime* time) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  *time = {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

bool SearchFile(const char* name, const char* extension, char* foundPath, int size) {
  DWORD length = SearchPathA(nullptr, name, extension, size, foundPath, nullptr);
  // A result of size or more is the room the path would need: it did not fit.
  return length != 0 && length < static_cast<DWORD>(size);
}

FileHandle OpenFileForReading(const char* path) {
  return OpenExclusive(path, GENERIC_READ, OPEN_EXISTING);
}

FileHandle OpenFileForWriting(const char* path) {
  return OpenExclusive(path, GENERIC_WRITE, OPEN_EXISTING);
}

FileHandle CreateNewFile(const char* path) {
  return OpenExclusive(path, GENERIC_WRITE, CREATE_NEW);
}

// What _lopen's compatibility mode allows: an editor or a copy job may hold the page meanwhile.
FileHandle OpenFileForSharedReading(const char* path) {
  return Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
}

// Write access rather than FILE_APPEND_DATA: a write the disk cannot take whole is cut off again.
FileHandle OpenFileForAppending(const char* path) {
  return Open(path, GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS);
}

int ReadFromFile(FileHandle file, void* buffer, int count) {
  DWORD done = 0;
  if (!ReadFile(AsHandle(file), buffer, count, &done, nullptr)) return -1;
  return static_cast<int>(done);
}

int WriteToFile(FileHandle file, const void* buffer, int count) {
  DWORD done = 0;
  if (!WriteFile(AsHandle(file), buffer, count, &done, nullptr)) return -1;
  return static_cast<int>(done);
}

bool AppendWhole(FileHandle file, const void* buffer, int count) {
  LARGE_INTEGER end = {}, zero = {};
  if (!SetFilePointerEx(AsHandle(file), zero, &end, FILE_END)) return false;
  DWORD done = 0;
  if (WriteFile(AsHandle(file), buffer, count, &done, nullptr) && done == static_cast<DWORD>(count))
    return true;
  SetFilePointerEx(AsHandle(file), end, nullptr, FILE_BEGIN);
  SetEndOfFile(AsHandle(file));
  return false;
}

bool IsSameFile(FileHandle file, const char* path) {
  HANDLE other = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (other == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION one = {}, two = {};
  const bool same = GetFileInformationByHandle(AsHandle(file), &one) &&
                    GetFileInformationByHandle(other, &two) &&
                    one.dwVolumeSerialNumber == two.dwVolumeSerialNumber &&
                    one.nFileIndexHigh == two.nFileIndexHigh && one.nFileIndexLow == two.nFileIndexLow;
  CloseHandle(other);
  return same;
}

// A serial port is a character device, unless its driver gives an unknown device type, as some
// virtual COM port drivers do and as Wine does for a COM port that points nowhere.
bool IsDevice(FileHandle file) {
  const DWORD type = GetFileType(AsHandle(file));
  return type == FILE_TYPE_CHAR || type == FILE_TYPE_UNKNOWN;
}

bool FlushFile(FileHandle file) {
  return FlushFileBuffers(AsHandle(file)) != 0;
}

bool CloseFile(FileHandle file) {
  return CloseHandle(AsHandle(file)) != 0;
}

// A link chosen in the Save dialog is replaced itself, as MoveFileExA does with one.
bool ResolveSaveTarget(const char* path, char* target, int size) {
  const int length = lstrlenA(path);
  if (length >= size) return false;
  lstrcpyA(target, path);
  return true;
}

// ReplaceFileA gives the new file the old one's attributes and security (Wine's keeps neither) and,
// unlike Wine's MoveFileExA, refuses a read-only file. It has no write-through; the data is on the
// disk already, so a power cut leaves the old file or the new one. Where it removed the old file but
// could not rename the new one, the rename is tried again.
bool ReplaceFile(const char* fromPath, const char* toPath) {
  if (GetFileAttributesA(toPath) == INVALID_FILE_ATTRIBUTES) {
    return MoveFileExA(fromPath, toPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  }
  if (ReplaceFileA(toPath, fromPath, nullptr, 0, nullptr, nullptr)) return true;
  return GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT &&
         MoveFileExA(fromPath, toPath, MOVEFILE_WRITE_THROUGH) != 0;
}

bool RemoveFile(const char* path) {
  return DeleteFileA(path) != 0;
}

void ExitProcessWithCode(int code) {
  std::exit(code);
}

}  // namespace platform
