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
      cp.add(std::string(r2.name), r1.first, r1.second, r2.first, r2.second);
      is_common[j] = 1;
    }
  }
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
  int finish(int status);

  std::string file1_, file2_, out_;
  std::ostream& console_;
  RunPlot* plot_;
  std::vector<char> buffer_ = std::vector<char>(1 << 20);  // outlives the stream using it
  std::ofstream report_;
};

int Run::execute() {
  if (textio::same_file(out_, file1_) || textio::same_file(out_, file2_)) {
    console_ << " ??? Output file " << out_ << " is the same file as an input file\n";
    return 1;
  }
  report_.rdbuf()->pubsetbuf(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
  report_.imbue(std::locale::classic());
  report_.open(out_, std::ios::out | std::ios::trunc);
  if (!report_.is_open()) {
    console_ << " ??? Output file " << out_ << " is not opened\n";
    return 1;
  }
  OK_(report_, isim, tarih);

  CoordinateFile second;
  if (!read_coordinate_file(file2_, second)) {
    console_ << " ??? Second system file " << file2_ << " is not opened\n";
    return finish(1);
  }
  textio::report_stop(console_, file2_, second.stop);
  CoordinateFile first;
  if (!second.records.empty()) {
    if (!read_coordinate_file(file1_, first)) {
      console_ << " ??? First system file " << file1_ << " is not opened\n";
      return finish(1);
    }
    textio::report_stop(console_, file1_, first.stop);
  }

  CommonPoints cp;
  std::vector<char> is_common;
  pair_points(first, second, cp, is_common);
  write_input_listing(report_, cp);

  Solution sol;
  if (!solve(cp, sol)) {
    const char* msg =
        " ??? At least two common points at distinct places are needed; no transformation "
        "computed\n";
    report_ << msg;
    console_ << msg;
    return finish(1);
  }
  write_parameters(report_, sol);
  write_residuals(report_, cp, sol);
  if (cp.n > 2) {
    write_statistics(report_, cp, sol);
  } else {
    report_ << "\n";
  }

  write_final_list_head(report_, cp);
  if (plot_ != nullptr) plot_->common_points(cp.n, cp.X.data(), cp.Y.data(), cp.name.data());
  int number = cp.n;
  for (std::size_t j = 0; j < first.records.size(); ++j) {
    if (is_common[j]) continue;
    const CoordinateRecord& r = first.records[j];
    const double Xp = sol.a * r.first - sol.o * r.second + sol.tx;
    const double Yp = sol.o * r.first + sol.a * r.second + sol.ty;
    write_final_row(report_, ++number, r.name, r.first, r.second, Xp, Yp);
    if (plot_ != nullptr) plot_->further_point(std::string(r.name), Xp, Yp);
  }
  write_final_list_end(report_);
  return finish(0);
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
