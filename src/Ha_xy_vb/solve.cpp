// Least-squares estimate of the plane similarity transformation through the centroids,
// its residuals and the run's tests.
#include <cmath>

#include "helmert2d/dnsm.h"
#include "run_result.h"

namespace helmert2d {

bool solve(const CommonPoints& cp, Solution& s) {
  const int n = cp.n;
  if (n < 2) return false;
  // Points at one place leave the parameters undefined. They are recognised by their
  // coordinates, since an inexact mean can leave S a tiny positive number.
  bool distinct = false;
  for (int i = 2; i <= n && !distinct; ++i) distinct = cp.x[i] != cp.x[1] || cp.y[i] != cp.y[1];
  if (!distinct) return false;
  double sx = 0, sy = 0, sX = 0, sY = 0;
  for (int i = 1; i <= n; ++i) {
    sx += cp.x[i];
    sy += cp.y[i];
    sX += cp.X[i];
    sY += cp.Y[i];
  }
  s.xm = sx / n;
  s.ym = sy / n;
  s.Xm = sX / n;
  s.Ym = sY / n;
  double sxx = 0, syy = 0, pxX = 0, pyY = 0, pxY = 0, pyX = 0;
  for (int i = 1; i <= n; ++i) {
    const double dx = cp.x[i] - s.xm, dy = cp.y[i] - s.ym;
    const double dX = cp.X[i] - s.Xm, dY = cp.Y[i] - s.Ym;
    sxx += dx * dx;
    syy += dy * dy;
    pxX += dx * dX;
    pyY += dy * dY;
    pxY += dx * dY;
    pyX += dy * dX;
  }
  s.S = sxx + syy;
  if (s.S == 0.0) return false;
  const double P = pxX + pyY;
  const double Q = pxY - pyX;
  s.a = P / s.S;
  s.o = Q / s.S;
  s.tx = s.Xm - s.a * s.xm + s.o * s.ym;
  s.ty = s.Ym - s.o * s.xm - s.a * s.ym;
  s.k = std::sqrt(s.a * s.a + s.o * s.o);
  s.A = arctan(s.a, s.o);
  return true;
}

namespace {

// Transforms the common points and forms the residuals v = X' - X and [vv].
void compute_residuals(const CommonPoints& cp, Solution& s) {
  const std::size_t size = static_cast<std::size_t>(cp.n) + 1;
  s.Xc.assign(size, 0.0);
  s.Yc.assign(size, 0.0);
  s.vx.assign(size, 0.0);
  s.vy.assign(size, 0.0);
  s.vv = 0.0;
  for (int i = 1; i <= cp.n; ++i) {
    const PlanePoint p = s.apply(cp.x[i], cp.y[i]);
    s.Xc[i] = p.X;
    s.Yc[i] = p.Y;
    s.vx[i] = s.Xc[i] - cp.X[i];
    s.vy[i] = s.Yc[i] - cp.Y[i];
    s.vv += s.vx[i] * s.vx[i] + s.vy[i] * s.vy[i];
  }
  s.f = 2 * (cp.n - 2);
  s.mo = s.f > 0 ? std::sqrt(s.vv / s.f) : 0.0;
}

}  // namespace

ScaleTestInput scale_test_input(const CommonPoints& cp, const Solution& s) {
  ScaleTestInput in;
  in.n = cp.n;
  in.k = s.k;
  in.a = s.a;
  in.o = s.o;
  in.S = s.S;
  in.mo = s.mo;
  in.f = s.f;
  in.alpha = kAlpha;
  return in;
}

OutlierTestInput outlier_test_input(const CommonPoints& cp, const Solution& s) {
  OutlierTestInput in;
  in.n = cp.n;
  in.name = &cp.name;
  in.x = &cp.x;
  in.y = &cp.y;
  in.vx = &s.vx;
  in.vy = &s.vy;
  in.xm = s.xm;
  in.ym = s.ym;
  in.S = s.S;
  in.vv = s.vv;
  in.f = s.f;
  in.mo = s.mo;
  in.alpha = kAlpha;
  return in;
}

bool compute_run(RunResult& r) {
  r.scale.reset();
  r.outliers.reset();
  if (!solve(r.points, r.solution)) return false;
  compute_residuals(r.points, r.solution);
  if (r.points.n > 2) {
    r.scale = scale_tests(scale_test_input(r.points, r.solution));
    r.outliers = outlier_tests(outlier_test_input(r.points, r.solution));
  }
  return true;
}

}  // namespace helmert2d
