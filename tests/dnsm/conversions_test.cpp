// Geodetic conversions: worked examples, zone rules, forward/inverse round trips and
// points across the 0 and the 180 degree meridian.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "helmert2d/dnsm.h"

namespace {

constexpr double kA = 6378137.0;  // semi-axes of the ellipsoid of the boundary listings
constexpr double kB = 6356752.31425;
constexpr double kDeg = 57.29577951308232;  // degrees per radian
constexpr double kPi = 3.141592653589793;

double deg(double d) {
  return d / kDeg;
}

TEST(DilimOrta, ThreeAndSixDegreeZones) {
  // {zone width, longitude, central meridian}, degrees.
  const std::tuple<int, double, double> cases[] = {
      {3, 26.4, 27.0}, {3, 28.4, 27.0}, {3, 29.6, 30.0}, {3, -2.0, 0.0},
      {6, 26.4, 27.0}, {6, 29.9, 27.0}, {6, 30.1, 33.0}};
  for (const auto& [width, L, L0] : cases)
    EXPECT_DOUBLE_EQ(DilimOrta(width, deg(L)) * kDeg, L0) << width << " " << L;
  // The boundary test is strict: a longitude that converts to exactly 28.5 degrees
  // stays in the zone of 27 degrees.
  double L = deg(28.5);
  while (L * kDeg < 28.5) L = std::nextafter(L, 1.0);
  while (L * kDeg > 28.5) L = std::nextafter(L, 0.0);
  ASSERT_EQ(L * kDeg, 28.5);
  EXPECT_DOUBLE_EQ(DilimOrta(3, L) * kDeg, 27.0);
  EXPECT_DOUBLE_EQ(DilimOrta(3, std::nextafter(L, 1.0)) * kDeg, 30.0);
}

TEST(DilimOrta, WidthsOtherThanThreeAndSix) {
  for (double d : {26.4, 28.4, 29.6, 44.0}) {
    EXPECT_EQ(DilimOrta(4, deg(d)), DilimOrta(3, deg(d))) << d;
  }
}

// UTM check: the Gauss-Krueger coordinates scaled by 0.9996 with 500 km false easting
// must give the published UTM coordinates of this point to the centimetre.
TEST(BL_xy, UtmCheckPoint) {
  double x = 0.0, y = 0.0;
  BL_xy(kA, kB, deg(27.0), deg(41.0), deg(29.0), x, y);
  EXPECT_NEAR(x, 4542500.529, 0.001);
  EXPECT_NEAR(y, 168275.195, 0.001);
  EXPECT_NEAR(x * 0.9996, 4540683.53, 0.005);
  EXPECT_NEAR(y * 0.9996 + 500000.0, 668207.89, 0.005);
}

TEST(BL_xy, OnTheCentralMeridianYIsZeroAndXTheMeridianArc) {
  double x = 0.0, y = 1.0;
  BL_xy(kA, kB, deg(30.0), deg(41.0), deg(30.0), x, y);
  EXPECT_EQ(y, 0.0);
  // Meridian arc to 41 degrees on this ellipsoid (closed series in n, independent
  // evaluation by numerical quadrature of M dB below).
  const double e2 = 1.0 - (kB * kB) / (kA * kA);
  double G = 0.0;
  const int steps = 20000;
  const double B1 = deg(41.0), hstep = B1 / steps;
  for (int i = 0; i < steps; ++i) {  // midpoint rule, good to 1e-4 m here
    const double B = (i + 0.5) * hstep;
    const double s = std::sin(B);
    G += kA * (1.0 - e2) / std::pow(1.0 - e2 * s * s, 1.5) * hstep;
  }
  EXPECT_NEAR(x, G, 1e-3);
  double x0 = 1.0, y0 = 1.0;
  BL_xy(kA, kB, 0.0, 0.0, 0.0, x0, y0);
  EXPECT_EQ(x0, 0.0);
  EXPECT_EQ(y0, 0.0);
}

TEST(XYZ_BLh, RoundTripOverAGridOfLatitudesLongitudesAndHeights) {
  double worst_B = 0.0, worst_h = 0.0;
  for (double Bd = -89.0; Bd <= 89.0; Bd += 4.45) {
    for (double Ld = -180.0; Ld < 360.0; Ld += 27.5) {
      for (double h : {-500.0, 0.0, 123.456, 2500.0, 9000.0}) {
        double X, Y, Z, B, L, hh;
        BLh_XYZ(kA, kB, deg(Bd), deg(Ld), h, X, Y, Z);
        XYZ_BLh(kA, kB, X, Y, Z, B, L, hh);
        worst_B = std::max(worst_B, std::fabs(B - deg(Bd)));
        worst_h = std::max(worst_h, std::fabs(hh - h));
        // The longitude comes back in [0, 2 pi).
        double want = std::fmod(deg(Ld) + 2 * kPi, 2 * kPi);
        ASSERT_GE(L, 0.0);
        ASSERT_LT(L, 2 * kPi);
        ASSERT_NEAR(L, want, 1e-14) << Bd << " " << Ld;
      }
    }
  }
  // The one-step closed formula is not exact: its error grows with the height and is
  // 8.5e-7 m and 1.1e-13 rad at 9000 m (6.7e-8 m and 9e-15 rad up to 2500 m).
  EXPECT_LT(worst_B, 1e-12);
  EXPECT_LT(worst_h, 1e-6);
}

TEST(XYZ_BLh, WesternLongitudeComesBackAboveHalfCircle) {
  double X, Y, Z, B, L, h;
  BLh_XYZ(kA, kB, deg(40.0), deg(-30.0), 100.0, X, Y, Z);
  XYZ_BLh(kA, kB, X, Y, Z, B, L, h);
  EXPECT_NEAR(L * kDeg, 330.0, 1e-10);
}

// On the polar axis the closed formula divides 0 by 0; the poles come out instead.
TEST(XYZ_BLh, PointsOnThePolarAxisArePoles) {
  double B, L, h;
  XYZ_BLh(kA, kB, 0.0, 0.0, kB + 10.0, B, L, h);
  EXPECT_DOUBLE_EQ(B, kPi / 2);
  EXPECT_EQ(L, 0.0);
  EXPECT_NEAR(h, 10.0, 1e-9);
  XYZ_BLh(kA, kB, 0.0, 0.0, -kB - 10.0, B, L, h);
  EXPECT_DOUBLE_EQ(B, -kPi / 2);
  EXPECT_NEAR(h, 10.0, 1e-9);
  // Just off the axis the formula itself holds.
  XYZ_BLh(kA, kB, 1e-3, 0.0, kB + 10.0, B, L, h);
  EXPECT_NEAR(B, kPi / 2, 1e-9);
  EXPECT_NEAR(h, 10.0, 1e-6);
}

TEST(BLh_XYZ, EquatorAndPole) {
  double X, Y, Z;
  BLh_XYZ(kA, kB, 0.0, deg(90.0), 10.0, X, Y, Z);
  EXPECT_NEAR(X, 0.0, 1e-9);
  EXPECT_DOUBLE_EQ(Y, kA + 10.0);
  EXPECT_EQ(Z, 0.0);
  BLh_XYZ(kA, kB, kPi / 2, 0.0, 0.0, X, Y, Z);
  EXPECT_NEAR(Z, kB, 1e-6);
}

// Largest difference (arc seconds, longitude scaled by cos B) of BL_xy followed by
// xy_BL over latitudes -80..80 degrees and offsets up to max_offset_deg from the
// central meridian.
double worst_round_trip_arcsec(double max_offset_deg) {
  const double arcsec = kDeg * 3600.0;
  double worst = 0.0;
  for (double Bd = -80.0; Bd <= 80.0; Bd += 2.5) {
    for (double dl = -max_offset_deg; dl <= max_offset_deg; dl += max_offset_deg / 8) {
      const double L0 = deg(33.0);
      double x, y, B, L;
      BL_xy(kA, kB, L0, deg(Bd), L0 + deg(dl), x, y);
      xy_BL(kA, kB, L0, x, y, B, L);
      worst = std::max({worst, std::fabs(B - deg(Bd)) * arcsec,
                        std::fabs(L - L0 - deg(dl)) * arcsec * std::cos(deg(Bd))});
    }
  }
  return worst;
}

// Both series stop at the eighth power, so the round trip error grows with the ninth
// power of the offset: 1.3e-9" at 1 degree, 4.5e-8" at 2, 3.8e-7" (0.012 mm) at 3 on
// the equator. The 3-degree zones of the boundary listings reach 1.5 degrees.
TEST(xy_BL, InvertsBL_xyNearTheCentralMeridian) {
  EXPECT_LT(worst_round_trip_arcsec(1.5), 2e-8);
  EXPECT_LT(worst_round_trip_arcsec(2.0), 1e-7);
  EXPECT_LT(worst_round_trip_arcsec(3.0), 5e-7);
}

TEST(xy_BL, FootpointAtAPoleGivesThePoleOnTheCentralMeridian) {
  double xpole, y;
  BL_xy(kA, kB, 0.0, kPi / 2, 0.0, xpole, y);
  double B, L;
  xy_BL(kA, kB, deg(27.0), xpole, 1000.0, B, L);
  EXPECT_DOUBLE_EQ(B, kPi / 2);
  EXPECT_DOUBLE_EQ(L, deg(27.0));
  EXPECT_TRUE(std::isfinite(B) && std::isfinite(L));
}

// Gauss-Krueger coordinates of points on the other side of the 0 and the 180 degree
// meridian from the central meridian. Reference values: PROJ cct, +proj=tmerc +k=1 on
// the ellipsoid a = 6378137 m, b = 6356752.31425 m, false easting removed.
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

TEST(Rgauss, MeanRadiusOfCurvature) {
  EXPECT_DOUBLE_EQ(Rgauss(kA, kA, 0.7), kA);  // a sphere
  // At the equator M = b^2/a and N = a, so sqrt(M N) = b.
  EXPECT_NEAR(Rgauss(kA, kB, 0.0), kB, 1e-6);
  // At the pole M = N = a^2/b.
  EXPECT_NEAR(Rgauss(kA, kB, kPi / 2), kA * kA / kB, 1e-6);
  // At 41 degrees: Gaussian radius from M and N written out independently.
  const double e2 = 1.0 - (kB * kB) / (kA * kA), s = std::sin(deg(41.0));
  const double W = std::sqrt(1.0 - e2 * s * s);
  EXPECT_NEAR(Rgauss(kA, kB, deg(41.0)), std::sqrt(kA * (1 - e2) / (W * W * W) * kA / W), 1e-6);
}

}  // namespace
