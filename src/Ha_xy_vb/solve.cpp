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

// Qxx of (a, o, tx, ty). The normal matrix of the equations X = a x - o y + tx,
// Y = o x + a y + ty splits about the centroid: a and o are uncorrelated with variance
// factor 1/S, the centroid values with 1/n, so with tx = Xm - a xm + o ym and
// ty = Ym - o xm - a ym the inverse follows by propagation. Forming it about the
// centroid keeps the precision that N built from large coordinates would lose.
void cofactors(Solution& s) {
  const double iS = 1.0 / s.S;
  const double xm = s.xm, ym = s.ym;
  double(&Q)[4][4] = s.Q;
  Q[0][0] = Q[1][1] = iS;
  Q[0][1] = Q[1][0] = 0.0;
  Q[2][2] = Q[3][3] = 1.0 / s.n + (xm * xm + ym * ym) * iS;
  Q[2][3] = Q[3][2] = 0.0;
  Q[0][2] = Q[2][0] = -xm * iS;
  Q[0][3] = Q[3][0] = -ym * iS;
  Q[1][2] = Q[2][1] = ym * iS;
  Q[1][3] = Q[3][1] = -xm * iS;
}

// Standard deviations of the parameters; k = sqrt(a2 + o2) and A = atan2(o, a) by
// linear propagation of the a-o block (with its covariance).
void standard_deviations(Solution& s) {
  const double m = s.mo;
  s.sd_a = m * std::sqrt(s.Q[0][0]);
  s.sd_o = m * std::sqrt(s.Q[1][1]);
  s.sd_tx = m * std::sqrt(s.Q[2][2]);
  s.sd_ty = m * std::sqrt(s.Q[3][3]);
  const double k2 = s.a * s.a + s.o * s.o;
  // dk/da = a/k, dk/do = o/k; dA/da = -o/k2, dA/do = a/k2.
  const double qkk =
      (s.a * s.a * s.Q[0][0] + 2.0 * s.a * s.o * s.Q[0][1] + s.o * s.o * s.Q[1][1]) / k2;
  const double qAA =
      (s.o * s.o * s.Q[0][0] - 2.0 * s.a * s.o * s.Q[0][1] + s.a * s.a * s.Q[1][1]) / (k2 * k2);
  s.sd_k = m * std::sqrt(qkk);
  s.sd_A = m * std::sqrt(qAA);
}

// The mirrored fit, about the centroids of the solved similarity, with its residuals
// formed point by point (not as a difference of sums, which loses the small [vv] of a
// good fit).
MirroredFit mirrored_fit(const CommonPoints& cp, const Solution& s) {
  double S = 0, pxX = 0, pyY = 0, pxY = 0, pyX = 0;
  for (int i = 1; i <= cp.n; ++i) {
    const double dx = cp.x[i] - s.xm, dy = cp.y[i] - s.ym;
    const double dX = cp.X[i] - s.Xm, dY = cp.Y[i] - s.Ym;
    S += dx * dx + dy * dy;
    pxX += dx * dX;
    pyY += dy * dY;
    pxY += dx * dY;
    pyX += dy * dX;
  }
  MirroredFit m;
  m.a = (pxX - pyY) / S;
  m.o = (pyX + pxY) / S;
  m.tx = s.Xm - m.a * s.xm - m.o * s.ym;
  m.ty = s.Ym - m.o * s.xm + m.a * s.ym;
  for (int i = 1; i <= cp.n; ++i) {
    const double dx = cp.x[i] - s.xm, dy = cp.y[i] - s.ym;
    const double vx = m.a * dx + m.o * dy - (cp.X[i] - s.Xm);
    const double vy = m.o * dx - m.a * dy - (cp.Y[i] - s.Ym);
    m.vv += vx * vx + vy * vy;
  }
  m.mo = std::sqrt(m.vv / (2 * (cp.n - 2)));
  return m;
}

// The warnings' conditions: a fit that is far better mirrored, a scale far from 1.
Plausibility plausibility(const CommonPoints& cp, const Solution& s) {
  Plausibility p;
  p.scale_far = std::fabs(s.k - 1.0) > kUnitsScaleLimit;
  if (cp.n < 3) return p;
  p.mirrored = mirrored_fit(cp, s);
  // Points on a line fit both ways alike, up to rounding: the similarity's residuals must
  // be more than rounding of the second file's spread before the two are compared.
  double spread = 0;
  for (int i = 1; i <= cp.n; ++i) {
    const double dX = cp.X[i] - s.Xm, dY = cp.Y[i] - s.Ym;
    spread += dX * dX + dY * dY;
  }
  p.mirrored_better = s.vv > 1e-12 * spread && s.mo >= kMirroredRatio * p.mirrored->mo;
  return p;
}

}  // namespace

double Solution::sd_transformed(double x, double y) const {
  const double dx = x - xm, dy = y - ym;
  return mo * std::sqrt(1.0 / n + (dx * dx + dy * dy) / S);
}

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

Solved compute_run(RunResult& r, const TestSettings& settings) {
  r.scale.reset();
  r.outliers.reset();
  r.plausibility = {};
  if (!solve(r.points, r.solution)) return Solved::too_few;
  compute_residuals(r.points, r.solution);
  const Solution& s = r.solution;
  // Coordinates near 1e154 square to infinity: no finite estimate exists.
  for (const double v : {s.S, s.a, s.o, s.tx, s.ty, s.vv}) {
    if (!std::isfinite(v)) return Solved::overflow;
  }
  r.solution.n = r.points.n;
  cofactors(r.solution);
  standard_deviations(r.solution);
  if (r.points.n > 2) {
    ScaleTestInput scale = scale_test_input(r.points, r.solution);
    scale.exact_quantiles = settings.exact_quantiles;
    r.scale = scale_tests(scale);
    OutlierTestInput outlier = outlier_test_input(r.points, r.solution);
    outlier.exact_quantiles = settings.exact_quantiles;
    r.outliers = outlier_tests(outlier);
  }
  r.plausibility = plausibility(r.points, r.solution);
  return Solved::yes;
}

}  // namespace helmert2d
