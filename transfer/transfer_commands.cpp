#include "transfer/transfer_commands.h"

#include <cstdio>
#include <cstring>

#include "config/configuration.h"
#include "platform/platform.h"
#include "serial/line_log.h"
#include "terminal/screen.h"
#include "transfer/block_protocol.h"

char FilterSlots[FilterSlotCount][FilterSlotSize];
char FilterList[FilterListSize];

namespace {

constexpr int FilterDescriptionLine = 2;
constexpr int OpenTitleLine = 3;
constexpr int SaveTitleLine = 5;
constexpr int CannotCreateLine = 7;
constexpr int CannotOpenLine = 8;
constexpr int TemporaryNameTries = 100;

// A description longer than a slot is cut to the slot's 29 characters.
void PrepareFilter() {
  std::snprintf(FilterSlots[0], FilterSlotSize, "%.29s", MessageLines[FilterDescriptionLine]);
  std::snprintf(FilterSlots[1], FilterSlotSize, "*.bin");
  FilterSlots[2][0] = 0;
  BuildFilterList();
}

void EndCommand() {
  ClearScreen();
  CursorX = 0;
  CursorY = 0;
}

// Reads the start of the chosen file into TransferBuffer; -1 when it cannot be opened or read.
int ReadFileToSend(const char* path) {
  platform::FileHandle file = platform::OpenFileForReading(path);
  if (file == platform::NoFile) return -1;
  const int count = platform::ReadFromFile(file, TransferBuffer, MaxSentBytes);
  platform::CloseFile(file);
  return count;
}

// A new file in the chosen file's folder, under a short name (the chosen path may be as long as a
// path can be) that no existing file has, so nobody's file is overwritten on the way.
platform::FileHandle CreateTemporaryBeside(const char* path, char* temporaryPath) {
  int folderLength = 0;
  for (int i = 0; path[i] != 0; ++i) {
    if (path[i] == '/' || path[i] == '\\') folderLength = i + 1;
  }
  for (int n = 0; n < TemporaryNameTries; ++n) {
    const int length = std::snprintf(temporaryPath, FileNameBufferSize, "%.*s~%d.tmp", folderLength, path, n);
    if (length >= FileNameBufferSize) break;
    platform::FileHandle file = platform::CreateNewFile(temporaryPath);
    if (file != platform::NoFile) return file;
  }
  return platform::NoFile;
}

// The data reaches the disk before it takes the old file's place: a power cut leaves the old file
// or the new one, never an empty one. A link chosen as the name stays a link: the file it points
// to is replaced, through a temporary file in that file's folder.
bool WriteReceivedFile(const char* chosenPath, int count) {
  char path[FileNameBufferSize];
  if (!platform::ResolveSaveTarget(chosenPath, path, FileNameBufferSize)) return false;
  char temporaryPath[FileNameBufferSize];
  platform::FileHandle file = CreateTemporaryBeside(path, temporaryPath);
  if (file == platform::NoFile) return false;
  const bool written =
      platform::WriteToFile(file, TransferBuffer, count) == count && platform::FlushFile(file);
  const bool closed = platform::CloseFile(file);
  if (written && closed && platform::ReplaceFile(temporaryPath, path)) return true;
  platform::RemoveFile(temporaryPath);
  return false;
}

}  // namespace

void BuildFilterList() {
  std::memset(FilterList, 0, sizeof FilterList);
  int end = 0;
  for (int slot = 0; slot < FilterSlotCount && FilterSlots[slot][0] != 0; ++slot) {
    const int length = static_cast<int>(std::strlen(FilterSlots[slot]));
    if (end + length + 1 >= FilterListSize) break;  // keep room for the closing NUL
    std::memcpy(FilterList + end, FilterSlots[slot], length + 1);
    end += length + 1;
  }
  // The list ends with one more NUL, already there from the fill.
}

void SendFileToDevice() {
  char fileName[FileNameBufferSize] = {};
  PrepareFilter();
  if (platform::ChooseFileToOpen(MessageLines[OpenTitleLine], FilterList, fileName, FileNameBufferSize)) {
    const int count = ReadFileToSend(fileName);
    if (count < 0) {
      RecordLineEvent("send of %s: the file cannot be opened", fileName);
      platform::ShowMessage(MessageLines[CannotOpenLine]);  // nothing is sent, as after a cancel
    } else {
      RecordLineEvent("send of %s started (%d bytes)", fileName, count);
      ClearScreen();
      SendBlocks(count);
    }
  } else {
    RecordLineEvent("send: the file dialog was cancelled");
  }
  EndCommand();
}

void ReceiveFileFromDevice() {
  char fileName[FileNameBufferSize] = {};
  PrepareFilter();
  if (platform::ChooseFileToSave(MessageLines[SaveTitleLine], FilterList, fileName, FileNameBufferSize)) {
    RecordLineEvent("receive into %s started", fileName);
    const int count = ReceiveBlocks();
    if (count != NoConnection) {
      if (WriteReceivedFile(fileName, count)) {
        RecordLineEvent("%s saved (%d bytes)", fileName, count);
      } else {
        RecordLineEvent("%s not saved: the file cannot be written", fileName);
        platform::ShowMessage(MessageLines[CannotCreateLine]);
      }
    }
  } else {
    RecordLineEvent("receive: the file dialog was cancelled");
  }
  EndCommand();
}
