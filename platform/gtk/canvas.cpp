// The client area's pixels and everything drawn into them: the screen font, paint cycles, text
// runs, the white fill and the caret. The canvas keeps what was drawn, as a window's pixels stay
// on Windows; each cycle remembers the rectangle it changed so that only that part is redrawn.
#include <pango/pangocairo.h>

#include <algorithm>

#include "app/main_window.h"
#include "app/window_messages.h"
#include "platform/gtk/code_page.h"
#include "platform/gtk/gtk_state.h"
#include "platform/platform.h"

namespace platform::gtk {

namespace {

constexpr char FontName[] = "DejaVu Sans Mono, Monospace 12";
constexpr uint32_t Placeholder = 0x25AF;  // an empty box, as a font draws a code it has no glyph for

cairo_surface_t* Canvas = nullptr;
int CanvasWidth = 0;
int CanvasHeight = 0;

PangoContext* FontContext = nullptr;
PangoLayout* Glyphs[256] = {};
int CellWidth = 0;
int CellHeight = 0;

bool RepaintPending = false;
bool ShowWhenCycleEnds = false;  // a clear: on the screen at once, as a Windows paint cycle draws
bool ErasePending = false;
int PaintDepth = 0;
cairo_rectangle_int_t Changed = {0, 0, 0, 0};

struct Caret {
  bool exists = false;
  int hideCount = 0;
  int x = 0, y = 0, width = 0, height = 0;
  bool Visible() const { return exists && hideCount == 0; }
} TheCaret;

PangoLayout* GlyphOf(unsigned char byte) {
  if (Glyphs[byte] == nullptr) {
    uint32_t codePoint = byte < 0x20 || byte == 0x7F ? 0 : UnicodeOf(byte);
    gunichar character = codePoint != 0 ? codePoint : Placeholder;
    char utf8[8] = {};
    g_unichar_to_utf8(character, utf8);
    Glyphs[byte] = pango_layout_new(FontContext);
    pango_layout_set_text(Glyphs[byte], utf8, -1);
  }
  return Glyphs[byte];
}

// The screen font and its cell: as tall as the font's line, as wide as its widest character.
void LoadFont() {
  if (FontContext != nullptr) return;
  FontContext = pango_font_map_create_context(pango_cairo_font_map_get_default());
  pango_cairo_context_set_resolution(FontContext, 96);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  pango_cairo_context_set_font_options(FontContext, options);
  cairo_font_options_destroy(options);
  PangoFontDescription* description = pango_font_description_from_string(FontName);
  pango_context_set_font_description(FontContext, description);
  pango_font_description_free(description);

  for (int byte = 0x20; byte <= 0xFF; ++byte) {
    if (byte == 0x7F || UnicodeOf(static_cast<unsigned char>(byte)) == 0) continue;
    PangoRectangle logical;
    pango_layout_get_pixel_extents(GlyphOf(static_cast<unsigned char>(byte)), nullptr, &logical);
    if (logical.width > CellWidth) CellWidth = logical.width;
    if (logical.height > CellHeight) CellHeight = logical.height;
  }
}

void AddChange(int x, int y, int width, int height) {
  cairo_rectangle_int_t area = {x, y, width, height};
  if (Changed.width == 0 || Changed.height == 0) {
    Changed = area;
    return;
  }
  int right = std::max(Changed.x + Changed.width, x + width);
  int bottom = std::max(Changed.y + Changed.height, y + height);
  Changed.x = std::min(Changed.x, x);
  Changed.y = std::min(Changed.y, y);
  Changed.width = right - Changed.x;
  Changed.height = bottom - Changed.y;
}

void FillWhite(cairo_t* cr) {
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
}

// Forces the queued area out now, without waiting for the loop to come round.
void ShowChangesNow() {
  GdkWindow* window = MainWindow != nullptr ? gtk_widget_get_window(MainWindow) : nullptr;
  if (window == nullptr) return;
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gdk_window_process_updates(window, TRUE);
  G_GNUC_END_IGNORE_DEPRECATIONS
  gdk_display_flush(gtk_widget_get_display(MainWindow));
}

void RedrawCaretArea() {
  if (ClientArea != nullptr && TheCaret.Visible()) {
    gtk_widget_queue_draw_area(ClientArea, TheCaret.x, TheCaret.y, TheCaret.width, TheCaret.height);
  }
}

}  // namespace

void SizeForCells(int columns, int rows, int* width, int* height) {
  LoadFont();
  *width = columns * CellWidth;
  *height = rows * CellHeight;
}

void CreateCanvas(int width, int height) {
  if (Canvas != nullptr) cairo_surface_destroy(Canvas);
  Canvas = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  CanvasWidth = width;
  CanvasHeight = height;
  cairo_t* cr = cairo_create(Canvas);
  FillWhite(cr);
  cairo_destroy(cr);
}

bool ResizeCanvas(int width, int height) {
  if (Canvas != nullptr && width == CanvasWidth && height == CanvasHeight) return false;
  cairo_surface_t* old = Canvas;
  Canvas = nullptr;
  CreateCanvas(width, height);
  if (old != nullptr) {
    cairo_t* cr = cairo_create(Canvas);
    cairo_set_source_surface(cr, old, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(old);
  }
  return true;
}

void DropCanvas() {
  if (Canvas != nullptr) cairo_surface_destroy(Canvas);
  Canvas = nullptr;
  CanvasWidth = CanvasHeight = 0;
  TheCaret = Caret();
}

bool RepaintRequested() {
  return RepaintPending;
}

gboolean DrawClientArea(GtkWidget*, cairo_t* cr, gpointer) {
  if (Canvas == nullptr) return FALSE;
  cairo_set_source_surface(cr, Canvas, 0, 0);
  cairo_paint(cr);
  if (TheCaret.Visible()) {
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_rectangle(cr, TheCaret.x, TheCaret.y, TheCaret.width, TheCaret.height);
    cairo_fill(cr);
  }
  return TRUE;
}

void RedrawWindowNow() {
  if (MainWindow == nullptr || gtk_widget_get_window(MainWindow) == nullptr) return;
  gtk_widget_queue_draw(MainWindow);
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gdk_window_process_updates(gtk_widget_get_window(MainWindow), TRUE);
  G_GNUC_END_IGNORE_DEPRECATIONS
  gdk_display_flush(gtk_widget_get_display(MainWindow));
}

}  // namespace platform::gtk

namespace platform {

using namespace platform::gtk;

void CreateScreenFont(int* lineHeight, int* charWidth) {
  LoadFont();
  *lineHeight = CellHeight;
  *charWidth = CellWidth;
}

// Like BeginPaint, a cycle takes the pending request: one made while it runs waits for the next.
bool BeginPaintCycle() {
  ++PaintDepth;
  bool erase = RepaintPending && ErasePending;
  RepaintPending = false;
  ErasePending = false;
  if (erase && Canvas != nullptr) {
    cairo_t* cr = cairo_create(Canvas);
    FillWhite(cr);
    cairo_destroy(cr);
    AddChange(0, 0, CanvasWidth, CanvasHeight);
  }
  return erase;
}

void EndPaintCycle() {
  if (PaintDepth == 0) return;
  if (--PaintDepth > 0) return;
  if (ClientArea != nullptr && Changed.width > 0 && Changed.height > 0) {
    gtk_widget_queue_draw_area(ClientArea, Changed.x, Changed.y, Changed.width, Changed.height);
  }
  Changed = {0, 0, 0, 0};
  // A transfer follows its clear without handling any event for as long as it lasts.
  if (ShowWhenCycleEnds) ShowChangesNow();
  ShowWhenCycleEnds = false;
}

void DrawTextRun(int x, int y, const unsigned char* bytes, int count) {
  if (PaintDepth == 0 || Canvas == nullptr || count <= 0) return;
  cairo_t* cr = cairo_create(Canvas);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_rectangle(cr, x, y, count * CellWidth, CellHeight);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 0, 0, 0);
  for (int i = 0; i < count; ++i) {
    if (bytes[i] == ' ' || bytes[i] == 0) continue;
    cairo_move_to(cr, x + i * CellWidth, y);
    pango_cairo_show_layout(cr, GlyphOf(bytes[i]));
  }
  cairo_destroy(cr);
  AddChange(x, y, count * CellWidth, CellHeight);
}

void FillClientWhite() {
  if (PaintDepth == 0 || Canvas == nullptr) return;
  ShowWhenCycleEnds = true;
  cairo_t* cr = cairo_create(Canvas);
  FillWhite(cr);
  // Rectangle() outlines the filled area with the default pen: one black pixel all round.
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, 1);
  cairo_rectangle(cr, 0.5, 0.5, CanvasWidth - 1, CanvasHeight - 1);
  cairo_stroke(cr);
  cairo_destroy(cr);
  AddChange(0, 0, CanvasWidth, CanvasHeight);
}

void InvalidateMainWindow(bool erase) {
  RepaintPending = true;
  ErasePending = ErasePending || erase;
  if (InModalLoop()) OfferPaintToModalLoop();
}

void UpdateMainWindow() {
  if (!RepaintPending || MainWindow == nullptr) return;
  MainWindowProc(msg::Paint, 0, 0);
  ShowChangesNow();  // what makes each character appear as it arrives
}

// A new caret starts hidden, as CreateCaret's does; ShowCaret undoes one HideCaret.
void CreateCaretBar(int width, int height) {
  RedrawCaretArea();
  TheCaret.exists = true;
  TheCaret.hideCount = 1;
  TheCaret.width = width;
  TheCaret.height = height;
}

void DestroyCaretBar() {
  RedrawCaretArea();
  TheCaret.exists = false;
}

void SetCaretPosition(int x, int y) {
  if (!TheCaret.exists) return;
  RedrawCaretArea();
  TheCaret.x = x;
  TheCaret.y = y;
  RedrawCaretArea();
}

void HideCaretBar() {
  if (!TheCaret.exists) return;
  RedrawCaretArea();
  ++TheCaret.hideCount;
}

void ShowCaretBar() {
  if (!TheCaret.exists || TheCaret.hideCount == 0) return;
  --TheCaret.hideCount;
  RedrawCaretArea();
}

}  // namespace platform
