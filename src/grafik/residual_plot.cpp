// The residual plot: common points with their exaggerated residual vectors, points left
// out, a grid, a north arrow, a scale bar and a legend, drawn on an off-screen page of
// its own and saved as a picture.
#include "residual_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "canvas/program_hooks.h"
#include "helmert2d/canvas.h"
#include "helmert2d/grafik.h"
#include "mapping.h"
#include "textio/output_file.h"
#include "textio/textio.h"

namespace helmert2d::grafik {

// ---- Round numbers ------------------------------------------------------------------

namespace {

// 10^e, and m * 10^e rounded once (a division for negative e, so that 0.2 and 0.005
// come out as the nearest doubles).
double scaled(double m, int e) {
  return e >= 0 ? m * std::pow(10.0, e) : m / std::pow(10.0, -e);
}

// x = m * 10^e with m in [1, 10); false when x is not a positive finite number.
bool decompose(double x, double& m, int& e) {
  if (!(x > 0.0) || !std::isfinite(x)) return false;
  e = static_cast<int>(std::floor(std::log10(x)));
  m = e >= 0 ? x / std::pow(10.0, e) : x * std::pow(10.0, -e);
  if (m >= 10.0) {
    ++e;
    m /= 10.0;
  } else if (m < 1.0) {
    --e;
    m *= 10.0;
  }
  return std::isfinite(m) && m > 0.0;
}

// A result that is 0 or infinite (the powers of ten ran out of range) counts as none.
double checked(double v) {
  return std::isfinite(v) && v > 0.0 ? v : 0.0;
}

}  // namespace

double round_down_125(double x) {
  double m;
  int e;
  if (!decompose(x, m, e)) return 0.0;
  // A mantissa a rounding error below 2 or 5 still counts as 2 or 5.
  constexpr double kSlack = 1e-12;
  const double r = m >= 5.0 - kSlack ? 5.0 : m >= 2.0 - kSlack ? 2.0 : 1.0;
  return checked(scaled(r, e));
}

double nearest_125(double x) {
  double m;
  int e;
  if (!decompose(x, m, e)) return 0.0;
  // Halfway points in ratio: sqrt(1 * 2), sqrt(2 * 5) and sqrt(5 * 10).
  if (m < std::sqrt(2.0)) return checked(scaled(1.0, e));
  if (m < std::sqrt(10.0)) return checked(scaled(2.0, e));
  if (m < std::sqrt(50.0)) return checked(scaled(5.0, e));
  const double up = checked(scaled(1.0, e + 1));
  return up > 0.0 ? up : checked(scaled(5.0, e));
}

double grid_step(double span) {
  // With step <= span / 4 the span holds at least 4 lines; the next round value is at
  // most 2.5 times larger and above span / 4, so step > span / 10: at most 10 lines.
  return round_down_125(span / 4.0);
}

double vector_factor(double longest, double pixels_per_metre, double target_pixels) {
  if (!(longest > 0.0) || !(pixels_per_metre > 0.0) || !(target_pixels > 0.0)) return 1.0;
  const double f = nearest_125(target_pixels / (longest * pixels_per_metre));
  return f > 0.0 ? f : 1.0;
}

std::string format_step_value(double value, double step) {
  char buf[64];
  if (!std::isfinite(value)) return "-";
  if (std::fabs(value) >= 1e15) {
    std::snprintf(buf, sizeof buf, "%.6g", value);
    return buf;
  }
  int decimals = 0;
  if (step > 0.0 && step < 1.0) decimals = static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
  decimals = std::clamp(decimals, 0, 12);
  std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
  std::string s = buf;
  if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
  return s;
}

// ---- Label placement ------------------------------------------------------------------

bool LabelPlacer::free(const PixelBox& b) const {
  if (!b.inside(bounds_)) return false;
  auto hit = [&](const PixelBox& o) { return b.overlaps(o); };
  return std::none_of(placed_.begin(), placed_.end(), hit) &&
         std::none_of(blocked_.begin(), blocked_.end(), hit);
}

std::optional<PixelBox> LabelPlacer::place(int x, int y, int width, int height, int gap,
                                           double east, double north) {
  // Sides: h -1 left, +1 right; v -1 above, +1 below. The label prefers the side the
  // vector does not point to.
  const int h = east > 0.0 ? -1 : 1;
  const int v = north > 0.0 ? 1 : -1;
  auto corner = [&](int hs, int vs) {
    const int left = hs > 0 ? x + gap : x - gap - width + 1;
    const int top = vs > 0 ? y + gap : y - gap - height + 1;
    return PixelBox{left, top, left + width - 1, top + height - 1};
  };
  auto beside = [&](int hs) {
    const int left = hs > 0 ? x + gap : x - gap - width + 1;
    const int top = y - height / 2;
    return PixelBox{left, top, left + width - 1, top + height - 1};
  };
  auto over = [&](int vs) {
    const int left = x - width / 2;
    const int top = vs > 0 ? y + gap : y - gap - height + 1;
    return PixelBox{left, top, left + width - 1, top + height - 1};
  };
  const PixelBox candidates[] = {corner(h, v), corner(h, -v), corner(-h, v), corner(-h, -v),
                                 beside(h),    beside(-h),    over(v),       over(-v)};
  for (const PixelBox& c : candidates) {
    if (free(c)) {
      placed_.push_back(c);
      return c;
    }
  }
  ++left_out_;
  return std::nullopt;
}

// ---- The picture -----------------------------------------------------------------------

namespace {

constexpr int kPage = 800;
constexpr int kTop = 16;
constexpr int kRightMargin = 34;  // room for the north arrow
constexpr int kMinLeft = 60;
constexpr int kMaxLeft = 300;
// The points fill 1/kShrink of the frame, leaving a sixth of it on each side for
// vectors (an eighth of the frame long) and names.
constexpr double kShrink = 1.5;
constexpr int kSymbol = 11;  // triangle width in pixels
constexpr int kNameGap = 7;  // from a point to its name
constexpr int kFont = 2;     // DejaVu Sans, 8 by 12 pixel cells at size 5
constexpr int kFontSize = 5;

int red() {
  return COLOR(255, 0, 0);
}
int blue() {
  return COLOR(0, 0, 255);
}
int grey() {
  return COLOR(128, 128, 128);
}
int black() {
  return COLOR(0, 0, 0);
}

bool finite(double a, double b) {
  return std::isfinite(a) && std::isfinite(b);
}

// Text with its top-left corner at (x, y).
void text_at(int x, int y, const std::string& s, int color) {
  setcolor(color);
  settextjustify(0, 2);
  outtextxy(x, y, s);
}

int text_width(const std::string& s) {
  return textwidth(s.c_str());
}

// The multiples of `step` from lo to hi (none when there would be more than 50).
std::vector<double> multiples(double lo, double hi, double step) {
  std::vector<double> out;
  if (!(step > 0.0) || !finite(lo, hi) || (hi - lo) / step > 50.0) return out;
  for (double i = std::ceil(lo / step); i * step <= hi; i += 1.0) out.push_back(i * step);
  return out;
}

// The frame, its grid and the axis label texts.
struct Layout {
  Frame f;
  double step = 0.0;
  std::vector<double> columns, rows;  // world H and V of the grid lines
};

Layout fit_layout(const Extremes& e) {
  Layout lay;
  int left = kMinLeft;
  // The row labels decide how far the frame stays off the left edge; their texts
  // depend on the grid, which depends on the frame, so fit until the width holds.
  for (int pass = 0; pass < 4; ++pass) {
    const int side = kPage - left - kRightMargin;
    lay.f = {left, left + side, kTop, kTop + side};
    set_mapping(lay.f, e, kShrink);
    lay.step = 0.0;
    lay.columns.clear();
    lay.rows.clear();
    if (std::isfinite(Olck) && Olck > 0.0) {
      lay.step = grid_step(side / Olck);
      const double h0 = Xarz_M + (lay.f.L - Xekrn_M) / Olck;
      const double h1 = Xarz_M + (lay.f.R - Xekrn_M) / Olck;
      const double v0 = Yarz_M - (lay.f.B - Yekrn_M) / Olck;
      const double v1 = Yarz_M - (lay.f.T - Yekrn_M) / Olck;
      lay.columns = multiples(h0, h1, lay.step);
      lay.rows = multiples(v0, v1, lay.step);
    }
    int widest = 0;
    for (double r : lay.rows) widest = std::max(widest, text_width(format_step_value(r, lay.step)));
    const int needed = std::min(widest + 12, kMaxLeft);
    if (needed <= left) break;
    left = needed;
  }
  return lay;
}

void draw_grid_and_axes(const Layout& lay) {
  const Frame& f = lay.f;
  setlinestyle(0, 0, 1);
  setcolor(COLOR(215, 215, 215));
  for (double c : lay.columns) {
    const int x = SAG(c);
    if (x > f.L && x < f.R) line(x, f.T + 1, x, f.B - 1);
  }
  for (double r : lay.rows) {
    const int y = YKR(r);
    if (y > f.T && y < f.B) line(f.L + 1, y, f.R - 1, y);
  }
  setcolor(black());
  line(f.L, f.T, f.R, f.T);
  line(f.L, f.B, f.R, f.B);
  line(f.L, f.T, f.L, f.B);
  line(f.R, f.T, f.R, f.B);

  // Labels that would run into the one before are left out; all stay on the page.
  const int th = textheight("0");
  std::optional<PixelBox> last;
  for (double c : lay.columns) {
    const int x = SAG(c);
    if (x < f.L || x > f.R) continue;
    const std::string s = format_step_value(c, lay.step);
    const int w = text_width(s);
    const int left = std::clamp(x - w / 2, 0, kPage - w);
    const PixelBox b{left, f.B + 4, left + w - 1, f.B + 3 + th};
    if (last && b.left <= last->right + 4) continue;
    line(x, f.B, x, f.B + 3);
    text_at(b.left, b.top, s, black());
    last = b;
  }
  last.reset();
  for (double r : lay.rows) {
    const int y = YKR(r);
    if (y < f.T || y > f.B) continue;
    const std::string s = format_step_value(r, lay.step);
    const int w = text_width(s);
    const int top = std::clamp(y - th / 2, 0, kPage - th);
    const PixelBox b{std::max(0, f.L - 6 - w), top, f.L - 6, top + th - 1};
    if (last && b.bottom >= last->top - 2) continue;  // rows go upward
    line(f.L - 3, y, f.L, y);
    text_at(b.left, b.top, s, black());
    last = b;
  }
}

void triangle(int x, int y, int color, bool hollow) {
  if (!hollow) {
    Ucgen(x, y, kSymbol, color);
    return;
  }
  // The outline of Ucgen's triangle.
  const int hh = static_cast<int>(kSymbol * 1.7320508075688772 / 4);
  const int q = kSymbol / 2;
  setlinestyle(0, 0, 1);
  setcolor(color);
  line(x, y - hh, x + q, y + hh);
  line(x + q, y + hh, x - q, y + hh);
  line(x - q, y + hh, x, y - hh);
}

// A line of two pixels with a filled head at (x1, y1).
void arrow(int x0, int y0, int x1, int y1, int color) {
  const double dx = x1 - x0, dy = y1 - y0;
  const double len = std::hypot(dx, dy);
  setcolor(color);
  setlinestyle(0, 0, 2);
  line(x0, y0, x1, y1);
  setlinestyle(0, 0, 1);
  if (len < 6.0) return;
  const double ux = dx / len, uy = dy / len;
  const double head = std::min(9.0, len / 2.0), wing = head * 0.4;
  const double bx = x1 - ux * head, by = y1 - uy * head;
  const int pts[6] = {x1,
                      y1,
                      static_cast<int>(std::lround(bx - uy * wing)),
                      static_cast<int>(std::lround(by + ux * wing)),
                      static_cast<int>(std::lround(bx + uy * wing)),
                      static_cast<int>(std::lround(by - ux * wing))};
  setfillstyle(1, color);
  fillpoly(3, pts);
}

void north_arrow(int x, int top) {
  const int tip = top + 18;
  text_at(x - text_width("N") / 2, top, "N", black());
  const int pts[6] = {x, tip, x + 6, tip + 14, x - 6, tip + 14};
  setcolor(black());
  setfillstyle(1, black());
  fillpoly(3, pts);
  setlinestyle(0, 0, 2);
  line(x, tip + 14, x, tip + 40);
  setlinestyle(0, 0, 1);
}

// A point's pixel position and what is drawn there.
struct Mark {
  int x, y;
  std::string name;
  int color;
  bool hollow;
  bool has_vector;
  int tip_x, tip_y;
  double east, north;  // residual direction, for the side of the name
};

std::string fixed(double v, int decimals) {
  if (!std::isfinite(v)) return "-";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

// The layout of the page for the world extent of everything shown (points with
// coordinates that are not finite are left off the picture).
Layout layout_for(const ResidualPlotData& data) {
  std::vector<double> V{0.0}, H{0.0};
  auto take = [&](double X, double Y) {
    if (!finite(X, Y)) return;
    V.push_back(X);
    H.push_back(Y);
  };
  for (const ResidualPoint& p : data.points) take(p.X, p.Y);
  for (const LeftOutPoint& p : data.left_out) take(p.X, p.Y);
  const Extremes e = extremes(static_cast<int>(V.size()) - 1, V.data(), H.data());
  return fit_layout(e);
}

// The length in metres of the longest residual vector of a point that is drawn.
double longest_residual(const ResidualPlotData& data) {
  double longest = 0.0;
  for (const ResidualPoint& p : data.points)
    if (finite(p.X, p.Y) && finite(p.vx, p.vy)) longest = std::max(longest, std::hypot(p.vx, p.vy));
  return longest;
}

// How the residual vectors are drawn: whether the page maps the world (Olck set), the
// longest vector in metres and the factor that vectors are drawn at.
struct VectorScale {
  bool mapped;
  double longest;
  double factor;
};

// Marks in the order their names are placed: flagged points first, then the other
// common points, then the points left out.
std::vector<Mark> marks_of(const ResidualPlotData& data, const VectorScale& vs) {
  std::vector<Mark> marks;
  auto add_common = [&](bool flagged) {
    for (const ResidualPoint& p : data.points) {
      if (p.flagged != flagged || !finite(p.X, p.Y)) continue;
      Mark m{SAG(p.Y), YKR(p.X), p.name, flagged ? red() : blue(), false, false, 0, 0, 0, 0};
      if (vs.mapped && finite(p.vx, p.vy) && vs.longest > 0.0) {
        m.tip_x = SAG(p.Y + p.vy * vs.factor);
        m.tip_y = YKR(p.X + p.vx * vs.factor);
        m.has_vector = m.tip_x != m.x || m.tip_y != m.y;
        m.east = p.vy;
        m.north = p.vx;
      }
      marks.push_back(m);
    }
  };
  add_common(true);
  add_common(false);
  for (const LeftOutPoint& p : data.left_out)
    if (finite(p.X, p.Y))
      marks.push_back({SAG(p.Y), YKR(p.X), p.name, grey(), true, false, 0, 0, 0, 0});
  return marks;
}

// Draws the marks inside frame `f`: names first (their boxes are opaque, and the
// vectors and symbols go on top), then the vectors, then the symbols. Returns how many
// names found no place.
int draw_marks(const std::vector<Mark>& marks, const Frame& f) {
  LabelPlacer labels({f.L + 2, f.T + 2, f.R - 2, f.B - 2});
  const int half = kSymbol / 2 + 1;
  for (const Mark& m : marks) labels.block({m.x - half, m.y - half, m.x + half, m.y + half});
  const int th = textheight("0");
  for (const Mark& m : marks) {
    if (m.name.empty()) continue;
    const auto b = labels.place(m.x, m.y, text_width(m.name), th, kNameGap, m.east, m.north);
    if (b) text_at(b->left, b->top, m.name, m.color);
  }
  // Blue before red, so that flagged vectors stay visible where they cross.
  for (int pass = 0; pass < 2; ++pass)
    for (const Mark& m : marks)
      if (m.has_vector && (m.color == red()) == (pass == 1))
        arrow(m.x, m.y, m.tip_x, m.tip_y, m.color);
  for (auto it = marks.rbegin(); it != marks.rend(); ++it)
    triangle(it->x, it->y, it->color, it->hollow);
  return labels.left_out();
}

// The scale bar (or a note that there are no vectors) and the symbol key on the row
// whose text tops are at `row`, from x = `left` on.
void draw_scale_and_key(int left, int row, const VectorScale& vs) {
  const int th = textheight("0");
  int x = left;
  const double bar = round_down_125(vs.longest);
  const int bar_px = vs.mapped ? to_int(bar * vs.factor * Olck) : 0;
  if (bar > 0.0 && bar_px >= 2) {
    const int y = row + th / 2;
    setcolor(black());
    setlinestyle(0, 0, 2);
    line(x, y, x + bar_px, y);
    setlinestyle(0, 0, 1);
    line(x, y - 4, x, y + 4);
    line(x + bar_px, y - 4, x + bar_px, y + 4);
    x += bar_px + 8;
    const std::string mm = format_step_value(bar * 1000.0, bar * 1000.0) + " mm";
    text_at(x, row, mm, black());
    x += text_width(mm) + 16;
    const std::string times = "vectors x " + format_step_value(vs.factor, vs.factor);
    text_at(x, row, times, black());
    x += text_width(times) + 24;
  } else {
    const std::string none = "no residual vectors";
    text_at(x, row, none, black());
    x += text_width(none) + 24;
  }
  const struct {
    int color;
    bool hollow;
    const char* text;
  } key[] = {{red(), false, "flagged"}, {blue(), false, "common"}, {grey(), true, "left out"}};
  for (const auto& k : key) {
    triangle(x + kSymbol / 2, row + th / 2, k.color, k.hollow);
    x += kSymbol + 4;
    text_at(x, row, k.text, black());
    x += text_width(k.text) + 16;
  }
}

// The legend line: n, mo, k, the flagged points and the names left out.
std::string legend_text(const ResidualPlotData& data, int labels_omitted) {
  const auto flagged = std::count_if(data.points.begin(), data.points.end(),
                                     [](const ResidualPoint& p) { return p.flagged; });
  const double mo_mm = data.mo * 1000.0;
  return "n = " + std::to_string(data.n) +
         "   mo = " + fixed(mo_mm, std::fabs(mo_mm) < 1.0 ? 2 : 1) +
         " mm   k = " + fixed(data.k, 7) + "   flagged: " + std::to_string(flagged) +
         "   labels omitted: " + std::to_string(labels_omitted);
}

void draw_picture(const ResidualPlotData& data) {
  setbkcolor(COLOR(255, 255, 255));
  cleardevice();
  settextstyle(kFont, 0, kFontSize);

  const Layout lay = layout_for(data);
  const Frame& f = lay.f;
  const int side = f.R - f.L;
  draw_grid_and_axes(lay);

  VectorScale vs{std::isfinite(Olck) && Olck > 0.0, longest_residual(data), 1.0};
  if (vs.mapped) vs.factor = vector_factor(vs.longest, Olck, side / 8.0);

  const int labels_omitted = draw_marks(marks_of(data, vs), f);
  north_arrow(kPage - kRightMargin / 2, kTop);
  // Scale bar and symbol key on one row, the legend line below it.
  draw_scale_and_key(f.L, kPage - 44, vs);
  text_at(f.L, kPage - 20, legend_text(data, labels_omitted), black());
}

// Writes the page of `window` (its first 800 by 800 pixels) to `path`, complete or not
// at all (see textio::OutputFile).
bool write_page(int window, const std::string& path) {
  textio::OutputFile file;
  if (path.empty() || !file.open(path)) return false;
  if (!canvas::write_page(file.stream(), canvas::is_png_name(path), window, kPage - 1, kPage - 1)) {
    file.abandon();
    return false;
  }
  return file.commit();
}

std::mutex plot_mutex;
int plot_window = -1;  // the page of the residual plot, opened once and reused

}  // namespace

namespace {

// Draws the picture on the residual plot's own off-screen page and hands that page to
// `write`; the canvas is left as it was found: the current window, whether later
// windows show, and the mapping the run's plot draws through.
template <typename Write>
bool draw_and_write(const ResidualPlotData& data, Write write) {
  std::lock_guard<std::mutex> guard(plot_mutex);
  const int previous = getcurrentwindow();
  const bool was_off_screen = canvas::windows_off_screen();
  const int xe = Xekrn_M, ye = Yekrn_M;
  const double xa = Xarz_M, ya = Yarz_M, scale = Olck;

  canvas::open_windows_off_screen(true);
  if (plot_window < 0) {
    plot_window = initwindow(kPage, kPage, "Residuals", 0, 0, false, false);
  } else {
    setcurrentwindow(plot_window);
    graphdefaults();
  }
  bool ok = false;
  if (plot_window >= 0) {
    draw_picture(data);
    ok = write(plot_window);
  }

  if (previous >= 0) setcurrentwindow(previous);
  canvas::open_windows_off_screen(was_off_screen);
  Xekrn_M = xe;
  Yekrn_M = ye;
  Xarz_M = xa;
  Yarz_M = ya;
  Olck = scale;
  return ok;
}

}  // namespace

bool save_residual_plot(const ResidualPlotData& data, const std::string& path) {
  return draw_and_write(data, [&path](int window) { return write_page(window, path); });
}

bool write_residual_plot(const ResidualPlotData& data, std::ostream& out, const std::string& name) {
  return draw_and_write(data, [&](int window) {
    return canvas::write_page(out, canvas::is_png_name(name), window, kPage - 1, kPage - 1);
  });
}

}  // namespace helmert2d::grafik
