// The scale bar of the named-point plot when the points lie so close together that
// 3 cm is drawn longer than the picture is wide.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "helmert2d/grafik.h"
#include "plot_support.h"
#include "support/canvas_support.h"

namespace {

using plot_test::kBlue;

TEST(NamedPointPlotScaleBar, DrawnWholeInsideThePictureOrLeftOut) {
  const int W = getmaxwidth() / 2 + 160;
  const int H = getmaxheight() - 40;
  const int L = 22, R = W - 10, B = H - 20;
  const double fits = 1000.0 * (R - L);  // bar 19 pixels long
  // Two points this far apart along H map the bar to 19500 (R - L) / separation
  // pixels: twice the picture width, and for 0.1 mm some 10^11 pixels, beyond int.
  const double twice_the_picture = 19500.0 * (R - L) / (2.0 * W);
  struct Case {
    double separation;
    bool drawn;
  } cases[] = {{fits, true}, {twice_the_picture, false}, {0.0001, false}, {1e-9, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.separation);
    std::vector<std::string> names{"", "A", "B"};
    std::vector<double> V{0, 5000000, 5000000}, Hs{0, 400000, 400000 + c.separation};
    std::vector<double> dV{0, 0, 0}, dH{0, 0, 0};
    Grfk(2, names.data(), V.data(), Hs.data(), dV.data(), dH.data(), COLOR(255, 0, 0), 1.0);
    // The band of the bar, its ticks and its label.
    const canvas_test::Box bar = plot_test::ink_box(0, std::max(0, B - 675), W - 1, B - 645, kBlue);
    if (c.drawn) {
      EXPECT_EQ(getpixel(L + 10, B - 655), kBlue);
      EXPECT_EQ(bar.right, L + 10 + 19);
    } else {
      EXPECT_LT(bar.right, 0) << "blue from column " << bar.left << " to " << bar.right;
    }
  }
}

}  // namespace
