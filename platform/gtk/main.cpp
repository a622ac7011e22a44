// The Linux entry point: prepare GTK, then run the program as WinMain would.
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <sys/prctl.h>

#include <csignal>
#include <cstdlib>

#include "app/main_window.h"
#include "app/program.h"
#include "app/window_messages.h"

namespace {

// A desktop that logs out ends its programs with SIGTERM or SIGHUP: the program ends as a Windows
// program does when its session ends, told first with WM_ENDSESSION.
gboolean EndSession(gpointer) {
  MainWindowProc(msg::EndSession, 1, 0);
  std::exit(0);
}

}  // namespace

int main(int argc, char** argv) {
  prctl(PR_SET_TIMERSLACK, 1UL);  // the 5 ms pauses end on time, not up to 50 us late
  gtk_init(&argc, &argv);
  g_unix_signal_add(SIGTERM, EndSession, nullptr);
  g_unix_signal_add(SIGHUP, EndSession, nullptr);
  constexpr int ShowDefault = 10;  // SW_SHOWDEFAULT: as the starting program asked
  return MireloxMain(ShowDefault, argc, argv);
}
