// The demo as the demo command runs it: mirelox-devsim --demo on COM1 and the program beside the
// demo's MIRELOX.CFG and text pages. Typed keys come back as the device's echo (which also measures
// the cell grid), '3' shows text page 00001 and '6' asks the identification; closing the window
// must end both the program and the simulator with exit code 0.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "support/terminal_test.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

const fs::path DemoFiles = fs::path(__FILE__).parent_path() / "../../tools/demo";
const fs::path Simulator = fs::path(MIRELOX_E2E_LINUX_EXE).parent_path() / "tools/mirelox-devsim";

int InkInRow(const Image& shot, const CellGrid& grid, int row, int firstColumn, int lastColumn) {
  int ink = 0;
  for (int column = firstColumn; column <= lastColumn; ++column) ink += shot.InkIn(grid.Inside(row, column));
  return ink;
}

struct InkBox {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
  void Add(int x, int y) {
    left = std::min(left, x);
    top = std::min(top, y);
    right = std::max(right, x);
    bottom = std::max(bottom, y);
  }
};

bool SamePicture(const Image& a, const Image& b, const Rect& area) {
  return NewInk(a, b, area, 4).empty() && NewInk(b, a, area, 4).empty();
}

class DemoRun : public TerminalTest {
 protected:
  // Shots of the window until one satisfies ready and the next one shows the same (the device has
  // finished drawing); an empty image on timeout.
  Image WaitForScreen(const std::function<bool(const Image&)>& ready, Millis timeout = Millis(20000)) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    Image last;
    while (std::chrono::steady_clock::now() < deadline) {
      Image shot = Shot();
      if (!last.Empty() && ready(last) && SamePicture(last, shot, window_)) return shot;
      last = shot;
      std::this_thread::sleep_for(Millis(300));
    }
    return Image();
  }

  // The device echoes what is typed at its prompt (row 20, column 3): an H there, then four CRs
  // and an H at row 24, column 41 give the cell size; the glyph is taken as centred in its cell.
  CellGrid MeasureByEcho() {
    CellGrid grid;
    Image before = Shot();
    TypeText("H");
    PressKeys({"Return", "Return", "Return", "Return"});
    TypeText(std::string(40, ' ') + "H");
    InkBox first, second;
    auto twoLetters = [&](const Image& shot) {
      auto ink = NewInk(before, shot, window_, 4);
      first = second = InkBox();
      if (ink.empty()) return false;
      int minX = ink.front().first, maxX = minX;
      for (auto [x, y] : ink) minX = std::min(minX, x), maxX = std::max(maxX, x);
      for (auto [x, y] : ink) (x < (minX + maxX) / 2 ? first : second).Add(x, y);
      return maxX - minX > 100 && second.top > first.bottom;
    };
    if (WaitForScreen(twoLetters).Empty()) {
      ADD_FAILURE() << "the typed letters did not come back as the device's echo";
      return grid;
    }
    grid.width = (second.left - first.left) / 38.0;
    grid.height = (second.top - first.top) / 4.0;
    grid.left = first.left - (grid.width - (first.right - first.left + 1)) / 2 - 2 * grid.width;
    grid.top = first.top - (grid.height - (first.bottom - first.top + 1)) / 2 - 19 * grid.height;
    EXPECT_GE(grid.width, 5);
    EXPECT_GE(grid.height, 10);
    EXPECT_EQ(second.right - second.left, first.right - first.left) << "the echoed letters differ in width";
    return grid;
  }

  Rect window_;
};

TEST_P(DemoRun, ShowsAPageAndTheIdentificationAndEndsWithTheWindow) {
  ASSERT_TRUE(fs::exists(Simulator)) << "no simulator at " << Simulator;
  for (const char* name : {"MIRELOX.CFG", "TXT00001.KVB", "TXT00002.KVB"})
    fs::copy_file(DemoFiles / name, fs::path(workspace_.ProgramFolder()) / name);
  std::string link = workspace_.Path("com1");
  ChildProcess simulator({Simulator.string(), "--link", link, "--demo"}, {}, workspace_.Root(),
                         workspace_.Path("devsim.log"));
  for (int i = 0; i < 50 && !fs::is_symlink(link); ++i) std::this_thread::sleep_for(Millis(100));
  ASSERT_TRUE(fs::is_symlink(link)) << "the simulator made no link to its pty";

  StartProgram({{1, link}});
  ASSERT_NE(WaitForMainWindow(1), "");
  Geometry geometry = WindowGeometry(mainWindow_);
  window_ = {geometry.x, geometry.y, geometry.width, geometry.height};
  FocusWindow(mainWindow_);
  Image menu = WaitForScreen([&](const Image& shot) { return shot.InkIn(window_) > 2000; });
  ASSERT_FALSE(menu.Empty()) << "the demo menu did not appear";
  CellGrid grid = MeasureByEcho();
  ASSERT_FALSE(HasFailure());

  // Page 00001: its heading line is never shown, the others go from row 2 down on a cleared
  // screen: row 2 empty, the title and its underline on rows 3 and 4, row 5 empty, text on 6 to 9,
  // row 10 empty, the way back to the menu on row 11.
  PressKeys({"3"});
  Image page = WaitForScreen([&](const Image& shot) { return InkInRow(shot, grid, 9, 3, 10) > 0; });
  ASSERT_FALSE(page.Empty()) << "text page 00001 did not appear";
  for (int row : {3, 4, 6, 7, 8, 9, 11})
    EXPECT_GT(InkInRow(page, grid, row, 3, 10), 0) << "row " << row << " is empty";
  for (int row : {1, 2, 5, 10})
    EXPECT_EQ(InkInRow(page, grid, row, 1, 80), 0) << "ink on row " << row << " of the page";
  EXPECT_EQ(InkInRow(page, grid, 20, 1, 80) + InkInRow(page, grid, 24, 1, 80), 0)
      << "the menu's prompt or the echo survived the page";

  // '6': the device asks who the terminal is and writes the reply between quotes on row 12,
  // column 3: The terminal says: "MIRELOX     ".
  PressKeys({"6"});
  Image answer = WaitForScreen([&](const Image& shot) { return InkInRow(shot, grid, 12, 3, 10) > 0; });
  ASSERT_FALSE(answer.Empty()) << "no answer to the identification on the screen";
  for (int column = 23; column <= 29; ++column)
    EXPECT_GT(answer.InkIn(grid.Inside(12, column)), 0) << "no letter of MIRELOX in column " << column;
  EXPECT_EQ(InkInRow(answer, grid, 12, 30, 34), 0) << "the reply's five trailing blanks hold ink";
  EXPECT_GT(answer.InkIn(grid.Inside(12, 35)), 0) << "no closing quote after twelve characters";
  EXPECT_EQ(InkInRow(answer, grid, 12, 36, 80), 0) << "the reply is longer than twelve characters";
  EXPECT_GT(InkInRow(answer, grid, 1, 3, 10), 0) << "the menu did not come back";

  CloseWindow(mainWindow_);
  EXPECT_EQ(WaitForExit(), std::optional<int>(0)) << "the program did not end cleanly";
  EXPECT_EQ(simulator.WaitForExit(ExitTimeout), std::optional<int>(0)) << "the simulator did not end cleanly";
}

E2E_FOR_BOTH_PROGRAMS(DemoRun);

}  // namespace
}  // namespace e2e
