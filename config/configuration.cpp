#include "config/configuration.h"

#include <cstring>

#include "platform/platform.h"
#include "serial/line_log.h"

char PortDigit;
char MessageLines[MessageLineCount][MessageLineSize];
int32_t CurrentPort;
unsigned char ConfigBuffer[ConfigBufferSize];
char FoundPath[FoundPathSize];

const char MissingConfigurationMessage[] =
    "ERROR: missing MIRELOX.CFG configuration file !!! \nCannot continue, program terminated.";

namespace {

constexpr unsigned char CarriageReturn = 0x0D;

[[noreturn]] void StopForMissingFile() {
  platform::ShowMessage(MissingConfigurationMessage);
  RecordLineEvent("stopped: MIRELOX.CFG cannot be opened");
  EndLineLog();
  platform::ExitProcessWithCode(1);
}

// A failed search is a failed open: nothing is tried under a name that was not found.
platform::FileHandle FindAndOpen(platform::FileHandle (*openFile)(const char*)) {
  if (!platform::SearchFile("MIRELOX", ".CFG", FoundPath, FoundPathSize)) return platform::NoFile;
  return openFile(FoundPath);
}

}  // namespace

void ParseConfiguration(const unsigned char* bytes, int count) {
  std::memset(MessageLines, 0, sizeof MessageLines);  // a line the file lacks stays empty
  PortDigit = count > 0 ? static_cast<char>(bytes[0]) : 0;
  int line = 0;
  int position = 0;
  for (int k = 2; k < count; ++k) {
    const signed char b = static_cast<signed char>(bytes[k]);  // 0x80 and up fall outside the range
    if (b >= 0x20 && b <= 0x7A && position < MessageLineSize - 1) {
      MessageLines[line][position++] = b;
    }
    if (bytes[k] == CarriageReturn) {
      MessageLines[line][position] = 0;
      if (line == MessageLineCount - 1) break;  // the rest of the file is ignored
      ++line;
      position = 0;
    }
  }
}

void LoadConfiguration() {
  platform::FileHandle file = FindAndOpen(platform::OpenFileForReading);
  if (file == platform::NoFile) StopForMissingFile();
  ParseConfiguration(ConfigBuffer, platform::ReadFromFile(file, ConfigBuffer, ConfigBufferSize));
  platform::CloseFile(file);
}

bool IsConfigurationFile(platform::FileHandle file) {
  char found[FoundPathSize];
  return platform::SearchFile("MIRELOX", ".CFG", found, FoundPathSize) && platform::IsSameFile(file, found);
}

void SavePortDigit() {
  platform::FileHandle file = FindAndOpen(platform::OpenFileForReading);
  if (file == platform::NoFile) StopForMissingFile();
  const int count = platform::ReadFromFile(file, ConfigBuffer, ConfigBufferSize);  // -1: as empty
  platform::CloseFile(file);

  file = platform::OpenFileForWriting(FoundPath);
  if (file == platform::NoFile) StopForMissingFile();
  PortDigit = static_cast<char>((CurrentPort & 0xFF) + 0x30);
  ConfigBuffer[0] = static_cast<unsigned char>(PortDigit);
  if (count > 0) platform::WriteToFile(file, ConfigBuffer, count);
  platform::CloseFile(file);
}
