// Canvas text drawing: the text operations and the glyphs' pixels.
//
// Text is laid out horizontally in an opaque cell-high box (text_layout.h) and turned
// into the page by the direction's quarter turns, so that all four directions show
// identical glyphs. Glyphs are drawn whole: ink that the hinted font puts beyond the
// box (an underscore or a descender below a small cell, a hook left of the start) is
// drawn too, without a background of its own. The glyphs come from the glyph cache
// (glyph_cache.h), whose pixels equal cairo's; text the cache cannot reproduce is
// rendered by cairo onto a strip and copied into the page. A text whose box misses the
// page or the viewport clip is not drawn at all.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "canvas_internal.h"
#include "glyph_cache.h"
#include "helmert2d/canvas.h"
#include "text_layout.h"

std::ostringstream canvasout;

namespace helmert2d::canvas {
namespace {

// Widest strip rendered at once (cairo surfaces are limited to 32767 pixels).
constexpr int kStrip = 4096;

// Calls inside(j, i0, i1) for each run of glyph pixels of a laid-out text `width`
// pixels wide that lies in its box: row j of the box (0 at the top), columns i0 to i1;
// and outside(j, i0, i1) for each part of a run beyond the box.
template <class Inside, class Outside>
void for_each_run(const CellFont& cf, int width, const std::vector<PlacedGlyph>& placed,
                  const Inside& inside, const Outside& outside) {
  for (const PlacedGlyph& p : placed) {
    for (const GlyphRun& run : p.glyph->runs) {
      const long long j = static_cast<long long>(cf.ascent) + run.dy;
      const long long a = p.x + run.dx, b = a + run.length - 1;
      if (j < 0 || j >= cf.height) {
        outside(j, a, b);
        continue;
      }
      if (a < 0) outside(j, a, std::min(b, -1LL));
      if (b >= width) outside(j, std::max<long long>(a, width), b);
      const long long i0 = std::max(a, 0LL), i1 = std::min<long long>(b, width - 1);
      if (i0 <= i1) inside(j, i0, i1);
    }
  }
}

void no_run(long long, long long, long long) {}

// A horizontal text whose box lies inside the clip: the box is composed in a small
// buffer that stays in the processor's cache (background, then the glyphs' runs) and
// each of its rows is copied into the page once. The pixels are those of filling the
// box on the page and setting the runs there.
void draw_composed(std::uint32_t* data, long long stride, const CellFont& cf, const Turn& turn,
                   int width, const std::vector<PlacedGlyph>& placed, std::uint32_t ink,
                   std::uint32_t paper) {
  thread_local std::vector<std::uint32_t> box;
  const auto w = static_cast<std::size_t>(width);
  box.assign(w * static_cast<std::size_t>(cf.height), paper);
  for_each_run(
      cf, width, placed,
      [&](long long j, long long i0, long long i1) {
        std::uint32_t* row = box.data() + static_cast<std::size_t>(j) * w;
        std::fill(row + i0, row + i1 + 1, ink);
      },
      no_run);
  long long x0, y0;
  turn.map(0, 0, x0, y0);
  for (int j = 0; j < cf.height; ++j)
    std::memcpy(data + (y0 + j) * stride + x0, box.data() + static_cast<std::size_t>(j) * w,
                w * sizeof(std::uint32_t));
}

// Cairo's pixel for an opaque colour on an RGB24 surface.
std::uint32_t opaque_pixel(int color) {
  return 0xFF000000u | pixel_of(color);
}

// Draws the laid-out glyphs of a text `width` pixels wide: its cell-high box in the
// background colour, then the glyphs' pixels in the current colour, also those beyond
// the box (`overhang`: whether there are any).
void draw_cached(Window& w, const CellFont& cf, const Turn& turn, const Clip& clip, int width,
                 const std::vector<PlacedGlyph>& placed, bool overhang) {
  cairo_surface_t* page = active_surface(w);
  cairo_surface_flush(page);
  auto* data = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(page));
  const long long stride = cairo_image_surface_get_stride(page) / 4;
  // Fills the box rectangle (i0, j0)-(i1, j1) (inclusive) where it lands in the clip.
  auto fill = [&](long long i0, long long j0, long long i1, long long j1, std::uint32_t px) {
    long long x0, y0, x1, y1;
    turn.map(i0, j0, x0, y0);
    turn.map(i1, j1, x1, y1);
    const long long l = std::max(std::min(x0, x1), clip.left);
    const long long r = std::min(std::max(x0, x1), clip.right);
    const long long t = std::max(std::min(y0, y1), clip.top);
    const long long b = std::min(std::max(y0, y1), clip.bottom);
    if (l > r) return;
    for (long long y = t; y <= b; ++y)
      std::fill(data + y * stride + l, data + y * stride + r + 1, px);
  };
  const std::uint32_t ink = opaque_pixel(w.st.color);
  const std::uint32_t paper = opaque_pixel(w.st.bkcolor);
  auto ink_beyond_box = [&] {
    if (!overhang) return;
    for_each_run(cf, width, placed, no_run,
                 [&](long long j, long long i0, long long i1) { fill(i0, j, i1, j, ink); });
  };
  if (turn.dir == 0 && clip.contains_box(turn, width, cf.height)) {
    draw_composed(data, stride, cf, turn, width, placed, ink, paper);
    ink_beyond_box();
    cairo_surface_mark_dirty(page);
    return;
  }
  fill(0, 0, width - 1, cf.height - 1, paper);

  // Page offsets of box pixel (0, 0) and of a step along and across the text.
  long long x0, y0, x1, y1, x2, y2;
  turn.map(0, 0, x0, y0);
  turn.map(1, 0, x1, y1);
  turn.map(0, 1, x2, y2);
  const long long origin = y0 * stride + x0;
  const long long along = (y1 - y0) * stride + (x1 - x0);
  const long long across = (y2 - y0) * stride + (x2 - x0);
  // A box wholly inside the clip needs no clipping of its runs.
  const bool inside = clip.contains_box(turn, width, cf.height);
  for_each_run(
      cf, width, placed,
      [&](long long j, long long i0, long long i1) {
        if (!inside) {
          fill(i0, j, i1, j, ink);
          return;
        }
        std::uint32_t* out = data + origin + i0 * along + j * across;
        for (long long k = 0; k <= i1 - i0; ++k) out[k * along] = ink;
      },
      no_run);
  ink_beyond_box();
  cairo_surface_mark_dirty(page);
}

// One text drawn through cairo's text path: the page, where the text lands, and its
// glyphs as cairo placed them on the box's frame (baseline at the cell's ascent).
struct CairoText {
  unsigned char* data;  // the page's pixels
  int stride;           // bytes per page row
  const CellFont& cf;
  const Turn& turn;
  const Clip& clip;
  int width;  // of the text's box
  const Reach& reach;
  const cairo_glyph_t* glyphs;
  int count;
  std::uint32_t bg;  // background pixel
  int rgb;           // text colour as converttorgb gives it
  bool overhang;     // whether the reach goes beyond the box
};

// The glyphs near strip columns [start, start + sw) of the box, shifted into the strip.
std::vector<cairo_glyph_t> glyphs_near(const CairoText& t, long long start, int sw) {
  std::vector<cairo_glyph_t> part;
  const double margin = 2.0 * t.cf.height + 8;
  for (int k = 0; k < t.count; ++k) {
    if (t.glyphs[k].x < start - margin || t.glyphs[k].x > start + sw + margin) continue;
    cairo_glyph_t g = t.glyphs[k];
    g.x -= static_cast<double>(start);
    g.y -= static_cast<double>(t.reach.top);
    part.push_back(g);
  }
  return part;
}

// Renders the glyphs onto an opaque strip: the background colour, then the glyphs in
// the text colour.
void paint_strip(cairo_surface_t* strip, const CairoText& t,
                 const std::vector<cairo_glyph_t>& part) {
  cairo_t* c = cairo_create(strip);
  cairo_set_antialias(c, CAIRO_ANTIALIAS_NONE);
  cairo_set_source_rgb(c, ((t.bg >> 16) & 0xFF) / 255.0, ((t.bg >> 8) & 0xFF) / 255.0,
                       (t.bg & 0xFF) / 255.0);
  cairo_paint(c);
  cairo_set_source_rgb(c, (t.rgb & 0xFF) / 255.0, ((t.rgb >> 8) & 0xFF) / 255.0,
                       ((t.rgb >> 16) & 0xFF) / 255.0);
  cairo_set_scaled_font(c, t.cf.font);
  if (!part.empty()) cairo_show_glyphs(c, part.data(), static_cast<int>(part.size()));
  cairo_destroy(c);
  cairo_surface_flush(strip);
}

// Renders the glyphs' coverage onto an A8 mask.
void paint_mask(cairo_surface_t* mask, const CairoText& t, const std::vector<cairo_glyph_t>& part) {
  cairo_t* c = cairo_create(mask);
  cairo_set_antialias(c, CAIRO_ANTIALIAS_NONE);
  cairo_set_scaled_font(c, t.cf.font);
  if (!part.empty()) cairo_show_glyphs(c, part.data(), static_cast<int>(part.size()));
  cairo_destroy(c);
  cairo_surface_flush(mask);
}

// Copies the strip's pixels for box columns [start, start + width of the strip) into the
// page, turned and cut to the clip: those in the box, and beyond it those that the
// mask (null when the text has no overhang) marks as covered.
void copy_strip(const CairoText& t, long long start, cairo_surface_t* strip,
                cairo_surface_t* mask) {
  const int sw = cairo_image_surface_get_width(strip);
  const int rows = cairo_image_surface_get_height(strip);
  const unsigned char* mdata = mask != nullptr ? cairo_image_surface_get_data(mask) : nullptr;
  const int mstride = mask != nullptr ? cairo_image_surface_get_stride(mask) : 0;
  const unsigned char* sdata = cairo_image_surface_get_data(strip);
  const int sstride = cairo_image_surface_get_stride(strip);
  for (int j = 0; j < rows; ++j) {
    const auto* src = reinterpret_cast<const std::uint32_t*>(sdata + j * sstride);
    const long long bj = t.reach.top + j;
    for (int i = 0; i < sw; ++i) {
      const long long bi = start + i;
      const bool in_box = bi >= 0 && bi < t.width && bj >= 0 && bj < t.cf.height;
      if (!in_box && (mdata == nullptr || mdata[j * mstride + i] == 0)) continue;
      long long px, py;
      t.turn.map(bi, bj, px, py);
      if (px < t.clip.left || px > t.clip.right || py < t.clip.top || py > t.clip.bottom) continue;
      reinterpret_cast<std::uint32_t*>(t.data + py * t.stride)[px] = src[i];
    }
  }
}

// Draws box columns [start, start + sw) of the text, all rows of its reach, through a
// strip of that size; a strip cairo cannot make is left out.
void draw_strip(const CairoText& t, long long start, int sw) {
  const int rows = static_cast<int>(t.reach.bottom - t.reach.top + 1);
  cairo_surface_t* strip = cairo_image_surface_create(CAIRO_FORMAT_RGB24, sw, rows);
  // Which strip pixels the glyphs cover, where the strip reaches beyond the box.
  cairo_surface_t* mask =
      t.overhang ? cairo_image_surface_create(CAIRO_FORMAT_A8, sw, rows) : nullptr;
  if (cairo_surface_status(strip) == CAIRO_STATUS_SUCCESS &&
      (mask == nullptr || cairo_surface_status(mask) == CAIRO_STATUS_SUCCESS)) {
    const std::vector<cairo_glyph_t> part = glyphs_near(t, start, sw);
    paint_strip(strip, t, part);
    if (mask != nullptr) paint_mask(mask, t, part);
    copy_strip(t, start, strip, mask);
  }
  cairo_surface_destroy(strip);
  if (mask != nullptr) cairo_surface_destroy(mask);
}

// Draws `text` through cairo's text path: rendered horizontally onto opaque strips and
// copied into the page, turned. The strips cover the text's reach; beyond its box only
// the pixels that a glyph covers are copied.
void draw_through_cairo(Window& w, const CellFont& cf, const Turn& turn, const Clip& clip,
                        int width, const Reach& reach, const std::string& text) {
  cairo_glyph_t* glyphs = nullptr;
  int count = 0;
  if (cairo_scaled_font_text_to_glyphs(cf.font, 0, cf.ascent, text.c_str(),
                                       static_cast<int>(text.size()), &glyphs, &count, nullptr,
                                       nullptr, nullptr) != CAIRO_STATUS_SUCCESS)
    count = 0;

  cairo_surface_t* page = active_surface(w);
  cairo_surface_flush(page);
  const CairoText t{cairo_image_surface_get_data(page),
                    cairo_image_surface_get_stride(page),
                    cf,
                    turn,
                    clip,
                    width,
                    reach,
                    glyphs,
                    count,
                    pixel_of(w.st.bkcolor),
                    converttorgb(w.st.color),
                    reach.beyond_box(width, cf.height)};
  const int rows = static_cast<int>(reach.bottom - reach.top + 1);

  // Strips of at most kStrip columns and about 2^22 pixels.
  const int strip_width = std::clamp((1 << 22) / rows, 1, kStrip);
  for (long long start = reach.left; start <= reach.right; start += strip_width) {
    const int sw = static_cast<int>(std::min<long long>(strip_width, reach.right - start + 1));
    // Skip strips that land wholly outside the clip.
    long long x0, y0, x1, y1;
    turn.map(start, reach.top, x0, y0);
    turn.map(start + sw - 1, reach.bottom, x1, y1);
    if (clip.misses(x0, y0, x1, y1)) continue;
    draw_strip(t, start, sw);
  }
  if (glyphs != nullptr) cairo_glyph_free(glyphs);
  cairo_surface_mark_dirty(page);
}

// Draws `text` anchored at page point (x, y) in the current style; returns its width.
// A text whose reach lies wholly outside the page or the viewport clip is not drawn.
int draw_text(Window& w, long long x, long long y, const std::string& raw) {
  const CellFont& cf = cell_font(w);
  const std::string text = to_utf8(raw);
  thread_local std::vector<PlacedGlyph> placed;
  const int width = text_width(cf, text, placed);
  const Reach reach = reach_of(cf, text, width, placed);
  const TextPlace p = place_text(w, w.st, cf, x, y, width, reach);
  if (!p.drawn) return std::max(width, 0);

  // An empty layout of a non-empty text means the cache could not take it.
  const bool cached = !placed.empty();
  count_text(cached);
  if (cached)
    draw_cached(w, cf, p.turn, p.clip, width, placed, reach.beyond_box(width, cf.height));
  else
    draw_through_cairo(w, cf, p.turn, p.clip, width, reach, text);
  return width;
}

// outtext under the caller's lock.
void outtext_locked(Window& w, const std::string& text) {
  if (w.st.last_text != TextOp::outtext) compute_anchors(w.st);
  w.st.last_text = TextOp::outtext;
  const int width = draw_text(w, static_cast<long long>(w.st.vp_left) + w.st.cpx,
                              static_cast<long long>(w.st.vp_top) + w.st.cpy, text);
  // Along the writing direction, saturating at the ends of the int range.
  auto move = [](int& v, long long by) {
    v = static_cast<int>(std::clamp<long long>(v + by, INT_MIN, INT_MAX));
  };
  switch (((w.st.direction % 4) + 4) % 4) {
    case 0:
      move(w.st.cpx, width);
      break;
    case 1:
      move(w.st.cpy, -width);
      break;
    case 2:
      move(w.st.cpx, -width);
      break;
    default:
      move(w.st.cpy, width);
      break;
  }
}

}  // namespace
}  // namespace helmert2d::canvas

using namespace helmert2d::canvas;

void outtextxy(int x, int y, const std::string& text) {
  Window& w = current_window();
  {
    PageLock lock(w);
    if (w.st.last_text != TextOp::outtextxy) compute_anchors(w.st);
    w.st.last_text = TextOp::outtextxy;
    draw_text(w, static_cast<long long>(w.st.vp_left) + x, static_cast<long long>(w.st.vp_top) + y,
              text);
  }
  changed(w);
}

void outtextxy(int x, int y, const char* text) {
  outtextxy(x, y, std::string(text != nullptr ? text : ""));
}

void outtext(const std::string& text) {
  Window& w = current_window();
  {
    PageLock lock(w);
    outtext_locked(w, text);
  }
  changed(w);
}

void outtext(const char* text) {
  outtext(std::string(text != nullptr ? text : ""));
}

void outstreamxy(int x, int y, std::ostringstream& out) {
  const std::string text = out.str();
  out.str("");
  out.clear();
  Window& w = current_window();
  {
    PageLock lock(w);
    const int step = cell_font(w).height;
    w.st.cpx = x;
    w.st.cpy = y;
    std::string line_text;
    for (char ch : text) {
      if (ch != '\n') {
        line_text += ch;
        continue;
      }
      if (!line_text.empty()) outtext_locked(w, line_text);
      y = static_cast<int>(std::min<long long>(static_cast<long long>(y) + step, INT_MAX));
      line_text.clear();
      w.st.cpx = x;
      w.st.cpy = y;
    }
    if (!line_text.empty()) outtext_locked(w, line_text);
  }
  changed(w);
}
