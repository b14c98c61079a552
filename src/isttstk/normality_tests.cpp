// Normality tests of a sample: the chi-square goodness-of-fit test on classes of equal
// normal probability (Mann and Wald 1942: about sqrt(n) + 3 classes), the tests of
// skewness and peakedness by the third and fourth moments, and a text histogram.
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "helmert2d/isttstk.h"
#include "helmert2d/yzdr.h"

namespace {

// Level of the skewness and peakedness tests: both tails at 0.025 share 0.05.
constexpr double kMomentLevel = 0.9875;

struct Sample {
  int n = 0;
  double mean = 0.0;
  double vv = 0.0;    // [vv], sum of squared deviations
  double vvv = 0.0;   // [vvv], sum of cubed deviations
  double vvvv = 0.0;  // [vvvv], sum of fourth powers of deviations
  double s0 = 0.0;    // sqrt([vv] / (n - 1))
};

// Classes of equal probability p = 1/k with boundaries X_0..X_k and counts n_1..n_k.
struct Classes {
  int k = 0;
  double p = 0.0;
  std::vector<double> z;   // normal quantiles of j p, j = 0..k
  std::vector<double> x;   // boundaries mean + z_j s0
  std::vector<int> count;  // count[m]: values in (X_(m-1), X_m], m = 1..k
};

Sample describe(int n, const double* values) {
  Sample s;
  s.n = n;
  double sum = 0.0;
  for (int i = 1; i <= n; ++i) sum += values[i];
  s.mean = sum / n;
  for (int i = 1; i <= n; ++i) {
    const double v = values[i] - s.mean;
    s.vv += v * v;
    s.vvv += v * v * v;
    s.vvvv += v * v * v * v;
  }
  s.s0 = std::sqrt(s.vv / (n - 1));
  return s;
}

Classes classify(const Sample& s, const double* values) {
  Classes c;
  c.k = static_cast<int>(std::sqrt(static_cast<double>(s.n)) + 3.0);
  c.p = 1.0 / c.k;
  c.z.resize(c.k + 1);
  c.x.resize(c.k + 1);
  c.count.assign(c.k + 1, 0);
  for (int j = 0; j <= c.k; ++j) {
    // The last probability is exactly 1, so the top boundary is mean + 10 s0 even for
    // the k whose k * (1/k) rounds below 1.
    c.z[j] = NormaL(j == c.k ? 1.0 : j * c.p);
    c.x[j] = s.mean + c.z[j] * s.s0;
  }
  for (int m = 1; m <= c.k; ++m)
    for (int i = 1; i <= s.n; ++i)
      if (c.x[m - 1] < values[i] && values[i] <= c.x[m]) ++c.count[m];
  return c;
}

void write_summary(std::ostream& r, const Sample& s, const Classes& c) {
  r << "\n";
  frmt(r, " Xort =", s.mean, "####.####");
  r << "\n";
  frmt(r, "  vv  =", s.vv, "####.####");
  r << "\n";
  frmt(r, "  n-1 =", s.n - 1, "####");
  r << "\n";
  frmt(r, "  S0  =", s.s0, "####.####");
  r << "\n\n";
  frmt(r, "    n =", s.n, "####");
  r << "\n";
  frmt(r, "    k =", c.k, "####");
  r << "\n";
  frmt(r, "    p =", c.p, "####.##");
  r << "\n\n";
}

// Boundary rows and class rows, alternating; returns the sums the table closes with.
void write_class_rows(std::ostream& r, int n, const Classes& c, int& total, double& diff_sum,
                      double& sq_sum) {
  const double expected = n * c.p;
  total = 0;
  diff_sum = 0.0;
  sq_sum = 0.0;
  for (int j = 0; j <= c.k; ++j) {
    frmt(r, j * c.p, "######.00");
    frmt(r, c.z[j], "####.00");
    frmt(r, c.x[j], "#########.00");
    r << "\n";
    if (j == c.k) break;
    const double d = c.count[j + 1] - expected;
    frmt(r, j + 1, "###");
    frmt(r, c.count[j + 1], "###############################");
    frmt(r, d, "#####.00");
    r << "\n";
    total += c.count[j + 1];
    diff_sum += d;
    sq_sum += d * d;
  }
}

void write_chi_square_test(std::ostream& r, int n, const Classes& c) {
  r << "\n"
    << "           ==================== \n"
    << "           MANN-WALD UYUM TESTI \n"
    << "           ==================== \n";
  const char* rule = "===  ====  =====  ==========  ====  ====== \n";
  r << rule << "SNo   i*p   Zi      Xsinir     ni   ni-p*n \n" << rule;
  int total = 0;
  double diff_sum = 0.0, sq_sum = 0.0;
  write_class_rows(r, n, c, total, diff_sum, sq_sum);
  r << rule;
  frmt(r, total, "##################################");
  frmt(r, std::fabs(diff_sum), "#####.00");
  r << "\n";
  // Pearson's statistic with equal expected counts n p in every class.
  const double xo2 = sq_sum / n / c.p;
  frmt(r, "     [(ni-n*p)**2]   =", sq_sum, "#####.00");
  r << "\n";
  frmt(r, " [(ni-n*p)**2]/(n*p) =", xo2, "#####.00");
  r << "\n\n";
  const double critical = X2_(0.05, c.k - 3);
  const bool normal = xo2 <= critical;
  frmt(r, " Xo2= ", xo2, "##0.00");
  r << (normal ? " <= X(0.05," : "  > X(0.05,");
  frmt(r, c.k - 3, "####");
  frmt(r, ")= ", critical, "###.00");
  r << (normal ? " Veri kumesi Normal dagilimlidir \n"
               : " Veri kumesi Normal dagilimli degildidir \n");
  r << "\n";
}

// One verdict line: " <name> = |value| <= or > Z(0.988) = critical <verdict>".
void write_moment_verdict(std::ostream& r, const char* lead, double value, double critical,
                          const char* accept, const char* reject) {
  const bool within = std::fabs(value) <= critical;
  frmt(r, lead, value, "####0.00");
  r << (within ? "| <=  Z(" : "|  >  Z(");
  frmt(r, kMomentLevel, "#.000");
  frmt(r, ") = ", critical, "###.00");
  r << (within ? accept : reject);
}

void write_moment_tests(std::ostream& r, const Sample& s) {
  r << " ============================================== \n"
    << " CARPIKLIK VE BASIKLIK ILE NORMAL DAGILIM TESTI \n"
    << " ============================================== \n";
  frmt(r, " [vvv]  =", s.vvv, "####.0000");
  r << "\n";
  frmt(r, " [vvvv] =", s.vvvv, "####.0000");
  r << "\n\n";
  const double n = s.n;
  const double s0_3 = s.s0 * s.s0 * s.s0;
  const double s0_4 = s0_3 * s.s0;
  // Standardised moments with standard errors sqrt(6/n) and sqrt(24/n).
  const double zcarp = std::sqrt(n / 6.0) * (-s.vvv / s0_3 / n);
  const double zbask = std::sqrt(n / 24.0) * (s.vvvv / s0_4 / n - 3.0);
  frmt(r, s.vvv < 0.0 ? " Negatif (Saga) Carpiklik  = " : " Pozitif (Sola) Carpiklik  = ", s.vvv,
       "####.0000");
  r << "\n";
  frmt(r, zbask < 0.0 ? " Negatif (Asagi) Basiklik  = " : " Pozitif (Yukari) Basiklik = ", s.vvvv,
       "####.0000");
  r << "\n\n";
  const double critical = NormaL(kMomentLevel);
  write_moment_verdict(r, " Zcarp = |", zcarp, critical, " Dagilim carpik degil \n",
                       " Dagilim carpik  \n");
  write_moment_verdict(r, " Zbask = |", zbask, critical, " Dagilim basik degil \n",
                       " Dagilim basik  \n");
  r << "\n";
}

void write_histogram(std::ostream& r, const Classes& c) {
  r << "            ========= \n"
    << "            HISTOGRAM \n"
    << "            ========= \n";
  for (int m = 1; m <= c.k; ++m) {
    frmt(r, m, "###");
    r << "|" << std::string(static_cast<std::size_t>(c.count[m]), '*') << "\n";
  }
  r << "\n\n";
}

}  // namespace

void MANNWALD(std::ostream& report, int n, const double* values) {
  // A negative size has no sample and no class count to speak of.
  if (n < 0) return;
  const Sample s = describe(n, values);
  const Classes c = classify(s, values);
  write_summary(report, s, c);
  write_chi_square_test(report, n, c);
  write_moment_tests(report, s);
  write_histogram(report, c);
}
