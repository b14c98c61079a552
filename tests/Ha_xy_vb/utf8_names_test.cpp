// A point name with letters outside ASCII keeps its row in line with the others in
// every table of the report.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run_fixture.h"

namespace {

// Characters of a UTF-8 line: the bytes that do not continue a sequence.
std::size_t columns(const std::string& s) {
  std::size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0u) != 0x80u;
  return n;
}

TEST(Report, NonAsciiNamesStayInTheirColumns) {
  const std::string s01 =
      "\xC5\x9E"
      "01";  // Ş01
  const std::string file1 = s01 +
                            " 100.0 200.0 0\nP02 300.0 200.0 0\n"
                            "P03 300.0 400.0 0\nP04 100.0 400.0 0\nP05 150.0 250.0 0\n";
  const std::string file2 = s01 +
                            " 1100.01 2200.0 0\nP02 1300.0 2200.02 0\n"
                            "P03 1300.0 2400.0 0\nP04 1100.0 2399.99 0\n";
  const RunResult r = run_transformation(file1, file2);
  ASSERT_EQ(r.status, 0) << r.console;
  const std::vector<std::string> lines = lines_of(r.report);
  int tables = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::size_t at = lines[i].find(s01);
    if (at == std::string::npos) continue;
    // The next row of the same table names P02.
    std::size_t j = i + 1;
    while (j < lines.size() && lines[j].find("P02") == std::string::npos) ++j;
    ASSERT_LT(j, lines.size()) << lines[i];
    ++tables;
    EXPECT_EQ(columns(lines[i].substr(0, at + s01.size())), lines[j].find("P02") + 3)
        << lines[i] << "\n"
        << lines[j];
    EXPECT_EQ(columns(lines[i]), lines[j].size()) << lines[i] << "\n" << lines[j];
  }
  EXPECT_GE(tables, 3);  // input listing, residuals, final list at least
}

}  // namespace
