// Solution of the plane similarity transformation by least squares through the
// centroids, and the report sections of the run.
#include "report_sections.h"

#include <cmath>

#include "helmert2d/dnsm.h"
#include "helmert2d/isttstk.h"
#include "helmert2d/yzdr.h"

namespace helmert2d {

namespace {
constexpr double kRho = 200.0 / 3.141592653589793;  // grads per radian
constexpr double kAlpha = 0.05;                     // significance level of all tests
}  // namespace

bool solve(const CommonPoints& cp, Solution& s) {
  const int n = cp.n;
  if (n < 2) return false;
  // Points at one place leave the parameters undefined. They are recognised by their
  // coordinates, since an inexact mean can leave S a tiny positive number.
  bool distinct = false;
  for (int i = 2; i <= n && !distinct; ++i) distinct = cp.x[i] != cp.x[1] || cp.y[i] != cp.y[1];
  if (!distinct) return false;
  double sx = 0, sy = 0, sX = 0, sY = 0;
  for (int i = 1; i <= n; ++i) {
    sx += cp.x[i];
    sy += cp.y[i];
    sX += cp.X[i];
    sY += cp.Y[i];
  }
  s.xm = sx / n;
  s.ym = sy / n;
  s.Xm = sX / n;
  s.Ym = sY / n;
  double sxx = 0, syy = 0, pxX = 0, pyY = 0, pxY = 0, pyX = 0;
  for (int i = 1; i <= n; ++i) {
    const double dx = cp.x[i] - s.xm, dy = cp.y[i] - s.ym;
    const double dX = cp.X[i] - s.Xm, dY = cp.Y[i] - s.Ym;
    sxx += dx * dx;
    syy += dy * dy;
    pxX += dx * dX;
    pyY += dy * dY;
    pxY += dx * dY;
    pyX += dy * dX;
  }
  s.S = sxx + syy;
  if (s.S == 0.0) return false;
  const double P = pxX + pyY;
  const double Q = pxY - pyX;
  s.a = P / s.S;
  s.o = Q / s.S;
  s.tx = s.Xm - s.a * s.xm + s.o * s.ym;
  s.ty = s.Ym - s.o * s.xm - s.a * s.ym;
  s.k = std::sqrt(s.a * s.a + s.o * s.o);
  s.A = arctan(s.a, s.o);
  return true;
}

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

void write_residuals(std::ostream& r, const CommonPoints& cp, Solution& s) {
  const char* const rule =
      "=== ==== ============ ============  ============ ============ ======== ======== \n";
  r << "         =========================  ========================= ================= \n";
  r << "               Given II. System         Computed II. System      Residuals \n";
  r << "=== ==== =========================  ========================= ================= \n";
  r << " i  N.N.     X (m)        Y (m)          X' (m)      Y'(m)     vx=X'-X  vy=Y'-Y \n";
  r << rule;
  const std::size_t size = static_cast<std::size_t>(cp.n) + 1;
  s.Xc.assign(size, 0.0);
  s.Yc.assign(size, 0.0);
  s.vx.assign(size, 0.0);
  s.vy.assign(size, 0.0);
  s.vv = 0.0;
  for (int i = 1; i <= cp.n; ++i) {
    s.Xc[i] = cp.x[i] * s.a - cp.y[i] * s.o + s.tx;
    s.Yc[i] = cp.x[i] * s.o + cp.y[i] * s.a + s.ty;
    s.vx[i] = s.Xc[i] - cp.X[i];
    s.vy[i] = s.Yc[i] - cp.Y[i];
    s.vv += s.vx[i] * s.vx[i] + s.vy[i] * s.vy[i];
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

void write_statistics(std::ostream& r, const CommonPoints& cp, Solution& s) {
  s.f = 2 * (cp.n - 2);
  s.mo = std::sqrt(s.vv / (2 * (cp.n - 2)));
  frmt(r, "    [vx2+vy2] =", s.vv, "###.######");
  r << "\n";
  frmt(r, "            f =", 2 * (cp.n - 2), "###");
  r << "\n";
  frmt(r, "           mo =", s.mo, "###.####");
  r << " m \n";
  r << "\n";

  ScaleTestInput scale;
  scale.n = cp.n;
  scale.k = s.k;
  scale.a = s.a;
  scale.o = s.o;
  scale.S = s.S;
  scale.mo = s.mo;
  scale.f = s.f;
  scale.alpha = kAlpha;
  write_scale_tests(r, scale);

  OutlierTestInput outlier;
  outlier.n = cp.n;
  outlier.name = &cp.name;
  outlier.x = &cp.x;
  outlier.y = &cp.y;
  outlier.vx = &s.vx;
  outlier.vy = &s.vy;
  outlier.xm = s.xm;
  outlier.ym = s.ym;
  outlier.S = s.S;
  outlier.vv = s.vv;
  outlier.f = s.f;
  outlier.mo = s.mo;
  outlier.alpha = kAlpha;
  write_outlier_tests(r, outlier);
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
