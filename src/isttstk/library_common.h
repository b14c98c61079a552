// Helpers shared by the library's report-writing tests (not installed).
#ifndef HELMERT2D_SRC_ISTTSTK_LIBRARY_COMMON_H
#define HELMERT2D_SRC_ISTTSTK_LIBRARY_COMMON_H

#include <cmath>

#include "helmert2d/yzdr.h"

namespace helmert2d::isttstk {

// Critical values are shown and compared rounded half up to 4 decimals. Values the
// integer-based rounding cannot hold (not finite, or beyond about 2e5) are passed on
// unrounded, so an invalid level still shows as inf or nan in the report.
inline double round4(double x) {
  return std::isfinite(x) && std::fabs(x) < 2.0e5 ? yuvarla(x, 4) : x;
}

}  // namespace helmert2d::isttstk

#endif  // HELMERT2D_SRC_ISTTSTK_LIBRARY_COMMON_H
