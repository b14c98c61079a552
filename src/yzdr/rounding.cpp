// Rounding helpers used by the plot scaling and the statistics tests.
#include <cmath>

#include "helmert2d/yzdr.h"

double round1(double x) {
  // Truncate toward zero, then step one unit away from zero when the remainder is
  // half or more: halves round away from zero, so negative pixel offsets mirror
  // positive ones.
  // Done in double arithmetic, so values beyond the 32-bit range, infinities and NaN
  // pass through without an undefined integer conversion.
  // Below 2^52 in magnitude the conversion to an integer truncates as trunc does (the
  // sign kept for a negative zero), and much faster where trunc is a library call.
  double t = std::fabs(x) < 4503599627370496.0
                 ? std::copysign(static_cast<double>(static_cast<long long>(x)), x)
                 : std::trunc(x);
  if (std::fabs(x - t) >= 0.5) t += (x < 0.0) ? -1.0 : 1.0;
  return t;
}

double yuvarla(double x, int n) {
  double s = 1.0;
  for (int i = 0; i < n; ++i) s *= 10.0;
  for (int i = 0; i > n; --i) s /= 10.0;
  return round1(x * s) / s;
}
