// The keyboard: keys typed in the window arrive at the device as their bytes, the Scandinavian
// letters in code page 850; F-keys switch the port (title, configuration, line); a port that
// cannot open is reported; Alt+? shows the About dialog.
#include <thread>

#include "support/terminal_test.h"

namespace e2e {
namespace {

using KeysTest = TerminalTest;
using devsim::Bytes;
using devsim::Esc;

TEST_P(KeysTest, TypedKeysReachTheDeviceAsTheirBytes) {
  devsim::Device& device = AddDevice(1);
  workspace_.WriteConfiguration('1');
  StartProgram();
  ASSERT_NE(WaitForMainWindow(1), "");
  FocusWindow(mainWindow_);

  PressKeys({"a", "B", "Return", "space", "Up", "Left", "Prior", "Next"});
  Bytes expected = {'a', 'B', 0x0D, ' ', Esc, '[', 'A', Esc, '[', 'D', '<', '>'};
  EXPECT_EQ(devsim::Printable(device.Receive(expected.size(), ReplyTimeout)), devsim::Printable(expected));

  // Backspace: cursor left, a blank, cursor left, each byte paced by the terminal.
  PressKeys({"BackSpace"});
  auto timed = device.ReceiveTimed(7, ReplyTimeout);
  Bytes backspace;
  for (const auto& b : timed) backspace.push_back(b.value);
  EXPECT_EQ(devsim::Printable(backspace), devsim::Printable({Esc, '[', 'D', ' ', Esc, '[', 'D'}));
  if (timed.size() == 7) {
    EXPECT_GE(timed.back().at - timed.front().at, Millis(30)) << "the seven bytes were not paced";
  }

  SetKeyboardLayout("no");
  PressKeys({"aring", "AE", "oslash"});
  SetKeyboardLayout("us");
  EXPECT_EQ(devsim::Printable(device.Receive(3, ReplyTimeout)), devsim::Printable({0x86, 0x92, 0x9B}));
  EXPECT_EQ(device.ReceiveFor(Millis(300)), Bytes{}) << "more bytes than the keys make";
}

TEST_P(KeysTest, FunctionKeysSwitchThePortAndReportOneThatCannotOpen) {
  devsim::Device& first = AddDevice(1);
  devsim::Device& second = AddDevice(2);
  workspace_.WriteConfiguration('1');
  StartProgram();
  ASSERT_NE(WaitForMainWindow(1), "");
  FocusWindow(mainWindow_);

  PressKeys({"F2"});
  EXPECT_TRUE(WaitForTitle(2)) << WindowName(mainWindow_);
  EXPECT_EQ(workspace_.Read(ConfigPath()).at(0), '2');
  FocusWindow(mainWindow_);
  PressKeys({"x"});
  EXPECT_EQ(second.Receive(1, ReplyTimeout), Bytes{'x'});
  EXPECT_EQ(first.ReceiveFor(Millis(300)), Bytes{});

  Bytes configurationBefore = workspace_.Read(ConfigPath());
  PressKeys({"F3"});
  WindowId box = ExpectErrorBox("Error: COM3 port cannot be opened!");
  ASSERT_NE(box, "");
  CloseBox(box);
  EXPECT_EQ(workspace_.Read(ConfigPath()), configurationBefore);
  EXPECT_TRUE(WaitForTitle(2)) << WindowName(mainWindow_);

  FocusWindow(mainWindow_);
  PressKeys({"alt+question"});
  WindowId about = FindWindow("^About Mirelox$", WindowTimeout);
  ASSERT_NE(about, "") << "Alt+? showed no About dialog";
  FocusWindow(about);
  PressKeys({"Return"});
  EXPECT_TRUE(WaitUntilGone("^About Mirelox$", Millis(10000)));

  CloseWindow(mainWindow_);
  EXPECT_EQ(WaitForExit(), 0);
}

E2E_FOR_BOTH_PROGRAMS(KeysTest);

}  // namespace
}  // namespace e2e
