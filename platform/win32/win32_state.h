// What the files of the Win32 layer share: the program's module (saved by WinMain), the one main
// window (taken by the window procedure from the first message it sees, cleared when the window is
// gone) and whether the background was erased since the last paint cycle began (set on
// WM_ERASEBKGND, read and cleared by BeginPaintCycle).
#pragma once

#include <windows.h>

namespace platform::win32 {

extern HINSTANCE Instance;
extern HWND MainWindow;
extern bool BackgroundErased;

}  // namespace platform::win32
