// Drawing from caches: texts drawn from cached glyphs leave exactly the page bytes that
// cairo's text path leaves, in every font, size, direction and justification, clipped
// or not, and texts outside the page cost nothing; small circles copied from their stamp
// leave exactly the bytes of cairo's stroke, whatever the centre, pen and clip.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "canvas/canvas_internal.h"
#include "canvas/circle_stamp.h"
#include "canvas/glyph_cache.h"
#include "canvas/raw_page.h"
#include "helmert2d/canvas.h"
#include "support/canvas_support.h"

namespace cd = helmert2d::canvas;

namespace {

using canvas_test::fill_raw;
using canvas_test::raw;
using canvas_test::Rect;

// Printable ASCII in lines of 12, so that every character also meets neighbours,
// pairs that kerning would move, the Turkish letters, a point name, and control
// characters and a sign beyond the Latin letters.
const std::vector<std::string> kTexts = [] {
  std::vector<std::string> texts(1);
  for (char c = ' '; c <= '~'; ++c) {
    if (texts.back().size() == 12) texts.emplace_back();
    texts.back() += c;
  }
  texts.push_back("AV To ff fi LT");
  texts.push_back(
      "\xC3\xA7\xC4\x9F\xC4\xB1\xC3\xB6\xC5\x9F\xC3\xBC\xC3\x87\xC4\x9E\xC4\xB0\xC3\x96\xC5\x9E\xC3"
      "\x9C");
  texts.push_back("P123456");
  texts.push_back("a\tb\x01\x7F\xC2\xA0\xE2\x82\xAC");  // controls, no-break space, euro
  return texts;
}();

// Draws `draw` through cairo and from the cache, each time from the same page state,
// and returns true when the page bytes inside `r` come out identical; `r` is left as
// it was before. Fails the test when the cached draw fell back to cairo and `cached`
// is expected.
template <class Draw>
bool same_both_ways(const Rect& r, Draw draw, bool cached = true) {
  const std::vector<std::uint32_t> before = raw(r);
  cd::set_glyph_cache(false);
  draw();
  const std::vector<std::uint32_t> reference = raw(r);
  fill_raw(r, before.empty() ? 0 : before[0]);
  cd::set_glyph_cache(true);
  const auto counts = cd::glyph_cache_counts();
  draw();
  const std::vector<std::uint32_t> from_cache = raw(r);
  if (cached) {
    EXPECT_EQ(cd::glyph_cache_counts().through_cairo, counts.through_cairo);
  }
  fill_raw(r, before.empty() ? 0 : before[0]);
  return reference == from_cache;
}

// Region that holds a text `w` long and `h` high whatever its justification, anchored at
// (x, y) in direction `dir`, with a margin that holds glyph parts beyond the text's box.
Rect around(int x, int y, int dir, int w, int h) {
  const int along = w + h + 2, across = h + h / 2 + 2;
  if (dir % 2 == 0) return {x - along, y - across, x + along, y + across};
  return {x - across, y - along, x + across, y + along};
}

constexpr int kPage = 3600;

// A black page for the comparisons, in a known raw state.
void page(int size = kPage) {
  initwindow(size, size);
  setbkcolor(0);
  cleardevice();
  fill_raw({0, 0, size - 1, size - 1}, 0);
}

// Every character of the table's fonts in sizes 1 to 10 and two user-scaled sizes, in
// four directions, with the justification changing from text to text.
TEST(CanvasGlyphCache, EveryFontSizeAndDirectionMatchesCairo) {
  page();
  const int c = kPage / 2;
  struct Size {
    int size, mx, dx, my, dy;
  };
  const Size sizes[] = {{1, 1, 1, 1, 1},  {2, 1, 1, 1, 1}, {3, 1, 1, 1, 1},
                        {4, 1, 1, 1, 1},  {5, 1, 1, 1, 1}, {7, 1, 1, 1, 1},
                        {10, 1, 1, 1, 1}, {0, 3, 1, 2, 1}, {0, 1, 1, 5, 1}};
  int k = 0;
  for (int font = 0; font <= 10; ++font)
    for (const Size& s : sizes)
      for (int dir = 0; dir < 4; ++dir) {
        settextstyle(font, dir, s.size);
        setusercharsize(s.mx, s.dx, s.my, s.dy);
        for (const std::string& text : kTexts) {
          ++k;
          settextjustify(k % 3, (k / 3) % 4);
          setcolor(k % 2 == 0 ? 15 : COLOR(200, 30, 90));
          setbkcolor(k % 5 == 0 ? 0 : 2);
          const int w = textwidth(text.c_str()), h = textheight(text.c_str());
          ASSERT_LT(w + 4, c) << font << "/" << s.size;
          EXPECT_TRUE(same_both_ways(around(c, c, dir, w, h), [&] { outtextxy(c, c, text); }))
              << "font " << font << " size " << s.size << " (" << s.mx << "/" << s.dx << "," << s.my
              << "/" << s.dy << ") direction " << dir << " text \"" << text << "\"";
        }
      }
  // Nothing was drawn outside the compared regions.
  EXPECT_EQ(canvas_test::painted_box(kPage, kPage), canvas_test::Box{});
}

// All twelve justifications in every direction, with the width's halving odd and even.
TEST(CanvasGlyphCache, EveryJustificationMatchesCairo) {
  page(400);
  for (int font : {0, 1, 4, 7})
    for (int size : {1, 6})
      for (int dir = 0; dir < 4; ++dir)
        for (const char* text : {"P\xC4\xB0\xC5\x9F"
                                 "12",
                                 "iW", "j"})
          for (int h = 0; h <= 2; ++h)
            for (int v = 0; v <= 3; ++v) {
              settextstyle(font, dir, size);
              settextjustify(h, v);
              const int w = textwidth(text), ht = textheight(text);
              EXPECT_TRUE(
                  same_both_ways(around(200, 200, dir, w, ht), [&] { outtextxy(200, 200, text); }))
                  << "font " << font << " size " << size << " direction " << dir << " justify " << h
                  << "," << v << " text " << text;
            }
}

// Texts cut by the page's edges and by the viewport clip, compared over the whole page;
// outtext and outstreamxy follow the same path.
TEST(CanvasGlyphCache, ClippedTextsMatchCairo) {
  constexpr int kW = 300, kH = 200;
  page(kW);
  const Rect all{0, 0, kW - 1, kW - 1};
  const std::string text = "Kg\xC4\x9F|P12_x";
  for (int dir = 0; dir < 4; ++dir)
    for (int size : {2, 6}) {
      settextstyle(1, dir, size);
      settextjustify(1, 1);
      // Across each edge and corner of the page.
      for (int x : {0, 3, kW / 2, kW - 4, kW})
        for (int y : {0, 5, kH / 2, kW - 6, kW})
          EXPECT_TRUE(same_both_ways(all, [&] { outtextxy(x, y, text); }))
              << "direction " << dir << " size " << size << " at " << x << "," << y;
      // Cut by a clipping viewport, and drawn past its edge with the clip off.
      for (int clip : {1, 0}) {
        setviewport(40, 30, 170, 120, clip);
        for (int x : {-20, 10, 120})
          EXPECT_TRUE(same_both_ways(all,
                                     [&] {
                                       moveto(x, 20);
                                       outtext(text);
                                       outtext("ab");
                                     }))
              << "direction " << dir << " viewport clip " << clip << " at " << x;
        setviewport(0, 0, kW - 1, kW - 1, 1);
      }
    }
  settextstyle(3, 0, 1);
  EXPECT_TRUE(same_both_ways(all, [] {
    canvasout << "line one\n\xE7"
                 "ok Latin-1\n";
    outstreamxy(5, 5, canvasout);
  }));
}

// Widths and the current position agree with cairo's for every font.
TEST(CanvasGlyphCache, WidthsMatchCairo) {
  page(100);
  for (int font = 0; font <= 10; ++font)
    for (int size : {1, 4, 9}) {
      settextstyle(font, 0, size);
      for (const std::string& text : kTexts) {
        cd::set_glyph_cache(false);
        const int reference = textwidth(text.c_str());
        cd::set_glyph_cache(true);
        EXPECT_EQ(textwidth(text.c_str()), reference) << font << "/" << size << " " << text;
      }
    }
}

// What the cache cannot reproduce goes through cairo: a NUL inside a text (whose width
// ends there) and cells too tall to cache.
TEST(CanvasGlyphCache, UncachedTextsGoThroughCairo) {
  page(400);
  settextstyle(4, 0, 2);
  const std::string with_nul("ab\0cd", 5);
  EXPECT_TRUE(same_both_ways(
      {0, 0, 399, 399}, [&] { outtextxy(10, 10, with_nul); }, false));
  auto counts = cd::glyph_cache_counts();
  outtextxy(10, 10, with_nul);
  EXPECT_EQ(cd::glyph_cache_counts().through_cairo, counts.through_cairo + 1);

  settextstyle(4, 0, 0);
  setusercharsize(1, 1, 20, 1);  // cells 640 pixels tall
  counts = cd::glyph_cache_counts();
  outtextxy(10, 10, "A");
  EXPECT_EQ(cd::glyph_cache_counts().through_cairo, counts.through_cairo + 1);
}

// A text wholly outside the page or the viewport clip draws nothing, yet outtext still
// moves the current position by its width.
TEST(CanvasGlyphCache, TextsOutsideThePageAreSkipped) {
  page(200);
  settextstyle(1, 0, 3);
  settextjustify(0, 2);
  const int w = textwidth("P123456");
  const auto counts = cd::glyph_cache_counts();
  outtextxy(-w, 50, "P123456");
  outtextxy(200, 50, "P123456");
  outtextxy(50, -textheight("P"), "P123456");
  setviewport(0, 0, 99, 99, 1);
  outtextxy(100, 10, "P123456");
  moveto(150, 10);
  outtext("P123456");
  EXPECT_EQ(getx(), 150 + w);
  const auto after = cd::glyph_cache_counts();
  EXPECT_EQ(after.cached, counts.cached);
  EXPECT_EQ(after.through_cairo, counts.through_cairo);
  setviewport(0, 0, 199, 199, 1);
  EXPECT_EQ(canvas_test::painted_box(200, 200), canvas_test::Box{});
  // One pixel inside is drawn.
  outtextxy(-w + 1, 50, "P123456");
  EXPECT_EQ(cd::glyph_cache_counts().cached, counts.cached + 1);
}

// Glyphs are drawn whole: the ink beyond the cell-high box (an underscore or a
// descender below a small cell, the hook of a J left of the start) equals cairo's own
// rendering of the text without a box, from the cache and through cairo alike, while
// the opaque box keeps its cell. The fonts and sizes of the plots' names among them.
TEST(CanvasGlyphCache, GlyphsBeyondTheBoxAreDrawnWhole) {
  constexpr int kSize = 120, kX = 40, kY = 60;
  struct Style {
    int font, size;
  };
  for (const Style st : {Style{0, 1}, Style{2, 5}, Style{4, 1}, Style{1, 1}, Style{5, 7}})
    for (const char* text : {"P_1", "Jog|y_", "(gj)"})
      for (bool cache : {true, false}) {
        page(kSize);
        settextstyle(st.font, 0, st.size);
        settextjustify(0, 1);  // the baseline on kY
        setbkcolor(2);
        setcolor(15);
        cd::set_glyph_cache(cache);
        outtextxy(kX, kY, text);
        cd::set_glyph_cache(true);
        const cd::CellFont& cf = cd::current_window().cell;
        const canvas_test::Box box{kX, kY - cf.ascent, kX + textwidth(text) - 1,
                                   kY - cf.ascent + cf.height - 1};
        // Cairo's pixels of the text alone.
        cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, kSize, kSize);
        cairo_t* c = cairo_create(mask);
        cairo_set_antialias(c, CAIRO_ANTIALIAS_NONE);
        cairo_set_scaled_font(c, cf.font);
        cairo_move_to(c, kX, kY);
        cairo_show_text(c, text);
        cairo_destroy(c);
        cairo_surface_flush(mask);
        const unsigned char* m = cairo_image_surface_get_data(mask);
        const int stride = cairo_image_surface_get_stride(mask);
        int beyond = 0, wrong = 0;
        for (int y = 0; y < kSize; ++y)
          for (int x = 0; x < kSize; ++x) {
            const bool in_box = x >= box.left && x <= box.right && y >= box.top && y <= box.bottom;
            const bool ink = m[y * stride + x] != 0;
            beyond += ink && !in_box;
            const int want = ink ? 15 : in_box ? 2 : 0;
            wrong += getpixel(x, y) != want;
          }
        cairo_surface_destroy(mask);
        const std::string what = "font " + std::to_string(st.font) + " size " +
                                 std::to_string(st.size) + " text " + text +
                                 (cache ? " cached" : " through cairo");
        EXPECT_EQ(wrong, 0) << what;
        // The plots' fonts cut the underscore (and more) without this.
        if (std::string(text) == "P_1" && (st.font == 0 || st.font == 2)) {
          EXPECT_GT(beyond, 0) << what;
        }
      }
  // A text whose box lies above the page still draws its underscore into it.
  page(kSize);
  settextstyle(0, 0, 1);
  settextjustify(0, 0);  // the box's bottom on y = 0: the box is off the page
  setcolor(15);
  outtextxy(10, 0, "__");
  EXPECT_GT(canvas_test::count_color(kSize, kSize, 15), 0);
}

// ---- Circle stamps ----

constexpr int kStampPage = 160;

// The page bytes after drawing `draw` on a black page, stamped or through cairo.
template <class Draw>
std::vector<std::uint32_t> drawn(bool stamped, Draw draw) {
  cd::set_circle_stamps(stamped);
  canvas_test::fill_raw({0, 0, kStampPage - 1, kStampPage - 1}, 0);
  draw();
  cd::set_circle_stamps(true);
  return canvas_test::raw({0, 0, kStampPage - 1, kStampPage - 1});
}

TEST(CanvasCircleStamp, StampedCirclesMatchCairo) {
  initwindow(kStampPage, kStampPage);
  for (int t : {1, 2, 3, 4, 7, 8, 9})
    for (int r : {1, 2, 3, 4, 5, 6, 7, 9, 12, 17, 25, 40, 64, 65}) {
      setlinestyle(0, 0, t);
      // Centres inside, near and across the page's edges and off it.
      for (int x : {-r - t, -r / 2, 0, 1, 33, kStampPage / 2, kStampPage - 2, kStampPage + r / 2})
        for (int y : {-1, 2, 71, kStampPage - 1, kStampPage + r})
          for (int clip : {0, 1}) {
            setviewport(20, 10, 130, 140, clip);
            setcolor(x % 2 == 0 ? 14 : COLOR(10, 200, 30));
            auto draw = [&] { circle(x - 20, y - 10, r); };
            ASSERT_EQ(drawn(true, draw), drawn(false, draw))
                << "radius " << r << " pen " << t << " centre " << x << "," << y << " clip "
                << clip;
          }
    }
  setviewport(0, 0, kStampPage - 1, kStampPage - 1, 1);
  // The plots' radii at a run of centres inside the page.
  for (int t : {1, 2, 3})
    for (int r : {2, 3, 7})
      for (int x = 40; x < 72; ++x)
        for (int y = 60; y < 64; ++y) {
          setlinestyle(0, 0, t);
          auto draw = [&] { circle(x, y, r); };
          ASSERT_EQ(drawn(true, draw), drawn(false, draw))
              << "radius " << r << " pen " << t << " centre " << x << "," << y;
        }
  setlinestyle(0, 0, 1);
}

TEST(CanvasCircleStamp, PlotCirclesAreStamped) {
  // The radii the plots draw, and every small one, come from stamps.
  for (int t = 1; t <= 8; ++t)
    for (int r = 1; r <= 64; ++r) EXPECT_TRUE(cd::circle_stamped(r, t)) << r << "/" << t;
  EXPECT_FALSE(cd::circle_stamped(65, 1));
  EXPECT_FALSE(cd::circle_stamped(3, 9));
}

TEST(CanvasCircleStamp, DashedCirclesAreNotStamped) {
  initwindow(kStampPage, kStampPage);
  for (int style : {1, 3}) {
    setlinestyle(style, 0, 1);
    auto draw = [] { circle(80, 80, 30); };
    EXPECT_EQ(drawn(true, draw), drawn(false, draw)) << style;
  }
  setlinestyle(0, 0, 1);
}

}  // namespace
