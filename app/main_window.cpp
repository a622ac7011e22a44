#include "app/main_window.h"

#include "app/window_messages.h"
#include "platform/platform.h"
#include "serial/line_log.h"
#include "serial/serial_port.h"
#include "terminal/keyboard.h"
#include "terminal/screen.h"
#include "terminal/title.h"

char WindowTitle[100];
char WindowClassName[100];

void RegisterWindowClass() {
  platform::RegisterMainWindowClass(WindowClassName);
}

bool CreateMainWindow(int showCommand) {
  if (!platform::OpenMainWindow(WindowClassName, WindowTitle)) return false;
  CreateScreenFont();
  platform::InvalidateMainWindow(true);
  platform::ShowMainWindow(showCommand);  // the first paint comes through the main loop
  SetNormalTitle();
  return true;
}

intptr_t MainWindowProc(unsigned message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case msg::Create:
      return 0;
    case msg::EndSession:  // the system ends the program once this returns
      if (wParam != 0) EndLineLog();
      return 0;
    case msg::Destroy:
      platform::PostQuit(0);
      ComPort.close();
      return 0;
    case msg::Size:
    case msg::Activate:
      RepaintScreen();
      return 0;
    case msg::SetFocus:
      OnFocusGained();
      return 0;
    case msg::KillFocus:
      OnFocusLost();
      return 0;
    case msg::Paint:
      PaintPendingText();
      return 0;
    case msg::KeyDown:
      OnKeyDown(static_cast<unsigned>(wParam));
      return 0;
    case msg::Char:
      OnChar(static_cast<unsigned>(wParam));
      return 0;
    case msg::Command:
      switch (wParam & 0xFFFF) {
        case cmd::About:
          platform::RunAboutDialog();
          return 0;
        case cmd::Exit:
          platform::DestroyMainWindow();
          return 0;
      }
      break;
  }
  return platform::DefaultWindowProc(message, wParam, lParam);
}

bool AboutDialogProc(unsigned message, uintptr_t wParam) {
  if (message == msg::InitDialog) return true;
  if (message == msg::Command) {
    const int command = static_cast<int>(wParam & 0xFFFF);
    if (command == cmd::Ok || command == cmd::Cancel) {
      platform::EndAboutDialog(command);
      return true;
    }
  }
  return false;
}
