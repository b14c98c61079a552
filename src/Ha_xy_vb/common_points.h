// The common points of a run: the two systems' coordinates of every point that both
// files hold, paired by name, with their weights when the run has any.
#ifndef HELMERT2D_SRC_HA_XY_VB_COMMON_POINTS_H
#define HELMERT2D_SRC_HA_XY_VB_COMMON_POINTS_H

#include <string>
#include <utility>
#include <vector>

namespace helmert2d {

/// Significance level of every test of the run.
inline constexpr double kAlpha = 0.05;

/// Parallel 1-based lists of the common points (entry 0 unused); they grow as needed.
struct CommonPoints {
  int n = 0;
  std::vector<std::string> name{std::string()};
  std::vector<double> x{0.0}, y{0.0};  ///< system I (m)
  std::vector<double> X{0.0}, Y{0.0};  ///< system II (m)
  std::vector<double> third{0.0};      ///< the first file's third value, passed through
  /// The second file's third value (the height H_II with --heights); NaN when absent.
  std::vector<double> third2{0.0};
  /// The weight p = 1 / (sigma_II^2 + sigma_I^2) of each point for both its coordinates
  /// (1/m^2), parallel to the lists above; empty when the run has no weights.
  std::vector<double> weight;
  /// The weight 1 / (sigma_h,II^2 + sigma_h,I^2) of each point's height (1/m^2); empty
  /// when the heights have no weights. Filled by the pairing beside the lists above.
  std::vector<double> weight_h;

  /// Makes room for `count` entries (entry 0 included) without moving them later.
  void reserve(std::size_t count) {
    for (auto* list : {&x, &y, &X, &Y, &third, &third2}) list->reserve(count);
    name.reserve(count);
    if (!weight.empty()) weight.reserve(count);
  }

  /// Makes the points weighted: every point added from now on needs its weight.
  void use_weights() { weight.assign(static_cast<std::size_t>(n) + 1, 1.0); }

  void add(std::string nm, double xi, double yi, double Xi, double Yi, double third_i = 0.0,
           double third2_i = 0.0) {
    name.push_back(std::move(nm));
    x.push_back(xi);
    y.push_back(yi);
    X.push_back(Xi);
    Y.push_back(Yi);
    third.push_back(third_i);
    third2.push_back(third2_i);
    ++n;
  }

  /// Adds a weighted point (see use_weights); `p` in 1/m^2.
  void add(std::string nm, double xi, double yi, double Xi, double Yi, double third_i,
           double third2_i, double p) {
    add(std::move(nm), xi, yi, Xi, Yi, third_i, third2_i);
    weight.push_back(p);
  }
};

/// A point of system II (m): first (northing-like) and second coordinate.
struct PlanePoint {
  double X = 0.0;
  double Y = 0.0;
};

}  // namespace helmert2d

#endif  // HELMERT2D_SRC_HA_XY_VB_COMMON_POINTS_H
