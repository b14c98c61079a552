// The whole run with --plot: the saved picture shows the common points as red
// triangles and the further points as blue circles where the report's coordinates put
// them, and the report is the same as without a plot.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <sstream>

#include "plot_support.h"
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

}  // namespace
