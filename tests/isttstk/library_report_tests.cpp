// Residual conformity and parameter significance writers: whole tables byte for byte
// on a hand-checked straight-line fit, plus the redundancy, level and mark rules.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "helmert2d/isttstk.h"
#include "helmert2d/mtrs.h"
#include "support/matrix_support.h"

namespace {

// Diagonal cofactor matrix (1-based) owned for the length of a test.
struct Diagonal : mtrs_test::Mat {
  explicit Diagonal(const std::vector<double>& d) : Mat(size(d), size(d)) {
    for (int i = 1; i <= size(d); ++i) (*this)[i][i] = d[i];
  }
  static int size(const std::vector<double>& d) { return static_cast<int>(d.size()) - 1; }
  const double* const* get() const { return *this; }
};

// Residuals of a line fitted to five points (x = 0..4), with P3 pushed off the line;
// values checked by hand and by an independent script.
const char* const kNames[] = {"", "P1", "P2", "P3", "P4", "P5"};
const std::vector<double> kV = {0.0, 0.012, 0.048, -0.150, 0.060, 0.006};
const std::vector<double> kQvv = {0.0, 0.4, 0.7, 0.8, 0.7, 0.4};
const double kVV = 0.028584;

TEST(ConformityTests, TTableWithObservationSetAside) {
  std::ostringstream os;
  Diagonal q(kQvv);
  Uyusum_t_(os, 0.05, 5, 2, kNames, kV.data(), q.get(), kVV);
  EXPECT_EQ(os.str(),
            "\n === ========= ======= ======= ======= ======= =======  ========= \n"
            "  i      NN     v (m)    qvv    s0 (m)  mv (m)   Tv     t(0.010,2)=  6.8161\n"
            " === ========= ======= ======= ======= ======= =======  ========= \n"
            "   1        P1  0.0120  0.4000  0.1188  0.0751  0.1597\n"
            "   2        P2  0.0480  0.7000  0.1125  0.0941  0.5102\n"
            "   3        P3 -0.1500  0.8000  0.0151  0.0135 11.0702 >   6.8161\n"
            "   4        P4  0.0600  0.7000  0.1083  0.0906  0.6624\n"
            "   5        P5  0.0060  0.4000  0.1194  0.0755  0.0795\n"
            " === ========= ======= ======= ======= ======= =======  ========= \n");
}

TEST(ConformityTests, TauTable) {
  std::ostringstream os;
  Diagonal q(kQvv);
  Uyusum_Tau_(os, 0.05, 5, 2, kNames, kV.data(), q.get(), kVV);
  EXPECT_EQ(os.str(),
            "\n === ========= ======= ======= ======= =======  ========= \n"
            "  i      NN     v (m)    qvv    mv (m)   Tv     Tau(0.010,2)=  1.6959\n"
            " === ========= ======= ======= ======= =======  ========= \n"
            "   1        P1  0.0120  0.4000  0.0617  0.1944\n"
            "   2        P2  0.0480  0.7000  0.0817  0.5877\n"
            "   3        P3 -0.1500  0.8000  0.0873  1.7181 >   1.6959\n"
            "   4        P4  0.0600  0.7000  0.0817  0.7347\n"
            "   5        P5  0.0060  0.4000  0.0617  0.0972\n"
            " === ========= ======= ======= ======= =======  ========= \n");
}

TEST(ConformityTests, NormalTableWithKnownSigmaAndStringNames) {
  std::ostringstream os;
  Diagonal q(kQvv);
  const std::vector<std::string> names(std::begin(kNames), std::end(kNames));
  Uyusum_Z_(os, 0.05, 5, 2, names.data(), kV.data(), q.get(), 0.015);
  EXPECT_EQ(os.str(),
            "\n === ========= ======= ======= ======= =======  ========= \n"
            "  i      NN     v (m)    qvv    mv (m)   Tv     Z_(0.010)=  2.3268\n"
            " === ========= ======= ======= ======= =======  ========= \n"
            "   1        P1  0.0120  0.4000  0.0095  1.2649\n"
            "   2        P2  0.0480  0.7000  0.0125  3.8247 >   2.3268\n"
            "   3        P3 -0.1500  0.8000  0.0134 11.1803 >   2.3268\n"
            "   4        P4  0.0600  0.7000  0.0125  4.7809 >   2.3268\n"
            "   5        P5  0.0060  0.4000  0.0095  0.6325\n"
            " === ========= ======= ======= ======= =======  ========= \n"
            " So =0.015 m \n");
}

TEST(ConformityTests, RedundancyConditions) {
  Diagonal q(kQvv);
  std::ostringstream t, tau, z;
  Uyusum_t_(t, 0.05, 3, 2, kNames, kV.data(), q.get(), kVV);
  Uyusum_Tau_(tau, 0.05, 3, 2, kNames, kV.data(), q.get(), kVV);
  Uyusum_Z_(z, 0.05, 2, 2, kNames, kV.data(), q.get(), 0.01);
  EXPECT_EQ(t.str(), "");
  EXPECT_EQ(tau.str(), "");
  EXPECT_EQ(z.str(), "");
  // The normal test needs one redundant observation only.
  Uyusum_Z_(z, 0.05, 3, 2, kNames, kV.data(), q.get(), 0.01);
  EXPECT_NE(z.str().find("   3        P3"), std::string::npos);
  EXPECT_NE(z.str().find(" So =0.01 m \n"), std::string::npos);
}

TEST(ConformityTests, LevelIsSharedOverObservations) {
  // alpha / n = 0.0025 shows as 0.003, but the critical value comes from 0.0025.
  std::vector<std::string> names(21, "X");
  std::vector<double> v(21, 0.001), qd(21, 0.5);
  Diagonal q(qd);
  std::ostringstream z, t;
  Uyusum_Z_(z, 0.05, 20, 3, names.data(), v.data(), q.get(), 0.01);
  Uyusum_t_(t, 0.05, 20, 3, names.data(), v.data(), q.get(), 0.0001);
  EXPECT_NE(z.str().find("Z_(0.003)=  2.8074\n"), std::string::npos);  // 2.7482 at 0.003
  EXPECT_NE(t.str().find("t(0.003,16)=  3.2525\n"), std::string::npos);
}

TEST(ConformityTests, EqualityIsNotMarkedAndNanIsNeverMarked) {
  // With q = 1 and sigma0 = 1 the test value is |v| itself; c = 2.3268 at 0.02 / 2.
  const char* names[] = {"", "EQ", "UP"};
  const std::vector<double> v = {0.0, 2.3268, std::nextafter(2.3268, 3.0)};
  Diagonal q({0.0, 1.0, 1.0});
  std::ostringstream z;
  Uyusum_Z_(z, 0.02, 2, 1, names, v.data(), q.get(), 1.0);
  EXPECT_NE(z.str().find("EQ  2.3268  1.0000  1.0000  2.3268\n"), std::string::npos);
  EXPECT_NE(z.str().find("UP  2.3268  1.0000  1.0000  2.3268 >   2.3268\n"), std::string::npos);

  // A residual larger than [vv] allows leaves a negative radicand: nan, no mark.
  const std::vector<double> big = {0.0, 0.5, 0.01, 0.01};
  Diagonal q3({0.0, 0.5, 0.5, 0.5});
  std::ostringstream t;
  Uyusum_t_(t, 0.05, 3, 1, kNames, big.data(), q3.get(), 0.01);
  const std::string out = t.str();
  const std::size_t row = out.find("   1        P1");
  ASSERT_NE(row, std::string::npos);
  const std::string line = out.substr(row, out.find('\n', row) - row);
  EXPECT_NE(line.find("nan"), std::string::npos);
  EXPECT_EQ(line.find('>'), std::string::npos);
}

// The row of observation `name` in a conformity table.
std::string row_of(const std::string& out, const std::string& name) {
  const std::size_t at = out.find("        " + name + " ");
  if (at == std::string::npos) return "";
  const std::size_t start = out.rfind('\n', at) + 1;
  return out.substr(start, out.find('\n', at) - start);
}

TEST(ConformityTests, ZeroCofactorIsWrittenButNeverMarked) {
  // P1 has no redundancy (q = 0) and a residual of rounding noise: |v| / 0 is inf for
  // the tau and normal tests, nan for the t-test; no test marks that row, while the
  // large residual of P5 is still marked by the tau and normal tests.
  const std::vector<double> v = {0.0, 1e-17, 0.01, 0.01, 0.01, 5.0};
  Diagonal q({0.0, 0.0, 0.5, 0.5, 0.5, 0.5});
  std::ostringstream t, tau, z;
  Uyusum_t_(t, 0.05, 5, 1, kNames, v.data(), q.get(), 25.0);
  Uyusum_Tau_(tau, 0.05, 5, 1, kNames, v.data(), q.get(), 25.0);
  Uyusum_Z_(z, 0.05, 5, 1, kNames, v.data(), q.get(), 0.01);
  EXPECT_EQ(row_of(tau.str(), "P1"), "   1        P1  0.0000  0.0000  0.0000     inf");
  EXPECT_EQ(row_of(z.str(), "P1"), "   1        P1  0.0000  0.0000  0.0000     inf");
  EXPECT_NE(row_of(tau.str(), "P5").find(" > "), std::string::npos) << tau.str();
  EXPECT_NE(row_of(z.str(), "P5").find(" > "), std::string::npos) << z.str();
  const std::string t_row = row_of(t.str(), "P1");
  EXPECT_NE(t_row.find("nan"), std::string::npos) << t.str();
  EXPECT_EQ(t_row.find('>'), std::string::npos) << t.str();
}

TEST(ConformityTests, InvalidLevelShowsNanCriticalValueAndMarksNothing) {
  std::ostringstream os;
  Diagonal q(kQvv);
  Uyusum_Z_(os, 0.0, 5, 2, kNames, kV.data(), q.get(), 0.015);
  const std::size_t title = os.str().find("Z_(0.000)=");
  ASSERT_NE(title, std::string::npos);
  EXPECT_EQ(os.str().find("nan\n", title), os.str().find('\n', title) - 3);  // nan or -nan
  EXPECT_EQ(os.str().find('>'), std::string::npos);
}

TEST(ConformityTests, TauCriticalValueStaysBelowRootTwoForTwoRedundancies) {
  std::ostringstream os;
  Diagonal q(kQvv);
  Uyusum_Tau_(os, 1e-6, 3, 1, kNames, kV.data(), q.get(), kVV);
  // t(1) at 3.3e-7 is in the thousands, tau is sqrt(2) t / sqrt(t^2 + 1) < sqrt(2).
  EXPECT_NE(os.str().find("Tau(0.000,1)=  1.4142\n"), std::string::npos);
}

// Parameter tests on three unknowns, two clearly significant and one not.
const std::vector<double> kDx = {0.0, 1.032, -0.996, 0.0012};
const std::vector<double> kQxx = {0.0, 0.6, 0.1, 0.25};

TEST(ParameterTests, StudentTable) {
  std::ostringstream os;
  Diagonal q(kQxx);
  PrmtrTst_t_(os, 0.05, 6, 3, kDx.data(), q.get(), 0.02196);
  EXPECT_EQ(os.str(),
            "\n === ============= ============= ======= ==========  =========  \n"
            "  i      dx(m)       qxx      mx (m)    Tx       t_(0.050)=  2.3532\n"
            " === ============= ============= ======= ==========  ========= \n"
            "   1      1.032000      0.600000  0.0663    15.5721 >   2.3532\n"
            "   2     -0.996000      0.100000  0.0271    36.8132 >   2.3532\n"
            "   3      0.001200      0.250000  0.0428     0.0281\n"
            " === ============= ============= ======= ==========  ========= \n");
}

TEST(ParameterTests, NormalTable) {
  std::ostringstream os;
  Diagonal q(kQxx);
  PrmtrTst_Z_(os, 0.05, 6, 3, kDx.data(), q.get(), 0.0123456);
  EXPECT_EQ(os.str(),
            "\n === ======= ======= ======= ==========  ========= \n"
            "  i   dx(m)    qxx    mx (m)      Tx     Z_(0.050)=  1.6452\n"
            " === ======= ======= ======= ==========  ========= \n"
            "   1  1.0320  0.6000  0.0096   107.9175 >   1.6452\n"
            "   2 -0.9960  0.1000  0.0039   255.1215 >   1.6452\n"
            "   3  0.0012  0.2500  0.0062     0.1944\n"
            " === ======= ======= ======= ==========  ========= \n"
            " So =0.01235 m \n");
}

TEST(ParameterTests, NoRedundancyWritesNothingAndNoUnknownsWritesFrame) {
  Diagonal q(kQxx);
  std::ostringstream t, z;
  PrmtrTst_t_(t, 0.05, 3, 3, kDx.data(), q.get(), 0.01);
  PrmtrTst_Z_(z, 0.05, 3, 3, kDx.data(), q.get(), 0.01);
  EXPECT_EQ(t.str() + z.str(), "");
  PrmtrTst_Z_(z, 0.05, 4, 0, kDx.data(), q.get(), 0.02);
  EXPECT_EQ(z.str(),
            "\n === ======= ======= ======= ==========  ========= \n"
            "  i   dx(m)    qxx    mx (m)      Tx     Z_(0.050)=  1.6452\n"
            " === ======= ======= ======= ==========  ========= \n"
            " === ======= ======= ======= ==========  ========= \n"
            " So =0.02 m \n");
}

TEST(ParameterTests, OneSidedLevelAndEqualityNotMarked) {
  // f = 10, vv = f gives s0 = 1; with q = 1 the quotient is |dx| itself.
  const std::vector<double> dx = {0.0, 1.8129, -1.8130};
  Diagonal q({0.0, 1.0, 1.0});
  std::ostringstream os;
  PrmtrTst_t_(os, 0.05, 12, 2, dx.data(), q.get(), 10.0);
  const std::string out = os.str();
  EXPECT_NE(out.find("t_(0.050)=  1.8129\n"), std::string::npos);
  EXPECT_NE(out.find("   1      1.812900      1.000000  1.0000     1.8129\n"), std::string::npos);
  EXPECT_NE(out.find("   2     -1.813000      1.000000  1.0000     1.8130 >   1.8129\n"),
            std::string::npos);
  // A zero cofactor and a zero estimate give 0/0: nan and no mark.
  const std::vector<double> zero = {0.0, 0.0};
  Diagonal q0({0.0, 0.0});
  std::ostringstream nan_os;
  PrmtrTst_Z_(nan_os, 0.05, 2, 1, zero.data(), q0.get(), 1.0);
  EXPECT_NE(nan_os.str().find("nan\n"), std::string::npos);
  EXPECT_EQ(nan_os.str().find('>'), std::string::npos);
}

}  // namespace
