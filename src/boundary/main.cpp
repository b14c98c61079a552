// helmert2d-boundary: listing and plot of the displacements of boundary points, and the
// point-in-polygon check.
//
//   helmert2d-boundary [OPTIONS] FILE
//   helmert2d-boundary --inside A B POLYGONFILE
//
// Exit status: 0 when the listing (or the check) is complete, 1 when a file cannot be
// opened or written or the displacement file holds no point, 2 for a wrong option or
// argument.
#include <iostream>
#include <string>
#include <vector>

#include "../Ha_xy_vb/main_support.h"
#include "grafik/boundary_files.h"
#include "helmert2d/grafik.h"
#include "textio/textio.h"

#ifndef HELMERT2D_VERSION
#define HELMERT2D_VERSION "unknown"
#endif

namespace {

constexpr const char* kProgram = "helmert2d-boundary";

struct Options {
  std::vector<std::string> args;
  std::string plot_file;
  bool inside = false;
  bool window = true;
  bool pause = true;
};

void print_usage(std::ostream& os) {
  os << "Usage: helmert2d-boundary [OPTIONS] FILE\n"
        "       helmert2d-boundary --inside A B POLYGONFILE\n"
        "\n"
        "Lists the boundary points of the displacement FILE in Gauss-Krueger coordinates\n"
        "(3-degree zone of the first point, 500000 m added to the easting) with their\n"
        "displacements in centimetres and the largest and smallest horizontal shift, and\n"
        "plots them with their exaggerated displacement vectors in the window GRAFIK.\n"
        "A displacement file holds one record per point: name, X, Y, Z, dX, dY, dZ\n"
        "(Cartesian coordinates and displacements in metres) and one more number\n"
        "(ignored), separated by white space.\n"
        "\n"
        "With --inside, tells whether the point (A, B) lies inside none of the polygons\n"
        "of POLYGONFILE (records: vertex count, name, then the vertex coordinates).\n"
        "\n"
        "Options:\n"
        "  -h, --help       show this help and exit\n"
        "      --version    show the version and exit\n"
        "      --inside     check a point against the polygons of a polygon file\n"
        "      --plot FILE  save the plot as a picture (FILE ending in .png: PNG, else BMP)\n"
        "      --no-window  never open a window (the plot can still be saved)\n"
        "      --no-pause   do not wait for a key press at the end\n"
        "      --           end of options; the following arguments are operands\n"
        "\n"
        "Exit status: 0 when the listing or the check is complete; 1 when a file cannot\n"
        "be opened or written or the displacement file holds no point; 2 for a wrong\n"
        "option or argument.\n";
}

int usage_error(const std::string& what) {
  std::cerr << kProgram << ": " << what << " (try '" << kProgram << " --help')\n";
  return 2;
}

// Parses the options; returns -1 to go on, otherwise the exit status to end with.
int parse_options(int argc, char** argv, Options& opt) {
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    // A negative number is an operand (a coordinate of --inside), not an option.
    double number = 0.0;
    if (options_ended || arg.size() < 2 || arg[0] != '-' ||
        helmert2d::textio::parse_number(arg, number)) {
      opt.args.push_back(arg);
    } else if (arg == "--") {
      options_ended = true;
    } else if (arg == "-h" || arg == "--help") {
      print_usage(std::cout);
      return 0;
    } else if (arg == "--version") {
      std::cout << kProgram << " " << HELMERT2D_VERSION << "\n";
      return 0;
    } else if (arg == "--inside") {
      opt.inside = true;
    } else if (arg == "--plot" || arg.rfind("--plot=", 0) == 0) {
      if (arg == "--plot" && i + 1 < argc) opt.plot_file = argv[++i];
      if (arg != "--plot") opt.plot_file = arg.substr(7);
      if (opt.plot_file.empty()) return usage_error("option '--plot' needs a file name");
    } else if (arg == "--no-window") {
      opt.window = false;
    } else if (arg == "--no-pause") {
      opt.pause = false;
    } else {
      return usage_error("unknown option '" + arg + "'");
    }
  }
  const std::size_t wanted = opt.inside ? 3 : 1;
  if (opt.args.size() != wanted) {
    return usage_error(opt.inside ? "--inside needs A, B and a polygon file"
                                  : "one displacement file is needed");
  }
  return -1;
}

int check_inside(const Options& opt) {
  double a = 0.0, b = 0.0;
  if (!helmert2d::textio::parse_number(opt.args[0], a) ||
      !helmert2d::textio::parse_number(opt.args[1], b)) {
    return usage_error("A and B must be numbers, not '" + opt.args[0] + "' and '" + opt.args[1] +
                       "'");
  }
  const std::string& file = opt.args[2];
  helmert2d::grafik::PolygonFile polygons;
  if (!helmert2d::grafik::read_polygon_file(file, polygons)) {
    std::cout << " ??? Polygon file " << file << " is not opened\n";
    return 1;
  }
  std::cout << " Point (" << opt.args[0] << ", " << opt.args[1] << ") lies inside "
            << (helmert2d::grafik::Gecerlimi(a, b, polygons) ? "none of the polygons" : "a polygon")
            << " of " << file << "\n";
  return 0;
}

int list_displacements(const Options& opt) {
  const std::string& file = opt.args[0];
  if (!opt.plot_file.empty() && helmert2d::textio::same_file(opt.plot_file, file)) {
    std::cout << " ??? Plot file " << opt.plot_file
              << " is the same file as the displacement file\n";
    return 1;
  }
  helmert2d::grafik::DisplacementFile in;
  if (!helmert2d::grafik::read_displacement_file(file, in)) {
    std::cout << " ??? Displacement file " << file << " is not opened\n";
    return 1;
  }
  helmert2d::textio::report_stop(std::cout, file, in.stop);
  // A window close waits until the listing and the picture are complete.
  canvas_close_hold();
  helmert2d::grafik::B2_Ciz(in, file, COLOR(255, 0, 0), std::cout);
  const int status =
      helmert2d::save_requested_plot(opt.plot_file, in.records.empty() ? 1 : 0, std::cout);
  if (status == 0 && opt.window && opt.plot_file.empty() && !canvas_has_display()) {
    helmert2d::say_plot_not_shown(std::cout);
  }
  std::cout.flush();
  canvas_close_release();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  const int early = parse_options(argc, argv, opt);
  if (early >= 0) return early;
  if (!opt.window) {
    helmert2d::never_open_windows();
  }
  if (opt.inside) return check_inside(opt);
  const int status = list_displacements(opt);
  if (opt.pause) helmert2d::pause_for_key();
  return status;
}
