// Rounding helpers used by the plot scaling and the statistics tests.
#include <cmath>
#include <cstdint>

#include "helmert2d/yzdr.h"

double round1(double x) {
  // Truncate toward zero, then step one unit away from zero when the remainder is
  // half or more: halves round away from zero, so negative pixel offsets mirror
  // positive ones.
  auto t = static_cast<std::int32_t>(x);
  if (std::fabs(x - t) >= 0.5) t += (x < 0.0) ? -1 : 1;
  return static_cast<double>(t);
}

double yuvarla(double x, int n) {
  double s = 1.0;
  for (int i = 0; i < n; ++i) s *= 10.0;
  for (int i = 0; i > n; --i) s /= 10.0;
  return round1(x * s) / s;
}
