// Determinant by condensation.
#include "helmert2d/mtrs.h"

namespace {

double integer_power(double x, int e) {
  double r = 1.0;
  for (int i = 0; i < e; ++i) r *= x;
  return r;
}

}  // namespace

// Chio's condensation (F. Chio, 1853): det M = det W / m11^(s-2) for the (s-1)-order
// matrix W[j][k] = m11 m(j+1)(k+1) - m1(k+1) m(j+1)1; repeated down to order 2.
// Orders below 2 are answered directly (the condensation itself needs two rows).
double DetChio(const double* const* A, int n) {
  if (n <= 0) return 1.0;
  if (n == 1) return A[1][1];
  double** M = copy_matrix(A, n, n);
  double** W = create_matrix(n, n);
  double f = 1.0;
  for (int i = 1; i <= n - 2; ++i) {
    const int s = n - i + 1;
    const double m11 = M[1][1];
    f /= integer_power(m11, s - 2);
    for (int j = 1; j <= s - 1; ++j) {
      const double mj1 = M[j + 1][1];
      for (int k = 1; k <= s - 1; ++k) W[j][k] = m11 * M[j + 1][k + 1] - M[1][k + 1] * mj1;
    }
    for (int j = 1; j <= s - 1; ++j)
      for (int k = 1; k <= s - 1; ++k) M[j][k] = W[j][k];
  }
  const double det = (M[1][1] * M[2][2] - M[1][2] * M[2][1]) * f;
  free_matrix(W);
  free_matrix(M);
  return det;
}
