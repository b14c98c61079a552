// The transformation run with the program's options: test settings, points left out,
// data snooping and the machine-readable result files beside the report.
#ifndef HELMERT2D_SRC_HA_XY_VB_RUN_H
#define HELMERT2D_SRC_HA_XY_VB_RUN_H

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "coordinate_file.h"
#include "helmert2d/Ha_xy_vb.h"
#include "result_files.h"
#include "run_result.h"
#include "textio/output_set.h"
#include "wkt.h"

namespace helmert2d {

/// What one run is asked to do. Empty file names mean "not wanted".
struct RunRequest {
  std::string file1, file2, report;  ///< the two coordinate files and the report
  std::string json_file;             ///< --json: the JSON document of the run
  std::string csv_file;              ///< --csv: the final list as CSV
  std::string residual_plot_file;    ///< --residual-plot: the residual picture (drawn by
                                     ///< the program from the run's result)
  std::string wkt_file;              ///< --wkt: the transformation as a WKT2 operation
  /// --source-crs, --target-crs: the CRSs of the WKT's two sides, as lookup_crs gives
  /// them. One whose `wkt` is empty stands for a local engineering CRS named after the
  /// file (first or second) in that file's column order.
  WktCrs source_crs, target_crs;
  std::vector<std::string> exclude;  ///< --exclude: common points left out
  bool snoop = false;                ///< --snoop: iterative data snooping
  bool compare_models = false;       ///< --compare-models: the three models side by side
  TestSettings tests;                ///< --exact-quantiles
  Model model = Model::similarity;   ///< --model
  /// --sigma-first, --sigma-second: the a-priori standard deviation (m, > 0) of every
  /// point of that file whose own sigma (a sigma column) is not given; 0 when not given.
  double sigma_first = 0.0, sigma_second = 0.0;
  bool quality = false;  ///< --quality: the quality figures in the JSON and CSV
  /// --heights: the height model between the files' third values; none without it.
  std::optional<HeightModel> heights;
  std::vector<std::string> exclude_height;  ///< --exclude-height: left out of the height fit
  /// --sigma-h-first, --sigma-h-second: the a-priori standard deviation (m, > 0) of the
  /// heights of that file's points without their own (a sigma_h column); 0 when not given.
  double sigma_h_first = 0.0, sigma_h_second = 0.0;
  CoordinateFormat format;  ///< --delimiter, --columns, --header, --decimal-comma
  std::string version;      ///< the program's version, for the JSON
  /// The command line's options and their values as the user gave them, in order, for
  /// the report's run record (file names not included).
  std::vector<std::string> options_given;
};

/// The status of a run that completed, and wrote everything, from an input file whose
/// reading stopped before lines that would have been read as records.
constexpr int kRecordsIgnored = 3;

/// Whether the request uses an option that changes the report's numbers beyond what the
/// two files give: the report of such a run ends with a run record. (A sigma column that
/// only --columns auto finds gives the run weights too, and so a run record.)
bool changes_report_numbers(const RunRequest& request);

/// Whether the run's JSON and CSV carry the quality figures and its model: with
/// --quality, another model than the similarity, or weights (`weighted`). Without them
/// they are as they were before these figures existed.
bool extended_results(const RunRequest& request, bool weighted);

/// What a run read and computed. The names of RunResult::further view the first file's
/// text, so the files are kept beside the result.
struct RunData {
  CoordinateFile first, second;     ///< the two files as read
  RunResult result;                 ///< the estimate and the final list
  std::vector<SnoopStep> snooping;  ///< data snooping's steps, in order
};

/// How a run ended.
struct FinishedRun {
  int status = 1;                 ///< as run_transformation's status below
  std::unique_ptr<RunData> data;  ///< what the run read and computed; never null
  /// The transformation was computed and every output of the run written (status 0 or
  /// kRecordsIgnored).
  bool completed() const { return status == 0 || status == kRecordsIgnored; }
};

/// Adds the outputs that run_transformation writes to `outputs`, in the order their
/// failures are named: the report, the JSON, the CSV and the WKT file.
void add_run_outputs(const RunRequest& request, textio::OutputSet& outputs);

/// Runs the transformation as HAxy does, writing the report and the requested result
/// files into their temporaries in `outputs` (see add_run_outputs); the caller commits
/// them (OutputSet::commit). A run that computes no transformation writes its report
/// with the reason and drops the other outputs; a run that fails otherwise drops every
/// output. The status is 0 when the run completes, 1 when a file cannot be opened or no
/// transformation can be computed, 2 for an --exclude name that is not a common point,
/// and kRecordsIgnored instead of 0 when records of an input file were ignored. Memory
/// that runs out ends it with std::bad_alloc (see OutputSet::out_of_memory).
FinishedRun run_transformation(const RunRequest& request, textio::OutputSet& outputs,
                               std::ostream& console, RunPlot* plot);

/// The whole run without pictures: checks the names of the outputs, runs the
/// transformation and puts the report and the result files in place, each whole, or
/// none of them. Returns the status as above, or 1 when an output cannot be written.
int run_transformation(const RunRequest& request, std::ostream& console, RunPlot* plot);

}  // namespace helmert2d

#endif  // HELMERT2D_SRC_HA_XY_VB_RUN_H
