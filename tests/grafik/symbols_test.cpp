// Point symbols and world-coordinate labels.
#include <gtest/gtest.h>

#include <vector>

#include "helmert2d/grafik.h"
#include "plot_support.h"
#include "support/canvas_support.h"

namespace {

using canvas_test::row_art;
using namespace plot_test;

void white_page() {
  initwindow(200, 200, "symbols");
  setbkcolor(kWhite);
  cleardevice();
}

TEST(Symbols, TriangleVerticesAndOutline) {
  white_page();
  Ucgen(100, 100, 7, kRed);
  // Vertices (100, 97), (103, 103), (97, 103); the outline is black.
  EXPECT_EQ(row_art(97, 96, 104, kBlack), "....#....");
  EXPECT_EQ(row_art(103, 96, 104, kBlack), ".#######.");
  EXPECT_EQ(getpixel(100, 101), kRed);
  EXPECT_EQ(getpixel(100, 96), kWhite);
  EXPECT_EQ(getpixel(100, 104), kWhite);
  EXPECT_EQ(getcolor(), kBlack);

  Ucgen(50, 50, 3, kRed);  // (50, 49), (51, 51), (49, 51)
  EXPECT_EQ(row_art(49, 48, 52, kBlack), "..#..");
  EXPECT_EQ(row_art(51, 48, 52, kBlack), ".###.");

  Ucgen(150, 50, 4, kRed);  // hh = 1, q = 2: base from 148 to 152
  EXPECT_EQ(row_art(49, 147, 153, kBlack), "...#...");
  EXPECT_EQ(row_art(51, 147, 153, kBlack), ".#####.");

  Ucgen(20, 150, 1, kRed);  // all three vertices on one pixel
  EXPECT_EQ(row_art(150, 19, 21, kBlack), ".#.");
  EXPECT_EQ(getpixel(20, 149), kWhite);
  EXPECT_EQ(getpixel(20, 151), kWhite);
}

TEST(Symbols, WorldLabelEndsAtThePoint) {
  white_page();
  Xekrn_M = 100;
  Yekrn_M = 100;
  Xarz_M = 0;
  Yarz_M = 0;
  Olck = 1.0;
  settextstyle(0, 0, 1);
  const std::string name = "K101-LONG-NAME";  // longer than five characters: drawn whole
  outtextxy(10.0, 50.0, name, kRed);          // pixel (150, 90)
  const canvas_test::Box b = ink_box(0, 0, 199, 199, kRed);
  ASSERT_GE(b.right, 0);
  EXPECT_LE(b.right, 150);
  EXPECT_GE(b.right, 150 - 2);
  EXPECT_LE(b.bottom, 90);
  EXPECT_GE(b.top, 90 - textheight(name.c_str()));
  EXPECT_GE(b.left, 150 - textwidth(name.c_str()));
  EXPECT_LT(b.left, 150 - textwidth(name.c_str()) + 4);  // the whole name is there
  EXPECT_EQ(getcolor(), kRed);
}

TEST(Symbols, CircleAndPolygonAtWorldPoints) {
  white_page();
  Xekrn_M = 100;
  Yekrn_M = 100;
  Xarz_M = 1000;
  Yarz_M = 2000;
  Olck = 0.5;
  Daire(1020, 2040, 2, kBlue);  // pixel (110, 80)
  EXPECT_EQ(getpixel(112, 80), kBlue);
  EXPECT_EQ(getpixel(108, 80), kBlue);
  EXPECT_EQ(getpixel(110, 80), kWhite);

  std::vector<double> H{0, 1000, 1040, 1040};
  std::vector<double> V{0, 2000, 2000, 2040};
  poligon(3, H.data(), V.data(), kBlack);
  EXPECT_EQ(H[0], 1040);
  EXPECT_EQ(V[0], 2040);
  EXPECT_EQ(row_art(100, 99, 121, kBlack), ".#####################.");
  EXPECT_EQ(getpixel(120, 90), kBlack);  // closing side
}

TEST(Symbols, NumbersAndTextsThroughTheTextStream) {
  white_page();
  settextstyle(0, 0, 1);
  setcolor(kBlack);
  SayiYaz(5, 5, 1234.5678);
  EXPECT_EQ(canvasout.str(), "");
  const int w = textwidth("1234.57");
  EXPECT_EQ(getpixel(5 + w + 2, 8), kWhite);
  const int maxx = ink_box(0, 5, 199, 12, kBlack).right;
  EXPECT_GT(maxx, 5 + w - 8);
  EXPECT_LT(maxx, 5 + w);
  YaziYaz(5, 50, std::string("AB"));
  YaziYaz(5, 70, "C");
  EXPECT_EQ(canvasout.str(), "");
}

}  // namespace
