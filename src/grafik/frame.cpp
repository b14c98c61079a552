// The plot frame: window, frame lines, grid crosses, axis labels and point triangles,
// and the world-to-pixel mapping that every later drawing call of a plot uses.
#include <algorithm>
#include <climits>
#include <cmath>

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

int SAG(double h) { return helmert2d::grafik::to_int(Xekrn_M + round1((h - Xarz_M) * Olck)); }
int YKR(double v) { return helmert2d::grafik::to_int(Yekrn_M - round1((v - Yarz_M) * Olck)); }
int OLCK(double d) { return helmert2d::grafik::to_int(round1(Olck * d)); }

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

bool inside(const Frame& f, int px, int py) {
  return f.L <= px && px <= f.R && f.T <= py && py <= f.B;
}

struct Grid {
  int nx, ny;
  double H0, V0;
};

Grid grid_extent(const Frame& f, int step) {
  Grid g{};
  g.nx = to_int(round1((f.R - f.L) / (step * Olck))) + 2;
  g.ny = to_int(round1((f.B - f.T) / (step * Olck))) + 2;
  const double Hleft = Xarz_M + to_int(round1((f.L - Xekrn_M) / Olck));
  const double Vbottom = Yarz_M - to_int(round1((f.B - Yekrn_M) / Olck));
  g.H0 = step * std::trunc(Hleft / step);
  g.V0 = step * std::trunc(Vbottom / step);
  return g;
}

void draw_grid(const Frame& f, const Grid& g, int step) {
  setlinestyle(0, 0, 1);
  setcolor(COLOR(200, 200, 200));
  for (int i = 1; i <= g.nx; ++i) {
    const int px = SAG(g.H0 + (i - 1) * static_cast<double>(step));
    for (int j = 1; j <= g.ny; ++j) {
      const int py = YKR(g.V0 + (j - 1) * static_cast<double>(step));
      if (!inside(f, px, py)) continue;
      line(px + 5, py, px - 5, py);
      line(px, py + 5, px, py - 5);
    }
  }
}

void draw_axis_labels(const Frame& f, const Grid& g, int step, double Hmin, double Vmax) {
  setcolor(COLOR(0, 0, 0));
  settextstyle(2, 0, 5);
  const int k = SAG(round1(Hmin));
  for (int j = 1; j <= g.ny; ++j) {
    const double v = g.V0 + (j - 1) * static_cast<double>(step);
    const int py = YKR(v);
    if (k >= f.L && f.T <= py && py <= f.B) {
      line(f.R, py, f.R - 5, py);
      line(f.L, py, f.L + 5, py);
      SayiYaz(10, py - 5, to_int(v));
    }
  }
  settextstyle(2, 3, 5);
  const int r = YKR(std::trunc(Vmax));
  for (int i = 1; i <= g.nx; ++i) {
    const double h = g.H0 + (i - 1) * static_cast<double>(step);
    const int px = SAG(h);
    if (px >= f.L && r >= f.T && px <= f.R) {
      line(px, f.T, px, f.T + 5);
      line(px, f.B, px, f.B - 5);
      SayiYaz(px, f.B + 5, to_int(h));
    }
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

  const Grid g = grid_extent(f, step);
  draw_grid(f, g, step);
  draw_axis_labels(f, g, step, Hmin, Vmax);

  const int red = COLOR(255, 0, 0);
  setcolor(red);
  setlinestyle(0, 0, 1);
  settextstyle(0, 0, 1);
  for (int i = 1; i <= n; ++i) {
    setcolor(red);
    Ucgen(SAG(H[i]), YKR(V[i]), 3, red);
  }
}
