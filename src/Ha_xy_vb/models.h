// The plane transformation models estimated by weighted least squares (similarity,
// rigid, affine), the quality figures of each common point, the global test of the
// variance factor and the F tests between the models. Plain structs in, plain structs
// out; nothing here writes.
//
// Index base: every per-point list is 1-based (entry 0 unused), parallel to
// CommonPoints. Units: coordinates, translations, residuals, MDB and leave-one-out
// residuals in metres; angles in radians; weights in 1/m^2 (or 1 when none are given).
#ifndef HELMERT2D_SRC_HA_XY_VB_MODELS_H
#define HELMERT2D_SRC_HA_XY_VB_MODELS_H

#include <vector>

#include "common_points.h"

namespace helmert2d {

/// The transformation models, from system I (x, y) to system II (X, Y):
///   similarity  X = a x - o y + tx,          Y = o x + a y + ty          (u = 4)
///   rigid       X = cos A x - sin A y + tx,  Y = sin A x + cos A y + ty  (u = 3)
///   affine      X = a1 x + a2 y + tx,        Y = b1 x + b2 y + ty        (u = 6)
enum class Model { similarity, rigid, affine };

/// Number of parameters u of a model.
constexpr int parameter_count(Model m) {
  return m == Model::similarity ? 4 : m == Model::rigid ? 3 : 6;
}

/// Weight of a common point for both its coordinates from the a-priori standard
/// deviations (m, > 0 or one of them 0) of the point in the two files:
/// p = 1 / (sigma_II^2 + sigma_I^2) (1/m^2). The scale is taken as 1 in the sum.
inline double point_weight(double sigma_first, double sigma_second) {
  return 1.0 / (sigma_second * sigma_second + sigma_first * sigma_first);
}

/// Why a model could not be estimated.
enum class FitStatus {
  ok,
  too_few,   ///< fewer points than the model needs (2, or 3 for the affine model)
  singular,  ///< the points lie at one place (affine: on one line)
  overflow   ///< the coordinates are so large that the sums are not finite
};

/// A model estimated from the common points. Every sum is weighted; with no weights
/// (p = 1) the similarity's numbers are bit for bit those of solve and compute_run.
struct ModelFit {
  Model model = Model::similarity;
  int n = 0;              ///< number of common points
  int u = 0;              ///< number of parameters
  int f = 0;              ///< degrees of freedom 2n - u
  double W = 0;           ///< [p], the sum of the weights (n without weights)
  double xm = 0, ym = 0;  ///< weighted centroid of system I (m)
  double Xm = 0, Ym = 0;  ///< weighted centroid of system II (m)
  /// Weighted sums of the system-I coordinates reduced to their centroid (dx, dy):
  /// Mxx = [p dx2], Mxy = [p dx dy], Myy = [p dy2], S = Mxx + Myy (m^2).
  double Mxx = 0, Mxy = 0, Myy = 0, S = 0;

  /// The parameters in model order: similarity a, o, tx, ty; rigid A (rad), tx, ty;
  /// affine a1, a2, tx, b1, b2, ty (translations in m).
  double par[6] = {};
  /// Every model as X = l11 x + l12 y + tx, Y = l21 x + l22 y + ty.
  double l11 = 1, l12 = 0, l21 = 0, l22 = 1, tx = 0, ty = 0;
  /// Cofactor matrix Qxx = N^-1 of `par` (0-based, u x u used), formed about the
  /// centroid; for the rigid model from the design matrix linearised at the solution.
  double Q[6][6] = {};
  /// Standard deviations s0 sqrt(Qxx_ii) of `par` (meaningful when f > 0).
  double sd[6] = {};

  /// Similarity: k = sqrt(a2 + o2) and A = atan2(o, a) in [0, 2 pi), with standard
  /// deviations by linear propagation. Rigid: k = 1 (sd 0) and A. Affine: 0.
  double k = 0, A = 0, sd_k = 0, sd_A = 0;
  /// Affine only (0 otherwise), by the decomposition
  ///   a1 = kx cos(rot), b1 = kx sin(rot), a2 = -ky sin(rot + shear), b2 = ky cos(rot + shear):
  /// kx, ky the scales along the x and y axes, rot in [0, 2 pi) the rotation of the x
  /// axis, shear in (-pi, pi] the angle between the images of the two axes minus
  /// pi/2 (non-orthogonality, positive when the angle is obtuse); standard deviations by
  /// linear propagation of Qxx.
  double kx = 0, ky = 0, rotation = 0, shear = 0;
  double sd_kx = 0, sd_ky = 0, sd_rotation = 0, sd_shear = 0;

  std::vector<double> Xc, Yc;  ///< transformed common points (m), 1-based
  std::vector<double> vx, vy;  ///< residuals X' - X, Y' - Y (m), 1-based
  double vv = 0;               ///< v^T P v (m^2, or 1/m^2 * m^2 with weights)
  /// sqrt(v^T P v / f) when f > 0, else 0: mo (m) without weights, the dimensionless
  /// a-posteriori sigma0 with weights from a-priori sigmas.
  double s0 = 0;

  /// Transforms a point of system I (m) into system II (m).
  PlanePoint apply(double x, double y) const {
    return {l11 * x + l12 * y + tx, l21 * x + l22 * y + ty};
  }
};

/// Estimates `model` from the common points. `weights` is 1-based (n + 1 entries,
/// every one positive and finite) or empty for p = 1. On a status other than ok `fit`
/// holds no usable numbers.
FitStatus fit_model(Model model, const CommonPoints& cp, const std::vector<double>& weights,
                    ModelFit& fit);

/// A further point transformed, with the standard deviations of its coordinates (m)
/// propagated from s0^2 Qxx. The similarity's is s0 sqrt(1/[p] + d^2/S) for both, as
/// Solution::sd_transformed.
struct TransformedPoint {
  PlanePoint p;
  double sd_X = 0, sd_Y = 0;
};
TransformedPoint transform_point(const ModelFit& fit, double x, double y);

/// Coefficients of PROJ's affine operation X = xoff + s11 x + s12 y,
/// Y = yoff + s21 x + s22 y for the fitted model (one step serves all three).
struct AffineStep {
  double xoff = 0, yoff = 0, s11 = 1, s12 = 0, s21 = 0, s22 = 1;
};
AffineStep affine_step(const ModelFit& fit);

/// Delta0 of the minimal detectable bias: alpha0 = 0.001 (two-sided), power 0.80.
inline constexpr double kDelta0 = 4.13;
/// A point whose smallest redundancy (eigenvalue of its 2 x 2 block of Qvv P) is at
/// most this is not checked by the others: its tests, MDB and leave-one-out residuals
/// have no value (not-a-number). The same bound as the outlier tests' cofactor.
inline constexpr double kNotChecked = 1e-9;

/// The quality figures of one common point. A figure without value is not-a-number.
struct PointQuality {
  /// Its 2 x 2 block of Qvv = P^-1 - A N^-1 A^T: the cofactors of vx, vy and their
  /// covariance cofactor (qxy is 0 for the similarity and the affine model, where the
  /// block is q I; without weights the similarity's q is 1 - (1/n + d^2/S)).
  double qx = 0, qy = 0, qxy = 0;
  double rx = 0, ry = 0;        ///< redundancy numbers p qx, p qy (the diagonal of Qvv P)
  bool checked = false;         ///< smallest eigenvalue of the block's Qvv P > kNotChecked
  double mdb_x = 0, mdb_y = 0;  ///< minimal detectable bias sigma delta0 / sqrt(p r) (m)
  /// Leave-one-out check residuals (m): the point transformed with the parameters
  /// estimated without it, minus its given coordinates (the residuals' sign).
  double loo_x = 0, loo_y = 0;
  /// Pair outlier test value T = sqrt(v^T Qvv_ii^-1 v / (2 s0^2)); 0 for v = 0.
  double T = 0;
};

/// The quality of every common point of a fit (all O(n)).
struct FitQuality {
  std::vector<PointQuality> points;  ///< 1-based
  double redundancy_sum = 0;         ///< sum of rx + ry (= f up to rounding)
  int checked = 0;                   ///< points with loo values
  /// sqrt(mean of loo_x^2 + loo_y^2) over the checked points (m); NaN when none.
  double check_point_rms = 0;
};

/// Computes the quality figures of `fit` (estimated from `cp` and `weights`, the same
/// lists as given to fit_model). `sigma_mdb`: the sigma of the MDB, 1 when the weights
/// come from a-priori sigmas, else the fit's s0 (m).
/// The leave-one-out residuals of the similarity and the affine model are exact,
/// (I - H_ii)^-1 v_i; those of the rigid model come from its closed form refitted
/// without the point (running sums, O(1) per point), since its linearisation is only
/// right to first order.
FitQuality fit_quality(const ModelFit& fit, const CommonPoints& cp,
                       const std::vector<double>& weights, double sigma_mdb);

/// Critical value of the pair outlier test at level alpha shared over n points for a
/// model with f degrees of freedom: c = sqrt((f/2) (1 - (alpha/n)^(2/(f - 2)))), the
/// upper alpha/n point of T for a Beta(1, (f - 2)/2) share of v^T P v. For the
/// similarity (f = 2n - 4) it is bit for bit sqrt((n-2)(1 - (alpha/n)^(1/(n-3)))).
/// Needs f > 2; 0 otherwise.
double pair_critical(double alpha, int n, int f);

/// The global test of the variance factor: v^T P v against chi-square(f) at 1 - alpha
/// (one-sided). Meaningful only with weights from a-priori sigmas.
struct GlobalTest {
  double statistic = 0;  ///< v^T P v
  int df = 0;            ///< f
  double critical = 0;   ///< chi-square(f) quantile at 1 - alpha
  double p = 0;          ///< exact P(chi-square(f) > statistic)
  bool significant = false;
};
GlobalTest global_test(const ModelFit& fit, double alpha = kAlpha);

/// F test of the extra parameters of a larger model that contains a smaller one
/// (similarity against rigid, affine against similarity):
/// F = ((vv_small - vv_large) / (u_large - u_small)) / (vv_large / f_large), against
/// F(u_large - u_small, f_large). A negative numerator (rounding) counts as 0.
struct ModelFTest {
  double statistic = 0;
  int df1 = 0, df2 = 0;
  double critical = 0;  ///< exact F quantile at 1 - alpha
  double p = 0;         ///< exact P(F > statistic)
  bool significant = false;
};
ModelFTest extra_parameter_test(const ModelFit& smaller, const ModelFit& larger,
                                double alpha = kAlpha);

}  // namespace helmert2d

#endif  // HELMERT2D_SRC_HA_XY_VB_MODELS_H
