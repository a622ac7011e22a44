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

// One window message, then at most one byte from the device, turn after turn. Only a turn that
// found neither sleeps, until one of them arrives.
int RunMainLoop() {
  for (;;) {
    int quitCode = 0;
    const platform::Pumped pumped = platform::PumpOneMessage(&quitCode);
    if (pumped == platform::Pumped::Quit) return quitCode;
    if (ComPort.bytesWaiting() > 0) {
      ComPort.read(&LastReceivedByte, 1);
      InterpretByte();
    } else if (pumped == platform::Pumped::Nothing) {
      ComPort.waitForMessageOrByte(-1);
    }
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
