// The named-point plot: a screen-high frame with names, circles and exaggerated
// displacement vectors of points, and a scale bar for the displacements.
#include <cmath>
#include <string>
#include <utility>

#include "frame.h"
#include "helmert2d/grafik.h"

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

void draw_names(int n, const std::string* names, const double* V, const double* H, int color) {
  settextstyle(8, 0, 1);
  settextjustify(1, 2);
  setcolor(color);
  for (int i = 1; i <= n; ++i) outtextxy(SAG(H[i]), YKR(V[i]), names[i]);
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
// above the bottom frame edge. Its length is worked out in double: with points a
// fraction of a millimetre apart it runs to billions of pixels, and a bar whose end
// falls outside the picture is left out rather than drawn cut short.
void draw_scale_bar(const helmert2d::grafik::Frame& f) {
  const int x1 = f.L + 10;
  const double end = x1 + std::trunc(Olck * HataOlck * hat_cm);
  if (!(end >= 0.0 && end <= getmaxx())) return;
  const int x2 = static_cast<int>(end);
  setcolor(COLOR(0, 0, 255));
  const int y = f.B - 655;
  outtextxy(x2 - 40, f.B - 672, hata);
  line(x1, y, x2, y);
  line(x1, f.B - 650, x1, f.B - 660);
  line(x2, f.B - 650, x2, f.B - 660);
}

}  // namespace

void Grfk(int n, const std::string* names, const double* V, const double* H, const double* dV,
          const double* dH, int color, double shrink) {
  namespace g = helmert2d::grafik;
  const int half = getmaxwidth() / 2;
  const int W = half + 160;
  const int Ht = getmaxheight() - 40;
  g::open_plot_window(W, Ht, W - 320, 0);
  const g::Frame f{22, W - 10, 10, Ht - 20};
  g::draw_frame(f, COLOR(0, 0, 0));
  const g::Extremes e = g::extremes(n, V, H);
  g::set_mapping(f, e, shrink);
  // Grid and labels every 50000 world units.
  const g::Grid grid = g::grid_lines(f, 50000, g::GridCount::kOnePerPixel);
  const g::AxisLabels labels{{8, 1, 1, 0, 0}, 20, 40, {8, 0, 1, 1, 2}, 3};

  draw_names(n, names, V, H, color);
  g::draw_axis_labels(f, grid, e, labels);
  g::draw_grid(grid);  // over the names and labels
  draw_displacements(n, V, H, dV, dH);
  draw_scale_bar(f);

  setlinestyle(0, 0, 2);
  settextstyle(2, 0, 5);
  setcolor(color);
  for (int i = 1; i <= n; ++i) circle(SAG(H[i]), YKR(V[i]), 3);
}
