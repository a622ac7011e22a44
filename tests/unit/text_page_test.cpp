#include <gtest/gtest.h>

#include <string>

#include "terminal/screen.h"
#include "tests/fake/fake_platform.h"
#include "tests/unit/terminal_fixture.h"

namespace {

using TextPage = TerminalTest;
constexpr int H = fake::LineHeight;
constexpr int W = fake::CharWidth;

std::string BufferRow(int row) {
  return std::string(reinterpret_cast<char*>(ScreenBuffer) + row * 80, 80);
}
std::string Padded(const std::string& text) {
  return text + std::string(80 - text.size(), ' ');
}

void ShowPage(const std::string& content, const std::string& number = "00042") {
  fake::world.files["/prog/TXT" + number + ".KVB"] = content;
  Receive("\x1b[X" + number);
}

TEST_F(TextPage, LinesGoFromRowOneDownOnBlankedRows) {
  Receive("\x1b[01;01Hrow zero stays");
  Receive("\x1b[03;01Hxxxxxxxxxxxxxxxxxxxxxxxxx");
  ShowPage("first line\r\nline A\r\nline B\nno line feed");
  EXPECT_EQ(BufferRow(0), Padded("row zero stays"));
  EXPECT_EQ(BufferRow(1), Padded("line A"));
  EXPECT_EQ(BufferRow(2), Padded("line B"));
  EXPECT_EQ(BufferRow(3), std::string(80, ' '));
  EXPECT_EQ(fake::VisibleRow(2), Padded("line B"));
  EXPECT_EQ(CursorX, 6 * W);
  EXPECT_EQ(CursorY, 2 * H);
  EXPECT_EQ(fake::world.caretX, CursorX + 2 * W);
  EXPECT_TRUE(fake::CaretVisible());
}

TEST_F(TextPage, EmptyLinesAndLineEnds) {
  ShowPage("\nshown\n\n\nlast\n");
  EXPECT_EQ(BufferRow(1), Padded("shown"));
  EXPECT_EQ(BufferRow(4), Padded("last"));
  ShowPage("x\nA\n\n");
  EXPECT_EQ(BufferRow(2), std::string(80, ' '));
  EXPECT_EQ(CursorX, 0);
  EXPECT_EQ(CursorY, 2 * H);

  Receive("\x1b[05;05H");
  ShowPage("one\rtwo\rthree\r");  // no LF: nothing drawn, cursor to the top left
  EXPECT_EQ(CursorX, 0);
  EXPECT_EQ(CursorY, 0);
  ShowPage(std::string("skip\nab\0cd\n", 11));
  EXPECT_EQ(BufferRow(1), Padded("ab"));
}

TEST_F(TextPage, OnlyTheFirst4096BytesCount) {
  std::string page = "title\n" + std::string(4090, 'a') + "\nnever\n";
  ShowPage(page.substr(0, 4096) + "b\nnever\n");
  EXPECT_EQ(BufferRow(1), std::string(80, ' '));  // its line ends beyond byte 4095
  ShowPage("title\n" + std::string(4088, 'a') + "\nnever\n");
  EXPECT_EQ(BufferRow(1), std::string(80, 'a'));
}

TEST_F(TextPage, LongLinesKeep99CharactersAndLongPagesStartOverAtRowZero) {
  ShowPage(std::string(150, 'f') + "\n" + std::string(99, 'x') + std::string(51, 'y') + "\nnext\n");
  EXPECT_EQ(BufferRow(1), std::string(80, 'x'));
  EXPECT_EQ(BufferRow(2), Padded("next"));  // the 19 more x went into row 2 and were blanked

  std::string page = "title\n";
  for (int n = 1; n <= 30; ++n) page += "line " + std::to_string(n) + "\n";
  ShowPage(page);
  EXPECT_EQ(BufferRow(0), Padded("line 27"));
  EXPECT_EQ(BufferRow(3), Padded("line 30"));
  EXPECT_EQ(BufferRow(4), std::string(80, ' '));  // the clear took the earlier lines
  RunLoopUntilIdle();
  EXPECT_EQ(fake::VisibleRow(0), Padded("line 27"));
}

TEST_F(TextPage, AMissingPageIsReportedWithItsName) {
  Receive("\x1b[10;10H");
  Receive("\x1b[X00099");
  ASSERT_EQ(fake::world.messages.size(), 1u);
  EXPECT_EQ(fake::world.messages[0].text, "Text page not found: -TXT00099-");
  EXPECT_TRUE(fake::world.messages[0].ownedByMainWindow);
  EXPECT_EQ(CursorX, 0);
  EXPECT_EQ(CursorY, 0);
}

TEST_F(TextPage, NameBytesCannotLeaveTheSearchPath) {
  fake::world.files["/prog/TXT12.45"] = "t\ndotted\n";
  Receive("\x1b[X12.45");  // a full stop is allowed: the name has its extension
  EXPECT_EQ(BufferRow(1), Padded("dotted"));

  for (const std::string& hostile :
       {std::string("/etc/"), std::string("..\\..", 5), std::string("C:abc"), std::string("a\tb00", 5),
        std::string("ab\x01"
                    "00",
                    5)}) {
    fake::world.messages.clear();
    fake::world.searchedNames.clear();
    Receive("\x1b[X" + hostile);
    ASSERT_EQ(fake::world.messages.size(), 1u) << hostile;
    EXPECT_TRUE(fake::world.searchedNames.empty()) << hostile;
  }
  fake::world.files["/prog/TXT12.KVB"] = "t\nshort name\n";
  Receive(std::string("\x1b[X12\0zz", 8));  // a NUL ends the name
  EXPECT_EQ(BufferRow(1), Padded("short name"));
}

TEST_F(TextPage, APageIsDrawnAlsoWhileOutputIsFrozen) {
  Receive("\x1b[F");
  ShowPage("t\nfrozen or not\n");
  EXPECT_EQ(BufferRow(1), Padded("frozen or not"));
  Receive("ignored");
  EXPECT_EQ(BufferRow(1), Padded("frozen or not"));
}

}  // namespace
