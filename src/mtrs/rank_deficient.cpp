// Pseudo-inverse of a symmetric positive semi-definite matrix with a rank defect that
// the routine finds itself.
//
// With N = [N11 N12; N12^T N22], N11 the regular leading block of order r = n - d and
// B = N11^-1 N12, C = (I + B^T B)^-1, the Moore-Penrose inverse of N is
//   N+ = [I; B^T] W11 [I, B],  W11 = (I - B C B^T) N11^-1 (I - B C B^T),
// because the columns of N are N = [I; B^T] N11 [I, B] when the last d columns depend
// on the first r.
#include <algorithm>
#include <iostream>

#include "helmert2d/mtrs.h"

namespace {

struct Work {
  int n, r, d;
  double** W;  // the full matrix, then the blocks of the result
  double** Q;  // scratch and output
  double* b;
  double* diag;
};

// Inverts the leading block Q[1..order][1..order] with Cholin; false when singular.
bool cholesky_inverse(Work& w, int order) {
  int status = 0;
  double logdet = 0.0;
  for (int i = 1; i <= order; ++i) w.b[i] = 1.0;
  Cholin(w.Q, w.b, w.diag, order, status, logdet);
  return status == 0;
}

// Grows the defect d until the leading block of order n - d factors.
void find_rank(Work& w) {
  for (;;) {
    w.r = w.n - w.d;
    for (int i = 1; i <= w.r; ++i) std::copy_n(w.W[i] + 1, w.r, w.Q[i] + 1);
    if (cholesky_inverse(w, w.r)) return;
    ++w.d;
    std::cout << "  Rang Bozuklugu ...: " << w.d << '\n';
  }
}

// Element accessors for the blocks of W (1-based within each block).
double& W11(Work& w, int i, int j) {
  return w.W[i][j];
}
double& W12(Work& w, int i, int j) {
  return w.W[i][w.r + j];
}
double& W21(Work& w, int i, int j) {
  return w.W[w.r + i][j];
}
double& W22(Work& w, int i, int j) {
  return w.W[w.r + i][w.r + j];
}

// Steps B = N11^-1 N12 and C = (I + B^T B)^-1; false when C cannot be formed.
bool form_b_and_c(Work& w) {
  const int r = w.r, d = w.d;
  for (int i = 1; i <= r; ++i)
    for (int j = 1; j <= d; ++j) {
      double s = 0.0;
      for (int k = 1; k <= r; ++k) s += W11(w, i, k) * W12(w, k, j);
      w.Q[i][j] = s;
    }
  for (int i = 1; i <= r; ++i)
    for (int j = 1; j <= d; ++j) W12(w, i, j) = w.Q[i][j];
  for (int i = 1; i <= d; ++i)
    for (int j = 1; j <= d; ++j) {
      double s = 0.0;
      for (int k = 1; k <= r; ++k) s += W12(w, k, i) * W12(w, k, j);
      w.Q[i][j] = s + (i == j ? 1.0 : 0.0);
    }
  return cholesky_inverse(w, d);
}

// W11 <- (I - B C B^T) W11 (I - B C B^T) with B in W12 and C in Q[1..d][1..d].
void project_w11(Work& w) {
  const int r = w.r, d = w.d;
  double** Q = w.Q;
  // E = B C in Q rows d+1..d+r; F = W11 E stored transposed in W21.
  for (int i = 1; i <= r; ++i)
    for (int j = 1; j <= d; ++j) {
      double s = 0.0;
      for (int k = 1; k <= d; ++k) s += W12(w, i, k) * Q[k][j];
      Q[d + i][j] = s;
    }
  for (int i = 1; i <= r; ++i)
    for (int j = 1; j <= d; ++j) {
      double s = 0.0;
      for (int k = 1; k <= r; ++k) s += W11(w, i, k) * Q[d + k][j];
      W21(w, j, i) = s;
    }
  // W11 -= B F^T + F B^T.
  for (int i = 1; i <= r; ++i)
    for (int j = 1; j <= r; ++j) {
      double s = 0.0;
      for (int k = 1; k <= d; ++k) s += W12(w, i, k) * W21(w, k, j) + W21(w, k, i) * W12(w, j, k);
      W11(w, i, j) -= s;
    }
  // W22 = F^T E; G = B W22^T in Q[1..r][1..d]; W11 += G B^T.
  for (int i = 1; i <= d; ++i)
    for (int j = 1; j <= d; ++j) {
      double s = 0.0;
      for (int k = 1; k <= r; ++k) s += W21(w, i, k) * Q[d + k][j];
      W22(w, i, j) = s;
    }
  for (int i = 1; i <= r; ++i)
    for (int j = 1; j <= d; ++j) {
      double s = 0.0;
      for (int k = 1; k <= d; ++k) s += W12(w, i, k) * W22(w, j, k);
      Q[i][j] = s;
    }
  for (int i = 1; i <= r; ++i)
    for (int j = 1; j <= r; ++j) {
      double s = 0.0;
      for (int k = 1; k <= d; ++k) s += Q[i][k] * W12(w, j, k);
      W11(w, i, j) += s;
    }
}

// W12 = W11 B, W21 = W12^T, W22 = B^T W11 B, with B copied back into Q[1..r][1..d].
void expand_blocks(Work& w) {
  const int r = w.r, d = w.d;
  double** Q = w.Q;
  for (int i = 1; i <= r; ++i)
    for (int j = 1; j <= d; ++j) Q[i][j] = W12(w, i, j);
  for (int i = 1; i <= r; ++i)
    for (int j = 1; j <= d; ++j) {
      double s = 0.0;
      for (int k = 1; k <= r; ++k) s += W11(w, i, k) * Q[k][j];
      W12(w, i, j) = s;
      W21(w, j, i) = s;
    }
  for (int i = 1; i <= d; ++i)
    for (int j = 1; j <= d; ++j) {
      double s = 0.0;
      for (int k = 1; k <= r; ++k) s += Q[k][i] * W12(w, k, j);
      W22(w, i, j) = s;
    }
}

}  // namespace

int Inver3(int n, int& d, const double* const* A, double** Q) {
  if (n < 0) return 0;
  d = std::clamp(d, 0, n);
  Work w{n, n - d, d, create_matrix(n, n), Q, create_vector(n), create_vector(n)};
  for (int i = 1; i <= n; ++i)
    for (int j = i; j <= n; ++j) w.W[i][j] = w.W[j][i] = A[i][j];
  find_rank(w);
  std::cout << "  Ters Alma Islemi Basladi" << '\n';
  for (int i = 1; i <= w.r; ++i)
    for (int j = i; j <= w.r; ++j) w.W[i][j] = w.W[j][i] = Q[i][j];
  if (w.d > 0 && form_b_and_c(w)) {
    project_w11(w);
    expand_blocks(w);
  }
  for (int i = 1; i <= n; ++i) std::copy_n(w.W[i] + 1, n, Q[i] + 1);
  d = w.d;
  free_vector(w.diag);
  free_vector(w.b);
  free_matrix(w.W);
  return 0;
}
