// The main window, its message pump, the About dialog and the resources they use. Every message of
// the window goes to the core's MainWindowProc; what the core leaves alone comes back through
// DefaultWindowProc to DefWindowProcA.
#include <windows.h>

#include "app/main_window.h"
#include "app/window_messages.h"
#include "platform/platform.h"
#include "platform/win32/win32_state.h"
#include "terminal/title.h"

namespace platform::win32 {

HINSTANCE Instance = nullptr;
HWND MainWindow = nullptr;
bool BackgroundErased = false;

}  // namespace platform::win32

namespace platform {

using win32::Instance;
using win32::MainWindow;

namespace {

HACCEL Accelerators = nullptr;
HWND AboutDialog = nullptr;

LRESULT CALLBACK MainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // WM_NCCREATE and its companions arrive before CreateWindowExA returns the handle.
  if (MainWindow == nullptr) MainWindow = window;
  if (message == WM_ERASEBKGND) win32::BackgroundErased = true;
  LRESULT result = MainWindowProc(message, wParam, lParam);
  if (message == WM_NCDESTROY) MainWindow = nullptr;
  return result;
}

constexpr int NoticeControl = 1001;  // the notice's text in dialog 103

INT_PTR CALLBACK AboutDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  AboutDialog = dialog;
  // The notice is the one the title bar shows, so it is written in one place only.
  if (message == WM_INITDIALOG) SetDlgItemTextA(dialog, NoticeControl, MakersNotice);
  return AboutDialogProc(message, wParam) ? TRUE : FALSE;
}

}  // namespace

void LoadResourceString(int id, char* buffer, int size) {
  if (size > 0) buffer[0] = '\0';
  LoadStringA(Instance, id, buffer, size);
}

void LoadAcceleratorTable() {
  Accelerators = LoadAcceleratorsA(Instance, MAKEINTRESOURCEA(res::Accelerators));
}

void RegisterMainWindowClass(const char* className) {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = MainWindowProcedure;
  windowClass.hInstance = Instance;
  windowClass.hIcon = LoadIconA(Instance, MAKEINTRESOURCEA(res::Icon));
  windowClass.hIconSm = LoadIconA(Instance, MAKEINTRESOURCEA(res::Icon));
  windowClass.hCursor = LoadCursorA(nullptr, IDC_IBEAM);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszMenuName = MAKEINTRESOURCEA(res::Menu);
  windowClass.lpszClassName = className;
  RegisterClassExA(&windowClass);
}

bool OpenMainWindow(const char* className, const char* title) {
  HWND window = CreateWindowExA(0, className, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, Instance, nullptr);
  if (window == nullptr) return false;
  MainWindow = window;
  return true;
}

void ShowMainWindow(int showCommand) {
  ShowWindow(MainWindow, showCommand);
}

void DestroyMainWindow() {
  DestroyWindow(MainWindow);
}

void SetMainWindowTitle(const char* text) {
  SetWindowTextA(MainWindow, text);
  // A transfer sets its progress title while it handles no message. Asking whether input waits
  // (without taking any) lets Wine's X11 driver pass the new title on; Windows returns at once.
  MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT);
}

Pumped PumpOneMessage(int* quitCode) {
  MSG message;
  if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return Pumped::Nothing;
  if (message.message == WM_QUIT) {
    *quitCode = static_cast<int>(message.wParam);
    return Pumped::Quit;
  }
  if (!TranslateAcceleratorA(message.hwnd, Accelerators, &message)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return Pumped::Dispatched;
}

void PostQuit(int exitCode) {
  PostQuitMessage(exitCode);
}

intptr_t DefaultWindowProc(unsigned message, uintptr_t wParam, intptr_t lParam) {
  return DefWindowProcA(MainWindow, message, wParam, lParam);
}

void RunAboutDialog() {
  DialogBoxParamA(Instance, MAKEINTRESOURCEA(res::AboutDialog), MainWindow, AboutDialogProcedure, 0);
  AboutDialog = nullptr;
}

void EndAboutDialog(int result) {
  EndDialog(AboutDialog, result);
}

void ShowMessage(const char* text) {
  MessageBoxA(MainWindow, text, nullptr, MB_OK);
}

void Beep() {
  MessageBeep(0);
}

}  // namespace platform
