// The coordinate operation in WKT2:2019 read back by PROJ: projinfo parses it and
// keeps its accuracy, and cct applied to the first file's columns gives the second
// file's columns as the model's own formulas do; CRSs looked up through projinfo.
#include "Ha_xy_vb/wkt.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

using namespace helmert2d;

namespace {

bool have_proj() {
  return std::system("command -v cct >/dev/null 2>&1 && command -v projinfo >/dev/null 2>&1") == 0;
}

// Ten points over 2 km in system I, mapped into a national grid (northing about
// 4.5e6 m, easting about 5e5 m) by a slightly affine map with centimetre noise.
CommonPoints make_points() {
  std::mt19937_64 gen(24);
  std::uniform_real_distribution<double> pos(0.0, 2000.0);
  std::normal_distribution<double> noise(0.0, 0.01);
  CommonPoints cp;
  for (int i = 1; i <= 10; ++i) {
    const double x = pos(gen), y = pos(gen);
    const double X = 4521000.5 + 0.99996 * std::cos(2.9) * x - 0.99991 * std::sin(2.9) * y;
    const double Y = 501234.25 + 0.99996 * std::sin(2.9) * x + 0.99991 * std::cos(2.9) * y;
    cp.add(std::to_string(i), x, y, X + noise(gen), Y + noise(gen));
  }
  return cp;
}

// The model's mapping from its own parameters (not from the fit's coefficients).
void by_model(const ModelFit& f, double x, double y, double& X, double& Y) {
  const double* p = f.par;
  if (f.model == Model::similarity) {
    X = p[0] * x - p[1] * y + p[2], Y = p[1] * x + p[0] * y + p[3];
  } else if (f.model == Model::rigid) {
    X = std::cos(p[0]) * x - std::sin(p[0]) * y + p[1];
    Y = std::sin(p[0]) * x + std::cos(p[0]) * y + p[2];
  } else {
    X = p[0] * x + p[1] * y + p[2], Y = p[3] * x + p[4] * y + p[5];
  }
}

// Runs cct with the operation in `file` on the common points and on points 3 km away
// from them, in the `source` order, and compares each with the model's X, Y in
// the `target` order, within 0.1 mm.
void expect_cct_applies(const testsupport::TempDir& dir, const std::string& file,
                        const ModelFit& fit, const CommonPoints& cp, AxisOrder source,
                        AxisOrder target, const std::string& what) {
  std::ostringstream in;
  in.precision(17);
  std::vector<std::pair<double, double>> expected;
  for (int i = 1; i <= cp.n; ++i) {
    for (const double d : {0.0, 3000.0}) {
      const double x = cp.x[i] + d, y = cp.y[i] - d;
      double X, Y;
      by_model(fit, x, y, X, Y);
      in << (source == AxisOrder::EN ? y : x) << " " << (source == AxisOrder::EN ? x : y)
         << " 0 0\n";
      expected.push_back(target == AxisOrder::EN ? std::pair{Y, X} : std::pair{X, Y});
    }
  }
  dir.write("in.txt", in.str());
  std::istringstream out(
      testsupport::shell_output("cct -d 8 @" + file + " < " + dir.file("in.txt")));
  std::size_t k = 0;
  for (double a, b, z, t; out >> a >> b >> z >> t; ++k) {
    ASSERT_LT(k, expected.size()) << what;
    EXPECT_NEAR(a, expected[k].first, 1e-4) << what << " " << k;
    EXPECT_NEAR(b, expected[k].second, 1e-4) << what << " " << k;
  }
  EXPECT_EQ(k, expected.size()) << what;
}

const char* name(AxisOrder o) {
  return o == AxisOrder::EN ? "EN" : "NE";
}

// Every model in each of the four pairs of column orders, with local engineering CRSs:
// projinfo reads the file, gives the affine step as its PROJ string and the accuracy
// back; cct on the first file's columns (in its order) gives the model's X, Y in the
// second file's order within 0.1 mm, at the common points and at points 3 km away.
TEST(Wkt, ProjReadsAndAppliesTheOperationOfEveryModelInEveryAxisOrder) {
  if (!have_proj()) GTEST_SKIP() << "PROJ's cct/projinfo are not installed (tools/install-deps)";
  const CommonPoints cp = make_points();
  testsupport::TempDir dir;
  for (const Model model : {Model::similarity, Model::rigid, Model::affine}) {
    ModelFit fit;
    ASSERT_EQ(fit_model(model, cp, {}, fit), FitStatus::ok);
    const double rms = fit_quality(fit, cp, {}, fit.s0).check_point_rms;
    for (const AxisOrder first : {AxisOrder::NE, AxisOrder::EN}) {
      for (const AxisOrder second : {AxisOrder::NE, AxisOrder::EN}) {
        const std::string what =
            std::to_string(static_cast<int>(model)) + " " + name(first) + "/" + name(second);
        WktOperation op;
        op.name = "local.txt to national.txt";
        op.step = affine_step(fit);
        op.accuracy_m = rms;
        op.source = {"local \"site\" grid", first, ""};
        op.target = {"national.txt", second, ""};
        const std::string file = dir.write("op.wkt", coordinate_operation_wkt(op));
        const std::string proj = testsupport::shell_output("projinfo -o PROJ -q @" + file);
        EXPECT_EQ(proj.rfind("+proj=affine +xoff=", 0), 0u) << what << "\n" << proj;
        const auto doc = nlohmann::json::parse(
            testsupport::shell_output("projinfo -o PROJJSON -q @" + file), nullptr, false);
        ASSERT_TRUE(doc.is_object()) << what;
        EXPECT_EQ(doc["source_crs"]["name"], "local \"site\" grid") << what;
        const std::string accuracy = doc.value("accuracy", "");
        ASSERT_FALSE(accuracy.empty()) << what;
        EXPECT_NEAR(std::stod(accuracy), rms, rms * 1e-3) << what;
        expect_cct_applies(dir, file, fit, cp, first, second, what);
      }
    }
  }
}

// Real CRSs looked up through projinfo take their own axis order: UTM zone 35N is
// easting, northing; Gauss-Krueger zone 2 northing, easting. cct then expects and
// gives coordinates in the CRSs' orders, whatever the files' were.
TEST(Wkt, CrsCodesTakeTheirOwnAxisOrder) {
  if (!have_proj()) GTEST_SKIP() << "PROJ's cct/projinfo are not installed (tools/install-deps)";
  const CommonPoints cp = make_points();
  ModelFit fit;
  ASSERT_EQ(fit_model(Model::similarity, cp, {}, fit), FitStatus::ok);
  testsupport::TempDir dir;
  struct Case {
    const char* source;  // "" for the first file's local engineering CRS (EN)
    const char* target;
    AxisOrder source_order, target_order;
    const char* target_name;
  };
  const Case cases[] = {
      {"", "EPSG:32635", AxisOrder::EN, AxisOrder::EN, "WGS 84 / UTM zone 35N"},
      {"EPSG:31466", "EPSG:32635", AxisOrder::NE, AxisOrder::EN, "WGS 84 / UTM zone 35N"},
      {"EPSG:32635", "EPSG:31466", AxisOrder::EN, AxisOrder::NE,
       "DHDN / 3-degree Gauss-Kruger zone 2"}};
  for (const Case& c : cases) {
    WktOperation op;
    op.name = "calibration";
    op.step = affine_step(fit);
    op.accuracy_m = 0.0123;
    // The files' orders are NE for the first and the second: a CRS overrides them.
    op.source = {"local", AxisOrder::EN, ""};
    op.target = {"national", AxisOrder::NE, ""};
    if (*c.source != '\0') {
      ASSERT_EQ(lookup_crs(c.source, op.source), "") << c.source;
    }
    ASSERT_EQ(lookup_crs(c.target, op.target), "") << c.target;
    EXPECT_EQ(op.source.order, c.source_order) << c.source;
    EXPECT_EQ(op.target.order, c.target_order) << c.target;
    EXPECT_EQ(op.target.name, c.target_name);
    const std::string file = dir.write("op.wkt", coordinate_operation_wkt(op));
    const auto doc = nlohmann::json::parse(
        testsupport::shell_output("projinfo -o PROJJSON -q @" + file), nullptr, false);
    ASSERT_TRUE(doc.is_object()) << c.target;
    EXPECT_EQ(doc["target_crs"]["type"], "ProjectedCRS");
    EXPECT_EQ(doc["accuracy"], "0.0123");
    expect_cct_applies(dir, file, fit, cp, c.source_order, c.target_order, c.target);
  }
}

// A code that PROJ does not know, one that is not a plane metric CRS, one that would be
// an option, and projinfo missing: each an error that leaves the side as it was.
TEST(Wkt, CrsLookupErrors) {
  struct Case {
    const char* code;
    const char* program;
    const char* message;  // a part of it
    bool needs_proj;
  };
  const Case cases[] = {
      {"EPSG:999999", "projinfo", "PROJ does not know the CRS EPSG:999999 (", true},
      {"NOSUCH:1", "projinfo", "PROJ does not know the CRS NOSUCH:1", true},
      {"EPSG:4326", "projinfo", "EPSG:4326 is not a plane CRS with a north and an east axis", true},
      {"EPSG:2263", "projinfo", "EPSG:2263 is not a plane CRS", true},  // US survey feet
      {"EPSG:5555", "projinfo", "EPSG:5555 is not a plane CRS", true},  // compound
      {"--searchpaths", "projinfo", "\"--searchpaths\" is not a CRS code", false},
      {"", "projinfo", "\"\" is not a CRS code", false},
      {"EPSG:32635", "no-such-projinfo-24", "PROJ's no-such-projinfo-24 cannot be run (", false}};
  for (const Case& c : cases) {
    if (c.needs_proj && !have_proj()) continue;
    WktCrs crs{"kept", AxisOrder::NE, ""};
    const std::string why = lookup_crs(c.code, crs, c.program);
    EXPECT_NE(why.find(c.message), std::string::npos) << c.code << ": " << why;
    EXPECT_EQ(why.find('\n'), std::string::npos) << why;
    EXPECT_EQ(crs.name, "kept");
    EXPECT_TRUE(crs.wkt.empty());
  }
}

// Without an accuracy the element is left out; a coefficient that is not finite gives
// no text at all; names are quoted with their double quotes doubled.
TEST(Wkt, AccuracyNamesAndUnwritableCoefficients) {
  WktOperation op;
  op.name = "a \"b\"";
  op.source.name = "c";
  op.target.name = "d";
  op.step = {4521000.5, 501234.25, 1, 0, 0, 1};
  op.accuracy_m = std::nan("");
  std::string wkt = coordinate_operation_wkt(op);
  EXPECT_EQ(wkt.find("OPERATIONACCURACY"), std::string::npos);
  EXPECT_EQ(wkt.rfind("COORDINATEOPERATION[\"a \"\"b\"\"\",", 0), 0u) << wkt;
  EXPECT_NE(wkt.find("PARAMETER[\"A0\",4521000.5,"), std::string::npos) << wkt;
  op.accuracy_m = 0.0123456;
  wkt = coordinate_operation_wkt(op);
  EXPECT_NE(wkt.find("OPERATIONACCURACY[0.01235]]\n"), std::string::npos) << wkt;
  op.step.s12 = HUGE_VAL;
  EXPECT_EQ(coordinate_operation_wkt(op), "");
}

}  // namespace
