// Helpers for the matrix library tests: owning wrappers around the library's
// row-pointer storage, literal matrices, and capture of standard output.
#ifndef HELMERT2D_TESTS_SUPPORT_MATRIX_SUPPORT_H
#define HELMERT2D_TESTS_SUPPORT_MATRIX_SUPPORT_H

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <iostream>
#include <random>
#include <sstream>
#include <tuple>
#include <utility>
#include <vector>

#include "helmert2d/mtrs.h"
#include "support/temp_dir.h"

namespace mtrs_test {

// Owns a matrix made by create_matrix; converts to double** for the library calls.
class Mat {
 public:
  Mat(int r, int c) : r_(r), c_(c), m_(create_matrix(r, c)) {
    for (int i = 0; i <= r; ++i)
      for (int j = 0; j <= c; ++j) m_[i][j] = 0.0;
  }
  // Rows given from index 1.
  Mat(std::initializer_list<std::initializer_list<double>> rows)
      : Mat(static_cast<int>(rows.size()), static_cast<int>(rows.begin()->size())) {
    int i = 1;
    for (const auto& row : rows) {
      int j = 1;
      for (double x : row) m_[i][j++] = x;
      ++i;
    }
  }
  Mat(const Mat& o) : r_(o.r_), c_(o.c_), m_(copy_matrix(o.m_, o.r_, o.c_)) {}
  Mat& operator=(const Mat&) = delete;
  ~Mat() { free_matrix(m_); }
  operator double**() const { return m_; }
  double* operator[](int i) const { return m_[i]; }
  int rows() const { return r_; }
  int cols() const { return c_; }

 private:
  int r_, c_;
  double** m_;
};

// Owns a vector made by create_vector.
class Vec {
 public:
  explicit Vec(int n) : n_(n), v_(null_vector(n)) {}
  Vec(std::initializer_list<double> xs) : Vec(static_cast<int>(xs.size())) {
    int i = 1;
    for (double x : xs) v_[i++] = x;
  }
  Vec(const Vec& o) : n_(o.n_), v_(copy_vector(o.v_, o.n_)) {}
  Vec& operator=(const Vec&) = delete;
  ~Vec() { free_vector(v_); }
  operator double*() const { return v_; }
  int size() const { return n_; }

 private:
  int n_;
  double* v_;
};

// Redirects std::cout into a string for the lifetime of the object.
class CoutCapture {
 public:
  CoutCapture() : old_(std::cout.rdbuf(out_.rdbuf())) {}
  ~CoutCapture() { std::cout.rdbuf(old_); }
  std::string text() const { return out_.str(); }

 private:
  std::ostringstream out_;
  std::streambuf* old_;
};

using testsupport::count_of;

// Expects the listed elements {row, column, value} of a matrix, or {index, value} of a
// vector, within `tolerance` (0: exactly, for the finite values listed).
inline void expect_elements(double** m, std::initializer_list<std::tuple<int, int, double>> want,
                            double tolerance = 0) {
  for (const auto& [i, j, value] : want)
    EXPECT_NEAR(m[i][j], value, tolerance) << "element (" << i << ", " << j << ")";
}
inline void expect_entries(const double* v, std::initializer_list<std::pair<int, double>> want,
                           double tolerance = 0) {
  for (const auto& [i, value] : want) EXPECT_NEAR(v[i], value, tolerance) << "entry " << i;
}

// Random matrix with elements uniform in [-1, 1].
inline Mat random_matrix(std::mt19937& rng, int r, int c) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Mat m(r, c);
  for (int i = 1; i <= r; ++i)
    for (int j = 1; j <= c; ++j) m[i][j] = u(rng);
  return m;
}

// Well-conditioned symmetric positive definite matrix: B^T B / n + I.
inline Mat random_spd(std::mt19937& rng, int n) {
  Mat b = random_matrix(rng, n, n);
  Mat s(n, n);
  AT_B_(n, b, n, n, b, n, s);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) s[i][j] /= n;
    s[i][i] += 1.0;
  }
  return s;
}

// Largest |A B - I| over rows and columns 1..n.
inline double identity_defect(int n, double** A, double** B) {
  Mat p(n, n);
  A_B_(n, A, n, n, B, n, p);
  double worst = 0.0;
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) {
      const double e = p[i][j] - (i == j ? 1.0 : 0.0);
      worst = std::max(worst, e < 0 ? -e : e);
    }
  return worst;
}

inline double max_difference(int r, int c, double** A, double** B) {
  double worst = 0.0;
  for (int i = 1; i <= r; ++i)
    for (int j = 1; j <= c; ++j) {
      const double e = A[i][j] - B[i][j];
      worst = std::max(worst, e < 0 ? -e : e);
    }
  return worst;
}

}  // namespace mtrs_test

#endif  // HELMERT2D_TESTS_SUPPORT_MATRIX_SUPPORT_H
