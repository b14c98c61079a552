// Drawing operations on the page: lines, circles, polygons, bars and clearing.
//
// Pixels are exact because antialiasing is off: a pixel is painted when its centre
// lies inside the shape. Pen lines of odd width run through pixel centres (offset by
// half a pixel), even widths along pixel edges; a line of width t therefore covers t
// pixels across, and its square ends reach t / 2 beyond both end points.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <mutex>
#include <vector>

#include "canvas_internal.h"
#include "circle_stamp.h"
#include "glyph_cache.h"
#include "helmert2d/canvas.h"
#include "overdraw.h"

namespace helmert2d::canvas {
namespace {

// Dash runs (on, off, ...) in pixels of the line styles.
constexpr double SOLID[] = {16, 0};
constexpr double DOTTED[] = {3, 4};
constexpr double CENTER[] = {3, 4, 7, 4};
constexpr double DASHED[] = {7, 4};

// Rows of the 8 by 8 brushes of fill styles 2 to 11, top row first, most significant
// bit leftmost; a set bit is painted in the fill colour.
constexpr unsigned char kBrushRows[12][8] = {
    {0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0},
    {0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},  // horizontal hatch
    {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},  // diagonal rising to the right
    {0xE0, 0xC1, 0x83, 0x07, 0x0E, 0x1C, 0x38, 0x70},
    {0x07, 0x83, 0xC1, 0xE0, 0x70, 0x38, 0x1C, 0x0E},
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},  // diagonal falling to the right
    {0xFF, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80},  // horizontal and vertical cross
    {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},  // diagonal cross
    {0xCC, 0x33, 0xCC, 0x33, 0xCC, 0x33, 0xCC, 0x33},
    {0x80, 0x00, 0x08, 0x00, 0x80, 0x00, 0x08, 0x00},
    {0x88, 0x00, 0x22, 0x00, 0x88, 0x00, 0x22, 0x00}};

// Coordinates beyond this many pixels are clipped before they reach cairo, whose
// fixed-point geometry holds about 2^23.
constexpr double kSafe = 1 << 22;

// Largest pen width drawn; a wider pen covers any page anyway.
constexpr int kMaxPen = 1 << 15;

int pen_width(const DrawState& st) {
  return std::clamp(st.thickness, 1, kMaxPen);
}

// Offset of pen geometry from integer pixel coordinates for pen width `t`.
double pen_offset(int t) {
  return t % 2 == 1 ? 0.5 : 0.0;
}

// Dash runs of the current line style; empty for a continuous line.
std::vector<double> dash_runs(const DrawState& st) {
  switch (st.linestyle) {
    case 1:
      return {std::begin(DOTTED), std::end(DOTTED)};
    case 2:
      return {std::begin(CENTER), std::end(CENTER)};
    case 3:
      return {std::begin(DASHED), std::end(DASHED)};
    case 4: {
      // One pixel per bit, most significant first; runs alternate starting with on.
      if ((st.upattern & 0xFFFFu) == 0xFFFFu) return {};
      std::vector<double> runs;
      bool on = true;
      double count = 0;
      for (int b = 15; b >= 0; --b) {
        const bool bit = ((st.upattern >> b) & 1u) != 0;
        if (bit == on) {
          ++count;
        } else {
          runs.push_back(count);
          on = !on;
          count = 1;
        }
      }
      runs.push_back(count);
      if (runs.size() % 2 == 1) runs.push_back(0);
      return runs;
    }
    default:
      (void)SOLID;  // 16 on, 0 off: a continuous line
      return {};
  }
}

void set_color(cairo_t* cr, int color) {
  const int rgb = converttorgb(color);
  cairo_set_source_rgb(cr, (rgb & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0,
                       ((rgb >> 16) & 0xFF) / 255.0);
}

// Pen of the current state; `dash_offset` in pixels shifts the dash runs.
void set_pen(Window& w, cairo_t* cr, double dash_offset) {
  set_color(cr, w.st.color);
  cairo_set_line_width(cr, pen_width(w.st));
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_BEVEL);
  const std::vector<double> runs = dash_runs(w.st);
  cairo_set_dash(cr, runs.empty() ? nullptr : runs.data(), static_cast<int>(runs.size()),
                 dash_offset);
}

// A pen dot: the t by t square of a zero-length line at page point (x, y).
void pen_dot(Window& w, cairo_t* cr, double x, double y) {
  const std::vector<double> runs = dash_runs(w.st);
  if (!runs.empty() && runs[0] <= 0) return;
  const int t = pen_width(w.st);
  if (std::abs(x) > kSafe || std::abs(y) > kSafe) return;
  set_color(cr, w.st.color);
  cairo_rectangle(cr, x + pen_offset(t) - t / 2.0, y + pen_offset(t) - t / 2.0, t, t);
  cairo_fill(cr);
}

// Brush source of the current fill style; pattern brushes repeat from page (0, 0).
void set_brush(Window& w, cairo_t* cr) {
  const int style = w.st.fillstyle;
  if (style <= 1) {
    set_color(cr, w.st.fillcolor);
    return;
  }
  const std::uint32_t fg = pixel_of(w.st.fillcolor);
  const std::uint32_t bg = pixel_of(w.st.bkcolor);
  const std::uint64_t key =
      (static_cast<std::uint64_t>(style) << 48) | (static_cast<std::uint64_t>(fg) << 24) | bg;
  if (w.brush == nullptr || w.brush_key != key) {
    if (w.brush != nullptr) cairo_pattern_destroy(w.brush);
    cairo_surface_t* tile = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 8, 8);
    cairo_surface_flush(tile);
    unsigned char* data = cairo_image_surface_get_data(tile);
    const int stride = cairo_image_surface_get_stride(tile);
    for (int row = 0; row < 8; ++row) {
      auto* px = reinterpret_cast<std::uint32_t*>(data + row * stride);
      for (int col = 0; col < 8; ++col)
        px[col] = (kBrushRows[style][row] >> (7 - col)) & 1 ? fg : bg;
    }
    cairo_surface_mark_dirty(tile);
    w.brush = cairo_pattern_create_for_surface(tile);
    cairo_surface_destroy(tile);
    cairo_pattern_set_extend(w.brush, CAIRO_EXTEND_REPEAT);
    cairo_pattern_set_filter(w.brush, CAIRO_FILTER_NEAREST);
    w.brush_key = key;
  }
  cairo_set_source(cr, w.brush);
}

// Clips the segment p + s (q - p), s in [s0, s1], to the box [lo, hi]^2 (Liang-Barsky);
// false when nothing is left.
bool clip_segment(double px, double py, double qx, double qy, double lo_x, double lo_y, double hi_x,
                  double hi_y, double& s0, double& s1) {
  const double dx = qx - px, dy = qy - py;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {px - lo_x, hi_x - px, py - lo_y, hi_y - py};
  s0 = 0;
  s1 = 1;
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double r = q[i] / p[i];
    if (p[i] < 0)
      s0 = std::max(s0, r);
    else
      s1 = std::min(s1, r);
    if (s0 > s1) return false;
  }
  return true;
}

// Paints the inclusive page rectangle (l, t)-(r, b), within the page and the viewport
// clip, in `color` straight into the page's pixels.
void fill_pixels(Window& w, long long l, long long t, long long r, long long b, int color) {
  l = std::max<long long>(l, 0);
  t = std::max<long long>(t, 0);
  r = std::min<long long>(r, w.width - 1);
  b = std::min<long long>(b, w.height - 1);
  if (w.st.vp_clip) {
    l = std::max<long long>(l, w.st.vp_left);
    t = std::max<long long>(t, w.st.vp_top);
    r = std::min<long long>(r, w.st.vp_right);
    b = std::min<long long>(b, w.st.vp_bottom);
  }
  if (l > r || t > b) return;
  cairo_surface_t* page = active_surface(w);
  cairo_surface_flush(page);
  unsigned char* data = cairo_image_surface_get_data(page);
  const int stride = cairo_image_surface_get_stride(page);
  const std::uint32_t px = pixel_of(color);
  for (long long y = t; y <= b; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + y * stride);
    std::fill(row + l, row + r + 1, px);
  }
  cairo_surface_mark_dirty_rectangle(page, static_cast<int>(l), static_cast<int>(t),
                                     static_cast<int>(r - l + 1), static_cast<int>(b - t + 1));
}

// Strokes the pen line between page points (x1, y1) and (x2, y2), given in pixel
// coordinates (before the pen offset), with square ends.
void stroke_line(Window& w, cairo_t* cr, double x1, double y1, double x2, double y2) {
  const int t = pen_width(w.st);
  const double off = pen_offset(t);
  // A solid horizontal or vertical line is a rectangle of whole pixels: t pixels
  // across, reaching t / 2 beyond both ends (the same pixels the stroke would cover).
  if ((x1 == x2 || y1 == y2) && dash_runs(w.st).empty() && std::abs(x1) < kSafe &&
      std::abs(x2) < kSafe && std::abs(y1) < kSafe && std::abs(y2) < kSafe) {
    const auto lo = static_cast<long long>(t / 2), hi = static_cast<long long>((t + 1) / 2 - 1);
    const auto left = static_cast<long long>(std::min(x1, x2)),
               right = static_cast<long long>(std::max(x1, x2));
    const auto top = static_cast<long long>(std::min(y1, y2)),
               bottom = static_cast<long long>(std::max(y1, y2));
    fill_pixels(w, left - lo, top - lo, right + hi, bottom + hi, w.st.color);
    return;
  }
  const double len = std::hypot(x2 - x1, y2 - y1);
  if (len == 0) {
    pen_dot(w, cr, x1, y1);
    return;
  }
  // Square ends: extend by half the pen width and stroke with butt ends, so that the
  // dash runs start at the outer edge of the first end.
  const double ux = (x2 - x1) / len, uy = (y2 - y1) / len, h = t / 2.0;
  const double sx = x1 + off - ux * h, sy = y1 + off - uy * h;
  const double ex = x2 + off + ux * h, ey = y2 + off + uy * h;
  const double m = t + 2.0;
  double s0 = 0, s1 = 1;
  if (!clip_segment(sx, sy, ex, ey, -m, -m, w.width + m, w.height + m, s0, s1)) return;
  const double total = len + t;
  set_pen(w, cr, s0 * total);
  cairo_new_path(cr);
  cairo_move_to(cr, sx + (ex - sx) * s0, sy + (ey - sy) * s0);
  cairo_line_to(cr, sx + (ex - sx) * s1, sy + (ey - sy) * s1);
  cairo_stroke(cr);
}

// Sutherland-Hodgman clip of a polygon to one side of the box; `axis` 0 is x, 1 is y,
// `keep_below` keeps coordinates <= `limit`.
std::vector<double> clip_side(const std::vector<double>& in, int axis, double limit,
                              bool keep_below) {
  std::vector<double> out;
  const std::size_t n = in.size() / 2;
  auto inside = [&](std::size_t i) {
    const double v = in[2 * i + static_cast<std::size_t>(axis)];
    return keep_below ? v <= limit : v >= limit;
  };
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t j = (i + 1) % n;
    const bool a = inside(i), b = inside(j);
    if (a) {
      out.push_back(in[2 * i]);
      out.push_back(in[2 * i + 1]);
    }
    if (a != b) {
      const double va = in[2 * i + static_cast<std::size_t>(axis)];
      const double vb = in[2 * j + static_cast<std::size_t>(axis)];
      const double s = (limit - va) / (vb - va);
      out.push_back(in[2 * i] + s * (in[2 * j] - in[2 * i]));
      out.push_back(in[2 * i + 1] + s * (in[2 * j + 1] - in[2 * i + 1]));
    }
  }
  return out;
}

// Circle stamps. A circle outline drawn with a continuous pen covers the same pixels,
// moved alike, wherever its centre lies on a whole pixel: cairo draws it without
// antialiasing, and moving its path by whole pixels moves its pixels. Small circles are
// therefore rendered by cairo once per radius and pen width and then stamped, as plots
// draw one small circle per point. A stamp with partial coverage or ink on its edge is
// not used.
struct CircleStamp {
  bool exact = false;
  std::vector<GlyphRun> runs;  // covered pixels relative to the centre pixel
};

std::atomic<bool> stamps_on{true};

constexpr int kMaxStampRadius = 64;
constexpr int kMaxStampPen = 8;

// The stamp of radius `r` and pen width `t`, rendered on first use.
const CircleStamp& circle_stamp(int r, int t) {
  static std::mutex stamp_mutex;
  static std::map<std::pair<int, int>, CircleStamp> stamps;
  std::lock_guard<std::mutex> guard(stamp_mutex);
  auto [it, fresh] = stamps.try_emplace({r, t});
  CircleStamp& stamp = it->second;
  if (!fresh) return stamp;
  const int c = r + t + 4, size = 2 * c + 1;
  cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, size, size);
  cairo_t* cr = cairo_create(mask);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, t);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_BEVEL);
  const double off = pen_offset(t);
  cairo_new_path(cr);
  cairo_arc(cr, c + off, c + off, r, 0, 2 * M_PI);
  cairo_close_path(cr);
  cairo_stroke(cr);
  const bool drawn = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
  cairo_destroy(cr);
  const bool exact = drawn && covered_runs(mask, size, size, c, c, stamp.runs);
  cairo_surface_destroy(mask);
  stamp.exact = exact;
  return stamp;
}

// Stamps `stamp` centred on page pixel (cx, cy) in the current colour, within the page
// and the viewport clip.
void draw_stamp(Window& w, const CircleStamp& stamp, long long cx, long long cy) {
  long long cl = 0, ct = 0, cr = w.width - 1LL, cb = w.height - 1LL;
  if (w.st.vp_clip) {
    cl = std::max<long long>(cl, w.st.vp_left);
    ct = std::max<long long>(ct, w.st.vp_top);
    cr = std::min<long long>(cr, w.st.vp_right);
    cb = std::min<long long>(cb, w.st.vp_bottom);
  }
  cairo_surface_t* page = active_surface(w);
  cairo_surface_flush(page);
  auto* data = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(page));
  const long long stride = cairo_image_surface_get_stride(page) / 4;
  // Cairo's pixel for the opaque pen colour on an RGB24 page.
  const std::uint32_t ink = 0xFF000000u | pixel_of(w.st.color);
  for (const GlyphRun& run : stamp.runs) {
    const long long y = cy + run.dy;
    if (y < ct || y > cb) continue;
    const long long l = std::max(cx + run.dx, cl);
    const long long r = std::min(cx + run.dx + run.length - 1, cr);
    if (l <= r) std::fill(data + y * stride + l, data + y * stride + r + 1, ink);
  }
  cairo_surface_mark_dirty(page);
}

// The stamp of a circle of `radius` and pen width `t` centred on page pixel (cx, cy)
// in the current state, or nullptr when cairo must draw it: the pen is dashed, the
// circle is large, or its stamp reaches the edge of the page or of the viewport clip,
// where cairo's pixels change.
const CircleStamp* stamp_for(const Window& w, double cx, double cy, int radius, int t) {
  const long long r = std::llabs(radius);
  if (r == 0 || r > kMaxStampRadius || t > kMaxStampPen ||
      !stamps_on.load(std::memory_order_relaxed) || !dash_runs(w.st).empty())
    return nullptr;
  const double reach = static_cast<double>(r + t + 4);
  double left = 0, top = 0, right = w.width - 1.0, bottom = w.height - 1.0;
  if (w.st.vp_clip) {
    left = std::max<double>(left, w.st.vp_left);
    top = std::max<double>(top, w.st.vp_top);
    right = std::min<double>(right, w.st.vp_right);
    bottom = std::min<double>(bottom, w.st.vp_bottom);
  }
  if (cx - reach < left || cx + reach > right || cy - reach < top || cy + reach > bottom)
    return nullptr;
  const CircleStamp& stamp = circle_stamp(static_cast<int>(r), t);
  return stamp.exact ? &stamp : nullptr;
}

}  // namespace

void set_circle_stamps(bool on) {
  stamps_on.store(on);
}

bool circle_stamped(int radius, int pen) {
  return stamps_on.load() && radius > 0 && radius <= kMaxStampRadius && pen >= 1 &&
         pen <= kMaxStampPen && circle_stamp(radius, pen).exact;
}

cairo_surface_t* active_surface(Window& w) {
  return w.pages[static_cast<std::size_t>(w.active_page)];
}
cairo_t* active_context(Window& w) {
  return w.contexts[static_cast<std::size_t>(w.active_page)];
}

void apply_clip(Window& w, cairo_t* cr) {
  cairo_reset_clip(cr);
  if (!w.st.vp_clip) return;
  const double l = std::clamp<double>(w.st.vp_left, -1, w.width + 1);
  const double t = std::clamp<double>(w.st.vp_top, -1, w.height + 1);
  const double r = std::clamp<double>(w.st.vp_right + 1.0, -1, w.width + 1);
  const double b = std::clamp<double>(w.st.vp_bottom + 1.0, -1, w.height + 1);
  cairo_rectangle(cr, l, t, std::max(0.0, r - l), std::max(0.0, b - t));
  cairo_clip(cr);
}

}  // namespace helmert2d::canvas

using namespace helmert2d::canvas;

void cleardevice() {
  Window& w = current_window();
  {
    PageLock lock(w);
    cairo_t* cr = active_context(w);
    cairo_reset_clip(cr);
    set_color(cr, w.st.bkcolor);
    cairo_paint(cr);
    w.st.cpx = 0;
    w.st.cpy = 0;
  }
  changed(w);
}

void line(int x1, int y1, int x2, int y2) {
  Window& w = current_window();
  {
    PageLock lock(w);
    cairo_t* cr = active_context(w);
    apply_clip(w, cr);
    const double ox = w.st.vp_left, oy = w.st.vp_top;
    stroke_line(w, cr, ox + x1, oy + y1, ox + x2, oy + y2);
  }
  changed(w);
}

void circle(int x, int y, int radius) {
  Window& w = current_window();
  {
    PageLock lock(w);
    cairo_t* cr = active_context(w);
    apply_clip(w, cr);
    const double cx = static_cast<double>(w.st.vp_left) + x;
    const double cy = static_cast<double>(w.st.vp_top) + y;
    const double r = std::abs(static_cast<double>(radius));
    const int t = pen_width(w.st);
    const double reach = r + t;
    // Skip circles whose outline misses the page; fixed-point geometry bounds the rest.
    const bool misses =
        cx + reach < 0 || cy + reach < 0 || cx - reach > w.width || cy - reach > w.height;
    const CircleStamp* stamp = stamp_for(w, cx, cy, radius, t);
    if (r == 0) {
      pen_dot(w, cr, cx, cy);
    } else if (stamp != nullptr) {
      draw_stamp(w, *stamp, static_cast<long long>(cx), static_cast<long long>(cy));
    } else if (!misses && r < kSafe && std::abs(cx) < kSafe && std::abs(cy) < kSafe) {
      const double off = pen_offset(t);
      set_pen(w, cr, 0);
      cairo_new_path(cr);
      cairo_arc(cr, cx + off, cy + off, r, 0, 2 * M_PI);
      cairo_close_path(cr);
      cairo_stroke(cr);
    }
  }
  changed(w);
}

void fillpoly(int numpoints, const int* polypoints) {
  if (numpoints < 1 || polypoints == nullptr) {
    (void)current_window();
    return;
  }
  Window& w = current_window();
  {
    PageLock lock(w);
    cairo_t* cr = active_context(w);
    apply_clip(w, cr);
    const std::size_t n = static_cast<std::size_t>(numpoints);
    std::vector<double> pts(2 * n);
    bool safe = true;
    for (std::size_t i = 0; i < n; ++i) {
      pts[2 * i] = static_cast<double>(w.st.vp_left) + polypoints[2 * i];
      pts[2 * i + 1] = static_cast<double>(w.st.vp_top) + polypoints[2 * i + 1];
      safe = safe && std::abs(pts[2 * i]) < kSafe && std::abs(pts[2 * i + 1]) < kSafe;
    }
    // Fill through pixel centres with the even-odd rule.
    std::vector<double> fill = pts;
    if (!safe) {
      const double m = 16;
      fill = clip_side(fill, 0, -m, false);
      fill = clip_side(fill, 0, w.width + m, true);
      fill = clip_side(fill, 1, -m, false);
      fill = clip_side(fill, 1, w.height + m, true);
    }
    if (fill.size() >= 6) {
      cairo_new_path(cr);
      for (std::size_t i = 0; i < fill.size() / 2; ++i)
        cairo_line_to(cr, fill[2 * i] + 0.5, fill[2 * i + 1] + 0.5);
      cairo_close_path(cr);
      cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
      set_brush(w, cr);
      cairo_fill(cr);
    }
    // Outline with the pen: one closed path with bevel joins, or clipped sides.
    const int t = pen_width(w.st);
    if (safe && n > 1) {
      const double off = pen_offset(t);
      set_pen(w, cr, 0);
      cairo_new_path(cr);
      for (std::size_t i = 0; i < n; ++i) cairo_line_to(cr, pts[2 * i] + off, pts[2 * i + 1] + off);
      cairo_close_path(cr);
      cairo_stroke(cr);
    } else {
      for (std::size_t i = 0; i < n; ++i) {
        const std::size_t j = (i + 1) % n;
        stroke_line(w, cr, pts[2 * i], pts[2 * i + 1], pts[2 * j], pts[2 * j + 1]);
      }
    }
  }
  changed(w);
}

void bar(int left, int top, int right, int bottom) {
  Window& w = current_window();
  {
    PageLock lock(w);
    cairo_t* cr = active_context(w);
    apply_clip(w, cr);
    double l = static_cast<double>(w.st.vp_left) + std::min(left, right);
    double r = static_cast<double>(w.st.vp_left) + std::max(left, right);
    double t = static_cast<double>(w.st.vp_top) + std::min(top, bottom);
    double b = static_cast<double>(w.st.vp_top) + std::max(top, bottom);
    l = std::clamp<double>(l, -1, w.width + 1);
    r = std::clamp<double>(r, -1, w.width + 1);
    t = std::clamp<double>(t, -1, w.height + 1);
    b = std::clamp<double>(b, -1, w.height + 1);
    if (r > l && b > t) {
      cairo_new_path(cr);
      cairo_rectangle(cr, l, t, r - l, b - t);
      set_brush(w, cr);
      cairo_fill(cr);
    }
  }
  changed(w);
}

int getpixel(int x, int y) {
  Window& w = current_window();
  PageLock lock(w);
  const long long px = static_cast<long long>(w.st.vp_left) + x;
  const long long py = static_cast<long long>(w.st.vp_top) + y;
  if (px < 0 || py < 0 || px >= w.width || py >= w.height) return 0;
  cairo_surface_t* s = active_surface(w);
  cairo_surface_flush(s);
  const unsigned char* row =
      cairo_image_surface_get_data(s) + py * cairo_image_surface_get_stride(s);
  return color_of_pixel(reinterpret_cast<const std::uint32_t*>(row)[px] & 0xFFFFFF);
}

namespace helmert2d::canvas {

PixelBox circle_pixels(int x, int y, int radius) {
  Window& w = current_window();
  PageLock lock(w);
  const long long cx = static_cast<long long>(w.st.vp_left) + x;
  const long long cy = static_cast<long long>(w.st.vp_top) + y;
  // The outline lies within the radius plus the pen's width; a margin covers the
  // rounding of cairo's path and of the stamps.
  const long long reach = std::abs(static_cast<long long>(radius)) + pen_width(w.st) + 2;
  return {cx - reach, cy - reach, cx + reach, cy + reach};
}

PixelBox page_pixels() {
  const Window& w = current_window();
  return {0, 0, w.width - 1LL, w.height - 1LL};
}

}  // namespace helmert2d::canvas
