// Residual conformity tests: each residual of an adjustment is normalised by its mean
// error and compared with a critical value at the level alpha / n (the level shared
// out over the n observations, Bonferroni). The three tests differ in the standard
// deviation of unit weight they use: s0 without the observation (t), s0 of the whole
// adjustment (tau) or a value known in advance (normal).
#include <cmath>
#include <ostream>
#include <string>

#include "helmert2d/isttstk.h"
#include "helmert2d/yzdr.h"
#include "library_common.h"

namespace {

using helmert2d::isttstk::round4;

constexpr const char* kRuleT =
    " === ========= ======= ======= ======= ======= =======  ========= \n";
constexpr const char* kRule = " === ========= ======= ======= ======= =======  ========= \n";
constexpr const char* kNum = "###.####";

// Mean error and test value of residual v with cofactor q, given s0 in metres.
struct Normalised {
  double mv;
  double tv;
};

Normalised normalise(double v, double q, double s0) {
  const double mv = std::sqrt(q) * s0;
  return {mv, std::fabs(v) / mv};
}

// " >" and the critical value after a row whose test value exceeds it. A residual with
// a zero cofactor has no redundancy and cannot be tested: its test value (|v| / 0, an
// infinity from the rounding noise in v) is written but never marked.
void mark_if_above(std::ostream& report, double q, double tv, double c) {
  if (q != 0.0 && tv > c) {
    report << " >";
    frmt(report, c, "####.####");
  }
}

// Title: the columns, then "<label>(alpha/n[,f])=c".
void write_title(std::ostream& report, const char* columns, double level, int dof, double c) {
  report << columns;
  frmt(report, level, "#.###");
  if (dof >= 0) report << "," << dof;
  report << ")=";
  frmt(report, c, kNum);
  report << "\n";
}

// Row start: index, name, residual and cofactor.
template <typename Name>
void write_row_start(std::ostream& report, int i, const Name& name, double v, double q) {
  frmt(report, i, "####");
  frmt(report, name, "##########");
  frmt(report, v, kNum);
  frmt(report, q, kNum);
}

// Row end: mean error, test value, mark, newline.
void write_row_end(std::ostream& report, double q, const Normalised& r, double c) {
  frmt(report, r.mv, kNum);
  frmt(report, r.tv, kNum);
  mark_if_above(report, q, r.tv, c);
  report << "\n";
}

template <typename Name>
void conformity_t(std::ostream& report, double alpha, int n, int u, const Name* names,
                  const double* v, const double* const* Qvv, double vv) {
  const int f = n - u;
  if (f < 2) return;
  const double level = alpha / n;
  const double c = round4(t_(level, f - 1));
  report << "\n" << kRuleT;
  write_title(report, "  i      NN     v (m)    qvv    s0 (m)  mv (m)   Tv     t(", level, f - 1,
              c);
  report << kRuleT;
  for (int i = 1; i <= n; ++i) {
    const double q = Qvv[i][i];
    // s0 of the adjustment without observation i: [vv] less v_i^2 / q_i over f - 1.
    const double s0i = std::sqrt((vv - v[i] * v[i] / q) / (f - 1));
    write_row_start(report, i, names[i], v[i], q);
    frmt(report, s0i, kNum);
    write_row_end(report, q, normalise(v[i], q, s0i), c);
  }
  report << kRuleT;
}

// Critical value of the tau distribution from Student t with f - 1 degrees of
// freedom: tau = t sqrt(f) / sqrt(t^2 + f - 1) (Pope 1976).
double tau_critical(double level, int f) {
  const double t = round4(t_(level, f - 1));
  return round4(t * std::sqrt(static_cast<double>(f)) / std::sqrt(t * t + (f - 1)));
}

template <typename Name>
void conformity_tau(std::ostream& report, double alpha, int n, int u, const Name* names,
                    const double* v, const double* const* Qvv, double vv) {
  const int f = n - u;
  if (f < 2) return;
  const double level = alpha / n;
  const double c = tau_critical(level, f);
  const double s0 = std::sqrt(vv / f);
  report << "\n" << kRule;
  write_title(report, "  i      NN     v (m)    qvv    mv (m)   Tv     Tau(", level, f - 1, c);
  report << kRule;
  for (int i = 1; i <= n; ++i) {
    write_row_start(report, i, names[i], v[i], Qvv[i][i]);
    write_row_end(report, Qvv[i][i], normalise(v[i], Qvv[i][i], s0), c);
  }
  report << kRule;
}

template <typename Name>
void conformity_z(std::ostream& report, double alpha, int n, int u, const Name* names,
                  const double* v, const double* const* Qvv, double sigma0) {
  if (n - u < 1) return;
  const double level = alpha / n;
  const double c = round4(Z_(level));
  report << "\n" << kRule;
  write_title(report, "  i      NN     v (m)    qvv    mv (m)   Tv     Z_(", level, -1, c);
  report << kRule;
  for (int i = 1; i <= n; ++i) {
    write_row_start(report, i, names[i], v[i], Qvv[i][i]);
    write_row_end(report, Qvv[i][i], normalise(v[i], Qvv[i][i], sigma0), c);
  }
  report << kRule;
  report << " So =" << sigma0 << " m \n";
}

}  // namespace

void Uyusum_t_(std::ostream& report, double alpha, int n, int u, const char* const* names,
               const double* v, const double* const* Qvv, double vv) {
  conformity_t(report, alpha, n, u, names, v, Qvv, vv);
}

void Uyusum_t_(std::ostream& report, double alpha, int n, int u, const std::string* names,
               const double* v, const double* const* Qvv, double vv) {
  conformity_t(report, alpha, n, u, names, v, Qvv, vv);
}

void Uyusum_Tau_(std::ostream& report, double alpha, int n, int u, const char* const* names,
                 const double* v, const double* const* Qvv, double vv) {
  conformity_tau(report, alpha, n, u, names, v, Qvv, vv);
}

void Uyusum_Tau_(std::ostream& report, double alpha, int n, int u, const std::string* names,
                 const double* v, const double* const* Qvv, double vv) {
  conformity_tau(report, alpha, n, u, names, v, Qvv, vv);
}

void Uyusum_Z_(std::ostream& report, double alpha, int n, int u, const char* const* names,
               const double* v, const double* const* Qvv, double sigma0) {
  conformity_z(report, alpha, n, u, names, v, Qvv, sigma0);
}

void Uyusum_Z_(std::ostream& report, double alpha, int n, int u, const std::string* names,
               const double* v, const double* const* Qvv, double sigma0) {
  conformity_z(report, alpha, n, u, names, v, Qvv, sigma0);
}
