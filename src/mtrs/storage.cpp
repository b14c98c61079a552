// Creation, initialisation, copying and release of 1-based row-pointer matrices and
// vectors. A matrix costs two allocations whatever its size: the row pointers and one
// contiguous element block.
#include <algorithm>
#include <cstddef>
#include <new>

#include "helmert2d/mtrs.h"

namespace {

// Row pointers into one block of (r + 1) * (c + 1) elements. `new` throws
// std::bad_alloc (std::bad_array_new_length for a negative or unrepresentable size).
// The larger element block is taken first and released again if the row pointers
// cannot be had.
template <typename T>
T** make_matrix(int r, int c) {
  if (r < 0 || c < 0) throw std::bad_array_new_length();
  const std::size_t rows = static_cast<std::size_t>(r) + 1;
  const std::size_t cols = static_cast<std::size_t>(c) + 1;
  T* block = new T[rows * cols];
  T** m = nullptr;
  try {
    m = new T*[rows];
  } catch (...) {
    delete[] block;
    throw;
  }
  for (std::size_t i = 0; i < rows; ++i) m[i] = block + i * cols;
  return m;
}

template <typename T>
T* make_vector(int n) {
  if (n < 0) throw std::bad_array_new_length();
  return new T[static_cast<std::size_t>(n) + 1];
}

template <typename T>
void release_matrix(T** m) {
  if (m == nullptr) return;
  delete[] m[0];
  delete[] m;
}

}  // namespace

double** create_matrix(int r, int c) {
  return make_matrix<double>(r, c);
}
int** create_matint(int r, int c) {
  return make_matrix<int>(r, c);
}
char** create_matchr(int r, int c) {
  return make_matrix<char>(r, c);
}
double* create_vector(int n) {
  return make_vector<double>(n);
}
int* create_vectint(int n) {
  return make_vector<int>(n);
}
char* create_vectchr(int n) {
  return make_vector<char>(n);
}

double** identity_matrix(int n) {
  double** m = null_matrix(n, n);
  for (int i = 0; i <= n; ++i) m[i][i] = 1.0;
  return m;
}

double** null_matrix(int r, int c) {
  double** m = create_matrix(r, c);
  std::fill_n(m[0], (static_cast<std::size_t>(r) + 1) * (static_cast<std::size_t>(c) + 1), 0.0);
  return m;
}

double* null_vector(int n) {
  double* v = create_vector(n);
  std::fill_n(v, static_cast<std::size_t>(n) + 1, 0.0);
  return v;
}

double** copy_matrix(const double* const* A, int r, int c) {
  double** m = create_matrix(r, c);
  for (int i = 0; i <= r; ++i) std::copy_n(A[i], static_cast<std::size_t>(c) + 1, m[i]);
  return m;
}

double* copy_vector(const double* v, int n) {
  double* w = create_vector(n);
  std::copy_n(v, static_cast<std::size_t>(n) + 1, w);
  return w;
}

void free_matrix(double** m) {
  release_matrix(m);
}
void free_matrix(int** m) {
  release_matrix(m);
}
void free_matchr(char** m) {
  release_matrix(m);
}
void free_vector(double* v) {
  delete[] v;
}
void free_vectint(int* v) {
  delete[] v;
}
void free_vectchr(char* v) {
  delete[] v;
}
