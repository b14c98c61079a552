// The final list as RFC 4180 CSV: one row per point of the first file, the common
// points first (with their given system-II coordinates and residuals), then the
// further points transformed.

#include "result_files.h"
#include "text_sink.h"
#include "yzdr/row_blocks.h"

namespace helmert2d {
namespace {

// A field is quoted when it holds the delimiter, a quote or a line break; quotes inside
// are doubled (RFC 4180, 2.6 and 2.7).
void put_text(TextSink& line, std::string_view s) {
  if (s.find_first_of(",\"\r\n") == std::string_view::npos) {
    line.raw(s);
    return;
  }
  line.put('"');
  for (const char c : s) {
    if (c == '"') line.put('"');
    line.put(c);
  }
  line.put('"');
}

}  // namespace

void write_csv(std::ostream& out, const RunResult& res) {
  const CommonPoints& cp = res.points;
  const Solution& s = res.solution;
  const auto n = static_cast<std::size_t>(cp.n);
  out << "name,X,Y,third,role,vx,vy,flagged\r\n";
  // Row k of the final list: the common points (given coordinates), then the further
  // points (transformed). A value that is not finite leaves its field empty.
  auto rows = [&](std::size_t first, std::size_t last, TextSink& line) {
    for (std::size_t k = first; k < last; ++k) {
      if (k >= n) {
        const FurtherPoint& fp = res.further[k - n];
        put_text(line, fp.name);
        line.put(',').number(fp.p.X, "").put(',').number(fp.p.Y, "").put(',');
        line.given(fp.third, "").raw(",further,,,\r\n");
        continue;
      }
      const std::size_t i = k + 1;
      put_text(line, cp.name[i]);
      line.put(',').given(cp.X[i], "").put(',').given(cp.Y[i], "").put(',');
      line.given(cp.third[i], "").raw(",common,").number(s.vx[i], "").put(',');
      line.number(s.vy[i], "").put(',');
      if (res.outliers) {
        const OutlierTestRow& r = res.outliers->rows[i];
        if (r.component_flagged || r.pair_flagged) {
          line.raw("true");
        } else {
          line.raw("false");
        }
      }
      line.raw("\r\n");
    }
  };
  const std::size_t count = n + res.further.size();
  // Long lists are formatted in blocks on the report's thread pool; short ones here.
  const FormatRows blocks = [&rows](std::size_t first, std::size_t last, std::string& block) {
    TextSink line(block);
    rows(first, last, line);
  };
  if (write_row_blocks(out, count, blocks, {})) return;
  TextSink line(out);
  rows(0, count, line);
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
