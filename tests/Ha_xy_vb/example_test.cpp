// The bundled example: its committed report is the expected output of the program.
#include <gtest/gtest.h>

#include "support/temp_dir.h"

TEST(Example, ReportMatchesTheCommittedOne) {
  testsupport::TempDir dir;
  const std::string src = std::string(HELMERT2D_SOURCE_DIR) + "/examples/";
  const auto r = testsupport::run_program(
      HELMERT2D_PROGRAM, {"--no-pause", src + "local.txt", src + "national.txt", "report.txt"},
      dir);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(testsupport::read_file(dir.file("report.txt")),
            testsupport::read_file(src + "expected-report.txt"));
}
