// Times read_coordinate_file on generated files of the same points: the plain form and
// each line-mode form (comma with a header, semicolon with decimal commas, tab with a
// code column, runs of blanks in another column order). Prints the best of several
// reads of each and its ratio to the plain reader.
//
//   bench_textio [LINES [REPEATS]]      defaults: 1000000 lines, best of 5
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "Ha_xy_vb/coordinate_file.h"

namespace {

using helmert2d::CoordinateFormat;

struct Form {
  const char* label;
  const char* file;
  CoordinateFormat format;
  bool plain = false;
};

CoordinateFormat make_format(const char* delimiter, const char* columns, bool header,
                             bool decimal_comma) {
  CoordinateFormat f;
  if (delimiter != nullptr) f.set_delimiter(delimiter);
  if (columns != nullptr) f.set_columns(columns);
  f.header = header;
  f.decimal_comma = decimal_comma;
  f.line_mode = true;
  return f;
}

// Writes the points in each form: name, N, E, h with three decimals.
void write_files(const std::filesystem::path& dir, long lines) {
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<double> n(4500000.0, 4600000.0), e(400000.0, 500000.0),
      h(0.0, 2000.0);
  std::ofstream plain(dir / "plain.txt"), comma(dir / "comma.csv"), semi(dir / "semicolon.csv"),
      tab(dir / "tab.txt"), blanks(dir / "blanks.txt");
  comma << "Point,Easting,Northing,Height\n";
  semi << "Point;Easting;Northing;Height\n";
  char buf[160];
  for (long i = 0; i < lines; ++i) {
    const double N = n(rng), E = e(rng), H = h(rng);
    std::snprintf(buf, sizeof buf, "P%07ld %.3f %.3f %.3f\n", i, N, E, H);
    plain << buf;
    std::snprintf(buf, sizeof buf, "P%07ld,%.3f,%.3f,%.3f\n", i, E, N, H);
    comma << buf;
    std::snprintf(buf, sizeof buf, "P%07ld;%.3f;%.3f;%.3f\n", i, E, N, H);
    for (char* c = buf; *c != '\0'; ++c)
      if (*c == '.') *c = ',';
    semi << buf;
    std::snprintf(buf, sizeof buf, "P%07ld\tBM\t%.3f\t%.3f\t%.3f\n", i, E, N, H);
    tab << buf;
    std::snprintf(buf, sizeof buf, "P%07ld  %.3f  %.3f  %.3f\n", i, E, N, H);
    blanks << buf;
  }
}

// Best time of `repeats` reads, in seconds; the record count through `records`.
double best_read(const std::string& path, const Form& form, int repeats, std::size_t& records) {
  double best = 1e300;
  for (int r = 0; r < repeats; ++r) {
    helmert2d::CoordinateFile f;
    const auto t0 = std::chrono::steady_clock::now();
    const bool ok = form.plain ? helmert2d::read_coordinate_file(path, f)
                               : helmert2d::read_coordinate_file(path, form.format, f);
    const auto t1 = std::chrono::steady_clock::now();
    if (!ok || f.error) {
      std::fprintf(stderr, "bench_textio: %s not read\n", path.c_str());
      std::exit(1);
    }
    records = f.records.size();
    best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const long lines = argc > 1 ? std::atol(argv[1]) : 1000000;
  const int repeats = argc > 2 ? std::atoi(argv[2]) : 5;
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("bench_textio." + std::to_string(::getpid()));
  fs::create_directories(dir);
  write_files(dir, lines);

  const std::vector<Form> forms = {
      {"plain (white space)", "plain.txt", {}, true},
      {"--delimiter , --header --columns auto", "comma.csv", make_format(",", "auto", true, false)},
      {"--delimiter ; --header --columns auto --decimal-comma", "semicolon.csv",
       make_format(";", "auto", true, true)},
      {"--delimiter tab --columns id,code,E,N,h", "tab.txt",
       make_format("tab", "id,code,E,N,h", false, false)},
      {"--columns name,E,N,h (runs of blanks)", "blanks.txt",
       make_format(nullptr, "name,E,N,h", false, false)},
  };
  std::printf("%ld lines, best of %d reads\n\n", lines, repeats);
  std::printf("%-55s %10s %9s %7s\n", "form", "records", "time (s)", "ratio");
  double plain = 0.0;
  for (const Form& form : forms) {
    std::size_t records = 0;
    const double t = best_read((dir / form.file).string(), form, repeats, records);
    if (form.plain) plain = t;
    std::printf("%-55s %10zu %9.4f %7.2f\n", form.label, records, t, t / plain);
  }
  fs::remove_all(dir);
  return 0;
}
