// helmert2d-boundary: listing and plot of the displacements of boundary points, and the
// point-in-polygon check.
//
//   helmert2d-boundary [OPTIONS] FILE
//   helmert2d-boundary --inside A B POLYGONFILE
//
// Exit status: 0 when the listing (or the check) is complete, 1 when a file cannot be
// opened or written or the displacement file holds no point, 2 for a wrong option or
// argument.
#include <array>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/shell.h"
#include "grafik/boundary_files.h"
#include "helmert2d/grafik.h"
#include "textio/textio.h"

#ifndef HELMERT2D_VERSION
#define HELMERT2D_VERSION "unknown"
#endif

namespace {

using helmert2d::cli::Action;

// The program's own options.
enum Extra { kInside = 1 };

constexpr std::array kOptions{
    helmert2d::cli::kHelpOption,
    helmert2d::cli::kVersionOption,
    helmert2d::cli::Option{.long_name = "--inside",
                           .help = "check a point against the polygons of a polygon file",
                           .action = Action::extra,
                           .code = kInside},
    helmert2d::cli::Option{
        .long_name = "--plot",
        .value = "FILE",
        .value_need = "a file name",
        .help = "save the plot as a picture (FILE ending in .png: PNG, else BMP)",
        .action = Action::plot},
    helmert2d::cli::Option{.long_name = "--no-window",
                           .help = "never open a window (the plot can still be saved)",
                           .action = Action::no_window},
    helmert2d::cli::kNoPauseOption,
    helmert2d::cli::Option{.long_name = "--",
                           .help = "end of options; the following arguments are operands",
                           .action = Action::end_of_options},
};

// A negative number is an operand (a coordinate of --inside), not an option.
bool is_number(const std::string& arg) {
  double number = 0.0;
  return helmert2d::textio::parse_number(arg, number);
}

const helmert2d::cli::Program kProgram{
    .name = "helmert2d-boundary",
    .version = HELMERT2D_VERSION,
    .synopsis =
        "Usage: helmert2d-boundary [OPTIONS] FILE\n"
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
        "\n",
    .options = kOptions,
    .epilogue =
        "Exit status: 0 when the listing or the check is complete; 1 when a file cannot\n"
        "be opened or written or the displacement file holds no point; 2 for a wrong\n"
        "option or argument.\n",
    .is_operand = is_number,
};

int check_inside(const std::vector<std::string>& args) {
  double a = 0.0, b = 0.0;
  if (!helmert2d::textio::parse_number(args[0], a) ||
      !helmert2d::textio::parse_number(args[1], b)) {
    return helmert2d::cli::usage_error(
        kProgram, "A and B must be numbers, not '" + args[0] + "' and '" + args[1] + "'",
        std::cerr);
  }
  const std::string& file = args[2];
  helmert2d::grafik::PolygonFile polygons;
  if (!helmert2d::grafik::read_polygon_file(file, polygons)) {
    std::cout << " ??? Polygon file " << file << " is not opened\n";
    return 1;
  }
  std::cout << " Point (" << args[0] << ", " << args[1] << ") lies inside "
            << (helmert2d::grafik::Gecerlimi(a, b, polygons) ? "none of the polygons" : "a polygon")
            << " of " << file << "\n";
  return 0;
}

int list_displacements(const helmert2d::cli::Invocation& inv) {
  const std::string& file = inv.operands[0];
  if (!inv.plot_file.empty() && helmert2d::textio::same_file(inv.plot_file, file)) {
    std::cout << " ??? Plot file " << inv.plot_file
              << " is the same file as the displacement file\n";
    return 1;
  }
  helmert2d::grafik::DisplacementFile in;
  if (!helmert2d::grafik::read_displacement_file(file, in)) {
    std::cout << " ??? Displacement file " << file << " is not opened\n";
    return 1;
  }
  helmert2d::textio::report_stop(std::cout, file, in.stop);
  // The listing comes with its plot, so the picture is drawn even when nobody sees it.
  return helmert2d::cli::run_with_plot(
      inv,
      [&](bool) {
        helmert2d::grafik::B2_Ciz(in, file, COLOR(255, 0, 0), std::cout);
        return helmert2d::cli::RunOutcome{in.records.empty() ? 1 : 0, true};
      },
      std::cout);
}

}  // namespace

// The program's run; main adds the way out when memory runs out.
int program(int argc, char** argv) {
  helmert2d::cli::Invocation inv;
  if (const auto end = helmert2d::cli::parse(kProgram, argc, argv, inv, std::cout, std::cerr))
    return *end;
  const bool inside = inv.given(kInside);
  if (inv.operands.size() != (inside ? 3u : 1u)) {
    return helmert2d::cli::usage_error(
        kProgram,
        inside ? "--inside needs A, B and a polygon file" : "one displacement file is needed",
        std::cerr);
  }
  if (inside) return check_inside(inv.operands);
  return helmert2d::cli::finish(inv, list_displacements(inv));
}

int main(int argc, char** argv) {
  return helmert2d::cli::guarded_main(argc, argv, program);
}
