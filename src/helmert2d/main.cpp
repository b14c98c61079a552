// helmert2d: 2D similarity transformation between two plane coordinate systems.
//
//   helmert2d [OPTIONS] [FILE1 [FILE2 [REPORT]]]
//
// Missing names are asked for at prompts. Exit status: 0 when the run completes,
// 1 when a file cannot be opened or written or no transformation can be computed,
// 2 for a wrong option, 3 when the run completes but records of an input file were
// ignored.
#include <algorithm>
#include <array>
#include <iostream>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "Ha_xy_vb/run.h"
#include "cli/options.h"
#include "cli/shell.h"
#include "grafik/residual_plot.h"
#include "helmert2d/Ha_xy_vb.h"
#include "helmert2d/grafik.h"
#include "helmert2d/yzdr.h"
#include "textio/output_set.h"
#include "textio/textio.h"

#ifndef HELMERT2D_VERSION
#define HELMERT2D_VERSION "unknown"
#endif

namespace {

using helmert2d::cli::Action;

static_assert(helmert2d::kRecordsIgnored == helmert2d::cli::kCompletedIgnoringRecords,
              "the shell must know the status of a run that ignored records");

// The program's own options (codes of Action::extra rows).
enum Extra : int {
  kJson = 1,
  kCsv,
  kExactQuantiles,
  kExclude,
  kSnoop,
  kResidualPlot,
  kDelimiter,
  kColumns,
  kHeader,
  kDecimalComma,
  kCompareModels,
  kModel,
  kSigmaFirst,
  kSigmaSecond,
  kQuality,
  kWkt,
  kSourceCrs,
  kTargetCrs,
  kHeights,
  kExcludeHeight,
  kSigmaHFirst,
  kSigmaHSecond
};

constexpr std::array kOptions{
    helmert2d::cli::kHelpOption,
    helmert2d::cli::kVersionOption,
    helmert2d::cli::kNoPauseOption,
    helmert2d::cli::Option{.long_name = "--plot",
                           .value = "FILE",
                           .value_need = "a file name",
                           .help = "save the final plot as a picture (FILE ending in .png: PNG,\n"
                                   "otherwise a 24-bit BMP), with or without a display",
                           .action = Action::plot},
    helmert2d::cli::Option{.long_name = "--no-window",
                           .help = "never open the plot window",
                           .action = Action::no_window},
    helmert2d::cli::Option{.long_name = "--json",
                           .value = "FILE",
                           .value_need = "a file name",
                           .help = "also write the whole run as a JSON document: parameters\n"
                                   "with standard deviations, tests with exact p-values,\n"
                                   "every point, and a PROJ pipeline",
                           .code = kJson},
    helmert2d::cli::Option{.long_name = "--csv",
                           .value = "FILE",
                           .value_need = "a file name",
                           .help = "also write the final list as CSV (full precision)",
                           .code = kCsv},
    helmert2d::cli::Option{.long_name = "--wkt",
                           .value = "FILE",
                           .value_need = "a file name",
                           .help = "also write the transformation as a WKT2:2019 coordinate\n"
                                   "operation (affine parametric, with its accuracy) that\n"
                                   "PROJ reads: projinfo @FILE, cct @FILE",
                           .code = kWkt},
    helmert2d::cli::Option{.long_name = "--source-crs",
                           .value = "CODE",
                           .value_need = "a CRS code such as EPSG:32635",
                           .help = "the WKT's source CRS, looked up with PROJ's projinfo,\n"
                                   "instead of a local one named after FILE1 (with --wkt)",
                           .code = kSourceCrs},
    helmert2d::cli::Option{.long_name = "--target-crs",
                           .value = "CODE",
                           .value_need = "a CRS code such as EPSG:32635",
                           .help = "the same for the target CRS (FILE2)",
                           .code = kTargetCrs},
    helmert2d::cli::Option{.long_name = "--exclude",
                           .value = "NAME",
                           .value_need = "a point name",
                           .help = "leave the common points of that name out of the estimation\n"
                                   "and the tests (they are listed transformed); may be given\n"
                                   "several times",
                           .code = kExclude},
    helmert2d::cli::Option{.long_name = "--snoop",
                           .help = "data snooping: leave out the worst flagged point and\n"
                                   "estimate again, until no point is flagged or as many\n"
                                   "points are left as the model has parameters",
                           .code = kSnoop},
    helmert2d::cli::Option{.long_name = "--compare-models",
                           .help = "also fit the rigid (no scale) and the affine model and\n"
                                   "show the three side by side, with F tests of the scale\n"
                                   "and of the affine parameters (console and JSON)",
                           .code = kCompareModels},
    helmert2d::cli::Option{.long_name = "--model",
                           .value = "M",
                           .value_need = "'similarity', 'rigid' or 'affine'",
                           .help = "the transformation: similarity (4 parameters, the\n"
                                   "default), rigid (scale fixed at 1: 3) or affine (6)",
                           .code = kModel},
    helmert2d::cli::Option{.long_name = "--sigma-first",
                           .value = "S",
                           .value_need = "a standard deviation in metres",
                           .help = "a-priori standard deviation (m) of both coordinates of\n"
                                   "every point of FILE1 that has none in a sigma column;\n"
                                   "weights the points",
                           .code = kSigmaFirst},
    helmert2d::cli::Option{.long_name = "--sigma-second",
                           .value = "S",
                           .value_need = "a standard deviation in metres",
                           .help = "the same for the points of FILE2",
                           .code = kSigmaSecond},
    helmert2d::cli::Option{.long_name = "--quality",
                           .help = "the quality figures of every common point (redundancy,\n"
                                   "MDB, leave-one-out residuals) in the JSON and CSV\n"
                                   "(weighted runs have them anyway)",
                           .code = kQuality},
    helmert2d::cli::Option{.long_name = "--heights",
                           .value = "M",
                           .value_need = "'shift' or 'plane'",
                           .help = "the third values are heights: fit H_II = H_I + c (shift)\n"
                                   "or an inclined plane in the target grid (plane) and give\n"
                                   "the final list its heights",
                           .code = kHeights},
    helmert2d::cli::Option{.long_name = "--exclude-height",
                           .value = "NAME",
                           .value_need = "a point name",
                           .help = "leave that common point out of the height fit only; may\n"
                                   "be given several times (with --heights)",
                           .code = kExcludeHeight},
    helmert2d::cli::Option{.long_name = "--sigma-h-first",
                           .value = "S",
                           .value_need = "a standard deviation in metres",
                           .help = "a-priori standard deviation (m) of the height of every\n"
                                   "point of FILE1 that has none in a sigma_h column;\n"
                                   "weights the heights (with --heights)",
                           .code = kSigmaHFirst},
    helmert2d::cli::Option{.long_name = "--sigma-h-second",
                           .value = "S",
                           .value_need = "a standard deviation in metres",
                           .help = "the same for the heights of FILE2",
                           .code = kSigmaHSecond},
    helmert2d::cli::Option{.long_name = "--residual-plot",
                           .value = "FILE",
                           .value_need = "a file name",
                           .help = "also draw the residual vectors into an 800 x 800 picture\n"
                                   "(FILE ending in .png: PNG, otherwise BMP)",
                           .code = kResidualPlot},
    helmert2d::cli::Option{.long_name = "--exact-quantiles",
                           .help = "take the report's critical values from the exact t and\n"
                                   "F distributions instead of the closed-form approximations",
                           .code = kExactQuantiles},
    helmert2d::cli::Option{.long_name = "--delimiter",
                           .value = "C",
                           .value_need = "',', ';', 'tab' or 'space'",
                           .help = "read both files one record per line, fields separated by\n"
                                   "C: ',', ';', 'tab' or 'space' (runs of blanks); blank\n"
                                   "lines and lines beginning with '#' are skipped",
                           .code = kDelimiter},
    helmert2d::cli::Option{.long_name = "--columns",
                           .value = "LIST",
                           .value_need = "a column list such as name,E,N,h",
                           .help = "the fields of a line, e.g. name,E,N,h or id,code,N,E:\n"
                                   "name, N (first coordinate), E (second), h (optional);\n"
                                   "other names are skipped; 'auto' takes them from the\n"
                                   "header (line mode; delimiter 'space' unless given)",
                           .code = kColumns},
    helmert2d::cli::Option{.long_name = "--header",
                           .help = "the first line of each file names the fields and is\n"
                                   "skipped (line mode)",
                           .code = kHeader},
    helmert2d::cli::Option{.long_name = "--decimal-comma",
                           .help = "numbers use the comma as decimal mark (line mode; not\n"
                                   "with --delimiter ,)",
                           .code = kDecimalComma},
    helmert2d::cli::Option{.long_name = "--",
                           .help = "end of options; the following arguments are file names",
                           .action = Action::end_of_options},
};

const helmert2d::cli::Program kProgram{
    .name = "helmert2d",
    .version = HELMERT2D_VERSION,
    .synopsis =
        "Usage: helmert2d [OPTIONS] [FILE1 [FILE2 [REPORT]]]\n"
        "\n"
        "Estimates the plane similarity (four-parameter) transformation from the points\n"
        "of FILE1 (system I) into the system of FILE2 (system II), pairing the points by\n"
        "name, tests the scale and the residuals for outliers, and writes the report to\n"
        "REPORT. Names not given are asked for at prompts.\n"
        "\n"
        "A coordinate file holds one record per point: name, first coordinate, second\n"
        "coordinate and a third number (ignored), separated by white space.\n"
        "\n",
    .options = kOptions,
    .epilogue =
        "Exit status: 0 when the run completes; 1 when an input file cannot be opened\n"
        "or (line mode) a line of it cannot be read, an output cannot be written whole\n"
        "(then none is put in place), or no transformation can be computed; 2 for a\n"
        "wrong option, a CRS code PROJ cannot give, or an --exclude name that is no\n"
        "common point; 3 when the run completes but records of an input file were\n"
        "ignored.\n",
};

// The form of the coordinate files from the options. Returns an empty text, or what
// is wrong with them.
std::string coordinate_format(const helmert2d::cli::Invocation& inv,
                              helmert2d::CoordinateFormat& format) {
  for (const auto& [code, value] : inv.extras) {
    std::string error;
    if (code == kDelimiter) error = format.set_delimiter(value);
    if (code == kColumns) error = format.set_columns(value);
    if (code == kHeader || code == kDecimalComma) format.line_mode = true;
    if (code == kHeader) format.header = true;
    if (code == kDecimalComma) format.decimal_comma = true;
    if (!error.empty()) return error;
  }
  return format.check();
}

// The model and the a-priori sigmas from the options. Returns an empty text, or what is
// wrong with a value.
std::string model_and_weights(const helmert2d::cli::Invocation& inv,
                              helmert2d::RunRequest& request) {
  for (const auto& [code, value] : inv.extras) {
    if (code == kModel) {
      if (value == "similarity") {
        request.model = helmert2d::Model::similarity;
      } else if (value == "rigid") {
        request.model = helmert2d::Model::rigid;
      } else if (value == "affine") {
        request.model = helmert2d::Model::affine;
      } else {
        return "--model takes 'similarity', 'rigid' or 'affine', not '" + value + "'";
      }
    }
    if (code == kSigmaFirst || code == kSigmaSecond) {
      double sigma = 0.0;
      const char* const name = code == kSigmaFirst ? "--sigma-first" : "--sigma-second";
      if (!helmert2d::textio::parse_number(value, sigma) || !(sigma > 0.0)) {
        return std::string(name) + " takes a positive number of metres, not '" + value + "'";
      }
      (code == kSigmaFirst ? request.sigma_first : request.sigma_second) = sigma;
    }
    if (code == kQuality) request.quality = true;
    if (code == kWkt) request.wkt_file = value;
    if (code == kHeights) {
      if (value == "shift") {
        request.heights = helmert2d::HeightModel::shift;
      } else if (value == "plane") {
        request.heights = helmert2d::HeightModel::plane;
      } else {
        return "--heights takes 'shift' or 'plane', not '" + value + "'";
      }
    }
    if (code == kExcludeHeight &&
        std::find(request.exclude_height.begin(), request.exclude_height.end(), value) ==
            request.exclude_height.end())
      request.exclude_height.push_back(value);
    if (code == kSigmaHFirst || code == kSigmaHSecond) {
      double sigma = 0.0;
      const char* const name = code == kSigmaHFirst ? "--sigma-h-first" : "--sigma-h-second";
      if (!helmert2d::textio::parse_number(value, sigma) || !(sigma > 0.0)) {
        return std::string(name) + " takes a positive number of metres, not '" + value + "'";
      }
      (code == kSigmaHFirst ? request.sigma_h_first : request.sigma_h_second) = sigma;
    }
  }
  if (!request.heights) {
    if (!request.exclude_height.empty()) return "--exclude-height needs --heights";
    if (request.sigma_h_first > 0.0 || request.sigma_h_second > 0.0)
      return "--sigma-h-first and --sigma-h-second need --heights";
  }
  return {};
}

// The CRSs of the WKT's two sides from --source-crs and --target-crs, looked up with
// PROJ's projinfo. Sets `usage` when one is given without --wkt; returns the console
// line of a code PROJ cannot give as a plane CRS (it is checked before anything is
// written), else an empty text.
std::string wkt_crss(const helmert2d::cli::Invocation& inv, helmert2d::RunRequest& request,
                     std::string& usage) {
  for (const auto& [code, value] : inv.extras) {
    if (code != kSourceCrs && code != kTargetCrs) continue;
    const char* const name = code == kSourceCrs ? "--source-crs" : "--target-crs";
    if (request.wkt_file.empty()) {
      usage = std::string(name) + " needs --wkt";
      return {};
    }
    helmert2d::WktCrs& crs = code == kSourceCrs ? request.source_crs : request.target_crs;
    if (const std::string why = helmert2d::lookup_crs(value, crs); !why.empty())
      return " ??? " + std::string(name) + " " + value + ": " + why + "\n";
  }
  return {};
}

// Asks for the names not given on the command line, each read as one word. False,
// after one console line naming the prompt, when the input ends before a name.
bool ask_missing_names(std::vector<std::string>& names) {
  static const char* const indents[3] = {"  ", "    ", "  "};
  static const char* const prompts[3] = {"From File 1", "To File 2", "Output file"};
  for (std::size_t i = names.size(); i < 3; ++i) {
    std::cout << indents[i] << prompts[i] << ": " << std::flush;
    std::string word;
    if (!(std::cin >> word)) {
      std::cout << "\n ??? No name given at the prompt '" << prompts[i] << "'\n";
      return false;
    }
    names.push_back(word);
  }
  return true;
}

// The residual picture of a computed run: every common point with its residual
// vector, flagged when either outlier table marks it, and the points left out.
helmert2d::grafik::ResidualPlotData residual_picture(const helmert2d::RunResult& r) {
  helmert2d::grafik::ResidualPlotData data;
  const helmert2d::CommonPoints& cp = r.points;
  for (int i = 1; i <= cp.n; ++i) {
    const auto u = static_cast<std::size_t>(i);
    bool flagged = false;
    if (r.outliers) {
      const OutlierTestRow& row = r.outliers->rows[u];
      flagged = row.component_flagged || row.pair_flagged;
    }
    // Without redundancy (two points) the residuals are rounding noise: no vectors.
    const bool redundant = r.solution.f > 0;
    data.points.push_back({cp.name[u], cp.X[u], cp.Y[u], redundant ? r.solution.vx[u] : 0.0,
                           redundant ? r.solution.vy[u] : 0.0, flagged});
  }
  for (const helmert2d::LeftOutPoint& p : r.left_out) data.left_out.push_back({p.name, p.X, p.Y});
  data.n = cp.n;
  data.mo = r.solution.f > 0 ? r.solution.mo : std::numeric_limits<double>::quiet_NaN();
  data.k = r.solution.k;
  return data;
}

// Draws the residual picture of a completed run into its output.
void write_residual_picture(const helmert2d::RunResult& r, const std::string& path,
                            helmert2d::textio::OutputSet& outputs) {
  std::ostream* out = outputs.open(path, std::cout);
  if (out != nullptr && !helmert2d::grafik::write_residual_plot(residual_picture(r), *out, path))
    outputs.fail(path);
}

// One console line naming what the run writes or does beyond the report, only when
// an option asked for it.
void say_extra_outputs(const helmert2d::RunRequest& r) {
  std::string line;
  auto add = [&line](const std::string& part) { line += (line.empty() ? "" : ", ") + part; };
  if (!r.json_file.empty()) add("JSON >" + r.json_file + "<");
  if (!r.csv_file.empty()) add("CSV >" + r.csv_file + "<");
  if (!r.residual_plot_file.empty()) add("residual plot >" + r.residual_plot_file + "<");
  if (!r.wkt_file.empty()) add("WKT >" + r.wkt_file + "<");
  if (r.tests.exact_quantiles) add("exact critical values");
  if (r.snoop) add("data snooping");
  if (r.compare_models) add("model comparison");
  if (r.model == helmert2d::Model::rigid) add("rigid model");
  if (r.model == helmert2d::Model::affine) add("affine model");
  if (r.sigma_first > 0.0 || r.sigma_second > 0.0) add("weights");
  if (r.quality) add("quality figures");
  if (r.heights)
    add(*r.heights == helmert2d::HeightModel::plane ? "heights (plane)" : "heights (shift)");
  if (!line.empty()) std::cout << " Also: " << line << "\n\n" << std::flush;
}

}  // namespace

// The program's run; main adds the way out when memory runs out.
int program(int argc, char** argv) {
  helmert2d::cli::Invocation inv;
  if (const auto end = helmert2d::cli::parse(kProgram, argc, argv, inv, std::cout, std::cerr))
    return *end;

  helmert2d::RunRequest request;
  if (const std::string wrong = coordinate_format(inv, request.format); !wrong.empty())
    return helmert2d::cli::usage_error(kProgram, wrong, std::cerr);
  if (const std::string wrong = model_and_weights(inv, request); !wrong.empty())
    return helmert2d::cli::usage_error(kProgram, wrong, std::cerr);
  std::string usage;
  const std::string crs_failure = wkt_crss(inv, request, usage);
  if (!usage.empty()) return helmert2d::cli::usage_error(kProgram, usage, std::cerr);
  // A CRS code PROJ cannot give is a wrong option value: the run ends as for one.
  if (!crs_failure.empty()) {
    std::cout << crs_failure << std::flush;
    return helmert2d::cli::finish(inv, 2);
  }

  // An interrupted run leaves the old report (or none), not a temporary beside it.
  helmert2d::textio::install_cleanup_on_signals();
  OK_(isim, tarih);
  std::vector<std::string>& names = inv.operands;
  if (names.size() < 3 && !ask_missing_names(names)) return helmert2d::cli::finish(inv, 1);
  const std::string& file1 = names[0];
  const std::string& file2 = names[1];
  const std::string& out = names[2];
  std::cout << "\n\n From >" << file1 << "< to >" << file2
            << "< 2D similarity results are recorded into >" << out << "<\n\n"
            << std::flush;

  request.file1 = file1;
  request.file2 = file2;
  request.report = out;
  request.version = HELMERT2D_VERSION;
  request.options_given = inv.options_given;
  for (const auto& [code, value] : inv.extras) {
    if (code == kJson) request.json_file = value;
    if (code == kCsv) request.csv_file = value;
    if (code == kExactQuantiles) request.tests.exact_quantiles = true;
    if (code == kExclude &&
        std::find(request.exclude.begin(), request.exclude.end(), value) == request.exclude.end())
      request.exclude.push_back(value);
    if (code == kSnoop) request.snoop = true;
    if (code == kCompareModels) request.compare_models = true;
    if (code == kResidualPlot) request.residual_plot_file = value;
  }
  say_extra_outputs(request);

  // Every output the run was asked for, refused before anything is written when one
  // names an input or another output; all are put in place at the end, or none.
  helmert2d::textio::OutputSet outputs;
  helmert2d::add_run_outputs(request, outputs);
  outputs.add("Residual plot file", request.residual_plot_file,
              helmert2d::textio::OutputKind::picture);
  outputs.add("Plot file", inv.plot_file, helmert2d::textio::OutputKind::picture);
  if (!outputs.check_names({file1, file2}, std::cout)) return helmert2d::cli::finish(inv, 1);
  const int status = helmert2d::cli::run_with_plot(
      inv, outputs,
      [&](bool draw) {
        // Without a window to show or a picture to save, the plot is not drawn at all.
        std::optional<GrafikRunPlot> plot;
        if (draw) plot.emplace();
        const helmert2d::FinishedRun run =
            helmert2d::run_transformation(request, outputs, std::cout, plot ? &*plot : nullptr);
        if (run.completed() && !request.residual_plot_file.empty())
          write_residual_picture(run.data->result, request.residual_plot_file, outputs);
        return helmert2d::cli::RunOutcome{run.status, plot && plot->opened()};
      },
      std::cout);
  return helmert2d::cli::finish(inv, status);
}

int main(int argc, char** argv) {
  return helmert2d::cli::guarded_main(argc, argv, program);
}
