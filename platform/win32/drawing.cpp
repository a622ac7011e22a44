// Drawing on the main window with GDI: the one fixed-pitch screen font, paint cycles, text runs, the
// white fill and the caret. A paint cycle may open inside another (the screen is cleared from within
// a paint), so each cycle keeps its own PAINTSTRUCT and drawing goes to the innermost one.
// Text runs are placed one cell per character: the font's own advance may be narrower than its
// widest character (Wine's fixed font draws 8 pixels a character in cells of 9; East Asian fonts
// likewise), and the cursor moves by cells.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/win32_state.h"

namespace platform {

using win32::MainWindow;

namespace {

HFONT ScreenFont = nullptr;
int CellAdvances[256];  // every entry the cell width: ExtTextOutA's spacing for a run of up to 256

constexpr int MaxPaintDepth = 4;
PAINTSTRUCT PaintCycles[MaxPaintDepth];
int PaintDepth = 0;

HDC CurrentPaintContext() {
  return PaintDepth > 0 ? PaintCycles[PaintDepth - 1].hdc : nullptr;
}

}  // namespace

void CreateScreenFont(int* lineHeight, int* charWidth) {
  HDC context = GetDC(MainWindow);
  ScreenFont = CreateFontA(0, 0, 0, 0, 0, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, FIXED_PITCH | FF_DONTCARE, "");
  SelectObject(context, ScreenFont);
  TEXTMETRICA metrics = {};
  GetTextMetricsA(context, &metrics);
  *lineHeight = metrics.tmHeight;
  *charWidth = metrics.tmMaxCharWidth;
  for (int& advance : CellAdvances) advance = metrics.tmMaxCharWidth;
  ReleaseDC(MainWindow, context);
}

bool BeginPaintCycle() {
  if (PaintDepth == MaxPaintDepth) return false;
  // BeginPaint sends WM_ERASEBKGND when an erase is pending; an erase outside a cycle counts too.
  PAINTSTRUCT& cycle = PaintCycles[PaintDepth++];
  BeginPaint(MainWindow, &cycle);
  SelectObject(cycle.hdc, ScreenFont);
  bool erased = win32::BackgroundErased;
  win32::BackgroundErased = false;
  return erased;
}

void EndPaintCycle() {
  if (PaintDepth == 0) return;
  EndPaint(MainWindow, &PaintCycles[--PaintDepth]);
}

void DrawTextRun(int x, int y, const unsigned char* bytes, int count) {
  // Runs are a row of the screen or a page line of at most 99 characters.
  constexpr int Longest = sizeof CellAdvances / sizeof CellAdvances[0];
  ExtTextOutA(CurrentPaintContext(), x, y, 0, nullptr, reinterpret_cast<const char*>(bytes),
              count < Longest ? count : Longest, CellAdvances);
}

// A paint cycle's context draws only where a repaint was asked for (what a dialog uncovered, say);
// a clear blanks the whole client area at once, so it draws through a context of the whole window.
void FillClientWhite() {
  HDC context = GetDC(MainWindow);
  RECT client;
  GetClientRect(MainWindow, &client);
  SelectObject(context, GetStockObject(WHITE_BRUSH));
  Rectangle(context, client.left, client.top, client.right, client.bottom);
  ReleaseDC(MainWindow, context);
}

void InvalidateMainWindow(bool erase) {
  InvalidateRect(MainWindow, nullptr, erase);
}

void UpdateMainWindow() {
  UpdateWindow(MainWindow);
}

void CreateCaretBar(int width, int height) {
  CreateCaret(MainWindow, nullptr, width, height);
}

void DestroyCaretBar() {
  DestroyCaret();
}

void SetCaretPosition(int x, int y) {
  SetCaretPos(x, y);
}

void HideCaretBar() {
  HideCaret(MainWindow);
}

void ShowCaretBar() {
  ShowCaret(MainWindow);
}

}  // namespace platform
