// Stored text pages: ESC [ X and five name bytes draw the file's lines from row 1 down.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "terminal/screen.h"
#include "tests/unit/support.h"

namespace {

using TextPage = Terminal;

struct Page {
  const char* name;
  std::string content;
  std::vector<std::string> rows;  // rows 0.. after the page; the rest blank
  int column, row;                // where the cursor ends
};

std::string A(int count) {
  return std::string(count, 'a');
}

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
    {"a line keeps 99 characters", "t\n" + A(99) + "yy\nnext\n", {"row zero", A(80), "next"}, 4, 2},
    {"only lines ending in the first 4096 bytes", "t\n" + A(4094) + "\nnever\n", {"row zero", "", "xxxxx"}, 0, 0},
    {"the 4096th byte may end a line", "t\n" + A(4093) + "\nnever\n", {"row zero", A(80), A(19)}, 99, 1},
    {"the 27th line clears the screen", "t\n" + Numbered(1, 28), {"line 27", "line 28"}, 7, 1},
};
// clang-format on

TEST_F(TextPage, LinesGoFromRowOneDownOnBlankedRows) {
  for (const Page& page : Pages) {
    StartTerminal();
    Receive("row zero\r\rxxxxx\x1b[10;10H");
    fake::world.files["/prog/TXT00042.KVB"] = page.content;
    Receive("\x1b[X00042");
    EXPECT_EQ(Rows(), Padded(page.rows)) << page.name;
    EXPECT_EQ(Cursor(), std::make_pair(page.column, page.row)) << page.name;
    EXPECT_EQ(fake::world.caretX, CursorX + 2 * fake::CharWidth) << page.name;
    EXPECT_TRUE(fake::CaretVisible()) << page.name;
    EXPECT_TRUE(fake::world.messages.empty()) << page.name;
    EXPECT_TRUE(fake::world.openFiles.empty()) << page.name;
    RunLoopUntilIdle();
    for (int r = 0; r <= page.row; ++r) {  // a long line's tail is stored below, drawn on the right
      EXPECT_EQ(fake::VisibleRow(r), (Row(r) + std::string(80, ' ')).substr(0, 80))
          << page.name << " row " << r;
    }
  }
}

// Names the device may send, a page drawn while output is frozen, and a page shorter than the one
// before it, which must not see that one's end.
TEST_F(TextPage, NamesFreezeAndOnlyTheBytesRead) {
  fake::world.files["/cwd/TXT12.45"] = "t\ndotted\n";      // a name with a full stop keeps it
  fake::world.files["/prog/TXT1 345.KVB"] = "t\nAAAAA\n";  // a blank is no path separator
  fake::world.files["/prog/TXT12.KVB"] = "t\nB\nDD";       // a NUL ends the name
  Receive("\x1b[F\x1b[X12.45");
  EXPECT_EQ(Row(1), "dotted");
  Receive("\x1b[X1 345" + std::string("\x1b[X12\0zz", 8));
  EXPECT_EQ(Rows(), Padded({"", "B"}));
}

TEST_F(TextPage, AMissingOrForbiddenPageIsReportedAndNotSearched) {
  fake::world.files["/prog/TXT00098.KVB"] = "t\nheld by another program\n";
  ASSERT_NE(platform::OpenFileForReading("/prog/TXT00098.KVB"), platform::NoFile);
  Receive("\x1b[10;10H\x1b[X00099z\x1b[X00098");
  ASSERT_EQ(fake::world.messages.size(), 2u);
  EXPECT_EQ(fake::world.messages[0].text, "Text page not found: -TXT00099-");
  EXPECT_EQ(fake::world.messages[1].text, "Text page not found: -TXT00098-");
  EXPECT_TRUE(fake::world.messages[0].owned);
  EXPECT_EQ(Row(0), "z");  // the page's sequence has ended: this is text, drawn at the top left
  EXPECT_EQ(CursorX, 0);
  EXPECT_EQ(CursorY, 0);
  for (const std::string name : {"/etc/", "..\\..", "C:abc", "a\tb00",
                                 "ab\x01"
                                 "00"}) {
    fake::world.calls.clear();
    fake::world.messages.clear();
    Receive("\x1b[X" + name);
    EXPECT_EQ(fake::IndexOfCall("Search"), -1) << name;
    EXPECT_EQ(fake::world.messages.size(), 1u) << name;
  }
}

}  // namespace
