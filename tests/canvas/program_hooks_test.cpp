// What the program shell asks of the canvas: pages kept off-screen on a reachable
// display, and a picture saved with the answer whether the file is complete.
#include "canvas/program_hooks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "helmert2d/canvas.h"
#include "support/canvas_support.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"

namespace {

namespace fs = std::filesystem;
using helmert2d::canvas::save_page;

TEST(CanvasProgramHooks, SavePageTellsWhetherEveryByteWasWritten) {
  testsupport::TempDir dir;
  fs::create_symlink("/dev/full", dir.file("full.bmp"));
  fs::create_symlink("/dev/full", dir.file("full.png"));
  fs::create_symlink("/dev/null", dir.file("null.bmp"));
  const int window = initwindow(16, 8);
  struct Case {
    std::string name;
    bool complete;
    std::string magic;  // first bytes of the file afterwards
  };
  const std::vector<Case> cases{
      {"p.bmp", true, "BM"},        {"p.PNG", true, "\x89PNG"}, {"missing/p.bmp", false, ""},
      {"missing/p.png", false, ""}, {"full.bmp", false, ""},    {"full.png", false, ""},
      {"null.bmp", true, ""},
  };
  testing::internal::CaptureStderr();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(save_page(dir.file(c.name)), c.complete);
    if (!c.magic.empty()) {
      EXPECT_EQ(testsupport::read_file(dir.file(c.name)).substr(0, c.magic.size()), c.magic);
    }
  }
  EXPECT_TRUE(save_page(dir.file("by-number.bmp"), window));
  // A 24-bit BMP of the page plus one column and row: 17 by 9, rows padded to 52 bytes.
  EXPECT_EQ(fs::file_size(dir.file("by-number.bmp")), 54u + 9u * 52u);
  EXPECT_FALSE(save_page(dir.file("none.bmp"), 9999));
  EXPECT_FALSE(fs::exists(dir.file("none.bmp")));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// In a child with a display of its own: the switch keeps the next windows off-screen
// and the screen at its size without a display; switched back, windows show again.
TEST(CanvasProgramHooks, OffScreenSwitchIgnoresAReachableDisplay) {
  testsupport::Xvfb xvfb;
  if (xvfb.display().empty()) GTEST_SKIP() << "Xvfb is not available";
  const auto scenario = [] {
    helmert2d::canvas::open_windows_off_screen();
    const bool off = initwindow(40, 30) >= 0 && !canvas_has_display() && getmaxwidth() == 1018 &&
                     getmaxheight() == 743;
    helmert2d::canvas::open_windows_off_screen(false);
    const bool on = initwindow(40, 30) >= 0 && canvas_has_display();
    return off ? (on ? 0 : 4) : 3;
  };
  EXPECT_EQ(testsupport::exit_status_in_child(xvfb.display(), scenario), 0);
}

}  // namespace
