// Canvas text: cell sizes, anchoring in every direction, the anchoring rules,
// outstreamxy and long texts.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "helmert2d/canvas.h"
#include "support/canvas_support.h"

using canvas_test::Box;
using canvas_test::painted_box;

namespace {

constexpr int kW = 400, kH = 300;
constexpr int kBox = 2;  // background colour of text boxes, so boxes show on black

// A fresh black page with green text boxes and white text.
void page() {
  initwindow(kW, kH);
  setbkcolor(kBox);
  setcolor(15);
}

// Clears the page to black, keeping the green text boxes.
void clear() {
  setbkcolor(0);
  cleardevice();
  setbkcolor(kBox);
}

// Pixels of the inclusive box `b` of the current page, rows top first.
std::vector<int> pixels(const Box& b) {
  std::vector<int> out;
  for (int y = b.top; y <= b.bottom; ++y)
    for (int x = b.left; x <= b.right; ++x) out.push_back(getpixel(x, y));
  return out;
}

TEST(CanvasText, CellSizesFollowTheTable) {
  initwindow(10, 10);
  struct Row {
    int font, size, width, height;
  } rows[] = {{0, 1, 8, 8},   {0, 10, 80, 80},  {1, 1, 13, 18}, {1, 10, 88, 124},
              {2, 5, 8, 12},  {2, 10, 24, 36},  {3, 1, 11, 19}, {3, 4, 19, 32},
              {4, 4, 22, 32}, {4, 10, 88, 128}, {5, 2, 12, 21}, {6, 3, 14, 24},
              {7, 5, 29, 41}, {8, 6, 31, 53},   {9, 7, 38, 64}, {10, 8, 47, 80}};
  const char* alphabet = "abcdefghijklmnopqrstuvwxyz";
  for (const Row& r : rows) {
    settextstyle(r.font, 0, r.size);
    EXPECT_EQ(textheight("X"), r.height) << r.font << "/" << r.size;
    EXPECT_EQ(textheight(""), r.height);
    // Average character width of the table, within the rounding of hinted advances.
    EXPECT_NEAR(textwidth(alphabet) / 26.0, r.width, 0.06 * r.width + 0.3)
        << r.font << "/" << r.size;
  }
  // The console and Courier faces are fixed pitch.
  for (int font : {0, 8, 10}) {
    settextstyle(font, 0, 4);
    EXPECT_EQ(textwidth("iiii"), textwidth("MMMM")) << font;
  }
  EXPECT_EQ(textwidth(""), 0);
  // Size 0 scales row 4 by the integer quotients of the user character size.
  settextstyle(4, 0, 0);
  setusercharsize(5, 2, 3, 1);
  EXPECT_EQ(textheight("X"), 96);
  setusercharsize(1, 0, 1, 0);  // a zero divisor leaves the size alone
  EXPECT_EQ(textheight("X"), 32);
  setusercharsize(INT_MAX, 1, INT_MAX, 1);  // huge cells are bounded, not overflowed
  EXPECT_EQ(textheight("X"), 8192);
}

// Expected box of "Hello" for justification (h, v) in direction 0, with the anchor at
// (x, y), text width w and cell height H.
TEST(CanvasText, AnchoringInDirectionZero) {
  const int x = 200, y = 150;
  for (int h = 0; h <= 2; ++h)
    for (int v : {0, 2}) {
      page();
      settextstyle(1, 0, 4);
      settextjustify(h, v);
      const int w = textwidth("Hello"), H = textheight("Hello");
      outtextxy(x, y, "Hello");
      const int left = h == 0 ? x : h == 1 ? x - w / 2 : x - w;
      const int top = v == 0 ? y - H : y;
      EXPECT_EQ(painted_box(kW, kH), (Box{left, top, left + w - 1, top + H - 1}))
          << "justify " << h << "," << v;
    }
  // Vertical value 1 puts the baseline, not the middle, on the point.
  page();
  settextstyle(1, 0, 4);
  settextjustify(0, 1);
  outtextxy(x, y, "Hello");
  const Box b = painted_box(kW, kH);
  EXPECT_EQ(b.bottom - b.top + 1, 31);
  EXPECT_GT(y - b.top, 31 / 2);
  EXPECT_LT(y - b.top, 31);
  // Vertical value 3, which the boundary plot leaves behind, is taken as the bottom.
  page();
  settextstyle(1, 0, 4);
  settextjustify(0, 3);
  outtextxy(x, y, "Hello");
  EXPECT_EQ(painted_box(kW, kH).bottom, y - 1);
}

TEST(CanvasText, TurnedDirectionsSwapTheJustifications) {
  const int x = 200, y = 150;
  // In a turned direction the vertical value picks the anchor along the text and the
  // horizontal value the anchor across it.
  for (int dir = 1; dir <= 3; ++dir)
    for (int h : {0, 2})
      for (int v : {0, 1, 2}) {
        page();
        settextstyle(4, dir, 3);
        settextjustify(h, v);
        const int w = textwidth("Hello"), H = textheight("Hello");
        outtextxy(x, y, "Hello");
        const int ax = v == 0 ? 0 : v == 1 ? w / 2 : w;  // along: start, centre, end
        const int ay = h == 0 ? H : 0;                   // across: cell bottom, cell top
        Box want;
        if (dir == 1)  // bottom to top, glyph tops facing left
          want = {x - ay, y + ax - w, x - ay + H - 1, y + ax - 1};
        else if (dir == 2)  // upside down
          want = {x + ax - w, y + ay - H, x + ax - 1, y + ay - 1};
        else  // top to bottom, glyph tops facing right
          want = {x + ay - H, y - ax, x + ay - 1, y - ax + w - 1};
        EXPECT_EQ(painted_box(kW, kH), want) << "direction " << dir << " justify " << h << "," << v;
      }
}

TEST(CanvasText, QuarterTurnsShowIdenticalGlyphs) {
  page();
  settextstyle(1, 0, 5);
  const int w = textwidth("Rg"), H = textheight("Rg");
  outtextxy(10, 10, "Rg");
  const std::vector<int> flat = pixels({10, 10, 10 + w - 1, 10 + H - 1});
  for (int dir = 1; dir <= 3; ++dir) {
    page();
    settextstyle(1, dir, 5);
    settextjustify(0, 0);
    outtextxy(200, 150, "Rg");
    const Box b = painted_box(kW, kH);
    ASSERT_EQ(b.right - b.left + 1, dir == 2 ? w : H) << dir;
    for (int j = 0; j < H; ++j)
      for (int i = 0; i < w; ++i) {
        int px, py;  // where strip pixel (i, j) lands for this turn
        if (dir == 1)
          px = b.left + j, py = b.bottom - i;
        else if (dir == 2)
          px = b.right - i, py = b.bottom - j;
        else
          px = b.right - j, py = b.top + i;
        ASSERT_EQ(getpixel(px, py), flat[static_cast<std::size_t>(j * w + i)])
            << "direction " << dir << " at " << i << "," << j;
      }
  }
}

TEST(CanvasText, EndAnchoredAtBottomEdge) {
  page();
  settextstyle(4, 0, 2);
  settextjustify(2, 0);
  outtextxy(300, 100, "end");
  const Box b = painted_box(kW, kH);
  EXPECT_EQ(b.right, 299);  // the text ends at x
  EXPECT_EQ(b.bottom, 99);  // its cell bottom lies on y
}

TEST(CanvasText, AnchoringKeptAcrossDirectionChange) {
  page();
  settextjustify(0, 2);
  settextstyle(1, 0, 2);
  moveto(20, 20);
  outtext("Ab");  // fixes the anchors: start, cell top
  const int w = textwidth("Ab"), H = textheight("Ab");
  EXPECT_EQ(getx(), 20 + w);
  EXPECT_EQ(gety(), 20);

  page();
  settextjustify(0, 2);
  settextstyle(1, 0, 2);
  outtext("Ab");
  clear();
  settextstyle(1, 3, 2);
  moveto(200, 50);
  outtext("Ab");  // top to bottom, starting at the point, cells to the left of its column
  EXPECT_EQ(painted_box(kW, kH), (Box{200 - H, 50, 199, 50 + w - 1}));
  EXPECT_EQ(gety(), 50 + w);

  // Recomputed for direction 3: vertical 2 now means the text ends at the point and
  // horizontal 0 that the cell bottom (facing left) lies on it.
  clear();
  settextjustify(0, 2);
  moveto(200, 150);
  outtext("Ab");
  EXPECT_EQ(painted_box(kW, kH), (Box{200, 150 - w, 200 + H - 1, 149}));

  // Switching from outtext to outtextxy recomputes as well.
  page();
  settextjustify(0, 2);
  settextstyle(1, 0, 2);
  outtext("Ab");
  clear();
  settextstyle(1, 3, 2);
  outtextxy(200, 150, "Ab");
  EXPECT_EQ(painted_box(kW, kH), (Box{200, 150 - w, 200 + H - 1, 149}));
}

TEST(CanvasText, OuttextMovesAlongEachDirection) {
  page();
  settextstyle(4, 1, 2);
  moveto(100, 200);
  const int w = textwidth("up");
  outtext("up");
  EXPECT_EQ(getx(), 100);
  EXPECT_EQ(gety(), 200 - w);
  settextstyle(4, 2, 2);
  outtext("up");
  EXPECT_EQ(getx(), 100 - w);
  outtextxy(5, 5, "up");  // outtextxy leaves the current position
  EXPECT_EQ(getx(), 100 - w);
  EXPECT_EQ(gety(), 200 - w);
}

TEST(CanvasText, StreamLineByLine) {
  page();
  settextstyle(4, 0, 2);
  const int H = textheight("X");
  const int w12 = textwidth("12"), w34 = textwidth("34"), w5 = textwidth("5");
  canvasout << 12 << '\n' << 34 << "\n\n" << 5;
  outstreamxy(50, 40);
  EXPECT_EQ(canvasout.str(), "");
  EXPECT_EQ(painted_box(kW, kH), (Box{50, 40, 50 + std::max(w12, w34) - 1, 40 + 4 * H - 1}));
  // The empty line is skipped but still moves down.
  EXPECT_EQ(getpixel(50, 40 + 2 * H), 0);
  EXPECT_EQ(getpixel(50, 40 + 3 * H), kBox);
  EXPECT_EQ(getx(), 50 + w5);
  EXPECT_EQ(gety(), 40 + 3 * H);
  // An empty stream draws nothing and only moves the current position.
  clear();
  outstreamxy(7, 9);
  EXPECT_EQ(painted_box(kW, kH), Box{});
  EXPECT_EQ(getx(), 7);
  EXPECT_EQ(gety(), 9);
  // Any stream works, and a second call starts from an empty stream.
  std::ostringstream other;
  other << "ab";
  clear();
  outstreamxy(0, 0, other);
  EXPECT_EQ(other.str(), "");
  EXPECT_EQ(painted_box(kW, kH).right, textwidth("ab") - 1);
}

TEST(CanvasText, OpaqueBoxHidesLines) {
  page();
  setbkcolor(0);
  setcolor(14);
  line(0, 105, 399, 105);
  setcolor(15);
  settextstyle(4, 0, 4);
  const int w = textwidth("i");
  outtextxy(100, 100, "i");
  for (int x = 100; x < 100 + w; ++x) EXPECT_NE(getpixel(x, 105), 14) << x;
  EXPECT_EQ(getpixel(99, 105), 14);
  EXPECT_EQ(getpixel(100 + w, 105), 14);
}

TEST(CanvasText, LongTextsAreDrawnWhole) {
  // The visible end of a text far wider than any page is drawn like the short text.
  page();
  settextstyle(8, 0, 4);
  settextjustify(2, 2);
  const std::string tail = "XYZ";
  const int wt = textwidth(tail.c_str());
  outtextxy(390, 100, tail);
  const std::vector<int> want = pixels({390 - wt, 100, 389, 131});
  page();
  settextstyle(8, 0, 4);
  settextjustify(2, 2);
  const std::string text = std::string(5000, 'm') + tail;
  EXPECT_EQ(textwidth(text.c_str()), 5000 * textwidth("m") + wt);
  outtextxy(390, 100, text);
  EXPECT_EQ(pixels({390 - wt, 100, 389, 131}), want);
  EXPECT_EQ(painted_box(kW, kH), (Box{0, 100, 389, 131}));
}

TEST(CanvasText, BytesThatAreNotUtf8AreReadAsLatin1) {
  page();
  settextstyle(4, 0, 3);
  EXPECT_EQ(textwidth("\xE9t\xE9"), textwidth("\xC3\xA9t\xC3\xA9"));
  outtextxy(10, 10, "\xE9t\xE9");
  EXPECT_EQ(painted_box(kW, kH).right, 10 + textwidth("\xE9t\xE9") - 1);
  EXPECT_GT(canvas_test::count_color(kW, kH, 15), 10);
}

}  // namespace
