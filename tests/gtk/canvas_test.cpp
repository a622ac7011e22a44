// The client area's pixels after a clear, as the window shows them: white, outlined with one black
// pixel all round as Rectangle() draws it. Cairo image surfaces only: no display is needed.
#include <gtest/gtest.h>

#include "platform/gtk/gtk_state.h"
#include "platform/platform.h"

namespace {

TEST(Canvas, AClearIsWhiteInsideABlackOutline) {
  constexpr int Width = 12, Height = 9;
  platform::gtk::CreateCanvas(Width, Height);
  platform::BeginPaintCycle();
  platform::FillClientWhite();
  platform::EndPaintCycle();
  cairo_surface_t* shown = cairo_image_surface_create(CAIRO_FORMAT_RGB24, Width, Height);
  cairo_t* cr = cairo_create(shown);
  platform::gtk::DrawClientArea(nullptr, cr, nullptr);
  cairo_destroy(cr);
  cairo_surface_flush(shown);
  auto pixel = [&](int x, int y) {
    const auto* row = cairo_image_surface_get_data(shown) + y * cairo_image_surface_get_stride(shown);
    return reinterpret_cast<const uint32_t*>(row)[x] & 0xFFFFFF;
  };
  for (const auto& [x, y] : {std::pair{0, 4}, {Width - 1, 4}, {5, 0}, {5, Height - 1}})
    EXPECT_EQ(pixel(x, y), 0u) << x << "," << y;
  EXPECT_EQ(pixel(1, 1), 0xFFFFFFu);
  EXPECT_EQ(pixel(Width - 2, Height - 2), 0xFFFFFFu);
  cairo_surface_destroy(shown);
  platform::gtk::DropCanvas();
}

}  // namespace
