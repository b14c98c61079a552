// The run's results as data (--json, --csv, the PROJ pipeline, exact quantiles), each
// checked against an independent reference: a least-squares fit through the matrix
// library, closed forms of the t distribution, PROJ's cct and Python's csv reader.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "Ha_xy_vb/run_result.h"
#include "helmert2d/isttstk.h"
#include "helmert2d/mtrs.h"
#include "support/temp_dir.h"

namespace {

using helmert2d::compute_run;
using helmert2d::MirroredFit;
using helmert2d::RunResult;
using helmert2d::Solved;
using nlohmann::json;
using testsupport::read_file;
using testsupport::run_program;
using testsupport::TempDir;

constexpr double kPi = 3.141592653589793;

// A job of n common points and m further points: system I on a 2 km square, system II
// rotated, scaled and shifted, with millimetre noise from a fixed congruence.
struct Job {
  std::string one, two;
  std::vector<double> x, y, X, Y;
  std::vector<double> fx, fy;  // the further points in system I
};

Job make_job(int n, int m, double scale, double angle, double tx, double ty) {
  Job j;
  unsigned long s = 12345;
  auto noise = [&s] {
    s = (s * 1103515245UL + 12345UL) % 2147483648UL;
    return (static_cast<double>(s) / 2147483648.0 - 0.5) * 0.01;
  };
  std::ostringstream one, two;
  one.precision(17);
  two.precision(17);
  for (int i = 0; i < n + m; ++i) {
    const double x = 137.0 * i - 40.0 * (i % 5) + 3.25 * i * i,
                 y = 2000.0 - 151.0 * i + 7.5 * (i % 3);
    one << "P" << i << " " << x << " " << y << " " << 100 + i << "\n";
    if (i >= n) {
      j.fx.push_back(x);
      j.fy.push_back(y);
      continue;
    }
    const double X = tx + scale * (std::cos(angle) * x - std::sin(angle) * y) + noise();
    const double Y = ty + scale * (std::sin(angle) * x + std::cos(angle) * y) + noise();
    two << "P" << i << " " << X << " " << Y << " 0\n";
    j.x.push_back(x);
    j.y.push_back(y);
    j.X.push_back(X);
    j.Y.push_back(Y);
  }
  j.one = one.str();
  j.two = two.str();
  return j;
}

struct JobRun {
  TempDir dir;
  testsupport::ProgramResult result;
  json doc;
  std::string report;
};

void run_job(JobRun& r, const std::string& one, const std::string& two,
             std::vector<std::string> extra = {}, bool parse_json = true) {
  r.dir.write("one.txt", one);
  r.dir.write("two.txt", two);
  std::vector<std::string> args{"--no-window", "--no-pause", "--json", "run.json"};
  args.insert(args.end(), extra.begin(), extra.end());
  for (const char* f : {"one.txt", "two.txt", "out.txt"}) args.push_back(f);
  r.result = run_program(HELMERT2D_PROGRAM, args, r.dir);
  ASSERT_EQ(r.result.status, 0) << r.result.out << r.result.err;
  if (parse_json) r.doc = json::parse(read_file(r.dir.file("run.json")));
  r.report = read_file(r.dir.file("out.txt"));
}

// The least-squares solution of the `rows` equations A p = l of weight 1 in four
// unknowns (A and l 1-based), through N = AT A inverted by Gauss-Jordan: the unknowns p
// and their cofactors Q (the caller frees both) and [vv].
struct Reference {
  double** Q;
  double* p;
  double vv;
};
Reference solve_reference(int rows, double** A, double* l) {
  double** N = AT_B_(rows, A, 4, rows, A, 4);
  double** Q = gaussj_(4, N);
  double* u = AT_b_(rows, A, 4, l);
  double* p = A_b_(4, Q, 4, u);
  double vv = 0;
  for (int i = 1; i <= rows; ++i) {
    double ax = 0;
    for (int c = 1; c <= 4; ++c) ax += A[i][c] * p[c];
    vv += (ax - l[i]) * (ax - l[i]);
  }
  free_matrix(N);
  free_vector(u);
  return {Q, p, vv};
}

bool near(double got, double want, double rel) {
  return std::fabs(got - want) <= rel * std::max(std::fabs(want), 1e-300);
}

TEST(ResultFiles, ParametersAndSdMatchAnIndependentLeastSquaresFit) {
  struct Case {
    int n;
    double scale, angle;
  };
  // A scale far from 1 tells sd(A) from sd(A) k, and one within 20 ppm of 1 turns the
  // tolerance test around.
  for (const Case& job_case :
       {Case{3, 1.0000421, 0.3}, Case{6, 1.0000421, 0.3}, Case{25, 1.0000421, 0.3},
        Case{8, 0.25, 2.0}, Case{8, 1.000005, 0.3}}) {
    const int n = job_case.n;
    const Job job = make_job(n, 4, job_case.scale, job_case.angle, 512.25, -1033.5);
    JobRun r;
    run_job(r, job.one, job.two);
    // The 2n equations X = a x - o y + tx, Y = o x + a y + ty of weight 1, solved through
    // N = AT A, inverted by Gauss-Jordan.
    double** A = create_matrix(2 * n, 4);
    double* l = create_vector(2 * n);
    for (int i = 0; i < n; ++i) {
      double* rx = A[2 * i + 1];
      double* ry = A[2 * i + 2];
      rx[1] = job.x[i], rx[2] = -job.y[i], rx[3] = 1, rx[4] = 0;
      ry[1] = job.y[i], ry[2] = job.x[i], ry[3] = 0, ry[4] = 1;
      l[2 * i + 1] = job.X[i];
      l[2 * i + 2] = job.Y[i];
    }
    const Reference ref = solve_reference(2 * n, A, l);
    double** Q = ref.Q;
    double* p = ref.p;
    const double vv = ref.vv;
    const double mo = std::sqrt(vv / (2 * n - 4));
    const json& par = r.doc["parameters"];
    const char* names[] = {"a", "o", "tx", "ty"};
    for (int c = 0; c < 4; ++c) {
      EXPECT_TRUE(near(par[names[c]]["value"], p[c + 1], 1e-9)) << names[c] << " n=" << n;
      EXPECT_TRUE(near(par[names[c]]["sd"], mo * std::sqrt(Q[c + 1][c + 1]), 1e-6))
          << names[c] << " n=" << n;
    }
    EXPECT_TRUE(near(r.doc["adjustment"]["mo"], mo, 1e-6));
    // k and the rotation by propagation of the a-o block.
    const double a = p[1], o = p[2], k = std::hypot(a, o);
    const double sk = mo * std::sqrt((a * a * Q[1][1] + 2 * a * o * Q[1][2] + o * o * Q[2][2])) / k;
    EXPECT_TRUE(near(par["k"]["sd"], sk, 1e-6));
    EXPECT_TRUE(near(par["rotation_deg"]["value"], std::atan2(o, a) * 180 / kPi, 1e-9));
    EXPECT_TRUE(
        near(par["rotation_gon"]["sd"], par["rotation_deg"]["sd"].get<double>() / 0.9, 1e-12));
    // A = atan2(o, a): dA = (a do - o da) / k^2.
    const double sA =
        mo * std::sqrt(o * o * Q[1][1] - 2 * a * o * Q[1][2] + a * a * Q[2][2]) / (k * k);
    EXPECT_TRUE(near(par["rotation_gon"]["sd"], sA * 200 / kPi, 1e-6)) << n;
    EXPECT_TRUE(near(par["rotation_gon"]["value"], std::atan2(o, a) * 200 / kPi, 1e-9)) << n;
    EXPECT_TRUE(near(par["scale_ppm"]["value"], (k - 1) * 1e6, 1e-6)) << n;
    EXPECT_TRUE(near(par["scale_ppm"]["sd"], sk * 1e6, 1e-6)) << n;
    // The covariance matrix is mo^2 N^-1, signs included (to 1e-6 of sqrt(cii cjj):
    // the a-o entry is 0 in theory).
    const json& cov = r.doc["covariance"]["matrix"];
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j)
        EXPECT_NEAR(cov[i][j].get<double>(), mo * mo * Q[i + 1][j + 1],
                    1e-6 * mo * mo * std::sqrt(Q[i + 1][i + 1] * Q[j + 1][j + 1]))
            << i << j << " n=" << n;
    EXPECT_EQ(r.doc["scale_tests"]["tolerance"]["significant"].get<bool>(), std::fabs(k - 1) > 2e-5)
        << n;
    EXPECT_TRUE(near(r.doc["scale_tests"]["tolerance"]["deviation_ppm"], (k - 1) * 1e6, 1e-6));
    EXPECT_TRUE(near(par["k"]["value"], k, 1e-12));
    EXPECT_TRUE(near(par["rotation_arcsec"]["value"], std::atan2(o, a) * 648000 / kPi, 1e-9));
    EXPECT_TRUE(near(par["rotation_arcsec"]["sd"], sA * 648000 / kPi, 1e-6));
    EXPECT_TRUE(near(par["rotation_deg"]["sd"], sA * 180 / kPi, 1e-6));
    EXPECT_TRUE(near(r.doc["adjustment"]["vv"], vv, 1e-6));
    EXPECT_EQ(r.doc["adjustment"]["f"], 2 * n - 4);
    EXPECT_EQ(r.doc["common_points"], n);
    // The scale tests: t = |k - 1| / sd(k) on f degrees of freedom, F = t^2 on (1, f).
    const int df = 2 * n - 4;
    const double t_k = std::fabs(k - 1) / sk;
    for (const char* name : {"F", "t"}) {
      const json& test = r.doc["scale_tests"][name];
      const bool F = name[0] == 'F';
      EXPECT_TRUE(near(test["statistic"], F ? t_k * t_k : t_k, 1e-6)) << name << " n=" << n;
      EXPECT_EQ(test[F ? "df2" : "df"], df) << name;
      EXPECT_TRUE(near(test["p"], 2 * t_upper_tail(t_k, df), 1e-6)) << name << " n=" << n;
      const double exact = F ? F_exact(0.05, 1, df) : t_exact(0.025, df);
      EXPECT_EQ(test["critical_exact"].get<double>(), exact) << name;
      EXPECT_EQ(test["significant_exact"], (F ? t_k * t_k : t_k) > exact) << name << " n=" << n;
      EXPECT_EQ(test["significant"], test["statistic"] > test["critical"]) << name;
    }
    // What the run was, and a warning only for the scale far from 1.
    EXPECT_EQ(r.doc["files"],
              json({{"first", "one.txt"}, {"second", "two.txt"}, {"report", "out.txt"}}));
    EXPECT_EQ(r.doc["program"], "helmert2d");
    EXPECT_EQ(r.doc["alpha"], 0.05);
    EXPECT_EQ(r.doc["exact_quantiles"], false);
    EXPECT_EQ(r.doc["excluded"], json::array());
    EXPECT_EQ(r.doc["warnings"].size(), std::fabs(k - 1) > 0.05 ? 1u : 0u) << n;
    // Each common point: as given, X' by the parameters above, v = X' - X, and its test
    // values by the hat matrix: a coordinate's redundancy is 1 - g' Q g (g its row of A),
    // and its sd leaves its own share out of [vv].
    const json& component = r.doc["outlier_tests"]["component"];
    EXPECT_EQ(component["df"], 2 * n - 5);
    EXPECT_EQ(component["alpha"].get<double>(), 0.05 / (2 * n));
    EXPECT_EQ(component["critical_exact"].get<double>(), t_exact(0.05 / (2 * n), 2 * n - 5));
    const json& points = r.doc["points"];
    ASSERT_EQ(points.size(), static_cast<std::size_t>(n));
    const double c_pair = std::sqrt((n - 2.0) * (1 - std::pow(0.05 / n, 1.0 / (n - 3.0))));
    const json& pair = r.doc["outlier_tests"]["pair"];
    EXPECT_TRUE(n > 3 ? near(pair["critical"], c_pair, 1e-12) : pair.is_null()) << n;
    for (int i = 0; i < n; ++i) {
      const json& pt = points[i];
      const double given[4] = {job.x[i], job.y[i], job.X[i], job.Y[i]};
      const char* keys[4] = {"x", "y", "X", "Y"};
      for (int g = 0; g < 4; ++g) EXPECT_EQ(pt[keys[g]].get<double>(), given[g]) << keys[g];
      const double Xc = a * job.x[i] - o * job.y[i] + p[3], Yc = o * job.x[i] + a * job.y[i] + p[4];
      EXPECT_TRUE(near(pt["X_computed"], Xc, 1e-12)) << i;
      EXPECT_TRUE(near(pt["Y_computed"], Yc, 1e-12)) << i;
      const double v[2] = {Xc - job.X[i], Yc - job.Y[i]};
      double q = 1;
      for (int s = 1; s <= 4; ++s)
        for (int t = 1; t <= 4; ++t) q -= A[2 * i + 1][s] * Q[s][t] * A[2 * i + 1][t];
      const char* T_keys[2] = {"Tvx", "Tvy"};
      for (int g = 0; g < 2; ++g) {
        EXPECT_NEAR(pt[g ? "vy" : "vx"].get<double>(), v[g], 1e-6) << i;
        const double s0 = std::sqrt((vv - v[g] * v[g] / q) / (2 * n - 5));
        EXPECT_TRUE(near(pt[T_keys[g]], std::fabs(v[g]) / (std::sqrt(q) * s0), 1e-4)) << i;
      }
      EXPECT_EQ(pt.contains("T"), n > 3) << n;
      if (n <= 3) continue;
      EXPECT_TRUE(near(pt["T"], std::hypot(v[0], v[1]) / (mo * std::sqrt(2 * q)), 1e-4)) << i;
      EXPECT_TRUE(near(pt["c"], c_pair, 1e-12)) << n;
    }
    // Further points: X' = a x - o y + tx with sd mo sqrt(g' Q g), g the gradient of X'
    // (x, -y, 1, 0) or Y' (y, x, 0, 1) at the point's system-I coordinates.
    const json& transformed = r.doc["transformed"];
    ASSERT_EQ(transformed.size(), static_cast<std::size_t>(n) + job.fx.size());
    for (int i = 0; i < n; ++i) {
      EXPECT_EQ(transformed[i]["X"].get<double>(), job.X[i]);
      EXPECT_EQ(transformed[i]["Y"].get<double>(), job.Y[i]);
      EXPECT_EQ(transformed[i]["third"].get<double>(), 100 + i);  // the first file's
    }
    for (std::size_t f = 0; f < job.fx.size(); ++f) {
      const json& t = transformed[static_cast<std::size_t>(n) + f];
      const double gx[4] = {job.fx[f], -job.fy[f], 1, 0}, gy[4] = {job.fy[f], job.fx[f], 0, 1};
      double qx = 0, qy = 0;
      for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
          qx += gx[i] * Q[i + 1][j + 1] * gx[j];
          qy += gy[i] * Q[i + 1][j + 1] * gy[j];
        }
      EXPECT_TRUE(near(t["X"], a * job.fx[f] - o * job.fy[f] + p[3], 1e-12)) << f;
      EXPECT_TRUE(near(t["Y"], o * job.fx[f] + a * job.fy[f] + p[4], 1e-12)) << f;
      EXPECT_TRUE(near(t["sX"], mo * std::sqrt(qx), 1e-6)) << f << " n=" << n;
      EXPECT_TRUE(near(t["sY"], mo * std::sqrt(qy), 1e-6)) << f << " n=" << n;
    }
    for (auto* m : {A, Q}) free_matrix(m);
    for (auto* v : {l, p}) free_vector(v);
  }
}

// The mirrored fit X = a x + o y + tx, Y = o x - a y + ty behind the warning, against the
// 2n equations solved through the matrix library; the warning's verdict on a job that
// is mirrored (one file's coordinates swapped) and on the same job as it is.
TEST(ResultFiles, MirroredFitMatchesAnIndependentLeastSquaresFit) {
  for (const int n : {3, 7, 25}) {
    const Job job = make_job(n, 0, 0.9999, 1.1, 4521000.5, 501234.25);
    for (const bool swapped : {false, true}) {
      RunResult r;
      for (int i = 0; i < n; ++i) {
        const double X = swapped ? job.Y[i] : job.X[i], Y = swapped ? job.X[i] : job.Y[i];
        r.points.add(std::to_string(i), job.x[i], job.y[i], X, Y);
      }
      ASSERT_EQ(compute_run(r), Solved::yes);
      ASSERT_TRUE(r.plausibility.mirrored);
      const MirroredFit& m = *r.plausibility.mirrored;
      double** A = create_matrix(2 * n, 4);
      double* l = create_vector(2 * n);
      for (int i = 0; i < n; ++i) {
        double* rx = A[2 * i + 1];
        double* ry = A[2 * i + 2];
        rx[1] = job.x[i], rx[2] = job.y[i], rx[3] = 1, rx[4] = 0;
        ry[1] = -job.y[i], ry[2] = job.x[i], ry[3] = 0, ry[4] = 1;
        l[2 * i + 1] = r.points.X[i + 1];
        l[2 * i + 2] = r.points.Y[i + 1];
      }
      const Reference ref = solve_reference(2 * n, A, l);
      double* p = ref.p;
      const double vv = ref.vv;
      const std::string what = "n=" + std::to_string(n) + (swapped ? " swapped" : "");
      EXPECT_NEAR(m.a, p[1], 1e-9) << what;
      EXPECT_NEAR(m.o, p[2], 1e-9) << what;
      EXPECT_NEAR(m.tx, p[3], 1e-3) << what;
      EXPECT_NEAR(m.ty, p[4], 1e-3) << what;
      // A mirrored job leaves the millimetre noise, solved either way.
      EXPECT_NEAR(m.mo, std::sqrt(vv / (2 * n - 4)), swapped ? 1e-6 : 1e-6 * m.mo) << what;
      EXPECT_EQ(r.plausibility.mirrored_better, swapped) << what;
      EXPECT_EQ(r.plausibility.scale_far, false) << what;
      for (auto* mat : {A, ref.Q}) free_matrix(mat);
      for (auto* v : {l, p}) free_vector(v);
    }
  }
  // Swapped coordinates with a 10 m blunder fit only 16 times better mirrored (by hand:
  // mo 57.85 m against 3.62 m): under the factor of 100, no warning.
  RunResult rough;
  for (const auto& [x, y] : {std::pair{0.0, 0.0}, {100.0, 0.0}, {0.0, 100.0}, {100.0, 100.0}})
    rough.points.add("R", x, y, y + 1000, x + 2000);
  rough.points.add("B", 50, 30, 1040, 2050);
  ASSERT_EQ(compute_run(rough), Solved::yes);
  EXPECT_NEAR(rough.solution.mo, 57.8486, 1e-3);
  EXPECT_NEAR(rough.plausibility.mirrored->mo, 3.6226, 1e-3);
  EXPECT_FALSE(rough.plausibility.mirrored_better);
  // Points on a line fit both ways; exact ones give no warning for their rounding.
  RunResult line;
  for (int i = 0; i < 5; ++i) line.points.add("L", 1000.0 + 3 * i, 2000.0 + 7 * i, 10 * i, 0.3);
  ASSERT_EQ(compute_run(line), Solved::yes);
  EXPECT_FALSE(line.plausibility.mirrored_better);
  EXPECT_TRUE(line.plausibility.scale_far);
}

TEST(ResultFiles, TwoPointsHaveNoStandardDeviationsAndNoTests) {
  const Job job = make_job(2, 1, 1.0, 0.1, 10, 20);
  JobRun r;
  run_job(r, job.one, job.two);
  EXPECT_TRUE(r.doc["parameters"]["a"]["sd"].is_null());
  EXPECT_TRUE(r.doc["adjustment"]["mo"].is_null());
  EXPECT_FALSE(r.doc.contains("scale_tests"));
  EXPECT_TRUE(r.doc["transformed"][2]["sX"].is_null());
  EXPECT_FALSE(r.doc["points"][0].contains("Tvx"));
}

// The committed example result files are the bundled example's run, the JSON apart from
// its time: a key added to either file without regenerating them shows here.
TEST(ResultFiles, BundledExampleGivesTheCommittedResultFiles) {
  const std::string examples = std::string(HELMERT2D_SOURCE_DIR) + "/examples/";
  TempDir dir;
  for (const char* f : {"local.txt", "national.txt"}) dir.write(f, read_file(examples + f));
  const testsupport::ProgramResult r =
      run_program(HELMERT2D_PROGRAM,
                  {"--no-window", "--no-pause", "--json", "run.json", "--csv", "run.csv",
                   "local.txt", "national.txt", "report.txt"},
                  dir);
  ASSERT_EQ(r.status, 0) << r.out;
  const std::regex time("\n\"time\":\"[^\"]*\"");
  EXPECT_EQ(std::regex_replace(read_file(dir.file("run.json")), time, ""),
            std::regex_replace(read_file(examples + "example-run.json"), time, ""));
  EXPECT_EQ(read_file(dir.file("run.csv")), read_file(examples + "example-run.csv"));
}

// --compare-models on the bundled example: the JSON's F tests at their statistics
// against a reference statistics library (SciPy 1.10.1: scipy.stats.f.sf and f.isf at
// 0.05), relative tolerance 1e-8; the statistics against an independent fit in Python
// (numpy's lstsq on the uncentred coordinates, good to 1e-7 here). The report is the
// committed one.
TEST(ResultFiles, BundledExampleComparesTheModels) {
  const std::string examples = std::string(HELMERT2D_SOURCE_DIR) + "/examples/";
  JobRun r;
  run_job(r, read_file(examples + "local.txt"), read_file(examples + "national.txt"),
          {"--compare-models"});
  EXPECT_EQ(r.report, read_file(examples + "expected-report.txt"));
  const json& c = r.doc["model_comparison"];
  struct Case {
    const char* test;
    double F;  // numpy
    int df1, df2;
    double p, critical;  // SciPy at the JSON's statistic
  };
  for (const Case& k : {Case{"similarity_vs_rigid", 21.02296519016089, 1, 20, 0.0001794645287345069,
                             4.351243503329288},
                        Case{"affine_vs_similarity", 1.5958435667652981, 2, 18, 0.2301244265717464,
                             3.554557145661787}}) {
    const json& t = c["tests"][k.test];
    EXPECT_NEAR(t["statistic"].get<double>(), k.F, 1e-7 * k.F) << k.test;
    EXPECT_EQ(t["df1"], k.df1);
    EXPECT_EQ(t["df2"], k.df2);
    EXPECT_NEAR(t["p"].get<double>(), k.p, 1e-8 * k.p) << k.test;
    EXPECT_NEAR(t["critical"].get<double>(), k.critical, 1e-8 * k.critical) << k.test;
  }
  EXPECT_EQ(c["tests"]["similarity_vs_rigid"]["significant"], true);
  EXPECT_EQ(c["tests"]["affine_vs_similarity"]["significant"], false);
  // The scale test is the report's F test of the scale by a second method: vv of the
  // rigid model minus vv of the similarity is S (k - 1)^2. The similarity is the run's.
  EXPECT_NEAR(c["tests"]["similarity_vs_rigid"]["statistic"].get<double>(),
              r.doc["scale_tests"]["F"]["statistic"].get<double>(), 1e-7 * 21.0);
  EXPECT_NEAR(c["models"]["similarity"]["vv"].get<double>(),
              r.doc["adjustment"]["vv"].get<double>(), 1e-15);
}

// Closed forms of Student's t: nu = 1 (Cauchy), 2 and 4 (Abramowitz and Stegun 26.7).
double t_tail_closed(double t, int nu) {
  if (nu == 1) return 0.5 - std::atan(t) / kPi;
  if (nu == 2) return 0.5 - t / (2 * std::sqrt(2 + t * t));
  const double x = t / std::sqrt(1 + t * t / 4);  // nu = 4
  return 0.5 - 0.375 * x * (1 - x * x / 12);
}

TEST(ExactDistributions, AgreeWithClosedForms) {
  for (const int nu : {1, 2, 4}) {
    for (const double t : {0.3, 1.0, 2.5, 7.0, 30.0}) {
      EXPECT_NEAR(t_upper_tail(t, nu), t_tail_closed(t, nu), 1e-12) << nu << " " << t;
      // F(1, nu) is the square of t(nu): its upper tail is the two-sided t tail.
      EXPECT_NEAR(F_upper_tail(t * t, 1, nu), 2 * t_tail_closed(t, nu), 1e-12);
    }
    for (const double alpha : {0.05, 0.025, 0.001}) {
      const double q = t_exact(alpha, nu);
      EXPECT_NEAR(t_tail_closed(q, nu), alpha, 1e-10 * alpha) << nu << " " << alpha;
      EXPECT_NEAR(F_exact(2 * alpha, 1, nu), q * q, 1e-8 * q * q);
    }
  }
  EXPECT_NEAR(t_exact(0.025, 1), std::tan(kPi * 0.475), 1e-8);
  EXPECT_NEAR(F_exact(0.05, 1, 2), 18.512820512820513, 1e-8);  // 0.95^2 * 2 / (1 - 0.95^2)
  EXPECT_TRUE(std::isnan(t_exact(0.05, 0)));
  EXPECT_EQ(t_upper_tail(INFINITY, 3), 0.0);
  // A perfect fit with k != 1 has an infinite F statistic: no probability beyond it.
  EXPECT_EQ(F_upper_tail(INFINITY, 1, 4), 0.0);
  EXPECT_EQ(F_upper_tail(0.0, 1, 4), 1.0);
}

// Values from a reference statistics library (SciPy 1.10, scipy.stats.t and .f) at the
// degrees of freedom of the bundled example (f = 20, component test 2n - 5 = 19 at
// 0.05/24) and of a million points; relative tolerance 1e-8.
TEST(ExactDistributions, AgreeWithAReferenceLibrary) {
  struct Case {
    const char* what;
    double got, want;
  };
  for (const Case& c : {
           Case{"t_exact(0.025, 20)", t_exact(0.025, 20), 2.085963447265837},
           Case{"t_exact(0.05/24, 19)", t_exact(0.05 / 24, 19), 3.2549959642729465},
           Case{"F_exact(0.05, 1, 20)", F_exact(0.05, 1, 20), 4.351243503329288},
           Case{"2 t_upper_tail(4.585..., 20)", 2 * t_upper_tail(4.585080716969967, 20),
                0.00017946453093538206},
           Case{"F_upper_tail(21.02..., 1, 20)", F_upper_tail(21.02296518112983, 1, 20),
                0.00017946453093538198},
           Case{"t_upper_tail(0.747..., 19)", t_upper_tail(0.7473379863583833, 19),
                0.23200445016980153},
           Case{"t_upper_tail(8.97, 19)", t_upper_tail(8.97, 19), 1.4707908936940191e-08},
           Case{"t_exact(0.001, 1999995)", t_exact(0.001, 1999995), 3.0902363812474314},
           Case{"t_upper_tail(3.5, 1999995)", t_upper_tail(3.5, 1999995), 0.00023263413791566905},
       }) {
    EXPECT_NEAR(c.got, c.want, 1e-8 * c.want) << c.what;
  }
}

TEST(ResultFiles, ThreePointReportWithExactQuantiles) {
  const Job job = make_job(3, 0, 1.00002, 0.2, 0, 0);
  JobRun closed, exact;
  run_job(closed, job.one, job.two);
  run_job(exact, job.one, job.two, {"--exact-quantiles"});
  EXPECT_NE(closed.report.find("F(1,2,0.95) =10.48"), std::string::npos) << closed.report;
  EXPECT_NE(exact.report.find("F(1,2,0.95) =18.51"), std::string::npos) << exact.report;
  EXPECT_NE(exact.report.find("t(2,0.97)   = 4.30"), std::string::npos);
  EXPECT_NE(closed.result.out.find(" Also: JSON >run.json<\n"), std::string::npos);
  EXPECT_NE(exact.result.out.find(" Also: JSON >run.json<, exact critical values\n"),
            std::string::npos);
  const json& F = exact.doc["scale_tests"]["F"];
  EXPECT_EQ(F["critical"], F["critical_exact"]);
  EXPECT_EQ(exact.doc["exact_quantiles"], true);
  EXPECT_NEAR(F["p"].get<double>(), exact.doc["scale_tests"]["t"]["p"].get<double>(), 1e-12);
}

// 22 points whose F test value (4.02) lies between the closed-form F(1, 40) quantile at
// 0.95 (3.98) and the exact one (4.08): by default the report's F test calls the scale
// significant and its t test does not; the verdicts at the exact quantiles follow p.
TEST(ResultFiles, ExactVerdictsFollowThePValue) {
  const Job job = make_job(22, 0, 1.000000822, 0.3, 1000, 2000);
  JobRun r;
  run_job(r, job.one, job.two);
  EXPECT_NE(r.report.find("  >  F(1,40,0.95) = 3.98 --> Olcek parametresi anlamlidir\n"),
            std::string::npos)
      << r.report;
  EXPECT_NE(r.report.find(" <=  t(40,0.97)   = 2.02 --> Olcek parametresi anlamsizdir \n"),
            std::string::npos);
  const json& tests = r.doc["scale_tests"];
  EXPECT_TRUE(tests["F"]["significant"].get<bool>());
  EXPECT_FALSE(tests["t"]["significant"].get<bool>());
  for (const char* name : {"F", "t"}) {
    const double p = tests[name]["p"].get<double>();
    EXPECT_GT(p, 0.05) << name;
    EXPECT_LT(p, 0.055) << name;
    EXPECT_EQ(tests[name]["significant_exact"].get<bool>(), p < 0.05) << name;
  }
  // Each point's component verdict at the exact quantile follows its p-values at
  // alpha / (2n) (here none is flagged: the smallest p is about 0.017).
  for (const json& pt : r.doc["points"]) {
    const double p = std::min(pt["p_x"].get<double>(), pt["p_y"].get<double>());
    EXPECT_EQ(pt["flagged_exact"].get<bool>(), p < 0.05 / 44) << pt["name"];
  }
}

bool have(const char* tool) {
  return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// A plain job file ("name x y h" lines) as comma-delimited text with the header
// Name,N,E,H, or with Name,E,N,H and the two coordinates swapped.
std::string as_csv(const std::string& plain, bool easting_first) {
  std::ostringstream out;
  out << (easting_first ? "Name,E,N,H\n" : "Name,N,E,H\n");
  std::istringstream in(plain);
  for (std::string name, x, y, h; in >> name >> x >> y >> h;) {
    out << name << "," << (easting_first ? y : x) << "," << (easting_first ? x : y) << "," << h
        << "\n";
  }
  return out.str();
}

// The fields of each record of a file (split at commas, else at blanks), by name; a
// header line whose second field is not a number is passed over.
std::map<std::string, std::vector<std::string>> records_by_name(const std::string& text) {
  std::map<std::string, std::vector<std::string>> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> f;
    if (line.find(',') != std::string::npos) {
      std::istringstream split(line);
      for (std::string part; std::getline(split, part, ',');) f.push_back(part);
    } else {
      std::istringstream split(line);
      f.assign(std::istream_iterator<std::string>(split), {});
    }
    if (f.size() < 3 || f[1].find_first_not_of("0123456789.-+eE") != std::string::npos) continue;
    out[f[0]] = f;
  }
  return out;
}

// Weights: a sigma column in the second file and --sigma-first for the first give every
// point p = 1 / (sigma_II^2 + sigma_I^2); the parameters, sigma0 and the global test
// against the 2n equations scaled by sqrt(p) and solved through the matrix library, the
// chi-square tail of an even df in closed form: e^(-x/2) sum_{k < df/2} (x/2)^k / k!.
TEST(ResultFiles, WeightsFromASigmaColumnAndAnOptionMatchAnIndependentWeightedFit) {
  const int n = 9;
  const Job job = make_job(n, 2, 1.0000421, 0.3, 512.25, -1033.5);
  std::string two = "Name,N,E,H,sd\n";
  std::vector<double> p;
  {
    std::istringstream in(job.two);
    int i = 0;
    for (std::string name, x, y, h; in >> name >> x >> y >> h; ++i) {
      const double sd = 0.004 + 0.003 * (i % 4);
      std::ostringstream row;
      row.precision(17);
      row << name << "," << x << "," << y << "," << h << "," << sd << "\n";
      two += row.str();
      p.push_back(1.0 / (sd * sd + 0.002 * 0.002));
    }
  }
  JobRun r;
  run_job(r, as_csv(job.one, false), two,
          {"--delimiter", ",", "--header", "--columns", "auto", "--sigma-first", "0.002"});
  double** A = create_matrix(2 * n, 4);
  double* l = create_vector(2 * n);
  for (int i = 0; i < n; ++i) {
    const double w = std::sqrt(p[i]);
    double* rx = A[2 * i + 1];
    double* ry = A[2 * i + 2];
    rx[1] = w * job.x[i], rx[2] = -w * job.y[i], rx[3] = w, rx[4] = 0;
    ry[1] = w * job.y[i], ry[2] = w * job.x[i], ry[3] = 0, ry[4] = w;
    l[2 * i + 1] = w * job.X[i];
    l[2 * i + 2] = w * job.Y[i];
  }
  double** N = AT_B_(2 * n, A, 4, 2 * n, A, 4);
  double** Q = gaussj_(4, N);
  double* u = AT_b_(2 * n, A, 4, l);
  double* x = A_b_(4, Q, 4, u);
  double vv = 0;
  for (int i = 1; i <= 2 * n; ++i) {
    double ax = 0;
    for (int c = 1; c <= 4; ++c) ax += A[i][c] * x[c];
    vv += (ax - l[i]) * (ax - l[i]);
  }
  const int f = 2 * n - 4;
  const char* names[] = {"a", "o", "tx", "ty"};
  for (int c = 0; c < 4; ++c) {
    EXPECT_TRUE(near(r.doc["parameters"][names[c]]["value"], x[c + 1], 1e-9)) << names[c];
  }
  EXPECT_TRUE(near(r.doc["adjustment"]["mo"], std::sqrt(vv / f), 1e-6));
  EXPECT_EQ(r.doc["weighted"], true);
  const json& g = r.doc["global_test"];
  EXPECT_TRUE(near(g["statistic"], vv, 1e-6));
  EXPECT_EQ(g["df"], f);
  double term = 1, tail = 0;
  for (int k = 0; k < f / 2; ++k) tail += term, term *= vv / 2 / (k + 1);
  EXPECT_TRUE(near(g["p"], std::exp(-vv / 2) * tail, 1e-8));
  EXPECT_EQ(g["significant"], g["p"].get<double>() < 0.05);
  for (auto* m : {A, N, Q}) free_matrix(m);
  for (auto* v : {l, u, x}) free_vector(v);
}

// One sigma for every point of both files leaves every model's parameters and residuals
// as they are without weights (residuals to a nanometre: the weighted centroids of
// coordinates of 10^6 m round differently) and makes sigma0 = mo / (sigma sqrt 2).
TEST(ResultFiles, OneEqualSigmaGivesTheUnweightedRunOfEachModel) {
  const Job job = make_job(8, 2, 1.0000421, 0.3, 512.25, -1033.5);
  for (const char* model : {"similarity", "rigid", "affine"}) {
    JobRun plain, weighted;
    run_job(plain, job.one, job.two, {"--model", model});
    run_job(weighted, job.one, job.two,
            {"--model", model, "--sigma-first", "0.02", "--sigma-second", "0.02"});
    // Figures derived by a difference (ppm, the shear) to 1e-9 of at least 1.
    for (const auto& [key, value] : plain.doc["parameters"].items()) {
      const double want = value["value"];
      EXPECT_NEAR(weighted.doc["parameters"][key]["value"].get<double>(), want,
                  1e-9 * std::max(1.0, std::fabs(want)))
          << model << " " << key;
    }
    for (std::size_t i = 0; i < plain.doc["points"].size(); ++i) {
      for (const char* v : {"vx", "vy"}) {
        EXPECT_NEAR(weighted.doc["points"][i][v].get<double>(),
                    plain.doc["points"][i][v].get<double>(), 1e-9)
            << model << " " << i;
      }
    }
    EXPECT_TRUE(near(weighted.doc["adjustment"]["mo"],
                     plain.doc["adjustment"]["mo"].get<double>() / (0.02 * std::sqrt(2.0)), 1e-9))
        << model;
    EXPECT_EQ(plain.doc["global_test"], json()) << model;
  }
}

// The quality figures of each model: the leave-one-out residuals against explicit
// refits without the point (--exclude gives its misclosure), the redundancy numbers sum
// to f, and the check-point RMS over the points; the CSV carries them after its columns.
TEST(ResultFiles, LeaveOneOutResidualsAreThoseOfRefitsWithoutThePoint) {
  const Job job = make_job(9, 1, 1.0000421, 0.3, 512.25, -1033.5);
  for (const char* model : {"similarity", "rigid", "affine"}) {
    JobRun r;
    run_job(r, job.one, job.two, {"--model", model, "--quality", "--csv", "run.csv"});
    const json& points = r.doc["points"];
    double sum = 0, loo2 = 0;
    for (const json& pt : points) {
      const json& q = pt["quality"];
      sum += q["r_x"].get<double>() + q["r_y"].get<double>();
      loo2 += std::pow(q["loo_x"].get<double>(), 2) + std::pow(q["loo_y"].get<double>(), 2);
    }
    EXPECT_NEAR(sum, r.doc["adjustment"]["f"].get<double>(), 1e-9) << model;
    EXPECT_NEAR(r.doc["check_point_rms"].get<double>(), std::sqrt(loo2 / points.size()), 1e-12);
    EXPECT_EQ(r.doc["model"], model);
    const std::string csv = read_file(r.dir.file("run.csv"));
    EXPECT_EQ(csv.rfind("name,X,Y,third,role,vx,vy,flagged,r_x,r_y,mdb_x,mdb_y,loo_x,loo_y\r\n", 0),
              0u);
    for (const std::size_t k : {std::size_t{0}, std::size_t{4}, std::size_t{8}}) {
      const std::string name = points[k]["name"];
      JobRun left;
      run_job(left, job.one, job.two, {"--model", model, "--exclude", name});
      int found = 0;
      for (const json& t : left.doc["transformed"]) {
        if (t["name"] != name) continue;
        ++found;
        EXPECT_NEAR(t["vx"].get<double>(), points[k]["quality"]["loo_x"].get<double>(), 1e-6)
            << model << " " << name;
        EXPECT_NEAR(t["vy"].get<double>(), points[k]["quality"]["loo_y"].get<double>(), 1e-6)
            << model << " " << name;
      }
      EXPECT_EQ(found, 1) << model << " " << name;
    }
  }
}

// The README's recipe: the pipeline in `proj`// The README's recipe: the pipeline in `proj`,
// applied by cct to the first file's two coordinate columns as they stand, must give every further
// point's coordinates in the final list (the CSV, in the second file's column order), within 0.1
// mm; cct -I maps them back. A job in each of the four pairs of column orders, the bundled CSV
// files (Easting before Northing) and the plain files, with the similarity, and some of them with
// the rigid and the affine model (one affine step serves every model). The WKT of --wkt, applied by
// cct @FILE, does the same, and projinfo reads its accuracy, the check-point RMS.
TEST(ResultFiles, ProjPipelineReproducesTheFinalListWithCct) {
  if (!have("cct")) GTEST_SKIP() << "PROJ's cct is not installed (tools/install-deps)";
  const std::string examples = std::string(HELMERT2D_SOURCE_DIR) + "/examples/";
  const std::vector<std::string> line_mode{"--delimiter", ",", "--header", "--columns", "auto"};
  struct Case {
    std::string what, one, two;
    bool line_mode;
    const char *first, *second;  // axis orders
    std::string csv_header;      // its start
    std::string model = "similarity";
    std::string heights = "";  // --heights: cct carries the first file's third value too
  };
  const Job job = make_job(8, 40, 0.99996, 2.9, 4521000.5, 501234.25);
  std::vector<Case> cases{
      {"plain example", read_file(examples + "local.txt"), read_file(examples + "national.txt"),
       false, "NE", "NE", "name,X,Y,third,role,vx,vy,"},
      {"plain job", job.one, job.two, false, "NE", "NE", "name,X,Y,"},
      {"csv example", read_file(examples + "local.csv"), read_file(examples + "national.csv"), true,
       "EN", "EN", "Point,Easting,Northing,third,role,vEasting,vNorthing,"}};
  for (const bool en1 : {false, true}) {
    for (const bool en2 : {false, true}) {
      cases.push_back({"job", as_csv(job.one, en1), as_csv(job.two, en2), true, en1 ? "EN" : "NE",
                       en2 ? "EN" : "NE",
                       en2 ? "Name,E,N,third,role,vE,vN," : "Name,N,E,third,role,vN,vE,"});
    }
  }
  for (const char* model : {"rigid", "affine"}) {
    for (std::size_t k : {0, 2, 4}) {
      cases.push_back(cases[k]);
      cases.back().model = model;
    }
  }
  // The site example with its heights: the vertical step between the plane's step and the
  // trailing axis swap gives the final list's heights in every pair of axis orders.
  const std::string site1 = read_file(examples + "site-local.txt");
  const std::string site2 = read_file(examples + "site-national.txt");
  cases.push_back({"site", site1, site2, false, "NE", "NE",
                   "name,X,Y,third,role,vx,vy,flagged,r_x,r_y,mdb_x,mdb_y,loo_x,loo_y,H,sH"});
  cases.back().heights = "plane";
  for (const bool en1 : {false, true}) {
    for (const bool en2 : {false, true}) {
      cases.push_back({"site", as_csv(site1, en1), as_csv(site2, en2), true, en1 ? "EN" : "NE",
                       en2 ? "EN" : "NE", en2 ? "Name,E,N,third,role,vE,vN," : "Name,N,E,"});
      cases.back().heights = en1 == en2 ? "plane" : "shift";
    }
  }
  for (const Case& c : cases) {
    const std::string what = c.what + " " + c.first + "/" + c.second + " " + c.model;
    JobRun r;
    std::vector<std::string> args{"--csv",     "run.csv", "--model", c.model,
                                  "--quality", "--wkt",   "run.wkt"};
    if (!c.heights.empty()) args.insert(args.end(), {"--heights", c.heights});
    if (c.line_mode) args.insert(args.end(), line_mode.begin(), line_mode.end());
    run_job(r, c.one, c.two, args);
    EXPECT_EQ(r.doc["axis_order"]["first"], c.first) << what;
    EXPECT_EQ(r.doc["axis_order"]["second"], c.second) << what;
    const std::string csv = read_file(r.dir.file("run.csv"));
    EXPECT_EQ(csv.rfind(c.csv_header, 0), 0u) << what << "\n" << csv.substr(0, 80);
    const auto final_list = records_by_name(csv);
    const auto source = records_by_name(c.one);
    const std::string wkt = "@" + r.dir.file("run.wkt");
    const json op = json::parse(testsupport::shell_output("projinfo -o PROJJSON -q " + wkt));
    EXPECT_EQ(op["type"], "Transformation") << what;
    ASSERT_TRUE(op.contains("accuracy")) << what;
    EXPECT_TRUE(near(std::stod(op["accuracy"].get<std::string>()),
                     r.doc["check_point_rms"].get<double>(), 5e-4))
        << what << " " << op["accuracy"];
    for (const std::string& proj : {r.doc["proj"].get<std::string>(), wkt}) {
      // Forward: every point's first-file columns through cct.
      std::ostringstream in;
      std::vector<std::string> further, common;
      for (const json& t : r.doc["transformed"]) {
        const std::string name = t["name"];
        in << source.at(name)[1] << " " << source.at(name)[2] << " "
           << (c.heights.empty() ? "0" : source.at(name)[3]) << " 0\n";
        (t["role"] == "further" ? further : common).push_back(name);
        // The JSON's X is always the northing-like coordinate.
        const bool en2 = std::string(c.second) == "EN";
        EXPECT_NEAR(t["X"].get<double>(), std::stod(final_list.at(name)[en2 ? 2 : 1]), 1e-9)
            << what;
      }
      ASSERT_FALSE(further.empty());
      r.dir.write("fwd.txt", in.str());
      std::istringstream fwd(
          testsupport::shell_output("cct -d 6 " + proj + " < " + r.dir.file("fwd.txt")));
      // A common point's residuals, in the CSV's column order: transformed minus given.
      for (const std::string& name : common) {
        double c1, c2, z, tt;
        ASSERT_TRUE(fwd >> c1 >> c2 >> z >> tt) << what;
        const std::vector<std::string>& row = final_list.at(name);
        EXPECT_NEAR(c1 - std::stod(row[1]), std::stod(row[5]), 1e-5) << what << " " << name;
        EXPECT_NEAR(c2 - std::stod(row[2]), std::stod(row[6]), 1e-5) << what << " " << name;
      }
      std::ostringstream back_in;
      for (const std::string& name : further) {
        double c1, c2, z, tt;
        ASSERT_TRUE(fwd >> c1 >> c2 >> z >> tt) << what;
        const std::vector<std::string>& row = final_list.at(name);
        EXPECT_NEAR(c1, std::stod(row[1]), 1e-4) << what << " " << name;
        EXPECT_NEAR(c2, std::stod(row[2]), 1e-4) << what << " " << name;
        // The pipeline's heights: the CSV's H (column 15, after the quality columns).
        if (!c.heights.empty() && proj[0] != '@') {
          EXPECT_NEAR(z, std::stod(row.at(14)), 1e-4) << what << " " << name;
        }
        back_in << row[1] << " " << row[2] << " 0 0\n";
      }
      // Inverse: the final list back to the first file's columns.
      r.dir.write("inv.txt", back_in.str());
      std::istringstream inv(
          testsupport::shell_output("cct -I -d 6 " + proj + " < " + r.dir.file("inv.txt")));
      for (const std::string& name : further) {
        double b1, b2, z, tt;
        ASSERT_TRUE(inv >> b1 >> b2 >> z >> tt) << what;
        EXPECT_NEAR(b1, std::stod(source.at(name)[1]), 1e-4) << what << " " << name;
        EXPECT_NEAR(b2, std::stod(source.at(name)[2]), 1e-4) << what << " " << name;
      }
    }
  }
}

TEST(ResultFiles, NamesOfEveryKindReadBackFromBothFiles) {
  if (!have("python3")) GTEST_SKIP() << "python3 is not installed";
  // Names that need quoting (a comma, a quote, both), bytes that are not UTF-8 (Latin-1,
  // a lone continuation byte, a truncated sequence, overlong forms, an encoded surrogate,
  // a code point above U+10FFFF), UTF-8, and a name longer than a row's room in the
  // writers' buffers.
  const std::vector<std::string> names = {"a,b",
                                          "q\"x",
                                          "pl",
                                          "\xe9t\xe9",
                                          "\xc5\x9ei\xc5\x9fli",
                                          "\x80",
                                          "\xe2\x82",
                                          "\"c,\"",
                                          std::string(40000, 'L'),
                                          "\xc0\xaf\xe0\x80\xaf",
                                          "\xed\xa0\x80\xf4\x90\x80\x80\xe2\x82\xac",
                                          "\xe2\x82\xc3\xa9"};
  const int common = 7;  // the rest are further points
  std::string one, two;
  for (int i = 0; i < static_cast<int>(names.size()); ++i) {
    const std::string x = std::to_string(100 + 97 * i), y = std::to_string(200 + 31 * i * i);
    one += names[i] + " " + x + " " + y + " " + std::to_string(i) + "\n";
    if (i < common) two += names[i] + " " + x + "5 " + y + "5 0\n";
  }
  JobRun r;
  run_job(r, one, two, {"--csv", "run.csv"}, false);
  // The JSON's names are read with Python's json module and turned back into bytes by
  // the "surrogateescape" error handler.
  r.dir.write(
      "read.py",
      "import csv, json\n"
      "with open('run.json', encoding='utf-8') as f:\n"
      "    doc = json.load(f)\n"
      "js = [p['name'].encode('utf-8', 'surrogateescape').hex() for p in doc['transformed']]\n"
      "jp = [p['name'].encode('utf-8', 'surrogateescape').hex() for p in doc['points']]\n"
      "with open('run.csv', newline='', encoding='latin-1') as f:\n"
      "    for i, row in enumerate(csv.DictReader(f)):\n"
      "        print('|'.join([row['name'].encode('latin-1').hex(), row['X'], row['Y'],\n"
      "                        row['role'], js[i], jp[i] if i < len(jp) else '-']))\n");
  const std::string rows = testsupport::shell_output("cd " + r.dir.path() + " && python3 read.py");
  // The report's final list is the reference (0.1 mm): its rows end in x, y, X, Y (a
  // long name may run into the row's number).
  std::istringstream report(r.report.substr(r.report.rfind("    i  N.N.")));
  std::string line;
  std::vector<std::pair<double, double>> final_list;
  while (std::getline(report, line)) {
    std::istringstream split(line);
    std::vector<std::string> tokens{std::istream_iterator<std::string>(split), {}};
    if (tokens.size() >= 5 && tokens.back().find('.') != std::string::npos) {
      final_list.emplace_back(std::stod(tokens[tokens.size() - 2]), std::stod(tokens.back()));
    }
  }
  ASSERT_EQ(final_list.size(), names.size());
  auto hex = [](const std::string& bytes) {
    std::string h;
    char b[3];
    for (const unsigned char c : bytes) {
      std::snprintf(b, sizeof b, "%02x", c);
      h += b;
    }
    return h;
  };
  std::istringstream csv_rows(rows);
  std::size_t count = 0;
  for (; std::getline(csv_rows, line); ++count) {
    std::vector<std::string> f;
    std::istringstream split(line);
    for (std::string part; std::getline(split, part, '|');) f.push_back(part);
    ASSERT_EQ(f.size(), 6u) << line;
    ASSERT_LT(count, names.size());
    const std::string& name = names[count];
    EXPECT_EQ(f[0], hex(name)) << "row " << count;
    EXPECT_EQ(f[4], hex(name)) << "row " << count;
    EXPECT_EQ(f[5], count < common ? hex(name) : "-") << "row " << count;
    EXPECT_NEAR(std::stod(f[1]), final_list[count].first, 1e-4) << "row " << count;
    EXPECT_NEAR(std::stod(f[2]), final_list[count].second, 1e-4) << "row " << count;
    EXPECT_EQ(f[3], count < common ? "common" : "further");
  }
  EXPECT_EQ(count, names.size());
  // The raw JSON text: valid UTF-8 as it is, each other byte as \udcNN.
  const std::string text = read_file(r.dir.file("run.json"));
  for (const char* want : {"\"\\udce9t\\udce9\"", "\"\xc5\x9ei\xc5\x9fli\"", "\"\\udc80\"",
                           "\"\\udce2\\udc82\"", "\"\\udcc0\\udcaf\\udce0\\udc80\\udcaf\"",
                           "\"\\udced\\udca0\\udc80\\udcf4\\udc90\\udc80\\udc80\xe2\x82\xac\"",
                           "\"q\\\"x\"", "\"\\udce2\\udc82\xc3\xa9\""}) {
    EXPECT_NE(text.find(std::string("{\"name\":") + want), std::string::npos) << want;
  }
  // The raw CSV text (a lenient reader takes an unquoted q"x too): quoted where RFC 4180
  // says so, with quotes doubled, and other names byte for byte.
  const std::string csv_text = read_file(r.dir.file("run.csv"));
  for (const std::string want :
       {"\r\n\"a,b\",", "\r\n\"q\"\"x\",", "\r\n\"\"\"c,\"\"\",", "\r\n\x80,", "\r\npl,"}) {
    EXPECT_NE(csv_text.find(want), std::string::npos) << want;
  }
}

TEST(ResultFiles, RefusedWhenAnOutputNamesAnotherFile) {
  const Job job = make_job(4, 1, 1.0, 0.1, 10, 20);
  struct Case {
    std::vector<std::string> args;
  };
  for (const Case& c : {Case{{"--json", "out.txt"}}, Case{{"--csv", "one.txt"}},
                        Case{{"--json", "x.json", "--csv", "x.json"}}}) {
    TempDir dir;
    dir.write("one.txt", job.one);
    dir.write("two.txt", job.two);
    std::vector<std::string> args{"--no-window", "--no-pause"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    for (const char* f : {"one.txt", "two.txt", "out.txt"}) args.push_back(f);
    const auto r = run_program(HELMERT2D_PROGRAM, args, dir);
    EXPECT_EQ(r.status, 1) << c.args[1];
    EXPECT_NE(r.out.find(" ??? Output file " + c.args[1] + " is the same file as "),
              std::string::npos)
        << r.out;
    EXPECT_EQ(read_file(dir.file("one.txt")), job.one);
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.json")));
  }
}

}  // namespace
