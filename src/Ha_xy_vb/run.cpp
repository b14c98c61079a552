// The transformation run: report, pairing, solution, tests and final coordinate list.
#include "run.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <limits>
#include <new>
#include <optional>
#include <set>
#include <sstream>
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "coordinate_file.h"
#include "helmert2d/Ha_xy_vb.h"
#include "helmert2d/dnsm.h"
#include "helmert2d/isttstk.h"
#include "helmert2d/yzdr.h"
#include "pairing.h"
#include "report_sections.h"
#include "result_files.h"
#include "run_result.h"
#include "textio/output_file.h"
#include "textio/textio.h"

const char* const isim = "PhD. Eskin VARO";
const char* const tarih = "2002, Velmora University /Turkey";

namespace helmert2d {
namespace {

// A first file at least this long is read beside the second.
constexpr std::uintmax_t kEarlyReadBytes = 1 << 20;

// Transforms every record of the first file that is not a common point, in file order;
// a record left out of the estimation is tied to its first pairing in `left_out`.
std::vector<FurtherPoint> transform_further(const CoordinateFile& first,
                                            const std::vector<char>& is_common,
                                            const std::vector<LeftOutPoint>& left_out,
                                            const Solution& sol) {
  std::vector<int> left_of(left_out.empty() ? 0 : first.records.size(), -1);
  for (std::size_t k = left_out.size(); k-- > 0;) {
    left_of[left_out[k].record] = static_cast<int>(k);
  }
  std::vector<FurtherPoint> out;
  out.reserve(first.records.size());
  for (std::size_t j = 0; j < first.records.size(); ++j) {
    if (is_common[j]) continue;
    const CoordinateRecord& r = first.records[j];
    out.push_back({r.name, r.first, r.second, r.third, sol.apply(r.first, r.second),
                   left_of.empty() ? -1 : left_of[j]});
  }
  return out;
}

// The misclosure of each point left out: transformed minus given, as a residual.
void set_misclosures(std::vector<LeftOutPoint>& left_out, const Solution& sol) {
  for (LeftOutPoint& p : left_out) {
    const PlanePoint q = sol.apply(p.x, p.y);
    p.vx = q.X - p.X;
    p.vy = q.Y - p.Y;
  }
}

// Warns when lines before the stop hold other than the four fields of a record: a fifth
// column would make the records read out of step without an error.
void report_fields(std::ostream& console, const std::string& file, const CoordinateFile& cf) {
  textio::report_field_count(console, file, cf.other_lines);
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
    report_fields(console, file, cf);
  }
  // An empty file is no failure of its own, but the run's failure should name it.
  if (cf.records.empty() && !cf.stop.stopped) console << " note: " << file << " holds no point\n";
  return true;
}

class Run {
 public:
  Run(const RunRequest& request, std::ostream& console, RunPlot* plot)
      : req_(request), console_(console), plot_(plot) {}
  // A run that ends in an exception still waits for its result files' thread.
  ~Run() {
    if (result_writer_.joinable()) result_writer_.join();
  }
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  int execute();
  int out_of_memory();

 private:
  bool check_output_names();
  bool open_report();
  bool read_inputs();
  int estimate();
  void use(Pairing&& pairing);
  bool snoop_step();
  RunRecord run_record();
  void write_solution();
  void write_final_list();
  int finish(int status);
  bool open_result_files();
  void start_result_files();
  void write_result_files();
  int commit_result_files(int status);
  std::vector<IgnoredRecords> ignored_records() const;

  const RunRequest& req_;
  std::ostream& console_;
  RunPlot* plot_;
  textio::OutputFile report_file_, json_file_, csv_file_;
  std::thread result_writer_;
  std::exception_ptr result_error_;  // what ended the result files' thread
  bool results_later_ = false;       // no thread: written once the report is
  std::ostream* report_ = nullptr;
  CoordinateFile first_, second_;
  std::vector<char> is_common_;   // per record of the first file
  NameSet left_out_;              // names left out of the estimation
  std::vector<SnoopStep> steps_;  // data snooping, in order
  std::optional<Solved> solved_;  // set when snooping estimated already
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
  const int status = estimate();
  if (status == 2) {
    report_file_.abandon();
    json_file_.abandon();
    csv_file_.abandon();
    if (plot_ != nullptr) plot_->report_finished();
    return 2;
  }
  // Everything is computed before the report's tables are written, so that the result
  // files are written beside all of them.
  const Solved solved = solved_ ? *solved_ : compute_run(result_, req_.tests);
  std::string failure;
  if (solved != Solved::yes) {
    failure = solved == Solved::too_few
                  ? " ??? At least two common points at distinct places are needed; no "
                    "transformation computed\n"
                  : " ??? The coordinates are too large: their sums overflow; no "
                    "transformation computed\n";
  } else {
    set_misclosures(result_.left_out, result_.solution);
    result_.further = transform_further(first_, is_common_, result_.left_out, result_.solution);
    // A further point near the largest double may transform beyond it: the final list
    // would show "inf", so the run ends as for sums that overflow.
    for (const FurtherPoint& fp : result_.further) {
      if (std::isfinite(fp.p.X) && std::isfinite(fp.p.Y)) continue;
      failure = " ??? The coordinates are too large: point " + textio::printable_token(fp.name) +
                " transforms beyond the range of numbers\n";
      break;
    }
  }
  if (failure.empty()) {
    for (const std::string& w : run_warnings(result_)) console_ << " warning: " << w << "\n";
    if (changes_report_numbers(req_)) result_.record = run_record();
    start_result_files();
  }
  write_input_listing(*report_, result_.points);
  if (!failure.empty()) {
    *report_ << failure;
    console_ << failure;
    return finish(1);
  }
  write_solution();
  write_final_list();
  if (result_.record) write_run_record(*report_, *result_.record, result_.left_out);
  const int written = finish(0);
  // A run that completed from files whose reading stopped before records that would
  // have been read says so by its status.
  return written == 0 && !ignored_records().empty() ? kRecordsIgnored : written;
}

std::vector<IgnoredRecords> Run::ignored_records() const {
  std::vector<IgnoredRecords> out;
  for (const auto& [file, cf] :
       {std::pair{&req_.file1, &first_}, std::pair{&req_.file2, &second_}}) {
    if (cf->stop.records_after > 0) out.push_back({*file, cf->stop.line, cf->stop.records_after});
  }
  return out;
}

// Starts writing the result files on a thread of their own; without a thread to spare
// they are written when the report is complete.
void Run::start_result_files() {
  if (!json_file_.is_open() && !csv_file_.is_open()) return;
  try {
    result_writer_ = std::thread([this] {
      try {
        write_result_files();
      } catch (...) {
        result_error_ = std::current_exception();
      }
    });
  } catch (const std::system_error&) {
    results_later_ = true;
  }
}

// Pairs the points, leaves out the --exclude names and, with --snoop, the points that
// data snooping rejects one by one. Returns 2 for an --exclude name that is not a common
// point, else 0; the final estimate is made by the caller.
int Run::estimate() {
  left_out_.insert(req_.exclude.begin(), req_.exclude.end());
  PairingNotes notes;
  use(pair_points(first_, second_, left_out_, &notes));
  write_input_notes(console_, req_.file1, req_.file2, first_, notes);
  if (req_.exclude.empty() && !req_.snoop) return 0;
  for (const std::string& name : req_.exclude) {
    // A name that pairs is a common point: left out, its pairings are in left_out.
    if (std::none_of(result_.left_out.begin(), result_.left_out.end(),
                     [&name](const LeftOutPoint& p) { return p.name == name; })) {
      console_ << " ??? --exclude " << textio::printable_token(name)
               << ": no common point has that name\n";
      return 2;
    }
  }
  if (!left_out_.empty()) {
    console_ << " Left out of the estimation:";
    for (const std::string& name : req_.exclude) console_ << " " << textio::printable_token(name);
    console_ << "\n";
  }
  if (req_.snoop) {
    // Each step leaves the estimate of the set it leaves behind in result_.
    solved_ = compute_run(result_, req_.tests);
    while (*solved_ == Solved::yes && snoop_step()) {
    }
    // Each point left out is tied to the step that left it out.
    for (LeftOutPoint& p : result_.left_out) {
      for (std::size_t s = 0; s < steps_.size(); ++s) {
        if (steps_[s].name == p.name) p.snoop_step = static_cast<int>(s + 1);
      }
    }
  }
  return 0;
}

// Starts the result of an estimate from its pairing.
void Run::use(Pairing&& pairing) {
  result_ = RunResult{};
  result_.points = std::move(pairing.points);
  result_.left_out = std::move(pairing.left_out);
  is_common_ = std::move(pairing.is_common);
}

// One step of data snooping on the estimate in result_: with more than three points,
// the flagged point (either table) with the largest pair test value T is left out,
// unless that would leave fewer than four, and the rest estimated again into result_.
// True when a point was left out.
bool Run::snoop_step() {
  if (result_.points.n <= 3) return false;
  const OutlierTestResult& o = *result_.outliers;
  int worst = 0;
  for (int i = 1; i <= o.n; ++i) {
    const OutlierTestRow& row = o.rows[static_cast<std::size_t>(i)];
    if (!row.component_flagged && !row.pair_flagged) continue;
    if (worst == 0 || row.T > o.rows[static_cast<std::size_t>(worst)].T) worst = i;
  }
  if (worst == 0) return false;
  const OutlierTestRow flagged = o.rows[static_cast<std::size_t>(worst)];
  const double component_critical = o.component_critical;
  const std::string name =
      textio::printable_token(result_.points.name[static_cast<std::size_t>(worst)]);
  std::ostringstream line;
  line.imbue(std::locale::classic());
  line << std::fixed << std::setprecision(2);
  if (result_.points.n - 1 < 4) {
    console_ << " Snooping stopped: " << name
             << " is still flagged, but leaving it out would leave fewer than four common "
                "points\n";
    return false;
  }
  SnoopStep step;
  step.name = result_.points.name[static_cast<std::size_t>(worst)];
  step.T = flagged.T;
  step.c = o.pair_critical;
  left_out_.insert(step.name);
  // The estimate without it gives the step's new mo.
  use(pair_points(first_, second_, left_out_));
  solved_ = compute_run(result_, req_.tests);
  step.mo_after = *solved_ == Solved::yes ? result_.solution.mo : 0.0;
  // The line names the test that flagged the point, with its values.
  line << " Snooping: " << name << " left out (T = " << step.T
       << (flagged.pair_flagged ? " > c = " : ", c = ") << step.c;
  if (!flagged.pair_flagged) {
    line << "; component test " << std::max(flagged.Tvx, flagged.Tvy) << " > "
         << component_critical;
  }
  line << "), mo now " << std::setprecision(4) << step.mo_after << " m\n";
  console_ << line.str();
  steps_.push_back(step);
  return true;
}

// The run record of the report: who made it when, from which bytes, with which options.
RunRecord Run::run_record() {
  RunRecord rec;
  rec.program = "helmert2d";
  rec.version = req_.version;
  rec.time_utc = started_;
  rec.inputs = {{req_.file1, first_.sha256}, {req_.file2, second_.sha256}};
  rec.options = req_.options_given;
  return rec;
}

// The report and the result files must name no input and no other output.
bool Run::check_output_names() {
  if (textio::same_file(req_.report, req_.file1) || textio::same_file(req_.report, req_.file2)) {
    console_ << " ??? Output file " << req_.report << " is the same file as an input file\n";
    return false;
  }
  for (const std::string* name : {&req_.json_file, &req_.csv_file, &req_.residual_plot_file}) {
    if (name->empty()) continue;
    for (const std::string* other : {&req_.file1, &req_.file2, &req_.report, &req_.json_file,
                                     &req_.csv_file, &req_.residual_plot_file}) {
      if (other == name || other->empty()) continue;
      if (textio::same_file(*name, *other)) {
        console_ << " ??? Output file " << *name << " is the same file as " << *other << "\n";
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

// Reads the second file, then the first. False when a file cannot be opened or a line
// of a line-mode file cannot be read. A first file that is a
// regular file of some size is read on a second thread meanwhile: reading it can then
// neither block nor take input away, and the run behaves as if it were read afterwards.
bool Run::read_inputs() {
  std::thread early;
  bool first_opened = false;
  std::exception_ptr early_error;
  std::error_code ec;
  const bool digest = changes_report_numbers(req_);
  if (std::filesystem::is_regular_file(req_.file1, ec) &&
      std::filesystem::file_size(req_.file1, ec) >= kEarlyReadBytes && !ec) {
    try {
      early = std::thread([this, &first_opened, &early_error, digest] {
        try {
          first_opened = read_coordinate_file(req_.file1, req_.format, first_, digest);
        } catch (...) {
          early_error = std::current_exception();
        }
      });
    } catch (const std::system_error&) {
      // No thread to spare: the file is read afterwards.
    }
  }
  struct Joiner {
    std::thread& t;
    ~Joiner() {
      if (t.joinable()) t.join();
    }
  } joiner{early};

  if (!read_coordinate_file(req_.file2, req_.format, second_, digest)) {
    console_ << " ??? Second system file " << req_.file2 << " is not opened\n";
    return false;
  }
  if (!report_reading(console_, req_.file2, second_, req_.format)) return false;
  const bool first_read = early.joinable();
  if (first_read) {
    early.join();
    if (early_error) std::rethrow_exception(early_error);
  }
  // The first file is read also when the second holds no point, so that a missing
  // first file is named and the run writes no report.
  if (!first_read) first_opened = read_coordinate_file(req_.file1, req_.format, first_, digest);
  if (!first_opened) {
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
  RowsWritten draw;
  if (plot_ != nullptr) {
    // Drawing is not thread-safe: the points are drawn here, block by block, as the
    // report's rows are written.
    draw = [this](std::size_t first, std::size_t last) {
      for (std::size_t k = first; k < last; ++k) {
        const FurtherPoint& fp = result_.further[k];
        plot_->further_point(std::string(fp.name), fp.p.X, fp.p.Y);
      }
    };
  }
  write_further_rows(*report_, cp.n, result_.further, draw);
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
  if (results_later_ && status == 0) {
    try {
      write_result_files();
    } catch (...) {
      result_error_ = std::current_exception();
    }
  }
  // The report is in place: result files that failed are left out, as files that could
  // not be written completely are.
  if (result_error_) {
    const std::string* failed = nullptr;
    for (auto [file, name] :
         {std::pair{&json_file_, &req_.json_file}, std::pair{&csv_file_, &req_.csv_file}}) {
      if (!file->is_open()) continue;
      file->abandon();
      if (failed == nullptr) failed = name;
    }
    bool memory = false;
    try {
      std::rethrow_exception(result_error_);
    } catch (const std::bad_alloc&) {
      memory = true;
    } catch (...) {
    }
    if (failed != nullptr && memory) {
      console_ << " ??? Out of memory: output file " << *failed << " is not written\n";
    } else if (failed != nullptr) {
      console_ << " ??? Output file " << *failed << " could not be written completely\n";
    }
    status = 1;
  }
  status = commit_result_files(status);
  if (status == 0 && !req_.residual_plot_file.empty() && req_.residual_plot &&
      !req_.residual_plot(result_, req_.residual_plot_file)) {
    console_ << " ??? Residual plot file " << req_.residual_plot_file << " is not written\n";
    status = 1;
  }
  return status;
}

// Writes the JSON and CSV files of a solved run into their temporaries. Runs on its
// own thread beside the report, since the result is complete before either is written;
// only the JSON file's p-values are computed here first, as the report shows none.
void Run::write_result_files() {
  if (json_file_.is_open() && result_.outliers) outlier_probabilities(*result_.outliers);
  RunIdentity id;
  id.version = req_.version;
  id.first = req_.file1;
  id.second = req_.file2;
  id.report = req_.report;
  id.time_utc = started_;
  id.exact_quantiles = req_.tests.exact_quantiles;
  id.excluded = req_.exclude;
  id.snooping = steps_;
  id.ignored = ignored_records();
  id.first_order = first_.columns.easting_first() ? AxisOrder::EN : AxisOrder::NE;
  id.second_order = second_.columns.easting_first() ? AxisOrder::EN : AxisOrder::NE;
  const auto& label = second_.columns.label;
  if (!label[0].empty()) id.second_names = {label[0], label[1], label[2]};
  helmert2d::write_result_files(json_file_.is_open() ? &json_file_.stream() : nullptr,
                                csv_file_.is_open() ? &csv_file_.stream() : nullptr, result_, id);
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

// Puts the result files in place once the report is: each complete or absent. Both are
// flushed first, so that one that fails (a closed pipe, a full disk) leaves the other
// uncommitted too.
int Run::commit_result_files(int status) {
  const std::pair<textio::OutputFile*, const std::string*> files[] = {
      {&json_file_, &req_.json_file}, {&csv_file_, &req_.csv_file}};
  for (auto [file, name] : files) {
    if (status != 0 || !file->is_open() || file->flush()) continue;
    console_ << " ??? Output file " << *name << " could not be written completely\n";
    status = 1;
  }
  for (auto [file, name] : files) {
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

// Ends a run that ran out of memory as one whose output cannot be written: one console
// line naming the first output not yet in place, status 1, and every output not yet
// committed left as it was (its temporary removed).
int Run::out_of_memory() {
  if (result_writer_.joinable()) result_writer_.join();
  const std::string* name =
      req_.residual_plot_file.empty() ? &req_.report : &req_.residual_plot_file;
  for (auto [file, file_name] :
       {std::pair{&csv_file_, &req_.csv_file}, std::pair{&json_file_, &req_.json_file},
        std::pair{&report_file_, &req_.report}}) {
    if (!file->is_open()) continue;
    file->abandon();
    name = file_name;
  }
  console_ << " ??? Out of memory: output file " << *name << " is not written\n";
  return 1;
}

}  // namespace

bool changes_report_numbers(const RunRequest& request) {
  return !request.exclude.empty() || request.snoop || request.tests.exact_quantiles;
}

int run_transformation(const RunRequest& request, std::ostream& console, RunPlot* plot) {
  Run run(request, console, plot);
  int status = 1;
  try {
    status = run.execute();
  } catch (const std::bad_alloc&) {
    status = run.out_of_memory();
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
