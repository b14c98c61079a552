// Normality writer: whole reports on hand-checked samples, the class counting rule,
// the number of classes, and the verdicts on normal, skewed, peaked and flat samples.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "helmert2d/isttstk.h"

namespace {

std::string mannwald(const std::vector<double>& sample) {
  std::vector<double> v(1, 0.0);
  v.insert(v.end(), sample.begin(), sample.end());
  std::ostringstream os;
  MANNWALD(os, static_cast<int>(sample.size()), v.data());
  return os.str();
}

// Star counts of the histogram lines, class 1 first.
std::vector<int> histogram(const std::string& out) {
  std::vector<int> counts;
  std::istringstream in(out.substr(out.find("HISTOGRAM")));
  std::string line;
  std::getline(in, line);
  std::getline(in, line);
  while (std::getline(in, line) && !line.empty())
    counts.push_back(static_cast<int>(line.size() - line.find('|') - 1));
  return counts;
}

bool contains(const std::string& out, const std::string& part) {
  return out.find(part) != std::string::npos;
}

std::vector<double> normal_sample(double seed, int n) {
  std::vector<double> out(static_cast<std::size_t>(n) + 1);
  GGNPM(seed, n, out.data());
  out.erase(out.begin());
  return out;
}

const char* const kSummaryHead =
    "\n"
    "           ==================== \n"
    "           MANN-WALD UYUM TESTI \n"
    "           ==================== \n"
    "===  ====  =====  ==========  ====  ====== \n"
    "SNo   i*p   Zi      Xsinir     ni   ni-p*n \n"
    "===  ====  =====  ==========  ====  ====== \n";

const char* const kMomentHead =
    " ============================================== \n"
    " CARPIKLIK VE BASIKLIK ILE NORMAL DAGILIM TESTI \n"
    " ============================================== \n";

const char* const kHistogramHead =
    "            ========= \n"
    "            HISTOGRAM \n"
    "            ========= \n";

TEST(NormalityTest, SymmetricSampleReport) {
  const std::string expected =
      std::string("\n Xort =   3.0000\n  vv  =  10.0000\n  n-1 =   4\n  S0  =   1.5811\n\n") +
      "    n =   5\n    k =   5\n    p =   0.20\n\n" + kSummaryHead +
      "     0.00 -10.00      -12.81\n"
      "  1                              1    0.00\n"
      "     0.20  -0.84        1.67\n"
      "  2                              1    0.00\n"
      "     0.40  -0.25        2.60\n"
      "  3                              1    0.00\n"
      "     0.60   0.25        3.40\n"
      "  4                              1    0.00\n"
      "     0.80   0.84        4.33\n"
      "  5                              1    0.00\n"
      "     1.00  10.00       18.81\n"
      "===  ====  =====  ==========  ====  ====== \n"
      "                                 5    0.00\n"
      "     [(ni-n*p)**2]   =    0.00\n"
      " [(ni-n*p)**2]/(n*p) =    0.00\n\n"
      " Xo2=   0.00 <= X(0.05,   2)=   5.94 Veri kumesi Normal dagilimlidir \n\n" +
      kMomentHead +
      " [vvv]  =   0.0000\n [vvvv] =  34.0000\n\n"
      " Pozitif (Sola) Carpiklik  =    0.0000\n"
      " Negatif (Asagi) Basiklik  =   34.0000\n\n"
      " Zcarp = |   -0.00| <=  Z(0.988) =   2.24 Dagilim carpik degil \n"
      " Zbask = |   -0.87| <=  Z(0.988) =   2.24 Dagilim basik degil \n\n" +
      kHistogramHead + "  1|*\n  2|*\n  3|*\n  4|*\n  5|*\n\n\n";
  EXPECT_EQ(mannwald({3, 1, 4, 5, 2}), expected);
}

TEST(NormalityTest, LopsidedSampleReport) {
  // Four values in class 2, empty classes 1 and 4: the fit is rejected.
  const std::string expected =
      std::string("\n Xort =   1.3643\n  vv  =   7.2236\n  n-1 =   6\n  S0  =   1.0972\n\n") +
      "    n =   7\n    k =   5\n    p =   0.20\n\n" + kSummaryHead +
      "     0.00 -10.00       -9.61\n"
      "  1                              0   -1.40\n"
      "     0.20  -0.84        0.44\n"
      "  2                              4    2.60\n"
      "     0.40  -0.25        1.09\n"
      "  3                              2    0.60\n"
      "     0.60   0.25        1.64\n"
      "  4                              0   -1.40\n"
      "     0.80   0.84        2.29\n"
      "  5                              1   -0.40\n"
      "     1.00  10.00       12.34\n"
      "===  ====  =====  ==========  ====  ====== \n"
      "                                 7    0.00\n"
      "     [(ni-n*p)**2]   =   11.20\n"
      " [(ni-n*p)**2]/(n*p) =    8.00\n\n"
      " Xo2=   8.00  > X(0.05,   2)=   5.94 Veri kumesi Normal dagilimli degildidir \n\n" +
      kMomentHead +
      " [vvv]  =  13.6024\n [vvvv] =  35.8344\n\n"
      " Pozitif (Sola) Carpiklik  =   13.6024\n"
      " Pozitif (Yukari) Basiklik =   35.8344\n\n"
      " Zcarp = |   -1.59| <=  Z(0.988) =   2.24 Dagilim carpik degil \n"
      " Zbask = |    0.29| <=  Z(0.988) =   2.24 Dagilim basik degil \n\n" +
      kHistogramHead + "  1|\n  2|****\n  3|**\n  4|\n  5|*\n\n\n";
  EXPECT_EQ(mannwald({0.5, 1.0, 1.2, 1.1, 0.9, 3.8, 1.05}), expected);
}

TEST(NormalityTest, ClassesAndCriticalValuesBySampleSize) {
  struct Case {
    int n;
    int k;
    const char* verdict_tail;  // degrees of freedom and critical chi-square
  };
  const Case cases[] = {{5, 5, "X(0.05,   2)=   5.94"},   {6, 5, "X(0.05,   2)=   5.94"},
                        {9, 6, "X(0.05,   3)=   7.78"},   {16, 7, "X(0.05,   4)=   9.46"},
                        {50, 10, "X(0.05,   7)=  14.05"}, {100, 13, "X(0.05,  10)=  18.29"}};
  for (const Case& c : cases) {
    const std::string out = mannwald(normal_sample(4711.0, c.n));
    std::ostringstream k_line;
    k_line << "    k =" << std::string(c.k < 10 ? 3 : 2, ' ') << c.k << "\n";
    EXPECT_TRUE(contains(out, k_line.str())) << "n = " << c.n;
    EXPECT_TRUE(contains(out, c.verdict_tail)) << "n = " << c.n;
    EXPECT_EQ(histogram(out).size(), static_cast<std::size_t>(c.k)) << "n = " << c.n;
  }
}

// Boundaries as the writer computes them, for a value placed exactly on one.
double boundary(const std::vector<double>& s, int m) {
  const int n = static_cast<int>(s.size());
  double sum = 0.0;
  for (double x : s) sum += x;
  const double mean = sum / n;
  double vv = 0.0;
  for (double x : s) vv += (x - mean) * (x - mean);
  const double k = static_cast<int>(std::sqrt(static_cast<double>(n)) + 3.0);
  return mean + NormaL(m * (1.0 / k)) * std::sqrt(vv / (n - 1));
}

TEST(NormalityTest, ValueOnBoundaryCountsInLowerClass) {
  // Find x with x == X_4 of the sample {0, 1, 2, 3.5, x}: iterate to the fixed point,
  // then look among the neighbouring doubles for an exact one.
  std::vector<double> s = {0.0, 1.0, 2.0, 3.5, 3.0};
  for (int it = 0; it < 200; ++it) s[4] = boundary(s, 4);
  bool exact = false;
  for (int step = 0; step < 64 && !exact; ++step) {
    exact = boundary(s, 4) == s[4];
    if (!exact) s[4] = std::nextafter(s[4], boundary(s, 4));
  }
  ASSERT_TRUE(exact) << "no sample with a value exactly on X_4";
  const std::vector<int> counts = histogram(mannwald(s));
  ASSERT_EQ(counts.size(), 5u);
  // 0 | 1 | 2 | 3.5 and x: x sits on X_4 between 2 (class 3 or 4) and 3.5 (class 5).
  EXPECT_EQ(counts[4], 1) << "only 3.5 lies above X_4";
  EXPECT_EQ(counts[0] + counts[1] + counts[2] + counts[3], 4);
  EXPECT_GE(counts[3], 1) << "x belongs to class 4";
}

TEST(NormalityTest, NormalSamplePasses) {
  const std::string out = mannwald(normal_sample(20231.0, 400));
  EXPECT_TRUE(contains(out, " Veri kumesi Normal dagilimlidir \n"));
  EXPECT_TRUE(contains(out, " Dagilim carpik degil \n"));
  EXPECT_TRUE(contains(out, " Dagilim basik degil \n"));
  EXPECT_TRUE(contains(out, std::string(34 - 3, ' ') + "400"));  // every value counted
}

TEST(NormalityTest, SkewedSampleFails) {
  std::vector<double> s = normal_sample(20231.0, 400);
  for (double& x : s) x = std::exp(x);  // log-normal: long right tail
  const std::string out = mannwald(s);
  EXPECT_TRUE(contains(out, " Veri kumesi Normal dagilimli degildidir \n"));
  EXPECT_TRUE(contains(out, " Pozitif (Sola) Carpiklik  = "));
  EXPECT_TRUE(contains(out, " Zcarp = |  -"));  // right skew gives a negative Zcarp
  EXPECT_TRUE(contains(out, "|  >  Z(0.988) =   2.24 Dagilim carpik  \n"));
}

TEST(NormalityTest, PeakedAndFlatSamplesGetTheirLabels) {
  // Every fourth value scaled by 4: a scale mixture with heavy tails.
  std::vector<double> peaked = normal_sample(777.0, 400);
  for (std::size_t i = 0; i < peaked.size(); i += 4) peaked[i] *= 4.0;
  const std::string p = mannwald(peaked);
  EXPECT_TRUE(contains(p, " Pozitif (Yukari) Basiklik = "));
  EXPECT_TRUE(contains(p, "|  >  Z(0.988) =   2.24 Dagilim basik  \n"));

  // Evenly spaced values: a flat sample, fourth moment 1.8 s^4 instead of 3 s^4.
  std::vector<double> flat;
  for (int i = 0; i < 200; ++i) flat.push_back(i);
  const std::string f = mannwald(flat);
  EXPECT_TRUE(contains(f, " Negatif (Asagi) Basiklik  = "));
  EXPECT_TRUE(contains(f, " Zbask = |   -3.52|"));
  EXPECT_TRUE(contains(f, " Dagilim basik  \n"));
}

TEST(NormalityTest, FarOutlierFallsOutsideEveryClass) {
  // One value 14 standard deviations above the mean lies beyond X_k = mean + 10 S0.
  std::vector<double> s(199, 0.0);
  s.push_back(1.0);
  const std::string out = mannwald(s);
  EXPECT_TRUE(contains(out, "    k =  17\n"));
  EXPECT_TRUE(contains(out, "\n" + std::string(31, ' ') + "199"));
  int total = 0;
  for (int c : histogram(out)) total += c;
  EXPECT_EQ(total, 199);
}

TEST(NormalityTest, TinySamplesStayInBounds) {
  // k exceeds n here; the class tables hold k + 1 entries (checked under sanitizers).
  const std::string one = mannwald({2.5});
  EXPECT_TRUE(contains(one, "    k =   4\n"));
  EXPECT_TRUE(contains(one, "nan"));
  EXPECT_EQ(histogram(one), std::vector<int>({0, 0, 0, 0}));
  EXPECT_TRUE(contains(one, "|  >  Z(0.988)"));  // a nan test value is not accepted
  for (int n = 2; n <= 4; ++n) {
    std::vector<double> s;
    for (int i = 0; i < n; ++i) s.push_back(i * i);
    const std::vector<int> counts = histogram(mannwald(s));
    EXPECT_EQ(counts.size(), n <= 3 ? 4u : 5u);
    int total = 0;
    for (int c : counts) total += c;
    EXPECT_EQ(total, n);
  }
  std::ostringstream none;
  MANNWALD(none, -1, nullptr);
  EXPECT_EQ(none.str(), "");
  const std::string empty = mannwald({});  // no values: nan summary, three empty classes
  EXPECT_TRUE(contains(empty, "    k =   3\n"));
  EXPECT_EQ(histogram(empty), std::vector<int>({0, 0, 0}));
}

}  // namespace
