// Matrix and vector products and sums on 1-based row-pointer storage.
//
// Loops run in row order over contiguous rows: the inner loop walks a row of the
// destination or of an operand. Every destination element is cleared and then receives
// its terms one by one in increasing order of the summation index, so the result is
// the same as that of the textbook element-by-element loop.
#include <iostream>

#include "helmert2d/mtrs.h"

namespace {

using CMat = const double* const*;

bool dimensions_agree(int inner_a, int inner_b) {
  if (inner_a == inner_b) return true;
  std::cout << "\n Matrisilerin boyutlar\375 uyumsuz ...! \n";
  return false;
}

// C (n x p) = A (n x m) * B (m x p), without a dimension check.
void multiply(int n, CMat A, int m, CMat B, int p, double** C) {
  for (int i = 1; i <= n; ++i) {
    double* c = C[i];
    for (int j = 1; j <= p; ++j) c[j] = 0.0;
    for (int k = 1; k <= m; ++k) {
      const double aik = A[i][k];
      const double* b = B[k];
      for (int j = 1; j <= p; ++j) c[j] += aik * b[j];
    }
  }
}

// C (n x p) = A (n x m) * transpose(B), B is p x m: dot products of two rows.
void multiply_bt(int n, CMat A, int m, CMat B, int p, double** C) {
  for (int i = 1; i <= n; ++i) {
    const double* a = A[i];
    for (int j = 1; j <= p; ++j) {
      const double* b = B[j];
      double& c = C[i][j];
      c = 0.0;
      for (int k = 1; k <= m; ++k) c += a[k] * b[k];
    }
  }
}

// C (m x p) = transpose(A) * B, A is n x m, B is n x p.
void multiply_at(int n, CMat A, int m, CMat B, int p, double** C) {
  for (int i = 1; i <= m; ++i) {
    double* c = C[i];
    for (int j = 1; j <= p; ++j) c[j] = 0.0;
    for (int k = 1; k <= n; ++k) {
      const double aki = A[k][i];
      const double* b = B[k];
      for (int j = 1; j <= p; ++j) c[j] += aki * b[j];
    }
  }
}

}  // namespace

void A_B_(int n, CMat A, int m, int mb, CMat B, int p, double** C) {
  if (dimensions_agree(m, mb)) multiply(n, A, m, B, p, C);
}

double** A_B_(int n, CMat A, int m, int mb, CMat B, int p) {
  double** C = create_matrix(n, p);
  A_B_(n, A, m, mb, B, p, C);
  return C;
}

void A_BT_(int n, CMat A, int m, int p, CMat B, int mb, double** C) {
  if (dimensions_agree(m, mb)) multiply_bt(n, A, m, B, p, C);
}

double** A_BT_(int n, CMat A, int m, int p, CMat B, int mb) {
  double** C = create_matrix(n, p);
  A_BT_(n, A, m, p, B, mb, C);
  return C;
}

void AT_B_(int n, CMat A, int m, int nb, CMat B, int p, double** C) {
  if (dimensions_agree(n, nb)) multiply_at(n, A, m, B, p, C);
}

double** AT_B_(int n, CMat A, int m, int nb, CMat B, int p) {
  double** C = create_matrix(m, p);
  AT_B_(n, A, m, nb, B, p, C);
  return C;
}

void A_b_(int n, CMat A, int m, const double* b, double* c) {
  for (int i = 1; i <= n; ++i) {
    const double* a = A[i];
    c[i] = 0.0;
    for (int k = 1; k <= m; ++k) c[i] += a[k] * b[k];
  }
}

double* A_b_(int n, CMat A, int m, const double* b) {
  double* c = create_vector(n);
  A_b_(n, A, m, b, c);
  return c;
}

void AT_b_(int n, CMat A, int m, const double* b, double* c) {
  for (int i = 1; i <= m; ++i) c[i] = 0.0;
  for (int k = 1; k <= n; ++k) {
    const double* a = A[k];
    const double bk = b[k];
    for (int i = 1; i <= m; ++i) c[i] += a[i] * bk;
  }
}

double* AT_b_(int n, CMat A, int m, const double* b) {
  double* c = create_vector(m);
  AT_b_(n, A, m, b, c);
  return c;
}

// Row i of A*Q*A^T is w^T A^T with w = row i of A*Q. Only the pairs (i, j <= i) are
// computed and mirrored: that is the value the later row of each pair would give.
void A_Q_AT_(int n, CMat A, int m, CMat Q, double** R) {
  double* w = create_vector(m);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= m; ++j) w[j] = 0.0;
    for (int k = 1; k <= m; ++k) {
      const double aik = A[i][k];
      const double* q = Q[k];
      for (int j = 1; j <= m; ++j) w[j] += aik * q[j];
    }
    for (int j = 1; j <= i; ++j) {
      const double* a = A[j];
      double s = 0.0;
      for (int k = 1; k <= m; ++k) s += w[k] * a[k];
      R[i][j] = s;
      R[j][i] = s;
    }
  }
  free_vector(w);
}

double** A_Q_AT_(int n, CMat A, int m, CMat Q) {
  double** R = create_matrix(n, n);
  A_Q_AT_(n, A, m, Q, R);
  return R;
}

// Row i of A^T*P*A is w^T A with w = column i of A times P; the second product is
// accumulated into row i of R so that both passes walk rows of A and P.
void AT_P_A_(int n, CMat A, int m, CMat P, double** R) {
  double* w = create_vector(n);
  for (int i = 1; i <= m; ++i) {
    for (int j = 1; j <= n; ++j) w[j] = 0.0;
    for (int k = 1; k <= n; ++k) {
      const double aki = A[k][i];
      const double* p = P[k];
      for (int j = 1; j <= n; ++j) w[j] += aki * p[j];
    }
    double* r = R[i];
    for (int j = 1; j <= i; ++j) r[j] = 0.0;
    for (int k = 1; k <= n; ++k) {
      const double wk = w[k];
      const double* a = A[k];
      for (int j = 1; j <= i; ++j) r[j] += wk * a[j];
    }
    for (int j = 1; j < i; ++j) R[j][i] = r[j];
  }
  free_vector(w);
}

double** AT_P_A_(int n, CMat A, int m, CMat P) {
  double** R = create_matrix(m, m);
  AT_P_A_(n, A, m, P, R);
  return R;
}

double aT_Q_a_(int n, const double* a, CMat Q) {
  double* w = null_vector(n);
  for (int j = 1; j <= n; ++j) {
    const double aj = a[j];
    const double* q = Q[j];
    for (int i = 1; i <= n; ++i) w[i] += aj * q[i];
  }
  double s = 0.0;
  for (int i = 1; i <= n; ++i) s += w[i] * a[i];
  free_vector(w);
  return s;
}

void Khatri_Rao(int ra, CMat A, int ca, int rb, CMat B, int cb, int& rows, double** C, int& cols) {
  if (ca != cb) {
    std::cout << "\n ! ..... Matrislerin Boyutlar\375 Khatri-Rao Carpimi Icin Uyusumsuz "
                 "...... ! \n";
    std::cout << "\n ! .. Matrixs Dimensions are not suitable for the Khatri-Rao Product "
                 ".. ! \n";
    return;
  }
  cols = ca;
  rows = 0;
  for (int i = 1; i <= ra; ++i) {
    for (int j = 1; j <= rb; ++j) {
      ++rows;
      for (int k = 1; k <= ca; ++k) C[rows][k] = A[i][k] * B[j][k];
    }
  }
}

void Kronecker(int ra, CMat A, int ca, int rb, CMat B, int cb, int& rows, double** C, int& cols) {
  rows = ra * rb;
  cols = ca * cb;
  for (int i = 1; i <= ra; ++i)
    for (int j = 1; j <= ca; ++j)
      for (int k = 1; k <= rb; ++k)
        for (int l = 1; l <= cb; ++l) C[(i - 1) * rb + k][(j - 1) * cb + l] = A[i][j] * B[k][l];
}

double** Cikar_(int r, int c, CMat A, CMat B) {
  double** C = create_matrix(r, c);
  for (int i = 1; i <= r; ++i)
    for (int j = 1; j <= c; ++j) C[i][j] = A[i][j] - B[i][j];
  return C;
}

double** Topla_(int r, int c, CMat A, CMat B) {
  double** C = create_matrix(r, c);
  for (int i = 1; i <= r; ++i)
    for (int j = 1; j <= c; ++j) C[i][j] = A[i][j] + B[i][j];
  return C;
}
