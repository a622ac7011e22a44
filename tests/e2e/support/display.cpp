#include "support/display.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <memory>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace e2e {

namespace {

using Clock = std::chrono::steady_clock;

struct Xvfb {
  std::unique_ptr<ChildProcess> process;
  std::string name;
};

Xvfb& Server() {
  static Xvfb server;
  return server;
}

void StartXvfb(Xvfb& server) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe for Xvfb");
  // The write end must survive exec in Xvfb, so it is not close-on-exec; the read end is.
  fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  server.process = std::make_unique<ChildProcess>(
      std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x1024x24",
                               "-nolisten", "tcp"},
      Environment{}, "");
  close(fds[1]);
  std::string number;
  pollfd pfd = {fds[0], POLLIN, 0};
  while (poll(&pfd, 1, 10000) == 1) {
    char c;
    if (read(fds[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  close(fds[0]);
  if (number.empty()) throw std::runtime_error("Xvfb did not report its display");
  server.name = ":" + number;
}

Environment OnDisplay() {
  return {{"DISPLAY", DisplayName()}};
}

CommandResult XDoTool(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"xdotool"};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunCommand(argv, OnDisplay());
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

}  // namespace

const std::string& DisplayName() {
  Xvfb& server = Server();
  if (!server.process || !server.process->Running()) StartXvfb(server);  // again, should it have died
  return server.name;
}

void StopDisplay() {
  Xvfb& server = Server();
  server.process.reset();
}

std::vector<WindowId> FindWindows(const std::string& namePattern, Millis timeout) {
  auto deadline = Clock::now() + timeout;
  for (;;) {
    auto found = Lines(XDoTool({"search", "--onlyvisible", "--name", namePattern}).output);
    if (!found.empty() || Clock::now() >= deadline) return found;
    std::this_thread::sleep_for(Millis(100));
  }
}

WindowId FindWindow(const std::string& namePattern, Millis timeout) {
  auto found = FindWindows(namePattern, timeout);
  return found.empty() ? "" : found.front();
}

bool WaitUntilGone(const std::string& namePattern, Millis timeout) {
  auto deadline = Clock::now() + timeout;
  while (!FindWindows(namePattern, Millis(0)).empty()) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(Millis(100));
  }
  return true;
}

std::string WindowName(const WindowId& window) {
  std::string name = XDoTool({"getwindowname", window}).output;
  if (!name.empty() && name.back() == '\n') name.pop_back();
  return name;
}

Geometry WindowGeometry(const WindowId& window) {
  Geometry geometry;
  for (const std::string& line : Lines(XDoTool({"getwindowgeometry", "--shell", window}).output)) {
    auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string key = line.substr(0, equals);
    int value = std::atoi(line.c_str() + equals + 1);
    if (key == "X") geometry.x = value;
    if (key == "Y") geometry.y = value;
    if (key == "WIDTH") geometry.width = value;
    if (key == "HEIGHT") geometry.height = value;
  }
  return geometry;
}

void FocusWindow(const WindowId& window) {
  XDoTool({"windowfocus", "--sync", window});
}

void PressKeys(const std::vector<std::string>& keys) {
  std::vector<std::string> args = {"key", "--delay", "60"};
  args.insert(args.end(), keys.begin(), keys.end());
  XDoTool(args);
}

void TypeText(const std::string& text) {
  XDoTool({"type", "--delay", "40", text});
}

void CloseWindow(const WindowId& window) {
  // What a window manager's close button does: WM_DELETE_WINDOW through WM_PROTOCOLS.
  Display* display = XOpenDisplay(DisplayName().c_str());
  if (!display) return;
  XEvent event = {};
  event.xclient.type = ClientMessage;
  event.xclient.window = std::stoul(window);
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
  XCloseDisplay(display);
}

void SetKeyboardLayout(const std::string& layout) {
  RunCommand({"setxkbmap", "-display", DisplayName(), layout}, OnDisplay());
}

Image Screenshot() {
  return Image::FromPpm(
      RunCommand({"import", "-window", "root", "-depth", "8", "ppm:-"}, OnDisplay()).output);
}

std::string ClipboardText() {
  Display* display = XOpenDisplay(DisplayName().c_str());
  if (!display) return "";
  Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
  Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
  Atom target = XInternAtom(display, "UTF8_STRING", False);
  Atom property = XInternAtom(display, "E2E_CLIPBOARD", False);
  XConvertSelection(display, clipboard, target, property, window, CurrentTime);
  XFlush(display);
  std::string text;
  auto deadline = Clock::now() + Millis(3000);
  while (Clock::now() < deadline) {
    if (!XPending(display)) {
      std::this_thread::sleep_for(Millis(20));
      continue;
    }
    XEvent event;
    XNextEvent(display, &event);
    if (event.type != SelectionNotify) continue;
    if (event.xselection.property == None) break;
    Atom type;
    int format;
    unsigned long count, remaining;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, window, property, 0, 1 << 20, False, AnyPropertyType, &type, &format, &count,
                       &remaining, &data);
    if (data) {
      text.assign(reinterpret_cast<char*>(data), count);
      XFree(data);
    }
    break;
  }
  XDestroyWindow(display, window);
  XCloseDisplay(display);
  return text;
}

}  // namespace e2e
