// Helpers shared by the plot tests: where a colour lies on the current page.
#ifndef HELMERT2D_TESTS_GRAFIK_PLOT_SUPPORT_H
#define HELMERT2D_TESTS_GRAFIK_PLOT_SUPPORT_H

#include <algorithm>

#include "support/canvas_support.h"

namespace plot_test {

// Bounding box of the pixels of colour `ink` within (x0, y0)-(x1, y1); empty when none.
inline canvas_test::Box ink_box(int x0, int y0, int x1, int y1, int ink) {
  canvas_test::Box b{x1 + 1, y1 + 1, -1, -1};
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x)
      if (getpixel(x, y) == ink) {
        b.left = std::min(b.left, x);
        b.top = std::min(b.top, y);
        b.right = std::max(b.right, x);
        b.bottom = std::max(b.bottom, y);
      }
  if (b.right < 0) return canvas_test::Box{};
  return b;
}

inline int width(const canvas_test::Box& b) {
  return b.right - b.left + 1;
}
inline int height(const canvas_test::Box& b) {
  return b.bottom - b.top + 1;
}

}  // namespace plot_test

#endif  // HELMERT2D_TESTS_GRAFIK_PLOT_SUPPORT_H
