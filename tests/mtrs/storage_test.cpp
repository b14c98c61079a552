// Storage layout, initialisation and copying of row-pointer matrices and vectors.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "helmert2d/mtrs.h"

TEST(MtrsStorage, RowsLieContiguouslyInOneBlock) {
  double** m = create_matrix(3, 4);
  for (int i = 0; i <= 3; ++i) EXPECT_EQ(m[i], m[0] + i * 5);
  free_matrix(m);
  int** mi = create_matint(2, 2);
  EXPECT_EQ(mi[2], mi[0] + 6);
  free_matrix(mi);
  char** mc = create_matchr(2, 7);
  EXPECT_EQ(mc[1], mc[0] + 8);
  free_matchr(mc);
  free_vectint(create_vectint(0));
  free_vectchr(create_vectchr(5));
}

TEST(MtrsStorage, IdentityCoversSpareIndexZero) {
  double** m = identity_matrix(3);
  for (int i = 0; i <= 3; ++i)
    for (int j = 0; j <= 3; ++j) EXPECT_EQ(m[i][j], i == j ? 1.0 : 0.0) << i << "," << j;
  free_matrix(m);
}

TEST(MtrsStorage, NullAndCopyCoverIndexZero) {
  double** z = null_matrix(2, 3);
  for (int i = 0; i <= 2; ++i)
    for (int j = 0; j <= 3; ++j) EXPECT_EQ(z[i][j], 0.0);
  for (int i = 0; i <= 2; ++i)
    for (int j = 0; j <= 3; ++j) z[i][j] = 10 * i + j;
  double** c = copy_matrix(z, 2, 3);
  z[1][1] = -1.0;  // the copy is independent
  for (int i = 0; i <= 2; ++i)
    for (int j = 0; j <= 3; ++j) EXPECT_EQ(c[i][j], 10 * i + j);
  double* v = null_vector(3);
  for (int i = 0; i <= 3; ++i) EXPECT_EQ(v[i], 0.0);
  v[0] = 7.0;
  v[3] = 9.0;
  double* w = copy_vector(v, 3);
  EXPECT_EQ(w[0], 7.0);
  EXPECT_EQ(w[3], 9.0);
  free_vector(w);
  free_vector(v);
  free_matrix(c);
  free_matrix(z);
}

TEST(MtrsStorage, FreeOfNullDoesNothing) {
  // In a child process, so that a free that reads through the null pointer fails the
  // test instead of ending the test program.
  EXPECT_EXIT(
      {
        free_matrix(static_cast<double**>(nullptr));
        free_matrix(static_cast<int**>(nullptr));
        free_matchr(nullptr);
        free_vector(nullptr);
        free_vectint(nullptr);
        free_vectchr(nullptr);
        std::exit(0);
      },
      testing::ExitedWithCode(0), "");
}

TEST(MtrsStorage, InvalidSizeThrowsBadAlloc) {
  EXPECT_THROW(create_matrix(-2, 3), std::bad_alloc);
  EXPECT_THROW(create_matint(3, -2), std::bad_alloc);
  EXPECT_THROW(create_vector(-5), std::bad_alloc);
  // 2^62 doubles: more bytes than the address space holds.
  EXPECT_THROW(create_matrix(2147483646, 2147483646), std::bad_alloc);
}
