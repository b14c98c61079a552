// Coordinate files read line by line: the same points written as instruments and GIS
// packages export them give the report of the plain files, and a line that cannot be
// read ends the run with a console line naming it and no report.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "Ha_xy_vb/run.h"
#include "support/temp_dir.h"

namespace {

using helmert2d::CoordinateFormat;
using testsupport::TempDir;

struct Point {
  std::string name;
  double n, e, h;
};

// A job: common points in both systems (rotated, scaled, shifted, with noise) and
// further points in the first. Names include a comma and a quote.
void make_job(unsigned seed, std::vector<Point>& one, std::vector<Point>& two) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> coord(-5000.0, 5000.0), noise(-0.02, 0.02);
  const int common = 3 + static_cast<int>(rng() % 10), further = static_cast<int>(rng() % 5);
  const double a = 0.9998, o = 0.0213, tx = 4524000.0, ty = 414000.0;
  for (int i = 0; i < common + further; ++i) {
    std::string name = "P";
    name += std::to_string(100 + i);
    if (i == 1) name = "Hill,N";
    if (i == 2) name = "Q\"7";
    const double x = coord(rng), y = coord(rng), h = coord(rng) / 10;
    one.push_back({name, x, y, h});
    if (i < common)
      two.push_back({name, a * x - o * y + tx + noise(rng), o * x + a * y + ty + noise(rng), h});
  }
  std::shuffle(two.begin(), two.end(), rng);
}

std::string fixed(double v, bool comma) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.3f", v);
  std::string s = buf;
  if (comma) std::replace(s.begin(), s.end(), '.', ',');
  return s;
}

// RFC 4180: a name holding the delimiter or a quote is quoted, its quotes doubled.
std::string quoted(const std::string& name, char delimiter) {
  if (name.find(delimiter) == std::string::npos && name.find('"') == std::string::npos) return name;
  std::string q = "\"";
  for (char c : name) q += c == '"' ? std::string("\"\"") : std::string(1, c);
  return q + "\"";
}

struct Form {
  const char* label;
  std::function<std::string(const std::vector<Point>&)> write;
  CoordinateFormat format;
};

CoordinateFormat format_of(const char* delimiter, const char* columns, bool header, bool comma) {
  CoordinateFormat f;
  f.line_mode = true;
  EXPECT_EQ(delimiter != nullptr ? f.set_delimiter(delimiter) : "", "");
  EXPECT_EQ(columns != nullptr ? f.set_columns(columns) : "", "");
  f.header = header;
  f.decimal_comma = comma;
  EXPECT_EQ(f.check(), "");
  return f;
}

std::string plain(const std::vector<Point>& pts) {
  std::string s;
  for (const Point& p : pts)
    s +=
        p.name + " " + fixed(p.n, false) + " " + fixed(p.e, false) + " " + fixed(p.h, false) + "\n";
  return s;
}

// The run's report (empty when none was written), console and status.
struct Outcome {
  int status;
  std::string report, console;
};

Outcome run(const std::string& one, const std::string& two, const CoordinateFormat& format) {
  TempDir dir;
  helmert2d::RunRequest req;
  req.file1 = dir.write("one.txt", one);
  req.file2 = dir.write("two.txt", two);
  req.report = dir.file("report.txt");
  req.format = format;
  std::ostringstream console;
  Outcome out;
  out.status = helmert2d::run_transformation(req, console, nullptr);
  out.console = console.str();
  if (std::filesystem::exists(req.report)) out.report = testsupport::read_file(req.report);
  return out;
}

TEST(LineMode, ExportedFormsGiveThePlainReport) {
  const std::vector<Form> forms = {
      {"comma, header, E before N",
       [](const std::vector<Point>& pts) {
         std::string s = "Point,Easting,Northing,Height\r\n";
         for (const Point& p : pts)
           s += quoted(p.name, ',') + "," + fixed(p.e, false) + "," + fixed(p.n, false) + "," +
                fixed(p.h, false) + "\r\n";
         return s;
       },
       format_of(",", "auto", true, false)},
      {"semicolon, decimal comma",
       [](const std::vector<Point>& pts) {
         std::string s = "# exported\nPOINT;EAST;NORTH;ELEV\n";
         for (const Point& p : pts)
           s += quoted(p.name, ';') + ";" + fixed(p.e, true) + ";" + fixed(p.n, true) + ";" +
                fixed(p.h, true) + "\n";
         return s;
       },
       format_of(";", "auto", true, true)},
      {"tab, code column, no header",
       [](const std::vector<Point>& pts) {
         std::string s;
         for (const Point& p : pts)
           s += quoted(p.name, '\t') + "\tBM\t" + fixed(p.e, false) + "\t" + fixed(p.n, false) +
                "\t" + fixed(p.h, false) + "\n\n";
         return s;
       },
       format_of("tab", "id,code,E,N,h", false, false)},
      {"runs of blanks, N before E",
       [](const std::vector<Point>& pts) {
         std::string s;
         for (const Point& p : pts)
           s += "  " + quoted(p.name, ' ') + "\t" + fixed(p.n, false) + "   " + fixed(p.e, false) +
                " " + fixed(p.h, false) + "\n";
         return s;
       },
       format_of("space", nullptr, false, false)},
  };
  for (unsigned seed = 1; seed <= 4; ++seed) {
    std::vector<Point> one, two;
    make_job(seed, one, two);
    const Outcome expected = run(plain(one), plain(two), CoordinateFormat{});
    ASSERT_EQ(expected.status, 0) << expected.console;
    for (const Form& f : forms) {
      const Outcome got = run(f.write(one), f.write(two), f.format);
      EXPECT_EQ(got.status, 0) << f.label << ": " << got.console;
      EXPECT_EQ(got.console, "") << f.label;
      EXPECT_EQ(got.report, expected.report) << f.label << ", seed " << seed;
    }
  }
}

TEST(LineMode, ALineThatCannotBeReadIsAnErrorAndNoReportIsWritten) {
  const std::string good = "A,0,0,0\nB,100,0,0\nC,0,100,0\n";
  struct Case {
    const char* one;
    const char* columns;
    bool header, comma;
    const char* error;  // after " ??? one.txt line "
  };
  for (const Case& c : {
           Case{"A,0,0,0\n# note\n\nB,100,1x,0\n", "name,E,N,h", false, false,
                "4: field 3 (N) is not a number: '1x'"},
           {"A,0,0,0\nB,100,0\n", "name,N,E,h", false, false,
            "2: field 4 (h) is missing; the line has 3 fields"},
           {"A,0,0,0\nB\n", "name,N,E,h", false, false,
            "2: field 2 (N) is missing; the line has 1 field"},
           {"A,0,0,0\n,1,2,3\n", "name,N,E,h", false, false, "2: field 1 (name) is empty"},
           {"A,0,0,0\nB,,0,0\n", "name,N,E,h", false, false, "2: field 2 (N) is not a number: ''"},
           {"A,0,0,0\n\"B,1,2,3\n", "name,N,E,h", false, false,
            "2: field 1 (name): its quote is not closed on the line"},
           {"id,code,N,E\nA,x,0,0\nB,y,1,e\n", "auto", true, false,
            "3: field 4 (E) is not a number: 'e'"},
           {"Point,Easting,Height\nA,0,0\n", "auto", true, false,
            "1: the header names no N column (N, north, northing or x)"},
           {"Point,X,North,E\nA,0,0,0\n", "auto", true, false,
            "1: the header names N twice: fields 2 and 3"},
           {"A;0;12.5;0\n", "name,N,E,h", false, true, "1: field 3 (E) is not a number: '12.5'"},
           // A line with more fields than columns, also beyond a trailing delimiter.
           {"A,0,0,0\nB,1,2,3,4\n", "name,N,E,h", false, false,
            "2: the line has 5 fields, but --columns lists 4"},
           {"A,0,0,0,\nB,1,2,3,,\n", "name,N,E,h", false, false,
            "2: the line has 6 fields, but --columns lists 4"},
           {"A,c,0,0\nB,c,1,2,3\n", "name,code,N,E", false, false,
            "2: the line has 5 fields, but --columns lists 4"},
           {"A,0,0,0\n\"B,\",1,2,3,4\n", "name,N,E,h", false, false,
            "2: the line has 5 fields, but --columns lists 4"},
           {"id,N,E\nA,0,0\nB,1,2,\"x\"\n", "auto", true, false,
            "3: the line has 4 fields, but the header has 3"},
           // Only the third value may be left out.
           {"A,0,0,0\nB,1,NULL,0\n", "name,N,E,h", false, false,
            "2: field 3 (E) is not a number: 'NULL'"},
           {"A,0,0,0\nB,1,2,nil\n", "name,N,E,h", false, false,
            "2: field 4 (h) is not a number: 'nil'"},
       }) {
    CoordinateFormat f = format_of(c.comma ? ";" : ",", c.columns, c.header, c.comma);
    std::string one = c.one, two = good;
    if (c.header) two = "Point,N,E,h\n" + good;
    if (c.comma) {
      std::replace(one.begin(), one.end(), ',', ';');
      std::replace(two.begin(), two.end(), ',', ';');
    }
    const Outcome got = run(one, two, f);
    EXPECT_EQ(got.status, 1) << c.one;
    EXPECT_NE(got.console.find(std::string("one.txt line ") + c.error + "\n"), std::string::npos)
        << got.console;
    EXPECT_EQ(got.report, "") << c.one;
  }
}

}  // namespace
