// The final list as RFC 4180 CSV: one row per point of the first file, the common
// points first (with their given system-II coordinates and residuals), then the
// further points transformed.

#include "result_files.h"
#include "yzdr/row_blocks.h"

namespace helmert2d {
namespace {

// A value that is not finite leaves the field empty.
void put_number(std::string& line, double v) {
  append_shortest(line, v);
}

// A field is quoted when it holds the delimiter, a quote or a line break; quotes inside
// are doubled (RFC 4180, 2.6 and 2.7).
void put_text(std::string& line, std::string_view s) {
  if (s.find_first_of(",\"\r\n") == std::string_view::npos) {
    line.append(s);
    return;
  }
  line.push_back('"');
  for (const char c : s) {
    if (c == '"') line.push_back('"');
    line.push_back(c);
  }
  line.push_back('"');
}

}  // namespace

void write_csv(std::ostream& out, const RunResult& res) {
  const CommonPoints& cp = res.points;
  const Solution& s = res.solution;
  const auto n = static_cast<std::size_t>(cp.n);
  out << "name,X,Y,third,role,vx,vy,flagged\r\n";
  // Row k of the final list: the common points, then the further points.
  const FormatRows rows = [&](std::size_t first, std::size_t last, std::string& buf) {
    for (std::size_t k = first; k < last; ++k) {
      auto start = [&buf](std::string_view name, double X, double Y, double third) {
        put_text(buf, name);
        buf.push_back(',');
        put_number(buf, X);
        buf.push_back(',');
        put_number(buf, Y);
        buf.push_back(',');
        put_number(buf, third);
        buf.push_back(',');
      };
      if (k >= n) {
        const FurtherPoint& fp = res.further[k - n];
        start(fp.name, fp.p.X, fp.p.Y, fp.third);
        buf.append("further,,,\r\n");
        continue;
      }
      const std::size_t i = k + 1;
      start(cp.name[i], cp.X[i], cp.Y[i], cp.third[i]);
      buf.append("common,");
      put_number(buf, s.vx[i]);
      buf.push_back(',');
      put_number(buf, s.vy[i]);
      buf.push_back(',');
      if (res.outliers) {
        const OutlierTestRow& r = res.outliers->rows[i];
        buf.append(r.component_flagged || r.pair_flagged ? "true" : "false");
      }
      buf.append("\r\n");
    }
  };
  const std::size_t count = n + res.further.size();
  // Long lists are formatted in blocks on the report's thread pool; short ones here.
  if (write_row_blocks(out, count, rows, {})) return;
  std::string buf;
  rows(0, count, buf);
  out.write(buf.data(), static_cast<std::streamsize>(buf.size()));
}

std::string proj_pipeline(const Solution& s) {
  // X = xoff + s11 x + s12 y, Y = yoff + s21 x + s22 y (PROJ's affine operation); the
  // third coordinate passes through unchanged.
  const double minus_o = s.o == 0.0 ? 0.0 : -s.o;  // "0", not "-0", without rotation
  return "+proj=pipeline +step +proj=affine +xoff=" + json_number(s.tx) +
         " +yoff=" + json_number(s.ty) + " +s11=" + json_number(s.a) +
         " +s12=" + json_number(minus_o) + " +s21=" + json_number(s.o) +
         " +s22=" + json_number(s.a);
}

}  // namespace helmert2d
