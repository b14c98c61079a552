// Pairing of the two coordinate files' points by name.
#include <gtest/gtest.h>

#include "support/run_fixture.h"

namespace {

TEST(Pairing, OrderDuplicatesAndCase) {
  // The list follows the second file; a name twice in the first file gives two
  // entries; P1 and p1 are different points; a point only in the second file is dropped.
  const RunResult r =
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
  const RunResult r = run_transformation("A 0 0 0\nB 100 0 0\nC 0 100 0\n",
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
  const RunResult r = run_transformation(pts, pts);
  const std::string rule = "   === ==== ============ ============   ============= ============ \n";
  EXPECT_EQ(r.report.substr(r.report.size() - 2 * rule.size()), rule + rule);
}

}  // namespace
