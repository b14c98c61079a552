// The helmert2d-boundary program as a user runs it: arguments, console text, saved
// plot and exit status for every path, including each failure a user can cause.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace {

using testsupport::read_file;
using testsupport::run_program;
using testsupport::TempDir;

std::string program() {
  return HELMERT2D_BOUNDARY_PROGRAM;
}

// Without a display and with a key waiting, so no run blocks. Under the leak checker
// the report of suppressed library allocations is kept off standard error.
testsupport::ProgramResult run(const std::vector<std::string>& args, const TempDir& dir,
                               const std::string& env = "") {
  return run_program(program(), args, dir, "\n",
                     "env -u DISPLAY -u WAYLAND_DISPLAY "
                     "LSAN_OPTIONS=\"${LSAN_OPTIONS}:print_suppressions=0\" " +
                         env);
}

const char* const kTwoPoints =
    "K1 4358254.15783 2191973.48325 4094999.06830 -0.0029491 0.0036658 0.0169713 0.0\n"
    "K2 4330275.80779 2223549.02906 4107817.87979 0.0000000 0.0000000 0.0000000 0.0\n";

const char* const kListing =
    "  NktSys :2     DOM :27\n"
    " ========  ==========  ==========  ========  ======  ======  ======  ======\n"
    "    NN     Yukari[m]    Saga [m]     h [m]   vx[cm]  vy[cm]  vh[cm]  vS[cm]\n"
    " ========  ==========  ==========  ========  ======  ======  ======  ======\n";

const char* const kNotShown =
    " The plot was not shown (no display); use --plot FILE to save it as a picture.\n";

TEST(BoundaryCli, ListsAFileAndSaysThePlotWasNotShown) {
  TempDir dir;
  dir.write("d.txt", kTwoPoints);
  const auto r = run({"d.txt"}, dir);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out.rfind(kListing, 0), 0u) << r.out;
  EXPECT_NE(r.out.find("\n MAX \n   1       K1"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\n MIN \n   2       K2"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.substr(r.out.size() - std::string(kNotShown).size()), kNotShown);
  EXPECT_EQ(r.err, "");
  // With --no-window nothing was to be shown, so nothing is said about it.
  const auto quiet = run({"--no-window", "--no-pause", "d.txt"}, dir);
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.out, r.out.substr(0, r.out.size() - std::string(kNotShown).size()));
}

TEST(BoundaryCli, SavesThePlotAsPngOrBmp) {
  TempDir dir;
  dir.write("d.txt", kTwoPoints);
  const auto png = run({"--no-window", "--plot", "plot.png", "d.txt"}, dir);
  EXPECT_EQ(png.status, 0) << png.out << png.err;
  EXPECT_EQ(png.out.find("not shown"), std::string::npos);
  EXPECT_EQ(read_file(dir.file("plot.png")).substr(1, 3), "PNG");
  const auto bmp = run({"--plot=plot.bmp", "--no-pause", "d.txt"}, dir);
  EXPECT_EQ(bmp.status, 0);
  EXPECT_EQ(read_file(dir.file("plot.bmp")).substr(0, 2), "BM");

  // The input is never overwritten by the picture.
  const auto same = run({"--plot", "./d.txt", "d.txt"}, dir);
  EXPECT_EQ(same.status, 1);
  EXPECT_EQ(same.out, " ??? Plot file ./d.txt is the same file as the displacement file\n");
  EXPECT_EQ(read_file(dir.file("d.txt")), kTwoPoints);

  const auto bad = run({"--plot", "no/such/dir/plot.png", "d.txt"}, dir);
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.out.find(" ??? Plot file no/such/dir/plot.png is not written\n"), std::string::npos)
      << bad.out;
}

TEST(BoundaryCli, Options) {
  TempDir dir;
  const auto help = run({"--help"}, dir);
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: helmert2d-boundary", 0), 0u);
  EXPECT_EQ(run({"-h"}, dir).out, help.out);
  const auto version = run({"--version"}, dir);
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("helmert2d-boundary ", 0), 0u);

  for (const std::vector<std::string>& args : {std::vector<std::string>{"--frobnicate", "d.txt"},
                                               {},
                                               {"a.txt", "b.txt"},
                                               {"--plot"},
                                               {"--plot=", "d.txt"},
                                               {"--inside", "1", "2"},
                                               {"--inside", "x", "2", "p.txt"}}) {
    const auto bad = run(args, dir);
    EXPECT_EQ(bad.status, 2) << args.size();
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(std::count(bad.err.begin(), bad.err.end(), '\n'), 1) << bad.err;
  }
  EXPECT_NE(run({"--frobnicate"}, dir).err.find("'--frobnicate'"), std::string::npos);

  // After "--" every argument is an operand, even one that looks like an option.
  dir.write("-odd.txt", kTwoPoints);
  EXPECT_EQ(run({"--no-pause", "--", "-odd.txt"}, dir).status, 0);
}

TEST(BoundaryCli, DisplacementFileErrors) {
  TempDir dir;
  const auto missing = run({"none.txt"}, dir);
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, " ??? Displacement file none.txt is not opened\n");
  std::filesystem::create_directory(dir.file("adir"));
  EXPECT_EQ(run({"adir"}, dir).out, " ??? Displacement file adir is not opened\n");

  dir.write("empty.txt", "\n");
  const auto empty = run({"empty.txt"}, dir);
  EXPECT_EQ(empty.status, 1);
  EXPECT_NE(empty.out.find(" No point in empty.txt\n"), std::string::npos) << empty.out;
  EXPECT_EQ(empty.out.find("not shown"), std::string::npos);
}

TEST(BoundaryCli, ReadingStopsAtTheFirstIncompleteRecordWithANotice) {
  TempDir dir;
  dir.write("d.txt", std::string(kTwoPoints) + "\nK3 4330275.8 2223549.0 oops 0 0 0 0\n");
  const auto r = run({"d.txt"}, dir);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind(" ??? d.txt line 4: reading stopped at 'oops'; the records after it are "
                        "ignored\n  NktSys :2 ",
                        0),
            0u)
      << r.out;
  dir.write("cut.txt", std::string(kTwoPoints) + "K3 4330275.8\n");
  EXPECT_EQ(run({"cut.txt"}, dir).out.rfind(" ??? cut.txt line 3: reading stopped at 'K3'", 0), 0u);
}

TEST(BoundaryCli, InsideChecksAPointAgainstThePolygons) {
  TempDir dir;
  dir.write("p.txt", "4 north\n10 10  20 10  20 20  10 20\n4 south\n-5 -5  5 -5  5 5  -5 5\n");
  const auto in = run({"--inside", "15", "12.5", "p.txt"}, dir);
  EXPECT_EQ(in.status, 0);
  EXPECT_EQ(in.out, " Point (15, 12.5) lies inside a polygon of p.txt\n");
  // Negative coordinates are operands, not options.
  const auto neg = run({"--inside", "-1", "-2", "p.txt"}, dir);
  EXPECT_EQ(neg.out, " Point (-1, -2) lies inside a polygon of p.txt\n");
  const auto out = run({"--inside", "7", "7", "p.txt"}, dir);
  EXPECT_EQ(out.status, 0);
  EXPECT_EQ(out.out, " Point (7, 7) lies inside none of the polygons of p.txt\n");

  const auto missing = run({"--inside", "7", "7", "none.txt"}, dir);
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, " ??? Polygon file none.txt is not opened\n");
}

// Runs the program with `input` written into a pipe that is named as /dev/stdin. A
// pipe can be read only once, so a program that opens its input twice sees no text
// the second time.
testsupport::ProgramResult run_piped(const std::vector<std::string>& args, const TempDir& dir,
                                     const std::string& input) {
  dir.write(".piped", input);
  std::string cmd = "cd ";
  cmd.append(testsupport::shell_quote(dir.path()))
      .append(" && cat .piped | env -u DISPLAY -u WAYLAND_DISPLAY ")
      .append("LSAN_OPTIONS=\"${LSAN_OPTIONS}:print_suppressions=0\" ")
      .append(testsupport::shell_quote(program()));
  for (const auto& a : args) cmd.append(" ").append(testsupport::shell_quote(a));
  cmd += " > .stdout 2> .stderr";
  const int raw = std::system(cmd.c_str());
  testsupport::ProgramResult r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = read_file(dir.file(".stdout"));
  r.err = read_file(dir.file(".stderr"));
  return r;
}

TEST(BoundaryCli, ReadsEachInputOnceSoAPipeWorks) {
  TempDir dir;
  dir.write("d.txt", kTwoPoints);
  const auto from_file = run({"--no-pause", "--no-window", "d.txt"}, dir);
  const auto piped = run_piped({"--no-pause", "--no-window", "/dev/stdin"}, dir,
                               std::string(kTwoPoints) + "K3 1 2 x\n");
  EXPECT_EQ(piped.status, 0) << piped.out << piped.err;
  std::string expected =
      " ??? /dev/stdin line 3: reading stopped at 'x'; the records after it are ignored\n";
  expected += from_file.out;
  EXPECT_EQ(piped.out, expected);

  const auto inside = run_piped({"--inside", "15", "12.5", "/dev/stdin"}, dir,
                                "4 north\n10 10  20 10  20 20  10 20\n");
  EXPECT_EQ(inside.status, 0);
  EXPECT_EQ(inside.out, " Point (15, 12.5) lies inside a polygon of /dev/stdin\n");
}

TEST(BoundaryCli, ListingIsTheSameUnderADecimalCommaLocale) {
  if (std::system("locale -a 2>/dev/null | grep -qi '^de_DE.utf-\\?8$'") != 0)
    GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
  TempDir dir;
  dir.write("d.txt", kTwoPoints);
  const auto c = run({"d.txt"}, dir, "LC_ALL=C");
  const auto de = run({"d.txt"}, dir, "LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8");
  EXPECT_EQ(de.status, 0);
  EXPECT_EQ(de.out, c.out);
}

TEST(BoundaryCli, BundledExampleRuns) {
  TempDir dir;
  const std::string examples = std::string(HELMERT2D_SOURCE_DIR) + "/examples/";
  const auto r = run({examples + "boundary-displacements.txt"}, dir);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.rfind("  NktSys :12     DOM :27\n", 0), 0u) << r.out;
  const auto p = run({"--inside", "4530000", "536000", examples + "polygons.txt"}, dir);
  EXPECT_EQ(p.status, 0);
  EXPECT_NE(p.out.find("inside a polygon"), std::string::npos) << p.out;
}

}  // namespace
