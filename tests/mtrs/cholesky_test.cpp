// Cholin, Inver3 and MtrsKsgnstr on hand-checked cases; the Moore-Penrose conditions
// for the pseudo-inverse.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "support/matrix_support.h"

using namespace mtrs_test;

namespace {

const std::string kCholinSingular = "*** Bu Asamada Matris Singulerdir ***\n";

// Largest deviation from the four Moore-Penrose conditions, relative to the largest
// element of N and of Q.
double penrose_defect(int n, double** N, double** Q) {
  Mat NQ(n, n), QN(n, n), NQN(n, n), QNQ(n, n);
  A_B_(n, N, n, n, Q, n, NQ);
  A_B_(n, Q, n, n, N, n, QN);
  A_B_(n, NQ, n, n, N, n, NQN);
  A_B_(n, QN, n, n, Q, n, QNQ);
  double nmax = 0.0, qmax = 0.0;
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) {
      nmax = std::max(nmax, std::fabs(N[i][j]));
      qmax = std::max(qmax, std::fabs(Q[i][j]));
    }
  double worst = max_difference(n, n, NQN, N) / nmax;
  worst = std::max(worst, max_difference(n, n, QNQ, Q) / qmax);
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) {
      worst = std::max(worst, std::fabs(NQ[i][j] - NQ[j][i]));
      worst = std::max(worst, std::fabs(QN[i][j] - QN[j][i]));
    }
  return worst;
}

}  // namespace

TEST(Cholin, FactorSolutionDeterminantAndInverse) {
  Mat A{{4, 2}, {2, 3}};
  Vec b{2, 1}, diag(2);
  int status = -1;
  double logdet = 0.0;
  EXPECT_EQ(Cholin(A, b, diag, 2, status, logdet), 0);
  EXPECT_EQ(status, 0);
  expect_entries(b, {{1, 0.5}, {2, 0.0}}, 1e-15);
  EXPECT_EQ(diag[1], 2.0);
  EXPECT_NEAR(diag[2], std::sqrt(2.0), 1e-15);
  EXPECT_NEAR(logdet, std::log10(8.0), 1e-15);
  expect_elements(A, {{1, 1, 0.375}, {1, 2, -0.25}, {2, 1, -0.25}, {2, 2, 0.5}}, 1e-15);
}

TEST(Cholin, ReadsOnlyTheUpperTriangle) {
  Mat A{{4, 2}, {-99, 3}};
  Vec b{2, 1}, diag(2);
  int status = -1;
  double logdet = 0.0;
  Cholin(A, b, diag, 2, status, logdet);
  EXPECT_EQ(status, 0);
  EXPECT_NEAR(A[2][1], -0.25, 1e-15);
}

TEST(Cholin, SingularAndNegativePivotsStopWithStatusOne) {
  Mat A{{1, 2}, {2, 4}};
  Vec b{1, 1}, diag{-7, -7};
  int status = 0;
  double logdet = 123.0;
  {
    CoutCapture out;
    Cholin(A, b, diag, 2, status, logdet);
    EXPECT_EQ(out.text(), kCholinSingular);
  }
  EXPECT_EQ(status, 1);
  EXPECT_EQ(A[1][1], 1.0);  // row 1 holds R
  EXPECT_EQ(A[1][2], 2.0);
  EXPECT_EQ(diag[1], -7.0);  // untouched
  EXPECT_EQ(logdet, 123.0);
  Mat neg{{-1}};
  Vec c{1}, d(1);
  CoutCapture out;
  Cholin(neg, c, d, 1, status, logdet);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(out.text(), kCholinSingular);
}

TEST(Inver3, FindsDefectTwoAndGivesMoorePenroseInverse) {
  Mat N{{1, 0, 1, 1}, {0, 1, 1, 2}, {1, 1, 2, 3}, {1, 2, 3, 5}};
  Mat Q(4, 4);
  int d = 0;
  CoutCapture out;
  EXPECT_EQ(Inver3(4, d, N, Q), 0);
  EXPECT_EQ(d, 2);
  EXPECT_EQ(out.text(), kCholinSingular + "  Rang Bozuklugu ...: 1\n" + kCholinSingular +
                            "  Rang Bozuklugu ...: 2\n  Ters Alma Islemi Basladi\n");
  EXPECT_LT(penrose_defect(4, N, Q), 1e-12);
}

TEST(Inver3, OnesAndRankOneMatrices) {
  Mat ones{{1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}};
  Mat Q(4, 4);
  int d = 0;
  {
    CoutCapture out;
    Inver3(4, d, ones, Q);
  }
  EXPECT_EQ(d, 3);
  for (int i = 1; i <= 4; ++i)
    for (int j = 1; j <= 4; ++j) EXPECT_NEAR(Q[i][j], 0.0625, 1e-15);
  Mat N{{4, 2, 6}, {2, 1, 3}, {6, 3, 9}};
  Mat P(3, 3);
  d = 0;
  {
    CoutCapture out;
    Inver3(3, d, N, P);
  }
  EXPECT_EQ(d, 2);
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) EXPECT_NEAR(P[i][j], N[i][j] / 196.0, 1e-15);
}

TEST(Inver3, RegularMatrixGivesOrdinaryInverse) {
  Mat N{{4, 2}, {2, 3}};
  Mat Q(2, 2);
  int d = 0;
  CoutCapture out;
  Inver3(2, d, N, Q);
  EXPECT_EQ(d, 0);
  EXPECT_EQ(out.text(), "  Ters Alma Islemi Basladi\n");
  expect_elements(Q, {{1, 1, 0.375}, {2, 1, -0.25}}, 1e-15);
}

TEST(Inver3, StartingDefectOutsideRangeIsClamped) {
  Mat N{{4, 2}, {2, 3}};
  Mat Q(2, 2);
  int d = 5;
  CoutCapture out;
  Inver3(2, d, N, Q);  // never indexes outside the 2 x 2 blocks
  EXPECT_EQ(d, 2);
  d = -3;
  Inver3(2, d, N, Q);
  EXPECT_EQ(d, 0);
  EXPECT_NEAR(Q[2][2], 0.5, 1e-15);
}

TEST(Inver3, RandomRankDeficientMatricesSatisfyPenroseConditions) {
  // N = [I; B^T] R^T R [I, B] with small integers in R (upper triangular, regular) and
  // B: the Cholesky factor is [R, R B] exactly, so each dependent column leaves an exact
  // zero pivot. (A dependency that leaves a rounding residue is, by design of the
  // 1e-38 threshold, taken as regular.)
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> small(-1, 1), positive(4, 6);
  for (int defect = 1; defect <= 3; ++defect) {
    for (int n : {4, 7, 12}) {
      const int r = n - defect;
      Mat G(r, n);  // [R, R B]
      for (int i = 1; i <= r; ++i) {
        G[i][i] = positive(rng);
        for (int j = i + 1; j <= r; ++j) G[i][j] = small(rng);
      }
      Mat B(r, defect);
      for (int i = 1; i <= r; ++i)
        for (int j = 1; j <= defect; ++j) B[i][j] = 2 * small(rng);
      for (int i = 1; i <= r; ++i)
        for (int j = 1; j <= defect; ++j)
          for (int k = 1; k <= r; ++k) G[i][r + j] += G[i][k] * B[k][j];
      Mat N(n, n), Q(n, n);
      AT_B_(r, G, n, r, G, n, N);
      int d = 0;
      CoutCapture out;
      Inver3(n, d, N, Q);
      EXPECT_EQ(d, defect) << "n = " << n;
      EXPECT_LT(penrose_defect(n, N, Q), 1e-12) << "n = " << n << ", defect " << defect;
    }
  }
}

TEST(MtrsKsgnstr, DiagonalisesByCongruence) {
  Mat Q{{2, 1}, {1, 2}};
  Mat T(2, 2);
  MtrsKsgnstr(2, Q, T);
  EXPECT_DOUBLE_EQ(Q[1][1], 2.0);
  EXPECT_DOUBLE_EQ(Q[2][2], 1.5);
  expect_elements(Q, {{1, 2, 0.0}, {2, 1, 0.0}});
  expect_elements(T, {{1, 1, 1.0}, {1, 2, 0.0}});
  EXPECT_DOUBLE_EQ(T[2][1], -0.5);
  EXPECT_EQ(T[2][2], 1.0);

  Mat Q0{{4, 1, 2}, {1, 5, 0.5}, {2, 0.5, 6}};
  Mat D(Q0), U(3, 3), R(3, 3);
  MtrsKsgnstr(3, D, U);
  A_Q_AT_(3, U, 3, Q0, R);
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) {
      EXPECT_NEAR(R[i][j], D[i][j], 1e-14);
      if (i != j) {
        EXPECT_NEAR(D[i][j], 0.0, 1e-14);
      }
    }
}
