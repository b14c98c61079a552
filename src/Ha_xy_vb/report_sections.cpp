// The report sections of the run, written from its computed result.
#include "report_sections.h"

#include "helmert2d/isttstk.h"
#include "helmert2d/yzdr.h"

namespace helmert2d {

namespace {
constexpr double kRho = 200.0 / 3.141592653589793;  // grads per radian
}  // namespace

void write_input_listing(std::ostream& r, const CommonPoints& cp) {
  const char* const rule = "   === ==== ============ ============   ============ ============\n";
  r << "\n";
  r << "            =========================   =========================\n";
  r << "               I. Coordinate System       II. Coordinate System  \n";
  r << "   === ==== =========================   =========================\n";
  r << "    i  N.N.     x (m)       y (m)           X (m)        Y (m)\n";
  r << rule;
  for (int i = 1; i <= cp.n; ++i) {
    frmt(r, i, "#####0");
    frmt(r, cp.name[i], "####0");
    frmt(r, cp.x[i], "########0.000");
    frmt(r, cp.y[i], "########0.000");
    frmt(r, cp.X[i], "##########0.000");
    frmt(r, cp.Y[i], "########0.000");
    r << "\n";
  }
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
  for (int i = 1; i <= cp.n; ++i) {
    frmt(r, i, "##0");
    frmt(r, cp.name[i], "####0");
    frmt(r, cp.X[i], "#########.###");
    frmt(r, cp.Y[i], "#########.###");
    frmt(r, s.Xc[i], "##########.###");
    frmt(r, s.Yc[i], "#########.###");
    frmt(r, s.vx[i], "####.####");
    frmt(r, s.vy[i], "####.####");
    r << "\n";
  }
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
  for (int i = 1; i <= cp.n; ++i) {
    write_final_row(r, i, cp.name[i], cp.x[i], cp.y[i], cp.X[i], cp.Y[i]);
  }
  r << kFinalRule;
}

void write_final_row(std::ostream& r, int number, std::string_view name, double x, double y,
                     double X, double Y) {
  frmt(r, number, "######");
  frmt(r, std::string(name), "#####");
  frmt(r, x, "########.####");
  frmt(r, y, "########.####");
  frmt(r, X, "###########.####");
  frmt(r, Y, "########.####");
  r << "\n";
}

void write_final_list_end(std::ostream& r) {
  r << kFinalRule;
}

}  // namespace helmert2d
