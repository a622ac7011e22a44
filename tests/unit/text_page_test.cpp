// Stored text pages: ESC [ X and five name bytes draw the file's lines from row 1 down.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

std::string Numbered(int from, int to) {
  std::string lines;
  for (int n = from; n <= to; ++n) lines += "line " + std::to_string(n) + "\n";
  return lines;
}

const Page Pages[] = {
    {"the first line is never shown",
     "title\r\nline A\r\nline B\nno line feed",
     {"row zero", "line A", "line B"},
     6,
     2},
    {"an empty first line", "\nshown\n", {"row zero", "shown", "xxxxx"}, 5, 1},
    {"an empty line blanks its row", "t\nA\n\n", {"row zero", "A"}, 0, 2},
    {"CR alone ends no line", "one\rtwo\rthree\r", {"row zero", "", "xxxxx"}, 0, 0},
    {"a NUL ends the drawn text", std::string("t\nab\0cd\n", 8), {"row zero", "ab", "xxxxx"}, 2, 1},
    {"a line keeps 99 characters",
     "t\n" + std::string(99, 'x') + "yy\nnext\n",
     {"row zero", std::string(80, 'x'), "next"},
     4,
     2},
    {"only lines ending in the first 4096 bytes",
     "t\n" + std::string(4094, 'a') + "\nnever\n",
     {"row zero", "", "xxxxx"},
     0,
     0},
    {"the 4096th byte may end a line",
     "t\n" + std::string(4093, 'a') + "\nnever\n",
     {"row zero", std::string(80, 'a'), std::string(19, 'a')},
     99,
     1},
    {"the 27th line clears the screen", "t\n" + Numbered(1, 28), {"line 27", "line 28"}, 7, 1},
};

TEST_F(TextPage, LinesGoFromRowOneDownOnBlankedRows) {
  for (const Page& page : Pages) {
    StartTerminal();
    Receive("row zero\r\rxxxxx\x1b[10;10H");
    fake::world.files["/prog/TXT00042.KVB"] = page.content;
    Receive("\x1b[X00042");
    std::vector<std::string> rows;
    for (int r = 0; r < ScreenRows; ++r) rows.push_back(Row(r));
    std::vector<std::string> expected = page.rows;
    expected.resize(ScreenRows);
    EXPECT_EQ(rows, expected) << page.name;
    EXPECT_EQ(CursorX, page.column * fake::CharWidth) << page.name;
    EXPECT_EQ(CursorY, page.row * fake::LineHeight) << page.name;
    EXPECT_EQ(fake::world.caretX, CursorX + 2 * fake::CharWidth) << page.name;
    EXPECT_TRUE(fake::CaretVisible()) << page.name;
    EXPECT_TRUE(fake::world.messages.empty()) << page.name;
  }
}

TEST_F(TextPage, APageIsDrawnWhileFrozenAndShownAsItWillBeRedrawn) {
  fake::world.files["/cwd/TXT12.45"] = "t\ndotted\n";  // a name with a full stop keeps it
  Receive("\x1b[F\x1b[X12.45");
  EXPECT_EQ(Row(1), "dotted");
  EXPECT_EQ(fake::VisibleRow(1).substr(0, 7), "dotted ");
  fake::world.files["/prog/TXT12.KVB"] = "t\nshort name\n";
  Receive(std::string("\x1b[X12\0zz", 8));  // a NUL ends the name
  EXPECT_EQ(Row(1), "short name");
}

TEST_F(TextPage, AMissingOrForbiddenPageIsReportedAndNotSearched) {
  Receive("\x1b[10;10H\x1b[X00099");
  ASSERT_EQ(fake::world.messages.size(), 1u);
  EXPECT_EQ(fake::world.messages[0].text, "Text page not found: -TXT00099-");
  EXPECT_TRUE(fake::world.messages[0].owned);
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
