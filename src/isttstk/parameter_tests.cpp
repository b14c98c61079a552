// Parameter significance tests: each estimated unknown divided by its mean error
// mx_j = s0 sqrt(qxx_jj) is compared with a one-sided critical value at alpha.
#include <cmath>
#include <ostream>

#include "helmert2d/isttstk.h"
#include "helmert2d/yzdr.h"
#include "library_common.h"

namespace {

using helmert2d::isttstk::round4;

// Column masks and rules of one table layout.
struct Layout {
  const char* top;      // first rule, after an empty line
  const char* columns;  // title up to the opening parenthesis
  const char* rule;     // rule under the title and at the end
  const char* dx_mask;
  const char* q_mask;
};

constexpr Layout kLayoutT{" === ============= ============= ======= ==========  =========  \n",
                          "  i      dx(m)       qxx      mx (m)    Tx       t_(",
                          " === ============= ============= ======= ==========  ========= \n",
                          "#######.######", "#######.######"};

constexpr Layout kLayoutZ{" === ======= ======= ======= ==========  ========= \n",
                          "  i   dx(m)    qxx    mx (m)      Tx     Z_(",
                          " === ======= ======= ======= ==========  ========= \n", "###.####",
                          "###.####"};

void write_table(std::ostream& report, const Layout& lay, double alpha, double c, int u,
                 const double* dx, const double* const* Qxx, double s0) {
  report << "\n" << lay.top << lay.columns;
  frmt(report, alpha, "#.###");
  report << ")=";
  frmt(report, c, "###.####");
  report << "\n" << lay.rule;
  for (int j = 1; j <= u; ++j) {
    const double q = Qxx[j][j];
    const double mx = std::sqrt(q) * s0;
    const double tx = std::fabs(dx[j]) / mx;
    frmt(report, j, "####");
    frmt(report, dx[j], lay.dx_mask);
    frmt(report, q, lay.q_mask);
    frmt(report, mx, "###.####");
    frmt(report, tx, "######.####");
    if (tx > c) {
      report << " >";
      frmt(report, c, "####.####");
    }
    report << "\n";
  }
  report << lay.rule;
}

}  // namespace

void PrmtrTst_t_(std::ostream& report, double alpha, int n, int u, const double* dx,
                 const double* const* Qxx, double vv) {
  const int f = n - u;
  if (f < 1) return;
  const double c = round4(t_(alpha, f));
  write_table(report, kLayoutT, alpha, c, u, dx, Qxx, std::sqrt(vv / f));
}

void PrmtrTst_Z_(std::ostream& report, double alpha, int n, int u, const double* dx,
                 const double* const* Qxx, double sigma0) {
  if (n - u < 1) return;
  const double c = round4(Z_(alpha));
  write_table(report, kLayoutZ, alpha, c, u, dx, Qxx, sigma0);
  report << " So =" << sigma0 << " m \n";
}
