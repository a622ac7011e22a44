// The one main window: class registration, creation and the window procedure that routes each
// message to the screen (terminal/screen.h), the keyboard (terminal/keyboard.h) or the shell itself.
// Platform layers call MainWindowProc and AboutDialogProc for every event, with Win32 numbers.
#pragma once

#include <cstdint>

void RegisterWindowClass();
bool CreateMainWindow(int showCommand);
intptr_t MainWindowProc(unsigned message, uintptr_t wParam, intptr_t lParam);
bool AboutDialogProc(unsigned message, uintptr_t wParam);

extern char WindowTitle[100];
extern char WindowClassName[100];
