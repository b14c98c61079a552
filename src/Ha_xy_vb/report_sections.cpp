// The report sections of the run, written from its computed result.
#include "report_sections.h"

#include <charconv>
#include <cmath>
#include <ostream>
#include <string>

#include "helmert2d/isttstk.h"
#include "helmert2d/yzdr.h"
#include "yzdr/table_rows.h"

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

namespace {

// The head of a parameter block: its title centred over the rule, and the equations.
void parameter_head(std::ostream& r, const char* title, const char* eq_x, const char* eq_y) {
  r << "\n";
  r << "            ====================================\n";
  r << "            " << title << "\n";
  r << "            ====================================\n";
  r << "                     " << eq_x << "\n";
  r << "                     " << eq_y << "\n";
  r << "\n";
}

void translations(std::ostream& r, double tx, double ty) {
  frmt(r, "             tx=", tx, "#######.####");
  r << " m";
  frmt(r, "      ty=", ty, "#######.####");
  r << " m";
  r << "\n";
  r << "\n"
    << "\n";
}

void similarity_parameters(std::ostream& r, const Solution& s) {
  parameter_head(r, "Similarity Transformation Parameters", "X = a*x - o*y + tx",
                 "Y = o*x + a*y + ty");
  r << "             a = k * cos(A)         o = k * sin(A) \n";
  r << "\n";
  frmt(r, "             a =", s.a, "###.########");
  frmt(r, "        o =", s.o, "###.########");
  r << "\n";
  frmt(r, "             k =", s.k, "###.########");
  frmt(r, "        A =", s.A * kRho, "###.########");
  r << " g";
  r << "\n";
  translations(r, s.tx, s.ty);
}

// The rigid model: the rotation alone, the scale fixed at 1.
void rigid_parameters(std::ostream& r, const ModelFit& m) {
  parameter_head(r, "  Rigid Transformation Parameters", "X = cos(A)*x - sin(A)*y + tx",
                 "Y = sin(A)*x + cos(A)*y + ty");
  r << "             the scale is fixed at k = 1 \n";
  r << "\n";
  frmt(r, "             k =", 1.0, "###.########");
  frmt(r, "        A =", m.A * kRho, "###.########");
  r << " g";
  r << "\n";
  translations(r, m.tx, m.ty);
}

// The affine model: its six parameters, then the scales of the two axes, the rotation
// of the x axis and the shear derived from them.
void affine_parameters(std::ostream& r, const ModelFit& m) {
  parameter_head(r, "  Affine Transformation Parameters", "X = a1*x + a2*y + tx",
                 "Y = b1*x + b2*y + ty");
  r << "             a1 = kx * cos(A)       a2 = -ky * sin(A + e) \n";
  r << "             b1 = kx * sin(A)       b2 =  ky * cos(A + e) \n";
  r << "             (A: rotation of the x axis, e: shear, the angle between\n";
  r << "              the two axes less a right angle) \n";
  r << "\n";
  frmt(r, "             a1=", m.l11, "###.########");
  frmt(r, "        a2=", m.l12, "###.########");
  r << "\n";
  frmt(r, "             b1=", m.l21, "###.########");
  frmt(r, "        b2=", m.l22, "###.########");
  r << "\n";
  frmt(r, "             kx=", m.kx, "###.########");
  frmt(r, "        ky=", m.ky, "###.########");
  r << "\n";
  frmt(r, "             A =", m.rotation * kRho, "###.########");
  r << " g";
  frmt(r, "      e =", m.shear * kRho, "###.########");
  r << " g";
  r << "\n";
  translations(r, m.tx, m.ty);
}

}  // namespace

void write_parameters(std::ostream& r, const RunResult& result) {
  switch (result.fit.model) {
    case Model::similarity:
      similarity_parameters(r, result.solution);
      break;
    case Model::rigid:
      rigid_parameters(r, result.fit);
      break;
    case Model::affine:
      affine_parameters(r, result.fit);
      break;
  }
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
  const bool weighted = !result.points.weight.empty();
  frmt(r, weighted ? " [p(vx2+vy2)] =" : "    [vx2+vy2] =", s.vv, "###.######");
  r << "\n";
  frmt(r, "            f =", s.f, "###");
  r << "\n";
  frmt(r, "           mo =", s.mo, "###.####");
  if (weighted) {
    r << " \n";
    r << "           (weighted: mo has no unit and is near 1 when the sigmas are right)\n";
  } else {
    r << " m \n";
  }
  r << "\n";
  switch (result.fit.model) {
    case Model::similarity:
      write_scale_tests(r, *result.scale);
      break;
    case Model::rigid:
      r << "   No scale tests: the rigid model fixes the scale at 1.\n\n";
      break;
    case Model::affine:
      r << "   No scale tests: the affine model has a scale for each axis, kx and ky.\n\n";
      break;
  }
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

namespace {

// An option as a shell would take it back: quoted when it holds anything but letters,
// digits and a few marks; bytes below the blank are written as \xNN.
std::string shell_word(std::string_view word) {
  bool plain = !word.empty();
  for (const char c : word) {
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    plain &= alnum || static_cast<unsigned char>(c) >= 0x80 ||
             std::string_view("-_.,/:=+@%").find(c) != std::string_view::npos;
  }
  if (plain) return std::string(word);
  std::string out = "'";
  for (const char c : word) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\'') {
      out += "'\\''";
    } else if (u < 0x20 || u == 0x7f) {
      static const char* const hex = "0123456789ABCDEF";
      out += "\\x";
      out += hex[u >> 4];
      out += hex[u & 15];
    } else {
      out += c;
    }
  }
  return out + "'";
}

const char* const kRecordRule =
    "   === ==== =========== =========== ===========  ===============\n";

}  // namespace

void write_run_record(std::ostream& r, const RunRecord& rec,
                      const std::vector<LeftOutPoint>& left_out) {
  r << "\n";
  r << "            ==========\n";
  r << "            Run Record\n";
  r << "            ==========\n";
  r << "   Program : " << rec.program << " " << rec.version << "\n";
  r << "   Time    : " << rec.time_utc << " (UTC)\n";
  const char* const labels[] = {"   File I  : ", "   File II : "};
  for (std::size_t i = 0; i < rec.inputs.size() && i < 2; ++i) {
    r << labels[i] << rec.inputs[i].file << "\n";
    r << "   SHA-256 : " << rec.inputs[i].sha256 << "\n";
  }
  // The options on lines of at most 80 characters (a single long word may pass them).
  if (!rec.options.empty()) {
    const std::string indent(13, ' ');
    std::string line = "   Options :";
    for (const std::string& option : rec.options) {
      const std::string word = shell_word(option);
      if (line.size() > indent.size() && line.size() + 1 + word.size() > 80) {
        r << line << "\n";
        line = indent.substr(1);
      }
      line += " " + word;
    }
    r << line << "\n";
  }
  if (rec.global) {
    // The given sigmas against the residuals: v^T P v is chi-square(f) when they are right.
    const GlobalTest& g = *rec.global;
    r << "   Global test of the variance factor (alpha = 0.05):\n";
    frmt(r, "   [pvv] =", g.statistic, "#####.##");
    r << (g.significant ? "  >  chi2(" : " <=  chi2(") << g.df << ",0.95) =";
    frmt(r, g.critical, "#####.##");
    frmt(r, ", p = ", g.p, "#.####");
    r << "\n";
    r << (g.significant ? "   --> the residuals are larger than the given sigmas allow\n"
                        : "   --> the residuals agree with the given sigmas\n");
  }
  if (left_out.empty()) return;
  r << "\n";
  r << "   Left out of the estimation: misclosure = transformed - given (mm)\n";
  r << kRecordRule;
  r << "    i  N.N.     vx=X'-X     vy=Y'-Y      length  left out by\n";
  r << kRecordRule;
  for (std::size_t k = 0; k < left_out.size(); ++k) {
    const LeftOutPoint& p = left_out[k];
    frmt(r, static_cast<int>(k + 1), "######");
    frmt(r, p.name, "#####");
    frmt(r, p.vx * 1000.0, "##########.#");
    frmt(r, p.vy * 1000.0, "##########.#");
    frmt(r, std::hypot(p.vx, p.vy) * 1000.0, "##########.#");
    r << "  ";
    if (p.snoop_step == 0) {
      r << "--exclude\n";
    } else {
      r << "--snoop, step " << p.snoop_step << "\n";
    }
  }
  r << kRecordRule;
}

}  // namespace helmert2d

namespace helmert2d {
namespace {

// `v` with `decimals` decimals, right-aligned in `width`; "-" for a value that is not
// finite. Locale-independent.
std::string fixed_field(double v, int width, int decimals) {
  std::string s = "-";
  if (std::isfinite(v)) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    s.assign(buf, res.ptr);
    if (s.find_first_not_of("-0.") == std::string::npos && s[0] == '-') s.erase(0, 1);
  }
  if (static_cast<int>(s.size()) < width)
    s.insert(0, static_cast<std::size_t>(width) - s.size(), ' ');
  return s;
}

std::string right(std::string s, std::size_t width) {
  if (s.size() < width) s.insert(0, width - s.size(), ' ');
  return s;
}

}  // namespace

void write_heights(std::ostream& r, const RunResult& res) {
  const HeightResult& h = *res.heights;
  const HeightFit& f = h.fit;
  const bool plane = f.model == HeightModel::plane;
  r << "\n";
  r << "            ==========\n";
  r << "            Height Fit\n";
  r << "            ==========\n";
  r << (plane ? "   Model   : plane, H_II = H_I + c + sN (N - N0) + sE (E - E0)\n"
              : "   Model   : shift, H_II = H_I + c\n");
  r << "   Points  : " << f.m << " height points, u = " << f.u << "\n";
  if (f.status != HeightStatus::ok) {
    r << (f.status == HeightStatus::too_few
              ? "   ??? Too few height points: no more than the model has parameters; no height "
                "fit\n"
          : f.status == HeightStatus::on_a_line
              ? "   ??? The height points lie on one line: no inclined plane; no height fit\n"
              : "   ??? The heights are too large: their sums overflow; no height fit\n");
    return;
  }
  const bool sd = f.f > 0;
  const auto with_sd = [&](const char* label, double v, double s, int w, int d, const char* unit) {
    r << label << fixed_field(v, w, d) << unit;
    if (sd) r << "   sd " << fixed_field(s, 0, d) << unit;
    r << "\n";
  };
  if (plane) {
    r << "   N0, E0  : " << fixed_field(f.N0, 0, 3) << " m, " << fixed_field(f.E0, 0, 3) << " m\n";
  }
  with_sd("   c       : ", f.c, f.sd_c, 10, 4, " m");
  if (plane) {
    with_sd("   sN      : ", f.sN_ppm, f.sd_sN_ppm, 10, 2, " ppm");
    with_sd("   sE      : ", f.sE_ppm, f.sd_sE_ppm, 10, 2, " ppm");
    with_sd("   tilt    : ", f.tilt_ppm, f.sd_tilt_ppm, 10, 2, " ppm");
    with_sd("   towards : ", f.tilt_azimuth_gon, f.sd_tilt_azimuth_gon, 10, 4, " g");
  }
  r << "   mo_h    : " << fixed_field(f.mo, 10, 4) << (res.points.weight_h.empty() ? " m" : "")
    << "\n";
  r << "   f_h     : " << f.f << "\n";
  for (const std::string& name : h.excluded)
    r << "   Left out of the height fit: " << name << " (--exclude-height)\n";
  for (std::size_t s = 0; s < h.snooping.size(); ++s)
    r << "   Left out of the height fit: " << h.snooping[s].name << " (snooping step " << s + 1
      << ")\n";
  r << "\n";
  const char* const rule =
      "  === ==== ========== ========== ======= ===== ====== ====== ======= \n";
  r << rule;
  r << "   i  N.N.  H_I (m)    H_II (m)    v (m)    r      t     t'   loo (m)\n";
  r << rule;
  const HeightPoints& p = h.points;
  for (int i = 1; i <= p.n; ++i) {
    const HeightPointFit& pf = f.points[static_cast<std::size_t>(i)];
    r << (pf.flagged ? "**" : "  ") << right(std::to_string(i), 3) << " "
      << right(res.points.name[static_cast<std::size_t>(i)], 4) << " "
      << fixed_field(p.H1[i], 10, 4) << " " << fixed_field(p.H2[i], 10, 4) << " "
      << fixed_field(pf.v, 7, 4) << " " << fixed_field(pf.r, 5, 2) << " " << fixed_field(pf.t, 6, 2)
      << " " << fixed_field(pf.t_aside, 6, 2) << " " << fixed_field(pf.loo, 7, 4)
      << (pf.flagged ? " **" : "") << (pf.used ? "" : "  (left out)") << "\n";
  }
  r << rule;
  r << "   v = computed - given (m); t = v / (mo_h sqrt(qvv)); t' = the same with the\n"
       "   point set aside from mo_h, the test value;\n";
  r << "   (**) |t'| above t(f_h-1,1-0.05/2)";
  if (std::isfinite(f.critical))
    r << " = t(" << f.f - 1 << ",0.975) = " << fixed_field(f.critical, 0, 2);
  r << "\n";
}

}  // namespace helmert2d
