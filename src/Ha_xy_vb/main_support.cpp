// Shared by the programs: the pause at the end and the plot's picture.
#include "main_support.h"

#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "helmert2d/canvas.h"

namespace helmert2d {

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

void never_open_windows() {
  ::unsetenv("DISPLAY");
  ::unsetenv("WAYLAND_DISPLAY");
}

bool save_plot(const std::string& path) {
  namespace fs = std::filesystem;
  const auto before = fs::file_time_type::clock::now() - std::chrono::seconds(1);
  writeimagefile(path.c_str());
  std::error_code ec;
  return fs::is_regular_file(path, ec) && fs::file_size(path, ec) > 0 &&
         fs::last_write_time(path, ec) >= before && !ec;
}

int save_requested_plot(const std::string& plot_file, int status, std::ostream& console) {
  if (status != 0 || plot_file.empty() || save_plot(plot_file)) return status;
  console << " ??? Plot file " << plot_file << " is not written\n";
  return 1;
}

void say_plot_not_shown(std::ostream& console) {
  console << " The plot was not shown (no display); use --plot FILE to save it as a picture.\n";
}

}  // namespace helmert2d
