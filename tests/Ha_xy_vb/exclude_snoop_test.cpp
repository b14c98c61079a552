// Leaving points out: --exclude must give the report of the same run with the name
// removed from the second file, and --snoop must find planted blunders in the order of
// their pair test values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "helmert2d/isttstk.h"
#include "support/temp_dir.h"

namespace {

using testsupport::read_file;
using testsupport::run_program;
using testsupport::TempDir;

struct Point {
  std::string name;
  double x, y, X, Y;
};

// A blunder planted in control point `index`: `size` metres along (ux, uy) in (X, Y).
struct Blunder {
  int index;
  double size;
  double ux = 0.6, uy = 0.8;
};

// n control points with millimetre noise and planted blunders, plus two further points.
std::vector<Point> job(int n, const std::vector<Blunder>& blunders) {
  std::vector<Point> p;
  unsigned long s = 777;
  auto noise = [&s] {
    s = (s * 1103515245UL + 12345UL) % 2147483648UL;
    return (static_cast<double>(s) / 2147483648.0 - 0.5) * 0.006;
  };
  for (int i = 0; i < n + 2; ++i) {
    const double x = 1000.0 + 397.0 * (i % 4) + 13.0 * i, y = 2000.0 + 311.0 * (i / 4) - 7.0 * i;
    Point q{"C", x, y, 0, 0};
    q.name += std::to_string(10 + i);
    q.X = 4500000.0 + 0.99998 * x - 0.0312 * y + noise();
    q.Y = 500000.0 + 0.0312 * x + 0.99998 * y + noise();
    p.push_back(q);
  }
  for (const Blunder& b : blunders) {
    p[b.index].X += b.size * b.ux;
    p[b.index].Y += b.size * b.uy;
  }
  return p;
}

std::string first_file(const std::vector<Point>& p) {
  std::ostringstream os;
  os.precision(12);
  for (const Point& q : p) os << q.name << " " << q.x << " " << q.y << " 0\n";
  return os.str();
}

// The second file of the n control points, without the names in `without`.
std::string second_file(const std::vector<Point>& p, int n,
                        const std::vector<std::string>& without) {
  std::ostringstream os;
  os.precision(12);
  for (int i = 0; i < n; ++i) {
    if (std::find(without.begin(), without.end(), p[i].name) != without.end()) continue;
    os << p[i].name << " " << p[i].X << " " << p[i].Y << " 0\n";
  }
  return os.str();
}

// The program run in a directory of its own on one.txt and two.txt with `options`,
// writing the report out.txt.
struct ProgramRun {
  ProgramRun(const std::vector<std::string>& options, const std::string& one,
             const std::string& two) {
    dir.write("one.txt", one);
    dir.write("two.txt", two);
    std::vector<std::string> args{"--no-window", "--no-pause"};
    args.insert(args.end(), options.begin(), options.end());
    for (const char* f : {"one.txt", "two.txt", "out.txt"}) args.push_back(f);
    result = run_program(HELMERT2D_PROGRAM, args, dir);
  }
  std::string file(const std::string& name) const { return read_file(dir.file(name)); }
  TempDir dir;
  testsupport::ProgramResult result;
};

std::string report_of(const std::vector<std::string>& options, const std::string& one,
                      const std::string& two) {
  return ProgramRun(options, one, two).file("out.txt");
}

// A report split at its run record: what comes before it, and the record ("" for none).
std::pair<std::string, std::string> split_record(const std::string& report) {
  const std::size_t at = report.find("\n            ==========\n            Run Record\n");
  if (at == std::string::npos) return {report, ""};
  return {report.substr(0, at), report.substr(at)};
}

// The record's row of a point left out: its misclosure vx, vy (mm) and how it was left
// out; false when the record has no such row.
bool left_out_row(const std::string& record, const std::string& name, double& vx, double& vy,
                  std::string& by) {
  std::istringstream lines(record);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string i, n;
    double length = 0;
    if (!(fields >> i >> n >> vx >> vy >> length) || n != name) continue;
    std::getline(fields >> std::ws, by);
    return std::abs(std::hypot(vx, vy) - length) <= 0.1;
  }
  return false;
}

TEST(Exclude, ReportEqualsTheRunWithoutThoseNames) {
  struct Case {
    int n;
    std::vector<std::string> names;
  };
  for (const Case& c :
       {Case{6, {"C12"}}, Case{12, {"C10"}}, Case{12, {"C15", "C21"}}, Case{5, {"C11", "C14"}}}) {
    const auto p = job(c.n, {{2, 0.05}});
    std::vector<std::string> options;
    for (const auto& name : c.names) options.insert(options.end(), {"--exclude", name});
    const ProgramRun excluded(options, first_file(p), second_file(p, c.n, {}));
    ASSERT_EQ(excluded.result.status, 0) << excluded.result.out;
    // Up to its run record, the report is that of the files without those names.
    const auto [body, record] = split_record(excluded.file("out.txt"));
    EXPECT_EQ(body, report_of({}, first_file(p), second_file(p, c.n, c.names)))
        << c.n << " " << c.names[0];
    for (const auto& name : c.names) {
      double vx = 0, vy = 0;
      std::string by;
      ASSERT_TRUE(left_out_row(record, name, vx, vy, by)) << record;
      EXPECT_EQ(by, "--exclude");
      // C12 carries the planted blunder (+30, +40 mm in the given X, Y); left out, it no
      // longer bends the estimate, and transformed minus given shows it with the opposite
      // sign.
      if (name != "C12") continue;
      EXPECT_NEAR(vx, -30.0, 6.0);
      EXPECT_NEAR(vy, -40.0, 6.0);
    }
    EXPECT_NE(excluded.result.out.find(" Left out of the estimation: " + c.names[0]),
              std::string::npos);
  }
}

TEST(Snoop, FindsTwoBlundersInTheOrderOfTheirT) {
  const int n = 15;
  const auto p = job(n, {{4, 0.05}, {9, 0.08}});
  const ProgramRun snooped({"--snoop", "--json", "run.json"}, first_file(p), second_file(p, n, {}));
  const auto& run = snooped.result;
  ASSERT_EQ(run.status, 0) << run.out;
  const auto doc = nlohmann::json::parse(snooped.file("run.json"));
  ASSERT_EQ(doc["snooping"].size(), 2u) << run.out;
  EXPECT_EQ(doc["snooping"][0]["name"], "C19");  // the 8 cm blunder has the larger T
  EXPECT_EQ(doc["snooping"][1]["name"], "C14");
  EXPECT_GT(doc["snooping"][0]["T"].get<double>(), doc["snooping"][0]["c"].get<double>());
  EXPECT_LT(doc["snooping"][1]["mo_after"].get<double>(), 0.005);
  // The p-values are those of the final estimate, of the 13 points left: t(2 * 13 - 5).
  ASSERT_EQ(doc["points"].size(), 13u);
  for (const auto& point : doc["points"]) {
    EXPECT_EQ(point["p_x"].get<double>(), t_upper_tail(point["Tvx"].get<double>(), 21));
  }
  EXPECT_NE(run.out.find(" Snooping: C19 left out (T = "), std::string::npos) << run.out;
  const auto [body, record] = split_record(snooped.file("out.txt"));
  EXPECT_EQ(body, split_record(report_of({"--exclude", "C19", "--exclude", "C14"}, first_file(p),
                                         second_file(p, n, {})))
                      .first);
  // The record names the step that left each point out, and keeps the JSON's time.
  for (const auto& [name, by] : {std::pair{"C19", "--snoop, step 1"}, {"C14", "--snoop, step 2"}}) {
    double vx = 0, vy = 0;
    std::string how;
    ASSERT_TRUE(left_out_row(record, name, vx, vy, how)) << record;
    EXPECT_EQ(how, by);
  }
  EXPECT_NE(record.find("   Time    : " + doc["time"].get<std::string>() + " (UTC)\n"),
            std::string::npos)
      << record;
  // In the JSON the points left out are "excluded", with the planted blunders (m) as
  // misclosures of the opposite sign.
  int excluded = 0;
  for (const auto& point : doc["transformed"]) {
    if (point["role"] != "excluded") continue;
    ++excluded;
    const double size = point["name"] == "C19" ? 0.08 : 0.05;
    EXPECT_NEAR(point["vx"].get<double>(), -0.6 * size, 0.006) << point;
    EXPECT_NEAR(point["vy"].get<double>(), -0.8 * size, 0.006) << point;
  }
  EXPECT_EQ(excluded, 2);
  // Without blunders nothing is left out: the report is the plain one and its record
  // has no table of points left out.
  const auto clean = job(n, {});
  const ProgramRun quiet({"--snoop"}, first_file(clean), second_file(clean, n, {}));
  const auto [quiet_body, quiet_record] = split_record(quiet.file("out.txt"));
  EXPECT_EQ(quiet_body, report_of({}, first_file(clean), second_file(clean, n, {})));
  EXPECT_NE(quiet_record.find("   Options : --no-window --no-pause --snoop\n"), std::string::npos)
      << quiet_record;
  EXPECT_EQ(quiet_record.find("Left out"), std::string::npos);
  EXPECT_EQ(quiet.result.out.find("Snooping"), std::string::npos);
}

// Which point a snooping step leaves out when the tables flag more than one, or flag one
// by its components alone. Each case first checks, on the run without snooping, that the
// job flags what the case is about.
TEST(Snoop, LeavesOutTheFlaggedPointWithTheLargestT) {
  struct Case {
    int n;
    std::vector<Blunder> blunders;
    std::vector<std::string> flagged;  // by either table, in report order
    bool pair_flagged;                 // whether the pair test flags them too
    std::string first_left_out;
  };
  for (const Case& c : {
           // Two flagged at once: the larger T (C30, 9 cm) goes first, not C13's.
           Case{30, {{3, 0.03, 1, 0}, {20, 0.04, 0, 1}}, {"C13", "C30"}, true, "C30"},
           // A 7 mm blunder in X alone: the component test flags it, the pair test does not.
           Case{15, {{4, 0.007, 1, 0}}, {"C14"}, false, "C14"},
       }) {
    const auto p = job(c.n, c.blunders);
    const ProgramRun plain({"--json", "plain.json", "--csv", "plain.csv"}, first_file(p),
                           second_file(p, c.n, {}));
    const auto before = nlohmann::json::parse(plain.file("plain.json"));
    std::vector<std::string> flagged;
    double largest_T = 0;
    for (const auto& q : before["points"]) {
      if (!q["flagged"].get<bool>() && !q["outlier"].get<bool>()) continue;
      flagged.push_back(q["name"]);
      EXPECT_EQ(q["outlier"].get<bool>(), c.pair_flagged) << q["name"];
      if (q["T"].get<double>() > largest_T) largest_T = q["T"].get<double>();
    }
    ASSERT_EQ(flagged, c.flagged) << plain.result.out;
    // The CSV's flagged column says the same, for a flag of either table.
    std::istringstream csv(plain.file("plain.csv"));
    std::vector<std::string> csv_flagged;
    for (std::string line; std::getline(csv, line);) {
      if (line.ends_with(",true\r")) csv_flagged.push_back(line.substr(0, line.find(',')));
    }
    EXPECT_EQ(csv_flagged, c.flagged);

    const ProgramRun snooped({"--snoop", "--json", "run.json"}, first_file(p),
                             second_file(p, c.n, {}));
    const auto doc = nlohmann::json::parse(snooped.file("run.json"));
    ASSERT_GE(doc["snooping"].size(), 1u) << snooped.result.out;
    EXPECT_EQ(doc["snooping"][0]["name"], c.first_left_out);
    EXPECT_EQ(doc["snooping"][0]["T"].get<double>(), largest_T);
    // A point flagged by its components alone says so on the console.
    EXPECT_EQ(snooped.result.out.find("; component test ") != std::string::npos, !c.pair_flagged)
        << snooped.result.out;
    EXPECT_EQ(snooped.result.out.find(" > c = ") != std::string::npos, c.pair_flagged)
        << snooped.result.out;
  }
}

TEST(InputNotes, AppearOnlyForWhatTheyName) {
  struct Case {
    std::string one, two, note;  // note empty: no note at all
  };
  const std::string base = "A 0 0 0\nB 100 0 0\nC 0 100 0\n";
  const std::string base2 = "A 10 10 0\nB 110 10 0\nC 10 110 0\n";
  // Unmatched names Z0, Z1, ...: ten are listed whole, the eleventh is counted.
  std::string ten, names;
  for (int i = 0; i < 10; ++i) {
    ten += 'Z';
    ten += std::to_string(i) + " 5 5 0\n";
    names += i ? ", Z" : "Z";
    names += std::to_string(i);
  }
  for (const Case& c :
       {Case{base, base2, ""},
        Case{base, base2 + ten,
             " note: 10 names of two.txt have no partner in one.txt: " + names + "\n"},
        Case{
            base, base2 + ten + "Y 6 6 0\n",
            " note: 11 names of two.txt have no partner in one.txt: " + names + ", ... (1 more)\n"},
        // Repeated names in the order they first occur in their file.
        Case{"Q 9 9 0\n" + base + "A 1 1 0\nQ 1 1 0\n", base2,
             " note: names that occur more than once in one.txt: Q, A\n"},
        Case{base, base2 + "C 10 110 0\nB 110 10 0\n",
             " note: names that occur more than once in two.txt: C, B\n"},
        Case{base, base2 + "Z 5 5 0\nY 6 6 0\n",
             " note: 2 names of two.txt have no partner in one.txt: Z, Y\n"},
        Case{base + "A 1 1 0\n", base2, " note: names that occur more than once in one.txt: A\n"},
        Case{base, base2 + "B 110 10 0\n",
             " note: names that occur more than once in two.txt: B\n"},
        // A name three times is named once.
        Case{base + "A 1 1 0\nA 2 2 0\n", base2,
             " note: names that occur more than once in one.txt: A\n"},
        Case{base, base2 + "B 110 10 0\nB 110 10 0\n",
             " note: names that occur more than once in two.txt: B\n"},
        Case{base + "p1 5 5 0\n", base2 + "P1 15 15 0\n",
             " note: names that match only when case is ignored (two.txt / one.txt): P1 / p1\n"}}) {
    const testsupport::ProgramResult r = ProgramRun({}, c.one, c.two).result;
    if (c.note.empty()) {
      EXPECT_EQ(r.out.find(" note: "), std::string::npos) << r.out;
    } else {
      EXPECT_NE(r.out.find(c.note), std::string::npos) << r.out;
    }
  }
}

TEST(Exclude, UnknownNameWritesNothing) {
  const auto p = job(5, {});
  const ProgramRun run({"--exclude", "C99", "--csv", "x.csv"}, first_file(p),
                       second_file(p, 5, {}));
  const auto& r = run.result;
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find(" ??? --exclude C99: no common point has that name\n"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(run.dir.file("out.txt")));
  EXPECT_FALSE(std::filesystem::exists(run.dir.file("x.csv")));
}

}  // namespace
