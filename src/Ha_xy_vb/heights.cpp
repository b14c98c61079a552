// Weighted least-squares estimates of the height models through the weighted centroid
// of the height points, and every point's quality figures. About the centroid the
// normal matrix splits into [p] for the offset and the 2 x 2 matrix M of the reduced
// plane coordinates for the slopes, inverted in closed form, so every figure costs O(1)
// per point.
#include "heights.h"

#include <cmath>
#include <limits>
#include <numbers>

#include "helmert2d/dnsm.h"
#include "helmert2d/isttstk.h"
#include "models.h"

namespace helmert2d {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double weight_of(const std::vector<double>& w, int i) {
  return w.empty() ? 1.0 : w[static_cast<std::size_t>(i)];
}

// The inverse of M = [MNN MNE; MNE MEE] (zero for the shift, which has no slopes).
struct SlopeInverse {
  double nn = 0, ne = 0, ee = 0;
  // g M^-1 g^T at the reduced coordinates g = (dN, dE); 0 for the shift.
  double share(double dN, double dE) const {
    return nn == 0.0 ? 0.0 : nn * dN * dN + 2.0 * ne * dN * dE + ee * dE * dE;
  }
};

// The model's correction H_II - H_I at the reduced coordinates; the shift's ignores
// them.
double correction(const HeightFit& f, double dN, double dE) {
  return f.model == HeightModel::shift ? f.c : f.c + f.sN * dN + f.sE * dE;
}

SlopeInverse slope_inverse(const HeightFit& f) {
  if (f.model == HeightModel::shift) return {};
  const double det = f.MNN * f.MEE - f.MNE * f.MNE;
  return {f.MEE / det, -f.MNE / det, f.MNN / det};
}

// The tilt's size (ppm) and azimuth of steepest ascent (grads) with their standard
// deviations, by the gradients of hypot(sN, sE) and atan2(sE, sN).
void tilt(HeightFit& f) {
  const double s = std::hypot(f.sN, f.sE);
  constexpr double gon = 200.0 / std::numbers::pi;
  f.tilt_ppm = 1e6 * s;
  double az = arctan(f.sN, f.sE) * gon;
  if (az >= 400.0) az -= 400.0;  // a tiny negative angle rounded up to the full circle
  f.tilt_azimuth_gon = az;
  if (s == 0.0) {
    f.sd_tilt_ppm = f.sd_tilt_azimuth_gon = kNaN;
    return;
  }
  const auto sd = [&f](double gN, double gE) {
    return std::sqrt(gN * gN * f.C[1][1] + 2.0 * gN * gE * f.C[1][2] + gE * gE * f.C[2][2]);
  };
  f.sd_tilt_ppm = 1e6 * sd(f.sN / s, f.sE / s);
  f.sd_tilt_azimuth_gon = gon * sd(-f.sE / (s * s), f.sN / (s * s));
}

// Each point's transformed height, residual, cofactor, redundancy, test value and
// leave-one-out residual.
void point_figures(const HeightPoints& pts, HeightFit& f) {
  const SlopeInverse mi = slope_inverse(f);
  const int df = f.f - 1;  // of the test
  f.critical = df >= 1 ? t_exact(f.alpha / 2.0, df) : kNaN;
  f.points.assign(static_cast<std::size_t>(pts.n) + 1, HeightPointFit{});
  for (int i = 1; i <= pts.n; ++i) {
    HeightPointFit& pf = f.points[static_cast<std::size_t>(i)];
    const double dN = pts.N[i] - f.N0, dE = pts.E[i] - f.E0;
    const double share = 1.0 / f.W + mi.share(dN, dE);
    pf.used = pts.takes_part(i);
    pf.H = pts.H1[i] + correction(f, dN, dE);
    pf.sd_H = std::isnan(pts.H1[i]) ? kNaN : f.mo * std::sqrt(share);
    pf.v = pf.H - pts.H2[i];
    pf.q = pf.r = pf.t = pf.t_aside = pf.p_value = pf.loo = kNaN;
    if (!pf.used) continue;
    const double p = weight_of(pts.weights, i);
    pf.q = 1.0 / p - share;
    pf.r = p * pf.q;
    f.redundancy_sum += pf.r;
    // The others fix this point's height: nothing checks it.
    if (!(pf.r > kNotChecked)) continue;
    pf.loo = pf.v / pf.r;
    ++f.checked;
    if (df < 1) continue;
    // As the plane's component test: a residual of exactly 0 tests 0, one beside a mean
    // error of 0 is rounding and has no test value.
    const double m = f.mo * std::sqrt(pf.q);
    pf.t = pf.v == 0.0 ? 0.0 : m > 0.0 ? pf.v / m : kNaN;
    const double rest = f.vv - pf.v * pf.v / pf.q;
    const double m_aside = rest > 0.0 ? std::sqrt(rest / df * pf.q) : 0.0;
    pf.t_aside = pf.v == 0.0 ? 0.0 : m_aside > 0.0 ? pf.v / m_aside : kNaN;
    // The verdict is the studentized value's: the point's own residual kept out of the
    // variance, so that it follows t(f - 1); the bare ratio t never exceeds sqrt(f).
    pf.p_value = std::isnan(pf.t_aside) ? kNaN : 2.0 * t_upper_tail(std::fabs(pf.t_aside), df);
    pf.flagged = std::fabs(pf.t_aside) > f.critical;
    if (pf.flagged) ++f.flagged;
  }
}

}  // namespace

bool HeightPoints::takes_part(int i) const {
  const auto k = static_cast<std::size_t>(i);
  return !std::isnan(H1[k]) && !std::isnan(H2[k]) && (excluded.empty() || excluded[k] == 0);
}

HeightFit fit_heights(HeightModel model, const HeightPoints& pts, double alpha) {
  HeightFit f;
  f.model = model;
  f.u = height_parameter_count(model);
  f.alpha = alpha;
  double sw = 0, sN = 0, sE = 0, sl = 0;
  for (int i = 1; i <= pts.n; ++i) {
    if (!pts.takes_part(i)) continue;
    const double p = weight_of(pts.weights, i);
    ++f.m;
    sw += p;
    sN += p * pts.N[i];
    sE += p * pts.E[i];
    sl += p * (pts.H2[i] - pts.H1[i]);
  }
  f.status = HeightStatus::too_few;
  if (f.m <= f.u) return f;
  f.W = sw;
  f.N0 = sN / sw;
  f.E0 = sE / sw;
  // About the centroid the offset is the weighted mean of H_II - H_I.
  const double lm = sl / sw;
  f.c = lm;
  f.Q[0][0] = 1.0 / sw;
  if (model == HeightModel::plane) {
    double nn = 0, ne = 0, ee = 0, nl = 0, el = 0;
    for (int i = 1; i <= pts.n; ++i) {
      if (!pts.takes_part(i)) continue;
      const double p = weight_of(pts.weights, i);
      const double dN = pts.N[i] - f.N0, dE = pts.E[i] - f.E0;
      const double dl = pts.H2[i] - pts.H1[i] - lm;
      nn += p * dN * dN;
      ne += p * dN * dE;
      ee += p * dE * dE;
      nl += p * dN * dl;
      el += p * dE * dl;
    }
    f.MNN = nn, f.MNE = ne, f.MEE = ee;
    const double det = nn * ee - ne * ne;
    f.status = HeightStatus::overflow;
    if (!std::isfinite(det)) return f;
    // Points on one line, up to rounding: 1 - rho^2 of the reduced coordinates, as the
    // affine plane model.
    f.status = HeightStatus::on_a_line;
    if (!(det > 1e-12 * nn * ee)) return f;
    const SlopeInverse mi = slope_inverse(f);
    f.sN = mi.nn * nl + mi.ne * el;
    f.sE = mi.ne * nl + mi.ee * el;
    f.Q[1][1] = mi.nn;
    f.Q[1][2] = f.Q[2][1] = mi.ne;
    f.Q[2][2] = mi.ee;
  }
  f.vv = 0.0;
  for (int i = 1; i <= pts.n; ++i) {
    if (!pts.takes_part(i)) continue;
    const double v = pts.H1[i] + correction(f, pts.N[i] - f.N0, pts.E[i] - f.E0) - pts.H2[i];
    f.vv += weight_of(pts.weights, i) * v * v;
  }
  f.status = HeightStatus::overflow;
  if (!std::isfinite(f.vv) || !std::isfinite(f.c) || !std::isfinite(f.N0) || !std::isfinite(f.E0)) {
    return f;
  }
  f.status = HeightStatus::ok;
  f.f = f.m - f.u;
  f.mo = std::sqrt(f.vv / f.f);
  const double m2 = f.mo * f.mo;
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < 3; ++b) f.C[a][b] = m2 * f.Q[a][b];
  f.sd_c = std::sqrt(f.C[0][0]);
  f.sd_sN = std::sqrt(f.C[1][1]);
  f.sd_sE = std::sqrt(f.C[2][2]);
  f.sN_ppm = 1e6 * f.sN;
  f.sE_ppm = 1e6 * f.sE;
  f.sd_sN_ppm = 1e6 * f.sd_sN;
  f.sd_sE_ppm = 1e6 * f.sd_sE;
  if (model == HeightModel::plane) tilt(f);
  point_figures(pts, f);
  return f;
}

TransformedHeight transform_height(const HeightFit& f, double H1, double N, double E) {
  const double dN = N - f.N0, dE = E - f.E0;
  const SlopeInverse mi = slope_inverse(f);
  // A point without a height of its own has no transformed height, nor its sd.
  const double sd = std::isnan(H1) ? H1 : f.mo * std::sqrt(1.0 / f.W + mi.share(dN, dE));
  return {H1 + correction(f, dN, dE), sd};
}

VerticalStep vertical_step(const HeightFit& f) {
  // Adding 0 turns a -0 into 0, so that no coefficient is written as "-0".
  return {f.c - f.sN * f.N0 - f.sE * f.E0 + 0.0, f.sN + 0.0, f.sE + 0.0, 1.0};
}

}  // namespace helmert2d
