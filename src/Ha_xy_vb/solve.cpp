// Least-squares estimate of the plane similarity transformation through the centroids,
// its residuals and the run's tests.
#include <cmath>
#include <utility>
#include <vector>

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

// The mirrored fit, about the centroids of the solved similarity, with its residuals
// formed point by point (not as a difference of sums, which loses the small [vv] of a
// good fit).
MirroredFit mirrored_fit(const CommonPoints& cp, const Solution& s) {
  const auto weight = [&cp](int i) { return cp.weight.empty() ? 1.0 : cp.weight[i]; };
  double S = 0, pxX = 0, pyY = 0, pxY = 0, pyX = 0;
  for (int i = 1; i <= cp.n; ++i) {
    const double p = weight(i);
    const double dx = cp.x[i] - s.xm, dy = cp.y[i] - s.ym;
    const double dX = cp.X[i] - s.Xm, dY = cp.Y[i] - s.Ym;
    S += p * (dx * dx + dy * dy);
    pxX += p * dx * dX;
    pyY += p * dy * dY;
    pxY += p * dx * dY;
    pyX += p * dy * dX;
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
    m.vv += weight(i) * (vx * vx + vy * vy);
  }
  m.mo = std::sqrt(m.vv / (2 * (cp.n - 2)));
  return m;
}

// The warnings' conditions: a fit that is far better mirrored, a scale far from 1. The
// affine model fits a mirror image as well as any other: it is not compared.
Plausibility plausibility(const CommonPoints& cp, const Solution& s, Model model) {
  Plausibility p;
  p.scale_far = std::fabs(s.k - 1.0) > kUnitsScaleLimit;
  if (cp.n < 3 || model == Model::affine) return p;
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

namespace {

// The figures of the model's estimate that the run's writers share, into `s`; the
// fit's per-point lists are moved there.
void take_solution(ModelFit& fit, Solution& s) {
  s = Solution{};
  s.xm = fit.xm;
  s.ym = fit.ym;
  s.Xm = fit.Xm;
  s.Ym = fit.Ym;
  s.S = fit.S;
  s.tx = fit.tx;
  s.ty = fit.ty;
  s.vv = fit.vv;
  s.f = fit.f;
  s.mo = fit.s0;
  s.n = fit.n;
  switch (fit.model) {
    case Model::similarity:
      s.a = fit.par[0];
      s.o = fit.par[1];
      s.k = fit.k;
      s.A = fit.A;
      for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) s.Q[r][c] = fit.Q[r][c];
      s.sd_a = fit.sd[0];
      s.sd_o = fit.sd[1];
      s.sd_tx = fit.sd[2];
      s.sd_ty = fit.sd[3];
      s.sd_k = fit.sd_k;
      s.sd_A = fit.sd_A;
      break;
    case Model::rigid:
      s.a = fit.l11;
      s.o = fit.l21;
      s.k = 1.0;
      s.A = fit.A;
      s.sd_tx = fit.sd[1];
      s.sd_ty = fit.sd[2];
      s.sd_A = fit.sd_A;
      break;
    case Model::affine:
      s.k = std::sqrt(std::fabs(fit.l11 * fit.l22 - fit.l12 * fit.l21));
      s.sd_tx = fit.sd[2];
      s.sd_ty = fit.sd[5];
      break;
  }
  s.Xc = std::move(fit.Xc);
  s.Yc = std::move(fit.Yc);
  s.vx = std::move(fit.vx);
  s.vy = std::move(fit.vy);
}

// The outlier tests of a solved run from the quality figures of its model.
OutlierTestResult outlier_tests_of(const RunResult& r, const std::vector<ResidualCofactors>* q,
                                   const TestSettings& settings) {
  OutlierTestInput in = outlier_test_input(r.points, r.solution);
  in.exact_quantiles = settings.exact_quantiles;
  in.cofactors = q;
  in.pair_critical = pair_critical(kAlpha, r.points.n, r.fit.f);
  return outlier_tests(in);
}

}  // namespace

Solved compute_run(RunResult& r, const TestSettings& settings, Model model) {
  r.scale.reset();
  r.outliers.reset();
  r.global.reset();
  r.quality = FitQuality{};
  r.plausibility = {};
  const CommonPoints& cp = r.points;
  switch (fit_model(model, cp, cp.weight, r.fit)) {
    case FitStatus::ok:
      break;
    case FitStatus::too_few:
    case FitStatus::singular:
      return Solved::too_few;
    case FitStatus::overflow:
      return Solved::overflow;
  }
  const bool weighted = !cp.weight.empty();
  // The tests need two degrees of freedom: one is set aside with the tested component.
  const bool tests = r.fit.f > 1;
  // The similarity without weights has its residual cofactors in closed form; the
  // general figures are formed only for another model, weights, or when asked for.
  const bool general = model != Model::similarity || weighted;
  std::vector<ResidualCofactors> cofactors;
  if (tests && (general || settings.quality)) {
    // The MDB's sigma: sigma0 = 1 when the weights come from a-priori sigmas, else mo.
    r.quality = fit_quality(r.fit, cp, cp.weight, weighted ? 1.0 : r.fit.s0);
    cofactors.resize(r.quality.points.size());
    for (std::size_t i = 1; i < cofactors.size(); ++i) {
      const PointQuality& q = r.quality.points[i];
      cofactors[i] = {q.qx, q.qy, q.rx, q.ry, q.checked, q.T};
    }
  }
  if (weighted && r.fit.f > 0) r.global = global_test(r.fit);
  take_solution(r.fit, r.solution);
  if (tests) {
    if (model == Model::similarity) {
      ScaleTestInput scale = scale_test_input(cp, r.solution);
      scale.exact_quantiles = settings.exact_quantiles;
      r.scale = scale_tests(scale);
    }
    r.outliers = outlier_tests_of(r, general ? &cofactors : nullptr, settings);
    cofactors = {};
  }
  r.plausibility = plausibility(cp, r.solution, model);
  return Solved::yes;
}

}  // namespace helmert2d
