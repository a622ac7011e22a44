#include "app/program.h"

#include "app/main_window.h"
#include "app/window_messages.h"
#include "config/configuration.h"
#include "platform/platform.h"
#include "serial/serial_port.h"
#include "terminal/interpreter.h"
#include "terminal/screen.h"

namespace {

constexpr char PortFailureMessage[] = "Error: COM port cannot be opened!\nSelect another COM port.";

// Never waits: one window message, then at most one byte from the device, turn after turn.
int RunMainLoop() {
  for (;;) {
    int quitCode = 0;
    if (platform::PumpOneMessage(&quitCode) == platform::Pumped::Quit) return quitCode;
    if (ComPort.bytesWaiting() <= 0) continue;
    ComPort.read(&LastReceivedByte, 1);
    InterpretByte();
  }
}

}  // namespace

int MireloxMain(int showCommand) {
  LoadConfiguration();
  CurrentPort = static_cast<signed char>(PortDigit) - '0';
  if (!ComPort.open(CurrentPort)) platform::ShowMessage(PortFailureMessage);
  InitScreen();
  platform::LoadResourceString(res::TitleString, WindowTitle, sizeof WindowTitle);
  platform::LoadResourceString(res::ClassNameString, WindowClassName, sizeof WindowClassName);
  RegisterWindowClass();
  if (!CreateMainWindow(showCommand)) return 0;
  platform::LoadAcceleratorTable();
  OutputFrozen = 0;
  return RunMainLoop();
}
