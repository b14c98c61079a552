// The end of a program's run: the plot's window, picture and console line, and the
// pause for a key.
#include "shell.h"

#include <termios.h>
#include <unistd.h>

#include <iostream>

#include "canvas/program_hooks.h"
#include "helmert2d/canvas.h"

namespace helmert2d::cli {

int run_with_plot(const Invocation& inv, const std::function<RunOutcome(bool draw)>& run,
                  std::ostream& console) {
  if (!inv.window) canvas_detail::open_windows_off_screen();
  const bool draw = !inv.plot_file.empty() || (inv.window && canvas_has_display());

  canvas_close_hold();
  const RunOutcome outcome = run(draw);
  int status = outcome.status;
  if (status == 0 && outcome.drawn && !inv.plot_file.empty() &&
      !canvas_detail::save_page(inv.plot_file)) {
    console << " ??? Plot file " << inv.plot_file << " is not written\n";
    status = 1;
  }
  if (status == 0 && inv.window && inv.plot_file.empty() && !canvas_has_display()) {
    console << " The plot was not shown (no display); use --plot FILE to save it as a picture.\n";
  }
  console.flush();
  canvas_close_release();
  return status;
}

void pause_for_key() {
  std::cout.flush();
  if (::isatty(STDIN_FILENO) == 0) {
    std::cin.get();
    return;
  }
  std::cout << " Press any key to continue . . ." << std::flush;
  termios saved{};
  if (::tcgetattr(STDIN_FILENO, &saved) == 0) {
    termios raw = saved;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    ::tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    char c = 0;
    [[maybe_unused]] const ssize_t got = ::read(STDIN_FILENO, &c, 1);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  } else {
    std::cin.get();
  }
  std::cout << "\n" << std::flush;
}

int finish(const Invocation& inv, int status) {
  if (inv.pause) pause_for_key();
  return status;
}

}  // namespace helmert2d::cli
