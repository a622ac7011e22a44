// The virtual X display a test binary runs its programs on: one Xvfb (1280x1024x24) started on a
// free display number the first time a test asks for it, and ended when the binary exits. The
// xdotool, setxkbmap and import helpers all act on that display.
#pragma once

#include <string>
#include <vector>

#include "support/image.h"
#include "support/process.h"

namespace e2e {

const std::string& DisplayName();  // ":N"; starts Xvfb on first use
void StopDisplay();

using WindowId = std::string;

struct Geometry {
  int x = 0, y = 0, width = 0, height = 0;
};

// Visible windows whose name matches the regular expression, waiting up to timeout for one.
std::vector<WindowId> FindWindows(const std::string& namePattern, Millis timeout);
WindowId FindWindow(const std::string& namePattern, Millis timeout);  // "" when none appeared
bool WaitUntilGone(const std::string& namePattern, Millis timeout);
std::string WindowName(const WindowId& window);
Geometry WindowGeometry(const WindowId& window);
void FocusWindow(const WindowId& window);
void PressKeys(const std::vector<std::string>& keys);  // xdotool key names, one after another
void TypeText(const std::string& text);
void CloseWindow(const WindowId& window);  // as a window manager's close button does
void SetKeyboardLayout(const std::string& layout);

Image Screenshot();           // the whole screen
std::string ClipboardText();  // the CLIPBOARD selection as text, "" when nobody offers one

}  // namespace e2e
