// The transformation run with the program's options: test settings, points left out,
// data snooping and the machine-readable result files beside the report.
#ifndef HELMERT2D_SRC_HA_XY_VB_RUN_H
#define HELMERT2D_SRC_HA_XY_VB_RUN_H

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "coordinate_file.h"
#include "helmert2d/Ha_xy_vb.h"
#include "run_result.h"

namespace helmert2d {

/// What one run is asked to do. Empty file names mean "not wanted".
struct RunRequest {
  std::string file1, file2, report;  ///< the two coordinate files and the report
  std::string json_file;             ///< --json: the JSON document of the run
  std::string csv_file;              ///< --csv: the final list as CSV
  std::string residual_plot_file;    ///< --residual-plot: the residual picture
  /// Draws and saves the residual picture of a computed run into the named file, whole
  /// or not at all; true when written. Supplied by the program, which has the canvas.
  std::function<bool(const RunResult&, const std::string&)> residual_plot;
  std::vector<std::string> exclude;  ///< --exclude: common points left out
  bool snoop = false;                ///< --snoop: iterative data snooping
  TestSettings tests;                ///< --exact-quantiles
  CoordinateFormat format;           ///< --delimiter, --columns, --header, --decimal-comma
  std::string version;               ///< the program's version, for the JSON
  /// The command line's options and their values as the user gave them, in order, for
  /// the report's run record (file names not included).
  std::vector<std::string> options_given;
};

/// The status of a run that completed, and wrote everything, from an input file whose
/// reading stopped before lines that would have been read as records.
constexpr int kRecordsIgnored = 3;

/// Whether the request uses an option that changes the report's numbers beyond what the
/// two files give: the report of such a run ends with a run record.
bool changes_report_numbers(const RunRequest& request);

/// Runs the transformation as HAxy does and writes the requested result files.
/// Returns 0 when the run and every file are complete, 1 otherwise, 2 for an
/// --exclude name that is not a common point (nothing written), and kRecordsIgnored
/// instead of 0 when records of an input file were ignored.
int run_transformation(const RunRequest& request, std::ostream& console, RunPlot* plot);

}  // namespace helmert2d

#endif  // HELMERT2D_SRC_HA_XY_VB_RUN_H
