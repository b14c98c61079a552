// The named-point plot: window and frame geometry, mapping, displacement vectors with
// their components, the scale bar and the canvas state it leaves, on an off-screen page.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "helmert2d/grafik.h"
#include "plot_support.h"
#include "support/canvas_support.h"

namespace {

using canvas_test::column_art;
using canvas_test::row_art;
using namespace plot_test;

// Frame of the named-point plot for the current screen size.
struct Frame {
  int W = getmaxwidth() / 2 + 160;
  int H = getmaxheight() - 40;
  int L = 22, R = W - 10, T = 10, B = H - 20;
};

// 1-based point lists; V vertical, H horizontal, dV and dH their displacements (m).
struct Points {
  std::vector<std::string> names{""};
  std::vector<double> V{0}, H{0}, dV{0}, dH{0};
  void add(const std::string& n, double v, double h, double dv = 0, double dh = 0) {
    names.push_back(n);
    V.push_back(v);
    H.push_back(h);
    dV.push_back(dv);
    dH.push_back(dh);
  }
  int n() const { return static_cast<int>(names.size()) - 1; }
  void plot(int color = kRed, double shrink = 1.0) const {
    Grfk(n(), names.data(), V.data(), H.data(), dV.data(), dH.data(), color, shrink);
  }
};

TEST(NamedPointPlot, WindowFrameAndMapping) {
  const Frame f;
  Points p;
  p.add("A", 4500000, 400000);
  p.add("B", 4600000, 500000);
  p.plot(kRed, 1.21);
  EXPECT_EQ(getmaxx(), f.W - 1);
  EXPECT_EQ(getmaxy(), f.H - 1);
  EXPECT_EQ(Xekrn_M, (f.L + f.R) / 2);
  EXPECT_EQ(Yekrn_M, (f.T + f.B) / 2);
  EXPECT_DOUBLE_EQ(Xarz_M, 450000.0);
  EXPECT_DOUBLE_EQ(Yarz_M, 4550000.0);
  const double sx = (f.R - f.L) / 100000.0, sy = (f.B - f.T) / 100000.0;
  EXPECT_DOUBLE_EQ(Olck, std::min(sx, sy) / 1.21);
  // The black frame, two pixels wide.
  const int midx = (f.L + f.R) / 2, midy = (f.T + f.B) / 2;
  EXPECT_EQ(getpixel(midx, f.T), kBlack);
  EXPECT_EQ(getpixel(midx, f.B), kBlack);
  EXPECT_EQ(getpixel(f.L, midy + 100), kBlack);
  EXPECT_EQ(getpixel(f.R, midy + 100), kBlack);
  // A circle of radius 3 in the colour argument around each point.
  EXPECT_EQ(getpixel(SAG(400000) + 3, YKR(4500000)), kRed);
  EXPECT_EQ(getpixel(SAG(500000) - 3, YKR(4600000)), kRed);
  // Its name hangs below it, centred on its column.
  bool named = false;
  for (int y = YKR(4500000) + 4; y < YKR(4500000) + 20; ++y)
    named = named || getpixel(SAG(400000), y) == kRed;
  EXPECT_TRUE(named);
  // The canvas is left in the colour argument.
  EXPECT_EQ(getcolor(), kRed);
}

TEST(NamedPointPlot, TicksAndGridEvery50000) {
  const Frame f;
  Points p;
  p.add("A", 4500000, 400000);
  p.add("B", 4600000, 500000);
  p.plot(kRed, 1.21);
  // Grid value H = 450000 lies at the centre column, V = 4550000 at the centre row.
  const int px = SAG(450000), py = YKR(4550000);
  EXPECT_EQ(px, Xekrn_M);
  // Ticks with the frame's two-pixel pen, which covers the pixel and the one before.
  EXPECT_EQ(row_art(f.T + 3, px - 2, px + 1, kBlack), ".##.");     // below the top edge
  EXPECT_EQ(column_art(f.L + 4, py - 2, py + 1, kBlack), ".##.");  // right of the left edge
  // The grid cross at (450000, 4500000) is drawn after the names, in grey.
  const int gy = YKR(4500000);
  EXPECT_EQ(row_art(gy, px - 6, px + 6, COLOR(200, 200, 200)), ".###########.");
}

TEST(NamedPointPlot, DisplacementVectorAndItsComponents) {
  Points p;
  p.add("A", 4500000, 400000, 0.0, 0.0);
  p.add("B", 4600000, 500000, 0.0, 0.0);
  // 2 cm north and 1 cm east: drawn 13000 m and 6500 m long in world units.
  p.add("C", 4550000, 450000, 0.02, 0.01);
  p.plot(kRed, 1.21);
  const int x0 = SAG(450000), y0 = YKR(4550000);
  const int x1 = SAG(450000 + 6500.0), y1 = YKR(4550000 + 13000.0);
  ASSERT_GT(x1 - x0, 10);
  ASSERT_GT(y0 - y1, 20);
  // The vertical component from the point up to the end row, the horizontal one to
  // the end column, both dark green and drawn over the blue vector's start.
  EXPECT_EQ(getpixel(x0, (y0 + y1) / 2), kGreen);
  EXPECT_EQ(getpixel(x0, y1 + 1), kGreen);
  EXPECT_EQ(getpixel((x0 + x1) / 2, y0), kGreen);
  EXPECT_EQ(getpixel(x1 - 1, y0), kGreen);
  // The vector itself, blue, between them.
  EXPECT_EQ(getpixel((x0 + x1) / 2, (y0 + y1) / 2), kBlue);
  EXPECT_EQ(getpixel(x1, y1), kBlue);
  // No component beyond the ends.
  EXPECT_NE(getpixel(x0, y1 - 4), kGreen);
  EXPECT_NE(getpixel(x1 + 4, y0), kGreen);
}

TEST(NamedPointPlot, AxisLabelsReadUpwardAndHangCentredBelowTheFrame) {
  const Frame f;
  Points p;
  p.add("A", 4500000, 400000);
  p.add("B", 4600000, 500000);
  p.plot(kRed, 1.21);
  const int px = SAG(450000), py = YKR(4550000);
  // "4550000" reads upward in the left margin and ends at row py + 40.
  const canvas_test::Box row = ink_box(0, py - 80, f.L - 2, py + 80, kBlack);
  ASSERT_GE(row.right, 0);
  EXPECT_GE(row.left, 0);
  EXPECT_GT(height(row), 3 * width(row));
  EXPECT_LE(row.bottom, py + 40);
  EXPECT_GT(row.bottom, py + 30);
  // "450000" is centred on its column with its top 3 pixels below the bottom edge.
  const canvas_test::Box column = ink_box(px - 40, f.B + 2, px + 40, f.H - 1, kBlack);
  ASSERT_GE(column.right, 0);
  EXPECT_GT(width(column), height(column));
  EXPECT_GE(column.top, f.B + 3);
  EXPECT_LE(std::abs(column.left + column.right - 2 * px), 2);
}

// The named-point plot counts at most one grid line per pixel of the frame from its
// left and bottom edges; with lines closer than a pixel the crosses cover only a
// corner of the frame (the run's frame counts them all and fills it).
TEST(NamedPointPlot, GridCloserThanAPixelStaysInTheLowerLeftCorner) {
  const Frame f;
  Points p;
  p.add("A", 0, 0);
  p.add("B", 3e8, 3e8);
  p.plot(kRed, 1.0);
  const double per_line = 50000 * Olck;  // pixels between grid lines
  ASSERT_LT(per_line, 0.2);
  const canvas_test::Box grid = ink_box(0, 0, f.W - 1, f.H - 1, COLOR(200, 200, 200));
  ASSERT_GE(grid.right, 0);
  EXPECT_GE(grid.left, f.L - 5);
  EXPECT_LE(grid.right, f.L + 5 + static_cast<int>((f.R - f.L + 2) * per_line) + 1);
  EXPECT_LE(grid.bottom, f.B + 5);
  EXPECT_GE(grid.top, f.B - 5 - static_cast<int>((f.B - f.T + 2) * per_line) - 1);
}

// With Olck = 0.001 pixels per world unit the bar is 0.001 * 500000 * 0.039 = 19.5,
// so 19 pixels long, from column 32 to 51, 655 pixels above the bottom frame edge. The
// two-pixel pen with square ends also covers the pixel before each end.
TEST(NamedPointPlot, ScaleBarShowsThreeCentimetres) {
  const Frame f;
  Points p;
  p.add("A", 5000000, 400000);
  p.add("B", 5000000, 400000 + 1000.0 * (f.R - f.L));  // all at one V: Olck = sx
  p.plot(kRed, 1.0);
  ASSERT_DOUBLE_EQ(Olck, 0.001);
  EXPECT_DOUBLE_EQ(hat_cm, 0.039);
  const int y = f.B - 655;
  EXPECT_EQ(row_art(y, 30, 53, kBlue), ".#####################..");
  EXPECT_EQ(row_art(y - 1, 30, 53, kBlue), row_art(y, 30, 53, kBlue));
  EXPECT_EQ(column_art(32, f.B - 662, f.B - 649, kBlue), ".############.");
  EXPECT_EQ(column_art(51, f.B - 662, f.B - 649, kBlue), ".############.");
  // The label "3cm" above the bar, centred on column 51 - 40.
  bool label = false;
  for (int yy = f.B - 672; yy < y - 1; ++yy)
    for (int xx = 0; xx < 25; ++xx) label = label || getpixel(xx, yy) == kBlue;
  EXPECT_TRUE(label);
}

TEST(NamedPointPlot, NoneOneOrCoincidentPointsAreCentredAtOnePixelPerUnit) {
  for (int count : {0, 1, 3}) {
    Points p;
    for (int i = 0; i < count; ++i) p.add("P", 4500000, 400000, 0.01, 0.01);
    p.plot(kRed, 1.21);
    EXPECT_DOUBLE_EQ(Olck, 1.0) << count;
    EXPECT_DOUBLE_EQ(Xarz_M, count ? 400000.0 : 0.0) << count;
    if (count > 0) {
      EXPECT_EQ(getpixel(SAG(400000) + 3, YKR(4500000)), kRed);
    }
  }
}

TEST(NamedPointPlot, SrLVktr1SortsAscending) {
  std::vector<double> v{99, 3, -1, 3, 2.5, -7};
  SrLVktr1(5, v.data());
  EXPECT_EQ(v, (std::vector<double>{99, -7, -1, 2.5, 3, 3}));
  std::vector<double> one{0, 4};
  SrLVktr1(1, one.data());
  EXPECT_EQ(one[1], 4);
}

// The scale bar when the points lie so close together that 3 cm is drawn longer than
// the picture is wide.
TEST(NamedPointPlotScaleBar, DrawnWholeInsideThePictureOrLeftOut) {
  const Frame f;
  const double fits = 1000.0 * (f.R - f.L);  // bar 19 pixels long
  // Two points this far apart along H map the bar to 19500 (R - L) / separation
  // pixels: twice the picture width, and for 0.1 mm some 10^11 pixels, beyond int.
  const double twice_the_picture = 19500.0 * (f.R - f.L) / (2.0 * f.W);
  struct Case {
    double separation;
    bool drawn;
  } cases[] = {{fits, true}, {twice_the_picture, false}, {0.0001, false}, {1e-9, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.separation);
    Points p;
    p.add("A", 5000000, 400000);
    p.add("B", 5000000, 400000 + c.separation);
    p.plot(kRed, 1.0);
    // The band of the bar, its ticks and its label.
    const canvas_test::Box bar = ink_box(0, std::max(0, f.B - 675), f.W - 1, f.B - 645, kBlue);
    if (c.drawn) {
      EXPECT_EQ(getpixel(f.L + 10, f.B - 655), kBlue);
      EXPECT_EQ(bar.right, f.L + 10 + 19);
    } else {
      EXPECT_LT(bar.right, 0) << "blue from column " << bar.left << " to " << bar.right;
    }
  }
}

}  // namespace
