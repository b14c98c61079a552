// The residual plot: round factors and grid steps, label placement, the picture's
// pixels, degenerate jobs, saving complete or not at all, and a canvas left as found.
#include "grafik/residual_plot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <random>

#include "canvas/program_hooks.h"
#include "helmert2d/grafik.h"
#include "plot_support.h"
#include "support/canvas_support.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"

namespace {

namespace fs = std::filesystem;
using namespace helmert2d::grafik;
using testsupport::read_file;
using testsupport::TempDir;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(ResidualPlotNumbers, RoundValues) {
  struct Case {
    double x, down, nearest;
  };
  constexpr double kTiny = 1e-300;
  const Case cases[] = {{1, 1, 1},         {1.4, 1, 1},        {1.5, 1, 2},
                        {2, 2, 2},         {3.1, 2, 2},        {3.2, 2, 5},
                        {4.99, 2, 5},      {5, 5, 5},          {7.0, 5, 5},
                        {7.1, 5, 10},      {9.99, 5, 10},      {10, 10, 10},
                        {0.3, 0.2, 0.2},   {0.5, 0.5, 0.5},    {0.0049, 0.002, 0.005},
                        {12345, 1e4, 1e4}, {6600, 5000, 5000}, {kTiny, kTiny, kTiny},
                        {0, 0, 0},         {-3, 0, 0},         {kNaN, 0, 0},
                        {kInf, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    EXPECT_DOUBLE_EQ(round_down_125(c.x), c.down);
    EXPECT_DOUBLE_EQ(nearest_125(c.x), c.nearest);
  }
}

TEST(ResidualPlotNumbers, GridStepGivesFourToTenLines) {
  struct Case {
    double span, step;
  };
  const Case cases[] = {{700, 100},       {20, 5},      {39, 5},  {40, 10},       {41, 10},
                        {99, 20},         {0.37, 0.05}, {1, 0.2}, {86420, 20000}, {1e6, 2e5},
                        {0.0031, 0.0005}, {0, 0},       {kNaN, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.span);
    const double step = grid_step(c.span);
    EXPECT_DOUBLE_EQ(step, c.step);
    if (step == 0) continue;
    // Wherever the span starts, it holds 4 to 10 multiples of the step.
    for (double offset : {0.0, 0.31, 0.77, 123.4567}) {
      const double a = offset * step + 7 * step;
      const double first = std::ceil(a / step), last = std::floor((a + c.span) / step);
      const double lines = last - first + 1;
      EXPECT_GE(lines, 4) << offset;
      EXPECT_LE(lines, 10) << offset;
    }
  }
}

TEST(ResidualPlotNumbers, VectorFactorMakesTheLongestAboutTheTarget) {
  struct Case {
    double longest, pixels_per_metre, target, factor;
  };
  const Case cases[] = {
      {0.0283, 0.47, 88, 5000},  // 6616 rounds to 5000
      {0.01, 0.5, 88, 20000},    // 17600
      {0.003, 1, 87.5, 20000},   // 29167
      {0.5, 2, 80, 100},         // 80
      {2, 1, 1, 0.5},            // 0.5: vectors drawn shorter than life
      {0, 1, 88, 1},
      {kNaN, 1, 88, 1},
      {0.01, 0, 88, 1},
      {0.01, kInf, 88, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.longest);
    const double f = vector_factor(c.longest, c.pixels_per_metre, c.target);
    EXPECT_DOUBLE_EQ(f, c.factor);
    if (c.factor != 1) {
      const double drawn = c.longest * c.pixels_per_metre * f;
      EXPECT_GT(drawn, c.target / 1.6);
      EXPECT_LT(drawn, c.target * 1.6);
    }
  }
}

TEST(ResidualPlotNumbers, StepValueText) {
  struct Case {
    double value, step;
    const char* text;
  };
  const Case cases[] = {{4512300, 100, "4512300"}, {0.25, 0.05, "0.25"},    {12.5, 0.5, "12.5"},
                        {3, 0.002, "3.000"},       {-0.0001, 0.01, "0.00"}, {-200, 100, "-200"},
                        {5000, 5000, "5000"},      {0.5, 0.5, "0.5"},       {kNaN, 1, "-"}};
  for (const Case& c : cases) EXPECT_EQ(format_step_value(c.value, c.step), c.text) << c.value;
}

// ---- Label placement ----------------------------------------------------------------

TEST(ResidualPlotLabels, PlacesAwayFromTheVectorAndLeavesOutWhatDoesNotFit) {
  struct Step {
    int x, y;
    double east, north;
    std::optional<PixelBox> box;
  };
  // Labels 20 by 10 pixels, 5 pixels off the point, within 0..199.
  const std::vector<Step> steps{
      {100, 100, 0, 0, PixelBox{105, 86, 124, 95}},    // no vector: upper right
      {40, 40, 1, 1, PixelBox{16, 45, 35, 54}},        // vector north-east: lower left
      {160, 40, -1, -1, PixelBox{165, 26, 184, 35}},   // south-west: upper right
      {190, 100, 0, 0, PixelBox{166, 86, 185, 95}},    // right side would leave the page
      {100, 100, 0, 0, PixelBox{105, 105, 124, 114}},  // the same point again: next corner
      {100, 100, 0, 0, PixelBox{76, 86, 95, 95}},
      {100, 100, 0, 0, PixelBox{76, 105, 95, 114}},
      {100, 100, 0, 0, std::nullopt},  // beside and over are all taken
      {5, 195, 0, 0, PixelBox{10, 181, 29, 190}},
  };
  LabelPlacer placer({0, 0, 199, 199});
  int left_out = 0;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    SCOPED_TRACE(i);
    const Step& s = steps[i];
    const auto box = placer.place(s.x, s.y, 20, 10, 5, s.east, s.north);
    left_out += !s.box;
    ASSERT_EQ(box.has_value(), s.box.has_value());
    if (box) {
      EXPECT_EQ(box->left, s.box->left);
      EXPECT_EQ(box->top, s.box->top);
      EXPECT_EQ(box->right, s.box->right);
      EXPECT_EQ(box->bottom, s.box->bottom);
    }
    EXPECT_EQ(placer.left_out(), left_out);
  }
}

TEST(ResidualPlotLabels, BlockedAreasAreAvoided) {
  LabelPlacer placer({0, 0, 199, 199});
  placer.block({100, 0, 199, 199});  // the whole right half
  const auto box = placer.place(104, 100, 20, 10, 5);
  ASSERT_TRUE(box);
  EXPECT_LT(box->right, 100);
  EXPECT_FALSE(placer.place(150, 100, 20, 10, 5));
}

TEST(ResidualPlotLabels, DenseClusterNeverOverlaps) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> pos(60, 140), len(8, 60);
  LabelPlacer placer({0, 0, 199, 199});
  const int total = 300;
  for (int i = 0; i < total; ++i) {
    const int x = pos(rng), y = pos(rng);
    placer.block({x - 3, y - 3, x + 3, y + 3});
    placer.place(x, y, len(rng), 12, 5, (i % 3) - 1.0, (i % 5) - 2.0);
  }
  const auto& boxes = placer.placed();
  EXPECT_EQ(static_cast<int>(boxes.size()) + placer.left_out(), total);
  EXPECT_GT(placer.left_out(), 0);
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    EXPECT_TRUE(boxes[i].inside({0, 0, 199, 199}));
    for (std::size_t j = i + 1; j < boxes.size(); ++j)
      ASSERT_FALSE(boxes[i].overlaps(boxes[j])) << i << " " << j;
  }
}

// ---- The picture -------------------------------------------------------------------

using Picture = plot_test::Bmp;
using plot_test::load_bmp;

constexpr std::uint32_t kRed = 0xFF0000, kBlue = 0x0000FF, kGrey = 0x808080, kBlack = 0;

bool near_colour(const Picture& p, int x, int y, std::uint32_t c) {
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx)
      if (p.at(x + dx, y + dy) == c) return true;
  return false;
}

int count(const Picture& p, std::uint32_t c, int y0 = 0, int y1 = 799) {
  int n = 0;
  for (int y = y0; y <= y1; ++y)
    for (int x = 0; x < p.width; ++x) n += p.at(x, y) == c;
  return n;
}

// A square of four blue points 1000 m apart, the flagged point E at its centre with
// the longest residual pointing north-north-east (north 2, east 1), and a point left
// out.
ResidualPlotData small_job() {
  ResidualPlotData d;
  d.points = {{"A", 0, 0, 0.002, -0.001, false},
              {"B", 0, 1000, -0.001, 0.002, false},
              {"C", 1000, 0, 0.001, 0.001, false},
              {"D", 1000, 1000, -0.002, -0.002, false},
              {"E", 500, 500, 0.04, 0.02, true}};
  d.left_out = {{"Z", 800, 200}};
  d.n = 5;
  d.mo = 0.0123;
  d.k = 1.0000042;
  return d;
}

TEST(ResidualPlotPicture, FlaggedVectorPointsItsWayAboutAnEighthOfTheFrame) {
  TempDir dir;
  ASSERT_TRUE(save_residual_plot(small_job(), dir.file("r.bmp")));
  const Picture p = load_bmp(dir.file("r.bmp"));
  ASSERT_EQ(p.width, 800);
  ASSERT_EQ(p.height, 800);

  // The frame: the black lines that run along most of the picture.
  int L = -1, R = -1, T = -1, B = -1;
  for (int i = 0; i < 800; ++i) {
    int column = 0, row = 0;
    for (int j = 100; j <= 600; ++j) {
      column += p.at(i, j) == kBlack;
      row += p.at(j, i) == kBlack;
    }
    if (column > 400) (L < 0 ? L : R) = i;
    if (row > 400) (T < 0 ? T : B) = i;
  }
  ASSERT_GT(L, 0);
  ASSERT_GT(R, L + 500);
  ASSERT_GT(B, T + 500);
  const int side = R - L;

  // E sits at the centre of the points' extent, which is the frame's centre.
  const int cx = (L + R) / 2, cy = (T + B) / 2;
  EXPECT_TRUE(near_colour(p, cx, cy, kRed));
  // Red along the vector's direction from beyond the triangle to its tip.
  auto at = [&](int d, double east, double north) {
    const double r = std::hypot(east, north);
    return std::pair{cx + static_cast<int>(std::lround(d * east / r)),
                     cy - static_cast<int>(std::lround(d * north / r))};
  };
  int length = 0;
  for (int d = 10; d < side / 2; ++d) {
    const auto [x, y] = at(d, 1, 2);
    if (!near_colour(p, x, y, kRed)) break;
    length = d;
  }
  EXPECT_GT(length, side / 8.0 / 1.6);
  EXPECT_LT(length, side / 8.0 * 1.6);
  // Nothing red with north and east swapped, or across the vector.
  for (int d = 30; d < 60; ++d) {
    for (const auto& [east, north] : {std::pair{2, 1}, {-2, 1}, {2, -1}}) {
      const auto [x, y] = at(d, east, north);
      EXPECT_FALSE(near_colour(p, x, y, kRed)) << d << " " << east << " " << north;
    }
  }

  // Colours of the point kinds, and dark text in the legend strip below the frame.
  EXPECT_GT(count(p, kBlue), 50);
  EXPECT_GT(count(p, kGrey), 10);
  // Z, left out (north 800, east 200), is a hollow triangle: grey around a white centre.
  // The points' extent (1000 m) fills the frame's side / 1.5.
  const double pixels = side / 1.5 / 1000.0;
  const int zx = cx + static_cast<int>(std::lround(-300 * pixels)),
            zy = cy - static_cast<int>(std::lround(300 * pixels));
  for (int dy = 0; dy <= 1; ++dy) EXPECT_NE(p.at(zx, zy + dy), kGrey) << zx << " " << zy;
  EXPECT_TRUE(near_colour(p, zx, zy - 4, kGrey) || near_colour(p, zx, zy + 4, kGrey));
  EXPECT_GT(count(p, kBlack, 770, 799), 100);
  EXPECT_GT(count(p, kBlack, 750, 769), 50);  // scale bar and its labels

  // The scale bar: the longest residual, E's 44.7 mm, rounded down to 20 mm (not to the
  // nearer 50), drawn at the vectors' scale, so 20 / 44.72 of E's vector. Its black run starts at
  // the frame's left.
  int bar = 0;
  for (int y = 756; y < 770 && bar == 0; ++y)
    while (p.at(L + bar, y) == kBlack && p.at(L + bar + 1, y) == kBlack) ++bar;
  EXPECT_NEAR(bar, length * 20.0 / std::hypot(40.0, 20.0), 4.0) << length;

  // The legend says what the data hold: drawn here with the text it should have, in the
  // picture's font, its dark pixels are the picture's.
  initwindow(800, 800);
  setbkcolor(COLOR(255, 255, 255));
  cleardevice();
  settextstyle(2, 0, 5);
  setcolor(COLOR(0, 0, 0));
  settextjustify(0, 2);
  outtextxy(L, 780, "n = 5   mo = 12.3 mm   k = 1.0000042   flagged: 1   labels omitted: 0");
  int differ = 0;
  for (int y = 775; y < 800; ++y)
    for (int x = 0; x < 800; ++x)
      differ += (getpixel(x, y) == COLOR(0, 0, 0)) != (p.at(x, y) == kBlack);
  EXPECT_EQ(differ, 0);
}

// The bundled example through the program: its blunder (point 108, at the south-east,
// residual 10 cm south and 4 cm east) is the one red vector, the longest, pointing
// south-south-east from the point; the legend and the scale bar are written.
TEST(ResidualPlotPicture, TheExamplesBlunderIsTheLongestRedVector) {
  TempDir dir;
  const std::string ex = std::string(HELMERT2D_SOURCE_DIR) + "/examples/";
  const auto r = testsupport::run_program(HELMERT2D_PROGRAM,
                                          {"--no-window", "--no-pause", "--residual-plot", "r.bmp",
                                           ex + "local.txt", ex + "national.txt", "out.txt"},
                                          dir);
  ASSERT_EQ(r.status, 0) << r.out;
  const Picture p = load_bmp(dir.file("r.bmp"));
  ASSERT_EQ(p.width, 800);
  const auto [x0, y0, x1, y1] =
      canvas_test::box_where(0, 0, 799, 719, [&](int x, int y) { return p.at(x, y) == kRed; });
  ASSERT_GE(x1, 0) << "no red in the picture";
  EXPECT_GT(x0, 400);  // east half
  EXPECT_GT(y0, 400);  // south half
  // South about twice as far as east: taller than wide, and long (about 1/8 of the frame).
  EXPECT_GT(y1 - y0, x1 - x0);
  EXPECT_GT(std::hypot(x1 - x0, y1 - y0), 60.0);
  EXPECT_GT(count(p, kBlue), 200);
  EXPECT_GT(count(p, kBlack, 740, 799), 200);  // scale bar and legend rows
}

TEST(ResidualPlotPicture, DegenerateJobsGiveAPicture) {
  ResidualPlotData one{{{"P", 4512345.678, 523456.789, 0.004, -0.003, true}}, {}, 1, 0.0, 1.0};
  ResidualPlotData same = small_job();
  for (auto& pt : same.points) pt.X = pt.Y = 100;
  same.left_out[0].X = same.left_out[0].Y = 100;
  ResidualPlotData zero = small_job();
  for (auto& pt : zero.points) pt.vx = pt.vy = 0;
  ResidualPlotData odd = small_job();
  odd.points[0].vx = kNaN;
  odd.points[1].X = kInf;
  odd.left_out[0].Y = kNaN;
  odd.mo = kNaN;
  ResidualPlotData huge = small_job();
  huge.points[0].X = 1e300;
  huge.points[1].X = -1e300;
  struct Case {
    const char* name;
    ResidualPlotData data;
  };
  const Case cases[] = {
      {"empty", {{}, {}, 0, 0.0, 0.0}}, {"one point", one},  {"all at one place", same},
      {"no residuals", zero},           {"not finite", odd}, {"huge extent", huge}};
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = dir.file(std::string(c.name) + ".bmp");
    ASSERT_TRUE(save_residual_plot(c.data, file));
    const Picture p = load_bmp(file);
    EXPECT_EQ(p.width, 800);
    EXPECT_EQ(p.height, 800);
    EXPECT_GT(count(p, kBlack, 770, 799), 100);  // the legend
  }
}

// ---- Saving ---------------------------------------------------------------------------

TEST(ResidualPlotSave, CompleteOrAbsent) {
  TempDir dir;
  fs::create_symlink("/dev/full", dir.file("full.png"));
  fs::create_symlink(dir.file("target.png"), dir.file("link.png"));
  struct Case {
    std::string name;
    bool written;
    std::string magic;  // start of the file afterwards, when there is one
    std::string where;  // the file that receives the picture
  };
  const std::vector<Case> cases{
      {"p.bmp", true, "BM", "p.bmp"},
      {"p.PNG", true, "\x89PNG", "p.PNG"},
      {"missing/p.bmp", false, "", ""},
      {"missing/p.png", false, "", ""},
      {"full.png", false, "", ""},
      {"link.png", true, "\x89PNG", "target.png"},
      {"", false, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(save_residual_plot(small_job(), c.name.empty() ? "" : dir.file(c.name)), c.written);
    if (!c.where.empty()) {
      EXPECT_EQ(read_file(dir.file(c.where)).substr(0, c.magic.size()), c.magic);
    }
  }
  EXPECT_FALSE(fs::exists(dir.file("missing")));
  EXPECT_TRUE(fs::is_symlink(dir.file("link.png")));
  // No temporary is left behind.
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    ++files;
    EXPECT_EQ(entry.path().filename().string().find(".XXXX"), std::string::npos);
  }
  EXPECT_EQ(files, 5);  // p.bmp, p.PNG, full.png, link.png, target.png
}

// ---- The canvas as found ---------------------------------------------------------------

TEST(ResidualPlotCanvas, RunWindowStateAndMappingStay) {
  const int run = initwindow(60, 40);
  setbkcolor(COLOR(255, 255, 255));
  cleardevice();
  setcolor(COLOR(0, 128, 0));
  line(0, 0, 59, 39);
  Xekrn_M = 11;
  Yekrn_M = 12;
  Xarz_M = 13.5;
  Yarz_M = 14.5;
  Olck = 0.25;
  const canvas_test::Box before = canvas_test::painted_box(60, 40, COLOR(255, 255, 255));

  TempDir dir;
  ASSERT_TRUE(save_residual_plot(small_job(), dir.file("a.png")));
  ASSERT_TRUE(save_residual_plot(small_job(), dir.file("b.png")));  // the page is reused

  EXPECT_EQ(getcurrentwindow(), run);
  EXPECT_EQ(getmaxx(), 59);
  EXPECT_EQ(getcolor(), COLOR(0, 128, 0));
  EXPECT_EQ(canvas_test::painted_box(60, 40, COLOR(255, 255, 255)), before);
  EXPECT_EQ(Xekrn_M, 11);
  EXPECT_EQ(Yekrn_M, 12);
  EXPECT_EQ(Xarz_M, 13.5);
  EXPECT_EQ(Yarz_M, 14.5);
  EXPECT_EQ(Olck, 0.25);
  EXPECT_EQ(read_file(dir.file("a.png")), read_file(dir.file("b.png")));
}

// In a child with a display of its own. With windows kept off-screen (--no-window) they
// stay so. Otherwise the plot's page never shows, the run's window stays current and
// shown, and later windows still show.
TEST(ResidualPlotCanvas, NoWindowOpensOnADisplay) {
  testsupport::Xvfb xvfb;
  if (xvfb.display().empty()) GTEST_SKIP() << "Xvfb is not available";
  TempDir dir;
  const auto scenario = [&] {
    helmert2d::canvas::open_windows_off_screen();
    if (!save_residual_plot(small_job(), dir.file("off.png"))) return 3;
    if (initwindow(40, 30) < 0 || canvas_has_display()) return 4;
    helmert2d::canvas::open_windows_off_screen(false);
    const int run = initwindow(40, 30);
    if (run < 0 || !canvas_has_display()) return 5;
    if (!save_residual_plot(small_job(), dir.file("p.png"))) return 6;
    if (getcurrentwindow() != run || !canvas_has_display()) return 7;
    for (int i = 0; (setcurrentwindow(i), getcurrentwindow() == i); ++i)
      if (i != run && canvas_has_display()) return 8;
    const bool later = initwindow(40, 30) >= 0 && canvas_has_display();
    return later ? 0 : 9;
  };
  EXPECT_EQ(testsupport::exit_status_in_child(xvfb.display(), scenario), 0);
  EXPECT_TRUE(fs::exists(dir.file("p.png")));
}

}  // namespace
