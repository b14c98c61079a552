// Helpers shared by the canvas tests: off-screen windows and page inspection.
#ifndef HELMERT2D_TESTS_SUPPORT_CANVAS_SUPPORT_H
#define HELMERT2D_TESTS_SUPPORT_CANVAS_SUPPORT_H

#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <string>

#include "helmert2d/canvas.h"

namespace canvas_test {

// The page tests run off-screen whatever the caller's environment; window tests give
// their child processes a display of their own.
inline const bool kOffScreen = [] {
  unsetenv("DISPLAY");
  return true;
}();

// Inclusive pixel box; empty when right < left.
struct Box {
  int left = 0, top = 0, right = -1, bottom = -1;
  bool operator==(const Box&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Box& b) {
  return os << "(" << b.left << "," << b.top << ")-(" << b.right << "," << b.bottom << ")";
}

// Bounding box of the points of (x0, y0)-(x1, y1) where `hit(x, y)` holds; empty when none.
template <class Hit>
Box box_where(int x0, int y0, int x1, int y1, Hit hit) {
  Box b{x1 + 1, y1 + 1, -1, -1};
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x)
      if (hit(x, y)) {
        b.left = std::min(b.left, x);
        b.top = std::min(b.top, y);
        b.right = std::max(b.right, x);
        b.bottom = std::max(b.bottom, y);
      }
  if (b.right < 0) return Box{};
  return b;
}

// Bounding box of the pixels of the current page whose colour differs from `ground`.
inline Box painted_box(int width, int height, int ground = 0) {
  return box_where(0, 0, width - 1, height - 1,
                   [&](int x, int y) { return getpixel(x, y) != ground; });
}

// Row y from x0 to x1 as text: '#' for pixels of colour `ink`, '.' for others.
inline std::string row_art(int y, int x0, int x1, int ink) {
  std::string s;
  for (int x = x0; x <= x1; ++x) s += getpixel(x, y) == ink ? '#' : '.';
  return s;
}

// Column x from y0 to y1 as text, as row_art.
inline std::string column_art(int x, int y0, int y1, int ink) {
  std::string s;
  for (int y = y0; y <= y1; ++y) s += getpixel(x, y) == ink ? '#' : '.';
  return s;
}

// Number of pixels of colour `ink` on a page of the given size.
inline int count_color(int width, int height, int ink) {
  int n = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) n += getpixel(x, y) == ink;
  return n;
}

}  // namespace canvas_test

#endif  // HELMERT2D_TESTS_SUPPORT_CANVAS_SUPPORT_H
