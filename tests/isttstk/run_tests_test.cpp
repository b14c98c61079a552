// The run's scale and outlier tests on the documented cases.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "helmert2d/isttstk.h"

namespace {

std::string scale_section(double k, double S, double mo, int n) {
  ScaleTestInput in;
  in.n = n;
  in.f = 2 * (n - 2);
  in.k = k;
  in.a = k;
  in.o = 0.0;
  in.S = S;
  in.mo = mo;
  std::ostringstream os;
  write_scale_tests(os, in);
  return os.str();
}

TEST(ScaleTests, TenPointExampleIsSignificant) {
  EXPECT_EQ(scale_section(1.0000362, 2.0e6, 0.021, 10),
            "                ========================== \n"
            "                  Testing for the Scale\n"
            "                ========================== \n"
            "\n"
            "   1 / 27624.31  >   1 / 50000  -->  36.20ppm \n"
            "\n"
            "           F - Dagilimine gore olcek testi :\n"
            "   Tolc =  5.94  >  F(1,16,0.95) = 4.31 --> Olcek parametresi anlamlidir\n"
            "\n"
            "           t - Dagilimine gore olcek testi :\n"
            "   Tolc =  2.44  >  t(16,0.97)   = 2.12 --> Olcek parametresi anlamlidir \n"
            "\n");
}

TEST(ScaleTests, ToleranceBoundaryAndNegativeDeviation) {
  // |d| exactly 2e-5 meets the tolerance.
  const std::string at = scale_section(1.0 + 2e-5, 1e6, 0.01, 5);
  EXPECT_NE(at.find(" <=   1 / 50000  -->  "), std::string::npos) << at;
  // k < 1: the deviation is negative, its reciprocal positive.
  const std::string below = scale_section(0.999988, 1e6, 0.01, 5);
  EXPECT_NE(below.find("   1 / 83333.33 <=   1 / 50000  -->  -12.00ppm \n"), std::string::npos)
      << below;
}

TEST(ScaleTests, PerfectFitWithOtherScaleIsSignificant) {
  const std::string s = scale_section(1.001, 1e6, 0.0, 4);
  EXPECT_NE(s.find("   Tolc = unbounded  >  F(1,4,0.95) ="), std::string::npos) << s;
  EXPECT_NE(s.find("   Tolc = unbounded  >  t(4,0.97)   ="), std::string::npos) << s;
}

TEST(ScaleTests, ThreePointCriticalValues) {
  const std::string s = scale_section(1.0, 1e6, 0.01, 3);
  EXPECT_NE(s.find("F(1,2,0.95) =10.48 --> Olcek parametresi anlamsizdir\n"), std::string::npos)
      << s;
  EXPECT_NE(s.find("t(2,0.97)   = 4.27 --> Olcek parametresi anlamsizdir \n"), std::string::npos);
}

// Points on a regular grid with given residuals; returns the written section.
std::string outlier_section(int n, const std::vector<double>& vx_in,
                            const std::vector<double>& vy_in) {
  std::vector<std::string> name(n + 1);
  std::vector<double> x(n + 1), y(n + 1), vx(n + 1), vy(n + 1);
  double sx = 0, sy = 0;
  for (int i = 1; i <= n; ++i) {
    name[i] = std::to_string(i);
    x[i] = 100.0 * (i % 4);
    y[i] = 100.0 * (i / 4);
    vx[i] = vx_in[i - 1];
    vy[i] = vy_in[i - 1];
    sx += x[i];
    sy += y[i];
  }
  OutlierTestInput in;
  in.n = n;
  in.name = &name;
  in.x = &x;
  in.y = &y;
  in.vx = &vx;
  in.vy = &vy;
  in.xm = sx / n;
  in.ym = sy / n;
  for (int i = 1; i <= n; ++i) {
    in.S += (x[i] - in.xm) * (x[i] - in.xm) + (y[i] - in.ym) * (y[i] - in.ym);
    in.vv += vx[i] * vx[i] + vy[i] * vy[i];
  }
  in.f = 2 * (n - 2);
  in.mo = std::sqrt(in.vv / in.f);
  std::ostringstream os;
  write_outlier_tests(os, in);
  return os.str();
}

std::vector<double> alternating(int n, double v) {
  std::vector<double> r(n);
  for (int i = 0; i < n; ++i) r[i] = (i % 2 ? -v : v) * (1.0 + 0.1 * (i % 3));
  return r;
}

TEST(OutlierTests, CriticalValuesByPointCount) {
  struct Row {
    int n;
    const char* crit_line;
    const char* c;
  };
  const Row rows[] = {
      {4, "               t(2*n-4-1,1-0.05/2n) = t(3,0.994) =   5.36\n", "c = 1.41"},
      {10, "               t(2*n-4-1,1-0.05/2n) = t(15,0.998) =   3.29\n", "c = 2.06"},
      {20, "               t(2*n-4-1,1-0.05/2n) = t(35,0.999) =   3.26\n", "c = 2.31"},
  };
  for (const Row& row : rows) {
    const std::string s =
        outlier_section(row.n, alternating(row.n, 0.01), alternating(row.n, 0.02));
    EXPECT_NE(s.find(row.crit_line), std::string::npos) << s;
    EXPECT_NE(s.find(row.c), std::string::npos) << row.n;
    EXPECT_EQ(s.substr(s.size() - 2), "\n\n");
  }
}

}  // namespace

namespace {

// Three points on a line, the middle one (q = 2/3) with vx = 0.01 m and the rest of vv
// in the outer points' vy, so that its Tvx is 32: above the closed-form t(1) quantile
// at 1 - 0.05/6 (27.79), below the exact one (38.19).
TEST(OutlierTests, VerdictAtTheExactQuantileFollowsThePValue) {
  const std::vector<std::string> name{"", "1", "2", "3"};
  const std::vector<double> x{0, 100, 200, 300}, y{0, 0, 0, 0};
  const double v = 0.01, rest = v * v * (0.5 + 1.5 / 1024);
  const std::vector<double> vx{0, 0, v, 0}, vy{0, std::sqrt(rest / 2), 0, -std::sqrt(rest / 2)};
  OutlierTestInput in;
  in.n = 3;
  in.name = &name;
  in.x = &x;
  in.y = &y;
  in.vx = &vx;
  in.vy = &vy;
  in.xm = 200;
  in.ym = 0;
  in.S = 20000;
  in.vv = v * v + rest;
  in.f = 2;
  in.mo = std::sqrt(in.vv / 2);
  in.probabilities = true;
  const OutlierTestResult r = outlier_tests(in);
  const OutlierTestRow& row = r.rows[2];
  EXPECT_NEAR(row.Tvx, 32.0, 1e-9);
  EXPECT_TRUE(row.component_flagged);
  EXPECT_FALSE(row.component_flagged_exact);
  EXPECT_EQ(row.component_flagged_exact, row.p_x < 0.05 / 6) << row.p_x;
}

}  // namespace
