// What the terminal does with the device's bytes and the user's keys: the screen, the cursor and
// caret and their repaints, keys as bytes on the line and the port keys, and stored text pages.
// Where cases differ only in data, they are rows of a table: bytes in; screen, cursor, line out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/window_messages.h"
#include "platform/platform.h"
#include "terminal/screen.h"
#include "tests/unit/support.h"

namespace {

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
    {"CR goes to the start of the next row", "ab\rc", {"ab", "c"}, 1, 1},
    {"LF keeps the column", "ab\nc", {"ab", "  c"}, 3, 1},
    {"CR LF moves two rows", "a\r\nb", {"a", "", "b"}, 1, 2},
    {"A and D move back", "\x1b[03;03H\x1b[A\x1b[Dx", {"", " x"}, 2, 1},
    {"A and D stop short of row and column 0", "\x1b[02;02H\x1b[A\x1b[Dx", {"", " x"}, 2, 1},
    {"B and C have no bound", "\x1b[B\x1b[Cx", {"", " x"}, 2, 1},
    {"H with zero fields", "ab\x1b[00;00Hx", {"xb"}, 1, 0},
    {"H with negative fields", "ab\x1b[-5;-5Hx", {"xb"}, 1, 0},
    {"H with a blank and a sign", "\x1b[ 3;+3Hx", {"", "", "  x"}, 3, 2},
    {"H reads unsent fields as empty", "\x1b[12;34H\x1b[3Hx", {"", "", "x"}, 1, 2},
    {"H reads two digits a field", "\x1b[02305Hx", {"", "    x"}, 5, 1},
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

using ReceivedBytes = TableOf<Case>;
TEST_P(ReceivedBytes, FillTheScreenMoveTheCursorAndAnswer) {
  const Case& c = GetParam();
  Receive(c.bytes);
  EXPECT_EQ(Rows(), Padded(c.rows));
  EXPECT_EQ(Cursor(), std::make_pair(c.column, c.row));
  EXPECT_EQ(fake::world.sent, c.sent);
  RunLoopUntilIdle();  // the erase a clear asked for comes with the next paint
  EXPECT_TRUE(fake::world.paintClips.empty());
  EXPECT_EQ(VisibleRows(c.row), Rows(c.row));  // the rows drawn on: the cursor's and those above
  EXPECT_TRUE(fake::CaretVisible());
}
ROWS(ReceivedBytes, Cases);

TEST_F(Terminal, TheCaretUnderlinesTheCursorCellAfterTextAndSequences) {
  Receive("ab\r\n");                                     // CR and LF move the cursor, not the caret
  EXPECT_EQ(fake::world.caret, std::make_pair(32, 48));  // under the third cell of the first row
  Receive("\x1b[05;03H");
  EXPECT_EQ(fake::world.caret, std::make_pair(32, 112));
  ClearScreen();  // alone, the clear leaves the caret in the corner
  EXPECT_EQ(fake::world.caret, std::make_pair(0, 0));
  MainWindowProc(msg::Size, 0, 0);
  EXPECT_EQ(fake::world.caret, std::make_pair(16, 48));
  MainWindowProc(msg::KillFocus, 0, 0);
  Receive("c");
  EXPECT_FALSE(fake::world.caretExists);
  MainWindowProc(msg::SetFocus, 0, 0);
  EXPECT_TRUE(fake::CaretVisible());
  EXPECT_EQ(fake::world.caret, std::make_pair(24, 48));
}

TEST_F(Terminal, RowsBelowTheScreenAndThe81stColumnShowOnlyUntilTheNextFullRepaint) {
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
TEST_F(Terminal, TheCycleThatConsumesAnEraseRedrawsTheScreen) {
  for (unsigned message : {msg::Paint, msg::SetFocus, msg::Activate}) {
    StartTerminal();
    Receive("\x1b[28;01HZ");
    MainWindowProc(msg::KillFocus, 0, 0);
    MainWindowProc(message, 0, 0);
    RunLoopUntilIdle();
    EXPECT_EQ(VisibleRows(), Padded({"Z"})) << message;
    EXPECT_TRUE(fake::world.paintClips.empty()) << message;
  }
  fake::world.visible.assign(fake::ClientRows, std::string(fake::ClientColumns, '#'));  // uncovered
  platform::InvalidateMainWindow(true);
  RunLoopUntilIdle();
  EXPECT_EQ(VisibleRows(), Padded({"Z"}));
  fake::world.visible[2 + 2] = std::string(fake::ClientColumns, '#');
  platform::InvalidateMainWindow(false);  // a repaint is due when the clear comes: it paints white
  Receive("\x1b[J");
  EXPECT_EQ(VisibleRows(), Padded({}));
}

// A device falling silent inside a sequence or a page name: the rest is abandoned after 10 s, and
// what comes later is ordinary text.
TEST_F(Terminal, SilenceAbandonsASequenceOrAPageName) {
  for (const std::string start : {"\x1b[0", "\x1b[X00", "\x1b\xff\x7f", "\x1b"}) {
    StartTerminal();
    Receive(start);
    EXPECT_EQ(fake::world.nowUs / 1000, 10000) << Hex(start);
    Receive("5;05Hx");
    EXPECT_EQ(Row(0), "5;05Hx") << Hex(start);
    EXPECT_EQ(fake::world.sent, "") << Hex(start);
    EXPECT_TRUE(fake::world.messages.empty()) << Hex(start);
  }
}

std::string Sent(unsigned message, unsigned code) {
  fake::world.sent.clear();
  MainWindowProc(message, code, 0);
  return fake::world.sent;
}

struct Key {
  const char* name;
  unsigned key;
  std::string bytes;
  bool beep = false;  // before the first byte
};

// clang-format off
const Key Keys[] = {
    {"Left", vk::Left, "\x1b[D"}, {"Up", vk::Up, "\x1b[A"}, {"Right", vk::Right, "\x1b[C"},
    {"Down", vk::Down, "\x1b[B"}, {"PgUp", vk::Prior, "<"}, {"PgDn", vk::Next, ">"},
    {"End", vk::End, "\x1b[K", true}, {"Home", vk::Home, "\x1b[H", true},
    {"Backspace", vk::Back, "\x1b[D \x1b[D"}, {"Delete", 0x2E, ""}, {"F7", 0x76, ""},
    {"keypad divide", 0x6F, ""}, {"A", 0x41, ""},  // A sends its character
};
// clang-format on

using KeysBecomeBytes = TableOf<Key>;
TEST_P(KeysBecomeBytes, OnTheLine) {
  EXPECT_EQ(Hex(Sent(msg::KeyDown, GetParam().key)), Hex(GetParam().bytes));
  ExpectMessage("");  // no port was chosen
  ASSERT_EQ(fake::world.beepsUs.size(), GetParam().beep ? 1u : 0u);
  if (GetParam().beep) {
    EXPECT_LE(fake::world.beepsUs[0], fake::world.sentAtUs.front());
  }
}
ROWS(KeysBecomeBytes, Keys);

TEST_F(Terminal, CharactersBecomeBytes) {
  std::string typed = "a \r\n\x7f\x80\xe4\xff\xe5\xc5\xe6\xc6\xf8\xd8", sent;
  for (char control = 0; control < 0x20; ++control) typed += control;  // none but LF and CR go out
  for (char c : typed) sent += Sent(msg::Char, uint8_t(c));
  EXPECT_EQ(Hex(sent), Hex("a \r\n\x7f\x80\xe4\xff\x86\x8f\x91\x92\x9b\x9d\n\r"));  // six in code page 850
  EXPECT_EQ(Sent(msg::Char, 0x1E5), "\x86");                                        // the low 8 bits count
}

TEST_F(Terminal, TheBytesOfAKeyArePaced) {
  Sent(msg::KeyDown, vk::Back);
  std::vector<int64_t> gaps;
  for (int64_t at : fake::world.sentAtUs) gaps.push_back(at / 1000);
  EXPECT_EQ(gaps, (std::vector<int64_t>{0, 5, 10, 20, 30, 35, 40}));
  EXPECT_EQ(fake::world.nowUs, 45000);
}

TEST_F(Terminal, FunctionKeysReopenThePortAndRememberIt) {
  fake::world.presentPorts = {1, 2};
  Sent(msg::KeyDown, vk::F1);  // the port in use is closed and opened again
  Sent(msg::KeyDown, vk::F1 + 1);
  EXPECT_EQ(Sent(msg::Char, 'k'), "k");
  ExpectInOrder({"CloseSerialDevice 1", "OpenSerialDevice 1", "CloseSerialDevice 1", "OpenSerialDevice 2"});
  EXPECT_EQ(fake::world.files["/prog/MIRELOX.CFG"][0], '2');  // remembered
  EXPECT_EQ(fake::world.titles.back().substr(19, 5), "COM2:");
  EXPECT_TRUE(fake::world.messages.empty());
  Sent(msg::KeyDown, vk::F6);  // COM6 cannot open: no port is open, and COM2 is remembered
  ExpectMessage("Error: COM6 port cannot be opened!");
  EXPECT_EQ(fake::world.openPort, 0);
  EXPECT_EQ(fake::world.files["/prog/MIRELOX.CFG"][0], '2');
  EXPECT_EQ(fake::world.titles.back().substr(19, 5), "COM2:");
  ExpectInOrder({"OpenSerialDevice 6", "OpenForWriting"});  // the file is rewritten all the same
  EXPECT_EQ(Sent(msg::Char, 'a'), "");
}

struct Page {
  const char* name;
  std::string content;
  std::vector<std::string> rows;  // rows 0.. after the page; the rest blank
  int column, row;                // where the cursor ends
};

std::string Numbered(int from, int to) {
  std::string lines;
  for (int n = from; n <= to; ++n) lines += "line " + std::to_string(n) + "\n";
  return lines;
}

// clang-format off
const Page Pages[] = {
    {"the first line is never shown", "title\r\nline A\r\nline B\nno line feed", {"row zero", "line A", "line B"}, 6, 2},
    {"an empty first line", "\nshown\n", {"row zero", "shown", "xxxxx"}, 5, 1},
    {"an empty file", "", {"row zero", "", "xxxxx"}, 0, 0},
    {"an empty line blanks its row", "t\nA\n\n", {"row zero", "A"}, 0, 2},
    {"CR alone ends no line", "one\rtwo\rthree\r", {"row zero", "", "xxxxx"}, 0, 0},
    {"a NUL ends the drawn text", std::string("t\nab\0cd\n", 8), {"row zero", "ab", "xxxxx"}, 2, 1},
    {"only lines ending in the first 4096 bytes", "t\n" + A(4094) + "\nnever\n", {"row zero", "", "xxxxx"}, 0, 0},
    {"the 4096th byte may end a line", "t\n" + A(4093) + "\nnever\n", {"row zero", A(80), A(19)}, 99, 1},
    {"the 27th line clears the screen", "t\n" + Numbered(1, 28), {"line 27", "line 28"}, 7, 1},
};
// clang-format on

using TextPages = TableOf<Page>;
TEST_P(TextPages, LinesGoFromRowOneDownOnBlankedRows) {
  const Page& page = GetParam();
  Receive("row zero\r\rxxxxx\x1b[10;10H");
  fake::world.files["/prog/TXT00042.KVB"] = page.content;
  Receive("\x1b[X00042");
  EXPECT_EQ(Rows(), Padded(page.rows));
  EXPECT_EQ(Cursor(), std::make_pair(page.column, page.row));
  EXPECT_TRUE(fake::CaretVisible());
  EXPECT_TRUE(fake::world.messages.empty());
  EXPECT_TRUE(fake::world.openFiles.empty());
  RunLoopUntilIdle();
  EXPECT_EQ(VisibleRows(page.row), Rows(page.row));  // a long line's tail is stored below, drawn on the right
}
ROWS(TextPages, Pages);

// Names the device may send, a page drawn while output is frozen, and a page shorter than the one
// before it, which must not see that one's end.
TEST_F(Terminal, NamesFreezeAndOnlyTheBytesRead) {
  fake::world.files["/cwd/TXT12.45"] = "t\ndotted\n";     // a name with a full stop keeps it
  fake::world.files["/prog/TXT1 345.KVB"] = "t\nAAAA\n";  // a blank is no path separator
  fake::world.files["/prog/TXT12.KVB"] = "t\nB\nDD";      // a NUL ends the name
  Receive("\x1b[F\x1b[X12.45");
  EXPECT_EQ(Row(1), "dotted");
  Receive("\x1b[X1 345" + std::string("\x1b[X12\0zz", 8));
  EXPECT_EQ(Rows(), Padded({"", "B"}));
  EXPECT_TRUE(fake::world.messages.empty());
}

// A page that another program holds open is shown all the same; a missing one is reported.
TEST_F(Terminal, AMissingOrForbiddenPageIsReportedAndNotSearched) {
  fake::world.files["/prog/TXT00098.KVB"] = "t\nheld by another program\n";
  ASSERT_NE(platform::OpenFileForReading("/prog/TXT00098.KVB"), platform::NoFile);
  Receive("\x1b[10;10H\x1b[X00099z\x1b[X00098");
  ExpectMessage("Text page not found: -TXT00099-");
  EXPECT_EQ(Row(0), "z");  // the page's sequence has ended: this is text, drawn at the top left
  EXPECT_EQ(Row(1), "held by another program");
  for (const std::string name : {"/etc/", "..\\..", "C:abc", "a\tb00", "ab\00100"}) {
    fake::world.calls.clear();
    fake::world.messages.clear();
    Receive("\x1b[X" + name);
    EXPECT_EQ(fake::IndexOfCall("Search"), -1) << name;
    EXPECT_EQ(fake::world.messages.size(), 1u) << name;
  }
}

}  // namespace
