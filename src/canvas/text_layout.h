// Canvas text layout, shared by the text drawing and the text measures: the scaled font
// of the current style, the width and ink reach of a text, and where on the page a text
// lands for its anchors and direction.
#ifndef HELMERT2D_CANVAS_TEXT_LAYOUT_H
#define HELMERT2D_CANVAS_TEXT_LAYOUT_H

#include <algorithm>
#include <string>
#include <vector>

#include "canvas_internal.h"
#include "glyph_cache.h"

namespace helmert2d::canvas {

/// The scaled font and cell of the window's current text style, made on first use.
CellFont& cell_font(Window& w);

/// Sets the anchors in force for the current justification and direction.
void compute_anchors(DrawState& st);

// Maps strip pixel (i, j) (i along the text, j down across it) with the anchor at
// strip point (ax, ay) to the page pixel when the anchor is at page point (x, y).
struct Turn {
  int dir;
  long long x, y, ax, ay;
  void map(long long i, long long j, long long& px, long long& py) const {
    switch (dir) {
      case 0:
        px = x - ax + i, py = y - ay + j;
        break;
      case 1:  // bottom to top
        px = x - ay + j, py = y + ax - 1 - i;
        break;
      case 2:  // upside down
        px = x + ax - 1 - i, py = y + ay - 1 - j;
        break;
      default:  // top to bottom
        px = x + ay - 1 - j, py = y - ax + i;
        break;
    }
  }
};

// Page pixels that a text may change: the page within the viewport clip.
struct Clip {
  long long left, top, right, bottom;
  bool misses(long long x0, long long y0, long long x1, long long y1) const {
    return std::max(x0, x1) < left || std::min(x0, x1) > right || std::max(y0, y1) < top ||
           std::min(y0, y1) > bottom;
  }
  // Whether the whole width-by-height box of a text placed by `turn` lies inside.
  bool contains_box(const Turn& turn, long long width, long long height) const {
    long long x0, y0, x1, y1;
    turn.map(0, 0, x0, y0);
    turn.map(width - 1, height - 1, x1, y1);
    return std::min(x0, x1) >= left && std::max(x0, x1) <= right && std::min(y0, y1) >= top &&
           std::max(y0, y1) <= bottom;
  }
};

// The pixels a text may set, in the frame of its box (i along the text, j down across
// it, box pixel (0, 0) at the top left): its width-by-height box and the ink of its
// glyphs beyond it, edges included.
struct Reach {
  long long left, top, right, bottom;
  bool beyond_box(int width, int height) const {
    return left < 0 || top < 0 || right >= width || bottom >= height;
  }
};

/// Width in pixels of UTF-8 `text` in the cell font `cf`, from the glyph cache when it
/// can lay the text out; `placed` receives the layout (empty when it cannot).
int text_width(const CellFont& cf, const std::string& text, std::vector<PlacedGlyph>& placed);

/// The reach of a text `width` pixels wide: exact from the cached glyphs' ink, or from
/// cairo's ink extents, rounded out by a pixel, when the text is not cached.
Reach reach_of(const CellFont& cf, const std::string& text, int width,
               const std::vector<PlacedGlyph>& placed);

// Where a text `width` pixels wide lands when anchored at page point (x, y) with the
// anchors and direction of `st`, and the page pixels it may change.
struct TextPlace {
  Turn turn;
  Clip clip;
  bool drawn;  // false when the text sets no pixel at all
};

/// Places a text `width` pixels wide whose reach is `reach` at page point (x, y) with
/// the anchors and direction of `st`, within the page and the viewport clip.
TextPlace place_text(const Window& w, const DrawState& st, const CellFont& cf, long long x,
                     long long y, int width, const Reach& reach);

}  // namespace helmert2d::canvas

#endif  // HELMERT2D_CANVAS_TEXT_LAYOUT_H
