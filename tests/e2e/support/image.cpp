#include "support/image.h"

#include <algorithm>
#include <sstream>

namespace e2e {

Image Image::FromPpm(const std::string& data) {
  Image image;
  std::istringstream in(data);
  std::string magic;
  int width = 0, height = 0, maximum = 0;
  in >> magic >> width >> height >> maximum;
  if (magic != "P6" || width <= 0 || height <= 0 || maximum != 255) return image;
  in.get();  // the one white-space byte before the pixels
  size_t start = static_cast<size_t>(in.tellg());
  size_t size = static_cast<size_t>(width) * height * 3;
  if (data.size() < start + size) return image;
  image.width_ = width;
  image.height_ = height;
  image.rgb_.assign(data.begin() + start, data.begin() + start + size);
  return image;
}

int Image::Luma(int x, int y) const {
  const uint8_t* p = &rgb_[(static_cast<size_t>(y) * width_ + x) * 3];
  return (p[0] * 299 + p[1] * 587 + p[2] * 114) / 1000;
}

int Image::InkIn(const Rect& area) const {
  int count = 0;
  for (int y = std::max(area.y, 0); y < std::min(area.Bottom(), height_); ++y)
    for (int x = std::max(area.x, 0); x < std::min(area.Right(), width_); ++x) count += Dark(x, y);
  return count;
}

std::vector<std::pair<int, int>> NewInk(const Image& before, const Image& after, const Rect& area,
                                        int minRun) {
  int x0 = std::max(area.x, 0), y0 = std::max(area.y, 0);
  int x1 = std::min({area.Right(), after.Width(), before.Width()});
  int y1 = std::min({area.Bottom(), after.Height(), before.Height()});
  auto fresh = [&](int x, int y) { return after.Dark(x, y) && !before.Dark(x, y); };
  std::vector<std::pair<int, int>> pixels;
  for (int x = x0; x < x1; ++x) {
    for (int y = y0; y < y1;) {
      if (!fresh(x, y)) {
        ++y;
        continue;
      }
      int end = y;
      while (end < y1 && fresh(x, end)) ++end;
      if (end - y >= minRun)
        for (int k = y; k < end; ++k) pixels.emplace_back(x, k);
      y = end;
    }
  }
  return pixels;
}

}  // namespace e2e
