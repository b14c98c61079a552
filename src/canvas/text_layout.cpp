// Canvas text layout and measures: the font table, the scaled cell font of a text
// style, the width and ink reach of a text, anchoring, and where a text lands on the
// page.
//
// Each font and size gives a character cell of the table's height and average
// character width in pixels: the face is measured once at 1000 units, then scaled
// separately in x and y (cell height = ascent + descent, average width = the mean
// advance of 'a' to 'z'). Text is laid out horizontally in a cell-high box and turned
// into the page by the direction's quarter turns. The width comes from the glyph cache
// (glyph_cache.h) when it can lay the text out, from cairo otherwise.
#include "text_layout.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <string>
#include <vector>

#include "canvas_internal.h"
#include "glyph_cache.h"
#include "helmert2d/canvas.h"
#include "overdraw.h"

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

// Width in pixels of UTF-8 `text` in font `f`.
int width_of(cairo_scaled_font_t* f, const std::string& text) {
  cairo_text_extents_t te;
  cairo_scaled_font_text_extents(f, text.c_str(), &te);
  return static_cast<int>(std::lround(te.x_advance));
}

}  // namespace

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

void compute_anchors(DrawState& st) {
  const bool turned = st.direction % 4 != 0;
  const int along = turned ? st.vjust : st.hjust;
  const int across = turned ? st.hjust : st.vjust;
  st.along = along == 1 ? Along::centre : along == 2 ? Along::end : Along::start;
  st.across = across == 0 ? Across::bottom : across == 1 ? Across::baseline : Across::top;
}

int text_width(const CellFont& cf, const std::string& text, std::vector<PlacedGlyph>& placed) {
  int width = 0;
  if (lay_out_text(cf.font, cf.height, text, placed, width)) return width;
  placed.clear();
  return width_of(cf.font, text);
}

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
