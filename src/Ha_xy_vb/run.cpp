// The transformation run as one straight flow: read the two files, estimate, complete
// the result, then write the report and the result files into the run's outputs.
#include "run.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <iostream>
#include <limits>
#include <new>
#include <ostream>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "estimate.h"
#include "helmert2d/Ha_xy_vb.h"
#include "helmert2d/isttstk.h"
#include "helmert2d/yzdr.h"
#include "model_comparison.h"
#include "pairing.h"
#include "report_sections.h"
#include "result_files.h"
#include "run_result.h"
#include "textio/output_set.h"
#include "textio/textio.h"

const char* const isim = "PhD. Eskin VARO";
const char* const tarih = "2002, Velmora University /Turkey";

namespace helmert2d {
namespace {

// A first file at least this long is read beside the second.
constexpr std::uintmax_t kEarlyReadBytes = 1 << 20;

// Joins a thread on every way out of a scope, also when it is left by an exception.
struct Joiner {
  std::thread& t;
  ~Joiner() {
    if (t.joinable()) t.join();
  }
};

// Transforms every record of the first file that is not a common point, in file order;
// a record left out of the estimation is tied to its first pairing in `left_out`.
std::vector<FurtherPoint> transform_further(const CoordinateFile& first,
                                            const std::vector<char>& is_common,
                                            const std::vector<LeftOutPoint>& left_out,
                                            const ModelFit& fit) {
  std::vector<int> left_of(left_out.empty() ? 0 : first.records.size(), -1);
  for (std::size_t k = left_out.size(); k-- > 0;) {
    left_of[left_out[k].record] = static_cast<int>(k);
  }
  std::vector<FurtherPoint> out;
  out.reserve(first.records.size());
  for (std::size_t j = 0; j < first.records.size(); ++j) {
    if (is_common[j]) continue;
    const CoordinateRecord& r = first.records[j];
    out.push_back({r.name, r.first, r.second, r.third, fit.apply(r.first, r.second),
                   left_of.empty() ? -1 : left_of[j]});
  }
  return out;
}

// The misclosure of each point left out: transformed minus given, as a residual.
void set_misclosures(std::vector<LeftOutPoint>& left_out, const ModelFit& fit) {
  for (LeftOutPoint& p : left_out) {
    const PlanePoint q = fit.apply(p.x, p.y);
    p.vx = q.X - p.X;
    p.vy = q.Y - p.Y;
  }
}

// The console lines about how a file was read. False when a line of a line-mode file
// cannot be read: the run then has no input.
bool report_reading(std::ostream& console, const std::string& file, const CoordinateFile& cf,
                    const CoordinateFormat& format) {
  if (format.line_mode) {
    textio::report_line_error(console, file, cf.error);
    if (cf.error) return false;
    if (cf.header_record.line != 0) {
      console << " note: " << file << " line " << cf.header_record.line
              << " is skipped as the header (--header), but it reads as the record of point "
              << textio::printable_token(cf.header_record.name) << "\n";
    }
  } else {
    textio::report_stop(console, file, cf.stop);
    // Lines before the stop with other than the four fields of a record: a fifth column
    // would make the records read out of step without an error.
    textio::report_field_count(console, file, cf.other_lines);
  }
  // An empty file is no failure of its own, but the run's failure should name it.
  if (cf.records.empty() && !cf.stop.stopped) console << " note: " << file << " holds no point\n";
  return true;
}

// Reads the second file, then the first, with their console lines. False when a file
// cannot be opened or a line of a line-mode file cannot be read. A first file that is a
// regular file of some size is read on a second thread meanwhile: reading it can then
// neither block nor take input away, and the run behaves as if it were read afterwards.
bool read_inputs(const RunRequest& req, RunData& d, std::ostream& console) {
  std::thread early;
  bool first_opened = false;
  std::exception_ptr early_error;
  std::error_code ec;
  // A sigma column that the header names gives the run weights, and so a run record.
  const bool digest = changes_report_numbers(req) || req.format.auto_columns;
  if (std::filesystem::is_regular_file(req.file1, ec) &&
      std::filesystem::file_size(req.file1, ec) >= kEarlyReadBytes && !ec) {
    try {
      early = std::thread([&] {
        try {
          first_opened = read_coordinate_file(req.file1, req.format, d.first, digest,
                                              req.sigma_first, req.sigma_h_first);
        } catch (...) {
          early_error = std::current_exception();
        }
      });
    } catch (const std::system_error&) {
      // No thread to spare: the file is read afterwards.
    }
  }
  Joiner joiner{early};
  if (!read_coordinate_file(req.file2, req.format, d.second, digest, req.sigma_second,
                            req.sigma_h_second)) {
    console << " ??? Second system file " << req.file2 << " is not opened\n";
    return false;
  }
  if (!report_reading(console, req.file2, d.second, req.format)) return false;
  const bool first_read = early.joinable();
  if (first_read) {
    early.join();
    if (early_error) std::rethrow_exception(early_error);
  }
  // The first file is read also when the second holds no point, so that a missing
  // first file is named and the run writes no report.
  if (!first_read) {
    first_opened = read_coordinate_file(req.file1, req.format, d.first, digest, req.sigma_first,
                                        req.sigma_h_first);
  }
  if (!first_opened) {
    console << " ??? First system file " << req.file1 << " is not opened\n";
    return false;
  }
  return report_reading(console, req.file1, d.first, req.format);
}

// Completes a solved estimate with its final list: the misclosures of the points left
// out and every further point transformed. Returns the console line of a run that
// cannot go on (a further point beyond the range of numbers), else an empty text.
std::string complete_result(const CoordinateFile& first, const Estimate& est, RunResult& r,
                            Model model) {
  if (est.solved == Solved::too_few) {
    if (model == Model::affine) {
      return " ??? The affine model needs at least three common points not on one line; no "
             "transformation computed\n";
    }
    return " ??? At least two common points at distinct places are needed; no "
           "transformation computed\n";
  }
  if (est.solved == Solved::overflow) {
    return " ??? The coordinates are too large: their sums overflow; no transformation "
           "computed\n";
  }
  set_misclosures(r.left_out, r.fit);
  r.further = transform_further(first, est.is_common, r.left_out, r.fit);
  // A further point near the largest double may transform beyond it: the final list
  // would show "inf", so the run ends as for sums that overflow.
  for (const FurtherPoint& fp : r.further) {
    if (std::isfinite(fp.p.X) && std::isfinite(fp.p.Y)) continue;
    return " ??? The coordinates are too large: point " + textio::printable_token(fp.name) +
           " transforms beyond the range of numbers\n";
  }
  // Each further point's height from its own (H_I) at its transformed place.
  if (r.heights && r.heights->fit.status == HeightStatus::ok) {
    r.heights->further.reserve(r.further.size());
    for (const FurtherPoint& fp : r.further)
      r.heights->further.push_back(transform_height(r.heights->fit, fp.third, fp.p.X, fp.p.Y));
  }
  return {};
}

// Common points with a redundancy number below this are hardly checked by the others: a
// blunder in them shows in the residuals by less than a tenth.
constexpr double kHardlyChecked = 0.1;

// The console note naming the common points that the others hardly check.
void note_hardly_checked(std::ostream& console, const RunResult& r) {
  std::vector<std::string_view> names;
  for (int i = 1; i <= r.points.n && !r.quality.points.empty(); ++i) {
    const PointQuality& q = r.quality.points[static_cast<std::size_t>(i)];
    if (std::min(q.rx, q.ry) < kHardlyChecked) names.push_back(r.points.name[i]);
  }
  if (names.empty()) return;
  console << " note: " << names.size()
          << (names.size() == 1 ? " common point is" : " common points are")
          << " hardly checked by the others (redundancy number below 0.1): " << name_list(names)
          << "\n";
}

// Per input file whose reading stopped before lines that would have been records.
std::vector<IgnoredRecords> ignored_records(const RunRequest& req, const RunData& d) {
  std::vector<IgnoredRecords> out;
  for (const auto& [file, cf] :
       {std::pair{&req.file1, &d.first}, std::pair{&req.file2, &d.second}}) {
    if (cf->stop.records_after > 0) out.push_back({*file, cf->stop.line, cf->stop.records_after});
  }
  return out;
}

// The run record of the report: who made it when, from which bytes, with which options.
RunRecord run_record(const RunRequest& req, const RunData& d, const std::string& started) {
  RunRecord rec;
  rec.program = "helmert2d";
  rec.version = req.version;
  rec.time_utc = started;
  rec.inputs = {{req.file1, d.first.sha256}, {req.file2, d.second.sha256}};
  rec.options = req.options_given;
  rec.model = d.result.fit.model;
  rec.global = d.result.global;
  return rec;
}

// What the JSON and CSV files say about the run beside its result.
RunIdentity run_identity(const RunRequest& req, const RunData& d, const std::string& started) {
  RunIdentity id;
  id.version = req.version;
  id.first = req.file1;
  id.second = req.file2;
  id.report = req.report;
  id.time_utc = started;
  id.exact_quantiles = req.tests.exact_quantiles;
  id.extended = extended_results(req, !d.result.points.weight.empty());
  id.quality_rows = req.quality || !d.result.points.weight.empty();
  id.excluded = req.exclude;
  id.snooping = d.snooping;
  id.ignored = ignored_records(req, d);
  id.first_order = d.first.columns.easting_first() ? AxisOrder::EN : AxisOrder::NE;
  id.second_order = d.second.columns.easting_first() ? AxisOrder::EN : AxisOrder::NE;
  const auto& label = d.second.columns.label;
  if (!label[0].empty()) id.second_names = {label[0], label[1], label[2]};
  return id;
}

// The report's tables after its banner: the input listing, parameters, residuals,
// (n > 2) statistics and tests, the final list with each further point drawn as it is
// listed, and the run record when there is one.
void write_report(std::ostream& report, const RunResult& r, RunPlot* plot) {
  const CommonPoints& cp = r.points;
  write_input_listing(report, cp);
  write_parameters(report, r);
  write_residuals(report, cp, r.solution);
  if (r.outliers) {
    write_statistics(report, r);
  } else {
    report << "\n";
  }
  write_final_list_head(report, cp);
  RowsWritten draw;
  if (plot != nullptr) {
    plot->common_points(cp.n, cp.X.data(), cp.Y.data(), cp.name.data());
    // Drawing is not thread-safe: the points are drawn here, block by block, as the
    // report's rows are written.
    draw = [plot, &r](std::size_t first, std::size_t last) {
      for (std::size_t k = first; k < last; ++k) {
        const FurtherPoint& fp = r.further[k];
        plot->further_point(std::string(fp.name), fp.p.X, fp.p.Y);
      }
    };
  }
  write_further_rows(report, cp.n, r.further, draw);
  write_final_list_end(report);
  if (r.heights) write_heights(report, r);
  if (r.record) write_run_record(report, *r.record, r.left_out);
}

// Writes the report, and beside it, on a thread of their own, the JSON and CSV files
// (the result is complete before any of them is written); without a thread to spare
// they are written after it. Memory that runs out on that thread ends the run as on
// this one; any other failure there fails the result files.
void write_outputs(const RunRequest& req, textio::OutputSet& outputs, const RunData& d,
                   const RunIdentity& id, std::ostream& report, RunPlot* plot) {
  std::ostream* json = outputs.stream(req.json_file);
  std::ostream* csv = outputs.stream(req.csv_file);
  std::exception_ptr error;
  const auto write_files = [&] {
    try {
      write_result_files(json, csv, d.result, id);
    } catch (...) {
      error = std::current_exception();
    }
  };
  std::thread beside;
  const bool files = json != nullptr || csv != nullptr;
  if (files) {
    try {
      beside = std::thread(write_files);
    } catch (const std::system_error&) {
      // Written after the report.
    }
  }
  const bool threaded = beside.joinable();
  {
    Joiner joiner{beside};
    write_report(report, d.result, plot);
    if (plot != nullptr) plot->report_finished();
  }
  if (files && !threaded) write_files();
  if (!error) return;
  try {
    std::rethrow_exception(error);
  } catch (const std::bad_alloc&) {
    throw;
  } catch (...) {
    outputs.fail(json != nullptr ? req.json_file : req.csv_file);
  }
}

// The WKT's operation accuracy (m) and what it is: the check-point RMS, the root mean
// square of the leave-one-out residuals (computed here when the run has no quality
// figures, f = 1). When no point is checked by the others it is mo, but only without
// weights: with weights from a-priori sigmas the fit's sigma0 has no unit, and the
// accuracy is left out (NaN), as it is without degrees of freedom.
struct OperationAccuracy {
  double m = std::numeric_limits<double>::quiet_NaN();
  const char* what = "";
};
OperationAccuracy operation_accuracy(const RunResult& r) {
  if (r.fit.f <= 0) return {};
  const bool weighted = !r.points.weight.empty();
  double rms = r.quality.check_point_rms;
  if (r.quality.points.empty()) {
    // The run's fit keeps no residuals (the solution took them): fitted again.
    ModelFit fit;
    if (fit_model(r.fit.model, r.points, r.points.weight, fit) != FitStatus::ok) return {};
    rms = fit_quality(fit, r.points, r.points.weight, weighted ? 1.0 : fit.s0).check_point_rms;
  }
  if (std::isfinite(rms)) return {rms, "the check-point RMS (leave-one-out residuals)"};
  if (weighted) return {};
  return {r.fit.s0, "mo (no point is checked by the others)"};
}

// The run's transformation as a WKT2:2019 coordinate operation; empty when it cannot be
// written (a coefficient not finite).
std::string operation_wkt(const RunRequest& req, const RunResult& r, const RunIdentity& id) {
  WktOperation op;
  const Model m = r.fit.model;
  const char* const model = m == Model::rigid    ? "rigid"
                            : m == Model::affine ? "affine"
                                                 : "similarity";
  op.name = "helmert2d " + std::string(model) + " transformation " + req.file1 + " to " + req.file2;
  op.step = affine_step(r.fit);
  const OperationAccuracy accuracy = operation_accuracy(r);
  op.accuracy_m = accuracy.m;
  op.source = req.source_crs;
  if (op.source.wkt.empty()) op.source = {req.file1, id.first_order, ""};
  op.target = req.target_crs;
  if (op.target.wkt.empty()) op.target = {req.file2, id.second_order, ""};
  op.remark = "Estimated by least squares from " + std::to_string(r.points.n) + " common points";
  if (std::isfinite(accuracy.m)) op.remark += "; accuracy: " + std::string(accuracy.what);
  return coordinate_operation_wkt(op);
}

// Ends a run that writes nothing: every output dropped.
int write_nothing(textio::OutputSet& outputs, RunPlot* plot, int status) {
  outputs.drop_all();
  if (plot != nullptr) plot->report_finished();
  return status;
}

}  // namespace

bool changes_report_numbers(const RunRequest& request) {
  return !request.exclude.empty() || request.snoop || request.tests.exact_quantiles ||
         request.model != Model::similarity || request.sigma_first > 0.0 ||
         request.sigma_second > 0.0 || request.format.columns.has_sigma() ||
         request.heights.has_value();
}

bool extended_results(const RunRequest& request, bool weighted) {
  return request.quality || request.model != Model::similarity || weighted;
}

void add_run_outputs(const RunRequest& request, textio::OutputSet& outputs) {
  for (const std::string* name :
       {&request.report, &request.json_file, &request.csv_file, &request.wkt_file}) {
    outputs.add("Output file", *name, textio::OutputKind::text);
  }
}

FinishedRun run_transformation(const RunRequest& req, textio::OutputSet& outputs,
                               std::ostream& console, RunPlot* plot) {
  FinishedRun run;
  run.data = std::make_unique<RunData>();
  RunData& d = *run.data;
  const std::string started = utc_timestamp();
  std::ostream* report = outputs.open(req.report, console);
  if (report == nullptr) return run;
  OK_(*report, isim, tarih);
  for (const std::string* name : {&req.json_file, &req.csv_file, &req.wkt_file}) {
    if (!name->empty() && outputs.open(*name, console) == nullptr) {
      outputs.drop_all();
      return run;
    }
  }
  // Nothing computed: an existing report stays as it was and none is created.
  if (!read_inputs(req, d, console)) {
    run.status = write_nothing(outputs, plot, 1);
    return run;
  }
  Estimate est = estimate(req, d.first, d.second, console);
  if (est.status != 0) {
    run.status = write_nothing(outputs, plot, est.status);
    return run;
  }
  d.result = std::move(est.result);
  d.snooping = std::move(est.snooping);
  if (const std::string failure = complete_result(d.first, est, d.result, req.model);
      !failure.empty()) {
    // The report lists the points and says why; the result files are not written.
    write_input_listing(*report, d.result.points);
    *report << failure;
    console << failure;
    outputs.drop(req.json_file);
    outputs.drop(req.csv_file);
    outputs.drop(req.wkt_file);
    if (plot != nullptr) plot->report_finished();
    return run;
  }
  for (const std::string& w : run_warnings(d.result)) console << " warning: " << w << "\n";
  if (extended_results(req, !d.result.points.weight.empty()))
    note_hardly_checked(console, d.result);
  // The models side by side on the final estimate's points, with the run's weights.
  if (req.compare_models) {
    d.result.model_comparison = compare_models(d.result.points, d.result.points.weight);
    write_model_comparison(console, *d.result.model_comparison);
  }
  if (changes_report_numbers(req) || !d.result.points.weight.empty()) {
    d.result.record = run_record(req, d, started);
  }
  // The JSON's exact p-values (the report shows none), before anything is written.
  if (outputs.stream(req.json_file) != nullptr && d.result.outliers) {
    outlier_probabilities(*d.result.outliers);
  }
  const RunIdentity id = run_identity(req, d, started);
  if (std::ostream* wkt = outputs.stream(req.wkt_file)) {
    const std::string text = operation_wkt(req, d.result, id);
    // No operation without finite coefficients: the file is not written.
    if (text.empty()) {
      outputs.fail(req.wkt_file);
    } else {
      *wkt << text;
    }
  }
  write_outputs(req, outputs, d, id, *report, plot);
  // A run that completed from files whose reading stopped before records that would
  // have been read says so by its status.
  run.status = ignored_records(req, d).empty() ? 0 : kRecordsIgnored;
  return run;
}

int run_transformation(const RunRequest& request, std::ostream& console, RunPlot* plot) {
  textio::OutputSet outputs;
  add_run_outputs(request, outputs);
  int status = 1;
  try {
    if (outputs.check_names({request.file1, request.file2}, console)) {
      status = run_transformation(request, outputs, console, plot).status;
      status = outputs.commit(status, console);
    }
  } catch (const std::bad_alloc&) {
    status = outputs.out_of_memory(console);
  }
  console.flush();
  return status;
}

}  // namespace helmert2d

int HAxy(const char* file1, const char* file2, const char* outFile) {
  return HAxy(file1, file2, outFile, std::cout, nullptr);
}

int HAxy(const char* file1, const char* file2, const char* outFile, std::ostream& console,
         RunPlot* plot) {
  helmert2d::RunRequest request;
  request.file1 = file1 ? file1 : "";
  request.file2 = file2 ? file2 : "";
  request.report = outFile ? outFile : "";
  // The library's contract: the run completed, whatever its console lines say about
  // records that were ignored.
  const int status = helmert2d::run_transformation(request, console, plot);
  return status == helmert2d::kRecordsIgnored ? 0 : status;
}
