// What a plot of very many labelled points asks of the canvas beyond its public
// interface: which page pixels a text or a circle drawn now can set. A text sets every
// pixel of its box (the box is opaque) and the pixels of glyph parts that reach beyond
// the box (an underscore below a small cell), so a text whose pixels later texts' boxes
// all set again need not be drawn; a plot can leave such texts out and the page stays
// the same.
#ifndef HELMERT2D_CANVAS_OVERDRAW_H
#define HELMERT2D_CANVAS_OVERDRAW_H

#include <string>

namespace helmert2d::canvas {

/// A rectangle of page pixels, edges included (pixels; x to the right, y down from
/// the page's top left pixel). Empty when left > right or top > bottom.
struct PixelBox {
  long long left = 0, top = 0, right = -1, bottom = -1;
  bool empty() const { return left > right || top > bottom; }
};

/// The page pixels that outtextxy(x, y, text) would set now, in the current window's
/// state, within the page and the viewport clip (both empty when the text would set
/// none): `box` is set whole, `reach` holds `box` and every pixel of a glyph beyond it.
struct TextPixels {
  PixelBox box;
  PixelBox reach;
};
/// Changes nothing.
TextPixels text_pixels(int x, int y, const std::string& text);

/// A box holding every page pixel that circle(x, y, radius) would set now; it may hold
/// more, also pixels beyond the page. Changes nothing.
PixelBox circle_pixels(int x, int y, int radius);

/// The page's size in pixels of the current window.
PixelBox page_pixels();

}  // namespace helmert2d::canvas

#endif  // HELMERT2D_CANVAS_OVERDRAW_H
