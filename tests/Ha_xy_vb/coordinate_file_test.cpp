// Coordinate file reading and pairing rules.
#include "Ha_xy_vb/coordinate_file.h"

#include <gtest/gtest.h>

#include "run_fixture.h"

namespace {

using helmert2d::parse_number;

TEST(CoordinateFile, NumbersAreWholeDecimalTokens) {
  double v = 0;
  EXPECT_TRUE(parse_number("12", v) && v == 12.0);
  EXPECT_TRUE(parse_number("-1.5", v) && v == -1.5);
  EXPECT_TRUE(parse_number("+2e3", v) && v == 2000.0);
  EXPECT_TRUE(parse_number(".5", v) && v == 0.5);
  EXPECT_TRUE(parse_number("5.", v) && v == 5.0);
  EXPECT_TRUE(parse_number("1E-2", v) && v == 0.01);
  for (const char* bad : {"", "inf", "-inf", "nan", "NaN", "0x10", "12abc", "1,5", "1e", "+-1", ".",
                          "e5", "1e400", "--1", "1.2.3"}) {
    EXPECT_FALSE(parse_number(bad, v)) << bad;
  }
}

TEST(CoordinateFile, RecordsAndStops) {
  testsupport::TempDir dir;
  helmert2d::CoordinateFile cf;
  EXPECT_FALSE(helmert2d::read_coordinate_file(dir.file("missing"), cf));

  ASSERT_TRUE(helmert2d::read_coordinate_file(dir.write("a", "A 1 2 3 B\t4\n5 6\n"), cf));
  ASSERT_EQ(cf.records.size(), 2u);  // records need not follow the lines
  EXPECT_EQ(cf.records[1].name, "B");
  EXPECT_EQ(cf.records[1].second, 5.0);
  EXPECT_FALSE(cf.stopped_early);

  // Three-field records: the second name lands where the third number belongs.
  ASSERT_TRUE(helmert2d::read_coordinate_file(dir.write("b", "A 1 2\nB 3 4\n"), cf));
  EXPECT_TRUE(cf.records.empty());
  EXPECT_TRUE(cf.stopped_early);
  EXPECT_EQ(cf.stop_line, 2);
  EXPECT_EQ(cf.stop_token, "B");

  // A title line yields no record at all.
  ASSERT_TRUE(helmert2d::read_coordinate_file(dir.write("c", "Name X Y H\nA 1 2 3\n"), cf));
  EXPECT_TRUE(cf.records.empty());
  EXPECT_EQ(cf.stop_token, "X");
  EXPECT_EQ(cf.stop_line, 1);

  ASSERT_TRUE(helmert2d::read_coordinate_file(dir.write("d", "  \n\n"), cf));
  EXPECT_TRUE(cf.records.empty());
  EXPECT_FALSE(cf.stopped_early);
}

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
