// helmert2d: 2D similarity transformation between two plane coordinate systems.
//
//   helmert2d [OPTIONS] [FILE1 [FILE2 [REPORT]]]
//
// Missing names are asked for at prompts. Exit status: 0 when the run completes,
// 1 when a file cannot be opened or written or no transformation can be computed,
// 2 for a wrong option.
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "helmert2d/Ha_xy_vb.h"
#include "helmert2d/yzdr.h"

#ifndef HELMERT2D_VERSION
#define HELMERT2D_VERSION "unknown"
#endif

namespace {

struct Options {
  std::vector<std::string> names;
  bool pause = true;
};

void print_usage(std::ostream& os) {
  os << "Usage: helmert2d [OPTIONS] [FILE1 [FILE2 [REPORT]]]\n"
        "\n"
        "Estimates the plane similarity (four-parameter) transformation from the points\n"
        "of FILE1 (system I) into the system of FILE2 (system II), pairing the points by\n"
        "name, tests the scale and the residuals for outliers, and writes the report to\n"
        "REPORT. Names not given are asked for at prompts.\n"
        "\n"
        "A coordinate file holds one record per point: name, first coordinate, second\n"
        "coordinate and a third number (ignored), separated by white space.\n"
        "\n"
        "Options:\n"
        "  -h, --help     show this help and exit\n"
        "      --version  show the version and exit\n"
        "      --no-pause do not wait for a key press at the end\n"
        "      --         end of options; the following arguments are file names\n"
        "\n"
        "Exit status: 0 when the run completes; 1 when an input file cannot be opened,\n"
        "the report cannot be created or written, or no transformation can be computed;\n"
        "2 for a wrong option.\n";
}

// Parses the options; returns -1 to go on, otherwise the exit status to end with.
int parse_options(int argc, char** argv, Options& opt) {
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      opt.names.push_back(arg);
    } else if (arg == "--") {
      options_ended = true;
    } else if (arg == "-h" || arg == "--help") {
      print_usage(std::cout);
      return 0;
    } else if (arg == "--version") {
      std::cout << "helmert2d " << HELMERT2D_VERSION << "\n";
      return 0;
    } else if (arg == "--no-pause") {
      opt.pause = false;
    } else {
      std::cerr << "helmert2d: unknown option '" << arg << "' (try 'helmert2d --help')\n";
      return 2;
    }
  }
  return -1;
}

// Asks for the names not given on the command line, each read as one word.
void ask_missing_names(Options& opt) {
  static const char* const prompts[3] = {"  From File 1: ", "    To File 2: ", "  Output file: "};
  for (std::size_t i = opt.names.size(); i < 3; ++i) {
    std::cout << prompts[i] << std::flush;
    std::string word;
    std::cin >> word;
    opt.names.push_back(word);
  }
}

// Waits for one key: raw mode on a terminal, otherwise one character or end of input.
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

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  const int early = parse_options(argc, argv, opt);
  if (early >= 0) return early;

  OK_(isim, tarih);
  if (opt.names.size() < 3) ask_missing_names(opt);
  const std::string& file1 = opt.names[0];
  const std::string& file2 = opt.names[1];
  const std::string& out = opt.names[2];
  std::cout << "\n\n From >" << file1 << "< to >" << file2
            << "< 2D similarity results are recorded into >" << out << "<\n\n"
            << std::flush;

  const int status = HAxy(file1.c_str(), file2.c_str(), out.c_str(), std::cout, nullptr);
  if (opt.pause) pause_for_key();
  return status;
}
