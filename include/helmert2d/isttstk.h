// Statistical testing: closed-form distribution quantiles, the transformation run's
// scale and outlier tests, and the library's report-writing tests and random numbers.
//
// Quantile arguments are upper-tail probabilities: q = Z_(alpha) satisfies
// P(Z > q) = alpha approximately. No function checks its arguments; invalid ones
// give infinite or not-a-number results that are passed on.
#ifndef HELMERT2D_ISTTSTK_H
#define HELMERT2D_ISTTSTK_H

#include <ostream>
#include <string>
#include <vector>

// ---- Distribution quantiles -------------------------------------------------------

/// Quantile at 1 - alpha of the distribution chosen by `selector`:
/// 0 standard normal, 1 Student t (f1 degrees of freedom), 2 chi-square (f1),
/// 3 Fisher F (f1 numerator, f2 denominator); any other selector acts as 0.
double TABLO(double alpha, int f1, int f2, int selector);
/// Standard normal quantile z(1 - alpha).
double Z_(double alpha);
/// Student t quantile t(f, 1 - alpha).
double t_(double alpha, int f);
/// Chi-square quantile chi2(f, 1 - alpha).
double X2_(double alpha, int f);
/// Fisher F quantile F(f1, f2, 1 - alpha).
double F_(double alpha, int f1, int f2);
/// Lower-tail normal quantile: z with Phi(z) = p; -10 for p = 0 and +10 for p = 1.
double NormaL(double p);

// ---- The transformation run's tests -----------------------------------------------

/// Inputs of the scale tests (all from the similarity transformation solution).
struct ScaleTestInput {
  int n = 0;           ///< number of common points (> 2)
  double k = 1.0;      ///< scale factor sqrt(a^2 + o^2)
  double a = 1.0;      ///< k cos(A)
  double o = 0.0;      ///< k sin(A)
  double S = 0.0;      ///< [xx+yy], sum of squared reduced system-I coordinates (m^2)
  double mo = 0.0;     ///< standard deviation of unit weight (m)
  int f = 0;           ///< degrees of freedom 2(n - 2)
  double alpha = 0.05; ///< significance level
};

/// Writes the tolerance, F and t tests of the scale factor, then the empty line that
/// ends the section (the outlier tests' critical value is computed in between by
/// write_outlier_tests, which the run calls next).
void write_scale_tests(std::ostream& report, const ScaleTestInput& in);

/// Inputs of the outlier tests; the lists are 1-based (entry 0 unused), n + 1 long.
struct OutlierTestInput {
  int n = 0;                              ///< number of common points (> 2)
  const std::vector<std::string>* name = nullptr;  ///< point names
  const std::vector<double>* x = nullptr;  ///< system-I first coordinates (m)
  const std::vector<double>* y = nullptr;  ///< system-I second coordinates (m)
  const std::vector<double>* vx = nullptr; ///< residuals of X (m)
  const std::vector<double>* vy = nullptr; ///< residuals of Y (m)
  double xm = 0.0, ym = 0.0;              ///< centroid of system I (m)
  double S = 0.0;                         ///< [xx+yy] (m^2)
  double vv = 0.0;                        ///< [vx2+vy2] (m^2)
  int f = 0;                              ///< degrees of freedom 2(n - 2)
  double mo = 0.0;                        ///< standard deviation of unit weight (m)
  double alpha = 0.05;                    ///< significance level
};

/// Writes the component outlier table with its critical-value line and, for n > 3,
/// the pair outlier table; ends with the empty line that closes the statistics.
void write_outlier_tests(std::ostream& report, const OutlierTestInput& in);

// ---- Library tests and random numbers ---------------------------------------------
// (residual conformity, parameter significance, normality tests and random
// generators are declared below this line)

#endif  // HELMERT2D_ISTTSTK_H
