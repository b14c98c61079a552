// Raw page bytes for the canvas tests that compare the canvas's own drawing with
// cairo's, byte for byte.
#ifndef HELMERT2D_TESTS_CANVAS_RAW_PAGE_H
#define HELMERT2D_TESTS_CANVAS_RAW_PAGE_H

#include <algorithm>
#include <cstdint>
#include <vector>

#include "canvas/canvas_internal.h"

namespace canvas_test {

namespace cd = helmert2d::canvas;

// A page rectangle, inclusive.
struct Rect {
  int left, top, right, bottom;
};

// `r` cut to the current page.
inline Rect on_page(Rect r) {
  const cd::Window& w = cd::current_window();
  r.left = std::max(r.left, 0);
  r.top = std::max(r.top, 0);
  r.right = std::min(r.right, w.width - 1);
  r.bottom = std::min(r.bottom, w.height - 1);
  return r;
}

// Calls `each(row, n)` for the rows of the current page inside `r`, cut to the page, top
// first: `row` points at the first of the row's `n` raw pixels.
template <class Each>
void for_rows(Rect r, Each each) {
  r = on_page(r);
  cairo_surface_t* s = cd::active_surface(cd::current_window());
  cairo_surface_flush(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  for (int y = r.top; y <= r.bottom; ++y)
    each(reinterpret_cast<std::uint32_t*>(data + y * stride) + r.left, r.right - r.left + 1);
}

// Raw pixels of the current page inside `r`, rows top first.
inline std::vector<std::uint32_t> raw(Rect r) {
  std::vector<std::uint32_t> out;
  for_rows(r, [&](const std::uint32_t* row, int n) { out.insert(out.end(), row, row + n); });
  return out;
}

// Sets the raw pixels of the current page inside `r` to `px`.
inline void fill_raw(Rect r, std::uint32_t px) {
  for_rows(r, [&](std::uint32_t* row, int n) { std::fill(row, row + n, px); });
  cairo_surface_mark_dirty(cd::active_surface(cd::current_window()));
}

}  // namespace canvas_test

#endif  // HELMERT2D_TESTS_CANVAS_RAW_PAGE_H
