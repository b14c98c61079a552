// The height models of a site calibration estimated by weighted least squares: a
// constant offset, or an inclined plane in the target grid, between the heights of the
// two systems, with the quality figures of every height point and PROJ's vertical step.
// Plain structs in, plain structs out; nothing here writes.
//
// Index base: every per-point list is 1-based (entry 0 unused), parallel to
// CommonPoints. Units: heights, offsets, residuals and leave-one-out residuals in
// metres; plane coordinates in metres; slopes in m/m (and in ppm = mm/km where the name
// says so); the tilt's direction in grads (400 to the circle); weights in 1/m^2 (or 1
// when none are given).
#ifndef HELMERT2D_SRC_HA_XY_VB_HEIGHTS_H
#define HELMERT2D_SRC_HA_XY_VB_HEIGHTS_H

#include <vector>

#include "common_points.h"

namespace helmert2d {

/// The height models, from the height H_I of system I to H_II of system II, with N, E a
/// point's plane coordinates in system II (the target grid):
///   shift  H_II = H_I + c                                     (u = 1)
///   plane  H_II = H_I + c + sN (N - N0) + sE (E - E0)         (u = 3)
/// N0, E0 the weighted centroid of the height points in system II, so that c is the
/// offset at the centroid, uncorrelated with the slopes.
enum class HeightModel { shift, plane };

/// Number of parameters u of a height model.
constexpr int height_parameter_count(HeightModel m) {
  return m == HeightModel::shift ? 1 : 3;
}

/// The common points as the height fit sees them. Every list is 1-based with n + 1
/// entries, except `weights` and `excluded`, which may be empty.
struct HeightPoints {
  int n = 0;                 ///< number of common points
  std::vector<double> H1;    ///< height in system I (m); not-a-number when absent
  std::vector<double> H2;    ///< height in system II (m); not-a-number when absent
  std::vector<double> N, E;  ///< plane coordinates in system II (m), finite
  /// Weight of each point's height, p = 1 / (sigma_h,II^2 + sigma_h,I^2) (1/m^2, see
  /// point_weight), positive and finite; empty for p = 1.
  std::vector<double> weights;
  /// Nonzero: the point is left out of the height fit (it may still take part in the
  /// plane fit); empty for none.
  std::vector<char> excluded;

  /// A point takes part in the height fit when both its heights are present and it is
  /// not excluded.
  bool takes_part(int i) const;
};

/// Why the height model could not be estimated.
enum class HeightStatus {
  ok,
  too_few,    ///< no more height points than parameters (m <= u): nothing to check
  on_a_line,  ///< plane: the height points lie on one line (or at one place)
  overflow    ///< the sums are not finite
};

/// The figures of one common point. A figure without value is not-a-number.
struct HeightPointFit {
  bool used = false;  ///< takes part in the fit (HeightPoints::takes_part)
  /// H_I plus the model at the point's N, E (m), and its standard deviation from the
  /// parameters alone (m); not-a-number when H_I is absent.
  double H = 0, sd_H = 0;
  /// Residual H - H_II (m), computed minus given as the plane's residuals. For a point
  /// with both heights that does not take part it is its check difference, outside
  /// v^T P v; not-a-number when a height is absent.
  double v = 0;
  double q = 0;  ///< cofactor of v, 1/p - 1/[p] - g M^-1 g^T (used points)
  double r = 0;  ///< redundancy number p q (used points; they sum to f)
  /// The ratio v / (mo_h sqrt(q)) (signed); 0 for v = 0. Shown beside t_aside, which
  /// gives the verdict. Not-a-number
  /// when the point is not checked (r <= 1e-9), when f < 2 or when mo_h is 0 beside a
  /// residual of rounding. Its mo_h contains the point's own residual, so |t| never
  /// exceeds sqrt(f), so it cannot be tested against t(f - 1); t_aside is the value
  /// that follows t(f - 1) exactly.
  double t = 0;
  /// The same residual tested with the point set aside from the variance:
  /// v / (s_i sqrt(q)), s_i^2 = (v^T P v - v^2 / q) / (f - 1); exactly t(f - 1)
  /// distributed; t_aside = t sqrt((f - 1) / (f - t^2)), so above |t| when |t| > 1.
  /// Compared with t(f - 1) at 1 - alpha/2 (two-sided, no share-out over the points).
  double t_aside = 0;
  double p_value = 0;    ///< exact two-sided 2 P(T(f - 1) > |t_aside|)
  bool flagged = false;  ///< |t_aside| above the critical value (the verdict)
  /// Leave-one-out check residual (m): the point's height computed with the parameters
  /// estimated without it, minus H_II; v / r.
  double loo = 0;
};

/// A height model estimated from the height points.
struct HeightFit {
  HeightModel model = HeightModel::shift;
  HeightStatus status = HeightStatus::ok;
  int m = 0;              ///< number of height points (points taking part)
  int u = 0;              ///< number of parameters
  int f = 0;              ///< degrees of freedom m - u
  double W = 0;           ///< [p] over the height points (m without weights)
  double N0 = 0, E0 = 0;  ///< weighted centroid of the height points in system II (m)
  /// Weighted sums of the reduced plane coordinates (dN, dE) of the height points:
  /// MNN = [p dN2], MNE = [p dN dE], MEE = [p dE2] (m^2); plane model only.
  double MNN = 0, MNE = 0, MEE = 0;

  /// The parameters c (m), sN, sE (m/m); sN = sE = 0 for the shift.
  double c = 0, sN = 0, sE = 0;
  /// Cofactors Qxx = N^-1 of (c, sN, sE), 0-based, u x u used; c is uncorrelated with
  /// the slopes (Q[0][1] = Q[0][2] = 0).
  double Q[3][3] = {};
  /// Covariance mo_h^2 Qxx of (c, sN, sE) (m^2, m^2/m, 1).
  double C[3][3] = {};
  double sd_c = 0, sd_sN = 0, sd_sE = 0;  ///< standard deviations sqrt(C_ii)
  /// The slopes in ppm (1e6 sN, 1e6 sE) and their standard deviations.
  double sN_ppm = 0, sE_ppm = 0, sd_sN_ppm = 0, sd_sE_ppm = 0;
  /// The tilt of the surface H_II - H_I: its size 1e6 sqrt(sN^2 + sE^2) (ppm) and the
  /// direction in which it rises most steeply, as an azimuth in grads from grid north
  /// (the N axis) clockwise towards E, in [0, 400). Standard deviations by linear
  /// propagation of C; not-a-number for a tilt of exactly 0. All 0 for the shift.
  double tilt_ppm = 0, sd_tilt_ppm = 0, tilt_azimuth_gon = 0, sd_tilt_azimuth_gon = 0;

  double vv = 0;  ///< v^T P v over the height points
  /// sqrt(v^T P v / f): mo_h (m) without weights, the dimensionless a-posteriori
  /// sigma0 with weights from a-priori sigmas.
  double mo = 0;
  double redundancy_sum = 0;           ///< sum of r over the height points (= f up to rounding)
  double alpha = 0;                    ///< significance level of the point tests
  double critical = 0;                 ///< exact t(f - 1) at 1 - alpha/2; not-a-number for f < 2
  int checked = 0;                     ///< height points with a test value and a loo residual
  int flagged = 0;                     ///< height points whose test value is above the critical
  std::vector<HeightPointFit> points;  ///< 1-based, every common point
};

/// Estimates `model` from the points that take part. On a status other than ok the
/// result holds no usable numbers but model, status, m and u.
HeightFit fit_heights(HeightModel model, const HeightPoints& pts, double alpha = kAlpha);

/// A further point's height in system II (m) from its height H1 in system I (m) and
/// its plane coordinates N, E in system II (m), with the standard deviation of the
/// model's correction there, mo_h sqrt(1/[p] + g M^-1 g^T), g = (N - N0, E - E0) (the
/// height H1's own error and that of N, E are not in it).
struct TransformedHeight {
  double H = 0, sd_H = 0;
};
TransformedHeight transform_height(const HeightFit& fit, double H1, double N, double E);

/// Coefficients of PROJ's affine operation z' = zoff + s31 x + s32 y + s33 z for the
/// height model, with x = N and y = E of system II (the plane step's output in the
/// program's order): zoff = c - sN N0 - sE E0, s31 = sN, s32 = sE, s33 = 1. On
/// coordinates in the order E, N the two slopes change places.
struct VerticalStep {
  double zoff = 0, s31 = 0, s32 = 0, s33 = 1;
};
VerticalStep vertical_step(const HeightFit& fit);

}  // namespace helmert2d

#endif  // HELMERT2D_SRC_HA_XY_VB_HEIGHTS_H
