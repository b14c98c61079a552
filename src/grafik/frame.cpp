// The plot frame: window, frame lines, grid crosses, axis labels and point triangles,
// and the world-to-pixel mapping that every later drawing call of a plot uses.
#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "grafik_internal.h"
#include "helmert2d/grafik.h"
#include "helmert2d/yzdr.h"

int Xekrn_M = 0;
int Yekrn_M = 0;
double Xarz_M = 0.0;
double Yarz_M = 0.0;
double Olck = 0.0;

namespace helmert2d::grafik {

int to_int(double v) {
  if (std::isnan(v)) return 0;
  if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(v);
}

void set_mapping(int L, int R, int T, int B, double Hmin, double Hmax, double Vmin, double Vmax,
                 double shrink) {
  Xekrn_M = (L + R) / 2;
  Yekrn_M = (T + B) / 2;
  Xarz_M = (Hmax + Hmin) / 2.0;
  Yarz_M = (Vmax + Vmin) / 2.0;
  if (Hmax == Hmin && Vmax == Vmin) {
    Olck = 1.0;  // all points at one place: nothing to fit, one pixel per world unit
    return;
  }
  const double sx = (R - L) / (Hmax - Hmin);
  const double sy = (B - T) / (Vmax - Vmin);
  Olck = (sy >= sx) ? sx : sy;
  Olck = Olck / shrink;
}

}  // namespace helmert2d::grafik

int SAG(double h) {
  return helmert2d::grafik::to_int(Xekrn_M + round1((h - Xarz_M) * Olck));
}
int YKR(double v) {
  return helmert2d::grafik::to_int(Yekrn_M - round1((v - Yarz_M) * Olck));
}
int OLCK(double d) {
  return helmert2d::grafik::to_int(round1(Olck * d));
}

void SrLVktr(int n, double* v) {
  for (int i = 1; i <= n - 1; ++i) {
    for (int j = i + 1; j <= n; ++j) {
      if (v[j] >= v[i]) std::swap(v[i], v[j]);
    }
  }
}

namespace {

using helmert2d::grafik::to_int;

struct Frame {
  int L, R, T, B;
};

void draw_frame(const Frame& f) {
  setlinestyle(0, 0, 2);
  setcolor(COLOR(255, 0, 255));
  line(f.L, f.T, f.R, f.T);
  line(f.L, f.B, f.R, f.B);
  line(f.L, f.T, f.L, f.B);
  line(f.R, f.T, f.R, f.B);
}

// Whole count from a rounded double, kept within the int range.
int clamped_count(double v) {
  if (!(v > 0.0)) return 0;
  return v >= 2.0e9 ? 2000000000 : static_cast<int>(v);
}

// One grid line: its index and its pixel position.
struct GridLine {
  int index;
  int pixel;
};

// The grid lines 1..count, at world values start + (i - 1) * step, whose pixels
// (through `map`, monotonic, increasing when `rising`) lie within lo..hi. The work is
// bounded by the frame, not by the spread of the points: with lines closer than a
// pixel only the last line of each pixel is kept, which draws the same crosses.
std::vector<GridLine> visible_lines(int count, double start, int step, int (*map)(double),
                                    bool rising, int lo, int hi) {
  auto value = [&](long long i) { return start + static_cast<double>(i - 1) * step; };
  auto key = [&](long long i) {
    const long long px = map(value(i));
    return rising ? px : -px;
  };
  // First and last index whose key reaches the span (binary search on the monotonic key).
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
  if (end - first <= 4 * (hi - lo + 1)) {
    for (long long i = first; i < end; ++i) out.push_back({static_cast<int>(i), map(value(i))});
    return out;
  }
  for (long long k = klo; k <= khi; ++k) {
    const long long last = first_at_least(k + 1) - 1;
    if (last >= first && key(last) == k) out.push_back({static_cast<int>(last), map(value(last))});
  }
  return out;
}

struct Grid {
  double H0, V0;
  std::vector<GridLine> columns, rows;
};

Grid grid_extent(const Frame& f, int step) {
  Grid g{};
  const int nx = clamped_count(round1((f.R - f.L) / (step * Olck)) + 2);
  const int ny = clamped_count(round1((f.B - f.T) / (step * Olck)) + 2);
  const double Hleft = Xarz_M + to_int(round1((f.L - Xekrn_M) / Olck));
  const double Vbottom = Yarz_M - to_int(round1((f.B - Yekrn_M) / Olck));
  g.H0 = step * std::trunc(Hleft / step);
  g.V0 = step * std::trunc(Vbottom / step);
  g.columns = visible_lines(nx, g.H0, step, SAG, true, f.L, f.R);
  g.rows = visible_lines(ny, g.V0, step, YKR, false, f.T, f.B);
  return g;
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

void draw_axis_labels(const Frame& f, const Grid& g, int step, double Hmin, double Vmax) {
  setcolor(COLOR(0, 0, 0));
  settextstyle(2, 0, 5);
  const int k = SAG(round1(Hmin));
  for (const GridLine& r : g.rows) {
    if (k < f.L) break;
    const double v = g.V0 + (r.index - 1) * static_cast<double>(step);
    line(f.R, r.pixel, f.R - 5, r.pixel);
    line(f.L, r.pixel, f.L + 5, r.pixel);
    SayiYaz(10, r.pixel - 5, to_int(v));
  }
  settextstyle(2, 3, 5);
  const int top = YKR(std::trunc(Vmax));
  for (const GridLine& c : g.columns) {
    if (top < f.T) break;
    const double h = g.H0 + (c.index - 1) * static_cast<double>(step);
    line(c.pixel, f.T, c.pixel, f.T + 5);
    line(c.pixel, f.B, c.pixel, f.B - 5);
    SayiYaz(c.pixel, f.B + 5, to_int(h));
  }
}

}  // namespace

void Grfk(int n, const double* V, const double* H, int width, int height, int left, int top,
          int step, double shrink) {
  initwindow(width, height, "GRAFIK", left, top, false, true);
  setbkcolor(COLOR(255, 255, 255));
  cleardevice();

  const Frame f{50, width - 20, 20, height - 20};
  draw_frame(f);

  // Extremes in one pass; with no point the plot is centred on the world origin.
  double Hmin = n > 0 ? H[1] : 0.0, Hmax = Hmin;
  double Vmin = n > 0 ? V[1] : 0.0, Vmax = Vmin;
  for (int i = 2; i <= n; ++i) {
    Hmin = std::min(Hmin, H[i]);
    Hmax = std::max(Hmax, H[i]);
    Vmin = std::min(Vmin, V[i]);
    Vmax = std::max(Vmax, V[i]);
  }
  helmert2d::grafik::set_mapping(f.L, f.R, f.T, f.B, Hmin, Hmax, Vmin, Vmax, shrink);

  if (std::isfinite(Olck) && Olck > 0.0 && step > 0) {
    const Grid g = grid_extent(f, step);
    draw_grid(g);
    draw_axis_labels(f, g, step, Hmin, Vmax);
  }

  const int red = COLOR(255, 0, 0);
  setcolor(red);
  setlinestyle(0, 0, 1);
  settextstyle(0, 0, 1);
  for (int i = 1; i <= n; ++i) {
    setcolor(red);
    Ucgen(SAG(H[i]), YKR(V[i]), 3, red);
  }
}
