// Matrix printing: titled tables of matrices, optionally with a vector beside them.
#include <cstring>
#include <string>

#include "helmert2d/yzdr.h"

namespace {

int text_length(const char* s) {
  return static_cast<int>(std::strlen(s));
}

// Leading spaces that centre `title` over `width` characters; the extra character of
// an odd remainder goes to the right. Negative for a title wider than the field.
int pad(const char* title, int width) {
  return width / 2 - text_length(title) / 2;
}

void spaces(std::ostream& os, int count) {
  if (count > 0) os << std::string(static_cast<std::size_t>(count), ' ');
}

void rule(std::ostream& os, int count) {
  if (count > 0) os << std::string(static_cast<std::size_t>(count), '=');
}

// Cells of row i; below the diagonal blank in the triangle mode.
void matrix_row(std::ostream& os, int i, int cols, const double* const* A, const char* mask,
                bool triangle) {
  const int w = text_length(mask);
  for (int j = 1; j <= cols; ++j) {
    if (triangle && i > j) {
      spaces(os, w);
    } else {
      frmt(os, A[i][j], mask);
    }
  }
}

bool triangle_mode(const char* mode) {
  return std::strcmp(mode, "Ucg") == 0;
}

}  // namespace

void PrntMtrs(std::ostream& os, int rows, int cols, const char* title, const double* const* A,
              const char* mask, const char* mode) {
  const int width = cols * text_length(mask);
  const bool triangle = triangle_mode(mode);
  os << '\n';
  spaces(os, pad(title, width));
  os << title;
  spaces(os, pad(title, width));
  os << '\n';
  rule(os, width);
  os << '\n';
  for (int i = 1; i <= rows; ++i) {
    matrix_row(os, i, cols, A, mask, triangle);
    os << '\n';
  }
  rule(os, width);
  os << '\n';
}

void PrntMtrsVktr(std::ostream& os, int rows, int cols, const char* title, const double* const* A,
                  const char* mask, const char* title2, const double* b, const char* mask2,
                  const char* mode) {
  const int width = cols * text_length(mask);
  const int width2 = text_length(mask2);
  const bool triangle = triangle_mode(mode);
  os << '\n';
  spaces(os, pad(title, width));
  os << title;
  spaces(os, pad(title, width));
  os << "  ";
  spaces(os, pad(title2, width2));
  os << title2 << '\n';
  rule(os, width);
  os << "  ";
  rule(os, width2);
  os << '\n';
  for (int i = 1; i <= rows; ++i) {
    matrix_row(os, i, cols, A, mask, triangle);
    os << "  ";
    frmt(os, b[i], mask2);
    os << '\n';
  }
  rule(os, width);
  os << "  ";
  rule(os, width2);
  os << '\n';
}
