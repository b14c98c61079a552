// Exact quantiles and tail probabilities of the t, chi-square and F distributions, through
// Boost.Math. Arguments outside a distribution's domain (degrees of freedom below 1, a
// probability outside (0, 1), a not-a-number statistic) give not-a-number instead of
// an exception, as the closed-form quantiles pass such values on.
// Boost's F quantile trips g++ 12's uninitialised-value analysis after inlining; the
// value it names is set on every path that uses it.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
// With constexpr tables, Boost 1.74 keeps its factorial table as a local constexpr array
// that is copied onto the stack on every call; the large-sample series of the incomplete
// beta function calls it once per term, which made a t tail 20% (small degrees of
// freedom: 90%) slower. Without them the table is one static array; the results are the
// same to the bit. Only this file includes Boost.Math, so the setting holds for all of it.
#define BOOST_NO_CXX14_CONSTEXPR
#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <cmath>
#include <limits>

#include "helmert2d/isttstk.h"

namespace {

using boost::math::complement;
using Policy = boost::math::policies::policy<
    boost::math::policies::domain_error<boost::math::policies::ignore_error>,
    boost::math::policies::overflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::evaluation_error<boost::math::policies::ignore_error>,
    // Double precision throughout: promoting to long double costs four times the time
    // for digits a p-value does not need.
    boost::math::policies::promote_double<false>>;
using StudentT = boost::math::students_t_distribution<double, Policy>;
using FisherF = boost::math::fisher_f_distribution<double, Policy>;
using ChiSquared = boost::math::chi_squared_distribution<double, Policy>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool valid_alpha(double alpha) {
  return alpha > 0.0 && alpha < 1.0;
}

}  // namespace

double t_exact(double alpha, int f) {
  if (f < 1 || !valid_alpha(alpha)) return kNaN;
  return quantile(complement(StudentT(f), alpha));
}

double F_exact(double alpha, int f1, int f2) {
  if (f1 < 1 || f2 < 1 || !valid_alpha(alpha)) return kNaN;
  return quantile(complement(FisherF(f1, f2), alpha));
}

double t_upper_tail(double value, int f) {
  if (f < 1 || std::isnan(value)) return kNaN;
  if (std::isinf(value)) return value > 0 ? 0.0 : 1.0;
  return cdf(complement(StudentT(f), value));
}

double F_upper_tail(double value, int f1, int f2) {
  if (f1 < 1 || f2 < 1 || std::isnan(value)) return kNaN;
  if (value <= 0.0) return 1.0;
  if (std::isinf(value)) return 0.0;
  return cdf(complement(FisherF(f1, f2), value));
}

double chi2_exact(double alpha, int f) {
  if (f < 1 || !valid_alpha(alpha)) return kNaN;
  return quantile(complement(ChiSquared(f), alpha));
}

double chi2_upper_tail(double value, int f) {
  if (f < 1 || std::isnan(value)) return kNaN;
  if (value <= 0.0) return 1.0;
  if (std::isinf(value)) return 0.0;
  return cdf(complement(ChiSquared(f), value));
}
