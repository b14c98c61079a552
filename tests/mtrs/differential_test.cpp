// The seven inversion routines checked against each other and against A A^-1 = I on
// random well-conditioned matrices of orders 1 to 60.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include "support/matrix_support.h"

using namespace mtrs_test;

namespace {

constexpr double kTolerance = 1e-10;

// Largest element magnitude, to scale the tolerances.
double max_abs(int n, double** A) {
  double m = 0.0;
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) m = std::max(m, std::fabs(A[i][j]));
  return m;
}

// Random matrix made well-conditioned by a dominant diagonal; not symmetric.
Mat random_general(std::mt19937& rng, int n) {
  Mat A = random_matrix(rng, n, n);
  for (int i = 1; i <= n; ++i) A[i][i] += (A[i][i] < 0 ? -1.0 : 1.0) * n;
  return A;
}

// The rows of A in a random order: as well conditioned as A, but the dominant elements
// (the pivots of full pivoting) lie off the diagonal, so the pivot steps need row and
// column interchanges that must be undone.
Mat shuffled_rows(std::mt19937& rng, const Mat& A) {
  const int n = A.rows();
  std::vector<int> order(static_cast<std::size_t>(n));
  std::iota(order.begin(), order.end(), 1);
  std::shuffle(order.begin(), order.end(), rng);
  Mat S(n, A.cols());
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= A.cols(); ++j) S[i][j] = A[order[static_cast<std::size_t>(i - 1)]][j];
  return S;
}

// Every inverse that the library offers for the symmetric positive definite A.
struct Inverses {
  explicit Inverses(const Mat& A)
      : n(A.rows()), gj(A), gssj(A), gaujor(A), inverd(n, n), simblk(A), cholin(A), inver3(n, n) {
    const int n_ = n;
    Vec b(n_), c(n_), d(n_);
    gaussj(n_, gj, b);
    EXPECT_EQ(gssjrdn(n_, gssj, c), 0);
    double det = 0.0;
    EXPECT_EQ(GAUJOR(gaujor, n_, det), 1);
    Mat factors(A);
    INVERD(n_, factors, inverd);
    SimBlk_gaussj(n_, simblk);
    int status = -1;
    double logdet = 0.0;
    Cholin(cholin, c, d, n_, status, logdet);
    EXPECT_EQ(status, 0);
    int defect = 0;
    CoutCapture quiet;  // Inver3 announces the inversion
    Inver3(n_, defect, A, inver3);
    EXPECT_EQ(defect, 0);
  }
  int n;
  Mat gj, gssj, gaujor, inverd, simblk, cholin, inver3;
};

}  // namespace

TEST(MtrsDifferential, SevenInversesOfSymmetricPositiveDefiniteMatricesAgree) {
  std::mt19937 rng(2024);
  for (int n = 1; n <= 60; ++n) {
    Mat A = random_spd(rng, n);
    Inverses inv(A);
    const double scale = max_abs(n, inv.gj);
    for (double** X :
         {inv.gj, inv.gssj, inv.gaujor, inv.inverd, inv.simblk, inv.cholin, inv.inver3}) {
      EXPECT_LT(identity_defect(n, A, X), kTolerance) << "n = " << n;
      EXPECT_LT(max_difference(n, n, X, inv.gj), kTolerance * scale) << "n = " << n;
    }
  }
}

TEST(MtrsDifferential, FullPivotingInversesOfGeneralMatricesAgree) {
  std::mt19937 rng(77);
  for (int n = 1; n <= 60; ++n) {
    Mat A = shuffled_rows(rng, random_general(rng, n));
    Mat a(A), g(A), j(A);
    Vec b(n);
    gaussj(n, a, b);
    ASSERT_EQ(gssjrdn(n, g, b), 0);
    double det = 0.0;
    ASSERT_EQ(GAUJOR(j, n, det), 1);
    const double scale = max_abs(n, a);
    EXPECT_LT(identity_defect(n, A, a), kTolerance) << "n = " << n;
    EXPECT_LT(identity_defect(n, A, j), kTolerance) << "n = " << n;
    EXPECT_EQ(max_difference(n, n, a, g), 0.0) << "n = " << n;
    EXPECT_LT(max_difference(n, n, a, j), kTolerance * scale) << "n = " << n;
  }
}

TEST(MtrsDifferential, GaujorDeterminantEqualsCondensation) {
  // Condensation multiplies elements pairwise at every step, so orders stay small
  // enough for the elements to remain in range.
  std::mt19937 rng(99);
  for (int n = 2; n <= 8; ++n) {
    Mat A = random_general(rng, n);
    Mat a(A);
    double det = 0.0;
    ASSERT_EQ(GAUJOR(a, n, det), 1);
    const double chio = DetChio(A, n);
    EXPECT_NEAR(det, chio, 1e-10 * std::fabs(chio)) << "n = " << n;
  }
  // Sign through interchanges: a permuted diagonal matrix.
  Mat p{{0, 0, 2}, {0, 3, 0}, {5, 0, 0}};
  double det = 0.0;
  GAUJOR(p, 3, det);
  EXPECT_DOUBLE_EQ(det, -30.0);
}

TEST(MtrsDifferential, CholinSolutionAndLogDeterminant) {
  std::mt19937 rng(5150);
  for (int n : {1, 2, 5, 17, 40}) {
    Mat A = random_spd(rng, n);
    Mat work(A), lu(A);
    Vec b(n), x(n), diag(n);
    for (int i = 1; i <= n; ++i) b[i] = x[i] = std::sin(i);
    int status = -1;
    double logdet = 0.0;
    Cholin(work, x, diag, n, status, logdet);
    Vec Ax(n);
    A_b_(n, A, n, x, Ax);
    for (int i = 1; i <= n; ++i) EXPECT_NEAR(Ax[i], b[i], 1e-12);
    double det = 0.0;
    GAUJOR(lu, n, det);
    EXPECT_NEAR(logdet, std::log10(det), 1e-12) << "n = " << n;
  }
}
