// In-place inversion with complete pivoting and determinant (GAUJOR), inversion of a
// symmetric matrix through a triangular decomposition (INVERD).
#include <algorithm>
#include <cmath>
#include <iostream>
#include <vector>

#include "helmert2d/mtrs.h"

namespace {

// Exchanges rows k and i (columns 1..n), negating the row that moves down, so the
// determinant keeps its sign.
void swap_rows_negated(int n, double** a, int k, int i) {
  for (int j = 1; j <= n; ++j) {
    const double hold = -a[k][j];
    a[k][j] = a[i][j];
    a[i][j] = hold;
  }
}

// Exchanges columns k and j (rows 1..n), negating the column that moves right.
void swap_cols_negated(int n, double** a, int k, int j) {
  for (int i = 1; i <= n; ++i) {
    const double hold = -a[i][k];
    a[i][k] = a[i][j];
    a[i][j] = hold;
  }
}

// One Gauss-Jordan exchange step on the pivot a[k][k] = big.
void exchange_step(int n, double** a, int k, double big) {
  for (int i = 1; i <= n; ++i)
    if (i != k) a[i][k] /= -big;
  const double* ak = a[k];
  for (int i = 1; i <= n; ++i) {
    if (i == k) continue;
    double* ai = a[i];
    const double aik = ai[k];
    for (int j = 1; j <= n; ++j)
      if (j != k) ai[j] = ak[j] * aik + ai[j];
  }
  for (int j = 1; j <= n; ++j)
    if (j != k) a[k][j] /= big;
  a[k][k] = 1.0 / big;
}

}  // namespace

// Gauss-Jordan inversion with complete pivoting: interchanges carry a sign change so
// that the plain product of the pivots is the determinant of the matrix passed in.
int GAUJOR(double** a, int n, double& det) {
  std::vector<int> row_of(n > 0 ? n + 1 : 1), col_of(n > 0 ? n + 1 : 1);
  det = 1.0;
  for (int k = 1; k <= n; ++k) {
    row_of[k] = k;
    col_of[k] = k;
    double big = a[k][k];
    for (int j = k; j <= n; ++j) {
      for (int i = k; i <= n; ++i) {
        if (std::fabs(a[i][j]) > std::fabs(big)) {
          big = a[i][j];
          row_of[k] = i;
          col_of[k] = j;
        }
      }
    }
    if (row_of[k] > k) swap_rows_negated(n, a, k, row_of[k]);
    if (col_of[k] > k) swap_cols_negated(n, a, k, col_of[k]);
    if (big == 0.0) {
      det = 0.0;
      std::cout << " DETERMINANT =" << det;
      return 0;
    }
    exchange_step(n, a, k, big);
    det *= big;
  }
  // Undo the interchanges in reverse order: a row exchange of the matrix is a column
  // exchange of its inverse and vice versa.
  for (int k = n; k >= 1; --k) {
    const int i = row_of[k];
    if (i > k) {
      for (int j = 1; j <= n; ++j) {
        const double hold = a[j][k];
        a[j][k] = -a[j][i];
        a[j][i] = hold;
      }
    }
    const int j = col_of[k];
    if (j > k) {
      for (int c = 1; c <= n; ++c) {
        const double hold = a[k][c];
        a[k][c] = -a[j][c];
        a[j][c] = hold;
      }
    }
  }
  return 1;
}

namespace {

// LU decomposition with partial pivoting, P A = L U, stored in A (L below the
// diagonal with a unit diagonal implied); p (out) receives the row permutation.
void decompose(int n, double** A, int* p) {
  for (int i = 1; i <= n; ++i) p[i] = i;
  for (int k = 1; k < n; ++k) {
    int q = k;
    for (int i = k + 1; i <= n; ++i)
      if (std::fabs(A[i][k]) > std::fabs(A[q][k])) q = i;
    if (q != k) {
      std::swap(p[k], p[q]);
      std::swap_ranges(A[k] + 1, A[k] + n + 1, A[q] + 1);
    }
    const double* ak = A[k];
    for (int i = k + 1; i <= n; ++i) {
      double* ai = A[i];
      const double m = ai[k] / ak[k];
      ai[k] = m;
      for (int j = k + 1; j <= n; ++j) ai[j] -= ak[j] * m;
    }
  }
}

}  // namespace

// Inverse of a symmetric matrix of order n: A = P^T L U, then T = L^-1 P by forward
// substitution and B = U^-1 T by back substitution; only the lower triangle of B is
// solved for and mirrored, which the symmetry of the inverse allows.
void INVERD(int n, double** A, double** B) {
  if (n < 1) return;
  int* p = create_vectint(n);
  double** T = create_matrix(n, n);
  decompose(n, A, p);
  for (int i = 1; i <= n; ++i) std::fill_n(B[i] + 1, n, 0.0);
  for (int i = 1; i <= n; ++i) {
    B[i][p[i]] = 1.0;
    double* t = T[i];
    std::copy_n(B[i] + 1, n, t + 1);
    for (int l = 1; l < i; ++l) {
      const double ail = A[i][l];
      const double* tl = T[l];
      for (int j = 1; j <= n; ++j) t[j] -= ail * tl[j];
    }
  }
  for (int j = 1; j <= n; ++j) {
    for (int a = n; a >= j; --a) {
      double s = T[a][j];
      for (int l = a + 1; l <= n; ++l) s -= A[a][l] * B[l][j];
      B[a][j] = s / A[a][a];
      B[j][a] = B[a][j];
    }
  }
  free_matrix(T);
  free_vectint(p);
}
