// Point-in-polygon tests: a single polygon, and every polygon of a polygon file.
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "boundary_files.h"
#include "helmert2d/grafik.h"
#include "textio/textio.h"

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

namespace helmert2d::grafik {
namespace {

// A vertex count: a positive whole number that fits an int.
bool parse_count(std::string_view token, int& m) {
  double v = 0.0;
  if (!textio::parse_number(token, v) || v < 1.0 || v > 1e9 || std::trunc(v) != v) return false;
  m = static_cast<int>(v);
  return true;
}

// Reads one polygon: the vertex count, the name and the vertex pairs. False at the end
// of the text (`stop` untouched) and at a count that is not a positive whole number or
// a polygon cut short (`stop` set).
bool read_polygon(textio::Tokenizer& tokens, Polygon& polygon, textio::ReadStop& stop) {
  const textio::Token count = tokens.next();
  if (count.empty()) return false;
  int m = 0;
  if (!parse_count(count.text, m)) {
    stop = textio::stop_at(count, count);
    return false;
  }
  const textio::Token name = tokens.next();
  if (name.empty()) {
    stop = textio::stop_at(count, name);
    return false;
  }
  // The vertices are stored as they are read, so a huge count with little text behind
  // it allocates nothing for the count.
  polygon.A.clear();
  polygon.B.clear();
  double a = 0.0, b = 0.0;
  double* const vertex[] = {&a, &b};
  for (int k = 0; k < m; ++k) {
    if (!textio::read_numbers(tokens, count, vertex, stop)) return false;
    polygon.A.push_back(a);
    polygon.B.push_back(b);
  }
  return true;
}

}  // namespace

bool read_polygon_file(const std::string& path, PolygonFile& out) {
  out = PolygonFile{};
  std::string text;
  if (!textio::read_file(path, text)) return false;
  textio::Tokenizer tokens(text);
  Polygon polygon;
  while (read_polygon(tokens, polygon, out.stop)) out.polygons.push_back(std::move(polygon));
  return true;
}

bool Gecerlimi(double a, double b, const PolygonFile& in) {
  for (const Polygon& p : in.polygons) {
    if (pnpoly(static_cast<int>(p.A.size()), p.A.data(), p.B.data(), a, b) == 1) return false;
  }
  return true;
}

}  // namespace helmert2d::grafik

bool Gecerlimi(double a, double b, const std::string& file) {
  helmert2d::grafik::PolygonFile in;
  helmert2d::grafik::read_polygon_file(file, in);  // an unreadable file has no polygon
  return helmert2d::grafik::Gecerlimi(a, b, in);
}
