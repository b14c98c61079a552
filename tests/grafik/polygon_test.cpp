// Point-in-polygon tests: the crossing test on single polygons and the polygon file scan.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "helmert2d/grafik.h"
#include "support/temp_dir.h"

namespace {

using testsupport::TempDir;

struct Polygon {
  std::vector<double> A, B;
  int at(double a, double b) const {
    return pnpoly(static_cast<int>(A.size()), A.data(), B.data(), a, b);
  }
};

const Polygon kSquare{{0, 1, 1, 0}, {0, 0, 1, 1}};

TEST(Pnpoly, UnitSquareEdgesAndCorners) {
  // Lower and left edges count as inside, upper and right edges as outside.
  const std::tuple<double, double, int> points[] = {
      {0.5, 0.5, 1}, {0.5, 0.0, 1},  {0.0, 0.5, 1}, {0.5, 1.0, 0},  {1.0, 0.5, 0}, {0.0, 0.0, 1},
      {1.0, 1.0, 0}, {-0.5, 0.5, 0}, {1.5, 0.5, 0}, {0.5, -0.5, 0}, {0.5, 1.5, 0}, {2.0, 2.0, 0}};
  for (auto [a, b, in] : points) EXPECT_EQ(kSquare.at(a, b), in) << a << "," << b;
  // Either orientation gives the same answers.
  const Polygon clockwise{{0, 0, 1, 1}, {0, 1, 1, 0}};
  EXPECT_EQ(clockwise.at(0.5, 0.5), 1);
  EXPECT_EQ(clockwise.at(0.5, 1.0), 0);
}

TEST(Pnpoly, ConcavePolygon) {
  // A U shape: two prongs above a base, open between a = 1 and a = 2 above b = 1.
  const Polygon u{{0, 3, 3, 2, 2, 1, 1, 0}, {0, 0, 3, 3, 1, 1, 3, 3}};
  EXPECT_EQ(u.at(0.5, 2.0), 1);  // left prong
  EXPECT_EQ(u.at(2.5, 2.0), 1);  // right prong
  EXPECT_EQ(u.at(1.5, 0.5), 1);  // base
  EXPECT_EQ(u.at(1.5, 2.0), 0);  // the notch
  // The ray from a point left of the shape at prong height crosses four edges.
  EXPECT_EQ(u.at(-1.0, 2.0), 0);
}

TEST(Pnpoly, SelfIntersectingPolygonsFollowTheEvenOddRule) {
  // An hourglass crossing itself at (1, 1): lobes below and above the crossing.
  const Polygon hourglass{{0, 2, 0, 2}, {0, 2, 2, 0}};
  EXPECT_EQ(hourglass.at(1.0, 0.2), 1);
  EXPECT_EQ(hourglass.at(1.0, 1.8), 1);
  EXPECT_EQ(hourglass.at(0.2, 1.0), 0);
  EXPECT_EQ(hourglass.at(1.8, 1.0), 0);
  // A five-pointed star drawn in one stroke: its centre is covered twice, so outside.
  const Polygon star{{0, 0.588, -0.951, 0.951, -0.588}, {1, -0.809, 0.309, 0.309, -0.809}};
  EXPECT_EQ(star.at(0.0, 0.0), 0);
  EXPECT_EQ(star.at(0.0, 0.8), 1);  // in the upper point
}

TEST(Pnpoly, RepeatedFirstVertexChangesNothing) {
  const Polygon u{{0, 3, 3, 2, 2, 1, 1, 0}, {0, 0, 3, 3, 1, 1, 3, 3}};
  Polygon closed = u;
  closed.A.push_back(u.A[0]);
  closed.B.push_back(u.B[0]);
  for (double a = -0.5; a <= 3.5; a += 0.25)
    for (double b = -0.5; b <= 3.5; b += 0.25)
      ASSERT_EQ(closed.at(a, b), u.at(a, b)) << a << "," << b;
}

TEST(Pnpoly, DegeneratePolygonsContainNothing) {
  EXPECT_EQ(pnpoly(0, nullptr, nullptr, 0, 0), 0);
  const double A[] = {1}, B[] = {1};
  EXPECT_EQ(pnpoly(1, A, B, 0, 1), 0);
}

// Two squares: "north" around (10..20, 10..20), "south" around (0..5, 0..5).
const char* const kTwoSquares =
    "4 north\n10 10  20 10  20 20  10 20\n"
    "4 south\n 0  0   5  0   5  5   0  5\n";

TEST(Gecerlimi, TrueOnlyWhenInsideNoPolygon) {
  TempDir dir;
  const std::string file = dir.write("poly.txt", kTwoSquares);
  EXPECT_FALSE(Gecerlimi(15, 15, file));
  EXPECT_FALSE(Gecerlimi(2, 2, file));
  EXPECT_TRUE(Gecerlimi(7, 7, file));
  EXPECT_TRUE(Gecerlimi(-1, 2, file));
}

TEST(Gecerlimi, MissingFileKeepsThePoint) {
  TempDir dir;
  EXPECT_TRUE(Gecerlimi(1, 1, dir.file("none.txt")));
  EXPECT_TRUE(Gecerlimi(1, 1, dir.path()));  // a directory reads as nothing
}

TEST(Gecerlimi, StopsAtTheFirstContainingPolygon) {
  TempDir dir;
  // Whatever follows the containing polygon is never read.
  const std::string first = dir.write("a.txt", std::string(kTwoSquares) + "garbage 1 2 x\n");
  EXPECT_FALSE(Gecerlimi(15, 15, first));
  // Garbage before it ends the file instead, so the later polygon is not reached.
  const std::string later = dir.write("b.txt", "garbage\n" + std::string(kTwoSquares));
  EXPECT_TRUE(Gecerlimi(15, 15, later));
}

TEST(Gecerlimi, CountsEndTheFileWhenNotPositiveWholeNumbers) {
  TempDir dir;
  for (const char* head : {"0 empty\n", "-3 neg\n", "2.5 half\n", "x name\n"}) {
    const std::string f = dir.write("p.txt", std::string(head) + kTwoSquares);
    EXPECT_TRUE(Gecerlimi(15, 15, f)) << head;
  }
  // A polygon cut short is not tested.
  const std::string cut = dir.write("cut.txt", "4 north\n10 10  20 10  20 20  10\n");
  EXPECT_TRUE(Gecerlimi(15, 15, cut));
  // A huge declared count with little data behind it does not allocate for the count.
  const std::string huge = dir.write("huge.txt", "999999999 big 1 2 3 4\n");
  EXPECT_TRUE(Gecerlimi(2, 3, huge));
}

TEST(Gecerlimi, ReadsOnlyTheDeclaredVertices) {
  TempDir dir;
  // The first polygon declares three vertices of the north square (a triangle); its
  // fourth pair is then read as the next polygon's count and name ("10" and "20"),
  // followed by the south square's text as vertices.
  const std::string f = dir.write("p.txt",
                                  "3 tri\n10 10  20 10  20 20  10 20\n"
                                  "4 south\n0 0  5 0  5 5  0 5\n");
  EXPECT_FALSE(Gecerlimi(18, 12, f));  // inside the triangle
  EXPECT_TRUE(Gecerlimi(12, 18, f));   // in the square, outside the triangle
}

TEST(Gecerlimi, ByteOrderMarkAndCrLf) {
  TempDir dir;
  const std::string f = dir.write("p.txt",
                                  "\xEF\xBB\xBF"
                                  "4 north\r\n10 10 20 10 20 20 10 20\r\n");
  EXPECT_FALSE(Gecerlimi(15, 15, f));
}

}  // namespace
