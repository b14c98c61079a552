// The named-point plot: a screen-high frame with names, circles and exaggerated
// displacement vectors of points, and a scale bar for the displacements.
#include <algorithm>
#include <cmath>

#include "grafik_internal.h"
#include "helmert2d/grafik.h"
#include "helmert2d/yzdr.h"

double HataKat = 1.3;
double HataOlck = 500000.0;
const char* hata = "3cm";
double hat_cm = HataKat * 0.03;

void SrLVktr1(int n, double* v) {
  for (int i = 1; i <= n - 1; ++i) {
    for (int j = i + 1; j <= n; ++j) {
      if (v[i] >= v[j]) std::swap(v[i], v[j]);
    }
  }
}

namespace {

using helmert2d::grafik::to_int;

constexpr int kStep = 50000;  // grid and label spacing (world units)

struct Frame {
  int L, R, T, B;
};

bool inside(const Frame& f, int px, int py) {
  return f.L <= px && px <= f.R && f.T <= py && py <= f.B;
}

struct Extremes {
  double Hmin, Hmax, Vmin, Vmax;
};

// With no point the plot is centred on the world origin.
Extremes extremes(int n, const double* V, const double* H) {
  Extremes e{0.0, 0.0, 0.0, 0.0};
  if (n < 1) return e;
  e = {H[1], H[1], V[1], V[1]};
  for (int i = 2; i <= n; ++i) {
    e.Hmin = std::min(e.Hmin, H[i]);
    e.Hmax = std::max(e.Hmax, H[i]);
    e.Vmin = std::min(e.Vmin, V[i]);
    e.Vmax = std::max(e.Vmax, V[i]);
  }
  return e;
}

struct Grid {
  int nx, ny;
  double H0, V0;
};

// Grid lines from the left and bottom frame edges, kStep apart. Their counts are
// capped at one per pixel: closer lines could not be told apart anyway, and absurd
// extents would otherwise loop for hours.
Grid grid_extent(const Frame& f) {
  Grid g{};
  g.nx = std::min(to_int(round1((f.R - f.L) / (kStep * Olck))), f.R - f.L) + 2;
  g.ny = std::min(to_int(round1((f.B - f.T) / (kStep * Olck))), f.B - f.T) + 2;
  const double Hleft = Xarz_M + to_int(round1((f.L - Xekrn_M) / Olck));
  const double Vbottom = Yarz_M - to_int(round1((f.B - Yekrn_M) / Olck));
  g.H0 = kStep * std::trunc(Hleft / kStep);
  g.V0 = kStep * std::trunc(Vbottom / kStep);
  return g;
}

double grid_h(const Grid& g, int i) {
  return g.H0 + (i - 1) * static_cast<double>(kStep);
}
double grid_v(const Grid& g, int j) {
  return g.V0 + (j - 1) * static_cast<double>(kStep);
}

void draw_names(int n, const std::string* names, const double* V, const double* H, int color) {
  settextstyle(8, 0, 1);
  settextjustify(1, 2);
  setcolor(color);
  for (int i = 1; i <= n; ++i) outtextxy(SAG(H[i]), YKR(V[i]), names[i]);
}

void draw_axis_labels(const Frame& f, const Grid& g, const Extremes& e) {
  setcolor(COLOR(0, 0, 0));
  settextstyle(8, 1, 1);
  settextjustify(0, 0);
  const int k = SAG(round1(e.Hmin));
  for (int j = 1; j <= g.ny; ++j) {
    const double v = grid_v(g, j);
    const int py = YKR(v);
    if (k >= f.L && f.T <= py && py <= f.B) {
      line(f.R, py, f.R - 5, py);
      line(f.L, py, f.L + 5, py);
      SayiYaz(20, py + 40, to_int(v));
    }
  }
  settextstyle(8, 0, 1);
  settextjustify(1, 2);
  const int r = YKR(std::trunc(e.Vmax));
  for (int i = 1; i <= g.nx; ++i) {
    const double h = grid_h(g, i);
    const int px = SAG(h);
    if (px >= f.L && r >= f.T && px <= f.R) {
      line(px, f.T, px, f.T + 5);
      line(px, f.B, px, f.B - 5);
      SayiYaz(px, f.B + 3, to_int(h));
    }
  }
}

void draw_grid(const Frame& f, const Grid& g) {
  setlinestyle(0, 0, 1);
  setcolor(COLOR(200, 200, 200));
  for (int i = 1; i <= g.nx; ++i) {
    const int px = SAG(grid_h(g, i));
    for (int j = 1; j <= g.ny; ++j) {
      const int py = YKR(grid_v(g, j));
      if (!inside(f, px, py)) continue;
      line(px + 5, py, px - 5, py);
      line(px, py + 5, px, py - 5);
    }
  }
}

void draw_displacements(int n, const double* V, const double* H, const double* dV,
                        const double* dH) {
  setlinestyle(0, 0, 2);
  const double k = HataOlck * HataKat;
  const int blue = COLOR(0, 0, 255), green = COLOR(0, 100, 0);
  for (int i = 1; i <= n; ++i) {
    const int px = SAG(H[i]), py = YKR(V[i]);
    const int ex = SAG(H[i] + dH[i] * k), ey = YKR(V[i] + dV[i] * k);
    setcolor(blue);
    line(px, py, ex, ey);
    setcolor(green);
    line(px, py, px, ey);  // component along V
    setcolor(green);
    line(px, py, ex, py);  // component along H
  }
}

// The bar shows how long a displacement of hat_cm is drawn; it stands 655 pixels
// above the bottom frame edge.
void draw_scale_bar(const Frame& f) {
  setcolor(COLOR(0, 0, 255));
  const int x1 = f.L + 10;
  const int x2 = x1 + to_int(Olck * HataOlck * hat_cm);
  const int y = f.B - 655;
  outtextxy(x2 - 40, f.B - 672, hata);
  line(x1, y, x2, y);
  line(x1, f.B - 650, x1, f.B - 660);
  line(x2, f.B - 650, x2, f.B - 660);
}

}  // namespace

void Grfk(int n, const std::string* names, const double* V, const double* H, const double* dV,
          const double* dH, int color, double shrink) {
  const int half = getmaxwidth() / 2;
  const int W = half + 160;
  const int Ht = getmaxheight() - 40;
  initwindow(W, Ht, "GRAFIK", W - 320, 0, false, true);
  setbkcolor(COLOR(255, 255, 255));
  cleardevice();

  const Frame f{22, W - 10, 10, Ht - 20};
  setlinestyle(0, 0, 2);
  setcolor(COLOR(0, 0, 0));
  line(f.L, f.T, f.R, f.T);
  line(f.L, f.B, f.R, f.B);
  line(f.L, f.T, f.L, f.B);
  line(f.R, f.T, f.R, f.B);

  const Extremes e = extremes(n, V, H);
  helmert2d::grafik::set_mapping(f.L, f.R, f.T, f.B, e.Hmin, e.Hmax, e.Vmin, e.Vmax, shrink);
  const Grid g = grid_extent(f);

  draw_names(n, names, V, H, color);
  draw_axis_labels(f, g, e);
  draw_grid(f, g);
  draw_displacements(n, V, H, dV, dH);
  draw_scale_bar(f);

  setlinestyle(0, 0, 2);
  settextstyle(2, 0, 5);
  setcolor(color);
  for (int i = 1; i <= n; ++i) circle(SAG(H[i]), YKR(V[i]), 3);
}
