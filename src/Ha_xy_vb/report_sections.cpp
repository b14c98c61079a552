// The report sections of the run, written from its computed result.
#include "report_sections.h"

#include "helmert2d/isttstk.h"
#include "helmert2d/yzdr.h"
#include "yzdr/row_blocks.h"

namespace helmert2d {

namespace {
constexpr double kRho = 200.0 / 3.141592653589793;  // grads per radian

template <class Fields>
void final_row(Fields& f, int number, std::string_view name, double x, double y, double X,
               double Y) {
  f.integer(number, "######");
  f.text(name, "#####");
  f.number(x, "########.####");
  f.number(y, "########.####");
  f.number(X, "###########.####");
  f.number(Y, "########.####");
  f.put("\n");
}

}  // namespace

void write_input_listing(std::ostream& r, const CommonPoints& cp) {
  const char* const rule = "   === ==== ============ ============   ============ ============\n";
  r << "\n";
  r << "            =========================   =========================\n";
  r << "               I. Coordinate System       II. Coordinate System  \n";
  r << "   === ==== =========================   =========================\n";
  r << "    i  N.N.     x (m)       y (m)           X (m)        Y (m)\n";
  r << rule;
  write_table_rows(r, static_cast<std::size_t>(cp.n), [&cp](auto& f, std::size_t k) {
    const std::size_t i = k + 1;
    f.integer(static_cast<int>(i), "#####0");
    f.text(cp.name[i], "####0");
    f.number(cp.x[i], "########0.000");
    f.number(cp.y[i], "########0.000");
    f.number(cp.X[i], "##########0.000");
    f.number(cp.Y[i], "########0.000");
    f.put("\n");
  });
  r << rule;
}

void write_parameters(std::ostream& r, const Solution& s) {
  r << "\n";
  r << "            ====================================\n";
  r << "            Similarity Transformation Parameters\n";
  r << "            ====================================\n";
  r << "                     X = a*x - o*y + tx\n";
  r << "                     Y = o*x + a*y + ty\n";
  r << "\n";
  r << "             a = k * cos(A)         o = k * sin(A) \n";
  r << "\n";
  frmt(r, "             a =", s.a, "###.########");
  frmt(r, "        o =", s.o, "###.########");
  r << "\n";
  frmt(r, "             k =", s.k, "###.########");
  frmt(r, "        A =", s.A * kRho, "###.########");
  r << " g";
  r << "\n";
  frmt(r, "             tx=", s.tx, "#######.####");
  r << " m";
  frmt(r, "      ty=", s.ty, "#######.####");
  r << " m";
  r << "\n";
  r << "\n"
    << "\n";
}

void write_residuals(std::ostream& r, const CommonPoints& cp, const Solution& s) {
  const char* const rule =
      "=== ==== ============ ============  ============ ============ ======== ======== \n";
  r << "         =========================  ========================= ================= \n";
  r << "               Given II. System         Computed II. System      Residuals \n";
  r << "=== ==== =========================  ========================= ================= \n";
  r << " i  N.N.     X (m)        Y (m)          X' (m)      Y'(m)     vx=X'-X  vy=Y'-Y \n";
  r << rule;
  write_table_rows(r, static_cast<std::size_t>(cp.n), [&cp, &s](auto& f, std::size_t k) {
    const std::size_t i = k + 1;
    f.integer(static_cast<int>(i), "##0");
    f.text(cp.name[i], "####0");
    f.number(cp.X[i], "#########.###");
    f.number(cp.Y[i], "#########.###");
    f.number(s.Xc[i], "##########.###");
    f.number(s.Yc[i], "#########.###");
    f.number(s.vx[i], "####.####");
    f.number(s.vy[i], "####.####");
    f.put("\n");
  });
  r << rule;
}

void write_statistics(std::ostream& r, const RunResult& result) {
  const Solution& s = result.solution;
  frmt(r, "    [vx2+vy2] =", s.vv, "###.######");
  r << "\n";
  frmt(r, "            f =", s.f, "###");
  r << "\n";
  frmt(r, "           mo =", s.mo, "###.####");
  r << " m \n";
  r << "\n";
  write_scale_tests(r, *result.scale);
  write_outlier_tests(r, outlier_test_input(result.points, s), *result.outliers);
}

namespace {
const char* const kFinalRule =
    "   === ==== ============ ============   ============= ============ \n";
}

void write_final_list_head(std::ostream& r, const CommonPoints& cp) {
  r << "            =========================   ========================== \n";
  r << "               I. Coordinate System        II. Coordinate System   \n";
  r << "   === ==== =========================   ============= ============ \n";
  r << "    i  N.N.     x (m)       y (m)            X (m)        Y (m) \n";
  r << kFinalRule;
  write_table_rows(r, static_cast<std::size_t>(cp.n), [&cp](auto& f, std::size_t k) {
    const std::size_t i = k + 1;
    final_row(f, static_cast<int>(i), cp.name[i], cp.x[i], cp.y[i], cp.X[i], cp.Y[i]);
  });
  r << kFinalRule;
}

void write_further_rows(std::ostream& r, int n, const std::vector<FurtherPoint>& further,
                        const RowsWritten& written) {
  write_table_rows(
      r, further.size(),
      [n, &further](auto& f, std::size_t k) {
        const FurtherPoint& p = further[k];
        final_row(f, n + 1 + static_cast<int>(k), p.name, p.x, p.y, p.p.X, p.p.Y);
      },
      written);
}

void write_final_list_end(std::ostream& r) {
  r << kFinalRule;
}

}  // namespace helmert2d
