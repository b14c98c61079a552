// Conversions between Cartesian, geographic and Gauss-Krueger plane coordinates.
//
// Powers are taken with std::pow on purpose: the results then agree to the last bit
// with the published series as tabulated, term by term.
#include <cmath>

#include "helmert2d/dnsm.h"

namespace {

constexpr double kDegPerRad = 57.29577951308232;
constexpr double kHalfPi = 1.5707963267948966;
constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;

// Longitude difference reduced into (-pi, pi]. XYZ_BLh gives L in [0, 2 pi), so a
// point just west of Greenwich (L near 2 pi) about a central meridian of 0, or one
// given as -179.5 degrees about 180 degrees, would otherwise lie a full turn away.
// Differences already in range are returned unchanged, to the bit.
double reduce_half_turn(double l) {
  if (l > kPi || l <= -kPi) {
    l = std::fmod(l, kTwoPi);
    if (l > kPi)
      l -= kTwoPi;
    else if (l <= -kPi)
      l += kTwoPi;
  }
  return l;
}

// Derived quantities of the ellipsoid (a, b), recomputed for every call.
struct Ellipsoid {
  double e2;   // first eccentricity squared, 1 - b^2/a^2
  double ep2;  // second eccentricity squared, (a^2 - b^2)/b^2
  double c;    // polar radius of curvature, a^2/b
  double n;    // third flattening, (a - b)/(a + b)
  Ellipsoid(double a, double b)
      : e2(1.0 - (b * b) / (a * a)),
        ep2((a * a - b * b) / (b * b)),
        c(a * a / b),
        n((a - b) / (a + b)) {}
};

// Factor of the meridian arc series: ((a + b)/2)(1 + n^2/4 + n^4/64).
double arc_factor(double a, double b, double n) {
  return (a + b) / 2.0 * (1.0 + std::pow(n, 2) / 4.0 + std::pow(n, 4) / 64.0);
}

// Meridian arc length from the equator to latitude B (Helmert's series in n).
double meridian_arc(double a, double b, double n, double B) {
  const double s =
      B + (-1.5 * n + 0.5625 * std::pow(n, 3) - 0.09375 * std::pow(n, 5)) * std::sin(2.0 * B) +
      (0.9375 * std::pow(n, 2) - 0.46875 * std::pow(n, 4)) * std::sin(4.0 * B) +
      (-35.0 / 48.0 * std::pow(n, 3) + 0.41015625 * std::pow(n, 5)) * std::sin(6.0 * B) +
      0.615234375 * std::pow(n, 4) * std::sin(8.0 * B);
  return arc_factor(a, b, n) * s;
}

// Footpoint latitude of the meridian arc G (inverse of meridian_arc by series).
double footpoint_latitude(double a, double b, double n, double G) {
  const double s = G / arc_factor(a, b, n);
  return s +
         (1.5 * n - 0.84375 * std::pow(n, 3) + 0.525390625 * std::pow(n, 5)) * std::sin(2.0 * s) +
         (1.3125 * std::pow(n, 2) - 1.71875 * std::pow(n, 4)) * std::sin(4.0 * s) +
         (1.5729166666666667 * std::pow(n, 3) - 3.2578125 * std::pow(n, 5)) * std::sin(6.0 * s) +
         2.142578125 * std::pow(n, 4) * std::sin(8.0 * s);
}

}  // namespace

double DilimOrta(int zone_width, double L) {
  const double D = L * kDegPerRad;
  double c = 0.0;
  if (zone_width == 6) {
    c = 6.0 * std::trunc(D / 6.0) + 3.0;
    if (D - c > 3.0) c += 6.0;
  } else {
    c = 3.0 * std::trunc(D / 3.0);
    if (D - c > 1.5) c += 3.0;
  }
  return c / kDegPerRad;
}

void XYZ_BLh(double a, double b, double X, double Y, double Z, double& B, double& L, double& h) {
  const Ellipsoid el(a, b);
  const double p = std::sqrt(X * X + Y * Y);
  if (p == 0.0) {
    // On the polar axis the latitude formula divides 0 by 0; the point is at a pole.
    B = Z < 0.0 ? -kHalfPi : kHalfPi;
    L = 0.0;
    h = std::fabs(Z) - b;
    return;
  }
  const double theta = arctan(p * b, Z * a);
  B = std::atan((Z + el.ep2 * b * std::pow(std::sin(theta), 3)) /
                (p - el.e2 * a * std::pow(std::cos(theta), 3)));
  L = arctan(X, Y);
  const double N = a * a / std::sqrt(std::pow(a * std::cos(B), 2) + std::pow(b * std::sin(B), 2));
  if (std::cos(B) < 1e-3) {
    // Within 0.06 degrees of a pole p / cos B loses its digits (a rounding of B by
    // 1e-16 rad moves h by metres next to the axis); the equivalent height along Z
    // is exact there: h = Z / sin B - (b^2/a^2) N.
    h = Z / std::sin(B) - (b * b) / (a * a) * N;
    return;
  }
  h = p / std::cos(B) - N;
}

void BLh_XYZ(double a, double b, double B, double L, double h, double& X, double& Y, double& Z) {
  const double N = a * a / std::sqrt(std::pow(a * std::cos(B), 2) + std::pow(b * std::sin(B), 2));
  X = (N + h) * std::cos(B) * std::cos(L);
  Y = (N + h) * std::cos(B) * std::sin(L);
  Z = ((b * b) / (a * a) * N + h) * std::sin(B);
}

void BL_xy(double a, double b, double L0, double B, double L, double& x, double& y) {
  const Ellipsoid el(a, b);
  const double t = std::tan(B);
  const double eta2 = el.ep2 * std::pow(std::cos(B), 2);
  const double N = el.c / std::sqrt(1.0 + eta2);
  const double lam = reduce_half_turn(L - L0) * std::cos(B);
  const double t2 = std::pow(t, 2), t4 = std::pow(t, 4), t6 = std::pow(t, 6);
  const double eta4 = std::pow(eta2, 2);

  x = meridian_arc(a, b, el.n, B) +
      N * t *
          (std::pow(lam, 2) / 2.0 + std::pow(lam, 4) / 24.0 * (5.0 - t2 + 9.0 * eta2 + 4.0 * eta4) +
           std::pow(lam, 6) / 720.0 * (61.0 - 58.0 * t2 + t4 + 270.0 * eta2 - 330.0 * t2 * eta2) +
           std::pow(lam, 8) / 40320.0 * (1385.0 - 3111.0 * t2 + 543.0 * t4 - t6));
  y = N * (lam + std::pow(lam, 3) / 6.0 * (1.0 - t2 + eta2) +
           std::pow(lam, 5) / 120.0 * (5.0 - 18.0 * t2 + t4 + 14.0 * eta2 - 58.0 * t2 * eta2) +
           std::pow(lam, 7) / 5040.0 * (61.0 - 479.0 * t2 + 179.0 * t4 - t6));
}

void xy_BL(double a, double b, double L0, double x, double y, double& B, double& L) {
  const Ellipsoid el(a, b);
  const double Bf = footpoint_latitude(a, b, el.n, x);
  const double cf = std::cos(Bf);
  if (std::fabs(cf) < 1e-12) {
    // Footpoint at a pole: every meridian meets there, the series divide by cos Bf.
    B = Bf < 0.0 ? -kHalfPi : kHalfPi;
    L = L0;
    return;
  }
  const double t = std::tan(Bf);
  const double eta2 = std::pow(cf / b, 2) * (a * a - b * b);
  const double Nf = el.c / std::sqrt(1.0 + eta2);
  const double q = y / Nf;
  const double t2 = std::pow(t, 2), t4 = std::pow(t, 4), t6 = std::pow(t, 6);
  const double eta4 = std::pow(eta2, 2);

  B = Bf + t / 2.0 * (-1.0 - eta2) * std::pow(q, 2) +
      t / 24.0 * (5.0 + 3.0 * t2 + 6.0 * eta2 - 6.0 * t2 * eta2 - 3.0 * eta4 - 9.0 * t2 * eta4) *
          std::pow(q, 4) +
      t / 720.0 *
          (-61.0 - 90.0 * t2 - 45.0 * t4 - 107.0 * eta2 + 162.0 * t2 * eta2 + 45.0 * t4 * eta2) *
          std::pow(q, 6) +
      t / 40320.0 * (1385.0 + 3633.0 * t2 + 4095.0 * t4 + 1575.0 * t6) * std::pow(q, 8);
  L = L0 + q / cf + std::pow(q, 3) / (6.0 * cf) * (-1.0 - 2.0 * t2 - eta2) +
      std::pow(q, 5) / (120.0 * cf) * (5.0 + 28.0 * t2 + 24.0 * t4 + 6.0 * eta2 + 8.0 * t2 * eta2) +
      std::pow(q, 7) / (5040.0 * cf) * (-61.0 - 662.0 * t2 - 1320.0 * t4 - 720.0 * t6);
}

double Rgauss(double a, double b, double B) {
  const double e2 = (a * a - b * b) / a / a;
  const double w = 1.0 - std::sin(B) * (std::sin(B) * e2);
  const double M = a * (1.0 - e2) / std::pow(w, 1.5);
  const double N = a / std::sqrt(w);
  return std::sqrt(N * M);
}
