// Run beside the program under test: prints "ready" once it listens, then one line for every bell
// rung on the X display (GTK's gdk_display_beep and Wine's MessageBeep both ring it).
#include <X11/XKBlib.h>
#include <stdio.h>

int main(void) {
  Display* display = XOpenDisplay(NULL);
  int event = 0;
  if (!display || !XkbQueryExtension(display, NULL, &event, NULL, NULL, NULL)) return 1;
  XkbSelectEvents(display, XkbUseCoreKbd, XkbBellNotifyMask, XkbBellNotifyMask);
  XSync(display, False);
  for (puts("ready"), fflush(stdout);;) {
    XEvent e;
    XNextEvent(display, &e);
    if (e.type == event && ((XkbAnyEvent*)&e)->xkb_type == XkbBellNotify) puts("bell"), fflush(stdout);
  }
}
