// The transformation run's tests: significance of the scale factor and outliers among
// the residual components and the residual pairs of the common points. Each test is
// computed once into a result; the writers only format those results.
#include <cmath>
#include <limits>

#include "helmert2d/isttstk.h"
#include "helmert2d/yzdr.h"
#include "pool/block_pool.h"
#include "yzdr/table_rows.h"

ScaleTestResult scale_tests(const ScaleTestInput& in) {
  ScaleTestResult r;
  r.f = in.f;
  r.alpha = in.alpha;
  // Tolerance: |k - 1| against 1/50000.
  const double d = in.k - 1.0;
  r.deviation = d;
  r.within_tolerance = std::fabs(d) <= 2e-5;
  if (d == 0.0) {
    // No deviation to test, whatever mo is (a perfect fit gives 0/0 otherwise).
    r.F_value = 0.0;
    r.t_value = 0.0;
  } else if (in.mo == 0.0) {
    // A perfect fit with k != 1: the residuals leave no room for the deviation.
    r.F_value = std::numeric_limits<double>::infinity();
    r.t_value = r.F_value;
  } else {
    // F test: d^2 S / mo^2; t test: |d| / m_k, m_k the mean error of k.
    r.F_value = (d * d * in.S) / in.mo / in.mo;
    r.t_value =
        (std::fabs(d) / in.mo) / std::sqrt((in.a * in.a + in.o * in.o) / in.k / in.k / in.S);
  }
  // F(1, f) at 1 - alpha.
  r.F_critical_exact = F_exact(in.alpha, 1, in.f);
  r.F_critical = in.exact_quantiles ? r.F_critical_exact : F_(in.alpha, 1, in.f);
  r.F_significant = !(r.F_value <= r.F_critical);
  r.F_significant_exact = !(r.F_value <= r.F_critical_exact);
  r.F_p = F_upper_tail(r.F_value, 1, in.f);
  // t(f) at 1 - alpha/2.
  r.t_critical_exact = t_exact(in.alpha / 2.0, in.f);
  r.t_critical = in.exact_quantiles ? r.t_critical_exact : t_(in.alpha / 2.0, in.f);
  r.t_significant = !(r.t_value <= r.t_critical);
  r.t_significant_exact = !(r.t_value <= r.t_critical_exact);
  r.t_p = 2.0 * t_upper_tail(r.t_value, in.f);
  return r;
}

namespace {

// "   Tolc = " and a scale test value; a perfect fit with k != 1 has no finite one.
void test_value(std::ostream& report, double value) {
  if (std::isinf(value)) {
    report << "   Tolc = unbounded";
  } else {
    frmt(report, "   Tolc = ", value, "##.##");
  }
}

}  // namespace

void write_scale_tests(std::ostream& report, const ScaleTestResult& r) {
  report << "                ========================== \n";
  report << "                  Testing for the Scale\n";
  report << "                ========================== \n";
  report << "\n";

  const double d = r.deviation;
  if (d == 0.0) {
    report << "   0 / 1";  // k exactly 1: the ratio 1/|d| has no value
  } else {
    frmt(report, "   1 / ", 1.0 / std::fabs(d), "##.##");
  }
  report << (r.within_tolerance ? " <=  " : "  >  ");
  frmt(report, " 1 / 50000  -->  ", d * 1e6, "##.##");
  report << "ppm \n";
  report << "\n";

  report << "           F - Dagilimine gore olcek testi :\n";
  test_value(report, r.F_value);
  report << (r.F_significant ? "  >  F(1," : " <=  F(1,") << r.f << "," << 1.0 - r.alpha;
  frmt(report, ") =", r.F_critical, "##.##");
  report << (r.F_significant ? " --> Olcek parametresi anlamlidir\n"
                             : " --> Olcek parametresi anlamsizdir\n");
  report << "\n";

  report << "           t - Dagilimine gore olcek testi :\n";
  test_value(report, r.t_value);
  report << (r.t_significant ? "  >  t(" : " <=  t(") << r.f << "," << 1.0 - r.alpha / 2.0;
  frmt(report, ")   =", r.t_critical, "#0.00");
  report << (r.t_significant ? " --> Olcek parametresi anlamlidir \n"
                             : " --> Olcek parametresi anlamsizdir \n");
  report << "\n";
}

void write_scale_tests(std::ostream& report, const ScaleTestInput& in) {
  write_scale_tests(report, scale_tests(in));
}

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A residual cofactor at or below this is 0 but for rounding. q = 0 exactly when all
// the other common points coincide; rounding of reduced coordinates of the order of
// 10^6 m over a configuration of a few metres leaves about 1e-10. A real cofactor this
// small would hide a blunder of 30000 standard deviations, so no test is lost.
constexpr double kNoRedundancy = 1e-9;

// The cofactors of point i's residuals and whether it is tested: given by a general
// adjustment, or those of the similarity through the centroid.
void row_cofactors(const OutlierTestInput& in, int i, OutlierTestRow& row) {
  if (in.cofactors != nullptr) {
    const ResidualCofactors& c = (*in.cofactors)[static_cast<std::size_t>(i)];
    row.q = c.qx;
    row.qy = c.qy;
    row.rx = c.rx;
    row.ry = c.ry;
    row.tested = c.checked;
    return;
  }
  const double dx = (*in.x)[i] - in.xm;
  const double dy = (*in.y)[i] - in.ym;
  row.q = 1.0 - (1.0 / in.n + (dx * dx + dy * dy) / in.S);
  row.qy = row.rx = row.ry = row.q;
  row.tested = row.q > kNoRedundancy;
}

}  // namespace

OutlierTestResult outlier_tests(const OutlierTestInput& in) {
  OutlierTestResult r;
  r.n = in.n;
  r.alpha = in.alpha;
  const bool general = in.cofactors != nullptr;
  r.f = general ? in.f : 2 * in.n - 4;
  r.df = r.f - 1;
  // Each component is tested at the level alpha shared out over the 2n components.
  r.component_critical_exact = t_exact(in.alpha / (2.0 * in.n), r.df);
  r.component_critical =
      in.exact_quantiles ? r.component_critical_exact : t_(in.alpha / (2.0 * in.n), r.df);
  r.rows.assign(static_cast<std::size_t>(in.n) + 1, OutlierTestRow{});
  const auto& vx = *in.vx;
  const auto& vy = *in.vy;
  const double n = in.n;
  for (int i = 1; i <= in.n; ++i) {
    OutlierTestRow& row = r.rows[static_cast<std::size_t>(i)];
    row_cofactors(in, i, row);
    if (!row.tested) {
      // The other points fix this point's residual (they all lie at one place): it has
      // no redundancy and no test; a value it shows is rounding.
      row.svx0 = row.svy0 = row.mvx = row.mvy = kNaN;
      row.Tvx = row.Tvy = row.T = kNaN;
      continue;
    }
    // Standard deviations with the tested component set aside (f - 1 degrees of freedom):
    // s0 = sqrt((v^T P v - v^2 / q) / (f - 1)). v^T P v - v^2/q is never negative in exact
    // arithmetic; below 0 it is rounding (a fit perfect up to rounding) and the component
    // has no s0 to test it against.
    const auto s0 = [&in, &r](double rest) { return rest >= 0.0 ? std::sqrt(rest / r.df) : kNaN; };
    row.svx0 = s0(in.vv - vx[i] * vx[i] / row.q);
    row.svy0 = s0(in.vv - vy[i] * vy[i] / row.qy);
    row.mvx = std::sqrt(row.q) * row.svx0;
    row.mvy = std::sqrt(row.qy) * row.svy0;
    // A residual of exactly 0 has test value 0, also when its mean error is 0 (a
    // perfect fit, where |v| / m would be 0/0). A residual beside a mean error of 0, or
    // none, is rounding that nothing else shows: it has no test value and is not flagged.
    const auto test_value = [](double v, double m) {
      return v == 0.0 ? 0.0 : m > 0.0 ? std::fabs(v / m) : kNaN;
    };
    row.Tvx = test_value(vx[i], row.mvx);
    row.Tvy = test_value(vy[i], row.mvy);
    row.component_flagged = row.Tvx > r.component_critical || row.Tvy > r.component_critical;
    row.component_flagged_exact =
        row.Tvx > r.component_critical_exact || row.Tvy > r.component_critical_exact;
    if (general) {
      row.T = (*in.cofactors)[static_cast<std::size_t>(i)].T;
    } else {
      const double vv_i = vx[i] * vx[i] + vy[i] * vy[i];
      row.T = vv_i == 0.0 ? 0.0 : std::sqrt(vv_i / (2.0 * in.mo * in.mo * row.q));
    }
  }
  if (in.probabilities) outlier_probabilities(r);
  r.pairs = r.f > 2;
  if (r.pairs) {
    r.pair_critical = general
                          ? in.pair_critical
                          : std::sqrt((n - 2.0) * (1.0 - std::pow(in.alpha / n, 1.0 / (n - 3.0))));
    for (int i = 1; i <= in.n; ++i) {
      OutlierTestRow& row = r.rows[static_cast<std::size_t>(i)];
      row.pair_flagged = row.T > r.pair_critical;
    }
  }
  return r;
}

void outlier_probabilities(OutlierTestResult& r) {
  if (r.rows.size() < 2) return;
  const int f = r.df;
  helmert2d::for_each_block(r.rows.size() - 1, [&r, f](std::size_t first, std::size_t last) {
    for (std::size_t k = first; k < last; ++k) {
      OutlierTestRow& row = r.rows[k + 1];
      row.p_x = t_upper_tail(row.Tvx, f);
      row.p_y = t_upper_tail(row.Tvy, f);
    }
  });
}

namespace {

void write_component_table(std::ostream& report, const OutlierTestInput& in,
                           const OutlierTestResult& r) {
  const char* const rule =
      "  === ==== ===== ===== ===== ===== ======  ===== ===== ===== ===== ======\n";
  report << "               ========================================= \n";
  report << "               Outlier Test for the Coordinate Componets \n";
  report << "               ========================================= \n";
  report << rule;
  report << "   i  N.N. vx(m)  qvx   svx0  mvx    Tvx   vy(m)  qvy   svy0  mvy    Tvy\n";
  report << rule;

  const auto& vx = *in.vx;
  const auto& vy = *in.vy;
  // Rows are formatted in blocks on several threads when there are many.
  helmert2d::write_table_rows(report, static_cast<std::size_t>(r.n), [&](auto& f, std::size_t k) {
    const std::size_t i = k + 1;
    const OutlierTestRow& row = r.rows[i];
    if (row.component_flagged) {
      f.put("**");
      f.integer(static_cast<int>(i), "###");
    } else {
      f.integer(static_cast<int>(i), "#####");
    }
    f.text((*in.name)[i], "#####");
    // A value the test does not have (no redundancy, or none beyond rounding) is a "-"
    // in its field.
    const auto value = [&f, &row](double v, const char* mask) {
      if (row.tested && std::isfinite(v)) {
        f.number(v, mask);
      } else {
        f.text("-", mask);
      }
    };
    f.number(vx[i], "###.##");
    f.number(row.rx, "###.##");
    value(row.svx0, "###.##");
    value(row.mvx, "###.##");
    value(row.Tvx, "####.##");
    f.number(vy[i], "####.##");
    f.number(row.ry, "###.##");
    value(row.svy0, "###.##");
    value(row.mvy, "###.##");
    value(row.Tvy, "####.##");
    f.put(row.component_flagged ? " **\n" : "\n");
  });

  report << rule;
  report << "                        (**) an outlier component\n";
  // 2*n-u-1 with the model's number of parameters u (4 for the similarity).
  report << "               t(2*n-" << 2 * r.n - r.f << "-1,1-" << r.alpha << "/2n) = t(" << r.df
         << ",";
  frmt(report, 1.0 - r.alpha / (2.0 * r.n), "#.###");
  frmt(report, ") = ", r.component_critical, "###.##");
  report << "\n";
}

void write_pair_table(std::ostream& report, const OutlierTestInput& in,
                      const OutlierTestResult& r) {
  report << "\n";
  report << "      ============================================== \n";
  report << "          Outlier Test for the Coordinate Pairs\n";
  report << "      ============================================== \n";
  helmert2d::write_table_rows(report, static_cast<std::size_t>(r.n), [&](auto& f, std::size_t k) {
    const std::size_t i = k + 1;
    const OutlierTestRow& row = r.rows[i];
    f.put("        ");
    f.integer(static_cast<int>(i), "###");
    f.put(". nokta:  T(");
    f.text((*in.name)[i], "#####");
    f.put(")=");
    if (row.tested) {
      f.number(row.T, "#0.00");
    } else {
      f.text("-", "#0.00");
    }
    f.put("   >    c =");
    f.number(r.pair_critical, "#0.00");
    f.put(row.pair_flagged ? "   <--- an outlier point\n" : "\n");
  });
}

}  // namespace

void write_outlier_tests(std::ostream& report, const OutlierTestInput& in,
                         const OutlierTestResult& res) {
  write_component_table(report, in, res);
  if (res.pairs) write_pair_table(report, in, res);
  report << "\n";
}

void write_outlier_tests(std::ostream& report, const OutlierTestInput& in) {
  write_outlier_tests(report, in, outlier_tests(in));
}
