// The plot frame: window, frame lines, grid crosses and axis labels shared by both
// plots, and the run's plot frame with its point triangles.
#include "frame.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "helmert2d/grafik.h"
#include "helmert2d/yzdr.h"

void SrLVktr(int n, double* v) {
  for (int i = 1; i <= n - 1; ++i) {
    for (int j = i + 1; j <= n; ++j) {
      if (v[j] >= v[i]) std::swap(v[i], v[j]);
    }
  }
}

namespace helmert2d::grafik {

void open_plot_window(int width, int height, int left, int top) {
  initwindow(width, height, "GRAFIK", left, top, false, true);
  setbkcolor(COLOR(255, 255, 255));
  cleardevice();
}

void draw_frame(const Frame& f, int color) {
  setlinestyle(0, 0, 2);
  setcolor(color);
  line(f.L, f.T, f.R, f.T);
  line(f.L, f.B, f.R, f.B);
  line(f.L, f.T, f.L, f.B);
  line(f.R, f.T, f.R, f.B);
}

namespace {

// The grid lines 1..count, at world values start + (i - 1) * step, whose pixels
// (through `map`, monotonic, increasing when `rising`) lie within lo..hi. Found by
// binary search, so only lines inside the span are visited; with more than four lines
// per pixel only the last line of each pixel is kept, which draws the same crosses.
std::vector<GridLine> visible_lines(int count, double start, int step, int (*map)(double),
                                    bool rising, int lo, int hi) {
  auto value = [&](long long i) { return start + static_cast<double>(i - 1) * step; };
  auto key = [&](long long i) {
    const long long px = map(value(i));
    return rising ? px : -px;
  };
  // First index whose key reaches k.
  auto first_at_least = [&](long long k) {
    long long a = 1, b = static_cast<long long>(count) + 1;
    while (a < b) {
      const long long m = a + (b - a) / 2;
      if (key(m) >= k)
        b = m;
      else
        a = m + 1;
    }
    return a;
  };
  const long long klo = rising ? lo : -static_cast<long long>(hi);
  const long long khi = rising ? hi : -static_cast<long long>(lo);
  const long long first = first_at_least(klo);
  const long long end = first_at_least(khi + 1);  // one past the last inside
  std::vector<GridLine> out;
  auto keep = [&](long long i) { out.push_back({static_cast<int>(i), value(i), map(value(i))}); };
  if (end - first <= 4 * (hi - lo + 1)) {
    for (long long i = first; i < end; ++i) keep(i);
    return out;
  }
  for (long long k = klo; k <= khi; ++k) {
    const long long last = first_at_least(k + 1) - 1;
    if (last >= first && key(last) == k) keep(last);
  }
  return out;
}

// Most steps counted over the whole frame: the count of lines stays within the int range.
constexpr int kMostSteps = 2000000000 - 2;

// Number of grid lines over `extent` pixels: the rounded count of steps plus two, with
// the count of steps at most `cap`.
int line_count(int extent, int step, int cap) {
  return std::min(to_int(round1(extent / (step * Olck))), cap) + 2;
}

void set_text(const LabelText& t) {
  settextstyle(t.font, t.direction, t.size);
  if (t.hjust >= 0) settextjustify(t.hjust, t.vjust);
}

}  // namespace

Grid grid_lines(const Frame& f, int step, GridCount count) {
  const bool per_pixel = count == GridCount::kOnePerPixel;
  const int nx = line_count(f.R - f.L, step, per_pixel ? f.R - f.L : kMostSteps);
  const int ny = line_count(f.B - f.T, step, per_pixel ? f.B - f.T : kMostSteps);
  const double Hleft = Xarz_M + to_int(round1((f.L - Xekrn_M) / Olck));
  const double Vbottom = Yarz_M - to_int(round1((f.B - Yekrn_M) / Olck));
  const double H0 = step * std::trunc(Hleft / step);
  const double V0 = step * std::trunc(Vbottom / step);
  // Columns grow to the right and rows upward with a positive scale, the other way
  // with a negative one.
  const bool positive = !(Olck < 0.0);
  return {visible_lines(nx, H0, step, SAG, positive, f.L, f.R),
          visible_lines(ny, V0, step, YKR, !positive, f.T, f.B)};
}

void draw_grid(const Grid& g) {
  setlinestyle(0, 0, 1);
  setcolor(COLOR(200, 200, 200));
  for (const GridLine& c : g.columns) {
    for (const GridLine& r : g.rows) {
      line(c.pixel + 5, r.pixel, c.pixel - 5, r.pixel);
      line(c.pixel, r.pixel + 5, c.pixel, r.pixel - 5);
    }
  }
}

void draw_axis_labels(const Frame& f, const Grid& g, const Extremes& e, const AxisLabels& style) {
  setcolor(COLOR(0, 0, 0));
  set_text(style.rows);
  if (SAG(round1(e.Hmin)) >= f.L) {
    for (const GridLine& r : g.rows) {
      line(f.R, r.pixel, f.R - 5, r.pixel);
      line(f.L, r.pixel, f.L + 5, r.pixel);
      SayiYaz(style.row_x, r.pixel + style.row_dy, to_int(r.value));
    }
  }
  set_text(style.columns);
  if (YKR(std::trunc(e.Vmax)) >= f.T) {
    for (const GridLine& c : g.columns) {
      line(c.pixel, f.T, c.pixel, f.T + 5);
      line(c.pixel, f.B, c.pixel, f.B - 5);
      SayiYaz(c.pixel, f.B + style.column_dy, to_int(c.value));
    }
  }
}

void draw_point_frame(int n, const double* V, const double* H, int width, int height, int left,
                      int top, int step, double shrink) {
  open_plot_window(width, height, left, top);
  const Frame f{50, width - 20, 20, height - 20};
  draw_frame(f, COLOR(255, 0, 255));
  const Extremes e = extremes(n, V, H);
  set_mapping(f, e, shrink);

  // Without a usable scale or step there is no grid to draw.
  if (std::isfinite(Olck) && Olck > 0.0 && step > 0) {
    // No justification is set: the row labels are the window's first text, anchored
    // left and top by default, and the column labels keep that anchoring in direction 3
    // and read downward.
    const AxisLabels labels{{2, 0, 5}, 10, -5, {2, 3, 5}, 5};
    const Grid grid = grid_lines(f, step, GridCount::kWholeFrame);
    draw_grid(grid);
    draw_axis_labels(f, grid, e, labels);
  }
  setcolor(COLOR(255, 0, 0));
  setlinestyle(0, 0, 1);
  settextstyle(0, 0, 1);
}

}  // namespace helmert2d::grafik

void Grfk(int n, const double* V, const double* H, int width, int height, int left, int top,
          int step, double shrink) {
  helmert2d::grafik::draw_point_frame(n, V, H, width, height, left, top, step, shrink);
  const int red = COLOR(255, 0, 0);
  for (int i = 1; i <= n; ++i) {
    setcolor(red);
    Ucgen(SAG(H[i]), YKR(V[i]), helmert2d::grafik::kFrameTriangle, red);
  }
}
