#include "app/program.h"

#include <cstdio>
#include <cstring>

#include "app/main_window.h"
#include "app/window_messages.h"
#include "config/configuration.h"
#include "platform/platform.h"
#include "serial/line_log.h"
#include "serial/serial_port.h"
#include "terminal/interpreter.h"
#include "terminal/screen.h"
#include "textpage/text_page.h"

namespace {

constexpr char PortFailureMessage[] = "Error: COM port cannot be opened!\nSelect another COM port.";
constexpr int ExitUsage = 2;

// The one option: --log FILE. Anything else is refused with a message, not ignored.
bool ReadCommandLine(int argc, char** argv, const char** logPath) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--log") == 0 && i + 1 < argc && *logPath == nullptr) {
      *logPath = argv[++i];
      continue;
    }
    char message[300];
    std::snprintf(message, sizeof message, "Usage: mirelox [--log FILE]\n\nNot understood: %.200s", argv[i]);
    platform::ShowMessage(message);
    return false;
  }
  return true;
}

// Why the program may not keep its record in file: it is a file the program reads, or the line
// it talks on. Null when it may.
const char* RefusedAsRecord(platform::FileHandle file, const char* path) {
  if (platform::IsDevice(file)) return "it is a device, not a file";
  if (IsConfigurationFile(file)) return "it is the program's MIRELOX.CFG";
  if (IsTextPageFile(file, path)) return "it is a text page";
  return nullptr;
}

void StartRecording(const char* path) {
  const platform::FileHandle file = platform::OpenFileForAppending(path);
  char message[400];
  if (file == platform::NoFile) {
    std::snprintf(message, sizeof message,
                  "The record of the line cannot be written to %.259s.\nThe program goes on without it.",
                  path);
  } else if (const char* refusal = RefusedAsRecord(file, path)) {
    platform::CloseFile(file);
    std::snprintf(message, sizeof message,
                  "The record of the line cannot be kept in %.259s: %s.\nThe program goes on without it.",
                  path, refusal);
  } else {
    StartLineLog(file, path);
    return;
  }
  platform::ShowMessage(message);
}

int RunMainLoop() {
  int quitCode = 0;
  for (;;) {
    const Turn turn = TakeTurn(&quitCode);
    if (turn == Turn::Quit) return quitCode;
    if (turn == Turn::Idle) {
      FlushLineLog();
      ComPort.waitForMessageOrByte(LineLogWaitLimitMs());
    }
  }
}

}  // namespace

Turn TakeTurn(int* quitCode) {
  const platform::Pumped pumped = platform::PumpOneMessage(quitCode);
  if (pumped == platform::Pumped::Quit) return Turn::Quit;
  if (ComPort.bytesWaiting() > 0) {
    ComPort.read(&LastReceivedByte, 1);
    InterpretByte();
    return Turn::Busy;
  }
  return pumped == platform::Pumped::Nothing ? Turn::Idle : Turn::Busy;
}

int MireloxMain(int showCommand, int argc, char** argv) {
  const char* logPath = nullptr;
  if (!ReadCommandLine(argc, argv, &logPath)) return ExitUsage;
  if (logPath != nullptr) StartRecording(logPath);
  LoadConfiguration();
  CurrentPort = static_cast<signed char>(PortDigit) - '0';
  if (!ComPort.open(CurrentPort)) platform::ShowMessage(PortFailureMessage);
  InitScreen();
  platform::LoadResourceString(res::TitleString, WindowTitle, sizeof WindowTitle);
  platform::LoadResourceString(res::ClassNameString, WindowClassName, sizeof WindowClassName);
  RegisterWindowClass();
  int exitCode = 0;
  if (CreateMainWindow(showCommand)) {
    platform::LoadAcceleratorTable();
    OutputFrozen = 0;
    exitCode = RunMainLoop();
  }
  EndLineLog();
  return exitCode;
}
