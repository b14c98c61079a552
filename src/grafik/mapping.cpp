// The world-to-pixel mapping that every drawing call of a plot uses, set by the plot
// frames.
#include "mapping.h"

#include <algorithm>
#include <climits>
#include <cmath>

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

void set_mapping(const Frame& f, const Extremes& e, double shrink) {
  Xekrn_M = (f.L + f.R) / 2;
  Yekrn_M = (f.T + f.B) / 2;
  Xarz_M = (e.Hmax + e.Hmin) / 2.0;
  Yarz_M = (e.Vmax + e.Vmin) / 2.0;
  if (e.Hmax == e.Hmin && e.Vmax == e.Vmin) {
    Olck = 1.0;  // all points at one place: nothing to fit, one pixel per world unit
    return;
  }
  const double sx = (f.R - f.L) / (e.Hmax - e.Hmin);
  const double sy = (f.B - f.T) / (e.Vmax - e.Vmin);
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
