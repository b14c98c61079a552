// The head of the JSON document of a run: its identity, parameters and tests; the lists
// of points follow as rows. Written as a stream, so that a run of a million points needs
// no document tree in memory. Strings that need escaping go through nlohmann::json's
// serializer (bytes that are not UTF-8 as "\udcNN", see write_json_string); numbers
// through std::to_chars (shortest round trip).
#include <charconv>
#include <cmath>
#include <ctime>
#include <nlohmann/json.hpp>
#include <string>
#include <system_error>
#include <vector>

#include "model_comparison.h"
#include "result_files.h"
#include "text_sink.h"

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
  JsonSink& integer(long long v) {
    char tmp[24];
    const auto res = std::to_chars(tmp, tmp + sizeof tmp, v);
    text_.put(tmp, static_cast<std::size_t>(res.ptr - tmp));
    return *this;
  }
  JsonSink& boolean(bool b) { return b ? raw("true") : raw("false"); }
  JsonSink& string(std::string_view s) {
    write_json_string(text_, s);
    return *this;
  }
  void flush() { text_.flush(); }
  // "key":
  JsonSink& key(std::string_view k) { return string(k).raw(":"); }

 private:
  TextSink text_;
};

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

// An angle (rad) with its standard deviation as NAME_gon, NAME_deg and NAME_arcsec.
void angle(JsonSink& j, const std::string& name, double value, double sd, bool has_sd, bool last) {
  value_sd(j, name + "_gon", value * kRho, sd * kRho, has_sd, false);
  value_sd(j, name + "_deg", value * 180.0 / kPi, sd * 180.0 / kPi, has_sd, false);
  value_sd(j, name + "_arcsec", value * 648000.0 / kPi, sd * 648000.0 / kPi, has_sd, last);
}

// The parameters of the rigid and the affine model with their derived figures, and the
// covariance matrix s0^2 Qxx of the model's own parameters.
void model_parameters(JsonSink& j, const ModelFit& m) {
  const bool sd = m.f > 0;
  j.raw("\"parameters\":").raw("{");
  const char* const* names = nullptr;
  static const char* const kRigid[] = {"A_rad", "tx", "ty"};
  static const char* const kAffine[] = {"a1", "a2", "tx", "b1", "b2", "ty"};
  if (m.model == Model::rigid) {
    names = kRigid;
    for (int i = 0; i < 3; ++i) value_sd(j, names[i], m.par[i], m.sd[i], sd, false);
    value_sd(j, "k", 1.0, 0.0, sd, false);
    angle(j, "rotation", m.A, m.sd_A, sd, true);
  } else {
    names = kAffine;
    for (int i = 0; i < 6; ++i) value_sd(j, names[i], m.par[i], m.sd[i], sd, false);
    value_sd(j, "kx", m.kx, m.sd_kx, sd, false);
    value_sd(j, "ky", m.ky, m.sd_ky, sd, false);
    value_sd(j, "scale_x_ppm", (m.kx - 1.0) * 1e6, m.sd_kx * 1e6, sd, false);
    value_sd(j, "scale_y_ppm", (m.ky - 1.0) * 1e6, m.sd_ky * 1e6, sd, false);
    angle(j, "rotation", m.rotation, m.sd_rotation, sd, false);
    angle(j, "shear", m.shear, m.sd_shear, sd, true);
  }
  j.raw("},");
  j.raw("\"covariance\":").raw("{\"order\":").raw("[");
  for (int i = 0; i < m.u; ++i) j.raw(i ? ",\"" : "\"").raw(names[i]).raw("\"");
  j.raw("],\"matrix\":");
  if (!sd) {
    j.raw("null},");
    return;
  }
  j.raw("[");
  for (int r = 0; r < m.u; ++r) {
    j.raw(r ? ",[" : "[");
    for (int c = 0; c < m.u; ++c) {
      if (c) j.raw(",");
      j.number(m.s0 * m.s0 * m.Q[r][c]);
    }
    j.raw("]");
  }
  j.raw("]},");
}

const char* model_name(Model m) {
  return m == Model::rigid ? "rigid" : m == Model::affine ? "affine" : "similarity";
}

// The keys of a run with --quality, another model or weights: the model, whether the
// points are weighted, the global test and the check-point RMS.
void extended_keys(JsonSink& j, const RunResult& res) {
  j.raw("\"model\":").string(model_name(res.fit.model)).raw(",\"u\":").integer(res.fit.u);
  j.raw(",\"weighted\":").boolean(!res.points.weight.empty()).raw(",\n\"global_test\":");
  if (res.global) {
    const GlobalTest& g = *res.global;
    j.raw("{\"statistic\":").number(g.statistic).raw(",\"df\":").integer(g.df);
    j.raw(",\"critical\":").number(g.critical).raw(",\"p\":").number(g.p);
    j.raw(",\"significant\":").boolean(g.significant).raw("}");
  } else {
    j.raw("null");
  }
  j.raw(",\n\"check_point_rms\":");
  if (res.quality.points.empty()) {
    j.raw("null");
  } else {
    j.number(res.quality.check_point_rms);
  }
  j.raw(",\n");
}

void scale_tests_json(JsonSink& j, const ScaleTestResult& r) {
  j.raw("\"scale_tests\":").raw("{");
  j.raw("\"tolerance\":").raw("{\"deviation_ppm\":").number(r.deviation * 1e6).raw(",");
  j.raw("\"limit_ppm\":").number(20.0).raw(",\"significant\":").boolean(!r.within_tolerance);
  j.raw("},");
  j.raw("\"F\":").raw("{\"statistic\":").number(r.F_value).raw(",\"df1\":").integer(1);
  j.raw(",\"df2\":").integer(r.f).raw(",\"critical\":").number(r.F_critical);
  j.raw(",\"critical_exact\":").number(r.F_critical_exact).raw(",\"p\":").number(r.F_p);
  j.raw(",\"significant\":").boolean(r.F_significant);
  j.raw(",\"significant_exact\":").boolean(r.F_significant_exact).raw("},");
  j.raw("\"t\":").raw("{\"statistic\":").number(r.t_value).raw(",\"df\":").integer(r.f);
  j.raw(",\"critical\":").number(r.t_critical).raw(",\"critical_exact\":");
  j.number(r.t_critical_exact).raw(",\"p\":").number(r.t_p).raw(",\"significant\":");
  j.boolean(r.t_significant).raw(",\"significant_exact\":").boolean(r.t_significant_exact);
  j.raw("}},");
}

void outlier_summary(JsonSink& j, const OutlierTestResult& r) {
  j.raw("\"outlier_tests\":").raw("{\"component\":").raw("{\"df\":").integer(r.df);
  j.raw(",\"alpha\":").number(r.alpha / (2.0 * r.n)).raw(",\"critical\":");
  j.number(r.component_critical).raw(",\"critical_exact\":");
  j.number(r.component_critical_exact).raw("},\"pair\":");
  if (r.pairs) {
    j.raw("{\"critical\":").number(r.pair_critical).raw("}");
  } else {
    j.raw("null");
  }
  j.raw("},");
}

// The height fit of a run with --heights, with every common point's figures.
void heights_json(JsonSink& j, const RunResult& res) {
  const HeightResult& h = *res.heights;
  const HeightFit& f = h.fit;
  const bool plane = f.model == HeightModel::plane;
  const bool ok = f.status == HeightStatus::ok;
  const bool sd = ok && f.f > 0;
  static const char* const kStatus[] = {"ok", "too_few", "on_a_line", "overflow"};
  j.raw("\"heights\":{\"model\":").string(plane ? "plane" : "shift");
  j.raw(",\"status\":").string(kStatus[static_cast<int>(f.status)]);
  j.raw(",\"weighted\":").boolean(!h.points.weights.empty());
  j.raw(",\"m\":").integer(f.m).raw(",\"u\":").integer(f.u);
  j.raw(",\"excluded\":[");
  for (std::size_t i = 0; i < h.excluded.size(); ++i) j.raw(i ? "," : "").string(h.excluded[i]);
  j.raw("],\"snooping\":[");
  for (std::size_t i = 0; i < h.snooping.size(); ++i) {
    const HeightSnoopStep& st = h.snooping[i];
    j.raw(i ? ",{" : "{").raw("\"name\":").string(st.name).raw(",\"t\":").number(st.t);
    j.raw(",\"c\":").number(st.c).raw(",\"mo_after\":").number(st.mo_after).raw("}");
  }
  j.raw("]");
  if (!ok) {
    j.raw("},\n");
    return;
  }
  j.raw(",\"f\":").integer(f.f).raw(",\"N0\":").number(f.N0).raw(",\"E0\":").number(f.E0);
  j.raw(",\"parameters\":{");
  value_sd(j, "c", f.c, f.sd_c, sd, !plane);
  if (plane) {
    value_sd(j, "sN_ppm", f.sN_ppm, f.sd_sN_ppm, sd, false);
    value_sd(j, "sE_ppm", f.sE_ppm, f.sd_sE_ppm, sd, false);
    value_sd(j, "tilt_ppm", f.tilt_ppm, f.sd_tilt_ppm, sd, false);
    value_sd(j, "tilt_azimuth_gon", f.tilt_azimuth_gon, f.sd_tilt_azimuth_gon, sd, true);
  }
  j.raw("},\"covariance\":{\"order\":").raw(plane ? "[\"c\",\"sN\",\"sE\"]" : "[\"c\"]");
  j.raw(",\"matrix\":");
  if (sd) {
    j.raw("[");
    for (int r = 0; r < f.u; ++r) {
      j.raw(r ? ",[" : "[");
      for (int c = 0; c < f.u; ++c) j.raw(c ? "," : "").number(f.C[r][c]);
      j.raw("]");
    }
    j.raw("]}");
  } else {
    j.raw("null}");
  }
  j.raw(",\"vv\":").number(f.vv).raw(",\"mo\":");
  if (sd) {
    j.number(f.mo);
  } else {
    j.raw("null");
  }
  j.raw(",\"alpha\":").number(f.alpha).raw(",\"df\":").integer(f.f - 1);
  j.raw(",\"critical\":").number(f.critical).raw(",\"flagged\":").integer(f.flagged);
  j.raw(",\n\"points\":[");
  for (int i = 1; i <= h.points.n; ++i) {
    const auto k = static_cast<std::size_t>(i);
    const HeightPointFit& pf = f.points[k];
    j.raw(i > 1 ? ",\n{\"name\":" : "\n{\"name\":").string(res.points.name[k]);
    j.raw(",\"H1\":").number(h.points.H1[k]).raw(",\"H2\":").number(h.points.H2[k]);
    j.raw(",\"used\":").boolean(pf.used).raw(",\"H\":").number(pf.H);
    j.raw(",\"sH\":").number(pf.sd_H).raw(",\"v\":").number(pf.v);
    j.raw(",\"r\":").number(pf.r).raw(",\"t\":").number(pf.t);
    j.raw(",\"t_aside\":").number(pf.t_aside).raw(",\"p\":").number(pf.p_value);
    j.raw(",\"flagged\":").boolean(pf.flagged).raw(",\"loo\":").number(pf.loo).raw("}");
  }
  j.raw("]},\n");
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
  j.raw("\"axis_order\":").raw("{\"first\":").string(axis_order_name(id.first_order));
  j.raw(",\"second\":").string(axis_order_name(id.second_order)).raw("},\n");
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
  j.raw("],\n").raw("\"ignored_records\":").raw("[");
  for (std::size_t i = 0; i < id.ignored.size(); ++i) {
    const IgnoredRecords& ig = id.ignored[i];
    j.raw(i ? ",{" : "{").raw("\"file\":").string(ig.file).raw(",\"line\":").integer(ig.line);
    j.raw(",\"count\":").integer(ig.count).raw("}");
  }
  j.raw("],\n");
}

// The length of the valid UTF-8 sequence at the start of `s` (RFC 3629: no overlong
// forms, no surrogates, nothing above U+10FFFF), or 0 when it does not start with one.
std::size_t utf8_sequence_length(std::string_view s) {
  const auto b = [&s](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const auto tail = [&](std::size_t k) { return k < s.size() && (b(k) & 0xC0) == 0x80; };
  const unsigned char c = b(0);
  if (c < 0x80) return 1;
  std::size_t n = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) low = 0xA0;   // overlong
    if (c == 0xED) high = 0x9F;  // surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) low = 0x90;   // overlong
    if (c == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (s.size() < n || b(1) < low || b(1) > high) return 0;
  for (std::size_t k = 2; k < n; ++k) {
    if (!tail(k)) return 0;
  }
  return n;
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

void write_json_string(TextSink& out, std::string_view s) {
  bool plain = true;
  for (const char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u >= 0x80 || c == '"' || c == '\\') {
      plain = false;
      break;
    }
  }
  if (plain) {
    out.put('"').raw(s).put('"');
    return;
  }
  // Valid UTF-8 is escaped by nlohmann::json's serializer. Each byte that is not part of
  // valid UTF-8 becomes the escape of the lone surrogate U+DC80..U+DCFF ("\udcNN", NN the
  // byte), as Python's "surrogateescape" error handler writes it, so a reader gets the
  // CSV's bytes back; nlohmann::json has no such mode, so these are written here.
  out.put('"');
  std::size_t i = 0;
  while (i < s.size()) {
    std::size_t end = i;
    while (end < s.size()) {
      const std::size_t n = utf8_sequence_length(s.substr(end));
      if (n == 0) break;
      end += n;
    }
    if (end > i) {
      const std::string text = nlohmann::json(std::string(s.substr(i, end - i))).dump();
      out.raw(std::string_view(text).substr(1, text.size() - 2));  // without its quotes
    }
    if (end < s.size()) {
      static const char kHex[] = "0123456789abcdef";
      const auto u = static_cast<unsigned char>(s[end]);
      const char escape[6] = {'\\', 'u', 'd', 'c', kHex[u >> 4], kHex[u & 15]};
      out.put(escape, sizeof escape);
      ++end;
    }
    i = end;
  }
  out.put('"');
}

void write_json_head(std::ostream& out, const RunResult& res, const RunIdentity& id) {
  JsonSink j(out);
  const Solution& s = res.solution;
  j.raw("{\n");
  identity(j, id);
  j.raw("\"common_points\":").integer(res.points.n).raw(",\n");
  if (res.fit.model == Model::similarity) {
    parameters(j, s);
  } else {
    model_parameters(j, res.fit);
  }
  j.raw("\n").raw("\"adjustment\":").raw("{\"vv\":").number(s.vv).raw(",\"f\":").integer(s.f);
  j.raw(",\"mo\":");
  if (s.f > 0) {
    j.number(s.mo);
  } else {
    j.raw("null");
  }
  j.raw("},\n");
  if (id.extended) extended_keys(j, res);
  j.raw("\"warnings\":").raw("[");
  const std::vector<std::string> warnings = run_warnings(res);
  for (std::size_t i = 0; i < warnings.size(); ++i) {
    if (i) j.raw(",");
    j.string(warnings[i]);
  }
  j.raw("],\n");
  if (res.scale) scale_tests_json(j, *res.scale);
  if (res.outliers) outlier_summary(j, *res.outliers);
  if (res.heights) heights_json(j, res);
  if (res.model_comparison) {
    j.flush();
    write_model_comparison_json(out, *res.model_comparison);
  }
  j.raw("\n").raw("\"points\":").raw("[");
  j.flush();
}

const char* axis_order_name(AxisOrder order) {
  return order == AxisOrder::EN ? "EN" : "NE";
}

std::string proj_pipeline(const AffineStep& a, AxisOrder first, AxisOrder second,
                          const VerticalStep* vertical) {
  // X = xoff + s11 x + s12 y, Y = yoff + s21 x + s22 y (PROJ's affine operation); the
  // third coordinate passes through unchanged. PROJ's axisswap with order=2,1 exchanges
  // the first two coordinates, turning a file's EN into the program's NE and back.
  constexpr const char* kSwap = " +step +proj=axisswap +order=2,1";
  std::string p = "+proj=pipeline";
  if (first == AxisOrder::EN) p += kSwap;
  p += " +step +proj=affine +xoff=" + json_number(a.xoff) + " +yoff=" + json_number(a.yoff) +
       " +s11=" + json_number(a.s11) + " +s12=" + json_number(a.s12) +
       " +s21=" + json_number(a.s21) + " +s22=" + json_number(a.s22);
  // z' = zoff + s31 x + s32 y + s33 z on the plane step's output (system II, N first).
  if (vertical != nullptr) {
    p += " +step +proj=affine +zoff=" + json_number(vertical->zoff) +
         " +s31=" + json_number(vertical->s31) + " +s32=" + json_number(vertical->s32) +
         " +s33=" + json_number(vertical->s33);
  }
  if (second == AxisOrder::EN) p += kSwap;
  return p;
}

namespace {

// `v` with `decimals` decimals.
std::string fixed_text(double v, int decimals) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  return res.ec == std::errc{} ? std::string(buf, res.ptr) : json_number(v);
}

// `v` with at most `digits` significant digits.
std::string general_text(double v, int digits) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, digits);
  return res.ec == std::errc{} ? std::string(buf, res.ptr) : json_number(v);
}

}  // namespace

std::vector<std::string> run_warnings(const RunResult& res) {
  std::vector<std::string> out;
  const Plausibility& p = res.plausibility;
  if (p.mirrored_better) {
    // With weights mo is sigma0, without unit.
    const std::string unit = res.points.weight.empty() ? " m" : "";
    out.push_back(
        "the points fit at least 100 times better mirrored, with one file's two "
        "coordinates swapped (mo " +
        fixed_text(p.mirrored->mo, 4) + unit + " instead of " + fixed_text(res.solution.mo, 4) +
        unit +
        "): the easting and northing columns of one file are probably swapped, as "
        "in a GIS file with X = easting");
  }
  if (p.scale_far) {
    out.push_back("the scale k = " + general_text(res.solution.k, 6) +
                  " differs from 1 by more than 5%: the two files may use different units");
  }
  return out;
}

}  // namespace helmert2d
