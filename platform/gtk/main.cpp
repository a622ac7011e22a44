// The Linux entry point: prepare GTK, then run the program as WinMain would.
#include <gtk/gtk.h>

#include "app/program.h"

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  constexpr int ShowDefault = 10;  // SW_SHOWDEFAULT: as the starting program asked
  return MireloxMain(ShowDefault);
}
