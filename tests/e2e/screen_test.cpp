// What the device sends, as it shows on the screen: text placed at cells, carriage return, cursor
// moves, freeze, clear; and the identification query answered on the line.
#include <set>
#include <utility>

#include "support/terminal_test.h"

namespace e2e {
namespace {

using ScreenTest = TerminalTest;
using Cell = std::pair<int, int>;  // row, column, both from 1

// Every cell of rows first..last, columns 1..40, must hold ink exactly when it is in inked.
void ExpectInkExactly(const Image& shot, const CellGrid& grid, int first, int last,
                      const std::set<Cell>& inked) {
  for (int row = first; row <= last; ++row) {
    for (int column = 1; column <= 40; ++column) {
      int ink = shot.InkIn(grid.Inside(row, column));
      if (inked.count({row, column}))
        EXPECT_GT(ink, 0) << "no character at row " << row << ", column " << column;
      else
        EXPECT_EQ(ink, 0) << "ink at row " << row << ", column " << column << " where none belongs";
    }
  }
}

TEST_P(ScreenTest, DrawsTextWhereTheDeviceSaysAndAnswersTheIdentificationQuery) {
  devsim::Device& device = AddDevice(1);
  workspace_.WriteConfiguration('1');
  StartProgram();
  ASSERT_NE(WaitForMainWindow(1), "");
  CellGrid grid = MeasureCellGrid(device);
  ASSERT_FALSE(HasFailure());

  device.ClearScreen();
  device.PutText(3, 10, "AB CD");
  device.PutText(5, 4, "L1");
  device.Send("\rM");  // CR: column 1 of the next row
  device.PutText(8, 20, "Q");
  device.CursorDown();  // below the cell after Q
  device.Send("R");
  device.CursorUp();
  device.CursorRight();
  device.Send("S");  // row 8, two cells right of R's column
  device.CursorLeft();
  device.CursorLeft();
  device.CursorLeft();
  device.CursorDown();
  device.CursorDown();
  device.Send("T");  // row 10, column 21
  device.MoveTo(12, 1);
  device.Freeze();
  device.Send("hidden\r\n");
  device.Unfreeze();
  device.Send("V");  // where the frozen text would have gone
  device.MoveTo(24, 1);
  SyncWith(device);
  Image shot = Shot();
  ExpectInkExactly(shot, grid, 2, 13,
                   {{3, 10},
                    {3, 11},
                    {3, 13},
                    {3, 14},
                    {5, 4},
                    {5, 5},
                    {6, 1},
                    {8, 20},
                    {9, 21},
                    {8, 23},
                    {10, 21},
                    {12, 1}});

  device.ClearScreen();
  device.MoveTo(24, 1);
  SyncWith(device);
  ExpectInkExactly(Shot(), grid, 2, 13, {});

  // A query with any fifth byte is answered; one that breaks off is not, and draws nothing.
  device.Send(devsim::Bytes{devsim::Esc, 0xFF, 0x7F, 0x08, 0x0C, 0x41});
  EXPECT_EQ(device.Receive(12, ReplyTimeout), devsim::ToBytes("MIRELOX     "));
  device.Send(devsim::Bytes{devsim::Esc, 0xFF, 0x7F, 0x09});
  EXPECT_EQ(device.ReceiveFor(Millis(500)), devsim::Bytes{});
  device.MoveTo(24, 1);
  SyncWith(device);
  ExpectInkExactly(Shot(), grid, 1, 13, {});
}

E2E_FOR_BOTH_PROGRAMS(ScreenTest);

}  // namespace
}  // namespace e2e
