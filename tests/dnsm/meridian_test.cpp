// Gauss-Krueger coordinates of points on the other side of the 0 and the 180 degree
// meridian from the central meridian. Reference values: PROJ cct, +proj=tmerc +k=1 on
// the ellipsoid a = 6378137 m, b = 6356752.31425 m, false easting removed.
#include <gtest/gtest.h>

#include "helmert2d/dnsm.h"

namespace {

constexpr double kA = 6378137.0;
constexpr double kB = 6356752.31425;
constexpr double kDeg = 57.29577951308232;

struct Case {
  double L0, B, L;  // degrees; L as XYZ_BLh gives it, or signed
  double x, y;      // metres
};

TEST(BL_xy, LongitudeDifferenceIsTakenTheShortWayRound) {
  const Case cases[] = {
      // Greenwich: central meridian 0, points east and west of it.
      {0.0, 51.5, 0.5, 5707830.8145, 34720.1596},
      {0.0, 51.5, 359.5, 5707830.8145, -34720.1596},
      {0.0, 51.5, -0.5, 5707830.8145, -34720.1596},
      {360.0, 51.5, 0.2, 5707731.2216, 13888.0970},
      {360.0, 51.5, 359.5, 5707830.8145, -34720.1596},
      // The 180 degree meridian, north and south, with L0 given either way.
      {180.0, 65.5, 179.5, 7267179.1950, -23145.7675},
      {180.0, 65.5, -179.5, 7267179.1950, 23145.7675},
      {-180.0, 65.5, 179.8, 7267101.9990, -9258.3717},
      {-180.0, 65.5, 180.5, 7267179.1950, 23145.7675},
      {180.0, -44.0, -178.8, -4874522.5707, 96247.6895},
      {180.0, -44.0, 179.5, -4873943.9246, -40103.1152},
  };
  for (const Case& c : cases) {
    double x = 0.0, y = 0.0;
    BL_xy(kA, kB, c.L0 / kDeg, c.B / kDeg, c.L / kDeg, x, y);
    EXPECT_NEAR(x, c.x, 0.001) << c.L0 << " " << c.B << " " << c.L;
    EXPECT_NEAR(y, c.y, 0.001) << c.L0 << " " << c.B << " " << c.L;
  }
}

TEST(xy_BL, InvertsBL_xyAcrossGreenwich) {
  double x = 0.0, y = 0.0, B = 0.0, L = 0.0;
  BL_xy(kA, kB, 0.0, 51.5 / kDeg, 359.5 / kDeg, x, y);
  xy_BL(kA, kB, 0.0, x, y, B, L);
  EXPECT_NEAR(B * kDeg, 51.5, 1e-10);
  EXPECT_NEAR(L * kDeg, -0.5, 1e-10);
}

}  // namespace
