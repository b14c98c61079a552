// The plot frame: mapping numbers, frame, grid crosses, ticks, labels and the canvas
// state it leaves, checked pixel by pixel on an off-screen page.
#include <gtest/gtest.h>

#include <vector>

#include "helmert2d/grafik.h"
#include "plot_support.h"
#include "support/canvas_support.h"

namespace {

using canvas_test::Box;
using canvas_test::column_art;
using canvas_test::row_art;
using namespace plot_test;

// Points spanning 2000 m east-west and 1000 m north-south (V first, H second).
struct Spread {
  std::vector<double> V{0, 5000, 6000, 5500, 5500};
  std::vector<double> H{0, 3500, 4500, 3000, 5000};
};

TEST(PlotFrame, MappingOfTheRunsFrame) {
  Spread s;
  Grfk(4, s.V.data(), s.H.data(), 600, 600, 675, 0, 1000, 1.3);
  EXPECT_EQ(Xekrn_M, 315);
  EXPECT_EQ(Yekrn_M, 300);
  EXPECT_DOUBLE_EQ(Xarz_M, 4000.0);
  EXPECT_DOUBLE_EQ(Yarz_M, 5500.0);
  EXPECT_DOUBLE_EQ(Olck, 530.0 / 2000.0 / 1.3);  // sx is the smaller scale
  EXPECT_EQ(SAG(3000), 315 - 204);
  EXPECT_EQ(YKR(5000), 300 + 102);
  EXPECT_EQ(OLCK(1000), 204);
  EXPECT_EQ(getmaxx(), 599);
}

TEST(PlotFrame, FrameGridAndTicks) {
  Spread s;
  Grfk(4, s.V.data(), s.H.data(), 600, 600, 675, 0, 1000, 1.3);
  // The frame lines, two pixels wide.
  EXPECT_EQ(getpixel(300, 20), kMagenta);
  EXPECT_EQ(getpixel(300, 580), kMagenta);
  EXPECT_EQ(getpixel(50, 300), kMagenta);
  EXPECT_EQ(getpixel(580, 300), kMagenta);
  // Grid columns 111, 315, 519 (H = 3000, 4000, 5000) and rows 402, 198 (V = 5000,
  // 6000); nx = 5 columns were tried, the others fall outside the frame.
  for (int px : {111, 315, 519}) {
    for (int py : {402, 198}) {
      EXPECT_EQ(row_art(py, px - 6, px + 6, kGrey), ".###########.") << px << "," << py;
      EXPECT_EQ(column_art(px, py - 6, py + 6, kGrey), ".###########.") << px << "," << py;
    }
  }
  // Ticks of the horizontal axis (black, 5 pixels beside each frame line).
  for (int px : {111, 315, 519}) {
    EXPECT_EQ(getpixel(px, 24), COLOR(0, 0, 0)) << px;
    EXPECT_EQ(getpixel(px, 576), COLOR(0, 0, 0)) << px;
  }
  for (int py : {402, 198}) {
    EXPECT_EQ(getpixel(54, py), COLOR(0, 0, 0)) << py;
    EXPECT_EQ(getpixel(576, py), COLOR(0, 0, 0)) << py;
  }
  // No cross where no grid line is.
  EXPECT_EQ(getpixel(213, 300), kWhite);
}

TEST(PlotFrame, CrossesOnTheFrameEdgesAreDrawnOnePixelBeyondAreNot) {
  // One pixel per metre, no shrink: the grid every 10 m meets all four frame lines.
  std::vector<double> V{0, 0, 560, 280};
  std::vector<double> H{0, 0, 530, 265};
  Grfk(3, V.data(), H.data(), 600, 600, 0, 0, 10, 1.0);
  ASSERT_DOUBLE_EQ(Olck, 1.0);
  // Cross centres on the frame: their outer arm ends are grey.
  EXPECT_EQ(getpixel(45, 300), kGrey);   // left edge, column 50
  EXPECT_EQ(getpixel(585, 300), kGrey);  // right edge, column 580
  EXPECT_EQ(getpixel(310, 15), kGrey);   // top edge, row 20 (H = 260)
  EXPECT_EQ(getpixel(305, 580), kGrey);  // bottom edge, row 580 (below it: labels)

  // Shifted by one metre, the nearest crosses lie one pixel outside: not drawn.
  std::vector<double> V2{0, 1, 561, 281};
  std::vector<double> H2{0, 1, 531, 266};
  Grfk(3, V2.data(), H2.data(), 600, 600, 0, 0, 10, 1.0);
  EXPECT_EQ(SAG(0), 49);
  EXPECT_EQ(YKR(0), 581);
  EXPECT_NE(getpixel(44, 301), kGrey);   // would be the arm of a cross at (49, 301)
  EXPECT_NE(getpixel(304, 581), kGrey);  // would be the arm of a cross at (309, 581)
  // The first crosses inside are one grid step further in.
  EXPECT_EQ(getpixel(59, 301 - 5), kGrey);
  EXPECT_EQ(getpixel(304, 571), kGrey);
}

TEST(PlotFrame, ExtentsOfOneAxisOrNoneAtAll) {
  // All points with the same H: the scale comes from V alone.
  std::vector<double> V{0, 0, 1000, 500};
  std::vector<double> H{0, 7, 7, 7};
  Grfk(3, V.data(), H.data(), 600, 600, 0, 0, 1000, 1.3);
  EXPECT_DOUBLE_EQ(Olck, 560.0 / 1000.0 / 1.3);
  EXPECT_EQ(SAG(7), 315);

  // All at one place, and a single point: centred, one pixel per world unit.
  std::vector<double> P{0, 42.5, 42.5};
  Grfk(2, P.data(), P.data(), 600, 600, 0, 0, 1000, 1.3);
  EXPECT_DOUBLE_EQ(Olck, 1.0);
  EXPECT_EQ(SAG(42.5), 315);
  EXPECT_EQ(YKR(42.5), 300);
  Grfk(1, P.data(), P.data(), 600, 600, 0, 0, 1000, 1.3);
  EXPECT_DOUBLE_EQ(Olck, 1.0);
  Grfk(0, P.data(), P.data(), 600, 600, 0, 0, 1000, 1.3);
  EXPECT_DOUBLE_EQ(Olck, 1.0);
  EXPECT_EQ(SAG(0), 315);
}

TEST(PlotFrame, FarApartPointsDrawOnlyTheGridInsideTheFrame) {
  // A blunder of thousands of kilometres: millions of grid lines per axis, of which
  // only those inside the frame are visited. (This would run for hours otherwise.)
  std::vector<double> V{0, 4500000.0, 4500100.0, 9.9e9};
  std::vector<double> H{0, 500000.0, 500100.0, 500050.0};
  Grfk(3, V.data(), H.data(), 600, 600, 675, 0, 1000, 1.3);
  EXPECT_GT(canvas_test::count_color(600, 600, kGrey), 0);
  EXPECT_GT(Olck, 0.0);
  // Coordinates so large that the extent is infinite: no grid, no hang.
  std::vector<double> W{0, -1e308, 1e308};
  Grfk(2, W.data(), W.data(), 600, 600, 675, 0, 1000, 1.3);
  EXPECT_EQ(canvas_test::count_color(600, 600, kGrey), 0);
}

TEST(PlotFrame, MappingRoundsNegativeOffsetsAsMirrorImages) {
  Xekrn_M = 100;
  Yekrn_M = 100;
  Xarz_M = 0;
  Yarz_M = 0;
  Olck = 1.0;
  EXPECT_EQ(SAG(2.5), 103);
  EXPECT_EQ(SAG(-2.5), 97);
  EXPECT_EQ(SAG(-2.4), 98);
  EXPECT_EQ(SAG(-2.6), 97);
  EXPECT_EQ(YKR(2.5), 97);
  EXPECT_EQ(YKR(-2.5), 103);
  EXPECT_EQ(OLCK(-2.5), -3);
}

TEST(PlotFrame, CanvasStateAfterwards) {
  Spread s;
  Grfk(4, s.V.data(), s.H.data(), 600, 600, 675, 0, 1000, 1.3);
  EXPECT_EQ(getcolor(), COLOR(0, 0, 0));
  EXPECT_EQ(getbkcolor(), kWhite);
  // Fill solid red: a bar shows it.
  bar(560, 560, 563, 563);
  EXPECT_EQ(getpixel(561, 561), kRed);
  // Solid pen one pixel wide.
  setcolor(COLOR(0, 0, 255));
  line(400, 500, 410, 500);
  EXPECT_EQ(row_art(500, 399, 411, COLOR(0, 0, 255)), ".###########.");
  EXPECT_EQ(getpixel(405, 499), kWhite);
  EXPECT_EQ(getpixel(405, 501), kWhite);
  // Text font 0, direction 0, size 1: the 8-pixel cell of the default font.
  settextjustify(0, 2);
  EXPECT_EQ(textheight("X"), 8);
}

TEST(PlotFrame, DescendingSort) {
  std::vector<double> v{99, 3, 7, 7, -1, 12};
  SrLVktr(5, v.data());
  EXPECT_EQ(v, (std::vector<double>{99, 12, 7, 7, 3, -1}));
}

TEST(PlotFrame, AxisLabelsReadTheRightWay) {
  Spread s;
  Grfk(4, s.V.data(), s.H.data(), 600, 600, 675, 0, 1000, 1.3);
  const int black = COLOR(0, 0, 0);
  // Vertical axis: "6000" written left to right from (10, 193) with its cells' top
  // there: a box wider than high.
  const Box row = ink_box(0, 185, 49, 214, black);
  ASSERT_GE(row.right, 0);
  EXPECT_GE(row.left, 10);
  EXPECT_GE(row.top, 193);
  EXPECT_GT(width(row), height(row));
  // Horizontal axis: "3000" reads top to bottom from (111, 585).
  const Box column = ink_box(95, 582, 127, 599, black);
  ASSERT_GE(column.right, 0);
  EXPECT_GE(column.top, 585);
}

TEST(PlotFrame, GridCloserThanAPixelReachesTheFarFrameEdges) {
  // 300000 km across: about 700 grid lines per pixel. Every pixel of the frame gets a
  // cross, up to the right and top edges (labels hide the crosses near the left edge).
  std::vector<double> V{0, 0, 3e8}, H{0, 0, 3e8};
  Grfk(2, V.data(), H.data(), 600, 600, 0, 0, 1000, 1.3);
  ASSERT_LT(1000 * Olck, 0.01);
  EXPECT_EQ(getpixel(570, 30), kGrey);
  EXPECT_EQ(getpixel(300, 300), kGrey);
  const Box grid = ink_box(0, 0, 599, 599, kGrey);
  EXPECT_EQ(grid.right, 580 + 5);
  EXPECT_EQ(grid.top, 20 - 5);
  EXPECT_EQ(grid.bottom, 580 + 5);
}

}  // namespace
