// Gauss-Jordan family, GAUJOR, INVERD, DetChio and SimBlk_gaussj on hand-checked cases,
// including their singular-matrix messages.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/matrix_support.h"

using namespace mtrs_test;

namespace {
const std::string kSingular1 = "\n gaussj: Singular Matrix-1 \n\n";
const std::string kSingular2 = "\n gaussj: Singular Matrix-2 \n\n";
}  // namespace

TEST(GaussJordan, SingularMatrixReportsZeroPivotOnceAndCompletes) {
  Mat a{{1, 2}, {2, 4}};
  Vec b{1, 2};
  CoutCapture out;
  gaussj(2, a, b);
  EXPECT_EQ(out.text(), kSingular2);
  EXPECT_FALSE(std::isfinite(b[1]) && std::isfinite(b[2]));
}

TEST(GaussJordan, PermutationNeedsRowExchangeAndUnscramble) {
  Mat a{{0, 1}, {1, 0}};
  Vec b{2, 3};
  gaussj(2, a, b);
  expect_entries(b, {{1, 3.0}, {2, 2.0}});
  expect_elements(a, {{1, 1, 0.0}, {1, 2, 1.0}, {2, 1, 1.0}, {2, 2, 0.0}});
}

TEST(GaussJordan, OverloadsAgreeAndKeepTheirInputs) {
  Mat A{{4, -2, 1}, {3, 6, -4}, {2, 1, 8}};
  Mat a(A), inplace(A), B(3, 3);
  Vec b{1, 2, 3};
  gaussj(3, a, b);
  gaussj(3, inplace);
  gaussj(3, A, B);
  double** C = gaussj_(3, A);
  EXPECT_EQ(max_difference(3, 3, a, inplace), 0.0);
  EXPECT_EQ(max_difference(3, 3, a, B), 0.0);
  EXPECT_EQ(max_difference(3, 3, a, C), 0.0);
  EXPECT_EQ(A[2][3], -4.0);  // the two-matrix forms leave A alone
  EXPECT_LT(identity_defect(3, A, C), 1e-14);
  free_matrix(C);
  // The row-pointer layout survives the row exchanges.
  for (int i = 0; i <= 3; ++i) EXPECT_EQ(a[i], a[0] + 4 * i);
}

// The largest elements lie off the diagonal in no symmetric pattern, so the pivots
// need row exchanges whose unscrambling must exchange columns of the inverse.
TEST(GaussJordan, OffDiagonalPivotsAreUnscrambledIntoTheInverse) {
  const Mat A{{1, 2, 9}, {8, 1, 3}, {2, 7, 1}};  // det = 462
  const Mat inverse{{-20.0 / 462, 61.0 / 462, -3.0 / 462},
                    {-2.0 / 462, -17.0 / 462, 69.0 / 462},
                    {54.0 / 462, -3.0 / 462, -15.0 / 462}};
  Mat a(A), g(A), inplace(A), B(3, 3);
  Vec b{32, 19, 19}, c(b);  // A (1, 2, 3)
  gaussj(3, a, b);
  EXPECT_EQ(gssjrdn(3, g, c), 0);
  gaussj(3, inplace);
  gaussj(3, A, B);
  for (double** X : {static_cast<double**>(a), static_cast<double**>(g),
                     static_cast<double**>(inplace), static_cast<double**>(B)})
    EXPECT_LT(max_difference(3, 3, X, inverse), 1e-15);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_NEAR(b[i], i, 1e-14);
    EXPECT_NEAR(c[i], i, 1e-14);
  }
}

TEST(GaussJordan, NaNInputReportsAndCompletesWithinBounds) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  Mat a{{nan, nan, nan}, {nan, nan, nan}, {nan, nan, nan}};
  Vec b{1, 1, 1};
  CoutCapture out;
  // No candidate pivot anywhere: the (1, 1) position is reused, so column 1 is chosen
  // twice and the third step meets it in each of the three rows it scans.
  gaussj(3, a, b);
  EXPECT_EQ(count_of(out.text(), kSingular1), 3);
  EXPECT_EQ(count_of(out.text(), kSingular2), 0);
  Mat c(a);
  Vec d{1, 1, 1};
  EXPECT_EQ(gssjrdn(3, c, d), 1);
  EXPECT_NE(out.text().find(" \n Singular Matrix in GaussJ (1)\n\n"), std::string::npos);
}

TEST(GaussJordan, GssjrdnMatchesGaussjOrReportsSingular) {
  Mat a{{4, -2, 1}, {3, 6, -4}, {2, 1, 8}}, a2(a);
  Vec b{1, 2, 3}, b2(b);
  gaussj(3, a, b);
  EXPECT_EQ(gssjrdn(3, a2, b2), 0);
  EXPECT_EQ(max_difference(3, 3, a, a2), 0.0);
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(b[i], b2[i]);

  Mat s{{1, 2}, {2, 4}};
  Vec t{1, 2};
  CoutCapture out;
  EXPECT_EQ(gssjrdn(2, s, t), 1);
  EXPECT_EQ(out.text(), " \n Singular Matrix in GaussJ (2)\n\n");
}

TEST(GaussJordan, WithoutPivotingStopsAtZeroDiagonal) {
  Mat a{{0, 1}, {1, 0}};
  Vec b{2, 3};
  {
    CoutCapture out;
    gj_(2, a, b);
    EXPECT_EQ(out.text(), kSingular2);
  }
  expect_elements(a, {{1, 2, 1.0}, {2, 1, 1.0}});
  EXPECT_EQ(b[1], 2.0);
  Mat c{{2, 1}, {1, 3}};
  Vec d{3, 4};
  gj_(2, c, d);
  expect_entries(d, {{1, 1.0}, {2, 1.0}}, 1e-15);
  expect_elements(c, {{1, 1, 0.6}, {1, 2, -0.2}}, 1e-15);
}

TEST(GaussJordan, GaussianReductionWithBackSubstitution) {
  Mat a{{2, 1}, {1, 3}};
  Vec b{3, 4};
  GaussIndrgm(2, a, b);
  expect_entries(b, {{1, 1.0}, {2, 1.0}}, 1e-15);
  expect_elements(a, {{1, 1, 1.0}, {2, 1, 0.0}, {2, 2, 1.0}});
}

TEST(Gaujor, InverseAndSignedDeterminant) {
  Mat a{{2, 0}, {0, 3}};
  double det = 0.0;
  EXPECT_EQ(GAUJOR(a, 2, det), 1);
  EXPECT_DOUBLE_EQ(det, 6.0);
  EXPECT_DOUBLE_EQ(a[1][1], 0.5);
  EXPECT_DOUBLE_EQ(a[2][2], 1.0 / 3.0);
  EXPECT_EQ(a[1][2], 0.0);
  Mat p{{0, 1}, {1, 0}};
  EXPECT_EQ(GAUJOR(p, 2, det), 1);
  EXPECT_DOUBLE_EQ(det, -1.0);
  expect_elements(p, {{1, 2, 1.0}, {2, 1, 1.0}, {1, 1, 0.0}});
}

// Row and column partners differ from step to step, so undoing the interchanges in
// the wrong sense (rows for columns) gives a matrix that is not the inverse.
TEST(Gaujor, UnequalRowAndColumnPartnersAreUndone) {
  const Mat A{{1, 2, 9}, {8, 1, 3}, {2, 7, 1}};
  const Mat inverse{{-20.0 / 462, 61.0 / 462, -3.0 / 462},
                    {-2.0 / 462, -17.0 / 462, 69.0 / 462},
                    {54.0 / 462, -3.0 / 462, -15.0 / 462}};
  Mat a(A);
  double det = 0.0;
  EXPECT_EQ(GAUJOR(a, 3, det), 1);
  EXPECT_NEAR(det, 462.0, 1e-12);
  EXPECT_LT(max_difference(3, 3, a, inverse), 1e-15);
}

TEST(Gaujor, SingularWritesDeterminantZero) {
  Mat a{{1, 2}, {2, 4}};
  double det = 5.0;
  CoutCapture out;
  EXPECT_EQ(GAUJOR(a, 2, det), 0);
  EXPECT_EQ(det, 0.0);
  EXPECT_EQ(out.text(), " DETERMINANT =0");
}

TEST(Inverd, InvertsSymmetricMatrixNeedingRowExchanges) {
  Mat A{{1, 2, 3}, {2, 8, 1}, {3, 1, 20}};
  Mat work(A), B(3, 3);
  INVERD(3, work, B);
  EXPECT_LT(identity_defect(3, A, B), 1e-13);
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) EXPECT_EQ(B[i][j], B[j][i]);
  // Order n exactly: row and column n + 1 lie outside a 3 x 3 object, so nothing past
  // index 3 may be touched (AddressSanitizer checks this too).
  Mat one{{4}};
  Mat inv(1, 1);
  INVERD(1, one, inv);
  EXPECT_EQ(inv[1][1], 0.25);
}

TEST(DetChio, CondensationDeterminants) {
  Mat a{{2, 1}, {1, 3}};
  EXPECT_DOUBLE_EQ(DetChio(a, 2), 5.0);
  Mat b{{2, 1, 3}, {4, -1, 2}, {0, 5, 1}};  // det = 2(-11) - 1(4) + 3(20) = 34
  EXPECT_DOUBLE_EQ(DetChio(b, 3), 34.0);
  EXPECT_EQ(b[2][2], -1.0);  // A unchanged
  Mat c{{7}};
  EXPECT_EQ(DetChio(c, 1), 7.0);  // below the condensation's order, no out-of-range read
  EXPECT_EQ(DetChio(c, 0), 1.0);
}

TEST(SimBlk, BlockInverseMatchesGaussj) {
  Mat one{{4}};
  SimBlk_gaussj(1, one);
  EXPECT_EQ(one[1][1], 0.25);
  Mat A{{4, 1, 0.5, 0.2}, {1, 5, 0.3, 1}, {0.5, 0.3, 6, 0.7}, {0.2, 1, 0.7, 3}};
  Mat B(A);
  SimBlk_gaussj(4, B);
  double** ref = gaussj_(4, A);
  EXPECT_LT(max_difference(4, 4, B, ref), 1e-14);
  free_matrix(ref);
  // The lower-left block is not read.
  Mat C(A);
  C[3][1] = C[4][2] = 1e6;
  SimBlk_gaussj(4, C);
  EXPECT_LT(max_difference(4, 4, B, C), 1e-15);
}
