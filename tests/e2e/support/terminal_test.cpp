#include "support/terminal_test.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace e2e {

namespace {

std::string EscapeRegex(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) out += '\\';
    out += c;
  }
  return out;
}

std::string Exactly(const std::string& title) {
  return "^" + EscapeRegex(title) + "$";
}

std::string Tail(const std::string& path, size_t bytes) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  std::string text = all.str();
  return text.size() > bytes ? text.substr(text.size() - bytes) : text;
}

struct InkBox {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
  void Add(int x, int y) {
    left = std::min(left, x);
    top = std::min(top, y);
    right = std::max(right, x);
    bottom = std::max(bottom, y);
  }
  bool Empty() const { return right < 0; }
};

}  // namespace

std::string NormalTitlePrefix(int port) {
  return " Mirelox v2.2  |   COM" + std::to_string(port) + ": 4800 8N1   |   select comport F1..F6   |   ";
}

size_t CharacterCount(const std::string& utf8) {
  return std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; });
}

Rect CellGrid::Cell(int row, int column) const {
  return {static_cast<int>(left + (column - 1) * width + 0.5),
          static_cast<int>(top + (row - 1) * height + 0.5), static_cast<int>(width + 0.5),
          static_cast<int>(height + 0.5)};
}

Rect CellGrid::Inside(int row, int column) const {
  Rect cell = Cell(row, column);
  return {cell.x + 1, cell.y + 1, cell.width - 2, cell.height - 2};
}

std::string ProgramParamName(const testing::TestParamInfo<ProgramKind>& info) {
  return KindName(info.param);
}

void TerminalTest::SetUp() {
  launcher_ = MakeLauncher(GetParam());
  std::string missing = launcher_->Missing();
  ASSERT_EQ(missing, "") << "the " << KindName(GetParam()) << " program cannot be started";
  DisplayName();
}

void TerminalTest::TearDown() {
  if (HasFailure()) {
    std::string shot = "/tmp/mirelox-e2e-failure-" + KindName(GetParam()) + "-" +
                       testing::UnitTest::GetInstance()->current_test_info()->name() + ".png";
    std::replace(shot.begin() + 5, shot.end(), '/', '_');
    RunCommand({"import", "-window", "root", shot}, {{"DISPLAY", DisplayName()}});
    std::cerr << "screenshot: " << shot << "\nprogram output (tail):\n"
              << Tail(workspace_.Path("program.log"), 3000) << "\n";
  }
  if (program_) program_->Kill();
  program_.reset();
  if (launcher_) launcher_->CleanUp();
  devices_.clear();
}

devsim::Device& TerminalTest::AddDevice(int port) {
  auto device = std::make_unique<devsim::Device>(workspace_.Path("com" + std::to_string(port)));
  devsim::Device& added = *device;
  devices_[port] = std::move(device);
  return added;
}

void TerminalTest::StartWithDevice() {
  AddDevice(1);
  workspace_.WriteConfiguration('1');
  std::filesystem::create_directories(workspace_.Path("files"));
  StartProgram();
  ASSERT_NE(WaitForMainWindow(1), "");
}

void TerminalTest::StartProgram(const PortMap& extraPorts) {
  PortMap ports = extraPorts;
  for (const auto& [port, device] : devices_) ports[port] = device->LinkPath();
  program_ = launcher_->Start(workspace_, ports);
}

WindowId TerminalTest::WaitForMainWindow(int port) {
  mainWindow_ = FindWindow("^" + EscapeRegex(NormalTitlePrefix(port)), WindowTimeout);
  EXPECT_NE(mainWindow_, "") << "no main window with the title of COM" << port;
  return mainWindow_;
}

bool TerminalTest::WaitForTitle(int port, Millis timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (WindowName(mainWindow_).rfind(NormalTitlePrefix(port), 0) == 0) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(Millis(100));
  }
}

void TerminalTest::SyncWith(devsim::Device& device) {
  ASSERT_EQ(device.QueryIdentification(Millis(10000)), devsim::ToBytes("MIRELOX     "))
      << "the terminal did not answer the identification query";
  std::this_thread::sleep_for(Millis(250));  // the X server catches up with the last paint
}

Image TerminalTest::Shot() {
  Image shot = Screenshot();
  EXPECT_FALSE(shot.Empty()) << "no screenshot of the display";
  return shot;
}

CellGrid TerminalTest::MeasureCellGrid(devsim::Device& device) {
  CellGrid grid;
  Geometry window = WindowGeometry(mainWindow_);
  Rect area = {window.x, window.y, window.width, window.height};
  device.ClearScreen();
  device.MoveTo(24, 1);
  SyncWith(device);
  Image before = Shot();
  device.PutText(2, 3, "H");
  device.PutText(12, 43, "H");
  device.MoveTo(24, 1);
  SyncWith(device);
  Image after = Shot();
  auto ink = NewInk(before, after, area, 4);
  if (ink.empty()) {
    ADD_FAILURE() << "the two marker letters left no ink in the window";
    return grid;
  }
  int minX = ink.front().first, maxX = ink.front().first;
  for (auto [x, y] : ink) {
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
  }
  InkBox first, second;
  for (auto [x, y] : ink) (x < (minX + maxX) / 2 ? first : second).Add(x, y);
  if (first.Empty() || second.Empty()) {
    ADD_FAILURE() << "expected two separate marker letters";
    return grid;
  }
  grid.width = (second.left - first.left) / 40.0;
  grid.height = (second.top - first.top) / 10.0;
  // The glyph is taken as centred in its cell.
  double cellLeft = first.left - (grid.width - (first.right - first.left + 1)) / 2;
  double cellTop = first.top - (grid.height - (first.bottom - first.top + 1)) / 2;
  grid.left = cellLeft - 2 * grid.width;
  grid.top = cellTop - grid.height;
  EXPECT_GE(grid.width, 5);
  EXPECT_GE(grid.height, 10);
  EXPECT_EQ(second.right - second.left, first.right - first.left) << "the markers differ in width";
  return grid;
}

void TerminalTest::ChooseFile(const std::string& dialogTitle, const std::string& path) {
  WindowId dialog = FindWindow(Exactly(dialogTitle), WindowTimeout);
  ASSERT_NE(dialog, "") << "no file dialog titled " << dialogTitle;
  launcher_->ChooseInFileDialog(dialog, Exactly(dialogTitle), path);
}

void TerminalTest::ConfirmCreation(const std::string& dialogTitle) {
  if (!launcher_->SaveDialogAsksBeforeCreating()) return;
  // The question comes up over the dialog and carries the dialog's title.
  auto deadline = std::chrono::steady_clock::now() + WindowTimeout;
  std::vector<WindowId> windows;
  while ((windows = FindWindows(Exactly(dialogTitle), Millis(0))).size() < 2) {
    if (std::chrono::steady_clock::now() >= deadline) {
      ADD_FAILURE() << "no question before creating a new file";
      return;
    }
    std::this_thread::sleep_for(Millis(100));
  }
  FocusWindow(windows.back());
  std::this_thread::sleep_for(Millis(300));
  PressKeys({"Return"});
}

void TerminalTest::CancelFileDialog(const std::string& dialogTitle) {
  WindowId dialog = FindWindow(Exactly(dialogTitle), WindowTimeout);
  ASSERT_NE(dialog, "") << "no file dialog titled " << dialogTitle;
  FocusWindow(dialog);
  std::this_thread::sleep_for(Millis(300));
  PressKeys({"Escape"});
  EXPECT_TRUE(WaitUntilGone(Exactly(dialogTitle), Millis(10000))) << "the dialog stayed after Escape";
}

WindowId TerminalTest::ExpectErrorBox(const std::string& text) {
  WindowId box = FindWindow("^Error$", WindowTimeout);
  EXPECT_NE(box, "") << "no message box titled Error (expected: " << text << ")";
  if (box.empty()) return box;
  // The box can be on the screen a moment before its text reaches the log that is read here.
  std::optional<std::string> shown = launcher_->MessageBoxText(box);
  for (int retry = 0; retry < 20 && shown.value_or("") != text; ++retry) {
    std::this_thread::sleep_for(Millis(100));
    shown = launcher_->MessageBoxText(box);
  }
  EXPECT_TRUE(shown.has_value()) << "the text of the box could not be read";
  EXPECT_EQ(shown.value_or(""), text);
  return box;
}

void TerminalTest::CloseBox(const WindowId& box) {
  FocusWindow(box);
  PressKeys({"Return"});
  auto deadline = std::chrono::steady_clock::now() + Millis(10000);
  while (std::chrono::steady_clock::now() < deadline) {
    auto open = FindWindows("^Error$", Millis(0));
    if (std::find(open.begin(), open.end(), box) == open.end()) return;
    std::this_thread::sleep_for(Millis(100));
  }
  ADD_FAILURE() << "the message box stayed open after Return";
}

}  // namespace e2e
