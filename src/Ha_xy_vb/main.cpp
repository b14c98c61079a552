// helmert2d: 2D similarity transformation between two plane coordinate systems.
//
//   helmert2d [OPTIONS] [FILE1 [FILE2 [REPORT]]]
//
// Missing names are asked for at prompts. Exit status: 0 when the run completes,
// 1 when a file cannot be opened or written or no transformation can be computed,
// 2 for a wrong option.
#include <iostream>
#include <string>
#include <vector>

#include "helmert2d/Ha_xy_vb.h"
#include "helmert2d/canvas.h"
#include "helmert2d/grafik.h"
#include "helmert2d/yzdr.h"
#include "main_support.h"
#include "textio/textio.h"

#ifndef HELMERT2D_VERSION
#define HELMERT2D_VERSION "unknown"
#endif

namespace {

struct Options {
  std::vector<std::string> names;
  std::string plot_file;  ///< --plot FILE: save the final picture there
  bool pause = true;
  bool window = true;
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
        "  -h, --help       show this help and exit\n"
        "      --version    show the version and exit\n"
        "      --no-pause   do not wait for a key press at the end\n"
        "      --plot FILE  save the final plot as a picture (FILE ending in .png: PNG,\n"
        "                   otherwise a 24-bit BMP), with or without a display\n"
        "      --no-window  never open the plot window\n"
        "      --           end of options; the following arguments are file names\n"
        "\n"
        "Exit status: 0 when the run completes; 1 when an input file cannot be opened,\n"
        "the report or the picture cannot be written, or no transformation can be\n"
        "computed; 2 for a wrong option.\n";
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
    } else if (arg == "--no-window") {
      opt.window = false;
    } else if (arg == "--plot" || arg.rfind("--plot=", 0) == 0) {
      if (arg == "--plot") {
        if (i + 1 >= argc) {
          std::cerr << "helmert2d: option '--plot' needs a file name (try 'helmert2d --help')\n";
          return 2;
        }
        opt.plot_file = argv[++i];
      } else {
        opt.plot_file = arg.substr(7);
      }
      if (opt.plot_file.empty()) {
        std::cerr << "helmert2d: option '--plot' needs a file name (try 'helmert2d --help')\n";
        return 2;
      }
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

// Runs the transformation with the plot window (when a display is reachable and the
// window is wanted) or an off-screen plot (for --plot), and saves the picture.
int run_with_plot(const Options& opt, const std::string& file1, const std::string& file2,
                  const std::string& out) {
  if (!opt.plot_file.empty()) {
    for (const std::string& other : {file1, file2, out}) {
      if (helmert2d::textio::same_file(opt.plot_file, other)) {
        std::cout << " ??? Plot file " << opt.plot_file
                  << " is the same file as an input or report file\n";
        return 1;
      }
    }
  }
  if (!opt.window) {
    helmert2d::never_open_windows();
  }
  const bool shown = opt.window && canvas_has_display();
  if (!shown && opt.plot_file.empty()) {
    const int status = HAxy(file1.c_str(), file2.c_str(), out.c_str(), std::cout, nullptr);
    if (status == 0 && opt.window) helmert2d::say_plot_not_shown(std::cout);
    return status;
  }

  // A window close waits until the report and the picture are complete.
  canvas_close_hold();
  GrafikRunPlot plot;
  int status = HAxy(file1.c_str(), file2.c_str(), out.c_str(), std::cout, &plot);
  if (plot.opened()) status = helmert2d::save_requested_plot(opt.plot_file, status, std::cout);
  std::cout.flush();
  canvas_close_release();
  return status;
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

  const int status = run_with_plot(opt, file1, file2, out);
  if (opt.pause) helmert2d::pause_for_key();
  return status;
}
