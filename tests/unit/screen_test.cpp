// What the device's bytes do to the screen: one row per case, the bytes in and the screen, cursor
// and line bytes out; then the drawing rules that need more than bytes (repaints, focus, caret).
#include "terminal/screen.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/window_messages.h"
#include "platform/platform.h"
#include "serial/transmit.h"
#include "terminal/interpreter.h"
#include "tests/unit/support.h"

namespace {

using Screen = Terminal;
constexpr int W = fake::CharWidth;
constexpr int H = fake::LineHeight;
const std::string Reply = "MIRELOX     ";  // the answer to the identification query

struct Case {
  const char* name;
  std::string bytes;
  std::vector<std::string> rows;  // rows 0.. of ScreenBuffer without trailing blanks; the rest blank
  int column, row;                // where the cursor ends
  std::string sent = "";
};

// clang-format off
const Case Cases[] = {
    {"text advances the cursor", "abc", {"abc"}, 3, 0},
    {"CR goes to the start of the next row", "ab\rc", {"ab", "c"}, 1, 1},
    {"LF keeps the column", "ab\nc", {"ab", "  c"}, 3, 1},
    {"CR LF moves two rows", "a\r\nb", {"a", "", "b"}, 1, 2},
    {"A and D move back", "\x1b[03;03H\x1b[A\x1b[Dx", {"", " x"}, 2, 1},
    {"A and D stop short of row and column 0", "\x1b[02;02H\x1b[A\x1b[Dx", {"", " x"}, 2, 1},
    {"A and D at the origin", "\x1b[A\x1b[Dx", {"x"}, 1, 0},
    {"B and C have no bound", "\x1b[B\x1b[Cx", {"", " x"}, 2, 1},
    {"H takes two-digit fields", "\x1b[05;12Hx", {"", "", "", "", "           x"}, 12, 4},
    {"H with zero fields", "ab\x1b[00;00Hx", {"xb"}, 1, 0},
    {"H with negative fields", "ab\x1b[-5;-5Hx", {"xb"}, 1, 0},
    {"H with a blank and a sign", "\x1b[ 3;+3Hx", {"", "", "  x"}, 3, 2},
    {"H reads unsent fields as empty", "\x1b[12;34H\x1b[3Hx", {"", "", "x"}, 1, 2},
    {"H reads two digits a field", "\x1b[02305Hx", {"", "    x"}, 5, 1},
    {"H far out wraps and clears", "abc\x1b[99;99Hq", {"q"}, 1, 0},
    {"parameters before B are ignored", "\x1b[123Bx", {"", "x"}, 1, 1},
    {"a lower-case letter is a parameter", "\x1b[aBx", {"", "x"}, 1, 1},
    {"parameters beyond the buffer", "\x1b[" + std::string(300, '7') + "Bx", {"", "x"}, 1, 1},
    {"ESC swallows the byte after it", "\x1bQx", {"x"}, 1, 0},
    {"ESC ESC leaves [ A as text", "\x1b\x1b[A", {"[A"}, 2, 0},
    {"J clears", "abc\r\x1b[Jd", {"d"}, 1, 0},
    {"a command letter ends the sequence", "\x1b[Aa\x1b[Bb\x1b[Cc\x1b[Dd\x1b[Ue", {"a", " b de"}, 5, 1},
    {"text after F is no parameter", "\x1b[F05;10H\x1b[Ux", {"x"}, 1, 0},
    {"frozen text, CR and LF are dropped", "a\x1b[Fb\r\nc\x1b[Ud", {"ad"}, 2, 0},
    {"frozen output still obeys commands", "\x1b[F\x1b[B\x1b[Cb\x1b[Ux", {"", " x"}, 2, 1},
    {"the query is answered", "\x1b\xff\x7f\x08\x0c\x0a", {}, 0, 0, Reply},
    {"the query's last byte is any byte", "\x1b\xff\x7f\x08\x0c" "Ax", {"x"}, 1, 0, Reply},
    {"the query is answered while frozen", "\x1b[F\x1b\xff\x7f\x08\x0c\x0a", {}, 0, 0, Reply},
    {"a broken query is consumed", "\x1b\xff\x7f\x09kx", {"kx"}, 2, 0},
    {"the byte that breaks a query may open a sequence", "\x1b\xff[Bx", {"", "x"}, 1, 1},
    {"the byte after a query may open a sequence", "z\x1b\xff\x7f\x08\x0c[Jw", {"w"}, 1, 0, Reply},
    {"control bytes are drawn", "\x07\x08\x09\x0c\x7f", {"\x07\x08\x09\x0c\x7f"}, 5, 0},
    {"a zero byte draws nothing", std::string("a\0b", 3), {"ab"}, 2, 0},
    {"code page 850 letters", "\x86\x8F\x91\x92\x9B\x9D\xE5\x84", {"\xE5\xC5\xE6\xC6\xF8\xD8\xE5\x84"}, 8, 0},
    {"the 81st column lands in the next row's cell", "\x1b[01;80Hxy", {std::string(79, ' ') + "x", "y"}, 81, 0},
    {"a cursor past the 81st column wraps", "\x1b[01;80Hxyz", {std::string(79, ' ') + "x", "z"}, 1, 1},
    {"row 27 clears and draws at the top left", "hello\x1b[28;04HZ", {"Z"}, 1, 0},
    {"a wrap from row 26 clears", "hello\x1b[27;82HW", {"W"}, 1, 0},
};
// clang-format on

TEST_F(Screen, ReceivedBytes) {
  for (const Case& c : Cases) {
    StartTerminal();
    Receive(c.bytes);
    EXPECT_EQ(Rows(), Padded(c.rows)) << c.name;
    EXPECT_EQ(Cursor(), std::make_pair(c.column, c.row)) << c.name;
    EXPECT_EQ(fake::world.sent, c.sent) << c.name;
    RunLoopUntilIdle();  // the erase a clear asked for comes with the next paint
    EXPECT_TRUE(fake::world.paintClips.empty()) << c.name;
    EXPECT_EQ(fake::VisibleRow(0), (Row(0) + std::string(80, ' ')).substr(0, 80)) << c.name;
    EXPECT_TRUE(fake::CaretVisible()) << c.name;
  }
}

std::pair<int, int> Caret() {
  return {fake::world.caretX, fake::world.caretY};
}
std::pair<int, int> Under(int column, int row) {  // the caret's place under a cell, margins included
  return {(column + 2) * W, (row + 3) * H};
}

TEST_F(Screen, TheCaretUnderlinesTheCursorCellAfterTextAndSequences) {
  Receive("ab\r\n");  // CR and LF move the cursor, not the caret
  EXPECT_EQ(Caret(), Under(2, 0));
  Receive("\x1b[05;03H");
  EXPECT_EQ(Caret(), Under(2, 4));
  ClearScreen();  // alone, the clear leaves the caret in the corner
  EXPECT_EQ(Caret(), std::make_pair(0, 0));
  MainWindowProc(msg::Size, 0, 0);
  EXPECT_EQ(Caret(), Under(0, 0));
  MainWindowProc(msg::KillFocus, 0, 0);
  Receive("c");
  EXPECT_FALSE(fake::world.caretExists);
  MainWindowProc(msg::SetFocus, 0, 0);
  EXPECT_TRUE(fake::CaretVisible());
  EXPECT_EQ(Caret(), Under(1, 0));
}

TEST_F(Screen, RowsBelowTheScreenAndThe81stColumnShowOnlyUntilTheNextFullRepaint) {
  Receive("\x1b[25;80Hdefg\x1b[26;01Ha\x1b[27;06Hb\x1b[04;81Hc");
  const auto shown = [] {
    return std::string{fake::VisibleRow(25)[0], fake::VisibleRow(26)[5], fake::world.visible[3 + 2][80 + 2]};
  };
  EXPECT_EQ(shown(), "abc");
  platform::InvalidateMainWindow(true);  // what a size change does to the window
  MainWindowProc(msg::Size, 0, 0);
  EXPECT_EQ(shown(), "   ");
  EXPECT_EQ(Row(4), "c");
  EXPECT_EQ(Row(24), std::string(79, ' ') + "d");  // the rest ran past the last cell
}

// After a clear at row 27 drew a character at the top left, the erase the clear asked for comes
// with the next paint cycle, whichever handler opens it: the character must survive it.
TEST_F(Screen, TheCycleThatConsumesAnEraseRedrawsTheScreen) {
  for (unsigned message : {msg::Paint, msg::SetFocus, msg::Activate}) {
    StartTerminal();
    Receive("\x1b[28;01HZ");
    MainWindowProc(msg::KillFocus, 0, 0);
    MainWindowProc(message, 0, 0);
    RunLoopUntilIdle();
    EXPECT_EQ(fake::VisibleRow(0).substr(0, 2), "Z ") << message;
    EXPECT_TRUE(fake::world.paintClips.empty()) << message;
  }
  fake::world.visible.assign(fake::ClientRows, std::string(fake::ClientColumns, '#'));  // uncovered
  platform::InvalidateMainWindow(true);
  RunLoopUntilIdle();
  EXPECT_EQ(fake::VisibleRow(0).substr(0, 2), "Z ");
  EXPECT_EQ(fake::VisibleRow(1), std::string(80, ' '));
  fake::world.visible[2 + 2] = std::string(fake::ClientColumns, '#');
  platform::InvalidateMainWindow(false);  // a repaint is due when the clear comes: it paints white
  Receive("\x1b[J");
  EXPECT_EQ(fake::VisibleRow(2), std::string(80, ' '));
}

// A device falling silent inside a sequence or a page name: the rest is abandoned after 10 s, and
// what comes later is ordinary text.
TEST_F(Screen, SilenceAbandonsASequenceOrAPageName) {
  for (const std::string start : {"\x1b[0", "\x1b[X00", "\x1b\xff\x7f", "\x1b"}) {
    StartTerminal();
    Receive(start);
    EXPECT_GE(fake::world.nowUs, 10000 * 1000) << Hex(start);
    Receive("5;05Hx");
    EXPECT_EQ(Row(0) + fake::world.sent + std::to_string(fake::world.messages.size()), "5;05Hx0")
        << Hex(start);
  }
}

}  // namespace
