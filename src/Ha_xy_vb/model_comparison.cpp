// The three models fitted to the same points and the F tests between them: each model
// by fit_model with its quality figures (for the check-point RMS), one after the other,
// so that only one model's per-point lists are held at a time.
#include "model_comparison.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <ostream>
#include <string>

#include "models.h"
#include "result_files.h"
#include "run_result.h"

namespace helmert2d {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const char* model_name(Model m) {
  return m == Model::rigid ? "rigid" : m == Model::similarity ? "similarity" : "affine";
}

std::string_view why_not_fitted(Model m, FitStatus s) {
  switch (s) {
    case FitStatus::too_few:
      return m == Model::affine ? "at least 3 points needed" : "at least 2 points needed";
    case FitStatus::singular:
      return m == Model::affine ? "the points lie on one line" : "the points lie at one place";
    case FitStatus::overflow:
      return "the sums overflow";
    case FitStatus::ok:
      break;
  }
  return {};
}

ExtraParameterTest as_test(const ModelFTest& t, Model larger, Model smaller) {
  return {model_name(larger), model_name(smaller), t.statistic, t.df1, t.df2, t.critical, t.p,
          t.significant};
}

// `v` with `decimals` decimals ("inf" when infinite), right-aligned in `width`; "-" when
// it is not-a-number.
std::string fixed(double v, int decimals, int width) {
  char buf[64];
  std::string s = "-";
  if (!std::isnan(v)) {
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    s.assign(buf, res.ec == std::errc{} ? res.ptr : buf);
  }
  if (static_cast<int>(s.size()) < width) s.insert(0, width - s.size(), ' ');
  return s;
}

// `v` with at most four significant digits.
std::string general4(double v) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 4);
  return std::string(buf, res.ec == std::errc{} ? res.ptr : buf);
}

std::string padded(std::string s, std::size_t width) {
  if (s.size() < width) s.append(width - s.size(), ' ');
  return s;
}

// One F test line: "scale:  similarity against rigid  F(1,20) = ...", or why there is
// none.
void test_line(std::ostream& out, std::string_view what, const ComparedModel& larger,
               const ComparedModel& smaller, const std::optional<ExtraParameterTest>& t) {
  out << "   " << padded(std::string(what) + ":", 8)
      << padded(std::string(larger.name) + " against " + std::string(smaller.name), 28);
  if (!t) {
    out << "not tested: ";
    if (!smaller.fitted() || !larger.fitted()) {
      out << (larger.fitted() ? smaller.name : larger.name) << " not fitted\n";
    } else {
      out << larger.name << " has f = 0\n";
    }
    return;
  }
  const std::string df = "F(" + std::to_string(t->df1) + "," + std::to_string(t->df2) + ")";
  out << padded(df, 8) << " = " << fixed(t->statistic, 3, 9)
      << "   p = " << padded(general4(t->p), 12)
      << (t->significant ? "significant" : "not significant") << "\n";
}

void model_json(std::ostream& out, const ComparedModel& m) {
  out << "\"" << m.name << "\":{\"u\":" << m.u << ",\"fitted\":" << (m.fitted() ? "true" : "false");
  if (!m.fitted()) {
    out << ",\"f\":null,\"vv\":null,\"mo\":null,\"check_point_rms\":null}";
    return;
  }
  out << ",\"f\":" << m.f << ",\"vv\":" << json_number(m.vv) << ",\"mo\":" << json_number(m.mo)
      << ",\"check_point_rms\":" << json_number(m.check_point_rms) << "}";
}

void test_json(std::ostream& out, std::string_view key,
               const std::optional<ExtraParameterTest>& t) {
  out << "\"" << key << "\":";
  if (!t) {
    out << "null";
    return;
  }
  out << "{\"statistic\":" << json_number(t->statistic) << ",\"df1\":" << t->df1
      << ",\"df2\":" << t->df2 << ",\"critical\":" << json_number(t->critical)
      << ",\"p\":" << json_number(t->p)
      << ",\"significant\":" << (t->significant ? "true" : "false") << "}";
}

}  // namespace

ModelComparison compare_models(const CommonPoints& cp, const std::vector<double>& weights) {
  ModelComparison c;
  c.n = cp.n;
  c.weighted = !weights.empty();
  constexpr Model kOrder[3] = {Model::rigid, Model::similarity, Model::affine};
  // The fits are kept without their per-point lists, for the F tests.
  ModelFit kept[3];
  for (int k = 0; k < 3; ++k) {
    ComparedModel& m = c.models[k];
    m.name = model_name(kOrder[k]);
    m.u = parameter_count(kOrder[k]);
    ModelFit fit;
    const FitStatus status = fit_model(kOrder[k], cp, weights, fit);
    m.not_fitted = why_not_fitted(kOrder[k], status);
    if (!m.fitted()) continue;
    m.f = fit.f;
    m.vv = fit.vv;
    m.mo = fit.f > 0 ? fit.s0 : kNaN;
    m.check_point_rms = fit_quality(fit, cp, weights, c.weighted ? 1.0 : fit.s0).check_point_rms;
    kept[k].model = fit.model;
    kept[k].u = fit.u;
    kept[k].f = fit.f;
    kept[k].vv = fit.vv;
  }
  const auto test = [&](int larger, int smaller) -> std::optional<ExtraParameterTest> {
    if (!c.models[larger].fitted() || !c.models[smaller].fitted() || kept[larger].f <= 0) return {};
    return as_test(extra_parameter_test(kept[smaller], kept[larger], kAlpha), kOrder[larger],
                   kOrder[smaller]);
  };
  c.scale = test(1, 0);
  c.affine = test(2, 1);
  return c;
}

void write_model_comparison(std::ostream& out, const ModelComparison& c) {
  out << " Model comparison of the " << c.n << " common points (alpha = 0.05"
      << (c.weighted ? ", weighted" : "") << "):\n";
  out << "   model       u    f"
      << (c.weighted ? "           vTPv          s0" : "        vv (m2)      mo (m)")
      << "  check-point RMS (m)\n";
  for (const ComparedModel& m : c.models) {
    out << "   " << padded(std::string(m.name), 12) << fixed(m.u, 0, 1);
    if (!m.fitted()) {
      out << "    -   not fitted: " << m.not_fitted << "\n";
      continue;
    }
    out << fixed(m.f, 0, 5) << fixed(m.vv, 6, 15) << fixed(m.mo, 4, 12)
        << fixed(m.check_point_rms, 4, 21) << "\n";
  }
  out << "   F tests of the extra parameters:\n";
  test_line(out, "scale", c.models[1], c.models[0], c.scale);
  test_line(out, "affine", c.models[2], c.models[1], c.affine);
}

void write_model_comparison_json(std::ostream& out, const ModelComparison& c) {
  out << "\n\"model_comparison\":{\"weighted\":" << (c.weighted ? "true" : "false")
      << ",\"models\":{";
  for (int k = 0; k < 3; ++k) {
    if (k) out << ",";
    model_json(out, c.models[k]);
  }
  out << "},\"tests\":{";
  test_json(out, "similarity_vs_rigid", c.scale);
  out << ",";
  test_json(out, "affine_vs_similarity", c.affine);
  out << "}},";
}

}  // namespace helmert2d
