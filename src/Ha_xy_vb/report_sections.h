// The run's common point list, its solution and the report sections written from them.
#ifndef HELMERT2D_SRC_REPORT_SECTIONS_H
#define HELMERT2D_SRC_REPORT_SECTIONS_H

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace helmert2d {

/// Parallel 1-based lists of the common points (entry 0 unused); they grow as needed.
struct CommonPoints {
  int n = 0;
  std::vector<std::string> name{std::string()};
  std::vector<double> x{0.0}, y{0.0};  ///< system I (m)
  std::vector<double> X{0.0}, Y{0.0};  ///< system II (m)

  void add(std::string nm, double xi, double yi, double Xi, double Yi) {
    name.push_back(std::move(nm));
    x.push_back(xi);
    y.push_back(yi);
    X.push_back(Xi);
    Y.push_back(Yi);
    ++n;
  }
};

/// The similarity transformation X = a x - o y + tx, Y = o x + a y + ty and its
/// residuals (lists 1-based, parallel to CommonPoints).
struct Solution {
  double xm = 0, ym = 0, Xm = 0, Ym = 0;  ///< centroids (m)
  double S = 0;                           ///< [xx+yy] about the centroid (m^2)
  double a = 0, o = 0, k = 0;             ///< linear parameters and scale
  double A = 0;                           ///< rotation angle in [0, 2 pi) (rad)
  double tx = 0, ty = 0;                  ///< translations (m)
  std::vector<double> Xc, Yc, vx, vy;     ///< transformed points and residuals (m)
  double vv = 0;                          ///< [vx2+vy2] (m^2)
  int f = 0;                              ///< degrees of freedom 2(n - 2)
  double mo = 0;                          ///< standard deviation of unit weight (m)
};

/// Estimates the parameters; false when fewer than two points or S = 0.
bool solve(const CommonPoints& cp, Solution& sol);

void write_input_listing(std::ostream& report, const CommonPoints& cp);
void write_parameters(std::ostream& report, const Solution& sol);
/// Transforms the common points, fills the residuals and writes the residual table.
void write_residuals(std::ostream& report, const CommonPoints& cp, Solution& sol);
/// Writes [vx2+vy2], f and mo, then the scale and outlier tests (n > 2).
void write_statistics(std::ostream& report, const CommonPoints& cp, Solution& sol);
/// Writes the head of the final list and the rows of the common points.
void write_final_list_head(std::ostream& report, const CommonPoints& cp);
void write_final_row(std::ostream& report, int number, std::string_view name, double x, double y,
                     double X, double Y);
void write_final_list_end(std::ostream& report);

}  // namespace helmert2d

#endif  // HELMERT2D_SRC_REPORT_SECTIONS_H
