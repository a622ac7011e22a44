// The client area's pixels after a clear, as the window shows them: white, outlined with one black
// pixel all round as Rectangle() draws it, and no drawing context left holding the canvas. Cairo
// image surfaces only: no display is needed.
#include <gtest/gtest.h>

#include <string>

#include "platform/gtk/gtk_state.h"
#include "platform/platform.h"

namespace {

TEST(Canvas, AClearIsWhiteInsideABlackOutline) {
  constexpr int Width = 5, Height = 4;
  platform::gtk::CreateCanvas(Width, Height);
  platform::BeginPaintCycle();
  platform::DrawTextRun(0, 0, reinterpret_cast<const unsigned char*>(" "), 1);  // cleared over
  platform::FillClientWhite();
  platform::EndPaintCycle();
  uint32_t pixels[Width * Height] = {};
  cairo_surface_t* shown = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(pixels),
                                                               CAIRO_FORMAT_RGB24, Width, Height, Width * 4);
  cairo_t* cr = cairo_create(shown);
  platform::gtk::DrawClientArea(nullptr, cr, nullptr);
  cairo_surface_t* canvas = nullptr;  // held by itself and by this source, and by nothing left over
  cairo_pattern_get_surface(cairo_get_source(cr), &canvas);
  EXPECT_EQ(cairo_surface_get_reference_count(canvas), 2u);
  cairo_destroy(cr);
  cairo_surface_destroy(shown);
  std::string picture;  // | before each row, then # black, . white, ? any other colour
  for (int at = 0; at < Width * Height; ++at) {
    const uint32_t colour = pixels[at] & 0xFFFFFF;
    picture += std::string(at % Width == 0 ? "|" : "") + (colour == 0 ? '#' : colour == 0xFFFFFF ? '.' : '?');
  }
  EXPECT_EQ(picture, "|#####|#...#|#...#|#####");
  platform::gtk::DropCanvas();
}

}  // namespace
