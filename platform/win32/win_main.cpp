// The Windows entry point: keeps the module handle, asks for a 1 ms timer period so that every short
// Sleep lasts what it says rather than a whole scheduler tick, and hands over to the core.
#include <windows.h>

#include <cstdlib>

#include "app/program.h"
#include "platform/win32/win32_state.h"

namespace {

void EndTimerPeriod() {
  timeEndPeriod(1);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  platform::win32::Instance = instance;
  timeBeginPeriod(1);
  // atexit rather than a call after MireloxMain: the configuration failure leaves through exit().
  std::atexit(EndTimerPeriod);
  return MireloxMain(showCommand, __argc, __argv);  // the runtime's ANSI command line, quotes undone
}
