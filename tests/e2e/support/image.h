// Screenshots held in memory (read from ImageMagick's PPM output) and the questions the tests ask
// of them: is there ink (dark pixels) in a rectangle, and where do two shots differ.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
  int Right() const { return x + width; }
  int Bottom() const { return y + height; }
};

class Image {
 public:
  static Image FromPpm(const std::string& data);  // empty image when data is not a binary PPM
  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ == 0; }
  int Luma(int x, int y) const;  // 0 black .. 255 white
  bool Dark(int x, int y) const { return Luma(x, y) < 110; }
  int InkIn(const Rect& area) const;  // dark pixels inside the area (clipped to the image)

 private:
  int width_ = 0, height_ = 0;
  std::vector<uint8_t> rgb_;
};

// Pixels inside area that are dark in after but not in before, keeping only those that belong to a
// vertical run of at least minRun such pixels: glyph stems survive, a 2-pixel caret does not.
std::vector<std::pair<int, int>> NewInk(const Image& before, const Image& after, const Rect& area,
                                        int minRun);

}  // namespace e2e
