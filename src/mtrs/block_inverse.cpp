// Two-block inversion of a symmetric matrix.
#include "helmert2d/mtrs.h"

namespace {

// New rows x cols matrix holding A[r0+1..r0+rows][c0+1..c0+cols].
double** block(double** A, int r0, int rows, int c0, int cols) {
  double** B = create_matrix(rows, cols);
  for (int i = 1; i <= rows; ++i)
    for (int j = 1; j <= cols; ++j) B[i][j] = A[r0 + i][c0 + j];
  return B;
}

}  // namespace

// Inverse of N = [N11 N12; N12^T N22] through the Schur complement
// S = N22 - N12^T N11^-1 N12 (block inversion formula): with T = N11^-1 N12,
// P = S^-1 and U = T P the inverse is [N11^-1 + U T^T, -U; -U^T, P].
// N11 has order (n + 1) / 2, N22 order n / 2; the lower-left block of A is not read.
void SimBlk_gaussj(int n, double** A) {
  if (n < 1) return;
  const int p = (n + 1) / 2;
  const int q = n - p;
  double** N11 = block(A, 0, p, 0, p);
  double** N12 = block(A, 0, p, p, q);
  double** N22 = block(A, p, q, p, q);
  gaussj(p, N11);
  double** T = create_matrix(p, q);
  A_B_(p, N11, p, p, N12, q, T);
  double** NtT = AT_B_(p, N12, q, p, T, q);
  double** S = Cikar_(q, q, N22, NtT);
  double** P = gaussj_(q, S);
  double** U = A_B_(p, T, q, q, P, q);
  double** UTt = A_BT_(p, U, q, p, T, q);
  double** R = Topla_(p, p, N11, UTt);
  for (int i = 1; i <= p; ++i)
    for (int j = 1; j <= p; ++j) A[i][j] = R[i][j];
  for (int i = 1; i <= p; ++i) {
    for (int j = 1; j <= q; ++j) {
      A[p + j][i] = -U[i][j];
      A[i][p + j] = A[p + j][i];
    }
  }
  for (int i = 1; i <= q; ++i)
    for (int j = 1; j <= q; ++j) A[p + i][p + j] = P[i][j];
  for (double** m : {N11, N12, N22, T, NtT, S, P, U, UTt, R}) free_matrix(m);
}
