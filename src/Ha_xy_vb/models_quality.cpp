// Quality of a fitted model: each common point's block of the residual cofactors,
// redundancy numbers, minimal detectable biases, leave-one-out check residuals and pair
// test value; the transformation of further points; the global test and the F tests
// between models. Every figure costs O(1) per point: about the weighted centroid the
// normal matrix splits into the translations' block [p] I and a block of at most
// 4 x 4 that the closed forms of models.cpp invert.
#include <algorithm>
#include <cmath>
#include <limits>

#include "helmert2d/isttstk.h"
#include "models.h"

namespace helmert2d {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double weight_of(const std::vector<double>& w, int i) {
  return w.empty() ? 1.0 : w[static_cast<std::size_t>(i)];
}

// The share of the linear parameters in A_i N^-1 A_i^T at the reduced point (dx, dy):
// b I for the similarity and the affine model; g g^T / S for the rigid one, g the
// design column of A (returned in gx, gy).
struct LinearShare {
  double b = 0;  // scalar models
  double gx = 0, gy = 0;
};

LinearShare linear_share(const ModelFit& f, double dx, double dy) {
  LinearShare s;
  switch (f.model) {
    case Model::similarity:
      s.b = (dx * dx + dy * dy) / f.S;
      break;
    case Model::affine: {
      const double det = f.Mxx * f.Myy - f.Mxy * f.Mxy;
      s.b = (f.Myy * dx * dx - 2.0 * f.Mxy * dx * dy + f.Mxx * dy * dy) / det;
      break;
    }
    case Model::rigid:
      // d/dA of R(A) d: (-sin A dx - cos A dy, cos A dx - sin A dy).
      s.gx = -f.l21 * dx - f.l11 * dy;
      s.gy = f.l11 * dx - f.l21 * dy;
      break;
  }
  return s;
}

}  // namespace

FitQuality fit_quality(const ModelFit& f, const CommonPoints& cp,
                       const std::vector<double>& weights, double sigma_mdb) {
  FitQuality out;
  out.points.assign(static_cast<std::size_t>(cp.n) + 1, PointQuality{});
  const bool rigid = f.model == Model::rigid;
  // The rigid model's totals of its closed form, for the refits without one point.
  double P = 0, Q = 0;
  if (rigid) {
    for (int i = 1; i <= cp.n; ++i) {
      const double p = weight_of(weights, i);
      const double dx = cp.x[i] - f.xm, dy = cp.y[i] - f.ym;
      const double dX = cp.X[i] - f.Xm, dY = cp.Y[i] - f.Ym;
      P += p * (dx * dX + dy * dY);
      Q += p * (dx * dY - dy * dX);
    }
  }
  double loo_sum = 0;
  for (int i = 1; i <= cp.n; ++i) {
    PointQuality& pq = out.points[static_cast<std::size_t>(i)];
    const double p = weight_of(weights, i);
    const double dx = cp.x[i] - f.xm, dy = cp.y[i] - f.ym;
    const double vx = f.vx[i], vy = f.vy[i];
    const LinearShare s = linear_share(f, dx, dy);
    // Qvv_ii = (1/p) I - (1/[p]) I - the linear parameters' share.
    if (rigid) {
      pq.qx = 1.0 / p - (1.0 / f.W + s.gx * s.gx / f.S);
      pq.qy = 1.0 / p - (1.0 / f.W + s.gy * s.gy / f.S);
      pq.qxy = -s.gx * s.gy / f.S;
    } else {
      pq.qx = pq.qy = 1.0 / p - (1.0 / f.W + s.b);
    }
    pq.rx = p * pq.qx;
    pq.ry = p * pq.qy;
    out.redundancy_sum += pq.rx + pq.ry;
    const double rxy = p * pq.qxy;
    const double half_gap = 0.5 * (pq.rx - pq.ry);
    const double smallest = 0.5 * (pq.rx + pq.ry) - std::sqrt(half_gap * half_gap + rxy * rxy);
    pq.checked = smallest > kNotChecked;
    const auto mdb = [p, sigma_mdb](double r) {
      return r > kNotChecked ? sigma_mdb * kDelta0 / std::sqrt(p * r) : kNaN;
    };
    pq.mdb_x = mdb(pq.rx);
    pq.mdb_y = mdb(pq.ry);
    if (!pq.checked) {
      pq.loo_x = pq.loo_y = pq.T = kNaN;
      continue;
    }
    if (rigid) {
      // The closed form without point i: about the centroid of the others, every
      // reduced cross sum C becomes C - p c_i W / (W - p), and point i's reduced
      // coordinates grow by W / (W - p) in both systems.
      const double dX = cp.X[i] - f.Xm, dY = cp.Y[i] - f.Ym;
      const double g = f.W / (f.W - p);
      const double Pi = P - p * (dx * dX + dy * dY) * g;
      const double Qi = Q - p * (dx * dY - dy * dX) * g;
      const double h = std::hypot(Pi, Qi);
      const double c = Pi / h, sn = Qi / h;
      pq.loo_x = g * (c * dx - sn * dy - dX);
      pq.loo_y = g * (sn * dx + c * dy - dY);
      // v^T Qvv_ii^-1 v with the 2 x 2 block.
      const double det = pq.qx * pq.qy - pq.qxy * pq.qxy;
      const double w = (pq.qy * vx * vx - 2.0 * pq.qxy * vx * vy + pq.qx * vy * vy) / det;
      pq.T = vx == 0.0 && vy == 0.0 ? 0.0 : std::sqrt(w / (2.0 * f.s0 * f.s0));
    } else {
      // (I - H_ii)^-1 v_i with I - H_ii = p Qvv_ii = r I.
      pq.loo_x = vx / pq.rx;
      pq.loo_y = vy / pq.ry;
      // As the outlier tests write it: sqrt((vx2 + vy2) / (2 mo2 q)).
      const double vv_i = vx * vx + vy * vy;
      pq.T = vv_i == 0.0 ? 0.0 : std::sqrt(vv_i / (2.0 * f.s0 * f.s0 * pq.qx));
    }
    loo_sum += pq.loo_x * pq.loo_x + pq.loo_y * pq.loo_y;
    ++out.checked;
  }
  out.check_point_rms = out.checked > 0 ? std::sqrt(loo_sum / out.checked) : kNaN;
  return out;
}

TransformedPoint transform_point(const ModelFit& f, double x, double y) {
  TransformedPoint t;
  t.p = f.apply(x, y);
  const double dx = x - f.xm, dy = y - f.ym;
  const LinearShare s = linear_share(f, dx, dy);
  if (f.model == Model::rigid) {
    t.sd_X = f.s0 * std::sqrt(1.0 / f.W + s.gx * s.gx / f.S);
    t.sd_Y = f.s0 * std::sqrt(1.0 / f.W + s.gy * s.gy / f.S);
  } else if (f.model == Model::similarity) {
    // Solution::sd_transformed's expression.
    t.sd_X = t.sd_Y = f.s0 * std::sqrt(1.0 / f.W + (dx * dx + dy * dy) / f.S);
  } else {
    t.sd_X = t.sd_Y = f.s0 * std::sqrt(1.0 / f.W + s.b);
  }
  return t;
}

AffineStep affine_step(const ModelFit& f) {
  // Adding 0 turns a -0 into 0, so that no coefficient is written as "-0".
  return {f.tx + 0.0, f.ty + 0.0, f.l11 + 0.0, f.l12 + 0.0, f.l21 + 0.0, f.l22 + 0.0};
}

double pair_critical(double alpha, int n, int f) {
  if (f <= 2) return 0.0;
  return std::sqrt((f / 2.0) * (1.0 - std::pow(alpha / n, 2.0 / (f - 2.0))));
}

GlobalTest global_test(const ModelFit& fit, double alpha) {
  GlobalTest g;
  g.statistic = fit.vv;
  g.df = fit.f;
  g.critical = chi2_exact(alpha, fit.f);
  g.p = chi2_upper_tail(fit.vv, fit.f);
  g.significant = g.statistic > g.critical;
  return g;
}

ModelFTest extra_parameter_test(const ModelFit& smaller, const ModelFit& larger, double alpha) {
  ModelFTest t;
  t.df1 = larger.u - smaller.u;
  t.df2 = larger.f;
  // The larger model's v^T P v is never above the smaller's but for rounding.
  const double gain = std::max(0.0, smaller.vv - larger.vv);
  if (gain == 0.0) {
    t.statistic = 0.0;
  } else if (larger.vv == 0.0) {
    t.statistic = std::numeric_limits<double>::infinity();
  } else {
    t.statistic = (gain / t.df1) / (larger.vv / t.df2);
  }
  t.critical = F_exact(alpha, t.df1, t.df2);
  t.p = F_upper_tail(t.statistic, t.df1, t.df2);
  t.significant = t.statistic > t.critical;
  return t;
}

}  // namespace helmert2d
