// Weighted least-squares estimates of the similarity, rigid and affine models through
// the weighted centroids, with the cofactors of their parameters and the derived
// figures. The similarity follows solve and compute_run operation for operation, so
// that with p = 1 every number is the same to the bit (a factor 1.0 and a sum of n
// ones are exact).
#include "models.h"

#include <cmath>

#include "helmert2d/dnsm.h"

namespace helmert2d {

namespace {

double weight_of(const std::vector<double>& w, int i) {
  return w.empty() ? 1.0 : w[static_cast<std::size_t>(i)];
}

// Weighted sums of the coordinates reduced to the weighted centroids.
struct ReducedSums {
  double pxX = 0, pyY = 0, pxY = 0, pyX = 0;
};

ReducedSums centroids_and_sums(const CommonPoints& cp, const std::vector<double>& w, ModelFit& f) {
  double sw = 0, sx = 0, sy = 0, sX = 0, sY = 0;
  for (int i = 1; i <= cp.n; ++i) {
    const double p = weight_of(w, i);
    sw += p;
    sx += p * cp.x[i];
    sy += p * cp.y[i];
    sX += p * cp.X[i];
    sY += p * cp.Y[i];
  }
  f.W = sw;
  f.xm = sx / sw;
  f.ym = sy / sw;
  f.Xm = sX / sw;
  f.Ym = sY / sw;
  double sxx = 0, syy = 0, sxy = 0;
  ReducedSums r;
  for (int i = 1; i <= cp.n; ++i) {
    const double p = weight_of(w, i);
    const double dx = cp.x[i] - f.xm, dy = cp.y[i] - f.ym;
    const double dX = cp.X[i] - f.Xm, dY = cp.Y[i] - f.Ym;
    sxx += p * dx * dx;
    syy += p * dy * dy;
    sxy += p * dx * dy;
    r.pxX += p * dx * dX;
    r.pyY += p * dy * dY;
    r.pxY += p * dx * dY;
    r.pyX += p * dy * dX;
  }
  f.Mxx = sxx;
  f.Myy = syy;
  f.Mxy = sxy;
  f.S = sxx + syy;
  return r;
}

// The similarity as solve does it; cofactors and standard deviations as compute_run.
void fit_similarity(const ReducedSums& r, ModelFit& f) {
  const double P = r.pxX + r.pyY;
  const double Q = r.pxY - r.pyX;
  const double a = P / f.S;
  const double o = Q / f.S;
  f.par[0] = a;
  f.par[1] = o;
  f.par[2] = f.Xm - a * f.xm + o * f.ym;
  f.par[3] = f.Ym - o * f.xm - a * f.ym;
  f.k = std::sqrt(a * a + o * o);
  f.A = arctan(a, o);
  f.l11 = a;
  f.l12 = -o;
  f.l21 = o;
  f.l22 = a;
  f.tx = f.par[2];
  f.ty = f.par[3];
}

// Qxx of (a, o, tx, ty): about the weighted centroid a and o are uncorrelated with
// cofactor 1/S, the centroid's translation has 1/[p]; tx = Xm - a xm + o ym and
// ty = Ym - o xm - a ym carry them over.
void similarity_cofactors(ModelFit& f) {
  const double iS = 1.0 / f.S;
  const double xm = f.xm, ym = f.ym;
  auto& Q = f.Q;
  Q[0][0] = Q[1][1] = iS;
  Q[0][1] = Q[1][0] = 0.0;
  Q[2][2] = Q[3][3] = 1.0 / f.W + (xm * xm + ym * ym) * iS;
  Q[2][3] = Q[3][2] = 0.0;
  Q[0][2] = Q[2][0] = -xm * iS;
  Q[0][3] = Q[3][0] = -ym * iS;
  Q[1][2] = Q[2][1] = ym * iS;
  Q[1][3] = Q[3][1] = -xm * iS;
}

// k = sqrt(a2 + o2) and A = atan2(o, a) by linear propagation of the a-o block.
void similarity_derived_sd(ModelFit& f) {
  const double m = f.s0, a = f.par[0], o = f.par[1];
  const double k2 = a * a + o * o;
  const double qkk = (a * a * f.Q[0][0] + 2.0 * a * o * f.Q[0][1] + o * o * f.Q[1][1]) / k2;
  const double qAA = (o * o * f.Q[0][0] - 2.0 * a * o * f.Q[0][1] + a * a * f.Q[1][1]) / (k2 * k2);
  f.sd_k = m * std::sqrt(qkk);
  f.sd_A = m * std::sqrt(qAA);
}

// Rigid: minimising [p |R(A) d - D|^2] over A alone (the centroids take the
// translations) gives cos A : sin A = [p (dx dX + dy dY)] : [p (dx dY - dy dX)].
void fit_rigid(const ReducedSums& r, ModelFit& f) {
  const double P = r.pxX + r.pyY;
  const double Q = r.pxY - r.pyX;
  const double h = std::hypot(P, Q);
  // h = 0: every rotation fits alike (system II at one place); A = 0 is taken.
  const double c = h > 0.0 ? P / h : 1.0, s = h > 0.0 ? Q / h : 0.0;
  f.A = arctan(c, s);
  f.k = 1.0;
  f.l11 = c;
  f.l12 = -s;
  f.l21 = s;
  f.l22 = c;
  f.tx = f.Xm - c * f.xm + s * f.ym;
  f.ty = f.Ym - s * f.xm - c * f.ym;
  f.par[0] = f.A;
  f.par[1] = f.tx;
  f.par[2] = f.ty;
  // Linearised at the solution, the design column of A about the centroid is
  // R'(A) d with [p |R'(A) d|^2] = S, orthogonal to the translations' columns; then
  // tx = Xm - (c xm - s ym) and ty = Ym - (s xm + c ym) carry the cofactors over.
  const double iS = 1.0 / f.S;
  const double hx = s * f.xm + c * f.ym;  // d tx / dA
  const double hy = s * f.ym - c * f.xm;  // d ty / dA
  auto& Qx = f.Q;
  Qx[0][0] = iS;
  Qx[0][1] = Qx[1][0] = hx * iS;
  Qx[0][2] = Qx[2][0] = hy * iS;
  Qx[1][1] = 1.0 / f.W + hx * hx * iS;
  Qx[2][2] = 1.0 / f.W + hy * hy * iS;
  Qx[1][2] = Qx[2][1] = hx * hy * iS;
}

// Affine: both rows share the normal matrix M = [Mxx Mxy; Mxy Myy] about the centroid,
// solved in closed form.
void fit_affine(const ReducedSums& r, ModelFit& f, double det) {
  const double i11 = f.Myy / det, i12 = -f.Mxy / det, i22 = f.Mxx / det;
  const double a1 = i11 * r.pxX + i12 * r.pyX, a2 = i12 * r.pxX + i22 * r.pyX;
  const double b1 = i11 * r.pxY + i12 * r.pyY, b2 = i12 * r.pxY + i22 * r.pyY;
  f.l11 = a1;
  f.l12 = a2;
  f.l21 = b1;
  f.l22 = b2;
  f.tx = f.Xm - a1 * f.xm - a2 * f.ym;
  f.ty = f.Ym - b1 * f.xm - b2 * f.ym;
  const double par[6] = {a1, a2, f.tx, b1, b2, f.ty};
  for (int j = 0; j < 6; ++j) f.par[j] = par[j];
  // Per row (a1, a2, tx) and (b1, b2, ty): M^-1 for the linear pair and
  // tx = Xm - a1 xm - a2 ym; the rows are uncorrelated.
  const double xm = f.xm, ym = f.ym;
  const double ct1 = -(i11 * xm + i12 * ym), ct2 = -(i12 * xm + i22 * ym);
  const double ctt = 1.0 / f.W + xm * xm * i11 + 2.0 * xm * ym * i12 + ym * ym * i22;
  for (int b = 0; b <= 3; b += 3) {
    auto& Q = f.Q;
    Q[b][b] = i11;
    Q[b + 1][b + 1] = i22;
    Q[b][b + 1] = Q[b + 1][b] = i12;
    Q[b][b + 2] = Q[b + 2][b] = ct1;
    Q[b + 1][b + 2] = Q[b + 2][b + 1] = ct2;
    Q[b + 2][b + 2] = ctt;
  }
}

// kx, ky, rotation and shear of the affine model (see ModelFit) with their standard
// deviations; gradients with respect to (a1, a2, b1, b2) at par indices 0, 1, 3, 4.
void affine_derived(ModelFit& f) {
  const double a1 = f.l11, a2 = f.l12, b1 = f.l21, b2 = f.l22;
  f.kx = std::hypot(a1, b1);
  f.ky = std::hypot(a2, b2);
  f.rotation = arctan(a1, b1);
  // The image of the y axis against the image of the x axis turned by 90 degrees.
  f.shear = std::atan2(-(a1 * a2 + b1 * b2), a1 * b2 - a2 * b1);
  const double kx2 = f.kx * f.kx, ky2 = f.ky * f.ky;
  constexpr int idx[4] = {0, 1, 3, 4};
  const auto sd = [&f, &idx](const double(&g)[4]) {
    double q = 0;
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c) q += g[r] * f.Q[idx[r]][idx[c]] * g[c];
    return f.s0 * std::sqrt(q);
  };
  f.sd_kx = sd({a1 / f.kx, 0.0, b1 / f.kx, 0.0});
  f.sd_ky = sd({0.0, a2 / f.ky, 0.0, b2 / f.ky});
  f.sd_rotation = sd({-b1 / kx2, 0.0, a1 / kx2, 0.0});
  // shear = atan2(-a2, b2) - atan2(b1, a1).
  f.sd_shear = sd({b1 / kx2, -b2 / ky2, -a1 / kx2, a2 / ky2});
}

// Transforms the common points and forms the residuals v = X' - X and v^T P v.
void residuals(const CommonPoints& cp, const std::vector<double>& w, ModelFit& f) {
  const std::size_t size = static_cast<std::size_t>(cp.n) + 1;
  f.Xc.assign(size, 0.0);
  f.Yc.assign(size, 0.0);
  f.vx.assign(size, 0.0);
  f.vy.assign(size, 0.0);
  f.vv = 0.0;
  for (int i = 1; i <= cp.n; ++i) {
    const PlanePoint p = f.apply(cp.x[i], cp.y[i]);
    f.Xc[i] = p.X;
    f.Yc[i] = p.Y;
    f.vx[i] = f.Xc[i] - cp.X[i];
    f.vy[i] = f.Yc[i] - cp.Y[i];
    f.vv += weight_of(w, i) * (f.vx[i] * f.vx[i] + f.vy[i] * f.vy[i]);
  }
  f.f = 2 * cp.n - f.u;
  f.s0 = f.f > 0 ? std::sqrt(f.vv / f.f) : 0.0;
}

}  // namespace

FitStatus fit_model(Model model, const CommonPoints& cp, const std::vector<double>& weights,
                    ModelFit& fit) {
  fit = ModelFit{};
  fit.model = model;
  fit.n = cp.n;
  fit.u = parameter_count(model);
  const int n = cp.n;
  if (n < (model == Model::affine ? 3 : 2)) return FitStatus::too_few;
  // Points at one place leave the parameters undefined; they are recognised by their
  // coordinates, since an inexact mean can leave S a tiny positive number.
  bool distinct = false;
  for (int i = 2; i <= n && !distinct; ++i) distinct = cp.x[i] != cp.x[1] || cp.y[i] != cp.y[1];
  if (!distinct) return FitStatus::singular;
  const ReducedSums r = centroids_and_sums(cp, weights, fit);
  if (fit.S == 0.0) return FitStatus::singular;
  if (!std::isfinite(fit.S)) return FitStatus::overflow;
  switch (model) {
    case Model::similarity:
      fit_similarity(r, fit);
      break;
    case Model::rigid:
      fit_rigid(r, fit);
      break;
    case Model::affine: {
      // Points on one line, up to rounding: 1 - rho^2 of the reduced coordinates.
      const double det = fit.Mxx * fit.Myy - fit.Mxy * fit.Mxy;
      if (!(det > 1e-12 * fit.Mxx * fit.Myy)) return FitStatus::singular;
      fit_affine(r, fit, det);
      break;
    }
  }
  residuals(cp, weights, fit);
  for (int j = 0; j < fit.u; ++j) {
    if (!std::isfinite(fit.par[j])) return FitStatus::overflow;
  }
  if (!std::isfinite(fit.vv)) return FitStatus::overflow;
  switch (model) {
    case Model::similarity:
      similarity_cofactors(fit);
      break;
    case Model::rigid:
    case Model::affine:
      break;  // formed with the estimate
  }
  for (int j = 0; j < fit.u; ++j) fit.sd[j] = fit.s0 * std::sqrt(fit.Q[j][j]);
  switch (model) {
    case Model::similarity:
      similarity_derived_sd(fit);
      break;
    case Model::rigid:
      fit.sd_A = fit.sd[0];
      break;
    case Model::affine:
      affine_derived(fit);
      break;
  }
  return FitStatus::ok;
}

}  // namespace helmert2d
