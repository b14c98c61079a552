// Point-in-polygon tests: a single polygon, and every polygon of a polygon file.
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "../Ha_xy_vb/coordinate_file.h"
#include "helmert2d/grafik.h"

int pnpoly(int m, const double* A, const double* B, double a, double b) {
  // Franklin's crossing test: count the edges crossed by the ray from (a, b) toward
  // increasing a. The half-open test on B makes a vertex count for one edge only.
  int inside = 0;
  for (int i = 0, j = m - 1; i < m; j = i++) {
    if (((B[i] <= b && b < B[j]) || (B[j] <= b && b < B[i])) &&
        a < (A[j] - A[i]) * (b - B[i]) / (B[j] - B[i]) + A[i]) {
      inside = !inside;
    }
  }
  return inside;
}

namespace {

// White-space separated words of a polygon file, read one at a time so that the
// polygons after the one that decides are never read.
class WordReader {
 public:
  explicit WordReader(const std::string& path) : is_(path) {}
  bool is_open() const { return is_.is_open(); }
  bool next(std::string& word) {
    if (!(is_ >> word)) return false;
    if (first_ && word.compare(0, 3, "\xEF\xBB\xBF") == 0) word.erase(0, 3);  // byte-order mark
    first_ = false;
    return !word.empty() || next(word);
  }
  bool next(double& value) {
    std::string word;
    return next(word) && helmert2d::parse_number(word, value);
  }

 private:
  std::ifstream is_;
  bool first_ = true;
};

// A vertex count: a positive whole number that fits an int.
bool read_count(WordReader& in, int& m) {
  double v = 0.0;
  if (!in.next(v) || v < 1.0 || v > 1e9 || std::trunc(v) != v) return false;
  m = static_cast<int>(v);
  return true;
}

}  // namespace

bool Gecerlimi(double a, double b, const std::string& file) {
  WordReader in(file);
  if (!in.is_open()) return true;
  std::vector<double> A, B;
  int m = 0;
  std::string name;
  while (read_count(in, m) && in.next(name)) {
    A.clear();
    B.clear();
    for (int k = 0; k < m; ++k) {
      double ak = 0.0, bk = 0.0;
      if (!in.next(ak) || !in.next(bk)) return true;  // a polygon cut short ends the file
      A.push_back(ak);
      B.push_back(bk);
    }
    if (pnpoly(m, A.data(), B.data(), a, b) == 1) return false;
  }
  return true;
}
