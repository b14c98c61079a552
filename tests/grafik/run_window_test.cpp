// The run's plot window on a real (virtual) display: place, size, the same pixels as
// the saved picture, and closing it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>

#include "plot_support.h"
#include "support/child_program.h"
#include "support/small_job.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"

namespace {

using namespace std::chrono_literals;
using testsupport::read_file;
using testsupport::shell_output;
using testsupport::wait_for_window;

class RunWindow : public testing::Test {
 protected:
  void SetUp() override {
    if (xvfb_.display().empty()) GTEST_SKIP() << "Xvfb is not available";
  }
  testsupport::Xvfb xvfb_;
  testsupport::SmallJobDir dir_;
};

TEST_F(RunWindow, ShowsThePlotAtItsPlace) {
  if (!testsupport::on_path("import")) GTEST_SKIP() << "ImageMagick's import is not installed";
  testsupport::ChildProgram run(dir_, xvfb_.display(),
                                {"--plot", "plot.bmp", "local.txt", "national.txt", "r.txt"});
  ASSERT_TRUE(wait_for_window(xvfb_.display()));
  // The picture is saved once the report is complete; then the program pauses.
  testsupport::eventually([&] { return read_file(dir_.file("plot.bmp")).size() >= 1084258u; }, 20s);
  const std::string d = "-display " + xvfb_.display();
  const std::string info = shell_output("xwininfo " + d + " -name GRAFIK");
  for (const char* line : {"Absolute upper-left X:  675\n", "Absolute upper-left Y:  0\n",
                           "Width: 600\n", "Height: 600\n"})
    EXPECT_NE(info.find(line), std::string::npos) << line << info;

  // The screen's pixels of the window against the saved picture (whose extra last
  // column and row are not part of the window), taken again until the last repaint
  // has shown them.
  const plot_test::Bmp bmp = plot_test::load_bmp(dir_.file("plot.bmp"));
  ASSERT_EQ(bmp.bytes.size(), 1084258u);
  const std::string raw = dir_.file("screen.rgb");
  std::size_t shown_size = 0;
  int differing = -1;
  testsupport::eventually(
      [&] {
        shell_output("import " + d + " -window root -crop 600x600+675+0 -depth 8 rgb:" + raw);
        const std::string shown = read_file(raw);
        shown_size = shown.size();
        if (shown_size != 600u * 600u * 3u) return false;
        differing = 0;
        for (int y = 0; y < 600; ++y)
          for (int x = 0; x < 600; ++x) {
            const auto* s = reinterpret_cast<const unsigned char*>(&shown[(y * 600u + x) * 3]);
            differing +=
                (static_cast<std::uint32_t>(s[0]) << 16 | s[1] << 8 | s[2]) != bmp.at(x, y);
          }
        return differing == 0;
      },
      10s);
  ASSERT_EQ(shown_size, 600u * 600u * 3u);
  EXPECT_EQ(differing, 0);

  run.type("\n");
  EXPECT_EQ(run.wait(), 0);
}

TEST_F(RunWindow, ClosingTheWindowEndsTheProgramWithStatusZero) {
  testsupport::ChildProgram run(dir_, xvfb_.display(), {"local.txt", "national.txt", "r.txt"});
  ASSERT_TRUE(wait_for_window(xvfb_.display()));
  // Closed once it is on the screen.
  ASSERT_TRUE(testsupport::eventually(
      [&] {
        return !shell_output("DISPLAY=" + xvfb_.display() +
                             " xdotool search --onlyvisible --name '^GRAFIK$'")
                    .empty();
      },
      10s));
  shell_output("DISPLAY=" + xvfb_.display() + " xdotool search --name '^GRAFIK$' windowclose");
  EXPECT_EQ(run.wait(), 0);
  // The report is complete: it ends with the final list's closing line.
  const std::string report = read_file(dir_.file("r.txt"));
  ASSERT_GT(report.size(), std::string(testsupport::kFinalRule).size());
  EXPECT_TRUE(report.ends_with(testsupport::kFinalRule));
}

}  // namespace
