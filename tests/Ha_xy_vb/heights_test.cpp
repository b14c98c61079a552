// The height models against an independent least-squares fit built from the explicit
// design matrix with the matrix library, against explicit refits without each point,
// against hand-worked tilts, and their vertical step through PROJ's cct.
#include "Ha_xy_vb/heights.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "Ha_xy_vb/models.h"
#include "helmert2d/mtrs.h"
#include "support/temp_dir.h"

using namespace helmert2d;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kN = 4521000.0, kE = 501000.0;  // the design's fixed origin (m)

// n points over 1 km far from the origin; H_II = H_I + 2.5 m + 12 ppm north - 7 ppm east
// (plane) or + 2.5 m (shift), with normal noise of sd 1 cm or, weighted, of a sd per
// point between 3 mm and 3 cm (weight 1 / sd^2). Point 2 has no height in system II and
// point 3 is excluded: both stay out of the fit.
HeightPoints make_heights(unsigned seed, int n, bool weighted, bool tilted) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> pos(0.0, 1000.0), h(100.0, 300.0), sd(0.003, 0.03);
  std::normal_distribution<double> noise(0.0, 1.0);
  HeightPoints p;
  p.n = n;
  p.H1 = p.H2 = p.N = p.E = {0.0};
  if (weighted) p.weights.push_back(0.0);
  p.excluded.assign(static_cast<std::size_t>(n) + 1, 0);
  for (int i = 1; i <= n; ++i) {
    const double N = kN + pos(gen), E = kE + pos(gen), H = h(gen);
    const double s = weighted ? sd(gen) : 0.01;
    const double slope = tilted ? 12e-6 * (N - kN) - 7e-6 * (E - kE) : 0.0;
    p.N.push_back(N);
    p.E.push_back(E);
    p.H1.push_back(H);
    p.H2.push_back(H + 2.5 + slope + s * noise(gen));
    if (weighted) p.weights.push_back(1.0 / (s * s));
  }
  if (n >= 3) p.H2[2] = kNaN, p.excluded[3] = 1;
  return p;
}

// Puts points 1 to `count` on a line at `angle_rad` from north through the origin, at
// distances whose reduced coordinates leave rounding in M's determinant.
void put_on_line(HeightPoints& p, int count, double angle_rad) {
  for (int i = 1; i <= count; ++i) {
    const double t = 137.3 * i + (i % 3) * 11.7;
    p.N[i] = kN + t * std::cos(angle_rad), p.E[i] = kE + t * std::sin(angle_rad);
  }
}

// Independent weighted least squares of H_II - H_I = a0 + a1 (N - kN) + a2 (E - kE)
// (a0 alone for the shift) from the explicit design matrix, point `skip` (1-based)
// also left out. Lists 1-based.
struct Ref {
  int u = 0;
  double a[4] = {};
  double** Q = nullptr;  // (A^T P A)^-1
  double vv = 0;
  std::vector<double> row(double N, double E) const { return {0.0, 1.0, N - kN, E - kE}; }
  double correction(double N, double E) const {
    const std::vector<double> g = row(N, E);
    double s = 0;
    for (int k = 1; k <= u; ++k) s += g[k] * a[k];
    return s;
  }
  double cofactor(double N, double E) const { return aT_Q_a_(u, row(N, E).data(), Q); }
  Ref() = default;
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  ~Ref() { free_matrix(Q); }
};

void reference(HeightModel m, const HeightPoints& p, Ref& r, int skip = 0) {
  r.u = height_parameter_count(m);
  std::vector<int> in;
  for (int i = 1; i <= p.n; ++i)
    if (i != skip && p.takes_part(i)) in.push_back(i);
  const int rows = static_cast<int>(in.size());
  double** A = create_matrix(rows, r.u);
  double** PA = create_matrix(rows, r.u);
  double* Pl = create_vector(rows);
  for (int k = 1; k <= rows; ++k) {
    const int i = in[k - 1];
    const double w = p.weights.empty() ? 1.0 : p.weights[i];
    const std::vector<double> g = r.row(p.N[i], p.E[i]);
    for (int c = 1; c <= r.u; ++c) A[k][c] = g[c], PA[k][c] = w * g[c];
    Pl[k] = w * (p.H2[i] - p.H1[i]);
  }
  double** N = AT_B_(rows, A, r.u, rows, PA, r.u);
  r.Q = gaussj_(r.u, N);
  double* g = AT_b_(rows, A, r.u, Pl);
  double* x = A_b_(r.u, r.Q, r.u, g);
  for (int c = 1; c <= r.u; ++c) r.a[c] = x[c];
  for (const int i : in) {
    const double v = p.H1[i] + r.correction(p.N[i], p.E[i]) - p.H2[i];
    r.vv += (p.weights.empty() ? 1.0 : p.weights[i]) * v * v;
  }
  free_matrix(A), free_matrix(PA), free_vector(Pl), free_matrix(N), free_vector(g), free_vector(x);
}

double rel(double got, double want) {
  return std::fabs(got - want) / std::max(std::fabs(want), 1e-300);
}

struct Case {
  HeightModel model;
  int n;
  bool weighted;
  unsigned seed;
  bool lined = false;  // all but the last point on one line: the last is not checked
  double blunder = 0;  // added to H_II of point 4 (m)
};

const Case kCases[] = {
    {HeightModel::shift, 4, false, 1},
    {HeightModel::shift, 9, true, 2},
    {HeightModel::plane, 6, false, 3},
    {HeightModel::plane, 7, true, 4},
    {HeightModel::plane, 25, false, 5, false, 0.09},
    {HeightModel::plane, 14, true, 6},
    {HeightModel::plane, 8, true, 7, true},
    {HeightModel::shift, 12, false, 8, false, -0.07},
};

TEST(Heights, AgreeWithAnIndependentFitAndWithRefitsWithoutEachPoint) {
  for (const Case& t : kCases) {
    SCOPED_TRACE(std::string(t.model == HeightModel::shift ? "shift" : "plane") +
                 " n=" + std::to_string(t.n) + (t.weighted ? " weighted" : ""));
    HeightPoints p = make_heights(t.seed, t.n, t.weighted, t.model == HeightModel::plane);
    if (t.lined) put_on_line(p, t.n - 1, 1.1);
    p.H2[4] += t.blunder;
    const HeightFit f = fit_heights(t.model, p);
    ASSERT_EQ(f.status, HeightStatus::ok);
    Ref ref;
    reference(t.model, p, ref);
    const int u = ref.u;
    EXPECT_EQ(f.m, t.n - 2);
    EXPECT_EQ(f.f, t.n - 2 - u);
    EXPECT_LE(rel(f.vv, ref.vv), 1e-8);
    // The offset at the centroid and the slopes, with their cofactors: c = g0 a, g0 the
    // design row at the centroid.
    const std::vector<double> g0 = ref.row(f.N0, f.E0);
    double Qc[4] = {};  // Q of (c, a1, a2) against a's
    for (int k = 1; k <= u; ++k)
      for (int l = 1; l <= u; ++l) Qc[k] += g0[l] * ref.Q[l][k];
    EXPECT_LE(rel(f.c, ref.correction(f.N0, f.E0)), 1e-9);
    EXPECT_LE(rel(f.Q[0][0], ref.cofactor(f.N0, f.E0)), 1e-9);
    if (t.model == HeightModel::plane) {
      EXPECT_LE(rel(f.sN, ref.a[2]), 1e-9);
      EXPECT_LE(rel(f.sE, ref.a[3]), 1e-9);
      for (int a = 1; a < 3; ++a) {
        // c is uncorrelated with the slopes.
        EXPECT_LE(std::fabs(Qc[a + 1]), 1e-9 * std::sqrt(ref.Q[a + 1][a + 1] * f.Q[0][0]));
        for (int b = 1; b < 3; ++b) EXPECT_LE(rel(f.Q[a][b], ref.Q[a + 1][b + 1]), 1e-9);
      }
      EXPECT_LE(rel(f.sd_sN_ppm, 1e6 * f.mo * std::sqrt(ref.Q[2][2])), 1e-9);
      // The tilt's sds against a numerical gradient of its definition.
      const auto size = [](double n, double e) { return 1e6 * std::hypot(n, e); };
      const auto dir = [](double n, double e) { return std::atan2(e, n) * 200.0 / M_PI; };
      for (const auto& [fn, sd] :
           {std::pair{+size, f.sd_tilt_ppm}, std::pair{+dir, f.sd_tilt_azimuth_gon}}) {
        const double h = 1e-9;
        const double gN = (fn(f.sN + h, f.sE) - fn(f.sN - h, f.sE)) / (2 * h);
        const double gE = (fn(f.sN, f.sE + h) - fn(f.sN, f.sE - h)) / (2 * h);
        const double q = gN * gN * ref.Q[2][2] + 2 * gN * gE * ref.Q[2][3] + gE * gE * ref.Q[3][3];
        EXPECT_LE(rel(sd, f.mo * std::sqrt(q)), 1e-5);
      }
    }
    EXPECT_NEAR(f.redundancy_sum, f.f, 1e-9);
    int checked = 0, flagged = 0;
    for (int i = 1; i <= t.n; ++i) {
      const HeightPointFit& pf = f.points[i];
      const double w = p.weights.empty() ? 1.0 : p.weights[i];
      const double H = p.H1[i] + ref.correction(p.N[i], p.E[i]);
      EXPECT_NEAR(pf.H, H, 1e-9) << i;
      EXPECT_NEAR(pf.sd_H, f.mo * std::sqrt(ref.cofactor(p.N[i], p.E[i])), 1e-9) << i;
      // The vertical step maps the point as the model does.
      const VerticalStep st = vertical_step(f);
      EXPECT_NEAR(st.zoff + st.s31 * p.N[i] + st.s32 * p.E[i] + st.s33 * p.H1[i], H, 1e-8);
      if (i == 2) {  // no height in system II
        EXPECT_FALSE(pf.used);
        EXPECT_TRUE(std::isnan(pf.v));
        continue;
      }
      EXPECT_NEAR(pf.v, H - p.H2[i], 1e-9) << i;
      EXPECT_EQ(pf.used, i != 3);
      if (!pf.used) {  // excluded: a check difference, no statistics
        EXPECT_TRUE(std::isnan(pf.r) && std::isnan(pf.t) && std::isnan(pf.loo));
        continue;
      }
      const double q = 1.0 / w - ref.cofactor(p.N[i], p.E[i]);
      EXPECT_NEAR(pf.r, w * q, 1e-9) << i;
      if (t.lined && i == t.n) {
        EXPECT_TRUE(std::isnan(pf.loo) && std::isnan(pf.t)) << "an unchecked point";
        continue;
      }
      ++checked;
      Ref out;
      reference(t.model, p, out, i);
      const double loo = p.H1[i] + out.correction(p.N[i], p.E[i]) - p.H2[i];
      EXPECT_NEAR(pf.loo, loo, 1e-6) << i;
      // The test value as the issue writes it, and the one with the variance of the
      // refit without the point.
      if (f.f < 2) {
        EXPECT_TRUE(std::isnan(pf.t));
        continue;
      }
      EXPECT_LE(rel(pf.t, pf.v / (f.mo * std::sqrt(q))), 1e-8) << i;
      EXPECT_LE(rel(pf.t_aside, pf.v / (std::sqrt(out.vv / (f.f - 1)) * std::sqrt(q))), 1e-6);
      // The exact quantile and the exact tail, two routines, must agree on the decision.
      EXPECT_EQ(pf.flagged, pf.p_value < f.alpha) << i;
      flagged += pf.flagged;
    }
    EXPECT_EQ(f.checked, checked);
    EXPECT_EQ(f.flagged, flagged);
    if (t.blunder != 0) {
      EXPECT_TRUE(f.points[4].flagged);
    }
    // A further point, away from the height points.
    const TransformedHeight th = transform_height(f, 250.0, kN + 1400.0, kE - 300.0);
    EXPECT_NEAR(th.H, 250.0 + ref.correction(kN + 1400.0, kE - 300.0), 1e-9);
    EXPECT_LE(rel(th.sd_H, f.mo * std::sqrt(ref.cofactor(kN + 1400.0, kE - 300.0))), 1e-9);
    // Without a height of its own, neither the height nor its sd.
    const TransformedHeight none = transform_height(f, std::nan(""), kN, kE);
    EXPECT_TRUE(std::isnan(none.H) && std::isnan(none.sd_H));
  }
}

TEST(Heights, OneEqualSigmaGivesTheUnweightedFit) {
  for (const HeightModel m : {HeightModel::shift, HeightModel::plane}) {
    HeightPoints p = make_heights(21, 10, false, true);
    const HeightFit plain = fit_heights(m, p);
    p.weights.assign(11, point_weight(0.02, 0.01));
    const HeightFit w = fit_heights(m, p);
    ASSERT_EQ(w.status, HeightStatus::ok);
    EXPECT_LE(rel(w.c, plain.c), 1e-12);
    EXPECT_NEAR(w.sN, plain.sN, 1e-15);
    EXPECT_NEAR(w.sE, plain.sE, 1e-15);
    EXPECT_LE(rel(w.sd_c, plain.sd_c), 1e-9);
    EXPECT_LE(rel(w.sd_tilt_ppm, plain.sd_tilt_ppm), 1e-9);
    for (int i = 1; i <= 10; ++i) {
      if (!plain.points[i].used) continue;
      EXPECT_NEAR(w.points[i].r, plain.points[i].r, 1e-12);
      EXPECT_LE(rel(w.points[i].t, plain.points[i].t), 1e-9);
      EXPECT_NEAR(w.points[i].loo, plain.points[i].loo, 1e-12);
    }
  }
}

// Exact planes through five points: the tilt's size and its direction of steepest
// ascent worked by hand.
TEST(Heights, TiltDirectionAndSizeByHand) {
  struct Row {
    double sN, sE, ppm, gon;
  };
  const Row rows[] = {
      {3e-6, -4e-6, 5.0, 400.0 - 200.0 / M_PI * std::atan(4.0 / 3.0)},  // 340.9666 gon
      {0.0, 2e-6, 2.0, 100.0},
      {-1e-6, 0.0, 1.0, 200.0},
      {-5e-6, -5e-6, 5.0 * std::sqrt(2.0), 250.0},
  };
  for (const Row& r : rows) {
    HeightPoints p;
    p.n = 5;
    p.H1 = {0, 10, 20, 30, 40, 50};
    p.N = {0, kN, kN + 800, kN, kN + 800, kN + 400};
    p.E = {0, kE, kE, kE + 600, kE + 600, kE + 300};
    p.H2 = {0.0};
    for (int i = 1; i <= 5; ++i)
      p.H2.push_back(p.H1[i] - 1.0 + r.sN * (p.N[i] - kN) + r.sE * (p.E[i] - kE));
    const HeightFit f = fit_heights(HeightModel::plane, p);
    ASSERT_EQ(f.status, HeightStatus::ok);
    EXPECT_NEAR(f.tilt_ppm, r.ppm, 1e-8);
    EXPECT_NEAR(f.tilt_azimuth_gon, r.gon, 1e-6);
    EXPECT_NEAR(f.c, -1.0 + r.sN * 400 + r.sE * 300, 1e-9);  // at the centroid
  }
}

TEST(Heights, TooFewOrLinedPoints) {
  HeightPoints p = make_heights(31, 6, false, true);  // 4 height points
  EXPECT_EQ(fit_heights(HeightModel::plane, p).status, HeightStatus::ok);
  p.excluded[4] = 1;  // 3 left: as many as the plane's parameters
  EXPECT_EQ(fit_heights(HeightModel::plane, p).status, HeightStatus::too_few);
  EXPECT_EQ(fit_heights(HeightModel::shift, p).status, HeightStatus::ok);
  p.excluded = {0, 1, 1, 1, 1, 1, 0};
  EXPECT_EQ(fit_heights(HeightModel::shift, p).status, HeightStatus::too_few);
  p = make_heights(31, 6, false, true);
  p.excluded.clear(), p.H2[2] = 1.0;
  put_on_line(p, 6, 0.4);  // M's determinant a rounding above 0
  EXPECT_EQ(fit_heights(HeightModel::plane, p).status, HeightStatus::on_a_line);
  EXPECT_EQ(fit_heights(HeightModel::shift, p).status, HeightStatus::ok);
  for (int i = 1; i <= 6; ++i) p.N[i] = kN, p.E[i] = kE;  // at one place
  EXPECT_EQ(fit_heights(HeightModel::plane, p).status, HeightStatus::on_a_line);
}

std::string num(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

// The vertical step as PROJ's affine operation: cct on (N, E, H_I) gives the model's
// heights within 0.1 mm and cct -I gives H_I back; on (E, N, H_I) with the slopes
// exchanged the same.
TEST(Heights, VerticalStepThroughCct) {
  if (std::system("command -v cct >/dev/null 2>&1") != 0) GTEST_SKIP() << "no cct";
  const HeightPoints p = make_heights(41, 12, true, true);
  const HeightFit f = fit_heights(HeightModel::plane, p);
  ASSERT_EQ(f.status, HeightStatus::ok);
  const VerticalStep st = vertical_step(f);
  const std::string dir = ::testing::TempDir();
  for (const bool en : {false, true}) {
    SCOPED_TRACE(en ? "EN" : "NE");
    const std::string step = "+proj=affine +zoff=" + num(st.zoff) +
                             " +s31=" + num(en ? st.s32 : st.s31) +
                             " +s32=" + num(en ? st.s31 : st.s32) + " +s33=" + num(st.s33);
    std::ostringstream in;
    std::vector<TransformedHeight> want;
    for (int i = 1; i <= p.n; ++i) {
      const double N = p.N[i] + 900.0 * (i % 3), E = p.E[i] - 700.0 * (i % 2);
      want.push_back(transform_height(f, p.H1[i], N, E));
      in << num(en ? E : N) << " " << num(en ? N : E) << " " << num(p.H1[i]) << " 0\n";
    }
    const std::string file = dir + "heights_cct.txt";
    FILE* out = std::fopen(file.c_str(), "w");
    ASSERT_NE(out, nullptr);
    std::fputs(in.str().c_str(), out);
    std::fclose(out);
    std::istringstream fwd(testsupport::shell_output("cct -d 6 " + step + " " + file));
    std::ostringstream back;
    for (int i = 1; i <= p.n; ++i) {
      double a, b, z, tt;
      ASSERT_TRUE(fwd >> a >> b >> z >> tt);
      EXPECT_NEAR(z, want[i - 1].H, 1e-4) << i;
      back << num(a) << " " << num(b) << " " << num(want[i - 1].H) << " 0\n";
    }
    out = std::fopen(file.c_str(), "w");
    std::fputs(back.str().c_str(), out);
    std::fclose(out);
    std::istringstream inv(testsupport::shell_output("cct -I -d 6 " + step + " " + file));
    for (int i = 1; i <= p.n; ++i) {
      double a, b, z, tt;
      ASSERT_TRUE(inv >> a >> b >> z >> tt);
      EXPECT_NEAR(z, p.H1[i], 1e-4) << i;
    }
    std::remove(file.c_str());
  }
}

}  // namespace

namespace {

using nlohmann::json;
using testsupport::read_file;
using testsupport::TempDir;

struct SiteRun {
  TempDir dir;
  testsupport::ProgramResult result;
  json doc;
  std::string report;
};

// Runs the program on two files (their text) with `args` and reads its JSON and report.
void run_site(SiteRun& r, const std::string& one, const std::string& two,
              std::vector<std::string> args) {
  r.dir.write("one.txt", one);
  r.dir.write("two.txt", two);
  args.insert(args.begin(), {"--no-window", "--no-pause", "--json", "run.json"});
  for (const char* f : {"one.txt", "two.txt", "out.txt"}) args.push_back(f);
  r.result = testsupport::run_program(HELMERT2D_PROGRAM, args, r.dir);
  ASSERT_EQ(r.result.status, 0) << r.result.out << r.result.err;
  r.doc = json::parse(read_file(r.dir.file("run.json")));
  r.report = read_file(r.dir.file("out.txt"));
}

// The common points of two plain files as the height fit sees them, in the second file's
// order: N, E of system II, H_I, H_II ("NA" in the file: absent).
HeightPoints site_points(const std::string& one, const std::string& two) {
  std::map<std::string, double> h1;
  std::istringstream a(one), b(two);
  for (std::string n, x, y, h; a >> n >> x >> y >> h;) h1[n] = std::stod(h);
  HeightPoints p;
  p.H1 = p.H2 = p.N = p.E = {0.0};
  for (std::string n, X, Y, h; b >> n >> X >> Y >> h;) {
    if (!h1.count(n)) continue;
    ++p.n;
    p.H1.push_back(h1[n]);
    p.H2.push_back(h == "NA" ? kNaN : std::stod(h));
    p.N.push_back(std::stod(X));
    p.E.push_back(std::stod(Y));
  }
  return p;
}

// The report up to its height section.
std::string before_heights(const std::string& report) {
  return report.substr(0, report.find("Height Fit"));
}

}  // namespace

// The program's height fit on the site example: its parameters against the independent
// design-matrix fit of the files' values (1e-9), every leave-one-out residual against
// the check difference of the program's own refit with --exclude-height (1e-6 m); the
// plane's results do not move with --exclude-height, they do with --exclude; an absent
// H_II leaves the point out of the height fit and the plane's figures bit-identical.
TEST(Heights, ThroughTheProgram) {
  const std::string examples = std::string(HELMERT2D_SOURCE_DIR) + "/examples/";
  const std::string one = read_file(examples + "site-local.txt");
  const std::string two = read_file(examples + "site-national.txt");
  for (const char* model : {"shift", "plane"}) {
    SCOPED_TRACE(model);
    SiteRun full;
    run_site(full, one, two, {"--heights", model});
    const json& h = full.doc["heights"];
    const HeightPoints p = site_points(one, two);
    Ref ref;
    const HeightModel m = std::string(model) == "plane" ? HeightModel::plane : HeightModel::shift;
    reference(m, p, ref);
    const double N0 = h["N0"], E0 = h["E0"];
    const double sN = m == HeightModel::plane ? ref.a[2] : 0.0;
    const double sE = m == HeightModel::plane ? ref.a[3] : 0.0;
    const double c = ref.a[1] + sN * (N0 - kN) + sE * (E0 - kE);
    EXPECT_LE(rel(h["parameters"]["c"]["value"].get<double>(), c), 1e-9);
    const int f = p.n - height_parameter_count(m);
    EXPECT_EQ(h["f"], f);
    EXPECT_LE(rel(h["mo"].get<double>(), std::sqrt(ref.vv / f)), 1e-9);
    EXPECT_LE(
        rel(h["parameters"]["c"]["sd"].get<double>(), std::sqrt(ref.vv / f * ref.cofactor(N0, E0))),
        1e-6);
    if (m == HeightModel::plane) {
      EXPECT_LE(rel(h["parameters"]["sN_ppm"]["value"].get<double>(), 1e6 * sN), 1e-9);
      EXPECT_LE(rel(h["parameters"]["sE_ppm"]["value"].get<double>(), 1e6 * sE), 1e-9);
    }
    // The blunder of S06 (+48 mm) is the one flagged.
    for (const json& pt : h["points"]) EXPECT_EQ(pt["flagged"], pt["name"] == "S06") << pt["name"];
    // Leave-one-out residuals against refits without the point.
    for (const json& pt : h["points"]) {
      const std::string name = pt["name"];
      SiteRun out;
      run_site(out, one, two, {"--heights", model, "--exclude-height", name});
      for (const json& q : out.doc["heights"]["points"]) {
        if (q["name"] != name) continue;
        EXPECT_FALSE(q["used"].get<bool>());
        EXPECT_NEAR(q["v"].get<double>(), pt["loo"].get<double>(), 1e-6) << name;
      }
      // The plane's results do not move; the report differs from the height section on
      // (and in the run record's options).
      EXPECT_EQ(out.doc["parameters"], full.doc["parameters"]) << name;
      EXPECT_EQ(out.doc["points"], full.doc["points"]) << name;
      EXPECT_EQ(before_heights(out.report), before_heights(full.report)) << name;
      EXPECT_NE(out.doc["heights"]["parameters"], h["parameters"]) << name;
    }
    // --exclude leaves the point out of both fits: it is no common point then.
    SiteRun both;
    run_site(both, one, two, {"--heights", model, "--exclude", "S06"});
    EXPECT_NE(both.doc["parameters"], full.doc["parameters"]);
    EXPECT_EQ(both.doc["heights"]["m"], p.n - 1);
    EXPECT_EQ(both.doc["heights"]["points"].size(), static_cast<std::size_t>(p.n - 1));
  }
  // An absent height (line mode's NA) in the second file: the point takes part in the
  // plane only, and the plane's figures stay bit-identical.
  std::string two_na = two;
  const std::size_t s03 = two_na.find("S03");
  const std::size_t end = two_na.find('\n', s03);
  two_na.replace(two_na.rfind(' ', end) + 1, end - two_na.rfind(' ', end) - 1, "NA");
  const std::vector<std::string> line_mode{"--heights", "plane", "--columns", "name,N,E,h"};
  SiteRun with, without;
  run_site(with, one, two, line_mode);
  run_site(without, one, two_na, line_mode);
  EXPECT_EQ(without.doc["parameters"], with.doc["parameters"]);
  EXPECT_EQ(without.doc["points"], with.doc["points"]);
  EXPECT_EQ(without.doc["heights"]["m"], with.doc["heights"]["m"].get<int>() - 1);
  const json& s = without.doc["heights"]["points"][2];
  EXPECT_EQ(s["name"], "S03");
  EXPECT_FALSE(s["used"].get<bool>());
  EXPECT_TRUE(s["H2"].is_null() && s["v"].is_null());
  HeightPoints p = site_points(one, two_na);
  Ref ref;
  reference(HeightModel::plane, p, ref);
  EXPECT_LE(
      rel(without.doc["heights"]["parameters"]["sN_ppm"]["value"].get<double>(), 1e6 * ref.a[2]),
      1e-9);
}
