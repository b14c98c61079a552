// The estimator of the three models against an independent least-squares fit built
// from the explicit design matrix with the matrix library, against explicit refits
// without each point, against closed-form distributions, and (similarity, p = 1) bit
// for bit against the run's own solution.
#include "Ha_xy_vb/models.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "Ha_xy_vb/model_comparison.h"
#include "Ha_xy_vb/run_result.h"
#include "helmert2d/isttstk.h"
#include "helmert2d/mtrs.h"

using namespace helmert2d;

namespace {

struct Job {
  CommonPoints cp;
  std::vector<double> w;  // 1-based, or empty
};

// n points over 1 km; system II by a similarity (scale 1 + 21 ppm, 0.3 rad) distorted
// by `affinity`, shifted by (tx, ty), with normal noise of sd 1 cm or, weighted, of a
// sd per point between 3 mm and 3 cm (weight 1 / sd^2).
Job make_job(unsigned seed, int n, bool weighted, double affinity = 0.0, double scale = 1.0000421,
             double offset = 0.0, double tx = 512.25, double ty = -1033.5) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> pos(0.0, 1000.0), sd(0.003, 0.03);
  std::normal_distribution<double> noise(0.0, 1.0);
  const double a = scale * std::cos(0.3), o = scale * std::sin(0.3);
  Job j;
  if (weighted) j.w.push_back(0.0);
  for (int i = 1; i <= n; ++i) {
    const double x = offset + pos(gen), y = offset + pos(gen);
    const double s = weighted ? sd(gen) : 0.01;
    const double X = (a + affinity) * x - (o - 2 * affinity) * y + tx + s * noise(gen);
    const double Y = o * x + (a - affinity) * y + ty + s * noise(gen);
    j.cp.add(std::to_string(i), x, y, X, Y);
    if (weighted) j.w.push_back(1.0 / (s * s));
  }
  return j;
}

// The model's two coordinates of a point and their design rows (at par, for the rigid).
void model_rows(Model m, const double* par, double x, double y, double& X, double& Y, double* ax,
                double* ay) {
  std::fill(ax, ax + 7, 0.0);
  std::fill(ay, ay + 7, 0.0);
  if (m == Model::similarity) {
    X = par[1] * x - par[2] * y + par[3], Y = par[2] * x + par[1] * y + par[4];
    ax[1] = x, ax[2] = -y, ax[3] = 1, ay[1] = y, ay[2] = x, ay[4] = 1;
  } else if (m == Model::affine) {
    X = par[1] * x + par[2] * y + par[3], Y = par[4] * x + par[5] * y + par[6];
    ax[1] = x, ax[2] = y, ax[3] = 1, ay[4] = x, ay[5] = y, ay[6] = 1;
  } else {
    const double c = std::cos(par[1]), s = std::sin(par[1]);
    X = c * x - s * y + par[2], Y = s * x + c * y + par[3];
    ax[1] = -s * x - c * y, ax[2] = 1, ay[1] = c * x - s * y, ay[3] = 1;
  }
}

// Independent weighted least squares: N = A^T P A inverted by Gauss-Jordan, the rigid
// model by Gauss-Newton from the similarity's rotation. Point `skip` (1-based) is left
// out. Lists 1-based.
struct Ref {
  std::vector<double> par, v;
  std::vector<std::vector<double>> Q;
  std::vector<double> qx, qy, qxy;  // the points' blocks of Qvv
  double vv = 0;
};

Ref reference(Model m, const Job& j, int skip = 0) {
  const int u = parameter_count(m), rows = 2 * (j.cp.n - (skip ? 1 : 0));
  Ref r;
  r.par.assign(7, 0.0);
  if (m == Model::rigid) {
    const Ref sim = reference(Model::similarity, j, skip);
    r.par[1] = std::atan2(sim.par[2], sim.par[1]), r.par[2] = sim.par[3], r.par[3] = sim.par[4];
  }
  double** A = create_matrix(rows, u);
  double** PA = create_matrix(rows, u);
  double* Pl = create_vector(rows);
  std::vector<double> ax(7), ay(7);
  double** Q = nullptr;
  for (int iter = 0; iter < (m == Model::rigid ? 8 : 1); ++iter) {
    int k = 0;
    for (int i = 1; i <= j.cp.n; ++i) {
      if (i == skip) continue;
      const double p = j.w.empty() ? 1.0 : j.w[i];
      double X, Y;
      model_rows(m, r.par.data(), j.cp.x[i], j.cp.y[i], X, Y, ax.data(), ay.data());
      // Linear models: l = the given coordinates; rigid: the misclosure.
      const double lX = m == Model::rigid ? j.cp.X[i] - X : j.cp.X[i];
      const double lY = m == Model::rigid ? j.cp.Y[i] - Y : j.cp.Y[i];
      for (int c = 1; c <= u; ++c) {
        A[k + 1][c] = ax[c], PA[k + 1][c] = p * ax[c];
        A[k + 2][c] = ay[c], PA[k + 2][c] = p * ay[c];
      }
      Pl[k + 1] = p * lX, Pl[k + 2] = p * lY;
      k += 2;
    }
    double** N = AT_B_(rows, A, u, rows, PA, u);
    free_matrix(Q);
    Q = gaussj_(u, N);
    double* g = AT_b_(rows, A, u, Pl);
    double* x = A_b_(u, Q, u, g);
    for (int c = 1; c <= u; ++c) r.par[c] = m == Model::rigid ? r.par[c] + x[c] : x[c];
    free_matrix(N), free_vector(g), free_vector(x);
  }
  r.Q.assign(7, std::vector<double>(7, 0.0));
  for (int a = 1; a <= u; ++a)
    for (int b = 1; b <= u; ++b) r.Q[a][b] = Q[a][b];
  r.v.assign(2 * j.cp.n + 1, 0.0);
  r.qx = r.qy = r.qxy = std::vector<double>(j.cp.n + 1, 0.0);
  for (int i = 1; i <= j.cp.n; ++i) {
    const double p = j.w.empty() ? 1.0 : j.w[i];
    double X, Y;
    model_rows(m, r.par.data(), j.cp.x[i], j.cp.y[i], X, Y, ax.data(), ay.data());
    r.v[2 * i - 1] = X - j.cp.X[i], r.v[2 * i] = Y - j.cp.Y[i];
    if (i != skip) r.vv += p * (r.v[2 * i - 1] * r.v[2 * i - 1] + r.v[2 * i] * r.v[2 * i]);
    // Qvv = P^-1 - A Qxx A^T, the point's 2 x 2 block.
    r.qx[i] = 1.0 / p - aT_Q_a_(u, ax.data(), Q);
    r.qy[i] = 1.0 / p - aT_Q_a_(u, ay.data(), Q);
    for (int a = 1; a <= u; ++a)
      for (int b = 1; b <= u; ++b) r.qxy[i] -= ax[a] * Q[a][b] * ay[b];
  }
  free_matrix(A), free_matrix(PA), free_vector(Pl), free_matrix(Q);
  return r;
}

double rel(double got, double want) {
  return std::fabs(got - want) / std::max(std::fabs(want), 1.0);
}

struct Case {
  Model model;
  int n;
  bool weighted;
  unsigned seed;
  bool clustered = false;  // points 1 to n - 1 at one place: point n is not checked
};

const Case kCases[] = {
    {Model::similarity, 3, false, 1},  {Model::similarity, 12, true, 2},
    {Model::rigid, 2, false, 3},       {Model::rigid, 4, false, 4},
    {Model::rigid, 15, true, 5},       {Model::affine, 3, false, 6},
    {Model::affine, 4, true, 7},       {Model::affine, 20, false, 8},
    {Model::affine, 9, true, 9},       {Model::similarity, 5, false, 10, true},
    {Model::rigid, 5, true, 12, true},
};

TEST(Models, AgreeWithAnIndependentFitAndWithRefitsWithoutEachPoint) {
  for (const Case& t : kCases) {
    SCOPED_TRACE("model " + std::to_string(static_cast<int>(t.model)) +
                 " n=" + std::to_string(t.n) + (t.weighted ? " weighted" : ""));
    Job j = make_job(t.seed, t.n, t.weighted, t.model == Model::affine ? 3e-4 : 0.0);
    for (int i = 2; t.clustered && i < t.n; ++i) j.cp.x[i] = j.cp.x[1], j.cp.y[i] = j.cp.y[1];
    ModelFit fit;
    ASSERT_EQ(fit_model(t.model, j.cp, j.w, fit), FitStatus::ok);
    const Ref ref = reference(t.model, j);
    const int u = fit.u;
    EXPECT_EQ(fit.f, 2 * t.n - u);
    EXPECT_LE(rel(fit.vv, ref.vv), 1e-8);
    for (int c = 0; c < u; ++c) {
      EXPECT_LE(rel(fit.par[c], ref.par[c + 1]), 1e-9) << "parameter " << c;
      for (int d = 0; d < u; ++d)
        EXPECT_LE(std::fabs(fit.Q[c][d] - ref.Q[c + 1][d + 1]),
                  1e-9 * std::sqrt(ref.Q[c + 1][c + 1] * ref.Q[d + 1][d + 1]));
    }
    const FitQuality q = fit_quality(fit, j.cp, j.w, fit.s0);
    EXPECT_NEAR(q.redundancy_sum, fit.f, 1e-9);
    double loo2 = 0;
    int checked = 0;
    for (int i = 1; i <= t.n; ++i) {
      const PointQuality& pq = q.points[i];
      const double p = j.w.empty() ? 1.0 : j.w[i];
      EXPECT_NEAR(fit.vx[i], ref.v[2 * i - 1], 1e-9);
      EXPECT_NEAR(pq.rx, p * ref.qx[i], 1e-9);
      EXPECT_NEAR(pq.ry, p * ref.qy[i], 1e-9);
      EXPECT_NEAR(pq.qxy * p, ref.qxy[i] * p, 1e-9);
      // A further point's sd against g^T Qxx g with the reference's rows.
      double X, Y, ax[7], ay[7];
      model_rows(t.model, ref.par.data(), j.cp.x[i] + 77.0, j.cp.y[i] - 55.0, X, Y, ax, ay);
      double** Qm = create_matrix(u, u);
      for (int a = 1; a <= u; ++a)
        for (int b = 1; b <= u; ++b) Qm[a][b] = ref.Q[a][b];
      const TransformedPoint tp = transform_point(fit, j.cp.x[i] + 77.0, j.cp.y[i] - 55.0);
      EXPECT_LE(rel(tp.sd_X, fit.s0 * std::sqrt(aT_Q_a_(u, ax, Qm))), 1e-8);
      EXPECT_LE(rel(tp.sd_Y, fit.s0 * std::sqrt(aT_Q_a_(u, ay, Qm))), 1e-8);
      free_matrix(Qm);
      // PROJ's affine step maps the point as the model does.
      const AffineStep st = affine_step(fit);
      EXPECT_NEAR(st.xoff + st.s11 * j.cp.x[i] + st.s12 * j.cp.y[i], fit.Xc[i], 1e-8);
      EXPECT_NEAR(st.yoff + st.s21 * j.cp.x[i] + st.s22 * j.cp.y[i], fit.Yc[i], 1e-8);
      // Leave-one-out against the explicit refit; a point the others cannot check
      // (their refit is undefined) has none.
      if (!pq.checked) {
        EXPECT_TRUE(std::isnan(pq.loo_x)) << i;
        continue;
      }
      // MDB with sigma = 0.01 m: delta0 sigma / sqrt(p r).
      const FitQuality q1 = fit_quality(fit, j.cp, j.w, 0.01);
      EXPECT_LE(rel(q1.points[i].mdb_x, 0.01 * 4.13 / std::sqrt(p * p * ref.qx[i])), 1e-8);
      const Ref out = reference(t.model, j, i);
      EXPECT_NEAR(pq.loo_x, out.v[2 * i - 1], 1e-6) << i;
      EXPECT_NEAR(pq.loo_y, out.v[2 * i], 1e-6) << i;
      loo2 += out.v[2 * i - 1] * out.v[2 * i - 1] + out.v[2 * i] * out.v[2 * i];
      ++checked;
    }
    EXPECT_EQ(q.checked, checked);
    if (checked > 0) {
      EXPECT_NEAR(q.check_point_rms, std::sqrt(loo2 / checked), 1e-6);
    }
  }
}

// The affine model's derived figures: recovered from an exact job made by their
// definition, and their sd against a numerical gradient of that definition.
TEST(Models, AffineDecompositionAndItsPropagation) {
  const double kx = 1.0003, ky = 0.9998, rot = 5.9, shear = 0.002;
  const double a1 = kx * std::cos(rot), b1 = kx * std::sin(rot);
  const double a2 = -ky * std::sin(rot + shear), b2 = ky * std::cos(rot + shear);
  Job j = make_job(11, 8, false);
  for (int i = 1; i <= 8; ++i) {
    j.cp.y[i] = 0.5 * j.cp.x[i] + 0.3 * j.cp.y[i];  // correlated x and y: Mxy matters
    j.cp.X[i] = a1 * j.cp.x[i] + a2 * j.cp.y[i] + 100.0 + 0.01 * std::sin(7.0 * i);
    j.cp.Y[i] = b1 * j.cp.x[i] + b2 * j.cp.y[i] - 50.0 + 0.01 * std::cos(5.0 * i);
  }
  ModelFit f;
  ASSERT_EQ(fit_model(Model::affine, j.cp, {}, f), FitStatus::ok);
  EXPECT_NEAR(f.kx, kx, 1e-4);
  EXPECT_NEAR(f.ky, ky, 1e-4);
  EXPECT_NEAR(f.rotation, rot, 1e-4);
  EXPECT_NEAR(f.shear, shear, 1e-4);
  const auto figures = [](const double* p) {  // p: a1, a2, tx, b1, b2, ty
    const double r = std::atan2(p[3], p[0]);
    return std::vector<double>{std::hypot(p[0], p[3]), std::hypot(p[1], p[4]), r,
                               std::remainder(std::atan2(-p[1], p[4]) - r, 2 * M_PI)};
  };
  const std::vector<double> got = {f.sd_kx, f.sd_ky, f.sd_rotation, f.sd_shear};
  std::vector<std::vector<double>> grad(4, std::vector<double>(6));
  for (int c = 0; c < 6; ++c) {
    double up[6], dn[6];
    std::copy(f.par, f.par + 6, up), std::copy(f.par, f.par + 6, dn);
    const double h = 1e-6 * std::max(1.0, std::fabs(f.par[c]));
    up[c] += h, dn[c] -= h;
    const auto fu = figures(up), fd = figures(dn);
    for (int k = 0; k < 4; ++k) grad[k][c] = (fu[k] - fd[k]) / (2 * h);
  }
  for (int k = 0; k < 4; ++k) {
    double q = 0;
    for (int a = 0; a < 6; ++a)
      for (int b = 0; b < 6; ++b) q += grad[k][a] * f.Q[a][b] * grad[k][b];
    EXPECT_LE(rel(got[k], f.s0 * std::sqrt(q)), 1e-6) << k;
  }
}

// One sigma for every point in both files: p = 1 / (2 sigma^2) leaves the estimate as
// it is and scales s0 to mo / (sigma sqrt 2).
TEST(Models, OneEqualSigmaGivesTheUnweightedFit) {
  for (const Model m : {Model::similarity, Model::rigid, Model::affine}) {
    const Job j = make_job(21, 10, false, 2e-4);
    const double sigma = 0.02;
    const std::vector<double> w(11, point_weight(sigma, sigma));
    ModelFit plain, weighted;
    ASSERT_EQ(fit_model(m, j.cp, {}, plain), FitStatus::ok);
    ASSERT_EQ(fit_model(m, j.cp, w, weighted), FitStatus::ok);
    for (int c = 0; c < plain.u; ++c) EXPECT_LE(rel(weighted.par[c], plain.par[c]), 1e-12);
    for (int i = 1; i <= 10; ++i) EXPECT_NEAR(weighted.vx[i], plain.vx[i], 1e-12);
    EXPECT_LE(rel(weighted.s0, plain.s0 / (sigma * std::sqrt(2.0))), 1e-12);
  }
}

// The similarity with p = 1 is, to the bit, the closed form of solve with its
// cofactors about the centroid, and the run's outlier tests through the model's
// cofactors are those of the similarity's own formulas; on generated jobs of local and
// national size and on the example files.
void expect_same_as_the_run(const CommonPoints& cp) {
  Solution s;
  const bool solved = solve(cp, s);
  ModelFit f;
  const FitStatus st = fit_model(Model::similarity, cp, {}, f);
  ASSERT_EQ(solved, st == FitStatus::ok);
  if (st != FitStatus::ok) return;
  EXPECT_EQ(f.par[0], s.a);
  EXPECT_EQ(f.par[1], s.o);
  EXPECT_EQ(f.par[2], s.tx);
  EXPECT_EQ(f.par[3], s.ty);
  EXPECT_EQ(f.k, s.k);
  EXPECT_EQ(f.A, s.A);
  double vv = 0;
  for (int i = 1; i <= cp.n; ++i) {
    const PlanePoint p = s.apply(cp.x[i], cp.y[i]);
    EXPECT_EQ(f.Xc[i], p.X);
    EXPECT_EQ(f.Yc[i], p.Y);
    EXPECT_EQ(f.vx[i], p.X - cp.X[i]);
    EXPECT_EQ(f.vy[i], p.Y - cp.Y[i]);
    vv += (p.X - cp.X[i]) * (p.X - cp.X[i]) + (p.Y - cp.Y[i]) * (p.Y - cp.Y[i]);
  }
  EXPECT_EQ(f.vv, vv);
  EXPECT_EQ(f.f, 2 * cp.n - 4);
  s.f = f.f;
  s.n = cp.n;
  s.mo = f.f > 0 ? std::sqrt(vv / f.f) : 0.0;
  EXPECT_EQ(f.s0, s.mo);
  // Qxx about the centroid: a, o with 1/S, the translations carried over from it.
  const double iS = 1.0 / s.S;
  const double Q[4][4] = {
      {iS, 0, -s.xm * iS, -s.ym * iS},
      {0, iS, s.ym * iS, -s.xm * iS},
      {-s.xm * iS, s.ym * iS, 1.0 / cp.n + (s.xm * s.xm + s.ym * s.ym) * iS, 0},
      {-s.ym * iS, -s.xm * iS, 0, 1.0 / cp.n + (s.xm * s.xm + s.ym * s.ym) * iS}};
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(f.sd[c], s.mo * std::sqrt(Q[c][c]));
    for (int d = 0; d < 4; ++d) EXPECT_EQ(f.Q[c][d], Q[c][d]);
  }
  RunResult run;
  run.points = cp;
  ASSERT_EQ(compute_run(run), Solved::yes);
  EXPECT_EQ(run.solution.mo, s.mo);
  s.vx = run.solution.vx;
  s.vy = run.solution.vy;
  s.vv = vv;
  for (int i = 1; i <= cp.n; ++i) {
    const TransformedPoint tp = transform_point(f, cp.x[i] + 3.5, cp.y[i] - 1.25);
    EXPECT_EQ(tp.p.X, s.apply(cp.x[i] + 3.5, cp.y[i] - 1.25).X);
    EXPECT_EQ(tp.sd_X, s.sd_transformed(cp.x[i] + 3.5, cp.y[i] - 1.25));
  }
  if (!run.outliers) return;
  // The similarity's own outlier formulas (no cofactors given).
  const OutlierTestResult own = outlier_tests(outlier_test_input(cp, s));
  const OutlierTestResult& o = *run.outliers;
  EXPECT_EQ(o.component_critical, own.component_critical);
  EXPECT_EQ(o.pair_critical, own.pair_critical);
  EXPECT_EQ(o.pairs, own.pairs);
  EXPECT_EQ(o.df, own.df);
  for (int i = 1; i <= cp.n; ++i) {
    const OutlierTestRow &a = o.rows[i], &b = own.rows[i];
    EXPECT_EQ(a.q, b.q);
    EXPECT_EQ(a.rx, b.rx);
    EXPECT_EQ(a.tested, b.tested);
    EXPECT_EQ(a.component_flagged, b.component_flagged);
    EXPECT_EQ(a.pair_flagged, b.pair_flagged);
    if (!b.tested) continue;
    for (const auto& [x, y] : {std::pair{a.svx0, b.svx0},
                               {a.svy0, b.svy0},
                               {a.mvx, b.mvx},
                               {a.mvy, b.mvy},
                               {a.Tvx, b.Tvx},
                               {a.Tvy, b.Tvy},
                               {a.T, b.T}}) {
      if (std::isnan(y)) {
        EXPECT_TRUE(std::isnan(x));
      } else {
        EXPECT_EQ(x, y) << i;
      }
    }
  }
}

TEST(Models, SimilarityWithoutWeightsIsTheRunsSolutionToTheBit) {
  for (unsigned seed = 1; seed <= 150; ++seed) {
    const int n = 2 + static_cast<int>(seed % 37);
    const double offset = seed % 3 == 0 ? 4.5e6 : seed % 3 == 1 ? 0.0 : 1e3;
    Job j = make_job(seed, n, false, 0.0, 1.0 + 1e-5 * (seed % 7), offset, 4.3e5, 4.5e6);
    if (seed % 10 == 0) j.cp.x[2] = j.cp.x[1], j.cp.y[2] = j.cp.y[1];  // a double point
    expect_same_as_the_run(j.cp);
  }
  // The example files, paired by name in the first file's order.
  const auto read = [](const char* name) {
    std::ifstream in(std::string(HELMERT2D_SOURCE_DIR) + "/examples/" + name);
    std::map<std::string, std::pair<double, double>> points;
    std::vector<std::string> order;
    std::string id;
    double a, b, h;
    while (in >> id >> a >> b >> h) points[id] = {a, b}, order.push_back(id);
    return std::make_pair(points, order);
  };
  const auto [local, order] = read("local.txt");
  const auto national = read("national.txt").first;
  CommonPoints cp;
  for (const std::string& id : order) {
    const auto it = national.find(id);
    if (it != national.end())
      cp.add(id, local.at(id).first, local.at(id).second, it->second.first, it->second.second);
  }
  ASSERT_GE(cp.n, 10);
  expect_same_as_the_run(cp);
}

// Global test and F tests through closed forms of the distributions: chi-square of even
// f, exp(-x/2) sum_{j<f/2} (x/2)^j / j!; of f = 1, erfc(sqrt(x/2)); F(2, f),
// (1 + 2F/f)^(-f/2); F(1, 2), 1 - sqrt(F / (2 + F)).
TEST(Models, GlobalAndModelTestsAgainstClosedForms) {
  for (const double x : {0.3, 2.0, 9.5, 31.0}) {
    for (const int f : {2, 6, 14}) {
      double sum = 0, term = 1;
      for (int k = 0; k < f / 2; ++k) sum += term, term *= x / 2 / (k + 1);
      EXPECT_NEAR(chi2_upper_tail(x, f), std::exp(-x / 2) * sum, 1e-14) << x << " " << f;
    }
    EXPECT_NEAR(chi2_upper_tail(x, 1), std::erfc(std::sqrt(x / 2)), 1e-14);
  }
  EXPECT_NEAR(chi2_exact(0.05, 1), 3.841458820694124, 1e-12);
  EXPECT_NEAR(chi2_exact(0.05, 10), 18.307038053275146, 1e-12);
  EXPECT_NEAR(chi2_exact(0.05, 2), -2 * std::log(0.05), 1e-12);
  EXPECT_TRUE(std::isnan(chi2_exact(0.05, 0)));

  const Job j = make_job(31, 9, true, 5e-4);  // weights from a-priori sds
  ModelFit rigid, sim, aff;
  ASSERT_EQ(fit_model(Model::rigid, j.cp, j.w, rigid), FitStatus::ok);
  ASSERT_EQ(fit_model(Model::similarity, j.cp, j.w, sim), FitStatus::ok);
  ASSERT_EQ(fit_model(Model::affine, j.cp, j.w, aff), FitStatus::ok);
  const GlobalTest g = global_test(aff);
  EXPECT_EQ(g.df, 12);
  double sum = 0, term = 1;
  for (int k = 0; k < 6; ++k) sum += term, term *= g.statistic / 2 / (k + 1);
  EXPECT_NEAR(g.p, std::exp(-g.statistic / 2) * sum, 1e-12);
  EXPECT_EQ(g.significant, g.p < 0.05);
  const ModelFTest fa = extra_parameter_test(sim, aff);
  EXPECT_EQ(fa.df1, 2);
  EXPECT_EQ(fa.df2, 12);
  const Ref rs = reference(Model::similarity, j), ra = reference(Model::affine, j);
  EXPECT_LE(rel(fa.statistic, (rs.vv - ra.vv) / 2 / (ra.vv / 12)), 1e-7);
  EXPECT_NEAR(fa.p, std::pow(1 + 2 * fa.statistic / 12, -6.0), 1e-12);
  EXPECT_TRUE(fa.significant);  // a distortion of 5e-4 over 1 km
  EXPECT_EQ(fa.significant, fa.p < 0.05);
  // Three points: the similarity has f = 2.
  const Job three = make_job(32, 3, false, 0.0, 1.0003);
  ASSERT_EQ(fit_model(Model::rigid, three.cp, {}, rigid), FitStatus::ok);
  ASSERT_EQ(fit_model(Model::similarity, three.cp, {}, sim), FitStatus::ok);
  const ModelFTest fs = extra_parameter_test(rigid, sim);
  EXPECT_EQ(fs.df1, 1);
  EXPECT_EQ(fs.df2, 2);
  EXPECT_NEAR(fs.p, 1 - std::sqrt(fs.statistic / (2 + fs.statistic)), 1e-12);
}

// P(|T| > t) of Student's t with nu degrees of freedom by the finite series of
// Abramowitz and Stegun 26.7.3 (nu odd) and 26.7.4 (nu even); the upper tail of F(1, nu)
// at t^2.
double t_two_sided_closed(double t, int nu) {
  const double th = std::atan(t / std::sqrt(nu)), c2 = std::cos(th) * std::cos(th);
  double sum = 0, term = 1;
  if (nu % 2 == 1) {
    for (int k = 1; k <= (nu - 1) / 2; ++k) sum += term, term *= 2.0 * k / (2.0 * k + 1) * c2;
    return 1 - 2 / 3.141592653589793 * (th + std::sin(th) * std::cos(th) * sum);
  }
  for (int k = 1; k <= nu / 2; ++k) sum += term, term *= (2.0 * k - 1) / (2.0 * k) * c2;
  return 1 - std::sin(th) * sum;
}

// Upper tail of F(df1, df2) for df1 = 1 (through t) and 2 ((1 + 2F/f)^(-f/2)).
double F_tail_closed(double F, int df1, int df2) {
  return df1 == 1 ? t_two_sided_closed(std::sqrt(F), df2) : std::pow(1 + 2 * F / df2, -df2 / 2.0);
}

// --compare-models: each model's f, vv and mo against the independent fit, its
// check-point RMS against refits without each point, and the F tests against those vv
// and closed forms of their distributions. Verdicts: 1 significant, 0 not, -1 no test,
// 2 either.
TEST(ModelComparison, AgreesWithIndependentFitsAndClosedForms) {
  struct CompareCase {
    int n;
    bool weighted;
    double affinity, scale;
    unsigned seed;
    int scale_verdict, affine_verdict;
    bool on_a_line = false;
  };
  for (const CompareCase& t : {
           CompareCase{2, false, 0, 1.0000421, 61, -1, -1},  // affine too few; f_sim = 0
           CompareCase{3, false, 0, 1.0003, 62, 2, -1},      // f_affine = 0
           CompareCase{4, true, 2e-4, 1.0000421, 63, 2, 2},  // F(2, 2)
           CompareCase{12, false, 3e-4, 1.0000421, 64, 2, 1},
           CompareCase{9, true, 0, 1.0003, 65, 1, 2}, CompareCase{15, false, 0, 1.0, 66, 2, 2},
           CompareCase{5, false, 0, 1.0000421, 67, 2, -1, true},  // affine on one line
       }) {
    SCOPED_TRACE("n=" + std::to_string(t.n) + " seed " + std::to_string(t.seed));
    Job j = make_job(t.seed, t.n, t.weighted, t.affinity, t.scale);
    for (int i = 1; t.on_a_line && i <= t.n; ++i) j.cp.y[i] = 0.5 * j.cp.x[i] + 100;
    const ModelComparison c = compare_models(j.cp, j.w);
    EXPECT_EQ(c.n, t.n);
    EXPECT_EQ(c.weighted, t.weighted);
    const Model order[3] = {Model::rigid, Model::similarity, Model::affine};
    double vv[3] = {};
    for (int k = 0; k < 3; ++k) {
      const ComparedModel& m = c.models[k];
      const int u = parameter_count(order[k]);
      EXPECT_EQ(m.u, u);
      if (order[k] == Model::affine && (t.n < 3 || t.on_a_line)) {
        EXPECT_FALSE(m.fitted()) << m.name;
        EXPECT_EQ(m.not_fitted,
                  t.on_a_line ? "the points lie on one line" : "at least 3 points needed");
        continue;
      }
      ASSERT_TRUE(m.fitted()) << m.name;
      const Ref ref = reference(order[k], j);
      vv[k] = ref.vv;
      EXPECT_EQ(m.f, 2 * t.n - u) << m.name;
      EXPECT_LE(rel(m.vv, ref.vv), 1e-9) << m.name;
      if (m.f > 0) {
        EXPECT_LE(rel(m.mo, std::sqrt(ref.vv / m.f)), 1e-9) << m.name;
      } else {
        EXPECT_TRUE(std::isnan(m.mo)) << m.name;
      }
      // Every point is checked when the others still determine the model.
      if (2 * (t.n - 1) < u) {
        EXPECT_TRUE(std::isnan(m.check_point_rms)) << m.name;
        continue;
      }
      double loo2 = 0;
      for (int i = 1; i <= t.n; ++i) {
        const Ref out = reference(order[k], j, i);
        loo2 += out.v[2 * i - 1] * out.v[2 * i - 1] + out.v[2 * i] * out.v[2 * i];
      }
      EXPECT_NEAR(m.check_point_rms, std::sqrt(loo2 / t.n), 1e-6) << m.name;
    }
    const auto check = [&](const std::optional<ExtraParameterTest>& test, int larger, int smaller,
                           int verdict) {
      ASSERT_EQ(test.has_value(), verdict != -1);
      if (!test) return;
      EXPECT_EQ(test->larger, c.models[larger].name);
      EXPECT_EQ(test->smaller, c.models[smaller].name);
      const int df1 = c.models[larger].u - c.models[smaller].u, df2 = c.models[larger].f;
      EXPECT_EQ(test->df1, df1);
      EXPECT_EQ(test->df2, df2);
      const double F = (vv[smaller] - vv[larger]) / df1 / (vv[larger] / df2);
      EXPECT_LE(rel(test->statistic, F), 1e-7);
      EXPECT_NEAR(test->p, F_tail_closed(test->statistic, df1, df2), 1e-12 + 1e-10 * test->p);
      EXPECT_NEAR(F_tail_closed(test->critical, df1, df2), kAlpha, 1e-10);
      EXPECT_EQ(test->significant, test->p < kAlpha);
      if (verdict != 2) {
        EXPECT_EQ(test->significant, verdict == 1);
      }
    };
    check(c.scale, 1, 0, t.scale_verdict);
    check(c.affine, 2, 1, t.affine_verdict);
  }
}

// The F tests' p and critical values against a reference statistics library (SciPy
// 1.10.1 from Debian's python3-scipy: scipy.stats.f.sf(F, df1, df2) and
// f.isf(0.05, df1, df2)) at degrees of freedom from 1 to those of a million points;
// relative tolerance 1e-8.
TEST(ModelComparison, FTestsAgreeWithAReferenceLibrary) {
  struct Row {
    double F;
    int df1, df2;
    double p, critical;
  };
  for (const Row& r : {
           Row{21.022965229483322, 1, 20, 0.0001794645287345069, 4.351243503329288},
           Row{0.908, 1, 36, 0.3470002245612347, 4.1131652768128895},
           Row{3.7, 1, 1, 0.30520894235316454, 161.44763879758827},
           Row{5.5, 1, 2, 0.14365116142232476, 18.512820512820497},
           Row{2.2, 1, 3, 0.23464566951201635, 10.127964486013928},
           Row{7.25, 1, 5, 0.04316513490827253, 6.607890973703367},
           Row{1.5958436331345607, 2, 18, 0.2301244265717464, 3.554557145661787},
           Row{12.3, 2, 2, 0.07518796992481203, 18.999999999999982},
           Row{0.4, 2, 5, 0.6900094313951096, 5.786135043349964},
           Row{9.0, 2, 1, 0.22941573387056183, 199.49999999999972},
           Row{4.0, 2, 1999994, 0.01831578540243785, 2.9957367600434743},
           Row{3.5, 1, 1999996, 0.06136897509318212, 3.8414634715196785},
       }) {
    SCOPED_TRACE("F(" + std::to_string(r.df1) + "," + std::to_string(r.df2) + ") at " +
                 std::to_string(r.F));
    // Two fits whose v^T P v give the statistic: vv_large / f = 1.
    ModelFit smaller, larger;
    smaller.u = 4;
    larger.u = 4 + r.df1;
    larger.f = r.df2;
    larger.vv = r.df2;
    smaller.vv = r.df2 + r.F * r.df1;
    const ModelFTest t = extra_parameter_test(smaller, larger);
    EXPECT_NEAR(t.statistic, r.F, 1e-10 * r.F);
    EXPECT_NEAR(t.p, r.p, 1e-8 * r.p);
    EXPECT_NEAR(t.critical, r.critical, 1e-8 * r.critical);
    if (r.df2 <= 36) {
      EXPECT_NEAR(F_tail_closed(r.F, r.df1, r.df2), r.p, 1e-12);
    }
  }
}

// Points a model cannot fit.
TEST(Models, TooFewOrDegeneratePoints) {
  Job j = make_job(41, 3, false);
  ModelFit f;
  for (int i = 2; i <= 3; ++i) j.cp.x[i] = j.cp.x[1] + 2.0 * (i - 1), j.cp.y[i] = j.cp.y[1] + i - 1;
  EXPECT_EQ(fit_model(Model::affine, j.cp, {}, f), FitStatus::singular);  // on one line
  EXPECT_EQ(fit_model(Model::rigid, j.cp, {}, f), FitStatus::ok);
  j.cp.n = 2;
  EXPECT_EQ(fit_model(Model::affine, j.cp, {}, f), FitStatus::too_few);
  j.cp.x[2] = j.cp.x[1], j.cp.y[2] = j.cp.y[1];
  EXPECT_EQ(fit_model(Model::rigid, j.cp, {}, f), FitStatus::singular);
  j.cp.n = 1;
  EXPECT_EQ(fit_model(Model::similarity, j.cp, {}, f), FitStatus::too_few);
}

}  // namespace
