// The result of a transformation run: the common points, the estimated similarity
// transformation, its residuals and its tests, computed once and then only written.
#ifndef HELMERT2D_SRC_HA_XY_VB_RUN_RESULT_H
#define HELMERT2D_SRC_HA_XY_VB_RUN_RESULT_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common_points.h"
#include "heights.h"
#include "helmert2d/isttstk.h"
#include "model_comparison.h"
#include "models.h"

namespace helmert2d {

/// The similarity transformation X = a x - o y + tx, Y = o x + a y + ty, its residuals
/// (lists 1-based, parallel to CommonPoints) and its accuracy. A run of another model
/// (RunResult::fit) fills the figures every model has: the centroids, S, tx, ty, the
/// transformed points, residuals, vv, f, mo and n; the rigid model also a = cos A,
/// o = sin A, k = 1 and A; the affine model k = sqrt(|a1 b2 - a2 b1|), its areal scale,
/// and a, o, A, Q and the standard deviations 0. With weights every sum is weighted, the
/// centroids too, and vv is v^T P v and mo the a-posteriori sigma0 (no unit).
struct Solution {
  double xm = 0, ym = 0, Xm = 0, Ym = 0;  ///< centroids (m)
  double S = 0;                           ///< [xx+yy] about the centroid (m^2)
  double a = 0, o = 0, k = 0;             ///< linear parameters and scale
  double A = 0;                           ///< rotation angle in [0, 2 pi) (rad)
  double tx = 0, ty = 0;                  ///< translations (m)
  std::vector<double> Xc, Yc, vx, vy;     ///< transformed points and residuals (m)
  double vv = 0;                          ///< [vx2+vy2] (m^2)
  int f = 0;                              ///< degrees of freedom 2(n - 2)
  double mo = 0;                          ///< sqrt(vv / f) when f > 0, else 0 (m)
  int n = 0;                              ///< number of common points

  /// Cofactor matrix Qxx = N^-1 of the unknowns (a, o, tx, ty), 0-based, of the 2n
  /// equations of weight 1; formed about the centroid (see cofactors).
  double Q[4][4] = {};
  /// Standard deviations mo sqrt(Qxx_ii) of a, o (none), tx, ty (m), and by linear
  /// propagation of k (none) and A (rad). Meaningful only when f > 0.
  double sd_a = 0, sd_o = 0, sd_tx = 0, sd_ty = 0, sd_k = 0, sd_A = 0;

  /// Transforms a point of system I (m) into system II (m).
  PlanePoint apply(double x, double y) const { return {a * x - o * y + tx, o * x + a * y + ty}; }

  /// Standard deviation (m) of either transformed coordinate of a point (x, y) of
  /// system I, propagated from Qxx: mo sqrt(1/n + ((x - xm)^2 + (y - ym)^2) / S).
  double sd_transformed(double x, double y) const;
};

/// A point of the first file that is not a common point, transformed into system II.
/// The name views the first file's text, which the run holds.
struct FurtherPoint {
  std::string_view name;
  double x = 0.0, y = 0.0;  ///< system I (m)
  double third = 0.0;       ///< the file's third value, passed through
  PlanePoint p;             ///< transformed into system II (m)
  /// A common point left out of the estimation: its 0-based index in RunResult::left_out
  /// (the first pairing of its record); -1 for a point the second file does not hold.
  int left_out = -1;
};

/// A common point left out of the estimation (--exclude or data snooping).
struct LeftOutPoint {
  std::string name;
  double x = 0.0, y = 0.0;  ///< system I (m)
  double X = 0.0, Y = 0.0;  ///< system II, as given (m)
  std::size_t record = 0;   ///< 0-based index of its record in the first file
  int snoop_step = 0;       ///< 1-based step of data snooping that left it out; 0: --exclude
  /// Misclosure, transformed minus given (the residuals' sign: vx = X' - X), set once
  /// the transformation is solved (m).
  double vx = 0.0, vy = 0.0;
};

/// An input file as the run read it.
struct InputDigest {
  std::string file;    ///< the name as given
  std::string sha256;  ///< SHA-256 of the bytes read: 64 lower-case hex digits
};

/// What a report records about how it was made, when an option changed its numbers:
/// written after the final list, together with RunResult::left_out.
struct RunRecord {
  std::string program, version;
  std::string time_utc;              ///< start of the run, ISO 8601 UTC (the JSON's time)
  std::vector<InputDigest> inputs;   ///< the first file, then the second
  std::vector<std::string> options;  ///< the options and their values as given, in order
  Model model = Model::similarity;   ///< the model estimated
  std::optional<GlobalTest> global;  ///< the global test, when the points have weights
};

/// The best fit of the common points as a mirror image, as if one file's two coordinates
/// were swapped: X = a x + o y + tx, Y = o x - a y + ty, by least squares through the
/// centroids (a = ([dx dX] - [dy dY]) / S, o = ([dy dX] + [dx dY]) / S).
struct MirroredFit {
  double a = 0, o = 0, tx = 0, ty = 0;
  double vv = 0;  ///< its [vx2+vy2] (m^2)
  double mo = 0;  ///< sqrt(vv / f), f = 2n - 4 as for the similarity (m)
};

/// Signs that the result is implausible, for the run's warnings.
struct Plausibility {
  /// The mirrored fit (n > 2; with two points both fits are exact).
  std::optional<MirroredFit> mirrored;
  /// The mirrored fit's mo is at most a hundredth of the similarity's (and the
  /// similarity's residuals are more than rounding: points on a line fit both ways).
  bool mirrored_better = false;
  /// |k - 1| > kUnitsScaleLimit: the files may use different units.
  bool scale_far = false;
};

/// The deviation |k - 1| beyond which the run warns of different units.
inline constexpr double kUnitsScaleLimit = 0.05;
/// How many times smaller the mirrored fit's mo must be for the run to warn.
inline constexpr double kMirroredRatio = 100.0;

/// One step of the heights' data snooping: the point left out of the height fit.
struct HeightSnoopStep {
  std::string name;
  double t = 0.0;         ///< its test value t_aside before it was left out
  double c = 0.0;         ///< the critical value then
  double mo_after = 0.0;  ///< mo_h of the fit without it (m; 0 when none could be made)
};

/// The heights of a run with --heights: the height points as the fit saw them, the fit,
/// and every further point's height.
struct HeightResult {
  HeightPoints points;  ///< parallel to RunResult::points (N, E the given system II)
  HeightFit fit;
  std::vector<std::string> excluded;       ///< --exclude-height names, as given
  std::vector<HeightSnoopStep> snooping;   ///< data snooping of the heights, in order
  std::vector<TransformedHeight> further;  ///< parallel to RunResult::further
};

/// Everything the report says about a run with at least two distinct common points.
struct RunResult {
  CommonPoints points;                        ///< the common points, in report order
  Solution solution;                          ///< parameters, residuals, vv, f, mo
  std::optional<ScaleTestResult> scale;       ///< the scale tests (n > 2)
  std::optional<OutlierTestResult> outliers;  ///< the outlier tests (n > 2)
  std::vector<FurtherPoint> further;          ///< the final list after the common points
  std::vector<LeftOutPoint> left_out;         ///< common points left out of the estimate
  Plausibility plausibility;                  ///< for the warnings (console and JSON)
  std::optional<RunRecord> record;            ///< the report's run record, when it has one
  /// --compare-models: the three models side by side (console and JSON only).
  std::optional<ModelComparison> model_comparison;
  /// The estimate of the run's model; its lists Xc, Yc, vx, vy are moved into `solution`
  /// (the outlier tests and the quality figures are computed before).
  ModelFit fit;
  /// The quality figures of every common point (when f > 1, as the outlier tests).
  FitQuality quality;
  /// The global test of the variance factor, when the points have weights (f > 0).
  std::optional<GlobalTest> global;
  /// --heights: the height fit and the heights of the final list.
  std::optional<HeightResult> heights;
};

/// How the run's tests take their critical values.
struct TestSettings {
  bool exact_quantiles = false;  ///< exact t and F quantiles instead of the closed forms
  /// The quality figures of every point also for the similarity without weights, whose
  /// outlier tests do not need them (they cost about 90 bytes a point).
  bool quality = false;
};

/// Estimates the parameters into `sol`; false when fewer than two points or all at one
/// place (S = 0).
bool solve(const CommonPoints& cp, Solution& sol);

/// Whether a run could compute its transformation.
enum class Solved {
  yes,
  too_few,  ///< fewer than two common points, or all at one place
  overflow  ///< the coordinates are so large that the sums are not finite
};

/// Solves the transformation of `result.points` by `model`, with the points' weights
/// when they have any, and computes its residuals, [vv], f, mo, (f > 1) the outlier
/// tests and (another model, weights or `settings.quality`) the quality figures, the
/// scale tests (similarity only), the global test (with
/// weights) and the plausibility checks. Too few points (fewer than two, or three for
/// the affine model) or points at one place (affine: on one line) give too_few.
Solved compute_run(RunResult& result, const TestSettings& settings = {},
                   Model model = Model::similarity);

/// The inputs of the scale and outlier tests, taken from a solved run.
ScaleTestInput scale_test_input(const CommonPoints& cp, const Solution& sol);
OutlierTestInput outlier_test_input(const CommonPoints& cp, const Solution& sol);

}  // namespace helmert2d

#endif  // HELMERT2D_SRC_HA_XY_VB_RUN_RESULT_H
