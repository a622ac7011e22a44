// The 80 x 25 character screen. Producers (the receive interpreter, one byte at a time; the text
// page, one line at a time) put text into PendingText and call ShowPendingText, which forces a paint:
// PaintPendingText draws the text at the cursor, stores it in ScreenBuffer and advances the cursor.
// ScreenBuffer is drawn whole only when the window lost its pixels (size, activation, erase).
// Cursor positions are pixels from the text origin, two cells in from the top left corner.
#pragma once

#include <cstdint>

constexpr int ScreenColumns = 80;
constexpr int ScreenRows = 25;
constexpr int PendingTextSize = 100;  // 99 characters and a NUL
constexpr int CaretWidth = 8;
constexpr int CaretHeight = 2;

extern unsigned char ScreenBuffer[ScreenRows * ScreenColumns];
extern char PendingText[PendingTextSize];
extern int32_t CursorX, CursorY;
extern int32_t CurrentColumn, CurrentRow;
extern int32_t LineHeight, CharWidth;
extern int32_t MarginX, MarginY;

void InitScreen();
void CreateScreenFont();
void ShowPendingText();
void ClearScreen();
void PlaceCaret();

// Window message handlers.
void PaintPendingText();  // WM_PAINT
void RepaintScreen();     // WM_SIZE, WM_ACTIVATE
void OnFocusGained();     // WM_SETFOCUS
void OnFocusLost();       // WM_KILLFOCUS

// The received code page 850 letters that are drawn as their Windows-1252 letters, and back.
unsigned char ToWindowsLetter(unsigned char received);
unsigned char ToDeviceLetter(unsigned char typed);
