// The rows of the result files: the JSON document's lists of points and the final list
// as RFC 4180 CSV. Both are made from the same points, so they are formatted side by
// side, block by block on the report's thread pool: a value the two files share (the
// given coordinates, the residuals, a further point's transformed coordinates) is turned
// into text once and copied into both.
#include <cmath>
#include <limits>
#include <optional>
#include <span>
#include <utility>

#include "pool/block_pool.h"
#include "result_files.h"
#include "text_sink.h"

namespace helmert2d {
namespace {

// Room for a row without its name: its literal pieces and at most 22 numbers.
constexpr std::size_t kRowRoom = 1536;

// A CSV field is quoted when it holds the delimiter, a quote or a line break; quotes
// inside are doubled (RFC 4180, 2.6 and 2.7).
void put_csv_text(TextSink& line, std::string_view s) {
  bool plain = true;
  for (const char c : s) plain &= c != ',' && c != '"' && c != '\r' && c != '\n';
  if (plain) {
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

// What every row of the lists needs beside the point itself.
struct RowContext {
  const RunResult& res;
  // The CSV gives the coordinates and residuals easting-like first (the second file's EN).
  bool csv_easting_first = false;
  // The quality figures follow each common point (extended results, when computed).
  bool quality = false;
  // The critical values are the same on every row: their text is made once.
  NumberText critical, critical_exact, pair_critical;

  RowContext(const RunResult& r, const RunIdentity& id)
      : res(r), csv_easting_first(id.second_order == AxisOrder::EN), quality(id.quality_rows) {
    if (res.outliers) {
      critical.shortest(res.outliers->component_critical);
      critical_exact.shortest(res.outliers->component_critical_exact);
      pair_critical.shortest(res.outliers->pair_critical);
    }
  }
};

// A common point's height in the final list (m) and its standard deviation: the given
// H_II when it has one (sd none), else its H_I carried over by the height model.
std::pair<double, double> common_height(const HeightResult& h, std::size_t i) {
  constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  if (std::isfinite(h.points.H2[i])) return {h.points.H2[i], kNone};
  if (h.fit.status != HeightStatus::ok) return {kNone, kNone};
  return {h.fit.points[i].H, h.fit.points[i].sd_H};
}

// A further point's height (m) and its standard deviation (m); none without a fit.
std::pair<double, double> further_height(const HeightResult& h, std::size_t k) {
  constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  if (k >= h.further.size()) return {kNone, kNone};
  return {h.further[k].H, h.further[k].sd_H};
}

// Common point k (0-based): its entry of the JSON list "points" and its CSV row.
void common_rows(const RowContext& ctx, std::size_t k, TextSink* json, TextSink* csv) {
  const CommonPoints& cp = ctx.res.points;
  const Solution& s = ctx.res.solution;
  const std::size_t i = k + 1;
  const OutlierTestResult* o = ctx.res.outliers ? &*ctx.res.outliers : nullptr;
  NumberText X, Y, vx, vy;
  X.given(cp.X[i]);
  Y.given(cp.Y[i]);
  vx.shortest(s.vx[i]);
  vy.shortest(s.vy[i]);
  if (json != nullptr) {
    json->raw(i > 1 ? ",\n{\"name\":" : "\n{\"name\":");
    write_json_string(*json, cp.name[i]);
    RowCursor e(*json, kRowRoom);
    e.raw(",\"x\":").given(cp.x[i], "null").raw(",\"y\":").given(cp.y[i], "null");
    e.raw(",\"X\":").number(X, "null").raw(",\"Y\":").number(Y, "null");
    e.raw(",\"X_computed\":").number(s.Xc[i], "null");
    e.raw(",\"Y_computed\":").number(s.Yc[i], "null");
    e.raw(",\"vx\":").number(vx, "null").raw(",\"vy\":").number(vy, "null");
    if (o != nullptr) {
      const OutlierTestRow& row = o->rows[i];
      e.raw(",\"Tvx\":").number(row.Tvx, "null").raw(",\"Tvy\":").number(row.Tvy, "null");
      e.raw(",\"critical\":").number(ctx.critical, "null").raw(",\"critical_exact\":");
      e.number(ctx.critical_exact, "null").raw(",\"p_x\":").number(row.p_x, "null");
      e.raw(",\"p_y\":").number(row.p_y, "null").raw(",\"flagged\":");
      e.boolean(row.component_flagged).raw(",\"flagged_exact\":");
      e.boolean(row.component_flagged_exact);
      if (o->pairs) {
        e.raw(",\"T\":").number(row.T, "null").raw(",\"c\":").number(ctx.pair_critical, "null");
        e.raw(",\"outlier\":").boolean(row.pair_flagged);
      }
    }
    if (ctx.quality) {
      e.raw(",\"quality\":");
      if (ctx.res.quality.points.empty()) {
        e.raw("null");
      } else {
        const PointQuality& q = ctx.res.quality.points[i];
        e.raw("{\"r_x\":").number(q.rx, "null").raw(",\"r_y\":").number(q.ry, "null");
        e.raw(",\"mdb_x\":").number(q.mdb_x, "null").raw(",\"mdb_y\":").number(q.mdb_y, "null");
        e.raw(",\"loo_x\":").number(q.loo_x, "null").raw(",\"loo_y\":").number(q.loo_y, "null");
        e.raw("}");
      }
    }
    e.raw("}");
  }
  if (csv != nullptr) {
    put_csv_text(*csv, cp.name[i]);
    RowCursor c(*csv, kRowRoom);
    const bool swap = ctx.csv_easting_first;
    c.raw(",").number(swap ? Y : X, "").raw(",").number(swap ? X : Y, "").raw(",");
    c.given(cp.third[i], "").raw(",common,").number(swap ? vy : vx, "").raw(",");
    c.number(swap ? vx : vy, "").raw(",");
    if (o != nullptr) c.boolean(o->rows[i].component_flagged || o->rows[i].pair_flagged);
    if (ctx.quality) {
      // r_x, r_y, mdb_x, mdb_y, loo_x, loo_y of the program's X (northing-like) and Y.
      if (ctx.res.quality.points.empty()) {
        c.raw(",,,,,,");
      } else {
        const PointQuality& q = ctx.res.quality.points[i];
        for (const double v : {q.rx, q.ry, q.mdb_x, q.mdb_y, q.loo_x, q.loo_y}) {
          c.raw(",").number(v, "");
        }
      }
    }
    if (ctx.res.heights) {
      const auto [H, sH] = common_height(*ctx.res.heights, i);
      c.raw(",").given(H, "").raw(",").number(sH, "");
    }
    c.raw("\r\n");
  }
}

// Common point k's entry of the JSON list "transformed": its given coordinates.
void transformed_common_row(const RowContext& ctx, std::size_t k, TextSink& json) {
  const CommonPoints& cp = ctx.res.points;
  const std::size_t i = k + 1;
  json.raw(k == 0 ? "\n{\"name\":" : ",\n{\"name\":");
  write_json_string(json, cp.name[i]);
  RowCursor e(json, kRowRoom);
  e.raw(",\"X\":").given(cp.X[i], "null").raw(",\"Y\":").given(cp.Y[i], "null");
  e.raw(",\"third\":").given(cp.third[i], "null").raw(",\"role\":\"common\"");
  if (ctx.res.heights) {
    const auto [H, sH] = common_height(*ctx.res.heights, i);
    e.raw(",\"H\":").given(H, "null").raw(",\"sH\":").number(sH, "null");
  }
  e.raw("}");
}

// Further point k: its entry of the JSON list "transformed" and its CSV row. A common
// point left out of the estimation has the role "excluded" and its misclosure as vx, vy.
void further_rows(const RowContext& ctx, std::size_t k, TextSink* json, TextSink* csv) {
  const Solution& s = ctx.res.solution;
  const FurtherPoint& fp = ctx.res.further[k];
  const LeftOutPoint* left =
      fp.left_out >= 0 ? &ctx.res.left_out[static_cast<std::size_t>(fp.left_out)] : nullptr;
  NumberText X, Y, third, vx, vy;
  X.shortest(fp.p.X);
  Y.shortest(fp.p.Y);
  third.given(fp.third);
  if (left != nullptr) {
    vx.shortest(left->vx);
    vy.shortest(left->vy);
  }
  if (json != nullptr) {
    json->raw(k == 0 && ctx.res.points.n == 0 ? "\n{\"name\":" : ",\n{\"name\":");
    write_json_string(*json, fp.name);
    RowCursor e(*json, kRowRoom);
    e.raw(",\"X\":").number(X, "null").raw(",\"Y\":").number(Y, "null");
    e.raw(",\"third\":").number(third, "null");
    e.raw(left != nullptr ? ",\"role\":\"excluded\",\"sX\":" : ",\"role\":\"further\",\"sX\":");
    if (s.f > 0) {
      const TransformedPoint t = transform_point(ctx.res.fit, fp.x, fp.y);
      e.number(t.sd_X, "null").raw(",\"sY\":").number(t.sd_Y, "null");
    } else {
      e.raw("null,\"sY\":null");
    }
    if (left != nullptr) e.raw(",\"vx\":").number(vx, "null").raw(",\"vy\":").number(vy, "null");
    if (ctx.res.heights) {
      const auto [H, sH] = further_height(*ctx.res.heights, k);
      e.raw(",\"H\":").number(H, "null").raw(",\"sH\":").number(sH, "null");
    }
    e.raw("}");
  }
  if (csv != nullptr) {
    put_csv_text(*csv, fp.name);
    RowCursor c(*csv, kRowRoom);
    const bool swap = ctx.csv_easting_first;
    c.raw(",").number(swap ? Y : X, "").raw(",").number(swap ? X : Y, "").raw(",");
    c.number(third, "");
    if (left != nullptr) {
      c.raw(",excluded,").number(swap ? vy : vx, "").raw(",").number(swap ? vx : vy, "");
      c.raw(",");
    } else {
      c.raw(",further,,,");
    }
    if (ctx.quality) c.raw(",,,,,,");
    if (ctx.res.heights) {
      const auto [H, sH] = further_height(*ctx.res.heights, k);
      c.raw(",").number(H, "").raw(",").number(sH, "");
    }
    c.raw("\r\n");
  }
}

// Writes rows [0, count) into whichever of the two streams is set: rows(k, json, csv)
// appends row k's text to the sinks that are not null. Long lists are formatted in
// blocks on the pool; short ones here.
template <class Rows>
void side_by_side(std::ostream* json, std::ostream* csv, std::size_t count, const Rows& rows) {
  std::ostream* streams[2];
  std::size_t used = 0;
  for (std::ostream* os : {json, csv}) {
    if (os != nullptr) streams[used++] = os;
  }
  const FormatRowsSideBySide blocks = [&](std::size_t first, std::size_t last, std::string* out) {
    std::optional<TextSink> j, c;
    std::size_t s = 0;
    if (json != nullptr) j.emplace(out[s++]);
    if (csv != nullptr) c.emplace(out[s]);
    for (std::size_t k = first; k < last; ++k) rows(k, j ? &*j : nullptr, c ? &*c : nullptr);
    // Here, not in the destructors, so that a block that cannot grow fails the pool's task.
    if (j) j->flush();
    if (c) c->flush();
  };
  if (write_row_blocks(std::span<std::ostream* const>(streams, used), count, blocks)) return;
  std::optional<TextSink> j, c;
  if (json != nullptr) j.emplace(*json);
  if (csv != nullptr) c.emplace(*csv);
  for (std::size_t k = 0; k < count; ++k) rows(k, j ? &*j : nullptr, c ? &*c : nullptr);
}

// The CSV's header: name,X,Y,... or, with the second file's column names, those names
// in its order and each residual named after its coordinate ("v" + name).
void csv_header(std::ostream& csv, const RunIdentity& id, bool heights) {
  const auto& names = id.second_names;
  const std::string quality =
      std::string(id.quality_rows ? ",r_x,r_y,mdb_x,mdb_y,loo_x,loo_y" : "") +
      (heights ? ",H,sH\r\n" : "\r\n");
  if (names[0].empty()) {
    csv << "name,X,Y,third,role,vx,vy,flagged" << quality;
    return;
  }
  const bool swap = id.second_order == AxisOrder::EN;
  const std::string& c1 = swap ? names[2] : names[1];
  const std::string& c2 = swap ? names[1] : names[2];
  TextSink h(csv);
  put_csv_text(h, names[0]);
  h.put(',');
  put_csv_text(h, c1);
  h.put(',');
  put_csv_text(h, c2);
  h.raw(",third,role,");
  put_csv_text(h, "v" + c1);
  h.put(',');
  put_csv_text(h, "v" + c2);
  h.raw(",flagged").raw(quality);
}

}  // namespace

void write_result_files(std::ostream* json, std::ostream* csv, const RunResult& res,
                        const RunIdentity& id) {
  if (json != nullptr) write_json_head(*json, res, id);
  if (csv != nullptr) csv_header(*csv, id, res.heights.has_value());
  const RowContext ctx(res, id);
  const auto n = static_cast<std::size_t>(res.points.n);
  // The final list starts with the common points; the JSON lists them in "points" first.
  side_by_side(json, csv, n,
               [&ctx](std::size_t k, TextSink* j, TextSink* c) { common_rows(ctx, k, j, c); });
  if (json != nullptr) {
    *json << "],\n\"transformed\":[";
    side_by_side(json, nullptr, n, [&ctx](std::size_t k, TextSink* j, TextSink*) {
      transformed_common_row(ctx, k, *j);
    });
  }
  side_by_side(json, csv, res.further.size(),
               [&ctx](std::size_t k, TextSink* j, TextSink* c) { further_rows(ctx, k, j, c); });
  if (json != nullptr) {
    TextSink tail(*json);
    tail.raw("],\n\"proj\":");
    std::optional<VerticalStep> vertical;
    if (res.heights && res.heights->fit.status == HeightStatus::ok)
      vertical = vertical_step(res.heights->fit);
    write_json_string(tail, proj_pipeline(affine_step(res.fit), id.first_order, id.second_order,
                                          vertical ? &*vertical : nullptr));
    tail.raw("\n}\n");
    tail.flush();
  }
}

}  // namespace helmert2d
