// The window icon, drawn here so that the program needs no image file beside it: a small
// terminal screen with a prompt and a cursor bar.
#include "platform/gtk/gtk_state.h"

namespace platform::gtk {

GdkPixbuf* CreateWindowIcon() {
  constexpr int Size = 32;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, Size, Size);
  cairo_t* cr = cairo_create(surface);
  // Case and stand.
  cairo_set_source_rgb(cr, 0.25, 0.30, 0.40);
  cairo_rectangle(cr, 1, 3, 30, 22);
  cairo_fill(cr);
  cairo_rectangle(cr, 10, 25, 12, 3);
  cairo_rectangle(cr, 6, 28, 20, 3);
  cairo_fill(cr);
  // Screen with a prompt ">" and an underline caret.
  cairo_set_source_rgb(cr, 0.05, 0.10, 0.08);
  cairo_rectangle(cr, 4, 6, 24, 16);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 0.35, 1.0, 0.45);
  cairo_set_line_width(cr, 2);
  cairo_move_to(cr, 7, 9);
  cairo_line_to(cr, 12, 13);
  cairo_line_to(cr, 7, 17);
  cairo_stroke(cr);
  cairo_rectangle(cr, 15, 17, 8, 2);
  cairo_fill(cr);
  cairo_destroy(cr);
  GdkPixbuf* icon = gdk_pixbuf_get_from_surface(surface, 0, 0, Size, Size);
  cairo_surface_destroy(surface);
  return icon;
}

}  // namespace platform::gtk
