// The transformation run's tests: significance of the scale factor and outliers among
// the residual components and the residual pairs of the common points.
#include <cmath>

#include "helmert2d/isttstk.h"
#include "helmert2d/yzdr.h"

void write_scale_tests(std::ostream& report, const ScaleTestInput& in) {
  report << "                ========================== \n";
  report << "                  Testing for the Scale\n";
  report << "                ========================== \n";
  report << "\n";

  // Tolerance: |k - 1| against 1/50000.
  const double d = in.k - 1.0;
  frmt(report, "   1 / ", 1.0 / std::fabs(d), "##.##");
  report << (std::fabs(d) <= 2e-5 ? " <=  " : "  >  ");
  frmt(report, " 1 / 50000  -->  ", d * 1e6, "##.##");
  report << "ppm \n";
  report << "\n";

  // F test: d^2 S / mo^2 against F(1, f) at 1 - alpha.
  report << "           F - Dagilimine gore olcek testi :\n";
  const double f_value = (d * d * in.S) / in.mo / in.mo;
  const double f_critical = F_(in.alpha, 1, in.f);
  const bool f_insignificant = f_value <= f_critical;
  frmt(report, "   Tolc = ", f_value, "##.##");
  report << (f_insignificant ? " <=  F(1," : "  >  F(1,") << in.f << "," << 1.0 - in.alpha;
  frmt(report, ") =", f_critical, "##.##");
  report << (f_insignificant ? " --> Olcek parametresi anlamsizdir\n"
                             : " --> Olcek parametresi anlamlidir\n");
  report << "\n";

  // t test: |d| / m_k against t(f) at 1 - alpha/2, m_k the mean error of k.
  report << "           t - Dagilimine gore olcek testi :\n";
  const double t_value =
      (std::fabs(d) / in.mo) / std::sqrt((in.a * in.a + in.o * in.o) / in.k / in.k / in.S);
  const double t_critical = t_(in.alpha / 2.0, in.f);
  const bool t_insignificant = t_value <= t_critical;
  frmt(report, "   Tolc = ", t_value, "##.##");
  report << (t_insignificant ? " <=  t(" : "  >  t(") << in.f << "," << 1.0 - in.alpha / 2.0;
  frmt(report, ")   =", t_critical, "#0.00");
  report << (t_insignificant ? " --> Olcek parametresi anlamsizdir \n"
                             : " --> Olcek parametresi anlamlidir \n");
  report << "\n";
}

namespace {

void write_component_table(std::ostream& report, const OutlierTestInput& in, double t_c,
                           std::vector<double>& pair_value) {
  const char* const rule =
      "  === ==== ===== ===== ===== ===== ======  ===== ===== ===== ===== ======\n";
  report << "               ========================================= \n";
  report << "               Outlier Test for the Coordinate Componets \n";
  report << "               ========================================= \n";
  report << rule;
  report << "   i  N.N. vx(m)  qvx   svx0  mvx    Tvx   vy(m)  qvy   svy0  mvy    Tvy\n";
  report << rule;

  const auto& x = *in.x;
  const auto& y = *in.y;
  const auto& vx = *in.vx;
  const auto& vy = *in.vy;
  const double n = in.n;
  for (int i = 1; i <= in.n; ++i) {
    const double dx = x[i] - in.xm;
    const double dy = y[i] - in.ym;
    // Cofactor of a residual of the similarity transformation through the centroid.
    const double q = 1.0 - (1.0 / n + (dx * dx + dy * dy) / in.S);
    // Standard deviations with the tested component set aside (f - 1 degrees of freedom).
    const double svx0 = std::sqrt((in.vv - vx[i] * vx[i] / q) / (in.f - 1));
    const double svy0 = std::sqrt((in.vv - vy[i] * vy[i] / q) / (in.f - 1));
    const double mvx = std::sqrt(q) * svx0;
    const double mvy = std::sqrt(q) * svy0;
    const double tvx = std::fabs(vx[i] / mvx);
    const double tvy = std::fabs(vy[i] / mvy);
    pair_value[i] = std::sqrt((vx[i] * vx[i] + vy[i] * vy[i]) / (2.0 * in.mo * in.mo * q));

    const bool flagged = tvx > t_c || tvy > t_c;
    if (flagged) {
      report << "**";
      frmt(report, i, "###");
    } else {
      frmt(report, i, "#####");
    }
    frmt(report, (*in.name)[i], "#####");
    frmt(report, vx[i], "###.##");
    frmt(report, q, "###.##");
    frmt(report, svx0, "###.##");
    frmt(report, mvx, "###.##");
    frmt(report, tvx, "####.##");
    frmt(report, vy[i], "####.##");
    frmt(report, q, "###.##");
    frmt(report, svy0, "###.##");
    frmt(report, mvy, "###.##");
    frmt(report, tvy, "####.##");
    report << (flagged ? " **\n" : "\n");
  }

  report << rule;
  report << "                        (**) an outlier component\n";
  report << "               t(2*n-4-1,1-" << in.alpha << "/2n) = t(" << 2 * in.n - 5 << ",";
  frmt(report, 1.0 - in.alpha / (2.0 * n), "#.###");
  frmt(report, ") = ", t_c, "###.##");
  report << "\n";
}

void write_pair_table(std::ostream& report, const OutlierTestInput& in,
                      const std::vector<double>& pair_value) {
  const double n = in.n;
  const double c = std::sqrt((n - 2.0) * (1.0 - std::pow(in.alpha / n, 1.0 / (n - 3.0))));
  report << "\n";
  report << "      ============================================== \n";
  report << "          Outlier Test for the Coordinate Pairs\n";
  report << "      ============================================== \n";
  for (int i = 1; i <= in.n; ++i) {
    report << "        ";
    frmt(report, i, "###");
    report << ". nokta:  T(";
    frmt(report, (*in.name)[i], "#####");
    frmt(report, ")=", pair_value[i], "#0.00");
    frmt(report, "   >    c =", c, "#0.00");
    report << (pair_value[i] > c ? "   <--- an outlier point\n" : "\n");
  }
}

}  // namespace

void write_outlier_tests(std::ostream& report, const OutlierTestInput& in) {
  // Each component is tested at the level alpha shared out over the 2n components.
  const double t_c = t_(in.alpha / (2.0 * in.n), 2 * in.n - 5);
  std::vector<double> pair_value(static_cast<std::size_t>(in.n) + 1, 0.0);
  write_component_table(report, in, t_c, pair_value);
  if (in.n > 3) write_pair_table(report, in, pair_value);
  report << "\n";
}
