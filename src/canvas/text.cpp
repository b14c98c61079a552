// Canvas text: the font table, anchoring, and the text operations.
//
// Each font and size gives a character cell of the table's height and average
// character width in pixels: the face is measured once at 1000 units, then scaled
// separately in x and y (cell height = ascent + descent, average width = the mean
// advance of 'a' to 'z'). Text is laid out horizontally in an opaque cell-high box and
// turned into the page by the direction's quarter turns, so that all four directions
// show identical glyphs. Glyphs are drawn whole: ink that the hinted font puts beyond
// the box (an underscore or a descender below a small cell, a hook left of the start)
// is drawn too, without a background of its own. The glyphs come from the glyph cache
// (glyph_cache.h), whose pixels equal cairo's; text the cache cannot reproduce is rendered by cairo
// onto a strip and copied into the page. A text whose box misses the page or the viewport clip is
// not drawn at all.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "canvas_internal.h"
#include "glyph_cache.h"
#include "helmert2d/canvas.h"
#include "overdraw.h"

std::ostringstream canvasout;

namespace helmert2d::canvas {
namespace {

struct Cell {
  int width, height;
};

// Cell tables (width x height in pixels) for sizes 0 to 10.
constexpr Cell kConsole[11] = {{0, 0},   {8, 8},   {16, 16}, {24, 24}, {32, 32}, {40, 40},
                               {48, 48}, {56, 56}, {64, 64}, {72, 72}, {80, 80}};
constexpr Cell kTimes[11] = {{0, 0},   {13, 18}, {14, 20}, {16, 23}, {22, 31}, {29, 41},
                             {36, 51}, {44, 62}, {55, 77}, {66, 93}, {88, 124}};
constexpr Cell kSmall[11] = {{0, 0},   {3, 5},   {4, 6},   {4, 6},   {6, 9},  {8, 12},
                             {10, 15}, {12, 18}, {15, 22}, {18, 27}, {24, 36}};
constexpr Cell kSansSerif[11] = {{0, 0},   {11, 19}, {12, 21}, {14, 24}, {19, 32}, {25, 42},
                                 {31, 53}, {38, 64}, {47, 80}, {57, 96}, {76, 128}};
constexpr Cell kArial[11] = {{0, 0},   {13, 19}, {14, 21}, {16, 24}, {22, 32}, {29, 42},
                             {36, 53}, {44, 64}, {55, 80}, {66, 96}, {88, 128}};

// The font table. Faces are fontconfig families: Liberation fonts are metric
// compatible with Times New Roman, Arial and Courier New; DejaVu Sans Mono Bold stands
// for the fixed-pitch bold console font, DejaVu Sans for the small and MS sans serif
// fonts, and Liberation Serif Italic for the script font.
struct FontFace {
  const char* family;
  bool bold;
  bool italic;
  const Cell* cells;
};
constexpr FontFace kFonts[11] = {
    {"DejaVu Sans Mono", true, false, kConsole},    {"Liberation Serif", false, false, kTimes},
    {"DejaVu Sans", false, false, kSmall},          {"DejaVu Sans", false, false, kSansSerif},
    {"Liberation Sans", false, false, kArial},      {"Liberation Serif", false, true, kSansSerif},
    {"Liberation Serif", false, false, kSansSerif}, {"Liberation Serif", false, true, kTimes},
    {"Liberation Mono", false, false, kSansSerif},  {"Liberation Serif", false, false, kSansSerif},
    {"Liberation Mono", true, false, kSansSerif}};

// Largest cell width or height in pixels.
constexpr long long kMaxCell = 8192;
// Cell height used when the table asks for the backend's default size.
constexpr int kDefaultHeight = 16;
// Widest strip rendered at once (cairo surfaces are limited to 32767 pixels).
constexpr int kStrip = 4096;

// A face with its unhinted metrics per unit of font size.
struct Face {
  cairo_font_face_t* face = nullptr;
  double cell = 1;     // ascent + descent
  double average = 1;  // mean advance of 'a' to 'z'
};

std::mutex face_mutex;

cairo_font_options_t* make_options(bool hinted) {
  cairo_font_options_t* o = cairo_font_options_create();
  cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_NONE);
  cairo_font_options_set_hint_metrics(o, hinted ? CAIRO_HINT_METRICS_ON : CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(o, hinted ? CAIRO_HINT_STYLE_FULL : CAIRO_HINT_STYLE_NONE);
  return o;
}

cairo_scaled_font_t* scaled(cairo_font_face_t* face, double sx, double sy, bool hinted) {
  cairo_matrix_t font_matrix, ctm;
  cairo_matrix_init_scale(&font_matrix, sx, sy);
  cairo_matrix_init_identity(&ctm);
  cairo_font_options_t* o = make_options(hinted);
  cairo_scaled_font_t* f = cairo_scaled_font_create(face, &font_matrix, &ctm, o);
  cairo_font_options_destroy(o);
  return f;
}

const Face& face_of(int font) {
  static Face* faces = new Face[11];
  std::lock_guard<std::mutex> guard(face_mutex);
  Face& f = faces[font];
  if (f.face == nullptr) {
    const FontFace& entry = kFonts[font];
    f.face = cairo_toy_font_face_create(
        entry.family, entry.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
        entry.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_scaled_font_t* probe = scaled(f.face, 1000, 1000, false);
    cairo_font_extents_t fe;
    cairo_scaled_font_extents(probe, &fe);
    cairo_text_extents_t te;
    cairo_scaled_font_text_extents(probe, "abcdefghijklmnopqrstuvwxyz", &te);
    if (fe.ascent + fe.descent > 0) f.cell = (fe.ascent + fe.descent) / 1000;
    if (te.x_advance > 0) f.average = te.x_advance / 26 / 1000;
    cairo_scaled_font_destroy(probe);
  }
  return f;
}

int table_font(int font) {
  return font >= 0 && font <= 10 ? font : 0;
}

// Cell width and height in pixels of the current text style.
Cell cell_size(const DrawState& st) {
  const int font = table_font(st.font);
  if (st.charsize >= 1) return kFonts[font].cells[std::min(st.charsize, 10)];
  // Size 0: row 4 (row 0 for font 0) scaled by the integer quotients of the user
  // character size; a zero divisor leaves that axis unscaled.
  const Cell base = kFonts[font].cells[font == 0 ? 0 : 4];
  const long long qx = st.divx != 0 ? st.multx / st.divx : 1;
  const long long qy = st.divy != 0 ? st.multy / st.divy : 1;
  // Cells beyond kMaxCell pixels cannot be rendered and would overflow.
  auto scale = [](int size, long long q) {
    return static_cast<int>(std::min<long long>(std::llabs(size * q), kMaxCell));
  };
  return {scale(base.width, qx), scale(base.height, qy)};
}

CellFont& cell_font(Window& w) {
  if (w.cell.font != nullptr) return w.cell;
  const Face& face = face_of(table_font(w.st.font));
  Cell c = cell_size(w.st);
  if (c.height == 0) c.height = kDefaultHeight;
  const double sy = c.height / face.cell;
  const double sx = c.width > 0 ? c.width / face.average : sy;
  w.cell.font = scaled(face.face, sx, sy, true);
  cairo_font_extents_t fe;
  cairo_scaled_font_extents(w.cell.font, &fe);
  w.cell.height = c.height;
  w.cell.ascent = std::clamp(static_cast<int>(std::lround(fe.ascent)), 0, c.height);
  return w.cell;
}

// Width in pixels of UTF-8 `text` in font `f`.
int width_of(cairo_scaled_font_t* f, const std::string& text) {
  cairo_text_extents_t te;
  cairo_scaled_font_text_extents(f, text.c_str(), &te);
  return static_cast<int>(std::lround(te.x_advance));
}

// The anchors in force for the current justification and direction.
void compute_anchors(DrawState& st) {
  const bool turned = st.direction % 4 != 0;
  const int along = turned ? st.vjust : st.hjust;
  const int across = turned ? st.hjust : st.vjust;
  st.along = along == 1 ? Along::centre : along == 2 ? Along::end : Along::start;
  st.across = across == 0 ? Across::bottom : across == 1 ? Across::baseline : Across::top;
}

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
  unsigned char* data = cairo_image_surface_get_data(page);
  const int stride = cairo_image_surface_get_stride(page);
  const std::uint32_t bg = pixel_of(w.st.bkcolor);
  const int rgb = converttorgb(w.st.color);
  const bool overhang = reach.beyond_box(width, cf.height);
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

    cairo_surface_t* strip = cairo_image_surface_create(CAIRO_FORMAT_RGB24, sw, rows);
    // Which strip pixels the glyphs cover, where the strip reaches beyond the box.
    cairo_surface_t* mask =
        overhang ? cairo_image_surface_create(CAIRO_FORMAT_A8, sw, rows) : nullptr;
    if (cairo_surface_status(strip) != CAIRO_STATUS_SUCCESS ||
        (mask != nullptr && cairo_surface_status(mask) != CAIRO_STATUS_SUCCESS)) {
      cairo_surface_destroy(strip);
      if (mask != nullptr) cairo_surface_destroy(mask);
      continue;
    }
    // Glyphs near the strip, shifted into it.
    std::vector<cairo_glyph_t> part;
    const double margin = 2.0 * cf.height + 8;
    for (int k = 0; k < count; ++k) {
      if (glyphs[k].x < start - margin || glyphs[k].x > start + sw + margin) continue;
      cairo_glyph_t g = glyphs[k];
      g.x -= static_cast<double>(start);
      g.y -= static_cast<double>(reach.top);
      part.push_back(g);
    }
    cairo_t* c = cairo_create(strip);
    cairo_set_antialias(c, CAIRO_ANTIALIAS_NONE);
    cairo_set_source_rgb(c, ((bg >> 16) & 0xFF) / 255.0, ((bg >> 8) & 0xFF) / 255.0,
                         (bg & 0xFF) / 255.0);
    cairo_paint(c);
    cairo_set_source_rgb(c, (rgb & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0,
                         ((rgb >> 16) & 0xFF) / 255.0);
    cairo_set_scaled_font(c, cf.font);
    if (!part.empty()) cairo_show_glyphs(c, part.data(), static_cast<int>(part.size()));
    cairo_destroy(c);
    cairo_surface_flush(strip);
    const unsigned char* mdata = nullptr;
    int mstride = 0;
    if (mask != nullptr) {
      c = cairo_create(mask);
      cairo_set_antialias(c, CAIRO_ANTIALIAS_NONE);
      cairo_set_scaled_font(c, cf.font);
      if (!part.empty()) cairo_show_glyphs(c, part.data(), static_cast<int>(part.size()));
      cairo_destroy(c);
      cairo_surface_flush(mask);
      mdata = cairo_image_surface_get_data(mask);
      mstride = cairo_image_surface_get_stride(mask);
    }

    const unsigned char* sdata = cairo_image_surface_get_data(strip);
    const int sstride = cairo_image_surface_get_stride(strip);
    for (int j = 0; j < rows; ++j) {
      const auto* src = reinterpret_cast<const std::uint32_t*>(sdata + j * sstride);
      const long long bj = reach.top + j;
      for (int i = 0; i < sw; ++i) {
        const long long bi = start + i;
        const bool in_box = bi >= 0 && bi < width && bj >= 0 && bj < cf.height;
        if (!in_box && (mdata == nullptr || mdata[j * mstride + i] == 0)) continue;
        long long px, py;
        turn.map(bi, bj, px, py);
        if (px < clip.left || px > clip.right || py < clip.top || py > clip.bottom) continue;
        reinterpret_cast<std::uint32_t*>(data + py * stride)[px] = src[i];
      }
    }
    cairo_surface_destroy(strip);
    if (mask != nullptr) cairo_surface_destroy(mask);
  }
  if (glyphs != nullptr) cairo_glyph_free(glyphs);
  cairo_surface_mark_dirty(page);
}

// Width in pixels of UTF-8 `text` in the cell font `cf`, from the glyph cache when it
// can lay the text out; `placed` receives the layout (empty when it cannot).
int text_width(const CellFont& cf, const std::string& text, std::vector<PlacedGlyph>& placed) {
  int width = 0;
  if (lay_out_text(cf.font, cf.height, text, placed, width)) return width;
  placed.clear();
  return width_of(cf.font, text);
}

// The reach of a text `width` pixels wide: exact from the cached glyphs' ink, or from
// cairo's ink extents, rounded out by a pixel, when the text is not cached.
Reach reach_of(const CellFont& cf, const std::string& text, int width,
               const std::vector<PlacedGlyph>& placed) {
  Reach r{0, 0, width - 1LL, cf.height - 1LL};
  if (!placed.empty()) {
    for (const PlacedGlyph& p : placed) {
      const CachedGlyph& g = *p.glyph;
      if (g.left > g.right) continue;
      r.left = std::min(r.left, p.x + g.left);
      r.right = std::max(r.right, p.x + g.right);
      r.top = std::min<long long>(r.top, cf.ascent + g.top);
      r.bottom = std::max<long long>(r.bottom, cf.ascent + g.bottom);
    }
    return r;
  }
  cairo_text_extents_t te;
  cairo_scaled_font_text_extents(cf.font, text.c_str(), &te);
  if (!(te.width > 0 && te.height > 0) || !std::isfinite(te.width) || !std::isfinite(te.height))
    return r;
  auto at = [](double v, double limit) {
    return static_cast<long long>(std::clamp(v, -limit, limit));
  };
  constexpr double kLimit = 4.0 * kMaxCell;
  r.left = std::min(r.left, at(std::floor(te.x_bearing) - 1, kLimit));
  r.right = std::max(r.right, at(std::ceil(te.x_bearing + te.width) + 1, kLimit + width));
  r.top = std::min(r.top, at(cf.ascent + std::floor(te.y_bearing) - 1, kLimit));
  r.bottom = std::max(r.bottom, at(cf.ascent + std::ceil(te.y_bearing + te.height) + 1, kLimit));
  return r;
}

// Where a text `width` pixels wide lands when anchored at page point (x, y) with the
// anchors and direction of `st`, and the page pixels it may change.
struct TextPlace {
  Turn turn;
  Clip clip;
  bool drawn;  // false when the text sets no pixel at all
};

TextPlace place_text(const Window& w, const DrawState& st, const CellFont& cf, long long x,
                     long long y, int width, const Reach& reach) {
  const int dir = ((st.direction % 4) + 4) % 4;
  const long long ax = st.along == Along::start ? 0 : st.along == Along::centre ? width / 2 : width;
  const long long ay = st.across == Across::bottom     ? cf.height
                       : st.across == Across::baseline ? cf.ascent
                                                       : 0;
  TextPlace p{Turn{dir, x, y, ax, ay}, Clip{0, 0, w.width - 1LL, w.height - 1LL}, false};
  if (st.vp_clip) {
    p.clip.left = std::max<long long>(p.clip.left, st.vp_left);
    p.clip.top = std::max<long long>(p.clip.top, st.vp_top);
    p.clip.right = std::min<long long>(p.clip.right, st.vp_right);
    p.clip.bottom = std::min<long long>(p.clip.bottom, st.vp_bottom);
  }
  if (width <= 0 || cf.height <= 0 || p.clip.left > p.clip.right || p.clip.top > p.clip.bottom)
    return p;
  long long x0, y0, x1, y1;
  p.turn.map(reach.left, reach.top, x0, y0);
  p.turn.map(reach.right, reach.bottom, x1, y1);
  p.drawn = !p.clip.misses(x0, y0, x1, y1);
  return p;
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

TextPixels text_pixels(int x, int y, const std::string& raw) {
  Window& w = current_window();
  PageLock lock(w);
  const CellFont& cf = cell_font(w);
  const std::string text = to_utf8(raw);
  thread_local std::vector<PlacedGlyph> placed;
  const int width = text_width(cf, text, placed);
  const Reach reach = reach_of(cf, text, width, placed);
  // The anchors outtextxy would use: it takes them afresh after another kind of text.
  DrawState st = w.st;
  if (st.last_text != TextOp::outtextxy) compute_anchors(st);
  const TextPlace p = place_text(w, st, cf, static_cast<long long>(st.vp_left) + x,
                                 static_cast<long long>(st.vp_top) + y, width, reach);
  if (!p.drawn) return {};
  // Box-frame rectangle (i0, j0)-(i1, j1) on the page, cut to the clip.
  auto on_page = [&p](long long i0, long long j0, long long i1, long long j1) -> PixelBox {
    long long x0, y0, x1, y1;
    p.turn.map(i0, j0, x0, y0);
    p.turn.map(i1, j1, x1, y1);
    return {std::max(std::min(x0, x1), p.clip.left), std::max(std::min(y0, y1), p.clip.top),
            std::min(std::max(x0, x1), p.clip.right), std::min(std::max(y0, y1), p.clip.bottom)};
  };
  return {on_page(0, 0, width - 1, cf.height - 1),
          on_page(reach.left, reach.top, reach.right, reach.bottom)};
}

void drop_font(Window& w) {
  if (w.cell.font != nullptr) cairo_scaled_font_destroy(w.cell.font);
  w.cell = CellFont{};
}

}  // namespace helmert2d::canvas

using namespace helmert2d::canvas;

void settextstyle(int font, int direction, int charsize) {
  Window& w = current_window();
  PageLock lock(w);
  w.st.font = font;
  w.st.direction = direction;
  w.st.charsize = charsize;
  drop_font(w);
}

void setusercharsize(int multx, int divx, int multy, int divy) {
  Window& w = current_window();
  PageLock lock(w);
  w.st.multx = multx;
  w.st.divx = divx;
  w.st.multy = multy;
  w.st.divy = divy;
  drop_font(w);
}

void settextjustify(int horiz, int vert) {
  Window& w = current_window();
  PageLock lock(w);
  w.st.hjust = horiz;
  // Vertical 3 lies outside the table; plots that leave it behind mean the bottom.
  w.st.vjust = vert == 3 ? 0 : vert;
  compute_anchors(w.st);
}

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

int textheight(const char* /*text*/) {
  Window& w = current_window();
  PageLock lock(w);
  return cell_font(w).height;
}

int textwidth(const char* text) {
  Window& w = current_window();
  PageLock lock(w);
  thread_local std::vector<PlacedGlyph> placed;
  return text_width(cell_font(w), to_utf8(text != nullptr ? text : ""), placed);
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
