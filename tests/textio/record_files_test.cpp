// The three record files read the same way: coordinate files (name and three numbers),
// displacement files (name and seven numbers) and polygon files (count, name and the
// vertex pairs). Each case gives a file's text and what its reader makes of it.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "Ha_xy_vb/coordinate_file.h"
#include "grafik/boundary_files.h"
#include "support/temp_dir.h"

namespace {

using testsupport::TempDir;

enum class Kind { coordinates, displacements, polygons };

// What a reader made of a file: its records as "a b c|d e f" and where it stopped
// ("" for the end of the file, otherwise "token@line").
struct Outcome {
  std::string records;
  std::string stop;
  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Outcome& o) {
  return os << "{records '" << o.records << "', stop '" << o.stop << "'}";
}

std::string stop_of(const helmert2d::textio::ReadStop& s) {
  return s.stopped ? s.token + "@" + std::to_string(s.line) : "";
}

// Reads `path` with the reader of `kind`; false when it cannot be read.
bool read(Kind kind, const std::string& path, Outcome& o) {
  std::ostringstream rec;
  auto next = [&rec] {
    if (rec.tellp() > 0) rec << "|";
  };
  bool ok = false;
  helmert2d::textio::ReadStop stop;
  if (kind == Kind::coordinates) {
    helmert2d::CoordinateFile f;
    ok = helmert2d::read_coordinate_file(path, f);
    for (const auto& r : f.records) next(), rec << r.name << " " << r.first << " " << r.second;
    stop = f.stop;
  } else if (kind == Kind::displacements) {
    helmert2d::grafik::DisplacementFile f;
    ok = helmert2d::grafik::read_displacement_file(path, f);
    for (const auto& r : f.records) {
      next();
      rec << r.name << " " << r.X << " " << r.Y << " " << r.Z << " " << r.dX << " " << r.dY << " "
          << r.dZ;
    }
    stop = f.stop;
  } else {
    helmert2d::grafik::PolygonFile f;
    ok = helmert2d::grafik::read_polygon_file(path, f);
    for (const auto& p : f.polygons) {
      next();
      for (std::size_t k = 0; k < p.A.size(); ++k) rec << (k ? " " : "") << p.A[k] << "," << p.B[k];
    }
    stop = f.stop;
  }
  o = Outcome{rec.str(), stop_of(stop)};
  return ok;
}

TEST(RecordFiles, RecordsAndWhereReadingStops) {
  using enum Kind;
  struct Case {
    Kind kind;
    const char* text;
    Outcome expected;
  };
  const Case cases[] = {
      // Coordinate files: records need not follow the lines.
      {coordinates, "A 1 2 3 B\t4\n5 6\n", {"A 1 2|B 4 5", ""}},
      {coordinates, "  \n\n", {"", ""}},
      {coordinates, "\xEF\xBB\xBFP1 1 2 3\r\np1 4 5 6\r\n", {"P1 1 2|p1 4 5", ""}},
      // Three-field records: the second name lands where the third number belongs.
      {coordinates, "A 1 2\nB 3 4\n", {"", "B@2"}},
      // A title line yields no record at all.
      {coordinates, "Name X Y H\nA 1 2 3\n", {"", "X@1"}},
      // A note after the data stops the reading there.
      {coordinates, "A 1 2 3\n\nchecked 2026-11-30\n", {"A 1 2", "2026-11-30@3"}},
      // At the end of the file the record cut short is named.
      {coordinates, "A 1 2 3\nB 4\n\n", {"A 1 2", "B@2"}},
      {coordinates, "A 1 2 nan\n", {"", "nan@1"}},

      // Displacement files: all eight fields.
      {displacements,
       "K1 1 2 3 0.1 0.2 0.3 0\nK2 4 5 6 0 0 0 0\n",
       {"K1 1 2 3 0.1 0.2 0.3|K2 4 5 6 0 0 0", ""}},
      {displacements,
       "K1 1 2 3 0.1 0.2 0.3 0\n\nK3 4 5 oops 0 0 0 0\n",
       {"K1 1 2 3 0.1 0.2 0.3", "oops@3"}},
      {displacements, "K1 1 2 3 0.1 0.2 0.3 0\nK3 4\n", {"K1 1 2 3 0.1 0.2 0.3", "K3@2"}},
      // Seven numbers: a numeric name of the next record is taken as the eighth field,
      // and the rest of that record is one field short.
      {displacements, "101 1 2 3 4 5 6\n102 1 2 3 4 5 6 0\n", {"101 1 2 3 4 5 6", "1@2"}},
      {displacements, "\xEF\xBB\xBFK1 1 2 3 4 5 6 7\r\n", {"K1 1 2 3 4 5 6", ""}},

      // Polygon files: the count, the name and the declared vertex pairs.
      {polygons, "3 tri\n0 0  4 0  0 4\n2 line 1 1 2 2\n", {"0,0 4,0 0,4|1,1 2,2", ""}},
      {polygons, "\xEF\xBB\xBF\xEF\xBB\xBF\r\n", {"", "\xEF\xBB\xBF@1"}},
      {polygons,
       "\xEF\xBB\xBF"
       "4 north\r\n10 10 20 10 20 20 10 20\r\n",
       {"10,10 20,10 20,20 10,20", ""}},
      {polygons, "1e0 dot 5 5\n", {"5,5", ""}},  // a count may be written as any number
      {polygons, "1 dot 5 5\n0 empty\n1 dot 6 6\n", {"5,5", "0@2"}},
      {polygons, "-3 neg\n", {"", "-3@1"}},
      {polygons, "2.5 half\n", {"", "2.5@1"}},
      {polygons, "garbage\n1 dot 5 5\n", {"", "garbage@1"}},
      {polygons, "1 dot 5 5\n2\n", {"5,5", "2@2"}},                   // the name is missing
      {polygons, "4 north\n10 10  20 10  20 20  10\n", {"", "4@1"}},  // cut short
      {polygons, "2 ab 1 1\n x 2\n", {"", "x@2"}},
      {polygons, "999999999 big 1 2 3 4\n", {"", "999999999@1"}},
      {polygons, "1000000001 huge 1 2\n", {"", "1000000001@1"}},
  };
  TempDir dir;
  for (const Case& c : cases) {
    Outcome got;
    ASSERT_TRUE(read(c.kind, dir.write("f.txt", c.text), got)) << c.text;
    EXPECT_EQ(got, c.expected) << static_cast<int>(c.kind) << ": " << c.text;
  }
}

TEST(RecordFiles, AFileThatCannotBeReadIsNoFile) {
  TempDir dir;
  for (Kind kind : {Kind::coordinates, Kind::displacements, Kind::polygons}) {
    for (const std::string& path : {dir.file("missing.txt"), dir.path()}) {
      Outcome got{"stale", "stale"};
      EXPECT_FALSE(read(kind, path, got)) << path;
      EXPECT_EQ(got, (Outcome{"", ""})) << path;
    }
  }
}

}  // namespace
