// The three transformation models fitted to the same common points side by side, with
// the F tests of the extra parameters of the larger ones (--compare-models): computed
// once, then written to the console and the JSON.
//
// Units: vv in m^2 and mo and the check-point RMS in m without weights; with weights
// from a-priori sigmas vv is v^T P v and mo the dimensionless a-posteriori sigma0 (the
// check-point RMS stays in m).
#ifndef HELMERT2D_SRC_HA_XY_VB_MODEL_COMPARISON_H
#define HELMERT2D_SRC_HA_XY_VB_MODEL_COMPARISON_H

#include <iosfwd>
#include <optional>
#include <string_view>
#include <vector>

namespace helmert2d {

struct CommonPoints;

/// One model fitted for the comparison. A figure without value is not-a-number.
struct ComparedModel {
  std::string_view name;  ///< "rigid", "similarity" or "affine"
  int u = 0;              ///< number of parameters
  /// Empty when the model was fitted, else why not ("at least 3 points needed", ...).
  std::string_view not_fitted;
  int f = 0;                   ///< degrees of freedom 2n - u (fitted models)
  double vv = 0;               ///< v^T P v
  double mo = 0;               ///< sqrt(vv / f); NaN when f = 0 or not fitted
  double check_point_rms = 0;  ///< RMS of the leave-one-out residuals; NaN without any
  bool fitted() const { return not_fitted.empty(); }
};

/// The F test of the extra parameters of a larger model against a smaller one it
/// contains: F = ((vv_small - vv_large) / df1) / (vv_large / df2) against F(df1, df2).
struct ExtraParameterTest {
  std::string_view larger, smaller;  ///< the models' names
  double statistic = 0;              ///< infinite when the larger model fits exactly
  int df1 = 0, df2 = 0;              ///< u_large - u_small, f_large
  double critical = 0;               ///< exact F quantile at 1 - alpha
  double p = 0;                      ///< exact P(F > statistic)
  bool significant = false;          ///< statistic > critical
};

/// The comparison of a run's final estimate.
struct ModelComparison {
  int n = 0;                ///< common points of the estimate
  bool weighted = false;    ///< fitted with weights from a-priori sigmas
  ComparedModel models[3];  ///< rigid, similarity, affine
  /// Similarity against rigid (does the scale earn its place?); both fitted, f_sim > 0.
  std::optional<ExtraParameterTest> scale;
  /// Affine against similarity; both fitted, f_affine > 0.
  std::optional<ExtraParameterTest> affine;
};

/// Fits the rigid, similarity and affine models to the common points with `weights`
/// (1-based, n + 1 entries, or empty for equal weights) and tests the extra parameters
/// at the run's alpha.
ModelComparison compare_models(const CommonPoints& cp, const std::vector<double>& weights);

/// The comparison as a small table of console lines.
void write_model_comparison(std::ostream& console, const ModelComparison& c);

/// The JSON member "model_comparison":{...}, preceded by a line end and followed by a
/// comma, for the head of the run's JSON document.
void write_model_comparison_json(std::ostream& out, const ModelComparison& c);

}  // namespace helmert2d

#endif  // HELMERT2D_SRC_HA_XY_VB_MODEL_COMPARISON_H
