// Helpers shared by the plot tests: where a colour lies on the current page, and saved
// pictures read back.
#ifndef HELMERT2D_TESTS_GRAFIK_PLOT_SUPPORT_H
#define HELMERT2D_TESTS_GRAFIK_PLOT_SUPPORT_H

#include <algorithm>
#include <cstdint>
#include <string>

#include "support/canvas_support.h"
#include "support/temp_dir.h"

namespace plot_test {

// The plots' colours.
inline const int kBlack = COLOR(0, 0, 0), kWhite = COLOR(255, 255, 255), kRed = COLOR(255, 0, 0);
inline const int kBlue = COLOR(0, 0, 255), kGreen = COLOR(0, 100, 0);
inline const int kGrey = COLOR(200, 200, 200), kMagenta = COLOR(255, 0, 255);

// Bounding box of the pixels of colour `ink` within (x0, y0)-(x1, y1); empty when none.
inline canvas_test::Box ink_box(int x0, int y0, int x1, int y1, int ink) {
  return canvas_test::box_where(x0, y0, x1, y1,
                                [&](int x, int y) { return getpixel(x, y) == ink; });
}

inline int width(const canvas_test::Box& b) {
  return b.right - b.left + 1;
}
inline int height(const canvas_test::Box& b) {
  return b.bottom - b.top + 1;
}

// A 24-bit BMP file read back; width and height are 0 when it is not one or is cut short.
struct Bmp {
  int width = 0, height = 0;
  std::string bytes;
  std::uint32_t u32(std::size_t at) const {
    return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8 |
           static_cast<unsigned char>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
  }
  std::size_t stride() const { return (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4; }
  // 0xRRGGBB of pixel (x, y), y counted from the top; white outside the picture.
  std::uint32_t at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFF;
    const std::size_t i = u32(10) + static_cast<std::size_t>(height - 1 - y) * stride() + x * 3;
    return static_cast<unsigned char>(bytes[i + 2]) << 16 |
           static_cast<unsigned char>(bytes[i + 1]) << 8 | static_cast<unsigned char>(bytes[i]);
  }
};

inline Bmp load_bmp(const std::string& path) {
  Bmp b;
  b.bytes = testsupport::read_file(path);
  if (b.bytes.size() < 54 || b.bytes.substr(0, 2) != "BM") return b;
  b.width = static_cast<int>(b.u32(18));
  b.height = static_cast<int>(b.u32(22));
  if (b.bytes.size() < b.u32(10) + b.stride() * b.height) b.width = b.height = 0;
  return b;
}

}  // namespace plot_test

#endif  // HELMERT2D_TESTS_GRAFIK_PLOT_SUPPORT_H
