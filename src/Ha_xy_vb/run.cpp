// The transformation run: report, pairing, solution, tests and final coordinate list.
#include <fstream>
#include <iostream>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "coordinate_file.h"
#include "helmert2d/Ha_xy_vb.h"
#include "helmert2d/dnsm.h"
#include "helmert2d/isttstk.h"
#include "helmert2d/yzdr.h"
#include "report_sections.h"
#include "run_result.h"

const char* const isim = "PhD. Eskin VARO";
const char* const tarih = "2002, Velmora University /Turkey";

namespace helmert2d {
namespace {

void report_stop(std::ostream& console, const std::string& file, const CoordinateFile& cf) {
  if (!cf.stopped_early) return;
  console << " ??? " << file << " line " << cf.stop_line << ": reading stopped at '"
          << cf.stop_token << "'; the records after it are ignored\n";
}

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
      cp.add(std::string(r2.name), r1.first, r1.second, r2.first, r2.second);
      is_common[j] = 1;
    }
  }
}

// A further point of the first file (not common), transformed into system II.
struct FurtherPoint {
  std::size_t record = 0;  ///< 0-based index into the first file's records
  PlanePoint p;            ///< transformed coordinates (m)
};

// Transforms every record of the first file that is not a common point, in file order.
std::vector<FurtherPoint> transform_further(const CoordinateFile& first,
                                            const std::vector<char>& is_common,
                                            const Solution& sol) {
  std::vector<FurtherPoint> out;
  out.reserve(first.records.size());
  for (std::size_t j = 0; j < first.records.size(); ++j) {
    if (is_common[j]) continue;
    const CoordinateRecord& r = first.records[j];
    out.push_back({j, sol.apply(r.first, r.second)});
  }
  return out;
}

class Run {
 public:
  Run(const char* file1, const char* file2, const char* out, std::ostream& console, RunPlot* plot)
      : file1_(file1 ? file1 : ""),
        file2_(file2 ? file2 : ""),
        out_(out ? out : ""),
        console_(console),
        plot_(plot) {}

  int execute();

 private:
  bool open_report();
  bool read_inputs();
  void write_solution();
  void write_final_list();
  int finish(int status);

  std::string file1_, file2_, out_;
  std::ostream& console_;
  RunPlot* plot_;
  std::vector<char> buffer_ = std::vector<char>(1 << 20);  // outlives the stream using it
  std::ofstream report_;
  CoordinateFile first_, second_;
  std::vector<char> is_common_;  // per record of the first file
  RunResult result_;
};

int Run::execute() {
  if (!open_report()) return 1;
  if (!read_inputs()) return finish(1);
  pair_points(first_, second_, result_.points, is_common_);
  write_input_listing(report_, result_.points);
  if (!compute_run(result_)) {
    const char* msg =
        " ??? At least two common points at distinct places are needed; no transformation "
        "computed\n";
    report_ << msg;
    console_ << msg;
    return finish(1);
  }
  write_solution();
  write_final_list();
  return finish(0);
}

// Opens the report (never onto an input file) and writes its banner.
bool Run::open_report() {
  if (same_file(out_, file1_) || same_file(out_, file2_)) {
    console_ << " ??? Output file " << out_ << " is the same file as an input file\n";
    return false;
  }
  report_.rdbuf()->pubsetbuf(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
  report_.imbue(std::locale::classic());
  report_.open(out_, std::ios::out | std::ios::trunc);
  if (!report_.is_open()) {
    console_ << " ??? Output file " << out_ << " is not opened\n";
    return false;
  }
  OK_(report_, isim, tarih);
  return true;
}

// Reads the second file, then (when it holds records) the first.
bool Run::read_inputs() {
  if (!read_coordinate_file(file2_, second_)) {
    console_ << " ??? Second system file " << file2_ << " is not opened\n";
    return false;
  }
  report_stop(console_, file2_, second_);
  if (second_.records.empty()) return true;
  if (!read_coordinate_file(file1_, first_)) {
    console_ << " ??? First system file " << file1_ << " is not opened\n";
    return false;
  }
  report_stop(console_, file1_, first_);
  return true;
}

// Parameters, residuals and (n > 2) statistics and tests.
void Run::write_solution() {
  write_parameters(report_, result_.solution);
  write_residuals(report_, result_.points, result_.solution);
  if (result_.points.n > 2) {
    write_statistics(report_, result_);
  } else {
    report_ << "\n";
  }
}

// The final list: the common points with their given coordinates, then every further
// point transformed, each drawn as it is listed.
void Run::write_final_list() {
  const CommonPoints& cp = result_.points;
  const std::vector<FurtherPoint> further = transform_further(first_, is_common_, result_.solution);
  write_final_list_head(report_, cp);
  if (plot_ != nullptr) plot_->common_points(cp.n, cp.X.data(), cp.Y.data(), cp.name.data());
  int number = cp.n;
  for (const FurtherPoint& fp : further) {
    const CoordinateRecord& r = first_.records[fp.record];
    write_final_row(report_, ++number, r.name, r.first, r.second, fp.p.X, fp.p.Y);
    if (plot_ != nullptr) plot_->further_point(std::string(r.name), fp.p.X, fp.p.Y);
  }
  write_final_list_end(report_);
}

// Closes the report; a report that could not be written whole is a failure.
int Run::finish(int status) {
  report_.close();
  if (report_.fail()) {
    console_ << " ??? Output file " << out_ << " could not be written completely\n";
    status = 1;
  }
  if (plot_ != nullptr) plot_->report_finished();
  return status;
}

}  // namespace
}  // namespace helmert2d

int HAxy(const char* file1, const char* file2, const char* outFile) {
  return HAxy(file1, file2, outFile, std::cout, nullptr);
}

int HAxy(const char* file1, const char* file2, const char* outFile, std::ostream& console,
         RunPlot* plot) {
  helmert2d::Run run(file1, file2, outFile, console, plot);
  const int status = run.execute();
  console.flush();
  return status;
}
