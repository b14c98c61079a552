// Closed-form quantiles of the normal, t, chi-square and F distributions.
#include <cmath>

#include "helmert2d/isttstk.h"

namespace {

// Upper-tail standard normal quantile: Abramowitz and Stegun 26.2.23
// (absolute error below 4.5e-4 for 0 < alpha <= 0.5).
double normal_base(double alpha) {
  const double t = std::sqrt(std::log(1.0 / (alpha * alpha)));
  const double c0 = 2.515517, c1 = 0.802853, c2 = 0.010328;
  const double d1 = 1.432788, d2 = 0.189269, d3 = 0.001308;
  return t - (c0 + c1 * t + c2 * t * t) / (1.0 + d1 * t + d2 * t * t + d3 * t * t * t);
}

// Student t by the Cornish-Fisher expansion with four correction terms
// (Abramowitz and Stegun 26.7.5).
double student_t(double z, double nu) {
  const double z2 = z * z;
  const double z3 = z * z * z;
  const double z5 = z3 * z2;
  const double z7 = z5 * z2;
  const double z9 = z7 * z2;
  const double g1 = (z3 + z) / 4.0;
  const double g2 = (5.0 * z5 + 16.0 * z3 + 3.0 * z) / 96.0;
  const double g3 = (3.0 * z7 + 19.0 * z5 + 17.0 * z3 - 15.0 * z) / 384.0;
  const double g4 = (79.0 * z9 + 776.0 * z7 + 1482.0 * z5 - 1920.0 * z3 - 945.0 * z) / 92160.0;
  return z + g1 / nu + g2 / (nu * nu) + g3 / std::pow(nu, 3) + g4 / std::pow(nu, 4);
}

// Chi-square by Wilson and Hilferty's cube approximation.
double chi_square(double z, double nu) {
  const double c = 0.2222222222222222;
  return nu * std::pow(1.0 - c / nu + z * std::sqrt(c / nu), 3);
}

// F through the normal approximation of Fisher's z = ln(F) / 2.
double fisher_f(double z, double nu1, double nu2) {
  const double h = std::sqrt((1.0 / nu1 + 1.0 / nu2) * 0.5);
  const double w = h * z - 0.5 * (1.0 / nu1 - 1.0 / nu2);
  return std::exp(2.0 * w);
}

}  // namespace

double TABLO(double alpha, int f1, int f2, int selector) {
  const double z = normal_base(alpha);
  switch (selector) {
    case 1:
      return student_t(z, static_cast<double>(f1));
    case 2:
      return chi_square(z, static_cast<double>(f1));
    case 3:
      return fisher_f(z, static_cast<double>(f1), static_cast<double>(f2));
    default:
      return z;
  }
}

double Z_(double alpha) {
  return TABLO(alpha, 0, 0, 0);
}
double t_(double alpha, int f) {
  return TABLO(alpha, f, 1, 1);
}
double X2_(double alpha, int f) {
  return TABLO(alpha, f, 1, 2);
}
double F_(double alpha, int f1, int f2) {
  return TABLO(alpha, f1, f2, 3);
}

double NormaL(double p) {
  if (p == 0.0) return -10.0;
  if (p == 1.0) return 10.0;
  const double q = p <= 0.5 ? p : 0.5 - (p - 0.5);
  const double z = Z_(q);
  return p < 0.5 ? -z : z;
}
