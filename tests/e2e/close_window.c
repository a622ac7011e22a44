// close_window WINDOW: asks a window to close as a window manager's close button does, with
// WM_DELETE_WINDOW; the test display has no window manager to do it.
#include <X11/Xlib.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  Display* display = XOpenDisplay(NULL);
  if (argc != 2 || display == NULL) return 2;
  XEvent event = {.xclient = {.type = ClientMessage, .window = strtoul(argv[1], NULL, 0), .format = 32}};
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
  XCloseDisplay(display);
  return 0;
}
