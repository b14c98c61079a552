// The JSON document of a run, written as a stream so that a run of a million points
// needs no document tree in memory. Strings that need escaping go through
// nlohmann::json's serializer; numbers through std::to_chars (shortest round trip).
#include <charconv>
#include <cmath>
#include <ctime>
#include <nlohmann/json.hpp>

#include "result_files.h"
#include "text_sink.h"
#include "yzdr/row_blocks.h"

namespace helmert2d {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kRho = 200.0 / kPi;  // grads per radian, as the report

// JSON text through a TextSink: to the stream, or, for a block of rows formatted on a
// pool thread, to the block's own text.
class JsonSink {
 public:
  explicit JsonSink(std::ostream& out) : text_(out) {}
  explicit JsonSink(std::string& block) : text_(block) {}

  template <std::size_t N>
  JsonSink& raw(const char (&s)[N]) {
    text_.raw(s);
    return *this;
  }
  JsonSink& raw(std::string_view s) {
    text_.raw(s);
    return *this;
  }
  JsonSink& number(double v) {
    text_.number(v);
    return *this;
  }
  // A value read from a file.
  JsonSink& given(double v) {
    text_.given(v);
    return *this;
  }
  JsonSink& integer(long long v) {
    char tmp[24];
    const auto res = std::to_chars(tmp, tmp + sizeof tmp, v);
    text_.put(tmp, static_cast<std::size_t>(res.ptr - tmp));
    return *this;
  }
  JsonSink& boolean(bool b) { return b ? raw("true") : raw("false"); }
  JsonSink& string(std::string_view s) {
    bool plain = true;
    for (const char c : s) {
      const auto u = static_cast<unsigned char>(c);
      if (u < 0x20 || u >= 0x80 || c == '"' || c == '\\') {
        plain = false;
        break;
      }
    }
    if (plain) return raw("\"").raw(s).raw("\"");
    // Escapes, and replaces bytes that are not UTF-8, as the JSON standard requires.
    return raw(nlohmann::json(std::string(s))
                   .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
  }
  // "key":
  JsonSink& key(std::string_view k) { return string(k).raw(":"); }
  void flush() { text_.flush(); }
  std::ostream* stream() const { return text_.stream(); }

 private:
  TextSink text_;
};

// Writes `count` array elements: element(sink, i) appends element i. A long array is
// formatted in blocks on the report's thread pool and written in order.
template <class Element>
void array_elements(JsonSink& j, std::size_t count, const Element& element) {
  j.flush();
  const FormatRows format = [&element](std::size_t first, std::size_t last, std::string& out) {
    JsonSink block(out);
    for (std::size_t i = first; i < last; ++i) element(block, i);
  };
  if (j.stream() != nullptr && write_row_blocks(*j.stream(), count, format, {})) return;
  for (std::size_t i = 0; i < count; ++i) element(j, i);
}

// {"value":v,"sd":s} with sd null when there is no redundancy.
void value_sd(JsonSink& j, std::string_view name, double value, double sd, bool has_sd, bool last) {
  j.key(name).raw("{\"value\":").number(value).raw(",\"sd\":");
  if (has_sd) {
    j.number(sd);
  } else {
    j.raw("null");
  }
  j.raw(last ? "}" : "},");
}

void parameters(JsonSink& j, const Solution& s) {
  const bool sd = s.f > 0;
  j.raw("\"parameters\":").raw("{");
  value_sd(j, "a", s.a, s.sd_a, sd, false);
  value_sd(j, "o", s.o, s.sd_o, sd, false);
  value_sd(j, "tx", s.tx, s.sd_tx, sd, false);
  value_sd(j, "ty", s.ty, s.sd_ty, sd, false);
  value_sd(j, "k", s.k, s.sd_k, sd, false);
  value_sd(j, "scale_ppm", (s.k - 1.0) * 1e6, s.sd_k * 1e6, sd, false);
  value_sd(j, "rotation_gon", s.A * kRho, s.sd_A * kRho, sd, false);
  value_sd(j, "rotation_deg", s.A * 180.0 / kPi, s.sd_A * 180.0 / kPi, sd, false);
  value_sd(j, "rotation_arcsec", s.A * 648000.0 / kPi, s.sd_A * 648000.0 / kPi, sd, true);
  j.raw("},");
  // Covariance matrix mo^2 Qxx of (a, o, tx, ty).
  j.raw("\"covariance\":")
      .raw("{\"order\":")
      .raw("[\"a\",\"o\",\"tx\",\"ty\"],")
      .raw("\"matrix\":");
  if (!sd) {
    j.raw("null},");
    return;
  }
  j.raw("[");
  for (int r = 0; r < 4; ++r) {
    j.raw(r ? ",[" : "[");
    for (int c = 0; c < 4; ++c) {
      if (c) j.raw(",");
      j.number(s.mo * s.mo * s.Q[r][c]);
    }
    j.raw("]");
  }
  j.raw("]},");
}

void scale_tests_json(JsonSink& j, const ScaleTestResult& r) {
  j.raw("\"scale_tests\":").raw("{");
  j.raw("\"tolerance\":").raw("{\"deviation_ppm\":").number(r.deviation * 1e6).raw(",");
  j.raw("\"limit_ppm\":").number(20.0).raw(",\"significant\":").boolean(!r.within_tolerance);
  j.raw("},");
  j.raw("\"F\":").raw("{\"statistic\":").number(r.F_value).raw(",\"df1\":").integer(1);
  j.raw(",\"df2\":").integer(r.f).raw(",\"critical\":").number(r.F_critical);
  j.raw(",\"critical_exact\":").number(r.F_critical_exact).raw(",\"p\":").number(r.F_p);
  j.raw(",\"significant\":").boolean(r.F_significant).raw("},");
  j.raw("\"t\":").raw("{\"statistic\":").number(r.t_value).raw(",\"df\":").integer(r.f);
  j.raw(",\"critical\":").number(r.t_critical).raw(",\"critical_exact\":");
  j.number(r.t_critical_exact).raw(",\"p\":").number(r.t_p).raw(",\"significant\":");
  j.boolean(r.t_significant).raw("}},");
}

void outlier_summary(JsonSink& j, const OutlierTestResult& r) {
  j.raw("\"outlier_tests\":").raw("{\"component\":").raw("{\"df\":").integer(2 * r.n - 5);
  j.raw(",\"alpha\":").number(r.alpha / (2.0 * r.n)).raw(",\"critical\":");
  j.number(r.component_critical).raw(",\"critical_exact\":");
  j.number(r.component_critical_exact).raw("},\"pair\":");
  if (r.n > 3) {
    j.raw("{\"critical\":").number(r.pair_critical).raw("}");
  } else {
    j.raw("null");
  }
  j.raw("},");
}

void points(JsonSink& j, const RunResult& res) {
  const CommonPoints& cp = res.points;
  const Solution& s = res.solution;
  j.raw("\"points\":").raw("[");
  // The critical values are the same on every row: their text is made once.
  std::string critical, critical_exact, pair_critical;
  if (res.outliers) {
    critical = json_number(res.outliers->component_critical);
    critical_exact = json_number(res.outliers->component_critical_exact);
    pair_critical = json_number(res.outliers->pair_critical);
  }
  array_elements(j, static_cast<std::size_t>(cp.n), [&](JsonSink& e, std::size_t k) {
    const int i = static_cast<int>(k) + 1;
    e.raw(i > 1 ? ",\n{" : "\n{");
    e.raw("\"name\":").string(cp.name[i]).raw(",\"x\":").given(cp.x[i]).raw(",");
    e.raw("\"y\":").given(cp.y[i]).raw(",\"X\":").given(cp.X[i]).raw(",");
    e.raw("\"Y\":").given(cp.Y[i]).raw(",\"X_computed\":").number(s.Xc[i]).raw(",");
    e.raw("\"Y_computed\":").number(s.Yc[i]).raw(",\"vx\":").number(s.vx[i]).raw(",");
    e.raw("\"vy\":").number(s.vy[i]);
    if (res.outliers) {
      const OutlierTestResult& o = *res.outliers;
      const OutlierTestRow& row = o.rows[static_cast<std::size_t>(i)];
      e.raw(",\"Tvx\":").number(row.Tvx).raw(",\"Tvy\":").number(row.Tvy).raw(",");
      e.raw("\"critical\":").raw(critical).raw(",\"critical_exact\":");
      e.raw(critical_exact).raw(",\"p_x\":").number(row.p_x).raw(",");
      e.raw("\"p_y\":").number(row.p_y).raw(",\"flagged\":").boolean(row.component_flagged);
      if (cp.n > 3) {
        e.raw(",\"T\":").number(row.T).raw(",\"c\":").raw(pair_critical).raw(",");
        e.raw("\"outlier\":").boolean(row.pair_flagged);
      }
    }
    e.raw("}");
  });
  j.raw("],\n");
}

void transformed(JsonSink& j, const RunResult& res) {
  const CommonPoints& cp = res.points;
  const Solution& s = res.solution;
  const bool sd = s.f > 0;
  const auto n = static_cast<std::size_t>(cp.n);
  j.raw("\"transformed\":").raw("[");
  array_elements(j, n + res.further.size(), [&](JsonSink& e, std::size_t k) {
    e.raw(k == 0 ? "\n{" : ",\n{");
    if (k < n) {
      const std::size_t i = k + 1;
      e.raw("\"name\":").string(cp.name[i]).raw(",\"X\":").given(cp.X[i]).raw(",");
      e.raw("\"Y\":").given(cp.Y[i]).raw(",\"third\":").given(cp.third[i]).raw(",");
      e.raw("\"role\":").raw("\"common\"}");
      return;
    }
    const FurtherPoint& fp = res.further[k - n];
    e.raw("\"name\":").string(fp.name).raw(",\"X\":").number(fp.p.X).raw(",");
    e.raw("\"Y\":").number(fp.p.Y).raw(",\"third\":").given(fp.third).raw(",");
    e.raw("\"role\":").raw("\"further\",").raw("\"sX\":");
    if (sd) {
      const double m = s.sd_transformed(fp.x, fp.y);
      e.number(m).raw(",\"sY\":").number(m);
    } else {
      e.raw("null,\"sY\":").raw("null");
    }
    e.raw("}");
  });
  j.raw("],\n");
}

void identity(JsonSink& j, const RunIdentity& id) {
  j.raw("\"program\":")
      .string("helmert2d")
      .raw(",\n")
      .raw("\"version\":")
      .string(id.version)
      .raw(",\n");
  j.raw("\"time\":").string(id.time_utc).raw(",\n").raw("\"files\":").raw("{\"first\":");
  j.string(id.first).raw(",\"second\":").string(id.second).raw(",\"report\":");
  j.string(id.report).raw("},\n");
  j.raw("\"alpha\":").number(kAlpha).raw(",\"exact_quantiles\":").boolean(id.exact_quantiles);
  j.raw(",\n").raw("\"excluded\":").raw("[");
  for (std::size_t i = 0; i < id.excluded.size(); ++i) {
    if (i) j.raw(",");
    j.string(id.excluded[i]);
  }
  j.raw("],\n").raw("\"snooping\":").raw("[");
  for (std::size_t i = 0; i < id.snooping.size(); ++i) {
    const SnoopStep& st = id.snooping[i];
    j.raw(i ? ",{" : "{").raw("\"name\":").string(st.name).raw(",\"T\":").number(st.T).raw(",");
    j.raw("\"c\":").number(st.c).raw(",\"mo_after\":").number(st.mo_after).raw("}");
  }
  j.raw("],\n");
}

}  // namespace

std::string utc_timestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return buf;
}

namespace {

// Values read from coordinate files mostly have at most three decimals. For such a
// value v = m/1000 (m an integer, not a multiple of 1000, |v| < 1e12) that decimal is
// the shortest text that reads back as v: a decimal with fewer digits differs from it
// by at least 0.001, more than half the spacing of doubles below 1e12. Fixed notation
// is then never longer than scientific (0.001 ties with 1e-03, and ties go to fixed),
// so the text is the one std::to_chars writes, found without its digit search.
// Returns nullptr when v is not such a value.
char* write_thousandths(char* out, double v) {
  if (!(std::fabs(v) < 1e12)) return nullptr;
  // Any rounding of the product will do: the test below accepts only the right m.
  const double scaled = v * 1000.0;
  const auto m = static_cast<long long>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
  if (static_cast<double>(m) / 1000.0 != v) return nullptr;
  auto units = m < 0 ? -m : m;
  int frac = static_cast<int>(units % 1000);
  if (frac == 0) return nullptr;
  units /= 1000;
  char* p = out;
  if (v < 0) *p++ = '-';
  p = std::to_chars(p, p + 24, units).ptr;
  *p++ = '.';
  int digits = 3;
  while (frac % 10 == 0) {
    frac /= 10;
    --digits;
  }
  for (int d = digits - 1; d >= 0; --d) {
    p[d] = static_cast<char>('0' + frac % 10);
    frac /= 10;
  }
  return p + digits;
}

}  // namespace

char* write_shortest(char* out, double v) {
  return std::to_chars(out, out + 32, v).ptr;
}

char* write_given(char* out, double v) {
  char* end = write_thousandths(out, v);
  return end != nullptr ? end : write_shortest(out, v);
}

bool append_shortest(std::string& out, double v) {
  if (!std::isfinite(v)) return false;
  char tmp[32];
  out.append(tmp, write_given(tmp, v));
  return true;
}

std::string json_number(double v) {
  std::string s;
  return append_shortest(s, v) ? s : "null";
}

void write_json(std::ostream& out, const RunResult& res, const RunIdentity& id) {
  JsonSink j(out);
  const Solution& s = res.solution;
  j.raw("{\n");
  identity(j, id);
  j.raw("\"common_points\":").integer(res.points.n).raw(",\n");
  parameters(j, s);
  j.raw("\n").raw("\"adjustment\":").raw("{\"vv\":").number(s.vv).raw(",\"f\":").integer(s.f);
  j.raw(",\"mo\":");
  if (s.f > 0) {
    j.number(s.mo);
  } else {
    j.raw("null");
  }
  j.raw("},\n");
  if (res.scale) scale_tests_json(j, *res.scale);
  if (res.outliers) outlier_summary(j, *res.outliers);
  j.raw("\n");
  points(j, res);
  transformed(j, res);
  j.raw("\"proj\":").string(proj_pipeline(s)).raw("\n}\n");
}

}  // namespace helmert2d
