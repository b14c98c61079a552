// Large inputs with long names, and the pause on a terminal.
#include <gtest/gtest.h>

#include <sstream>

#include "support/child_program.h"
#include "support/temp_dir.h"

namespace {

using testsupport::read_file;
using testsupport::run_program;
using testsupport::TempDir;

TEST(Scale, MoreThanTenThousandCommonPointsAndLongNames) {
  std::ostringstream a, b;
  const int n = 12000;
  for (int i = 1; i <= n; ++i) {
    a << "POINT-NUMBER-" << i << " " << (i % 100) * 10.0 << " " << (i / 100) * 10.0 << " 0\n";
    b << "POINT-NUMBER-" << i << " " << 5000.0 + (i % 100) * 10.0 << " " << (i / 100) * 10.0
      << " 0\n";
  }
  TempDir dir;
  const std::string long_name(120, 'f');
  dir.write(long_name + ".txt", a.str());
  dir.write("second-system-file-with-a-long-name.txt", b.str());
  const auto r = run_program(
      HELMERT2D_PROGRAM,
      {"--no-pause", long_name + ".txt", "second-system-file-with-a-long-name.txt", "report.txt"},
      dir);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("From >" + long_name + ".txt< to >"), std::string::npos);
  const std::string report = read_file(dir.file("report.txt"));
  EXPECT_NE(report.find(" 12000POINT-NUMBER-12000"), std::string::npos);
  EXPECT_NE(report.find("            f =23996\n"), std::string::npos);
  EXPECT_NE(report.find("             a =  1.00000000        o =  0.00000000\n"),
            std::string::npos);
}

// On a terminal the program waits for one key, without Enter.
TEST(Terminal, PauseTakesOneKeyInRawMode) {
  TempDir dir;
  dir.write("a.txt", "A 0 0 0\nB 100 0 0\nC 0 100 0\n");
  testsupport::ChildProgram run(dir, "", {"--no-window", "a.txt", "a.txt", "r.txt"},
                                testsupport::ChildProgram::Console::terminal);
  ASSERT_GE(run.master(), 0);
  ASSERT_TRUE(run.wait_for_console(" Press any key to continue . . .")) << run.console();
  ASSERT_TRUE(run.type("x"));  // one key, no Enter
  EXPECT_EQ(run.wait(), 0);
}

}  // namespace
