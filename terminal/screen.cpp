#include "terminal/screen.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"

unsigned char ScreenBuffer[ScreenRows * ScreenColumns];
char PendingText[PendingTextSize];
int32_t CursorX, CursorY;
int32_t CurrentColumn, CurrentRow;
int32_t LineHeight, CharWidth;
int32_t MarginX, MarginY;

namespace {

constexpr int ScreenCells = ScreenRows * ScreenColumns;
constexpr int LastColumn = 80;  // the cursor may stand one column past the screen
constexpr int LastRow = 26;     // and two rows below it, before the paint wraps or clears

constexpr unsigned char LetterPairs[][2] = {
    // code page 850, Windows-1252
    {0x86, 0xE5}, {0x8F, 0xC5}, {0x91, 0xE6}, {0x92, 0xC6}, {0x9B, 0xF8}, {0x9D, 0xD8},
};

void DrawScreenBuffer() {
  for (int row = 0; row < ScreenRows; ++row) {
    platform::DrawTextRun(MarginX, row * LineHeight + MarginY, ScreenBuffer + row * ScreenColumns,
                          ScreenColumns);
  }
}

// A cycle that finds the window erased (a clear asked for it, or the window was uncovered) brings
// back what the screen holds before anything is drawn on it: whichever cycle consumes the erase.
void BeginScreenPaint() {
  if (platform::BeginPaintCycle()) DrawScreenBuffer();
}

void SetCaretAtCursor() {
  platform::SetCaretPosition(CursorX + MarginX, CursorY + MarginY + LineHeight);
}

// Cells past the last row belong to no row that is ever drawn from the buffer: they are dropped.
void StoreInScreenBuffer(const unsigned char* text, int length) {
  const int first = CurrentRow * ScreenColumns + CurrentColumn;
  for (int i = 0; i < length && first + i < ScreenCells; ++i) ScreenBuffer[first + i] = text[i];
}

// A broken font may report zero metrics; a cell of one pixel keeps every division defined.
int32_t AtLeastOne(int32_t metric) {
  return std::max(metric, 1);
}

}  // namespace

unsigned char ToWindowsLetter(unsigned char received) {
  for (const auto& pair : LetterPairs) {
    if (pair[0] == received) return pair[1];
  }
  return received;
}

unsigned char ToDeviceLetter(unsigned char typed) {
  for (const auto& pair : LetterPairs) {
    if (pair[1] == typed) return pair[0];
  }
  return typed;
}

void InitScreen() {
  std::memset(ScreenBuffer, ' ', sizeof ScreenBuffer);
}

void CreateScreenFont() {
  int height = 0;
  int width = 0;
  platform::CreateScreenFont(&height, &width);
  LineHeight = AtLeastOne(height);
  CharWidth = AtLeastOne(width);
  MarginX = 2 * CharWidth;
  MarginY = 2 * LineHeight;
}

void ShowPendingText() {
  platform::InvalidateMainWindow(false);
  platform::UpdateMainWindow();
}

void PlaceCaret() {
  SetCaretAtCursor();
}

void PaintPendingText() {
  BeginScreenPaint();

  CurrentColumn = CursorX / CharWidth;
  if (CurrentColumn > LastColumn || CurrentColumn < 0) {
    CurrentColumn = 0;
    CursorX = 0;
    CursorY += LineHeight;
  }
  CurrentRow = CursorY / LineHeight;
  if (CurrentRow > LastRow || CurrentRow < 0) ClearScreen();

  unsigned char* text = reinterpret_cast<unsigned char*>(PendingText);
  const int length = static_cast<int>(std::strlen(PendingText));
  for (int i = 0; i < length; ++i) text[i] = ToWindowsLetter(text[i]);
  StoreInScreenBuffer(text, length);
  platform::DrawTextRun(CursorX + MarginX, CursorY + MarginY, text, length);
  CursorX += length * CharWidth;
  SetCaretAtCursor();

  platform::EndPaintCycle();
  PendingText[0] = 0;
}

void RepaintScreen() {
  platform::BeginPaintCycle();
  DrawScreenBuffer();
  SetCaretAtCursor();
  platform::EndPaintCycle();
}

void OnFocusGained() {
  BeginScreenPaint();
  platform::CreateCaretBar(CaretWidth, CaretHeight);
  SetCaretAtCursor();
  platform::ShowCaretBar();
  platform::EndPaintCycle();
}

void OnFocusLost() {
  platform::DestroyCaretBar();
}

void ClearScreen() {
  std::memset(ScreenBuffer, ' ', sizeof ScreenBuffer);
  platform::BeginPaintCycle();
  platform::FillClientWhite();
  CursorX = 0;
  CursorY = 0;
  CurrentColumn = 0;
  CurrentRow = 0;
  platform::SetCaretPosition(0, 0);
  platform::EndPaintCycle();
  platform::InvalidateMainWindow(true);
}
