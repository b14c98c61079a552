// The transformation run: report, pairing, solution, tests and final coordinate list.
#include "run.h"

#include <fstream>
#include <iostream>
#include <limits>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "coordinate_file.h"
#include "helmert2d/Ha_xy_vb.h"
#include "helmert2d/dnsm.h"
#include "helmert2d/isttstk.h"
#include "helmert2d/yzdr.h"
#include "report_sections.h"
#include "result_files.h"
#include "run_result.h"
#include "textio/output_file.h"
#include "textio/textio.h"

const char* const isim = "PhD. Eskin VARO";
const char* const tarih = "2002, Velmora University /Turkey";

namespace helmert2d {
namespace {

// Pairs the records by name in the order of the second file: for each of its records,
// every record of the first file with the same name, in file order. Marks the records
// of the first file that are common.
void pair_points(const CoordinateFile& first, const CoordinateFile& second, CommonPoints& cp,
                 std::vector<char>& is_common) {
  const std::size_t m = first.records.size();
  std::unordered_map<std::string_view, std::uint32_t> head;
  head.reserve(m);
  std::vector<std::uint32_t> next(m, UINT32_MAX);
  for (std::size_t j = m; j-- > 0;) {
    auto [it, inserted] = head.try_emplace(first.records[j].name, static_cast<std::uint32_t>(j));
    if (!inserted) {
      next[j] = it->second;
      it->second = static_cast<std::uint32_t>(j);
    }
  }
  is_common.assign(m, 0);
  for (const CoordinateRecord& r2 : second.records) {
    const auto it = head.find(r2.name);
    if (it == head.end()) continue;
    for (std::uint32_t j = it->second; j != UINT32_MAX; j = next[j]) {
      const CoordinateRecord& r1 = first.records[j];
      cp.add(std::string(r2.name), r1.first, r1.second, r2.first, r2.second, r1.third);
      is_common[j] = 1;
    }
  }
}

// Transforms every record of the first file that is not a common point, in file order.
std::vector<FurtherPoint> transform_further(const CoordinateFile& first,
                                            const std::vector<char>& is_common,
                                            const Solution& sol) {
  std::vector<FurtherPoint> out;
  out.reserve(first.records.size());
  for (std::size_t j = 0; j < first.records.size(); ++j) {
    if (is_common[j]) continue;
    const CoordinateRecord& r = first.records[j];
    out.push_back({r.name, r.first, r.second, r.third, sol.apply(r.first, r.second)});
  }
  return out;
}

// Warns when lines before the stop hold other than the four fields of a record: a fifth
// column would make the records read out of step without an error.
void report_fields(std::ostream& console, const std::string& file, const CoordinateFile& cf) {
  const int last = cf.stop.stopped ? cf.stop.line : std::numeric_limits<int>::max();
  textio::report_field_count(console, file, textio::count_other_lines(cf.text, 4, last));
}

// The console lines about how a file was read. False when a line of a line-mode file
// cannot be read: the run then has no input.
bool report_reading(std::ostream& console, const std::string& file, const CoordinateFile& cf,
                    const CoordinateFormat& format) {
  if (format.line_mode) {
    textio::report_line_error(console, file, cf.error);
    return !cf.error;
  }
  textio::report_stop(console, file, cf.stop);
  report_fields(console, file, cf);
  return true;
}

class Run {
 public:
  Run(const RunRequest& request, std::ostream& console, RunPlot* plot)
      : req_(request), console_(console), plot_(plot) {}

  int execute();

 private:
  bool check_output_names();
  bool open_report();
  bool read_inputs();
  void write_solution();
  void write_final_list();
  int finish(int status);
  bool open_result_files();
  void write_result_files();
  int commit_result_files(int status);

  const RunRequest& req_;
  std::ostream& console_;
  RunPlot* plot_;
  textio::OutputFile report_file_, json_file_, csv_file_;
  std::thread result_writer_;
  std::ostream* report_ = nullptr;
  CoordinateFile first_, second_;
  std::vector<char> is_common_;  // per record of the first file
  RunResult result_;
  std::string started_ = utc_timestamp();
};

int Run::execute() {
  if (!check_output_names()) return 1;
  if (!open_report()) return 1;
  if (!open_result_files()) {
    report_file_.abandon();
    return 1;
  }
  if (!read_inputs()) {
    // Nothing was computed: an existing report stays as it was and none is created.
    report_file_.abandon();
    json_file_.abandon();
    csv_file_.abandon();
    if (plot_ != nullptr) plot_->report_finished();
    return 1;
  }
  pair_points(first_, second_, result_.points, is_common_);
  write_input_listing(*report_, result_.points);
  const Solved solved = compute_run(result_, req_.tests);
  if (solved != Solved::yes) {
    const char* msg =
        solved == Solved::too_few
            ? " ??? At least two common points at distinct places are needed; no "
              "transformation computed\n"
            : " ??? The coordinates are too large: their sums overflow; no transformation "
              "computed\n";
    *report_ << msg;
    console_ << msg;
    return finish(1);
  }
  result_.further = transform_further(first_, is_common_, result_.solution);
  if (json_file_.is_open() || csv_file_.is_open()) {
    result_writer_ = std::thread([this] { write_result_files(); });
  }
  write_solution();
  write_final_list();
  return finish(0);
}

// The report and the result files must name no input and no other output.
bool Run::check_output_names() {
  if (textio::same_file(req_.report, req_.file1) || textio::same_file(req_.report, req_.file2)) {
    console_ << " ??? Output file " << req_.report << " is the same file as an input file\n";
    return false;
  }
  for (const std::string* name : {&req_.json_file, &req_.csv_file}) {
    if (name->empty()) continue;
    for (const std::string* other :
         {&req_.file1, &req_.file2, &req_.report, &req_.json_file, &req_.csv_file}) {
      if (other == name || other->empty()) continue;
      if (textio::same_file(*name, *other)) {
        console_ << " ??? Output file " << *name
                 << " is the same file as an input or another output file\n";
        return false;
      }
    }
  }
  return true;
}

// Opens the report and writes its banner.
bool Run::open_report() {
  if (!report_file_.open(req_.report)) {
    console_ << " ??? Output file " << req_.report << " is not opened\n";
    return false;
  }
  report_ = &report_file_.stream();
  OK_(*report_, isim, tarih);
  return true;
}

// Reads the second file, then (when it holds records) the first. False when a file
// cannot be opened or a line of a line-mode file cannot be read.
bool Run::read_inputs() {
  if (!read_coordinate_file(req_.file2, req_.format, second_)) {
    console_ << " ??? Second system file " << req_.file2 << " is not opened\n";
    return false;
  }
  if (!report_reading(console_, req_.file2, second_, req_.format)) return false;
  if (second_.records.empty()) return true;
  if (!read_coordinate_file(req_.file1, req_.format, first_)) {
    console_ << " ??? First system file " << req_.file1 << " is not opened\n";
    return false;
  }
  return report_reading(console_, req_.file1, first_, req_.format);
}

// Parameters, residuals and (n > 2) statistics and tests.
void Run::write_solution() {
  write_parameters(*report_, result_.solution);
  write_residuals(*report_, result_.points, result_.solution);
  if (result_.points.n > 2) {
    write_statistics(*report_, result_);
  } else {
    *report_ << "\n";
  }
}

// The final list: the common points with their given coordinates, then every further
// point transformed, each drawn as it is listed.
void Run::write_final_list() {
  const CommonPoints& cp = result_.points;
  write_final_list_head(*report_, cp);
  if (plot_ != nullptr) plot_->common_points(cp.n, cp.X.data(), cp.Y.data(), cp.name.data());
  int number = cp.n;
  for (const FurtherPoint& fp : result_.further) {
    write_final_row(*report_, ++number, fp.name, fp.x, fp.y, fp.p.X, fp.p.Y);
    if (plot_ != nullptr) plot_->further_point(std::string(fp.name), fp.p.X, fp.p.Y);
  }
  write_final_list_end(*report_);
}

// Puts the report in place; a report that could not be written whole is a failure and
// leaves the old file (or none).
int Run::finish(int status) {
  if (!report_file_.commit()) {
    console_ << " ??? Output file " << req_.report << " could not be written completely\n";
    status = 1;
  }
  if (plot_ != nullptr) plot_->report_finished();
  if (result_writer_.joinable()) result_writer_.join();
  return commit_result_files(status);
}

// Writes the JSON and CSV files of a solved run into their temporaries. Runs on its
// own thread beside the report, since the result is complete before either is written.
void Run::write_result_files() {
  RunIdentity id;
  id.version = req_.version;
  id.first = req_.file1;
  id.second = req_.file2;
  id.report = req_.report;
  id.time_utc = started_;
  id.exact_quantiles = req_.tests.exact_quantiles;
  if (json_file_.is_open()) write_json(json_file_.stream(), result_, id);
  if (csv_file_.is_open()) write_csv(csv_file_.stream(), result_);
}

// Opens the result files' temporaries; false (with one console line) when one cannot be
// created.
bool Run::open_result_files() {
  for (auto [file, name] :
       {std::pair{&json_file_, &req_.json_file}, std::pair{&csv_file_, &req_.csv_file}}) {
    if (name->empty()) continue;
    if (!file->open(*name)) {
      console_ << " ??? Output file " << *name << " is not opened\n";
      return false;
    }
  }
  return true;
}

// Puts the result files in place once the report is: each complete or absent.
int Run::commit_result_files(int status) {
  for (auto [file, name] :
       {std::pair{&json_file_, &req_.json_file}, std::pair{&csv_file_, &req_.csv_file}}) {
    if (!file->is_open()) continue;
    if (status != 0) {
      file->abandon();
    } else if (!file->commit()) {
      console_ << " ??? Output file " << *name << " could not be written completely\n";
      status = 1;
    }
  }
  return status;
}

}  // namespace

int run_transformation(const RunRequest& request, std::ostream& console, RunPlot* plot) {
  Run run(request, console, plot);
  const int status = run.execute();
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
  return helmert2d::run_transformation(request, console, plot);
}
