// Boundary displacement files: reading into projected coordinates, on both sides of the
// 0 and the 180 degree meridian too, the two console listings byte for byte, their
// summary rows and the displacement vectors they draw. Reference values across the
// meridians: PROJ cct, +proj=tmerc +k=1 +x_0=500000 on the listing's ellipsoid.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "helmert2d/dnsm.h"
#include "helmert2d/grafik.h"
#include "plot_support.h"
#include "support/canvas_support.h"
#include "support/temp_dir.h"

namespace {

using testsupport::TempDir;

constexpr double kA = 6378137.0;
constexpr double kB = 6356752.31425;
constexpr double kDeg = 57.29577951308232;

// A displacement record for a point given geographically (degrees, metres) that moves
// by (north, east, up) metres in its local horizon.
std::string record(const std::string& name, double Bd, double Ld, double h, double north,
                   double east, double up) {
  const double B = Bd / kDeg, L = Ld / kDeg;
  double X, Y, Z;
  BLh_XYZ(kA, kB, B, L, h, X, Y, Z);
  const double dX =
      -std::sin(B) * std::cos(L) * north - std::sin(L) * east + std::cos(B) * std::cos(L) * up;
  const double dY =
      -std::sin(B) * std::sin(L) * north + std::cos(L) * east + std::cos(B) * std::sin(L) * up;
  const double dZ = std::cos(B) * north + std::sin(B) * up;
  char line[256];
  std::snprintf(line, sizeof line, "%s %.5f %.5f %.5f %.7f %.7f %.7f 0.0\n", name.c_str(), X, Y, Z,
                dX, dY, dZ);
  return line;
}

struct Read {
  int count = -1;
  std::vector<std::string> name;
  std::vector<double> x, y, h, dx, dy, dh;
  std::string out;
  explicit Read(const std::string& file) {
    std::ostringstream os;
    B3_B2(file, kA, kB, count, name, x, y, h, dx, dy, dh, os);
    out = os.str();
  }
};

TEST(B3_B2, ProjectsIntoTheZoneOfTheFirstPoint) {
  TempDir dir;
  // The first point lies in the 3-degree zone of 27 degrees; the second is the UTM
  // check point (41, 29), whose Gauss-Krueger coordinates about 27 degrees are known.
  const std::string file = dir.write("d.txt", record("P1", 41.0, 27.5, 100.0, 0, 0, 0.05) +
                                                  record("P2", 41.0, 29.0, 0.0, 0.03, 0, 0));
  const Read r(file);
  ASSERT_EQ(r.count, 2);
  EXPECT_EQ(r.out, "  NktSys :2     DOM :27\n");
  EXPECT_EQ(r.name[1], "P1");
  EXPECT_EQ(r.name[2], "P2");
  EXPECT_NEAR(r.x[2], 4542500.529, 0.001);
  EXPECT_NEAR(r.y[2], 500000.0 + 168275.195, 0.001);
  EXPECT_NEAR(r.h[1], 100.0, 1e-5);  // the file holds X, Y, Z to 1e-5 m
  EXPECT_NEAR(r.h[2], 0.0, 1e-5);
  // 5 cm up: only the height changes.
  EXPECT_NEAR(r.dh[1], 0.05, 1e-6);
  EXPECT_NEAR(r.dx[1], 0.0, 1e-6);
  EXPECT_NEAR(r.dy[1], 0.0, 1e-6);
  // 3 cm north: a plane shift of 3 cm enlarged by the projection's point scale
  // 1 + y^2 / (2 R^2) (R the Gaussian mean radius), the height unchanged.
  const double k = 1.0 + std::pow(168275.195 / Rgauss(kA, kB, 41.0 / kDeg), 2) / 2.0;
  EXPECT_NEAR(std::hypot(r.dx[2], r.dy[2]), 0.03 * k, 1e-7);
  EXPECT_GT(r.dx[2], 0.029);
  EXPECT_NEAR(r.dh[2], 0.0, 1e-6);
}

// Points across the meridians; each moves 1 cm north.
struct Point {
  const char* name;
  double B, L;  // degrees
  double x, y;  // expected, metres
};

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
    TempDir dir;
    std::string text;
    for (const Point& p : c.points) text += record(p.name, p.B, p.L, 0.0, 0.01, 0.0, 0.0);
    const Read r(dir.write("d.txt", text));
    EXPECT_EQ(r.out, c.zone_line);
    ASSERT_EQ(r.count, static_cast<int>(c.points.size()));
    for (int i = 1; i <= r.count; ++i) {
      const Point& p = c.points[i - 1];
      EXPECT_NEAR(r.x[i], p.x, 0.001) << p.name;
      EXPECT_NEAR(r.y[i], p.y, 0.001) << p.name;
      // 1 cm north stays 1 cm north, apart from the meridian convergence.
      EXPECT_NEAR(std::hypot(r.dx[i], r.dy[i]), 0.01, 1e-6) << p.name;
      EXPECT_GT(r.dx[i], 0.0099) << p.name;
    }
  }
}

TEST(B3_B2, EmptyOrMissingFileHasNoPointAndNoZone) {
  TempDir dir;
  for (const std::string& file : {dir.write("e.txt", "  \n\n"), dir.file("missing.txt")}) {
    const Read r(file);
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(r.out, "  NktSys :0     DOM :-\n");
    EXPECT_EQ(r.x.size(), 1u);
  }
}

TEST(B3_B2, EveryRecordNeedsAllEightFields) {
  TempDir dir;
  // With seven numbers the next record's numeric name is taken as the eighth field and
  // the reading goes out of step, ending at the next incomplete record.
  const std::string seven =
      "101 4208739.9 2334104.6 4171774.8 0.01 0.01 0.01\n"
      "102 4210660.1 2338158.9 4167572.0 0.01 0.01 0.01 0\n";
  EXPECT_EQ(Read(dir.write("s.txt", seven)).count, 1);
  // A name that is not a number ends the reading at once.
  const std::string named =
      "A1 4208739.9 2334104.6 4171774.8 0.01 0.01 0.01\n"
      "A2 4210660.1 2338158.9 4167572.0 0.01 0.01 0.01 0\n";
  EXPECT_EQ(Read(dir.write("n.txt", named)).count, 0);
  // A record cut short ends the reading; the records before it are kept.
  const std::string cut = std::string("A1 4208739.9 2334104.6 4171774.8 0.01 0.01 0.01 0\n") +
                          "A2 4210660.1 2338158.9\n";
  EXPECT_EQ(Read(dir.write("c.txt", cut)).count, 1);
}

TEST(B3_B2, AnyNumberOfRecordsAndAnyNameLength) {
  TempDir dir;
  const std::string long_name(40, 'N');
  std::string text = record(long_name, 40.5, 33.2, 900.0, 0.01, 0.02, 0.0);
  const std::string one = record("Q", 40.6, 33.3, 910.0, 0.01, 0.0, 0.0);
  for (int i = 0; i < 2500; ++i) text += one;
  const Read r(dir.write("big.txt", text));
  EXPECT_EQ(r.count, 2501);
  EXPECT_EQ(r.name[1], long_name);
  EXPECT_EQ(r.name[2501], "Q");
  EXPECT_EQ(r.out, "  NktSys :2501     DOM :33\n");
}

// Three points in the zone of 27 degrees: one moving east, one not moving and one
// moving south-west, toward the origin of the projected coordinates.
std::string three_points() {
  return record("K1", 40.20, 26.70, 41.3, 0.0136, 0.0046, 0.0102) +
         record("K2", 40.35, 27.18, 212.8, 0.0, 0.0, 0.0) +
         record("BN-3", 40.52, 28.14, 355.0, -0.009, -0.0297, -0.0021);
}

const char* const kRuleS =
    " ========  ==========  ==========  ========  ======  ======  ======  ======\n";
const char* const kHeadS =
    "    NN     Yukari[m]    Saga [m]     h [m]   vx[cm]  vy[cm]  vh[cm]  vS[cm]\n";

std::string listing(const std::string& file) {
  std::ostringstream os;
  B2_Ciz(file, COLOR(255, 0, 0), os);
  return os.str();
}

TEST(B2_Ciz, ListingByteForByte) {
  TempDir dir;
  const std::string out = listing(dir.write("d.txt", three_points()));
  const std::string expected =
      std::string("  NktSys :3     DOM :27\n") + kRuleS + kHeadS + kRuleS +
      "       K1  4451779.50   474456.72    41.300   1.358   0.465   1.020   1.436\n"
      "       K2  4468407.88   515292.13   212.800   0.000   0.000   0.000   0.000\n"
      "     BN-3  4487894.12   596607.55   355.000  -0.938  -2.958  -0.210  -3.104\n" +
      kRuleS +
      "\n MAX \n"
      "   1       K1  4451779.50   474456.72    41.300   1.358   0.465   1.020   1.436"
      "\n MIN \n"
      "   3     BN-3  4487894.12   596607.55   355.000  -0.938  -2.958  -0.210  -3.104\n";
  EXPECT_EQ(out, expected);
}

TEST(B2_Ciz, TiesGoToTheLaterRowAndSummaryRowsAlwaysNameAPoint) {
  TempDir dir;
  // Nobody moves: every vS is +0, and the last row wins both ties.
  const std::string still = record("S1", 40.2, 26.7, 10, 0, 0, 0) +
                            record("S2", 40.3, 26.8, 10, 0, 0, 0) +
                            record("S3", 40.4, 26.9, 10, 0, 0, 0);
  const std::string out = listing(dir.write("s.txt", still));
  EXPECT_NE(out.find("\n MAX \n   3       S3"), std::string::npos) << out;
  EXPECT_NE(out.find("\n MIN \n   3       S3"), std::string::npos) << out;
  EXPECT_EQ(out.find("-0.000"), std::string::npos);
  // Everybody moves toward the origin: the largest vS is negative and still names
  // the point that moved least.
  const std::string in = record("T1", 40.2, 26.7, 10, -0.02, -0.02, 0) +
                         record("T2", 40.3, 26.8, 10, -0.01, 0, 0) +
                         record("T3", 40.4, 26.9, 10, -0.03, -0.01, 0);
  const std::string out2 = listing(dir.write("t.txt", in));
  EXPECT_NE(out2.find("\n MAX \n   2       T2"), std::string::npos) << out2;
  EXPECT_NE(out2.find("\n MIN \n   3       T3"), std::string::npos) << out2;
  // Displacements of more than 10 m: the smallest row is still a real point.
  const std::string far =
      record("F1", 40.2, 26.7, 10, 20, 0, 0) + record("F2", 40.3, 26.8, 10, 15, 0, 0);
  const std::string out3 = listing(dir.write("f.txt", far));
  EXPECT_NE(out3.find("\n MIN \n   2       F2"), std::string::npos) << out3;
}

TEST(B2_Ciz, FileWithoutPointsSaysSo) {
  TempDir dir;
  const std::string file = dir.write("e.txt", "");
  EXPECT_EQ(listing(file), std::string("  NktSys :0     DOM :-\n") + kRuleS + kHeadS + kRuleS +
                               kRuleS + " No point in " + file + "\n");
}

TEST(B2_Ciz, DrawsTheNamedPointPlotWithTheListingsCoordinates) {
  TempDir dir;
  const std::string file = dir.write("d.txt", three_points());
  listing(file);
  const Read r(file);
  // x is plotted vertically and y horizontally, spread over 1/1.21 of the frame.
  EXPECT_DOUBLE_EQ(Xarz_M, (r.y[1] + r.y[3]) / 2.0);
  EXPECT_DOUBLE_EQ(Yarz_M, (r.x[1] + r.x[3]) / 2.0);
  const int px = SAG(r.y[2]), py = YKR(r.x[2]);
  EXPECT_EQ(getpixel(px + 3, py), COLOR(255, 0, 0));  // circle of K2
  EXPECT_EQ(getcolor(), COLOR(255, 0, 0));            // left red afterwards
}

// B2_Ciz leaves text in font 2 size 5, red, anchored left and bottom.
TEST(B2_Ciz, LeavesTextAnchoredLeftAndBottom) {
  TempDir dir;
  listing(dir.write("d.txt", three_points()));
  cleardevice();
  outtextxy(100, 100, "X");
  const canvas_test::Box text = plot_test::ink_box(60, 60, 139, 139, COLOR(255, 0, 0));
  ASSERT_GE(text.bottom, 0) << "no red text";
  EXPECT_LE(text.bottom, 100);
  EXPECT_LT(text.top, 95);
  EXPECT_GE(text.left, 100);
}

const char* const kRule = " ========  ==========  ==========  ========  ======  ======  ======\n";
const char* const kHead = "    NN     Yukari[m]    Saga [m]     h [m]   vx[cm]  vy[cm]  vh[cm]\n";

TEST(B2_Ciz1, ShortListingAndVectorsOnTheOpenPlot) {
  TempDir dir;
  const std::string file = dir.write("d.txt", three_points());
  listing(file);  // opens the plot and fixes its mapping
  const double olck = Olck;

  // A second epoch: K2 now moves 3 cm north.
  const std::string second = dir.write("e.txt", record("K2", 40.35, 27.18, 212.8, 0.03, 0, 0));
  std::ostringstream os;
  B2_Ciz1(second, COLOR(0, 128, 0), os);
  EXPECT_EQ(os.str(), std::string("  NktSys :1     DOM :27\n") + kRule + kHead + kRule +
                          "       K2  4468407.88   515292.13   212.800   3.000  -0.006  -0.000\n" +
                          kRule);
  EXPECT_EQ(Olck, olck);  // the mapping is the open plot's
  // The vector runs up from K2, 0.03 * 650000 world units long (its horizontal part
  // is below a pixel).
  const Read r(second);
  const int px = SAG(r.y[1]), py = YKR(r.x[1]), top = YKR(r.x[1] + 0.03 * 650000);
  ASSERT_GT(py - top, 10);
  EXPECT_EQ(getpixel(px, (py + top) / 2), COLOR(0, 0, 255));
  EXPECT_EQ(getpixel(px, top + 1), COLOR(0, 0, 255));
  EXPECT_EQ(getcolor(), COLOR(0, 0, 255));
}

TEST(B2_Ciz1, NoPointListsTheFrameOnly) {
  TempDir dir;
  listing(dir.write("d.txt", three_points()));
  std::ostringstream os;
  B2_Ciz1(dir.file("missing.txt"), COLOR(0, 128, 0), os);
  EXPECT_EQ(os.str(), std::string("  NktSys :0     DOM :-\n") + kRule + kHead + kRule + kRule);
}

}  // namespace
