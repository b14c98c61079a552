// Statistical testing: closed-form distribution quantiles, the transformation run's
// scale and outlier tests, and the library's report-writing tests and random numbers.
//
// Quantile arguments are upper-tail probabilities: q = Z_(alpha) satisfies
// P(Z > q) = alpha approximately. No function checks its arguments; invalid ones
// give infinite or not-a-number results that are passed on.
#ifndef HELMERT2D_ISTTSTK_H
#define HELMERT2D_ISTTSTK_H

#include <ostream>
#include <string>
#include <vector>

// ---- Distribution quantiles -------------------------------------------------------

/// Quantile at 1 - alpha of the distribution chosen by `selector`:
/// 0 standard normal, 1 Student t (f1 degrees of freedom), 2 chi-square (f1),
/// 3 Fisher F (f1 numerator, f2 denominator); any other selector acts as 0.
double TABLO(double alpha, int f1, int f2, int selector);
/// Standard normal quantile z(1 - alpha).
double Z_(double alpha);
/// Student t quantile t(f, 1 - alpha).
double t_(double alpha, int f);
/// Chi-square quantile chi2(f, 1 - alpha).
double X2_(double alpha, int f);
/// Fisher F quantile F(f1, f2, 1 - alpha).
double F_(double alpha, int f1, int f2);
/// Lower-tail normal quantile: z with Phi(z) = p; -10 for p = 0 and +10 for p = 1.
double NormaL(double p);

// ---- Exact distributions -----------------------------------------------------------
// Computed to double precision (not closed forms); arguments outside the domain
// (f < 1, alpha outside (0, 1), a not-a-number value) give not-a-number.

/// Exact Student t quantile: q with P(T > q) = alpha, f degrees of freedom.
double t_exact(double alpha, int f);
/// Exact Fisher F quantile: q with P(F > q) = alpha, f1 numerator and f2 denominator
/// degrees of freedom.
double F_exact(double alpha, int f1, int f2);
/// Upper-tail probability P(T > value) of Student t with f degrees of freedom.
double t_upper_tail(double value, int f);
/// Upper-tail probability P(F > value) of Fisher F(f1, f2).
double F_upper_tail(double value, int f1, int f2);
/// Exact chi-square quantile: q with P(X > q) = alpha, f degrees of freedom.
double chi2_exact(double alpha, int f);
/// Upper-tail probability P(X > value) of chi-square with f degrees of freedom.
double chi2_upper_tail(double value, int f);

// ---- The transformation run's tests -----------------------------------------------

/// Inputs of the scale tests (all from the similarity transformation solution).
struct ScaleTestInput {
  int n = 0;                     ///< number of common points (> 2)
  double k = 1.0;                ///< scale factor sqrt(a^2 + o^2)
  double a = 1.0;                ///< k cos(A)
  double o = 0.0;                ///< k sin(A)
  double S = 0.0;                ///< [xx+yy], sum of squared reduced system-I coordinates (m^2)
  double mo = 0.0;               ///< standard deviation of unit weight (m)
  int f = 0;                     ///< degrees of freedom 2(n - 2)
  double alpha = 0.05;           ///< significance level
  bool exact_quantiles = false;  ///< critical values from F_exact and t_exact, not F_ and t_
};

/// Values and verdicts of the three scale tests, computed once by scale_tests.
struct ScaleTestResult {
  int f = 0;                     ///< degrees of freedom 2(n - 2)
  double alpha = 0.05;           ///< significance level
  double deviation = 0.0;        ///< k - 1 (dimensionless; times 1e6 gives ppm)
  bool within_tolerance = true;  ///< |k - 1| <= 1/50000
  /// (k - 1)^2 S / mo^2; 0 when k is exactly 1, infinite when mo = 0 and k != 1
  double F_value = 0.0;
  double F_critical = 0.0;           ///< F(1, f) at 1 - alpha, as the report uses it
  bool F_significant = false;        ///< F_value > F_critical
  double t_value = 0.0;              ///< |k - 1| / m_k (0 and infinite as F_value)
  double t_critical = 0.0;           ///< t(f) at 1 - alpha/2, as the report uses it
  bool t_significant = false;        ///< t_value > t_critical
  bool F_significant_exact = false;  ///< F_value > F_critical_exact
  bool t_significant_exact = false;  ///< t_value > t_critical_exact
  double F_critical_exact = 0.0;     ///< exact F(1, f) quantile at 1 - alpha
  double F_p = 0.0;                  ///< exact P(F > F_value)
  double t_critical_exact = 0.0;     ///< exact t(f) quantile at 1 - alpha/2
  double t_p = 0.0;                  ///< exact two-sided 2 P(T > t_value)
};

/// Computes the tolerance, F and t tests of the scale factor with the closed-form
/// quantiles F_ and t_ (or the exact ones when asked), and the exact p-values.
ScaleTestResult scale_tests(const ScaleTestInput& in);

/// Writes the scale test section from computed values, then the empty line that ends
/// the section. Computes nothing.
void write_scale_tests(std::ostream& report, const ScaleTestResult& res);

/// Computes and writes the scale tests (scale_tests, then the writer above).
void write_scale_tests(std::ostream& report, const ScaleTestInput& in);

/// One common point's residual figures from a general adjustment (another model than
/// the similarity, or weights): the cofactors of vx and vy (m^2, the diagonal of its
/// 2 x 2 block of Qvv), their redundancy numbers p qx and p qy, whether the other points
/// check it at all, and its pair test value sqrt(v^T Qvv_ii^-1 v / (2 s0^2)).
struct ResidualCofactors {
  double qx = 0.0, qy = 0.0;
  double rx = 0.0, ry = 0.0;
  bool checked = false;
  double T = 0.0;
};

/// Inputs of the outlier tests; the lists are 1-based (entry 0 unused), n + 1 long.
struct OutlierTestInput {
  int n = 0;                                       ///< number of common points (> 2)
  const std::vector<std::string>* name = nullptr;  ///< point names
  const std::vector<double>* x = nullptr;          ///< system-I first coordinates (m)
  const std::vector<double>* y = nullptr;          ///< system-I second coordinates (m)
  const std::vector<double>* vx = nullptr;         ///< residuals of X (m)
  const std::vector<double>* vy = nullptr;         ///< residuals of Y (m)
  double xm = 0.0, ym = 0.0;                       ///< centroid of system I (m)
  double S = 0.0;                                  ///< [xx+yy] (m^2)
  double vv = 0.0;                                 ///< [vx2+vy2] (m^2)
  int f = 0;                                       ///< degrees of freedom 2(n - 2)
  double mo = 0.0;                                 ///< standard deviation of unit weight (m)
  double alpha = 0.05;                             ///< significance level
  bool exact_quantiles = false;  ///< component critical value from t_exact, not t_
  bool probabilities = false;    ///< also compute each row's exact p_x, p_y (costs O(n) cdfs)
  /// From a general adjustment: every point's cofactors (1-based, n + 1 long), with vv
  /// its v^T P v, f its degrees of freedom 2n - u and mo its s0. Null for the similarity
  /// with equal weights, whose cofactors follow from xm, ym and S (f = 2n - 4).
  const std::vector<ResidualCofactors>* cofactors = nullptr;
  /// With `cofactors`: the pair test's critical value c, 0 when f <= 2 (no pair test).
  double pair_critical = 0.0;
};

/// One common point's outlier test values (residual units m). A residual that is
/// exactly 0 has test value 0. A point whose cofactor q is 0 (all the other points at
/// one place fix its residual) is not tested: its s0, mean errors and test values are
/// not-a-number and it is never flagged.
struct OutlierTestRow {
  double q = 0.0;   ///< cofactor of vx (and of vy: see qy)
  double qy = 0.0;  ///< cofactor of vy; q but for the rigid model
  /// The redundancy numbers the table shows: p q and p qy, q itself without weights.
  double rx = 0.0, ry = 0.0;
  double svx0 = 0.0, svy0 = 0.0;  ///< s0 with the tested component set aside (m)
  double mvx = 0.0, mvy = 0.0;    ///< mean errors of vx and vy (m)
  double Tvx = 0.0, Tvy = 0.0;    ///< component test values |v| / m_v
  double T = 0.0;                 ///< pair test value sqrt((vx2 + vy2) / (2 mo2 q))
  double p_x = 0.0, p_y = 0.0;    ///< exact P(t(f - 1) > Tvx), > Tvy (when asked for)
  // The verdicts last, packed together: a row is kept for each of up to millions of points.
  bool tested = true;                    ///< false when q is 0 (up to rounding): no test
  bool component_flagged = false;        ///< Tvx or Tvy above the component critical value
  bool component_flagged_exact = false;  ///< Tvx or Tvy above the exact critical value
  bool pair_flagged = false;             ///< T above c (only when n > 3)
};

/// The outlier tests of all common points, computed once by outlier_tests.
struct OutlierTestResult {
  int n = 0;                              ///< number of common points
  double alpha = 0.05;                    ///< significance level
  int f = 0;                              ///< degrees of freedom of the adjustment, 2n - u
  int df = 0;                             ///< of the component tests: f - 1 (2n - 5)
  bool pairs = false;                     ///< the pair test is made: f > 2 (n > 3)
  double component_critical = 0.0;        ///< t(f - 1) at 1 - alpha/(2n), as the report uses it
  double component_critical_exact = 0.0;  ///< exact t(f - 1) quantile at 1 - alpha/(2n)
  double pair_critical = 0.0;        ///< c = sqrt((n-2)(1 - (alpha/n)^(1/(n-3)))); 0 when n <= 3
  std::vector<OutlierTestRow> rows;  ///< 1-based, rows[1..n] (entry 0 unused)
};

/// Computes the component tests and, for n > 3, the pair tests.
OutlierTestResult outlier_tests(const OutlierTestInput& in);

/// Fills every row's p_x and p_y: the exact upper-tail probabilities of Tvx and Tvy in
/// t(f - 1), shared out over the report's thread pool (two cdfs per row). Reads only
/// each row's Tvx and Tvy, so other threads may read the rows' other values meanwhile.
void outlier_probabilities(OutlierTestResult& res);

/// Writes the component outlier table with its critical-value line and, for n > 3,
/// the pair outlier table; ends with the empty line that closes the statistics. Names
/// and residuals come from `in`, every test value from `res`; computes nothing.
void write_outlier_tests(std::ostream& report, const OutlierTestInput& in,
                         const OutlierTestResult& res);

/// Computes and writes the outlier tests (outlier_tests, then the writer above).
void write_outlier_tests(std::ostream& report, const OutlierTestInput& in);

// ---- Library tests and random numbers ---------------------------------------------
// (residual conformity, parameter significance, normality tests and random
// generators are declared below this line)
//
// The report writers take 1-based arrays (element 0 unused) and row-pointer
// matrices of which only the diagonal is read; they change none of their inputs and
// write nothing but the report. Critical values are rounded to 4 decimals (half up)
// and a row is marked only when its test value is strictly greater. Plain numbers
// (degrees of freedom, " So =" values) carry the precision the last masked write left.

// Residual conformity: every residual v[i] is normalised by its mean error and
// compared with a critical value at the level alpha / n shared out over the n rows.
// A residual with a zero cofactor (no redundancy) is written but never marked.
// Arguments for all three:
//   report  out: the table is written here
//   alpha   significance level (for example 0.05)
//   n       number of observations, rows 1..n
//   u       number of unknowns; f = n - u is the redundancy
//   names   in: observation names, 1-based, names[1..n]
//   v       in: residuals, 1-based, v[1..n] (m)
//   Qvv     in: cofactor matrix of the residuals, 1-based; only Qvv[i][i] is read

/// t-test with observation i set aside: s0_i from the other observations,
/// critical value t(f - 1) at alpha / n. Needs f >= 2, else writes nothing.
/// vv: sum of the squared residuals (m^2).
void Uyusum_t_(std::ostream& report, double alpha, int n, int u, const char* const* names,
               const double* v, const double* const* Qvv, double vv);
void Uyusum_t_(std::ostream& report, double alpha, int n, int u, const std::string* names,
               const double* v, const double* const* Qvv, double vv);

/// Tau test with s0 = sqrt(vv / f) of the whole adjustment; critical value
/// tau = t sqrt(f) / sqrt(t^2 + f - 1), t = t(f - 1) at alpha / n. Needs f >= 2.
/// vv: sum of the squared residuals (m^2).
void Uyusum_Tau_(std::ostream& report, double alpha, int n, int u, const char* const* names,
                 const double* v, const double* const* Qvv, double vv);
void Uyusum_Tau_(std::ostream& report, double alpha, int n, int u, const std::string* names,
                 const double* v, const double* const* Qvv, double vv);

/// Normal test with the standard deviation of unit weight known in advance;
/// critical value z at alpha / n. Needs f >= 1. sigma0: a priori s0 (m).
void Uyusum_Z_(std::ostream& report, double alpha, int n, int u, const char* const* names,
               const double* v, const double* const* Qvv, double sigma0);
void Uyusum_Z_(std::ostream& report, double alpha, int n, int u, const std::string* names,
               const double* v, const double* const* Qvv, double sigma0);

// Parameter significance: every unknown dx[j] is divided by its mean error and
// compared with a one-sided critical value at alpha itself. Both need f = n - u >= 1.
//   report  out: the table is written here
//   alpha   significance level, used as given
//   n       number of observations
//   u       number of unknowns, rows 1..u
//   dx      in: estimated unknowns, 1-based, dx[1..u] (m)
//   Qxx     in: cofactor matrix of the unknowns, 1-based; only Qxx[j][j] is read

/// Student t test with s0 = sqrt(vv / f); vv: sum of the squared residuals (m^2).
void PrmtrTst_t_(std::ostream& report, double alpha, int n, int u, const double* dx,
                 const double* const* Qxx, double vv);
/// Normal test with sigma0, the standard deviation of unit weight known in advance (m).
void PrmtrTst_Z_(std::ostream& report, double alpha, int n, int u, const double* dx,
                 const double* const* Qxx, double sigma0);

/// Normality of a sample: writes its mean and standard deviation, the chi-square
/// goodness-of-fit test on int(sqrt(n) + 3) classes of equal normal probability,
/// the skewness and peakedness tests and a text histogram of the class counts.
///   report  out: the blocks are written here
///   n       sample size (n < 0 writes nothing)
///   values  in: the sample, 1-based, values[1..n]
void MANNWALD(std::ostream& report, int n, const double* values);

// Random numbers. The uniform generator keeps one process-wide table, initialised
// on its first draw and again whenever the seed variable is negative; it is not
// safe for concurrent use.

/// Uniform value in [0, 1], rounded to float. seed: in/out; a negative value
/// (re)initialises the table from its magnitude and is then set to 1.
float rand3(long* seed);
/// Two draws combined, first + second * 1e-9: a uniform double in [0, 1 + 1e-9].
double unif_rand_dbl(long* seed);
/// Uniform integer 0..n: truncation of unif_rand_dbl * (n + 1), capped at n.
int randint(int n, long* seed);
/// a - b * trunc(a / b): the remainder with the sign of a.
double modul(double a, double b);
/// Standard normal deviates by the polar method from the congruence
/// seed <- 16807 seed mod (2^31 - 1), taken in pairs.
///   seed  start value, best in 1..2^31 - 2; others are first brought into that range
///   n     number of deviates wanted
///   out   out: 1-based, out[1..n]; for odd n out[n] is the first value of one more pair
void GGNPM(double seed, int n, double* out);
/// Normal values of the given mean and standard deviation, seeded from the clock.
///   n     number of values
///   mean  mean of the values (any unit)
///   sd    standard deviation (same unit)
///   out   out: 1-based, out[1..n]
void NrmLDzltmUrt(int n, double mean, double sd, double* out);

#endif  // HELMERT2D_ISTTSTK_H
