// The report, checked against the worked examples and the fixed texts of the report's
// sections. Expected lines are written out by hand from the documented layout.
#include <gtest/gtest.h>

#include "support/run_fixture.h"

namespace {

const char* const kInputHead =
    "\n"
    "            =========================   =========================\n"
    "               I. Coordinate System       II. Coordinate System  \n"
    "   === ==== =========================   =========================\n"
    "    i  N.N.     x (m)       y (m)           X (m)        Y (m)\n"
    "   === ==== ============ ============   ============ ============\n";

const char* const kParameterHead =
    "\n"
    "            ====================================\n"
    "            Similarity Transformation Parameters\n"
    "            ====================================\n"
    "                     X = a*x - o*y + tx\n"
    "                     Y = o*x + a*y + ty\n"
    "\n"
    "             a = k * cos(A)         o = k * sin(A) \n"
    "\n";

const char* const kResidualHead =
    "         =========================  ========================= ================= \n"
    "               Given II. System         Computed II. System      Residuals \n"
    "=== ==== =========================  ========================= ================= \n"
    " i  N.N.     X (m)        Y (m)          X' (m)      Y'(m)     vx=X'-X  vy=Y'-Y \n"
    "=== ==== ============ ============  ============ ============ ======== ======== \n";

const char* const kResidualRule =
    "=== ==== ============ ============  ============ ============ ======== ======== \n";

const char* const kFinalHead =
    "            =========================   ========================== \n"
    "               I. Coordinate System        II. Coordinate System   \n"
    "   === ==== =========================   ============= ============ \n"
    "    i  N.N.     x (m)       y (m)            X (m)        Y (m) \n"
    "   === ==== ============ ============   ============= ============ \n";

const char* const kFinalRule =
    "   === ==== ============ ============   ============= ============ \n";

// The four-point case: a quarter-square turned by about 60 degrees.
const char* const kFourI =
    "1 0 0 0\n"
    "2 100 0 0\n"
    "3 0 100 0\n"
    "4 100 100 0\n";
const char* const kFourII =
    "1 299.996 200.0005 0\n"
    "2 350.003 286.604 0\n"
    "3 213.4013 250.0011 0\n"
    "4 263.3945 336.6036 0\n";

TEST(ReportGolden, FourPointWorkedCase) {
  const RunOutput r = run_transformation(kFourI, kFourII);
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.console, "");
  const std::string expected_start =
      std::string(kBanner) + kInputHead +
      "     1    1        0.000        0.000        299.996      200.000\n"
      "     2    2      100.000        0.000        350.003      286.604\n"
      "     3    3        0.000      100.000        213.401      250.001\n"
      "     4    4      100.000      100.000        263.394      336.604\n"
      "   === ==== ============ ============   ============ ============\n" +
      kParameterHead +
      "             a =  0.50000100        o =  0.86602300\n"
      "             k =  0.99999842        A = 66.66653502 g\n"
      "             tx=    299.9998 m      ty=    200.0011 m\n"
      "\n\n" +
      kResidualHead;
  ASSERT_EQ(r.report.substr(0, expected_start.size()), expected_start);

  const auto lines = lines_of(r.report.substr(expected_start.size()));
  ASSERT_GE(lines.size(), 9u);
  const char* const residuals[] = {"   0.0038   0.0006", "  -0.0031  -0.0006", "  -0.0038   0.0001",
                                   "   0.0031  -0.0001"};
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(lines[i].size(), 79u) << lines[i];
    EXPECT_EQ(lines[i].substr(0, 8), "  " + std::to_string(i + 1) + "    " + std::to_string(i + 1));
    EXPECT_EQ(lines[i].substr(61), residuals[i]) << "point " << i + 1;
  }
  EXPECT_EQ(lines[4] + "\n", kResidualRule);
  EXPECT_EQ(lines[5], "    [vx2+vy2] =  0.000049");
  EXPECT_EQ(lines[6], "            f =  4");
  EXPECT_EQ(lines[7], "           mo =  0.0035 m ");
  EXPECT_EQ(lines[8], "");
  EXPECT_EQ(lines[9], "                ========================== ");
}

// Five points, the fifth with a blunder of about 0.1 m in X.
const char* const kFiveI =
    "1 1000.0 1000.0 0\n"
    "2 1000.0 2000.0 0\n"
    "3 2000.0 2000.0 0\n"
    "4 2000.0 1000.0 0\n"
    "5 1500.0 1500.0 0\n";
const char* const kFiveII =
    "1 1100.004 1199.997 0\n"
    "2 1099.998 2200.003 0\n"
    "3 2100.002 2199.996 0\n"
    "4 2099.995 1200.002 0\n"
    "5 1600.100 1700.001 0\n";

TEST(ReportGolden, FivePointScaleAndOutlierSections) {
  const RunOutput r = run_transformation(kFiveI, kFiveII);
  ASSERT_EQ(r.status, 0);
  const std::string scale =
      "           mo =  0.0368 m \n"
      "\n"
      "                ========================== \n"
      "                  Testing for the Scale\n"
      "                ========================== \n"
      "\n"
      "   1 / 800000.18 <=   1 / 50000  -->  -1.25ppm \n"
      "\n"
      "           F - Dagilimine gore olcek testi :\n"
      "   Tolc =  0.00 <=  F(1,6,0.95) = 5.36 --> Olcek parametresi anlamsizdir\n"
      "\n"
      "           t - Dagilimine gore olcek testi :\n"
      "   Tolc =  0.05 <=  t(6,0.97)   = 2.45 --> Olcek parametresi anlamsizdir \n"
      "\n"
      "               ========================================= \n"
      "               Outlier Test for the Coordinate Componets \n"
      "               ========================================= \n"
      "  === ==== ===== ===== ===== ===== ======  ===== ===== ===== ===== ======\n"
      "   i  N.N. vx(m)  qvx   svx0  mvx    Tvx   vy(m)  qvy   svy0  mvy    Tvy\n"
      "  === ==== ===== ===== ===== ===== ======  ===== ===== ===== ===== ======\n"
      "    1    1  0.02  0.55  0.04  0.03   0.55   0.00  0.55  0.04  0.03   0.13\n";
  EXPECT_NE(r.report.find(scale), std::string::npos) << r.report;

  const auto lines = lines_of(r.report);
  const int row5 = find_line(
      lines, "**  5    5 -0.08  0.80  0.00  0.00  21.97  -0.00  0.80  0.04  0.04   0.03 **");
  ASSERT_GT(row5, 0) << r.report;
  // Points 2 to 4: not flagged, the same cofactor, Tvx below 0.86.
  for (int i = row5 - 3; i < row5; ++i) {
    EXPECT_EQ(lines[i].substr(0, 2), "  ");
    EXPECT_EQ(lines[i].substr(16, 6), "  0.55");
    EXPECT_LT(std::stod(lines[i].substr(34, 7)), 0.86);
    EXPECT_EQ(lines[i].size(), 73u);
  }
  EXPECT_EQ(lines[row5 + 1],
            "  === ==== ===== ===== ===== ===== ======  ===== ===== ===== ===== ======");
  EXPECT_EQ(lines[row5 + 2], "                        (**) an outlier component");
  EXPECT_EQ(lines[row5 + 3], "               t(2*n-4-1,1-0.05/2n) = t(5,0.995) =   4.03");
  EXPECT_EQ(lines[row5 + 4], "");
  EXPECT_EQ(lines[row5 + 5], "      ============================================== ");
  EXPECT_EQ(lines[row5 + 6], "          Outlier Test for the Coordinate Pairs");
  EXPECT_EQ(lines[row5 + 7], "      ============================================== ");
  for (int i = 1; i <= 4; ++i) {
    const std::string& row = lines[row5 + 7 + i];
    EXPECT_EQ(row.substr(0, 23), "          " + std::to_string(i) + ". nokta:  T(");
    EXPECT_EQ(row.substr(35), "   >    c = 1.64") << "no outlier mark for point " << i;
    EXPECT_LE(std::stod(row.substr(30, 5)), 0.62);
  }
  EXPECT_EQ(lines[row5 + 12],
            "          5. nokta:  T(    5)= 1.72   >    c = 1.64   <--- an outlier point");
  EXPECT_EQ(lines[row5 + 13], "");
  EXPECT_EQ(lines[row5 + 14],
            "            =========================   ========================== ");
}

TEST(ReportGolden, IdentityWithThreePoints) {
  const char* const pts = "A 10 10 0\nB 20 10 0\nC 10 30 0\n";
  const RunOutput r = run_transformation(pts, pts);
  ASSERT_EQ(r.status, 0);
  const auto lines = lines_of(r.report);
  // k exactly 1 with mo = 0 (a perfect fit): no deviation, so the tolerance line shows
  // the ratio 0 / 1 and both tests have test value 0 and call the scale not significant.
  for (const char* line :
       {"             a =  1.00000000        o =  0.00000000",
        "             k =  1.00000000        A =  0.00000000 g",
        "             tx=      0.0000 m      ty=      0.0000 m", "    [vx2+vy2] =  0.000000",
        "            f =  2", "           mo =  0.0000 m ",
        "   0 / 1 <=   1 / 50000  -->   0.00ppm ",
        "   Tolc =  0.00 <=  F(1,2,0.95) =10.48 --> Olcek parametresi anlamsizdir",
        "   Tolc =  0.00 <=  t(2,0.97)   = 4.27 --> Olcek parametresi anlamsizdir ",
        "    1    A  0.00  0.50  0.00  0.00   0.00   0.00  0.50  0.00  0.00   0.00"})
    EXPECT_GE(find_line(lines, line), 0) << line;
  EXPECT_EQ(r.report.find("nan"), std::string::npos) << r.report;
  EXPECT_EQ(r.report.find("inf"), std::string::npos);
  // n = 3: component table, its critical-value line, one empty line, no pair test.
  const int crit = find_line(lines, "               t(2*n-4-1,1-0.05/2n) = t(1,0.992) =  27.79");
  ASSERT_GT(crit, 0) << r.report;
  EXPECT_EQ(lines[crit + 1], "");
  EXPECT_EQ(lines[crit + 2], "            =========================   ========================== ");
  EXPECT_EQ(r.report.find("Outlier Test for the Coordinate Pairs"), std::string::npos);
}

TEST(ReportGolden, QuarterTurnAndSmallNegativeRotation) {
  const RunOutput quarter =
      run_transformation("A 0 0 0\nB 10 0 0\nC 0 10 0\n", "A 0 0 0\nB 0 10 0\nC -10 0 0\n");
  for (const char* line : {"             a =  0.00000000        o =  1.00000000",
                           "             k =  1.00000000        A =100.00000000 g"})
    EXPECT_GE(find_line(lines_of(quarter.report), line), 0) << line << quarter.report;

  const RunOutput turned = run_transformation("A 0 0 0\nB 1000 0 0\nC 0 1000 0\n",
                                              "A 0 0 0\nB 1000 -0.01 0\nC 0.01 1000 0\n");
  const auto lines = lines_of(turned.report);
  bool found = false;
  for (const auto& l : lines) {
    if (l.rfind("             k =", 0) == 0) {
      found = true;
      EXPECT_EQ(l.substr(39, 6), "399.99") << l;
    }
  }
  EXPECT_TRUE(found);
}

TEST(ReportGolden, ScaledByOneInTenThousand) {
  const RunOutput r =
      run_transformation("A 0 0 0\nB 1000 0 0\nC 0 1000 0\nD 1000 1000 0\n",
                         "A 0 0 0\nB 1000.1 0 0\nC 0 1000.1 0\nD 1000.1 1000.1 0\n");
  const auto lines = lines_of(r.report);
  EXPECT_GE(find_line(lines, "             a =  1.00010000        o =  0.00000000"), 0) << r.report;
  EXPECT_GE(find_line(lines, "             k =  1.00010000        A =  0.00000000 g"), 0);
  EXPECT_GE(find_line(lines, "   1 / 10000.00  >   1 / 50000  -->  100.00ppm "), 0) << r.report;
}

TEST(ReportGolden, TwoPointsSkipStatistics) {
  const RunOutput r =
      run_transformation("P1 0 0 0\nP2 0 100 0\nP9 50 50 0\n", "P1 10 10 0\nP2 10 110 0\n");
  ASSERT_EQ(r.status, 0);
  const auto lines = lines_of(r.report);
  const int rule = static_cast<int>(r.report.rfind(kResidualRule));
  ASSERT_GT(rule, 0);
  const std::string after = r.report.substr(rule + std::string(kResidualRule).size());
  const std::string expected_final =
      std::string("\n") + kFinalHead +
      "     1   P1       0.0000       0.0000         10.0000      10.0000\n"
      "     2   P2       0.0000     100.0000         10.0000     110.0000\n" +
      kFinalRule + "     3   P9      50.0000      50.0000         60.0000      60.0000\n" +
      kFinalRule;
  EXPECT_EQ(after, expected_final);
  EXPECT_EQ(r.report.find("[vx2+vy2]"), std::string::npos);
}

TEST(ReportGolden, WideValuesShiftTheirRow) {
  const RunOutput r = run_transformation("LONGNAME 0 0 0\nB 123456789012.5 0 0\n",
                                         "LONGNAME 0 0 0\nB 123456789012.5 0 0\n");
  const auto lines = lines_of(r.report);
  EXPECT_GE(
      find_line(lines, "     1LONGNAME        0.000        0.000          0.000        0.000"), 0)
      << r.report;
  EXPECT_GE(
      find_line(lines, "     2    B123456789012.500        0.000123456789012.500        0.000"), 0);
}

// Ten points with millimetre noise; point 7 carries a blunder in its second coordinate.
TEST(ReportGolden, OnlyTheSecondComponentFlagsAPoint) {
  const double noise[10][2] = {{0.003, -0.002}, {-0.001, 0.004}, {0.002, 0.001}, {-0.004, -0.003},
                               {0.001, 0.002},  {0.000, -0.001}, {0.002, 0.000}, {-0.003, 0.002},
                               {0.004, -0.004}, {-0.002, 0.003}};
  std::string first, second;
  for (int i = 0; i < 10; ++i) {
    const double x = 1000.0 + 250.0 * (i % 4), y = 2000.0 + 300.0 * (i / 4);
    const double dy = noise[i][1] + (i == 6 ? 0.08 : 0.0);
    first +=
        "P" + std::to_string(i + 1) + " " + std::to_string(x) + " " + std::to_string(y) + " 0\n";
    second += "P" + std::to_string(i + 1) + " " + std::to_string(x + 500.0 + noise[i][0]) + " " +
              std::to_string(y - 300.0 + dy) + " 0\n";
  }
  const RunOutput r = run_transformation(first, second);
  ASSERT_EQ(r.status, 0);
  int flagged = 0;
  for (const std::string& line : lines_of(r.report)) {
    if (line.rfind("**", 0) == 0) {
      ++flagged;
      EXPECT_EQ(line.substr(0, 10), "**  7   P7") << line;
      EXPECT_EQ(line.substr(line.size() - 3), " **");
      EXPECT_EQ(line.substr(16, 6), line.substr(48, 6));  // qvx and qvy agree
      EXPECT_LT(std::stod(line.substr(34, 7)), std::stod(line.substr(line.size() - 10, 7)));
    }
  }
  EXPECT_EQ(flagged, 1) << r.report;
  EXPECT_NE(r.report.find("T(   P7)="), std::string::npos);
  EXPECT_NE(r.report.find("   <--- an outlier point\n"), std::string::npos);
}

}  // namespace
