// The end of a run: whether the picture is drawn, saved and reported, off-screen.
#include "cli/shell.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "canvas/program_hooks.h"
#include "helmert2d/canvas.h"
#include "support/temp_dir.h"

namespace {

using testsupport::read_file;
using testsupport::TempDir;

const std::string kNotShown =
    " The plot was not shown (no display); use --plot FILE to save it as a picture.\n";

TEST(CliShell, DrawsSavesAndReportsThePictureAsTheOptionsAsk) {
  // No display whatever the environment, so the cases do not depend on it.
  helmert2d::canvas::open_windows_off_screen();
  struct Case {
    std::string plot;  // file name in the test directory; empty: no --plot
    bool window;
    int run_status;
    bool run_draws;
    bool want_draw;  // what the run is told
    int status;
    std::string console;
    std::string magic;  // first bytes of the saved picture; empty: no file
  };
  const std::string unwritable = "no/dir/p.bmp";
  const std::vector<Case> cases{
      {"", true, 0, true, false, 0, kNotShown, ""},
      {"", true, 1, false, false, 1, "", ""},
      {"", false, 0, true, false, 0, "", ""},
      {"p.png", true, 0, true, true, 0, "", "\x89PNG"},
      {"p.bmp", false, 0, true, true, 0, "", "BM"},
      {"p.bmp", false, 1, true, true, 1, "", ""},
      {"p.bmp", false, 0, false, true, 0, "", ""},
      {unwritable, true, 0, true, true, 1, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.plot + (c.window ? " window" : " no-window") + " status " +
                 std::to_string(c.run_status));
    TempDir dir;
    helmert2d::cli::Invocation inv;
    inv.window = c.window;
    if (!c.plot.empty()) inv.plot_file = dir.file(c.plot);
    bool told = !c.want_draw;
    std::ostringstream console;
    const int status = helmert2d::cli::run_with_plot(
        inv,
        [&](bool draw) {
          told = draw;
          if (c.run_draws) {
            initwindow(30, 20);
            setcolor(COLOR(255, 0, 0));
            line(0, 0, 29, 19);
          }
          return helmert2d::cli::RunOutcome{c.run_status, c.run_draws};
        },
        console);
    EXPECT_EQ(told, c.want_draw);
    EXPECT_EQ(status, c.status);
    const std::string expected_console =
        c.plot == unwritable ? " ??? Plot file " + inv.plot_file + " is not written\n" : c.console;
    EXPECT_EQ(console.str(), expected_console);
    if (!c.plot.empty()) {
      const std::string saved = read_file(inv.plot_file);
      EXPECT_EQ(saved.substr(0, c.magic.size()), c.magic);
      EXPECT_EQ(saved.empty(), c.magic.empty());
    }
  }
}

}  // namespace
