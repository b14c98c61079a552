// Cholesky factorisation with solution, log-determinant and inverse in the caller's
// storage (Cholin); congruence diagonalisation of a symmetric matrix (MtrsKsgnstr).
#include <cmath>
#include <iostream>

#include "helmert2d/mtrs.h"

namespace {

// Factors A = R^T R into the upper triangle and forward-substitutes R^T y = b.
// Returns false (after the message) at the first pivot s with s - 1e-38 <= 0.
bool factor(int n, double** A, double* b) {
  for (int j = 1; j <= n; ++j) {
    double s = A[j][j];
    for (int k = 1; k < j; ++k) s -= A[k][j] * A[k][j];
    if (s - 1e-38 <= 0.0) {
      std::cout << "*** Bu Asamada Matris Singulerdir ***\n";
      return false;
    }
    double* rj = A[j];
    rj[j] = std::sqrt(s);
    for (int l = 1; l < j; ++l) {
      const double rlj = A[l][j];
      const double* rl = A[l];
      for (int k = j + 1; k <= n; ++k) rj[k] -= rlj * rl[k];
    }
    for (int k = j + 1; k <= n; ++k) rj[k] /= rj[j];
    double t = b[j];
    for (int k = 1; k < j; ++k) t -= A[k][j] * b[k];
    b[j] = t / rj[j];
  }
  return true;
}

// Solves R x = y in place in b.
void back_substitute(int n, double** A, double* b) {
  for (int r = n; r >= 1; --r) {
    const double* ar = A[r];
    double t = b[r];
    for (int k = r + 1; k <= n; ++k) t -= ar[k] * b[k];
    b[r] = t / ar[r];
  }
}

// X = R^-T into the lower triangle, diagonal included, row by row:
// X[i][j] = (delta_ij - sum_{l=j..i-1} R[l][i] X[l][j]) / R[i][i].
void invert_rt(int n, double** A, const double* diag) {
  for (int i = 1; i <= n; ++i) {
    double* xi = A[i];
    for (int j = 1; j < i; ++j) xi[j] = 0.0;
    for (int l = 1; l < i; ++l) {
      const double rli = A[l][i];
      const double* xl = A[l];
      for (int j = 1; j <= l; ++j) xi[j] -= rli * xl[j];
    }
    for (int j = 1; j < i; ++j) xi[j] /= diag[i];
    xi[i] = 1.0 / diag[i];
  }
}

// Y = R^-1 X into the lower triangle (Y = A^-1 is symmetric, so its lower triangle
// suffices), rows from the last up: Y[i][j] = (X[i][j] - sum_{l>i} R[i][l] Y[l][j]) / R[i][i].
void multiply_r_inverse(int n, double** A, const double* diag) {
  for (int i = n; i >= 1; --i) {
    double* yi = A[i];
    for (int l = i + 1; l <= n; ++l) {
      const double ril = yi[l];
      const double* yl = A[l];
      for (int j = 1; j <= i; ++j) yi[j] -= ril * yl[j];
    }
    for (int j = 1; j <= i; ++j) yi[j] /= diag[i];
  }
}

}  // namespace

// Cholesky decomposition A = R^T R (Golub and Van Loan, Matrix Computations, sec. 4.2),
// built row by row into the upper triangle; then A^-1 = R^-1 R^-T and
// log10 det A = 2 sum log10 R[j][j].
int Cholin(double** A, double* b, double* diag, int n, int& status, double& logdet) {
  if (!factor(n, A, b)) {
    status = 1;
    return 0;
  }
  back_substitute(n, A, b);
  logdet = 0.0;
  for (int j = 1; j <= n; ++j) {
    diag[j] = A[j][j];
    logdet = std::log10(A[j][j]) + logdet;
  }
  logdet = logdet + logdet;
  invert_rt(n, A, diag);
  multiply_r_inverse(n, A, diag);
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j < i; ++j) A[j][i] = A[i][j];
  status = 0;
  return 0;
}

// Step i clears column i below and row i beside the diagonal with the elementary
// matrix E = I - (Q[j][i] / Q[i][i]) e_j e_i^T (j != i): Q <- E Q E^T, T <- E T.
void MtrsKsgnstr(int n, double** Q, double** T) {
  double** E = create_matrix(n, n);
  double** M = create_matrix(n, n);
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) T[i][j] = i == j ? 1.0 : 0.0;
  for (int i = 1; i < n; ++i) {
    for (int j = 1; j <= n; ++j) {
      for (int k = 1; k <= n; ++k) E[j][k] = 0.0;
      E[j][j] = 1.0;
      if (j != i) E[j][i] = -Q[j][i] / Q[i][i];
    }
    A_Q_AT_(n, E, n, Q, M);
    for (int j = 1; j <= n; ++j)
      for (int k = 1; k <= n; ++k) Q[j][k] = M[j][k];
    A_B_(n, E, n, n, T, n, M);
    for (int j = 1; j <= n; ++j)
      for (int k = 1; k <= n; ++k) T[j][k] = M[j][k];
  }
  free_matrix(M);
  free_matrix(E);
}
