// Runs the transformation in-process on coordinate files written into a temporary
// directory and hands back the report, the console text and the exit status.
#ifndef HELMERT2D_TESTS_SUPPORT_RUN_FIXTURE_H
#define HELMERT2D_TESTS_SUPPORT_RUN_FIXTURE_H

#include <sstream>
#include <string>

#include "helmert2d/Ha_xy_vb.h"
#include "support/temp_dir.h"

/// The banner that opens the report.
inline constexpr const char* kBanner =
    "\n ******************************************************\n"
    " *                VELMORA UNIVERSITY                  *\n"
    " *         DEPARTMENT of GEOMATIC ENGINEERING         *\n"
    " *  CODED BY: PhD. Eskin VARO                         *\n"
    " *  DATE    : 2002, Velmora University /Turkey        *\n"
    " ******************************************************\n";

/// What an in-process run left behind: its exit status, report file and console text.
struct RunOutput {
  int status = -1;
  std::string report;
  std::string console;
};

inline RunOutput run_transformation(const std::string& file1, const std::string& file2) {
  testsupport::TempDir dir;
  const std::string a = dir.write("system1.txt", file1);
  const std::string b = dir.write("system2.txt", file2);
  std::ostringstream console;
  RunOutput r;
  r.status = HAxy(a.c_str(), b.c_str(), dir.file("report.txt").c_str(), console, nullptr);
  r.report = testsupport::read_file(dir.file("report.txt"));
  r.console = console.str();
  return r;
}

/// The lines of a text, without their line ends.
inline std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream is(text);
  for (std::string line; std::getline(is, line);) lines.push_back(line);
  return lines;
}

/// Index of the first line equal to `line`, or -1.
inline int find_line(const std::vector<std::string>& lines, const std::string& line) {
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i] == line) return static_cast<int>(i);
  return -1;
}

#endif  // HELMERT2D_TESTS_SUPPORT_RUN_FIXTURE_H
