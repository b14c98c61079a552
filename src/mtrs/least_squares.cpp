// Least-squares drivers: observation equations with and without weights, minimum-norm
// solution of under-determined systems, sequential adjustment and homogeneous systems.
//
// Model l + v = A x, v^T P v minimum: N = A^T P A, x = N^-1 A^T P l, Qxx = N^-1,
// Qvv = P^-1 - A Qxx A^T, m0^2 = v^T P v / (n - u) (the Gauss-Markov model).
// Sequentially, v^T P v = l^T P l - x^T N x from the accumulated sums.
#include <cmath>
#include <fstream>

#include "helmert2d/mtrs.h"
#include "helmert2d/yzdr.h"

namespace {

using CMat = const double* const*;

// v = A x - l, the residuals.
void residuals(int n, CMat A, int u, const double* x, const double* l, double* v) {
  A_b_(n, A, u, x, v);
  for (int i = 1; i <= n; ++i) v[i] = v[i] - l[i];
}

// Qvv[i][j] = -M[i][j] off the diagonal; Qvv[i][i] = diagonal[i] - M[i][i] where the
// caller has left the diagonal term in Qvv[i][i].
void subtract_projection(int n, double** M, double** Qvv) {
  for (int i = 1; i <= n; ++i) {
    for (int j = i + 1; j <= n; ++j) {
      Qvv[i][j] = -M[i][j];
      Qvv[j][i] = Qvv[i][j];
    }
    Qvv[i][i] = Qvv[i][i] - M[i][i];
  }
}

}  // namespace

void gssdnsm(int n, CMat A, int u, const double* l, double** N, double* x) {
  AT_B_(n, A, u, n, A, u, N);
  AT_b_(n, A, u, l, x);
  gaussj(u, N, x);
}

void lgrngdnsm(int n, CMat A, int u, double* l, double** N, double* x) {
  double** M = A_BT_(n, A, u, n, A, u);
  gaussj(n, M, l);
  AT_b_(n, A, u, l, x);
  AT_P_A_(n, A, u, M, N);
  free_matrix(M);
}

void Cozum(int n, CMat A, int u, double* l, double** N, double* x) {
  if (n < u) {
    lgrngdnsm(n, A, u, l, N, x);
  } else if (n > u) {
    gssdnsm(n, A, u, l, N, x);
  } else {
    gaussj(n, A, N);
    A_b_(n, N, n, l, x);
  }
}

// The product A^T P (u x n) lives in a work matrix of its own, so any u and n are
// safe.
void EKK_(int n, CMat A, int u, const double* l, CMat P, double** N, double* x, double** Qvv,
          double* v) {
  double** AtP = AT_B_(n, A, u, n, P, n);
  A_B_(u, AtP, n, n, A, u, N);
  A_b_(u, AtP, n, l, x);
  free_matrix(AtP);
  gaussj(u, N, x);
  residuals(n, A, u, x, l, v);
  double** M = A_Q_AT_(n, A, u, N);
  gaussj(n, P, Qvv);
  subtract_projection(n, M, Qvv);
  free_matrix(M);
}

void EKK_(int n, CMat A, int u, const double* l, double** N, double* x, double** Qvv, double* v) {
  AT_B_(n, A, u, n, A, u, N);
  AT_b_(n, A, u, l, x);
  gaussj(u, N, x);
  residuals(n, A, u, x, l, v);
  double** M = A_Q_AT_(n, A, u, N);
  for (int i = 1; i <= n; ++i) Qvv[i][i] = 1.0;
  subtract_projection(n, M, Qvv);
  free_matrix(M);
}

void EKK_(std::ostream& /*report*/, int n, CMat A, int u, const double* l, double** N, double* x,
          double** Qvv, double* v) {
  EKK_(n, A, u, l, N, x, Qvv, v);
}

namespace {

// Adds the batch A (m x u), l, P to N += A^T P A, g += A^T P l, N[0][0] += l^T P l;
// count 0 starts the sums afresh.
void accumulate(int& count, int u, double** N, double* g, int m, CMat A, const double* l, CMat P) {
  if (count == 0) {
    for (int i = 1; i <= u; ++i) {
      for (int j = 1; j <= u; ++j) N[i][j] = 0.0;
      g[i] = 0.0;
    }
    N[0][0] = 0.0;
  }
  count += m;
  double** W = AT_B_(m, A, u, m, P, m);
  double* w = create_vector(u);
  for (int i = 1; i <= u; ++i) {
    for (int j = 1; j <= u; ++j) w[j] = 0.0;
    for (int k = 1; k <= m; ++k) {
      const double wik = W[i][k];
      for (int j = 1; j <= u; ++j) w[j] += wik * A[k][j];
    }
    for (int j = 1; j <= u; ++j) N[i][j] += w[j];
  }
  A_b_(u, W, m, l, w);
  for (int i = 1; i <= u; ++i) g[i] += w[i];
  N[0][0] += aT_Q_a_(m, l, P);
  free_vector(w);
  free_matrix(W);
}

// K = N^-1, x = K g, K[0][0] = (l^T P l - x^T N x) / redundancy = m0^2.
void solve_normal(int u, double** N, const double* g, int redundancy, double* x, double** K) {
  gaussj(u, N, K);
  AT_b_(u, K, u, g, x);
  K[0][0] = (N[0][0] - aT_Q_a_(u, x, N)) / redundancy;
}

}  // namespace

void ArdskEKK(int& count, int u, double** N, double* g, int m, CMat A, const double* l, CMat P,
              double* x, double** K) {
  accumulate(count, u, N, g, m, A, l, P);
  if (count <= u) return;
  solve_normal(u, N, g, count - u, x, K);
  for (int i = 1; i <= u; ++i)
    for (int j = 1; j <= u; ++j) K[i][j] *= K[0][0];
}

void ArdskEKK(int total, int u, double** N, double* g, int& count, int m, CMat A, const double* l,
              CMat P, double* x, double** K) {
  accumulate(count, u, N, g, m, A, l, P);
  if (count != total) return;
  solve_normal(u, N, g, total - u, x, K);
  std::ofstream out("c1.dat", std::ios::out | std::ios::trunc);
  if (!out) return;
  PrntMtrsVktr(out, u, u, "Qxx", K, "###.0000", "x", x, "######.0000", "Ucg");
}

// Fixing x[n] = 1 turns the first n - 1 equations into a regular system for
// x[1..n-1]; the result is then scaled to unit length.
void Homojen(int n, CMat A, double* x) {
  if (n < 1) return;
  double** M = create_matrix(n - 1, n - 1);
  for (int i = 1; i < n; ++i) {
    for (int j = 1; j < n; ++j) M[i][j] = A[i][j];
    x[i] = -A[i][n];
  }
  gaussj(n - 1, M, x);
  x[n] = 1.0;
  double s = 0.0;
  for (int i = 1; i <= n; ++i) s += x[i] * x[i];
  const double norm = std::sqrt(s);
  for (int i = 1; i <= n; ++i) x[i] = x[i] / norm;
  free_matrix(M);
}
