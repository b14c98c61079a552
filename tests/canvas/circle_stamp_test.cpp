// Canvas circle stamps: small circles copied from their stamp leave exactly the page
// bytes that cairo's stroke leaves, whatever the centre, pen and clip.
#include "canvas/circle_stamp.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "canvas/raw_page.h"
#include "helmert2d/canvas.h"
#include "support/canvas_support.h"

namespace cd = helmert2d::canvas;

namespace {

constexpr int kPage = 160;

// The page bytes after drawing `draw` on a black page, stamped or through cairo.
template <class Draw>
std::vector<std::uint32_t> drawn(bool stamped, Draw draw) {
  cd::set_circle_stamps(stamped);
  canvas_test::fill_raw({0, 0, kPage - 1, kPage - 1}, 0);
  draw();
  cd::set_circle_stamps(true);
  return canvas_test::raw({0, 0, kPage - 1, kPage - 1});
}

TEST(CanvasCircleStamp, StampedCirclesMatchCairo) {
  initwindow(kPage, kPage);
  for (int t : {1, 2, 3, 4, 7, 8, 9})
    for (int r : {1, 2, 3, 4, 5, 6, 7, 9, 12, 17, 25, 40, 64, 65}) {
      setlinestyle(0, 0, t);
      // Centres inside, near and across the page's edges and off it.
      for (int x : {-r - t, -r / 2, 0, 1, 33, kPage / 2, kPage - 2, kPage + r / 2})
        for (int y : {-1, 2, 71, kPage - 1, kPage + r})
          for (int clip : {0, 1}) {
            setviewport(20, 10, 130, 140, clip);
            setcolor(x % 2 == 0 ? 14 : COLOR(10, 200, 30));
            auto draw = [&] { circle(x - 20, y - 10, r); };
            ASSERT_EQ(drawn(true, draw), drawn(false, draw))
                << "radius " << r << " pen " << t << " centre " << x << "," << y << " clip "
                << clip;
          }
    }
  setviewport(0, 0, kPage - 1, kPage - 1, 1);
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
  initwindow(kPage, kPage);
  for (int style : {1, 3}) {
    setlinestyle(style, 0, 1);
    auto draw = [] { circle(80, 80, 30); };
    EXPECT_EQ(drawn(true, draw), drawn(false, draw)) << style;
  }
  setlinestyle(0, 0, 1);
}

}  // namespace
