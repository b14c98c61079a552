// Boundary listings of points on both sides of the 0 and the 180 degree meridian: the
// zone named after "DOM :" and the projected coordinates. Reference values: PROJ cct,
// +proj=tmerc +k=1 +x_0=500000 on the listing's ellipsoid.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "helmert2d/dnsm.h"
#include "helmert2d/grafik.h"
#include "support/temp_dir.h"

namespace {

constexpr double kA = 6378137.0;
constexpr double kB = 6356752.31425;
constexpr double kDeg = 57.29577951308232;

struct Point {
  const char* name;
  double B, L;  // degrees
  double x, y;  // expected, metres
};

// A record of a point on the ellipsoid that moves 1 cm north.
std::string record(const Point& p) {
  const double B = p.B / kDeg, L = p.L / kDeg;
  double X, Y, Z;
  BLh_XYZ(kA, kB, B, L, 0.0, X, Y, Z);
  const double north = 0.01;
  char line[256];
  std::snprintf(line, sizeof line, "%s %.5f %.5f %.5f %.7f %.7f %.7f 0.0\n", p.name, X, Y, Z,
                -std::sin(B) * std::cos(L) * north, -std::sin(B) * std::sin(L) * north,
                std::cos(B) * north);
  return line;
}

struct Case {
  const char* what;
  std::vector<Point> points;
  const char* zone_line;
};

TEST(B3_B2, PointsAcrossTheZeroAndTheHalfCircleMeridian) {
  const Point g1{"G1", 51.5, 0.5, 5707830.8145, 534720.1596};
  const Point g2{"G2", 51.5, -0.5, 5707830.8145, 465279.8404};
  const Point g3{"G3", 51.5, 0.2, 5707731.2216, 513888.0970};
  const Point c1{"C1", 65.5, 179.5, 7267179.1950, 476854.2325};
  const Point c2{"C2", 65.5, -179.5, 7267179.1950, 523145.7675};
  const Point c3{"C3", 65.5, 179.8, 7267101.9990, 490741.6283};
  // Within one zone west of Greenwich the meridian keeps its name 348 (12 degrees W).
  const Point w1{"W1", 51.5, -11.0, 5708186.5148, 569439.7270};
  const Point w2{"W2", 51.5, -12.5, 5707830.8145, 465279.8404};
  const Case cases[] = {
      {"east point first", {g1, g2, g3}, "  NktSys :3     DOM :0\n"},
      {"west point first", {g2, g1, g3}, "  NktSys :3     DOM :0\n"},
      {"180, east first", {c1, c2, c3}, "  NktSys :3     DOM :180\n"},
      {"180, west first", {c2, c1, c3}, "  NktSys :3     DOM :180\n"},
      {"one western zone", {w1, w2}, "  NktSys :2     DOM :348\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::TempDir dir;
    std::string text;
    for (const Point& p : c.points) text += record(p);
    const std::string file = dir.write("d.txt", text);
    int count = 0;
    std::vector<std::string> name;
    std::vector<double> x, y, h, dx, dy, dh;
    std::ostringstream out;
    B3_B2(file, kA, kB, count, name, x, y, h, dx, dy, dh, out);
    EXPECT_EQ(out.str(), c.zone_line);
    ASSERT_EQ(count, static_cast<int>(c.points.size()));
    for (int i = 1; i <= count; ++i) {
      const Point& p = c.points[i - 1];
      EXPECT_NEAR(x[i], p.x, 0.001) << p.name;
      EXPECT_NEAR(y[i], p.y, 0.001) << p.name;
      // 1 cm north stays 1 cm north, apart from the meridian convergence.
      EXPECT_NEAR(std::hypot(dx[i], dy[i]), 0.01, 1e-6) << p.name;
      EXPECT_GT(dx[i], 0.0099) << p.name;
    }
  }
}

}  // namespace
