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

FileHandle OpenExclusive(const char* path, DWORD access, DWORD disposition) {
  HANDLE file = CreateFileA(path, access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  return reinterpret_cast<FileHandle>(file);  // INVALID_HANDLE_VALUE is NoFile
}

}  // namespace

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

bool FlushFile(FileHandle file) {
  return FlushFileBuffers(AsHandle(file)) != 0;
}

bool CloseFile(FileHandle file) {
  return CloseHandle(AsHandle(file)) != 0;
}

bool ReplaceFile(const char* fromPath, const char* toPath) {
  return MoveFileExA(fromPath, toPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool RemoveFile(const char* path) {
  return DeleteFileA(path) != 0;
}

void ExitProcessWithCode(int code) {
  std::exit(code);
}

}  // namespace platform
