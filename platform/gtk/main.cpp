// The Linux entry point: prepare GTK, then run the program as WinMain would.
#include <gtk/gtk.h>
#include <sys/prctl.h>

#include "app/program.h"

int main(int argc, char** argv) {
  prctl(PR_SET_TIMERSLACK, 1UL);  // the 5 ms pauses end on time, not up to 50 us late
  gtk_init(&argc, &argv);
  constexpr int ShowDefault = 10;  // SW_SHOWDEFAULT: as the starting program asked
  return MireloxMain(ShowDefault, argc, argv);
}
