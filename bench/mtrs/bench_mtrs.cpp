// Times gaussj (inversion), Cholin (factor, solve, inverse) and AT_P_A_ at n = 100, 300
// and 1000 against textbook loops on row-major arrays and, when linked, the reference
// LAPACK (dgetrf + dgetri, dpotrf + dpotri) and BLAS (two dgemm calls).
// Each time is the best of several runs (one run at n = 1000); every result is checked
// against its reference so that a fast wrong answer cannot pass unnoticed.
//
// Usage: bench_mtrs [n ...]   (default 100 300 1000); prints a Markdown table.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

#include "helmert2d/mtrs.h"

#if HELMERT2D_BENCH_WITH_LAPACK
extern "C" {
void dgetrf_(const int* m, const int* n, double* a, const int* lda, int* ipiv, int* info);
void dgetri_(const int* n, double* a, const int* lda, const int* ipiv, double* work,
             const int* lwork, int* info);
void dpotrf_(const char* uplo, const int* n, double* a, const int* lda, int* info);
void dpotri_(const char* uplo, const int* n, double* a, const int* lda, int* info);
void dgemm_(const char* ta, const char* tb, const int* m, const int* n, const int* k,
            const double* alpha, const double* a, const int* lda, const double* b, const int* ldb,
            const double* beta, double* c, const int* ldc);
}
#endif

namespace {

using Dense = std::vector<double>;  // n x n, row-major, 0-based

double seconds_best_of(int runs, const std::function<void()>& setup,
                       const std::function<void()>& work) {
  double best = 1e300;
  for (int r = 0; r < runs; ++r) {
    setup();
    const auto t0 = std::chrono::steady_clock::now();
    work();
    const auto t1 = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
  }
  return best;
}

// Symmetric positive definite test matrix B^T B / n + I, row-major.
Dense spd_matrix(int n, std::mt19937& rng) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Dense b(static_cast<std::size_t>(n) * n), a(b.size(), 0.0);
  for (double& x : b) x = u(rng);
  for (int i = 0; i < n; ++i)
    for (int k = 0; k < n; ++k)
      for (int j = 0; j < n; ++j) a[i * n + j] += b[k * n + i] * b[k * n + j] / n;
  for (int i = 0; i < n; ++i) a[i * n + i] += 1.0;
  return a;
}

void load(const Dense& src, int n, double** dst) {
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) dst[i][j] = src[(i - 1) * n + (j - 1)];
}

double max_diff(const Dense& ref, int n, double** m) {
  double worst = 0.0;
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j)
      worst = std::max(worst, std::fabs(ref[(i - 1) * n + (j - 1)] - m[i][j]));
  return worst;
}

// Textbook Gauss-Jordan inversion with partial pivoting on the augmented [A | I].
void naive_inverse(Dense& a, int n, Dense& inv) {
  const int w = 2 * n;
  Dense g(static_cast<std::size_t>(n) * w, 0.0);
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) g[i * w + j] = a[i * n + j];
    g[i * w + n + i] = 1.0;
  }
  for (int c = 0; c < n; ++c) {
    int p = c;
    for (int r = c + 1; r < n; ++r)
      if (std::fabs(g[r * w + c]) > std::fabs(g[p * w + c])) p = r;
    for (int j = 0; j < w; ++j) std::swap(g[c * w + j], g[p * w + j]);
    const double piv = g[c * w + c];
    for (int j = 0; j < w; ++j) g[c * w + j] /= piv;
    for (int r = 0; r < n; ++r) {
      if (r == c) continue;
      const double f = g[r * w + c];
      for (int j = 0; j < w; ++j) g[r * w + j] -= f * g[c * w + j];
    }
  }
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) inv[i * n + j] = g[i * w + n + j];
}

// Textbook Cholesky (Cholesky-Banachiewicz, L row by row), then the inverse column by
// column from L L^T x = e_j.
void naive_cholesky_inverse(const Dense& a, int n, Dense& inv) {
  Dense l(static_cast<std::size_t>(n) * n, 0.0);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) {
      double s = a[i * n + j];
      for (int k = 0; k < j; ++k) s -= l[i * n + k] * l[j * n + k];
      l[i * n + j] = i == j ? std::sqrt(s) : s / l[j * n + j];
    }
  std::vector<double> y(n);
  for (int c = 0; c < n; ++c) {
    for (int i = 0; i < n; ++i) {
      double s = i == c ? 1.0 : 0.0;
      for (int k = 0; k < i; ++k) s -= l[i * n + k] * y[k];
      y[i] = s / l[i * n + i];
    }
    for (int i = n - 1; i >= 0; --i) {
      double s = y[i];
      for (int k = i + 1; k < n; ++k) s -= l[k * n + i] * inv[k * n + c];
      inv[i * n + c] = s / l[i * n + i];
    }
  }
}

// Textbook triple loops: T = A^T P, then R = T A, element by element.
void naive_atpa(const Dense& a, const Dense& p, int n, Dense& r) {
  Dense t(static_cast<std::size_t>(n) * n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      double s = 0.0;
      for (int k = 0; k < n; ++k) s += a[k * n + i] * p[k * n + j];
      t[i * n + j] = s;
    }
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      double s = 0.0;
      for (int k = 0; k < n; ++k) s += t[i * n + k] * a[k * n + j];
      r[i * n + j] = s;
    }
}

struct Row {
  const char* routine;
  int n;
  double library, naive, lapack, check;
};

void print_row(const Row& r) {
  std::printf("| `%s` | %d | %.4f | %.4f | ", r.routine, r.n, r.library, r.naive);
  if (r.lapack >= 0) {
    std::printf("%.4f | %.1e |\n", r.lapack, r.check);
  } else {
    std::printf("n/a | %.1e |\n", r.check);
  }
}

int runs_for(int n) {
  return n <= 100 ? 20 : (n <= 300 ? 3 : 1);
}

Row bench_gaussj(int n, std::mt19937& rng) {
  const Dense a = spd_matrix(n, rng);
  double** m = create_matrix(n, n);
  Dense work, ref(a.size());
  Row row{"gaussj", n, 0, 0, -1, 0};
  const int runs = runs_for(n);
  row.library = seconds_best_of(
      runs, [&] { load(a, n, m); }, [&] { gaussj(n, m); });
  row.naive = seconds_best_of(
      runs, [&] { work = a; }, [&] { naive_inverse(work, n, ref); });
  row.check = max_diff(ref, n, m);
#if HELMERT2D_BENCH_WITH_LAPACK
  std::vector<int> ipiv(n);
  Dense lwork(static_cast<std::size_t>(n) * 64);
  const int lw = static_cast<int>(lwork.size());
  row.lapack = seconds_best_of(
      runs, [&] { work = a; },
      [&] {
        int info = 0;
        dgetrf_(&n, &n, work.data(), &n, ipiv.data(), &info);
        dgetri_(&n, work.data(), &n, ipiv.data(), lwork.data(), &lw, &info);
      });
#endif
  free_matrix(m);
  return row;
}

Row bench_cholin(int n, std::mt19937& rng) {
  const Dense a = spd_matrix(n, rng);
  double** m = create_matrix(n, n);
  double* b = create_vector(n);
  double* diag = create_vector(n);
  Dense ref(a.size()), work;
  Row row{"Cholin", n, 0, 0, -1, 0};
  const int runs = runs_for(n);
  int status = 0;
  double logdet = 0.0;
  row.library = seconds_best_of(
      runs,
      [&] {
        load(a, n, m);
        for (int i = 1; i <= n; ++i) b[i] = 1.0;
      },
      [&] { Cholin(m, b, diag, n, status, logdet); });
  row.naive = seconds_best_of(
      runs, [] {}, [&] { naive_cholesky_inverse(a, n, ref); });
  row.check = max_diff(ref, n, m);
#if HELMERT2D_BENCH_WITH_LAPACK
  row.lapack = seconds_best_of(
      runs, [&] { work = a; },
      [&] {
        int info = 0;
        dpotrf_("U", &n, work.data(), &n, &info);
        dpotri_("U", &n, work.data(), &n, &info);
      });
#endif
  free_vector(diag);
  free_vector(b);
  free_matrix(m);
  return row;
}

Row bench_atpa(int n, std::mt19937& rng) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Dense a(static_cast<std::size_t>(n) * n), p = spd_matrix(n, rng), ref(a.size());
  for (double& x : a) x = u(rng);
  double** ma = create_matrix(n, n);
  double** mp = create_matrix(n, n);
  double** r = create_matrix(n, n);
  load(a, n, ma);
  load(p, n, mp);
  Row row{"AT_P_A_", n, 0, 0, -1, 0};
  const int runs = runs_for(n);
  row.library = seconds_best_of(
      runs, [] {}, [&] { AT_P_A_(n, ma, n, mp, r); });
  row.naive = seconds_best_of(
      runs, [] {}, [&] { naive_atpa(a, p, n, ref); });
  row.check = max_diff(ref, n, r);
#if HELMERT2D_BENCH_WITH_LAPACK
  Dense t(a.size()), out(a.size());
  row.lapack = seconds_best_of(
      runs, [] {},
      [&] {
        // BLAS reads the row-major arrays as their transposes: the first call gives
        // t = P^T A (column-major), the second A^T t = A^T P A, P being symmetric.
        const double one = 1.0, zero = 0.0;
        dgemm_("N", "T", &n, &n, &n, &one, p.data(), &n, a.data(), &n, &zero, t.data(), &n);
        dgemm_("N", "N", &n, &n, &n, &one, a.data(), &n, t.data(), &n, &zero, out.data(), &n);
      });
#endif
  free_matrix(r);
  free_matrix(mp);
  free_matrix(ma);
  return row;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {100, 300, 1000};
  std::mt19937 rng(1);
  std::printf("| routine | n | library (s) | textbook loops (s) | LAPACK/BLAS (s) | max diff |\n");
  std::printf("|---|---|---|---|---|---|\n");
  for (int n : sizes) {
    print_row(bench_gaussj(n, rng));
    print_row(bench_cholin(n, rng));
    print_row(bench_atpa(n, rng));
    std::fflush(stdout);
  }
  return 0;
}
