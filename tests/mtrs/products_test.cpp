// Products and sums: summation results, dimension checks and the exact symmetry of the
// congruence products.
#include <gtest/gtest.h>

#include <random>

#include "support/matrix_support.h"

using namespace mtrs_test;

namespace {
const std::string kMismatch = "\n Matrisilerin boyutlar\375 uyumsuz ...! \n";
}

TEST(MtrsProducts, ElementProductsMatchHandValues) {
  Mat A{{1, 2, 3}, {4, 5, 6}};     // 2 x 3
  Mat B{{1, 0}, {0, 1}, {2, -1}};  // 3 x 2
  Mat C(2, 2);
  A_B_(2, A, 3, 3, B, 2, C);
  expect_elements(C, {{1, 1, 7.0}, {1, 2, -1.0}, {2, 1, 16.0}, {2, 2, -1.0}});

  Mat Bt{{1, 0, 2}, {0, 1, -1}};  // B transposed, 2 x 3
  double** D = A_BT_(2, A, 3, 2, Bt, 3);
  EXPECT_EQ(max_difference(2, 2, C, D), 0.0);
  free_matrix(D);

  double** E = AT_B_(2, A, 3, 2, A, 3);  // A^T A, 3 x 3
  expect_elements(E, {{1, 1, 17.0}, {2, 3, 36.0}, {3, 2, 36.0}});
  free_matrix(E);

  Vec b{1, 1, 1};
  double* c = A_b_(2, A, 3, b);
  expect_entries(c, {{1, 6.0}, {2, 15.0}});
  free_vector(c);
  Vec y{1, -1};
  double* d = AT_b_(2, A, 3, y);
  expect_entries(d, {{1, -3.0}, {3, -3.0}});
  free_vector(d);
}

TEST(MtrsProducts, DimensionMismatchWritesOnceAndLeavesDestination) {
  Mat A(2, 3), B(2, 2), C(2, 2);
  C[1][1] = 42.0;
  {
    CoutCapture out;
    A_B_(2, A, 3, 2, B, 2, C);
    EXPECT_EQ(out.text(), kMismatch);
  }
  EXPECT_EQ(C[1][1], 42.0);
  {
    CoutCapture out;
    A_BT_(2, A, 3, 2, B, 2, C);
    AT_B_(2, A, 3, 3, B, 2, C);
    EXPECT_EQ(count_of(out.text(), kMismatch), 2);
  }
  EXPECT_EQ(C[1][1], 42.0);
  CoutCapture out;
  double** fresh = A_B_(2, A, 3, 2, B, 2);  // still handed over, unfilled
  EXPECT_EQ(out.text(), kMismatch);
  free_matrix(fresh);
}

TEST(MtrsProducts, ZeroDimensionsLeaveDestinationAsCreated) {
  Mat A(0, 0), C(2, 2);
  C[1][1] = 5.0;
  A_B_(2, A, 0, 0, A, 2, C);  // empty inner sum: zeros
  EXPECT_EQ(C[1][1], 0.0);
  Mat D(1, 1);
  D[1][1] = 9.0;
  A_B_(0, A, 3, 3, A, 0, D);
  EXPECT_EQ(D[1][1], 9.0);
  EXPECT_EQ(aT_Q_a_(0, Vec(0), A), 0.0);
  int rows = -1, cols = -1;
  Khatri_Rao(0, A, 2, 3, A, 2, rows, D, cols);
  EXPECT_EQ(rows, 0);
  EXPECT_EQ(cols, 2);
}

TEST(MtrsProducts, CongruenceProductsAreExactlySymmetric) {
  Mat A{{1, 2, 0.3}, {-1, 0.7, 2}, {0.1, 3, -2}, {5, 1, 1}};  // 4 x 3
  Mat Q{{2, 0.5, 1}, {-0.25, 3, 0.1}, {7, 0.3, 1}};           // not symmetric
  double** R = A_Q_AT_(4, A, 3, Q);
  Mat ref(4, 4), AQ(4, 3);
  A_B_(4, A, 3, 3, Q, 3, AQ);
  A_BT_(4, AQ, 3, 4, A, 3, ref);
  for (int i = 1; i <= 4; ++i)
    for (int j = 1; j <= 4; ++j) {
      EXPECT_EQ(R[i][j], R[j][i]);
      EXPECT_NEAR(R[i][j], ref[std::max(i, j)][std::min(i, j)], 1e-12);
    }
  free_matrix(R);

  Mat P{{2, 1, 0, 0}, {0, 1, 0, 3}, {1, 0, 4, 0}, {0, 0, 1, 1}};  // 4 x 4, not symmetric
  double** S = AT_P_A_(4, A, 3, P);
  Mat AtP(3, 4), ref2(3, 3);
  AT_B_(4, A, 3, 4, P, 4, AtP);
  A_B_(3, AtP, 4, 4, A, 3, ref2);
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) {
      EXPECT_EQ(S[i][j], S[j][i]);
      EXPECT_NEAR(S[i][j], ref2[std::max(i, j)][std::min(i, j)], 1e-12);
    }
  free_matrix(S);
  Vec a{1, -2, 0.5, 3};
  Vec Pa(4);
  A_b_(4, P, 4, a, Pa);
  double expect = 0.0;
  for (int i = 1; i <= 4; ++i) expect += a[i] * Pa[i];
  EXPECT_NEAR(aT_Q_a_(4, a, P), expect, 1e-12);
}

TEST(MtrsProducts, KhatriRaoAndKronecker) {
  Mat A{{1, 2}, {3, 4}};
  Mat B{{5, 6}, {7, 8}, {9, 10}};
  Mat C(6, 2);
  int rows = 0, cols = 0;
  Khatri_Rao(2, A, 2, 3, B, 2, rows, C, cols);
  EXPECT_EQ(rows, 6);
  EXPECT_EQ(cols, 2);
  expect_elements(C, {{4, 1, 3.0 * 5.0}, {4, 2, 4.0 * 6.0}, {6, 2, 4.0 * 10.0}});

  Mat Bad(3, 3);
  rows = cols = 77;
  C[1][1] = -1.0;
  CoutCapture out;
  Khatri_Rao(2, A, 2, 3, Bad, 3, rows, C, cols);
  EXPECT_EQ(out.text(),
            "\n ! ..... Matrislerin Boyutlar\375 Khatri-Rao Carpimi Icin Uyusumsuz ...... ! \n"
            "\n ! .. Matrixs Dimensions are not suitable for the Khatri-Rao Product .. ! \n");
  EXPECT_EQ(rows, 77);
  EXPECT_EQ(cols, 77);
  EXPECT_EQ(C[1][1], -1.0);

  Mat A3{{1, 2, 3}, {4, 5, 6}};
  Mat B2{{1, 2}, {3, 4}};
  Mat K(4, 6);
  Kronecker(2, A3, 3, 2, B2, 2, rows, K, cols);
  EXPECT_EQ(rows, 4);
  EXPECT_EQ(cols, 6);
  expect_elements(K, {{3, 5, 6.0 * 1.0}, {4, 6, 6.0 * 4.0}, {2, 1, 1.0 * 3.0}});
}

TEST(MtrsProducts, DifferenceAndSumFillEveryElement) {
  Mat A{{1, 2, 3}, {4, 5, 6}};
  Mat B{{6, 5, 4}, {3, 2, 1}};
  double** D = Cikar_(2, 3, A, B);
  double** S = Topla_(2, 3, A, B);
  for (int i = 1; i <= 2; ++i)
    for (int j = 1; j <= 3; ++j) {
      EXPECT_EQ(D[i][j], A[i][j] - B[i][j]);
      EXPECT_EQ(S[i][j], 7.0);
    }
  free_matrix(S);
  free_matrix(D);
}

TEST(MtrsProducts, RowOrderLoopsMatchTheElementByElementDefinition) {
  std::mt19937 rng(11);
  Mat A = random_matrix(rng, 7, 5), B = random_matrix(rng, 5, 6);
  Mat C(7, 6);
  A_B_(7, A, 5, 5, B, 6, C);
  for (int i = 1; i <= 7; ++i)
    for (int j = 1; j <= 6; ++j) {
      double s = 0.0;
      for (int k = 1; k <= 5; ++k) s += A[i][k] * B[k][j];
      EXPECT_EQ(C[i][j], s);  // same terms in the same order: bit-identical
    }
}
