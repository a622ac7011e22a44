#include "terminal/screen.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/main_window.h"
#include "app/window_messages.h"
#include "platform/platform.h"
#include "tests/fake/fake_platform.h"
#include "tests/unit/terminal_fixture.h"

namespace {

using Screen = TerminalTest;

std::string BufferRow(int row) {
  return std::string(reinterpret_cast<char*>(ScreenBuffer) + row * 80, 80);
}

void Resize() {
  platform::InvalidateMainWindow(true);  // what a size change does to the window
  MainWindowProc(msg::Size, 0, 0);
}

void MoveTo(int row, int column) {
  CursorY = row * fake::LineHeight;
  CursorX = column * fake::CharWidth;
}

TEST_F(Screen, ACharacterInThe81stColumnIsStoredInTheNextRowAndWrapsTheNext) {
  MoveTo(3, 80);
  Receive("x");
  EXPECT_EQ(fake::VisibleAt(3, 80), 'x');  // drawn past the 80th column
  EXPECT_EQ(BufferRow(4)[0], 'x');
  EXPECT_EQ(CursorX, 81 * fake::CharWidth);
  Receive("y");  // column 81 wraps to the next line
  EXPECT_EQ(BufferRow(4)[0], 'y');
  EXPECT_EQ(fake::VisibleAt(4, 0), 'y');
  EXPECT_EQ(CursorY, 4 * fake::LineHeight);
}

TEST_F(Screen, RowsBelowTheScreenShowUntilTheNextFullRepaint) {
  MoveTo(25, 0);
  Receive("a");
  MoveTo(26, 5);
  Receive("b");
  EXPECT_EQ(fake::VisibleAt(25, 0), 'a');
  EXPECT_EQ(fake::VisibleAt(26, 5), 'b');
  MoveTo(24, 79);
  Receive("cdefg");  // the tail runs past the last cell of the buffer and is dropped
  Resize();
  EXPECT_EQ(fake::VisibleAt(25, 0), ' ');
  EXPECT_EQ(fake::VisibleAt(26, 5), ' ');
  EXPECT_EQ(fake::VisibleAt(24, 79), 'c');
}

TEST_F(Screen, PassingRow26ClearsAndTheCharacterAtTheTopLeftStays) {
  Receive("hello");
  MoveTo(27, 3);
  Receive("Z");
  EXPECT_EQ(BufferRow(0), "Z" + std::string(79, ' '));
  EXPECT_EQ(CursorX, fake::CharWidth);
  EXPECT_EQ(CursorY, 0);
  RunLoopUntilIdle();  // the erase that the clear asked for comes with the next paint
  EXPECT_EQ(fake::VisibleRow(0), "Z" + std::string(79, ' '));
  EXPECT_GE(fake::world.erasingPaints, 1);

  // A wrap that carries the cursor from row 26 to 27 clears in the same paint.
  MoveTo(26, 81);
  Receive("W");
  EXPECT_EQ(BufferRow(0), "W" + std::string(79, ' '));
}

TEST_F(Screen, AWindowThatLostItsPixelsIsDrawnAgainFromTheBuffer) {
  Receive("keep me");
  fake::world.visible.assign(fake::ClientRows, std::string(fake::ClientColumns, '#'));  // uncovered
  platform::InvalidateMainWindow(true);
  RunLoopUntilIdle();
  EXPECT_EQ(fake::VisibleRow(0).substr(0, 8), "keep me ");
  EXPECT_EQ(fake::VisibleAt(1, 0), ' ');
}

TEST_F(Screen, ControlAndZeroBytesAreDrawnAsText) {
  Receive(std::string("\x07\x08\x09\x0c\x7f", 5));
  EXPECT_EQ(BufferRow(0).substr(0, 5), std::string("\x07\x08\x09\x0c\x7f", 5));
  EXPECT_EQ(CursorX, 5 * fake::CharWidth);

  MoveTo(27, 0);
  Receive(std::string(1, '\0'));  // draws nothing, does not advance, but still clears
  EXPECT_EQ(CursorX, 0);
  EXPECT_EQ(CursorY, 0);
  EXPECT_EQ(BufferRow(0), std::string(80, ' '));
}

TEST_F(Screen, CodePage850LettersAreShownAsWindowsLetters) {
  Receive("\x86\x8F\x91\x92\x9B\x9D\xE5\x84\xFF");
  EXPECT_EQ(BufferRow(0).substr(0, 9), "\xE5\xC5\xE6\xC6\xF8\xD8\xE5\x84\xFF");
  EXPECT_EQ(fake::VisibleRow(0).substr(0, 9), "\xE5\xC5\xE6\xC6\xF8\xD8\xE5\x84\xFF");
}

TEST_F(Screen, TheCaretUnderlinesTheCursorCellWhileTheWindowHasFocus) {
  const int marginX = 2 * fake::CharWidth, marginY = 2 * fake::LineHeight;
  EXPECT_TRUE(fake::CaretVisible());
  Receive("ab");
  EXPECT_EQ(fake::world.caretX, 2 * fake::CharWidth + marginX);
  EXPECT_EQ(fake::world.caretY, marginY + fake::LineHeight);
  EXPECT_TRUE(fake::CaretVisible());

  Receive("\x1b[J");
  // the clear leaves the caret at the corner; the end of the sequence places it again
  EXPECT_EQ(fake::world.caretX, marginX);
  EXPECT_EQ(fake::world.caretY, marginY + fake::LineHeight);

  ClearScreen();
  EXPECT_EQ(fake::world.caretX, 0);
  EXPECT_EQ(fake::world.caretY, 0);

  MainWindowProc(msg::KillFocus, 0, 0);
  EXPECT_FALSE(fake::CaretVisible());
  Receive("c");
  EXPECT_FALSE(fake::CaretVisible());
  MainWindowProc(msg::SetFocus, 0, 0);
  EXPECT_TRUE(fake::CaretVisible());
}

TEST_F(Screen, EightyBlanksFillExactlyOneRow) {
  Receive("xxxxxxxxxx");
  CursorX = 0;
  std::memset(PendingText, ' ', 80);
  PendingText[80] = 0;
  ShowPendingText();
  EXPECT_EQ(BufferRow(0), std::string(80, ' '));
  EXPECT_EQ(BufferRow(1), std::string(80, ' '));
  EXPECT_EQ(CursorX, 80 * fake::CharWidth);
  EXPECT_EQ(PendingText[0], 0);
}

TEST(ScreenFont, ZeroMetricsNeverDivideByZero) {
  StartTerminal();
  fake::world.fontBroken = true;
  CreateScreenFont();
  EXPECT_GT(LineHeight, 0);
  EXPECT_GT(CharWidth, 0);
  Receive("abc\r\n\x1b[05;05H\x1b[Bq");
  EXPECT_EQ(BufferRow(5)[4], 'q');
}

}  // namespace
