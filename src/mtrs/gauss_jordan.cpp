// Gauss-Jordan elimination with full pivoting, its unpivoted variant and Gaussian
// reduction with back substitution.
//
// Full pivoting builds the inverse in place by setting each pivot element to 1 before
// its row is scaled; indices run 1..n on row-pointer storage. The pivot position
// starts at (1, 1), so a step that finds no candidate (NaN elements only) reuses a
// valid position; singular matrices are reported on standard output and the routine
// completes (gssjrdn alone stops and returns 1).
#include <algorithm>
#include <cmath>
#include <iostream>
#include <utility>
#include <vector>

#include "helmert2d/mtrs.h"

namespace {

enum class Fault { none, repeated_column, zero_pivot };

// Messages of the full-pivoting routines: gaussj reports and goes on, gssjrdn
// reports and stops.
void report(Fault fault, bool stop_on_fault) {
  if (stop_on_fault) {
    std::cout << (fault == Fault::repeated_column ? " \n Singular Matrix in GaussJ (1)\n\n"
                                                  : " \n Singular Matrix in GaussJ (2)\n\n");
  } else {
    std::cout << (fault == Fault::repeated_column ? "\n gaussj: Singular Matrix-1 \n\n"
                                                  : "\n gaussj: Singular Matrix-2 \n\n");
  }
}

struct Pivot {
  int row = 1;
  int col = 1;
};

// Largest |a[j][k]| over rows whose counter is not 1 and columns never pivoted; ties
// go to the last element met in row-major order. A column pivoted twice (possible only
// after NaN elements) is reported each time the scan meets it. Returns false when the
// caller stops on faults and such a column was met.
bool find_pivot(int n, double** a, const std::vector<int>& count, std::vector<int>& free_cols,
                Pivot& pivot, bool stop_on_fault) {
  free_cols.clear();
  bool repeated = false;
  for (int k = 1; k <= n; ++k) {
    if (count[k] == 0) free_cols.push_back(k);
    repeated = repeated || count[k] > 1;
  }
  // Magnitudes of doubles convert exactly to any wider type, so comparing them as
  // doubles orders them exactly as an extended-precision comparison would.
  double big = 0.0;
  for (int j = 1; j <= n; ++j) {
    if (count[j] == 1) continue;
    const double* row = a[j];
    if (repeated) {
      for (int k = 1; k <= n; ++k) {
        if (count[k] <= 1) continue;
        report(Fault::repeated_column, stop_on_fault);
        if (stop_on_fault) return false;
      }
    }
    for (int k : free_cols) {
      const double mag = std::fabs(row[k]);
      if (mag >= big) {
        big = mag;
        pivot = {j, k};
      }
    }
  }
  return true;
}

// Scales the pivot row and clears the pivot column in every other row; b may be null.
void eliminate(int n, double** a, double* b, int col) {
  const double pivinv = 1.0 / a[col][col];
  a[col][col] = 1.0;
  double* pr = a[col];
  for (int l = 1; l <= n; ++l) pr[l] *= pivinv;
  if (b != nullptr) b[col] *= pivinv;
  for (int r = 1; r <= n; ++r) {
    if (r == col) continue;
    double* row = a[r];
    const double dum = row[col];
    row[col] = 0.0;
    for (int l = 1; l <= n; ++l) row[l] -= pr[l] * dum;
    if (b != nullptr) b[r] -= b[col] * dum;
  }
}

// The full-pivoting elimination shared by gaussj and gssjrdn; b may be null.
// Returns 0 when done, 1 when stopped on a fault.
int full_pivot_gauss_jordan(int n, double** a, double* b, bool stop_on_fault) {
  if (n < 1) return 0;
  std::vector<int> count(n + 1, 0);
  std::vector<Pivot> step(n + 1);
  std::vector<int> free_cols;
  free_cols.reserve(n);
  Pivot pivot;
  for (int i = 1; i <= n; ++i) {
    if (!find_pivot(n, a, count, free_cols, pivot, stop_on_fault)) return 1;
    ++count[pivot.col];
    if (pivot.row != pivot.col) {
      std::swap_ranges(a[pivot.row] + 1, a[pivot.row] + n + 1, a[pivot.col] + 1);
      if (b != nullptr) std::swap(b[pivot.row], b[pivot.col]);
    }
    step[i] = pivot;
    if (a[pivot.col][pivot.col] == 0.0) {
      report(Fault::zero_pivot, stop_on_fault);
      if (stop_on_fault) return 1;
    }
    eliminate(n, a, b, pivot.col);
  }
  for (int l = n; l >= 1; --l) {
    if (step[l].row == step[l].col) continue;
    for (int k = 1; k <= n; ++k) std::swap(a[k][step[l].row], a[k][step[l].col]);
  }
  return 0;
}

}  // namespace

void gaussj(int n, double** a, double* b) {
  full_pivot_gauss_jordan(n, a, b, false);
}

void gaussj(int n, const double* const* A, double** B) {
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) B[i][j] = A[i][j];
  full_pivot_gauss_jordan(n, B, nullptr, false);
}

void gaussj(int n, double** a) {
  full_pivot_gauss_jordan(n, a, nullptr, false);
}

double** gaussj_(int n, const double* const* A) {
  double** B = create_matrix(n, n);
  gaussj(n, A, B);
  return B;
}

int gssjrdn(int n, double** a, double* b) {
  return full_pivot_gauss_jordan(n, a, b, true);
}

void gj_(int n, double** a, double* b) {
  for (int i = 1; i <= n; ++i) {
    if (a[i][i] == 0.0) {
      std::cout << "\n gaussj: Singular Matrix-2 \n\n";
      return;
    }
    eliminate(n, a, b, i);
  }
}

void GaussIndrgm(int n, double** A, double* b) {
  for (int i = 1; i <= n; ++i) {
    double* ai = A[i];
    const double c = ai[i];
    for (int k = 1; k <= n; ++k) ai[k] /= c;
    b[i] /= c;
    for (int j = i + 1; j <= n; ++j) {
      double* aj = A[j];
      const double e = aj[i] / ai[i];
      for (int k = i; k <= n; ++k) aj[k] -= e * ai[k];
      b[j] -= e * b[i];
    }
  }
  for (int i = n - 1; i >= 1; --i) {
    double s = 0.0;
    for (int j = i + 1; j <= n; ++j) s += A[i][j] * b[j];
    b[i] -= s;
  }
}
