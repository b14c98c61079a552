// Exact pixels of the drawing operations on an off-screen page.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "helmert2d/canvas.h"
#include "support/canvas_support.h"

using canvas_test::Box;
using canvas_test::column_art;
using canvas_test::count_color;
using canvas_test::painted_box;
using canvas_test::row_art;

namespace {

constexpr int kWhite = 15;
const int kRed = COLOR(255, 0, 0);

TEST(CanvasColor, PaletteAndDirectColours) {
  EXPECT_EQ(COLOR(255, 255, 255), 15);
  EXPECT_EQ(COLOR(0, 0, 0), 0);
  EXPECT_EQ(COLOR(128, 0, 0), 4);
  EXPECT_EQ(COLOR(192, 192, 192), 7);
  EXPECT_EQ(COLOR(255, 0, 0), 0x030000FF);
  EXPECT_EQ(COLOR(200, 200, 200), 0x03C8C8C8);
  EXPECT_EQ(COLOR(256 + 255, -256, 512), 0x030000FF);  // components modulo 256
  // Negative values are direct colours.
  const std::pair<int, int> rgbs[] = {
      {4, 0x000080}, {9, 0xFF8080}, {0x030000FF, 0x0000FF}, {0x7F123456, 0x123456}, {-1, 0xFFFFFF}};
  for (const auto& [color, rgb] : rgbs) EXPECT_EQ(converttorgb(color), rgb) << color;
  for (int i = 0; i < 16; ++i) {
    const int rgb = converttorgb(i);
    EXPECT_EQ(COLOR(rgb & 0xFF, (rgb >> 8) & 0xFF, rgb >> 16), i) << i;
  }
}

TEST(CanvasWindow, OpensBlackWithDefaults) {
  const int first = initwindow(40, 30, "page");
  const int second = initwindow(50, 20, "page");
  EXPECT_GE(first, 0);
  EXPECT_EQ(second, first + 1);
  EXPECT_EQ(getcurrentwindow(), second);
  EXPECT_EQ(getmaxx(), 49);
  EXPECT_EQ(getmaxy(), 19);
  EXPECT_EQ(getcolor(), 15);
  EXPECT_EQ(getbkcolor(), 0);
  EXPECT_EQ(painted_box(50, 20), Box{});
  EXPECT_FALSE(canvas_has_display());
  // Screen-sized plots are reproducible without a display.
  EXPECT_EQ(getmaxwidth(), 1018);
  EXPECT_EQ(getmaxheight(), 743);
  setcurrentwindow(first);
  EXPECT_EQ(getmaxx(), 39);
  EXPECT_EQ(initwindow(0, 10), -1);
  EXPECT_EQ(getcurrentwindow(), first);
}

TEST(CanvasWindow, DrawingWithoutWindowEndsWithStatus1) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process has no window
  EXPECT_EXIT(line(0, 0, 1, 1), testing::ExitedWithCode(1),
              "Drawing operation was attempted when there was no current window\\.");
  EXPECT_EXIT(setcolor(1), testing::ExitedWithCode(1), "no current window");
}

TEST(CanvasColor, SetColorDrawsPaletteAndDirectColours) {
  initwindow(20, 10);
  setcolor(4);
  line(0, 0, 5, 0);
  EXPECT_EQ(getpixel(3, 0), 4);
  EXPECT_EQ(converttorgb(getpixel(3, 0)), 0x000080);
  setcolor(0x030000FF);
  line(0, 1, 5, 1);
  EXPECT_EQ(getpixel(3, 1), kRed);
  setcolor(0x7F0000FF);  // upper bits ignored
  line(0, 2, 5, 2);
  EXPECT_EQ(getpixel(3, 2), kRed);
}

TEST(CanvasLine, WidthsCoverTheirPixels) {
  initwindow(40, 40);
  setcolor(kWhite);
  // Width 1: columns 10..20 of row 5 exactly, both ends included.
  line(10, 5, 20, 5);
  EXPECT_EQ(row_art(5, 8, 22, kWhite), "..###########..");
  EXPECT_EQ(row_art(4, 8, 22, kWhite), "...............");
  EXPECT_EQ(row_art(6, 8, 22, kWhite), "...............");
  // Width 2 runs along pixel edges: rows 14 and 15, square ends one pixel out on the left.
  setlinestyle(0, 0, 2);
  line(10, 15, 20, 15);
  EXPECT_EQ(row_art(14, 8, 22, kWhite), ".############..");
  EXPECT_EQ(row_art(15, 8, 22, kWhite), ".############..");
  EXPECT_EQ(row_art(13, 8, 22, kWhite), "...............");
  EXPECT_EQ(row_art(16, 8, 22, kWhite), "...............");
  // Width 3: rows 24..26, square ends one pixel beyond each end.
  setlinestyle(0, 0, 3);
  line(10, 25, 20, 25);
  for (int y = 24; y <= 26; ++y) EXPECT_EQ(row_art(y, 8, 22, kWhite), ".#############.") << y;
  EXPECT_EQ(row_art(23, 8, 22, kWhite), "...............");
  EXPECT_EQ(row_art(27, 8, 22, kWhite), "...............");
  // Vertical, drawn backwards.
  setlinestyle(0, 0, 1);
  line(35, 20, 35, 10);
  EXPECT_EQ(column_art(35, 8, 22, kWhite), "..###########..");
  // Width 2 vertically: columns 29 and 30, rows 9..20.
  setlinestyle(0, 0, 2);
  line(30, 10, 30, 20);
  EXPECT_EQ(column_art(29, 8, 22, kWhite), ".############..");
  EXPECT_EQ(column_art(30, 8, 22, kWhite), ".############..");
  EXPECT_EQ(column_art(31, 8, 22, kWhite), "...............");
  setlinestyle(0, 0, 1);
  // A zero-length line is one pen dot.
  line(2, 35, 2, 35);
  EXPECT_EQ(row_art(35, 0, 4, kWhite), "..#..");
  EXPECT_EQ(column_art(2, 33, 37, kWhite), "..#..");
}

TEST(CanvasLine, DiagonalAndClipped) {
  initwindow(30, 30);
  line(0, 0, 9, 9);
  for (int i = 0; i <= 9; ++i) EXPECT_EQ(getpixel(i, i), kWhite) << i;
  EXPECT_EQ(count_color(30, 30, kWhite), 10);
  // Far outside coordinates are clipped, not wrapped.
  line(-2000000000, 20, 2000000000, 20);
  EXPECT_EQ(row_art(20, 0, 29, kWhite), std::string(30, '#'));
  line(15, -2000000000, 15, 2000000000);
  EXPECT_EQ(column_art(15, 0, 29, kWhite), std::string(30, '#'));
}

TEST(CanvasLine, DashStyles) {
  initwindow(80, 40);
  setlinestyle(1, 0, 1);  // dotted: 3 on, 4 off
  line(0, 1, 29, 1);
  EXPECT_EQ(row_art(1, 0, 29, kWhite), "###....###....###....###....##");
  setlinestyle(2, 0, 1);  // centre: 3 on, 4 off, 7 on, 4 off
  line(0, 3, 29, 3);
  EXPECT_EQ(row_art(3, 0, 29, kWhite), "###....#######....###....#####");
  setlinestyle(3, 0, 1);  // dashed: 7 on, 4 off
  line(0, 5, 29, 5);
  EXPECT_EQ(row_art(5, 0, 29, kWhite), "#######....#######....#######.");
  setlinestyle(4, 0xF0F0, 1);  // user pattern, one pixel per bit
  line(0, 7, 19, 7);
  EXPECT_EQ(row_art(7, 0, 19, kWhite), "####....####....####");
  setlinestyle(4, 0x0FFF, 1);  // a pattern starting with off bits
  line(0, 9, 19, 9);
  EXPECT_EQ(row_art(9, 0, 19, kWhite), "....############....");
  setlinestyle(4, 0, 1);  // an empty pattern draws nothing
  line(0, 11, 19, 11);
  EXPECT_EQ(row_art(11, 0, 19, kWhite), std::string(20, '.'));
  // Vertical dashes run from the start point.
  setlinestyle(1, 0, 1);
  line(60, 20, 60, 1);
  EXPECT_EQ(column_art(60, 1, 20, kWhite), "...###....###....###");
  // Wider pens keep the runs in pixels: dashed width 3 spans rows 29..31.
  setlinestyle(3, 0, 3);
  line(1, 30, 30, 30);
  for (int y = 29; y <= 31; ++y)
    EXPECT_EQ(row_art(y, 0, 22, kWhite), "#######....#######....#") << y;
}

TEST(CanvasCircle, OutlineIsSymmetricAndExact) {
  initwindow(60, 60);
  setbkcolor(0);
  circle(30, 30, 10);
  EXPECT_EQ(painted_box(60, 60), (Box{20, 20, 40, 40}));
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 60; ++x) {
      const int p = getpixel(x, y);
      ASSERT_EQ(p, getpixel(60 - x, y)) << x << "," << y;
      ASSERT_EQ(p, getpixel(y, x)) << x << "," << y;
    }
  EXPECT_EQ(getpixel(30, 30), 0);
  EXPECT_EQ(getpixel(40, 30), kWhite);
  EXPECT_EQ(getpixel(30, 20), kWhite);
  // A thicker pen widens the ring to both sides.
  initwindow(60, 60);
  setlinestyle(0, 0, 3);
  circle(30, 30, 10);
  EXPECT_EQ(painted_box(60, 60), (Box{19, 19, 41, 41}));
  EXPECT_EQ(row_art(30, 18, 42, kWhite).substr(0, 5), ".###.");
  // Radius 0 is a dot; circles far away draw nothing and do not fail.
  initwindow(20, 20);
  circle(5, 5, 0);
  circle(2000000000, 5, 1000000000);
  EXPECT_EQ(painted_box(20, 20), (Box{5, 5, 5, 5}));
}

TEST(CanvasFill, PolygonEvenOddWithOutline) {
  initwindow(60, 60);
  setcolor(kWhite);
  setfillstyle(1, 4);
  const int square[] = {10, 10, 20, 10, 20, 20, 10, 20};
  fillpoly(4, square);
  EXPECT_EQ(row_art(10, 9, 21, kWhite), ".###########.");
  EXPECT_EQ(row_art(15, 9, 21, 4), "..#########..");
  EXPECT_EQ(row_art(15, 9, 21, kWhite), ".#.........#.");
  // Two nested squares as one path: even-odd leaves the inner one unfilled.
  const int nested[] = {30, 30, 58, 30, 58, 58, 30, 58, 30, 30,
                        40, 40, 48, 40, 48, 48, 40, 48, 40, 40};
  setcolor(2);
  fillpoly(10, nested);
  EXPECT_EQ(getpixel(35, 50), 4);
  EXPECT_EQ(getpixel(44, 44), 0);
  EXPECT_EQ(getpixel(40, 44), 2);
}

TEST(CanvasFill, BarLeavesRightColumnAndBottomRow) {
  initwindow(30, 30);
  setfillstyle(1, 14);
  bar(10, 10, 20, 15);
  EXPECT_EQ(painted_box(30, 30), (Box{10, 10, 19, 14}));
  EXPECT_EQ(count_color(30, 30, 14), 50);
  bar(5, 5, 5, 9);  // empty: zero columns
  EXPECT_EQ(painted_box(30, 30), (Box{10, 10, 19, 14}));
  bar(3, 27, 0, 25);  // corners in either order
  EXPECT_EQ(getpixel(0, 25), 14);
  EXPECT_EQ(getpixel(2, 26), 14);
  EXPECT_EQ(getpixel(3, 26), 0);
}

TEST(CanvasFill, PatternsAreAnchoredAtPageOrigin) {
  struct Pattern {
    int style;
    unsigned char rows[8];
  };
  const Pattern patterns[] = {{4, {0xE0, 0xC1, 0x83, 0x07, 0x0E, 0x1C, 0x38, 0x70}},
                              {5, {0x07, 0x83, 0xC1, 0xE0, 0x70, 0x38, 0x1C, 0x0E}},
                              {9, {0xCC, 0x33, 0xCC, 0x33, 0xCC, 0x33, 0xCC, 0x33}},
                              {10, {0x80, 0x00, 0x08, 0x00, 0x80, 0x00, 0x08, 0x00}},
                              {11, {0x88, 0x00, 0x22, 0x00, 0x88, 0x00, 0x22, 0x00}}};
  for (const auto& [style, rows] : patterns) {
    initwindow(40, 40);
    setbkcolor(1);
    setfillstyle(style, 14);
    bar(3, 5, 30, 29);
    for (int y = 5; y < 29; ++y)
      for (int x = 3; x < 30; ++x) {
        const bool set = (rows[y % 8] >> (7 - x % 8)) & 1;
        ASSERT_EQ(getpixel(x, y), set ? 14 : 1) << "style " << style << " at " << x << "," << y;
      }
  }
}

TEST(CanvasFill, HatchesHaveTheirDirections) {
  auto hatch = [](int style) {
    initwindow(32, 32);
    setbkcolor(1);
    setfillstyle(style, 14);
    bar(0, 0, 32, 32);
  };
  auto each = [](auto check) {
    for (int y = 0; y < 23; ++y)
      for (int x = 0; x < 23; ++x) check(x, y);
  };
  hatch(2);  // horizontal: uniform rows, one in eight painted
  each([](int x, int y) { ASSERT_EQ(getpixel(x, y), getpixel(x + 1, y)); });
  EXPECT_EQ(count_color(32, 32, 14), 4 * 32);
  hatch(3);  // rising to the right
  each([](int x, int y) { ASSERT_EQ(getpixel(x, y + 1), getpixel(x + 1, y)); });
  EXPECT_EQ(count_color(32, 32, 14), 4 * 32);
  hatch(6);  // falling to the right
  each([](int x, int y) { ASSERT_EQ(getpixel(x, y), getpixel(x + 1, y + 1)); });
  EXPECT_EQ(count_color(32, 32, 14), 4 * 32);
  hatch(7);  // horizontal and vertical
  each([](int x, int y) { ASSERT_EQ(getpixel(x, y), getpixel(x + 8, y + 8)); });
  EXPECT_EQ(count_color(32, 32, 14), 32 * 32 * 15 / 64);
  hatch(8);  // both diagonals
  each([](int x, int y) {
    ASSERT_EQ(getpixel(x, y), getpixel(7 - x % 8, y));
    ASSERT_EQ(getpixel(x, y), getpixel(x % 8, 7 - y % 8));
  });
}

TEST(CanvasFill, StyleZeroTakesBackgroundOfItsMoment) {
  initwindow(20, 20);
  setbkcolor(2);
  setfillstyle(0, 5);
  setbkcolor(3);
  bar(0, 0, 5, 5);
  EXPECT_EQ(getpixel(1, 1), 2);
  // Style 12 is refused quietly, larger ones with error -11; the brush stays.
  EXPECT_EQ(graphresult(), 0);
  setfillstyle(12, 9);
  EXPECT_EQ(graphresult(), 0);
  setfillstyle(13, 9);
  EXPECT_EQ(graphresult(), -11);
  EXPECT_EQ(graphresult(), 0);
  bar(5, 5, 10, 10);
  EXPECT_EQ(getpixel(6, 6), 2);
}

TEST(CanvasPage, ClearAndViewport) {
  initwindow(40, 40);
  setviewport(10, 10, 20, 20, 1);
  EXPECT_EQ(getx(), 0);
  line(-5, 0, 100, 0);  // clipped to the viewport; getpixel reads relative to it too
  EXPECT_EQ(row_art(0, -2, 12, kWhite), "..###########..");
  moveto(7, 8);
  line(0, 0, 3, 0);  // line does not move the current position
  EXPECT_EQ(getx(), 7);
  EXPECT_EQ(gety(), 8);
  setbkcolor(6);
  cleardevice();  // the whole page, whatever the clip
  setviewport(0, 0, 39, 39, 0);
  EXPECT_EQ(count_color(40, 40, 6), 1600);
  EXPECT_EQ(getx(), 0);
  EXPECT_EQ(gety(), 0);
}

}  // namespace
