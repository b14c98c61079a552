// The whole run with --plot: the saved picture shows the common points as red
// triangles and the further points as blue circles where the report's coordinates put
// them, and the report is the same as without a plot.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <sstream>
#include <vector>

#include "canvas/glyph_cache.h"
#include "canvas/program_hooks.h"
#include "helmert2d/grafik.h"
#include "plot_support.h"
#include "support/canvas_support.h"
#include "support/small_job.h"
#include "support/temp_dir.h"

namespace {

using testsupport::read_file;
using testsupport::run_program;
using testsupport::TempDir;

using plot_test::load_bmp;

// Rounds halves away from zero, as the plot's pixel mapping does.
int nearest(double v) {
  return static_cast<int>(v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5));
}

TEST(RunPlot, SavedPictureShowsThePoints) {
  testsupport::SmallJobDir dir;
  const auto plain = run_program(
      HELMERT2D_PROGRAM, {"--no-pause", "--no-window", "local.txt", "national.txt", "a.txt"}, dir);
  ASSERT_EQ(plain.status, 0) << plain.out << plain.err;
  const auto plotted =
      run_program(HELMERT2D_PROGRAM,
                  {"--no-pause", "--plot", "plot.bmp", "local.txt", "national.txt", "b.txt"}, dir);
  ASSERT_EQ(plotted.status, 0) << plotted.out << plotted.err;
  EXPECT_EQ(read_file(dir.file("a.txt")), read_file(dir.file("b.txt")));

  const plot_test::Bmp bmp = load_bmp(dir.file("plot.bmp"));
  ASSERT_EQ(bmp.width, 601);
  ASSERT_EQ(bmp.height, 601);
  EXPECT_EQ(bmp.bytes.size(), 1084258u);

  // Mapping from the common points' extents: X 11000..12000 (rows), Y 21000..23000.
  const double Xmin = 10999.997, Xmax = 12000.001, Ymin = 20999.996, Ymax = 23000.001;
  const double scale = std::min(530.0 / (Ymax - Ymin), 560.0 / (Xmax - Xmin)) / 1.3;
  auto column = [&](double Y) { return 315 + nearest((Y - (Ymax + Ymin) / 2) * scale); };
  auto row = [&](double X) { return 300 - nearest((X - (Xmax + Xmin) / 2) * scale); };

  // The final list of the report gives the positions.
  std::istringstream report(read_file(dir.file("b.txt")));
  std::string line;
  while (std::getline(report, line) && line.find("II. Coordinate System   ") == std::string::npos) {
  }
  int common = 0, further = 0;
  while (std::getline(report, line)) {
    std::istringstream fields(line);
    int number;
    std::string name;
    double x, y, X, Y;
    if (!(fields >> number >> name >> x >> y >> X >> Y)) continue;
    const int px = column(Y), py = row(X);
    if (number <= 4) {
      ++common;
      EXPECT_EQ(bmp.at(px, py + 1), 0xFF0000u) << name;  // inside the triangle
      EXPECT_EQ(bmp.at(px, py + 3), 0x000000u) << name;  // its black base
    } else {
      ++further;
      EXPECT_EQ(bmp.at(px + 2, py), 0x0000FFu) << name;
      EXPECT_EQ(bmp.at(px - 2, py), 0x0000FFu) << name;
      EXPECT_EQ(bmp.at(px, py), 0xFFFFFFu) << name;
    }
  }
  EXPECT_EQ(common, 4);
  EXPECT_EQ(further, 3);
}

// The page of a plot, as the bytes of a BMP picture.
std::string page_bytes() {
  std::ostringstream out;
  EXPECT_TRUE(helmert2d::canvas::write_page(out, false));
  return out.str();
}

std::uint64_t texts_drawn() {
  const auto c = helmert2d::canvas::glyph_cache_counts();
  return c.cached + c.through_cairo;
}

// A plot of many further points leaves out the names (and circles) that later names
// cover; the page must be the one drawn by making every call in order.
TEST(RunPlot, NamesLeftOutUnderLaterNamesChangeNoPixel) {
  (void)canvas_test::kOffScreen;
  // Crowded common points too (1-based lists): their names, their triangles and the
  // frame's triangles are drawn over by later names as well.
  std::vector<double> X{0, 11000, 11000, 12000, 12000}, Y{0, 21000, 23000, 21000, 23000};
  std::vector<std::string> common{"", "K1", "K2", "K3", "K4"};
  std::mt19937 gen(5);
  std::uniform_real_distribution<double> near_x(10500, 12500), near_y(20000, 24000);
  for (int i = 0; i < 400; ++i) {
    X.push_back(near_x(gen) / 2 + 5750);
    Y.push_back(near_y(gen) / 2 + 11000);
    common.push_back(std::string(i % 3 == 0 ? "C_" : "C").append(std::to_string(i)));
  }
  const int n = static_cast<int>(X.size()) - 1;
  struct Further {
    std::string name;
    double X, Y;
  };
  std::vector<Further> further;
  for (int i = 0; i < 6000; ++i) {
    // Crowded names of many lengths, a few non-ASCII ones, some far off the page, and
    // some whose underscore or bar reaches below the name's box.
    std::string name = (i % 97 == 0 ? "Ş" : "P") + std::to_string(i);
    if (i % 13 == 0) name += "-long-suffix";
    if (i % 5 == 2) name += i % 2 == 0 ? "_a" : "|";
    const double far = i % 211 == 0 ? 1e5 : 0.0;
    further.push_back({name, near_x(gen) + far, near_y(gen) - far});
  }

  std::string culled, reference;
  std::uint64_t culled_texts = 0, reference_texts = 0;
  {
    const std::uint64_t before = texts_drawn();
    GrafikRunPlot plot;
    plot.common_points(n, X.data(), Y.data(), common.data());
    for (const Further& f : further) plot.further_point(f.name, f.X, f.Y);
    plot.report_finished();
    culled_texts = texts_drawn() - before;
    culled = page_bytes();
  }
  {
    // The same plot, every call made in turn.
    const std::uint64_t before = texts_drawn();
    Grfk(n, X.data(), Y.data(), 600, 600, 675, 0, 1000, 1.3);
    for (int i = 1; i <= n; ++i) {
      outtextxy(X[i], Y[i], common[i], COLOR(255, 0, 0));
      Ucgen(SAG(Y[i]), YKR(X[i]), 7, COLOR(255, 0, 0));
    }
    for (const Further& f : further) {
      outtextxy(f.X, f.Y, f.name, COLOR(0, 0, 255));
      circle(SAG(f.Y), YKR(f.X), 2);
    }
    reference_texts = texts_drawn() - before;
    reference = page_bytes();
  }
  ASSERT_EQ(culled.size(), reference.size());
  EXPECT_TRUE(culled == reference) << "the pages differ";
  // The names cover the page about fifteen times over: most are drawn over later.
  EXPECT_LT(culled_texts * 3, reference_texts * 2) << "few names were left out";
}

}  // namespace
