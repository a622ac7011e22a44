// Text pages: the lines of TXTnnnnn.KVB drawn from the second row on, each row blanked first, the
// first line never shown; a page that is missing is reported with configuration line 1.
#include "support/terminal_test.h"

namespace e2e {
namespace {

using TextPageTest = TerminalTest;

int InkInRow(const Image& shot, const CellGrid& grid, int row, int firstColumn, int lastColumn) {
  int ink = 0;
  for (int column = firstColumn; column <= lastColumn; ++column) ink += shot.InkIn(grid.Inside(row, column));
  return ink;
}

TEST_P(TextPageTest, DrawsThePageBelowTheFirstRowAndReportsAMissingOne) {
  devsim::Device& device = AddDevice(1);
  workspace_.WriteConfiguration('1');
  workspace_.Write(
      workspace_.ProgramFolder() + "/TXT00042.KVB",
      devsim::ToBytes("Header line never shown\r\nFirst line\r\nSecond\n\nFourth line\nno LF at the end"));
  StartProgram();
  ASSERT_NE(WaitForMainWindow(1), "");
  CellGrid grid = MeasureCellGrid(device);
  ASSERT_FALSE(HasFailure());

  device.ClearScreen();
  device.PutText(1, 1, "KEEP");
  device.PutText(3, 1, "ZZZZZZZZZZZZ");
  device.PutText(4, 1, "YYYY");
  device.RequestTextPage("00042");
  device.MoveTo(24, 1);
  SyncWith(device);
  Image shot = Shot();
  EXPECT_GT(InkInRow(shot, grid, 1, 1, 4), 0) << "the first row lost what it showed";
  // A line is drawn as one run in the font's own advance, which may differ a little from the
  // cell width that single characters step by; so the checks stay clear of the line's end.
  EXPECT_GT(InkInRow(shot, grid, 2, 1, 9), 0) << "\"First line\" is missing";
  EXPECT_EQ(InkInRow(shot, grid, 2, 13, 30), 0) << "\"First line\" runs on";
  EXPECT_GT(InkInRow(shot, grid, 3, 1, 6), 0) << "\"Second\" is missing";
  EXPECT_EQ(InkInRow(shot, grid, 3, 7, 14), 0) << "the row under \"Second\" was not blanked";
  EXPECT_EQ(InkInRow(shot, grid, 4, 1, 14), 0) << "the empty line did not blank its row";
  EXPECT_GT(InkInRow(shot, grid, 5, 1, 11), 0) << "\"Fourth line\" is missing";
  EXPECT_EQ(InkInRow(shot, grid, 6, 1, 20), 0) << "the line without LF was drawn";

  device.RequestTextPage("00099");
  WindowId box = ExpectErrorBox(TestMessageLines[1] + "-TXT00099-");
  ASSERT_NE(box, "");
  CloseBox(box);
  SyncWith(device);
}

E2E_FOR_BOTH_PROGRAMS(TextPageTest);

}  // namespace
}  // namespace e2e
