// Point names: the two coordinate files' points paired by name, and a name with letters
// outside ASCII keeping its row in line with the others in every table of the report.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run_fixture.h"

namespace {

TEST(Pairing, OrderDuplicatesAndCase) {
  // The list follows the second file; a name twice in the first file gives two
  // entries; P1 and p1 are different points; a point only in the second file is dropped.
  const RunOutput r =
      run_transformation("A 0 0 0\nB 100 0 0\nA 0.5 0.5 0\nC 0 100 0\np1 7 7 0\nD 50 50 0\n",
                         "C 10 110 0\nP1 3 3 0\nA 10 10 0\nB 110 10 0\nZ 1 1 0\n");
  ASSERT_EQ(r.status, 0);
  const char* const listing =
      "     1    C        0.000      100.000         10.000      110.000\n"
      "     2    A        0.000        0.000         10.000       10.000\n"
      "     3    A        0.500        0.500         10.000       10.000\n"
      "     4    B      100.000        0.000        110.000       10.000\n"
      "   === ==== ============ ============   ============ ============\n";
  EXPECT_NE(r.report.find(listing), std::string::npos) << r.report;
  // Final list: common rows, then the others of the first file numbered on from n + 1
  // in file order; both A records are skipped there.
  const std::string tail = r.report.substr(r.report.rfind("     4    B"));
  const auto lines = lines_of(tail);
  ASSERT_EQ(lines.size(), 5u) << tail;
  EXPECT_EQ(lines[1], "   === ==== ============ ============   ============= ============ ");
  EXPECT_EQ(lines[2].substr(0, 11), "     5   p1");
  EXPECT_EQ(lines[3].substr(0, 11), "     6    D");
  EXPECT_EQ(lines[4], "   === ==== ============ ============   ============= ============ ");
  EXPECT_EQ(r.report.find("    Z"), std::string::npos);
}

TEST(Pairing, ANameTwiceInTheSecondFileIsPairedAgain) {
  const RunOutput r = run_transformation("A 0 0 0\nB 100 0 0\nC 0 100 0\n",
                                         "B 110 10 0\nA 10 10 0\nB 110.002 10 0\nC 10 110 0\n");
  ASSERT_EQ(r.status, 0);
  const char* const listing =
      "     1    B      100.000        0.000        110.000       10.000\n"
      "     2    A        0.000        0.000         10.000       10.000\n"
      "     3    B      100.000        0.000        110.002       10.000\n"
      "     4    C        0.000      100.000         10.000      110.000\n";
  EXPECT_NE(r.report.find(listing), std::string::npos) << r.report;
}

TEST(Pairing, EveryPointCommonLeavesNoTransformedRows) {
  const char* const pts = "A 0 0 0\nB 100 0 0\nC 0 100 0\n";
  const RunOutput r = run_transformation(pts, pts);
  const std::string rule = "   === ==== ============ ============   ============= ============ \n";
  EXPECT_EQ(r.report.substr(r.report.size() - 2 * rule.size()), rule + rule);
}

TEST(Pairing, TheLibraryRunCompletesWhenRecordsAreIgnored) {
  // HAxy's callers get 0 for a completed run; the console names what was ignored.
  const RunOutput r = run_transformation("A 0 0 0\nB 100 0 0\nC 0 100 0\nD 0 x 0\nE 1 1 0\n",
                                         "A 10 10 0\nB 110 10 0\nC 10 110 0\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.console.find("line 4: reading stopped at 'x'; 1 record after it is ignored"),
            std::string::npos)
      << r.console;
}

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
  const RunOutput r = run_transformation(file1, file2);
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
