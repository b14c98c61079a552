// Least-squares drivers on hand-checked cases and against each other.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>

#include "support/matrix_support.h"

using namespace mtrs_test;

TEST(NormalEquations, GssdnsmAndLagrange) {
  Mat A{{1}, {1}, {1}};
  Vec l{1, 2, 3}, x(1);
  Mat N(1, 1);
  gssdnsm(3, A, 1, l, N, x);
  EXPECT_DOUBLE_EQ(N[1][1], 1.0 / 3.0);
  EXPECT_DOUBLE_EQ(x[1], 2.0);

  Mat B{{1, 1}};
  Vec m{2}, y(2);
  Mat M(2, 2);
  lgrngdnsm(1, B, 2, m, M, y);
  EXPECT_EQ(m[1], 1.0);
  expect_entries(y, {{1, 1.0}, {2, 1.0}});
  for (int i = 1; i <= 2; ++i)
    for (int j = 1; j <= 2; ++j) EXPECT_EQ(M[i][j], 0.5);
}

TEST(NormalEquations, CozumDispatchesOnShape) {
  std::mt19937 rng(3);
  for (auto [n, u] : {std::pair{6, 3}, std::pair{2, 5}, std::pair{4, 4}}) {
    Mat A = random_matrix(rng, n, u);
    for (int i = 1; i <= std::min(n, u); ++i) A[i][i] += 3.0;
    Mat keep(A), N(u, u), Nref(u, u);
    Vec l{1, -2, 3, 0.5, 2, -1}, lref(l), x(u), xref(u);
    Cozum(n, A, u, l, N, x);
    if (n < u) {
      lgrngdnsm(n, keep, u, lref, Nref, xref);
    } else if (n > u) {
      gssdnsm(n, keep, u, lref, Nref, xref);
    } else {
      // x solves A x = l exactly up to rounding, and N is A^-1.
      Vec Ax(n);
      A_b_(n, A, n, x, Ax);
      for (int i = 1; i <= n; ++i) EXPECT_NEAR(Ax[i], l[i], 1e-13);
      EXPECT_LT(identity_defect(n, A, N), 1e-13);
      EXPECT_EQ(max_difference(n, n, A, keep), 0.0);
      continue;
    }
    EXPECT_EQ(max_difference(u, u, N, Nref), 0.0) << n << "x" << u;
    for (int i = 1; i <= u; ++i) EXPECT_EQ(x[i], xref[i]);
  }
}

TEST(Ekk, UnweightedTextbookCase) {
  Mat A{{1}, {1}, {1}};
  Vec l{1, 2, 3}, x(1), v(3);
  Mat N(1, 1), Qvv(3, 3);
  EKK_(3, A, 1, l, N, x, Qvv, v);
  EXPECT_DOUBLE_EQ(x[1], 2.0);
  EXPECT_DOUBLE_EQ(N[1][1], 1.0 / 3.0);
  EXPECT_DOUBLE_EQ(v[1], 1.0);
  EXPECT_DOUBLE_EQ(v[2], 0.0);
  EXPECT_DOUBLE_EQ(v[3], -1.0);
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) EXPECT_NEAR(Qvv[i][j], i == j ? 2.0 / 3.0 : -1.0 / 3.0, 1e-15);
}

TEST(Ekk, WeightedWithIdentityAndReportFormEqualUnweighted) {
  std::mt19937 rng(8);
  const int n = 9, u = 4;
  Mat A = random_matrix(rng, n, u), I(n, n);
  for (int i = 1; i <= n; ++i) I[i][i] = 1.0;
  Vec l{1, 2, 3, 4, 5, 6, 7, 8, 9};
  Mat N1(u, u), N2(u, u), N3(u, u), Q1(n, n), Q2(n, n), Q3(n, n);
  Vec x1(u), x2(u), x3(u), v1(n), v2(n), v3(n);
  EKK_(n, A, u, l, N1, x1, Q1, v1);
  EKK_(n, A, u, l, I, N2, x2, Q2, v2);
  std::ostringstream report;
  EKK_(report, n, A, u, l, N3, x3, Q3, v3);
  EXPECT_TRUE(report.str().empty());
  EXPECT_LT(max_difference(u, u, N1, N2), 1e-14);
  EXPECT_LT(max_difference(n, n, Q1, Q2), 1e-14);
  EXPECT_EQ(max_difference(n, n, Q1, Q3), 0.0);
  for (int i = 1; i <= u; ++i) EXPECT_NEAR(x1[i], x2[i], 1e-13);
  for (int i = 1; i <= n; ++i) EXPECT_NEAR(v1[i], v2[i], 1e-13);
}

TEST(Ekk, WeightedResidualsAreOrthogonalAndQvvIsItsCofactor) {
  std::mt19937 rng(9);
  const int n = 7, u = 3;
  Mat A = random_matrix(rng, n, u), P(n, n);
  for (int i = 1; i <= n; ++i) P[i][i] = 0.5 + i;
  Vec l{0.3, -1, 2, 0.7, 1.1, -0.4, 5}, x(u), v(n);
  Mat N(u, u), Qvv(n, n);
  EKK_(n, A, u, l, P, N, x, Qvv, v);
  Vec Pv(n), AtPv(u);
  A_b_(n, P, n, v, Pv);
  AT_b_(n, A, u, Pv, AtPv);
  for (int i = 1; i <= u; ++i) EXPECT_NEAR(AtPv[i], 0.0, 1e-12);
  // Diagonal P: Qvv = P^-1 - A Qxx A^T exactly as the textbook has it.
  Mat M(n, n);
  A_Q_AT_(n, A, u, N, M);
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j)
      EXPECT_NEAR(Qvv[i][j], (i == j ? 1.0 / P[i][i] : 0.0) - M[i][j], 1e-14);
}

TEST(Ekk, MoreUnknownsThanObservationsStaysInBounds) {
  // A^T P is u x n; with u > n it must not be formed inside the n x n Qvv. Qvv and v
  // are given room for u rows, marked: only their n x n and n entries may change.
  constexpr double kMark = 7.25;
  Mat A{{1, 2, 3}}, P{{2}}, N(3, 3), Qvv(3, 3);
  Vec l{1}, x(3), v{kMark, kMark, kMark};
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) Qvv[i][j] = kMark;
  CoutCapture out;  // the normal matrix is singular: gaussj reports it
  EKK_(1, A, 3, l, P, N, x, Qvv, v);
  EXPECT_FALSE(out.text().empty());
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j)
      if (i > 1 || j > 1) {
        EXPECT_EQ(Qvv[i][j], kMark) << i << "," << j;
      }
  EXPECT_EQ(v[2], kMark);
  EXPECT_EQ(v[3], kMark);
}

TEST(ArdskEKK, RunningFormSolvesOnceCountExceedsUnknowns) {
  Mat N(1, 1), A{{1}}, P{{1}}, K(1, 1);
  Vec g(1), x{-5};
  int count = 0;
  Vec l1{1}, l2{3};
  ArdskEKK(count, 1, N, g, 1, A, l1, P, x, K);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(x[1], -5.0);  // count is not above u: no solution yet
  ArdskEKK(count, 1, N, g, 1, A, l2, P, x, K);
  EXPECT_EQ(count, 2);
  EXPECT_DOUBLE_EQ(x[1], 2.0);
  EXPECT_DOUBLE_EQ(K[0][0], 2.0);
  EXPECT_DOUBLE_EQ(K[1][1], 1.0);
  EXPECT_DOUBLE_EQ(N[0][0], 10.0);
}

TEST(ArdskEKK, BatchesEqualOneAdjustmentOfAllObservations) {
  std::mt19937 rng(21);
  const int n = 12, u = 3, m = 4;
  Mat A = random_matrix(rng, n, u), P(n, n);
  Vec l(n);
  std::uniform_real_distribution<double> obs(-10.0, 10.0);
  for (int i = 1; i <= n; ++i) {
    l[i] = obs(rng);
    P[i][i] = 1.0 + 0.25 * i;
  }
  Mat Nall(u, u), Qvv(n, n);
  Vec xall(u), v(n);
  EKK_(n, A, u, l, P, Nall, xall, Qvv, v);
  Vec Pv(n);
  A_b_(n, P, n, v, Pv);
  double vpv = 0.0;
  for (int i = 1; i <= n; ++i) vpv += v[i] * Pv[i];
  const double m0sq = vpv / (n - u);

  Mat N(u, u), K(u, u);
  Vec g(u), x(u);
  int count = 0;
  for (int start = 0; start < n; start += m) {
    Mat Ab(m, u), Pb(m, m);
    Vec lb(m);
    for (int i = 1; i <= m; ++i) {
      for (int j = 1; j <= u; ++j) Ab[i][j] = A[start + i][j];
      Pb[i][i] = P[start + i][start + i];
      lb[i] = l[start + i];
    }
    ArdskEKK(count, u, N, g, m, Ab, lb, Pb, x, K);
  }
  EXPECT_EQ(count, n);
  for (int i = 1; i <= u; ++i) EXPECT_NEAR(x[i], xall[i], 1e-11);
  EXPECT_NEAR(K[0][0], m0sq, 1e-10 * m0sq);
  for (int i = 1; i <= u; ++i)
    for (int j = 1; j <= u; ++j) EXPECT_NEAR(K[i][j], m0sq * Nall[i][j], 1e-11);
}

TEST(Homojen, UnitNullVectorWithPositiveLastElement) {
  Mat A{{1, -1}, {2, -2}};
  Vec x(2);
  Homojen(2, A, x);
  EXPECT_DOUBLE_EQ(x[1], 1.0 / std::sqrt(2.0));
  EXPECT_DOUBLE_EQ(x[2], 1.0 / std::sqrt(2.0));

  std::mt19937 rng(13);
  for (int n : {3, 6, 10}) {
    // Rank n - 1: the last row is a combination of the others.
    Mat B = random_matrix(rng, n, n);
    for (int i = 1; i < n; ++i) B[i][i] += 2.0;
    // Make column n = -(B[:,1..n-1] w) so that (w, 1) spans the null space.
    Vec w(n - 1);
    for (int j = 1; j < n; ++j) w[j] = 0.1 * j;
    for (int i = 1; i <= n; ++i) {
      double s = 0.0;
      for (int j = 1; j < n; ++j) s += B[i][j] * w[j];
      B[i][n] = -s;
    }
    Vec y(n);
    Homojen(n, B, y);
    double norm = 0.0;
    for (int i = 1; i <= n; ++i) norm += y[i] * y[i];
    EXPECT_NEAR(norm, 1.0, 1e-14);
    EXPECT_GT(y[n], 0.0);
    Vec By(n);
    A_b_(n, B, n, y, By);
    for (int i = 1; i <= n; ++i) EXPECT_NEAR(By[i], 0.0, 1e-13);
  }
}
