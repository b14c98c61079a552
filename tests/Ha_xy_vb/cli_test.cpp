// The program as a user runs it: arguments, prompts, console text, report and exit
// status for every path, including each failure a user can cause.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "run_fixture.h"
#include "support/temp_dir.h"

namespace {

using testsupport::read_file;
using testsupport::run_program;
using testsupport::TempDir;

const char* const kConsoleBanner =
    "\n ******************************************************\n"
    " *                VELMORA UNIVERSITY                  *\n"
    " *         DEPARTMENT of GEOMATIC ENGINEERING         *\n"
    " *  CODED BY: PhD. Eskin VARO                         *\n"
    " *  DATE    : 2002, Velmora University /Turkey        *\n"
    " ******************************************************\n";

const char* const kSystemI =
    "101 4521.120 1210.330 0\n"
    "102 4890.455 1602.870 0\n"
    "103 4412.980 1987.120 0\n"
    "104 4075.210 1499.640 0\n"
    "205 4600.000 1500.000 0\n";
const char* const kSystemII =
    "103 512412.734 431987.482 0\n"
    "101 512521.001 431210.512 0\n"
    "102 512890.231 431602.981 0\n"
    "104 512075.197 431499.840 0\n";

std::string echo(const std::string& a, const std::string& b, const std::string& c) {
  return "\n\n From >" + a + "< to >" + b + "< 2D similarity results are recorded into >" + c +
         "<\n\n";
}

std::string program() {
  return HELMERT2D_PROGRAM;
}

struct Files {
  TempDir dir;
  Files(const std::string& one = kSystemI, const std::string& two = kSystemII) {
    dir.write("one.txt", one);
    dir.write("two.txt", two);
  }
  std::string report() const { return read_file(dir.file("out.txt")); }
};

TEST(Cli, ThreeNamesRunWithoutPrompts) {
  Files f;
  const auto r = run_program(program(), {"--no-window", "one.txt", "two.txt", "out.txt"}, f.dir);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kConsoleBanner + echo("one.txt", "two.txt", "out.txt"));
  EXPECT_EQ(r.err, "");
  EXPECT_NE(
      f.report().find("   === ==== ============ ============   ============= ============ \n"),
      std::string::npos);
}

TEST(Cli, PromptsForAllNames) {
  Files f;
  const auto r = run_program(program(), {"--no-window"}, f.dir, "one.txt\ntwo.txt\nout.txt\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, std::string(kConsoleBanner) + "  From File 1: " + "    To File 2: " +
                       "  Output file: " + echo("one.txt", "two.txt", "out.txt"));
  EXPECT_FALSE(f.report().empty());
}

TEST(Cli, TwoWordsAtTheFirstPromptFillTwoNames) {
  Files f;
  const auto r = run_program(program(), {"--no-window"}, f.dir, "one.txt two.txt\nout.txt\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, std::string(kConsoleBanner) + "  From File 1: " + "    To File 2: " +
                       "  Output file: " + echo("one.txt", "two.txt", "out.txt"));
}

TEST(Cli, PromptsOnlyForMissingNames) {
  Files f;
  const auto one = run_program(program(), {"--no-window", "one.txt"}, f.dir, "two.txt out.txt\n");
  EXPECT_EQ(one.out, std::string(kConsoleBanner) + "    To File 2: " + "  Output file: " +
                         echo("one.txt", "two.txt", "out.txt"));
  const auto two =
      run_program(program(), {"--no-window", "one.txt", "two.txt"}, f.dir, "out.txt\n");
  EXPECT_EQ(two.out, std::string(kConsoleBanner) +
                         "  Output file: " + echo("one.txt", "two.txt", "out.txt"));
  EXPECT_EQ(two.status, 0);
}

TEST(Cli, ReportIsTheSameFromPromptsAndArguments) {
  Files f;
  run_program(program(), {"--no-window", "one.txt", "two.txt", "out.txt"}, f.dir);
  const std::string by_args = f.report();
  run_program(program(), {"--no-window"}, f.dir, "one.txt two.txt out.txt");
  EXPECT_EQ(f.report(), by_args);
}

TEST(Cli, Options) {
  Files f;
  const auto help = run_program(program(), {"--no-window", "--help"}, f.dir);
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: helmert2d", 0), 0u);
  EXPECT_EQ(run_program(program(), {"--no-window", "-h"}, f.dir).out, help.out);

  const auto version = run_program(program(), {"--no-window", "--version"}, f.dir);
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("helmert2d ", 0), 0u);

  const auto bad = run_program(program(), {"--no-window", "--frobnicate", "one.txt"}, f.dir);
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(bad.out, "");
  EXPECT_EQ(std::count(bad.err.begin(), bad.err.end(), '\n'), 1) << bad.err;
  EXPECT_NE(bad.err.find("--frobnicate"), std::string::npos);

  // After "--" every argument is a name, even one that looks like an option.
  f.dir.write("-odd.txt", kSystemI);
  const auto ended = run_program(
      program(), {"--no-window", "--no-pause", "--", "-odd.txt", "two.txt", "out.txt"}, f.dir);
  EXPECT_EQ(ended.status, 0) << ended.out << ended.err;
}

TEST(Cli, MissingSecondFile) {
  Files f;
  const auto r =
      run_program(program(), {"--no-window", "one.txt", "nothere.txt", "out.txt"}, f.dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, kConsoleBanner + echo("one.txt", "nothere.txt", "out.txt") +
                       " ??? Second system file nothere.txt is not opened\n");
  // A run that read no input creates no report ...
  EXPECT_FALSE(std::filesystem::exists(f.dir.file("out.txt")));
  // ... and leaves an existing one as it was (a typo must not cost the last report).
  f.dir.write("out.txt", "the last report\n");
  const auto again =
      run_program(program(), {"--no-window", "one.txt", "nothere.txt", "out.txt"}, f.dir);
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(f.report(), "the last report\n");
  for (const auto& entry : std::filesystem::directory_iterator(f.dir.path())) {
    EXPECT_EQ(entry.path().filename().string().rfind("out.txt.", 0), std::string::npos)
        << "temporary left behind: " << entry.path();
  }
}

TEST(Cli, MissingFirstFile) {
  Files f;
  const auto r =
      run_program(program(), {"--no-window", "nothere.txt", "two.txt", "out.txt"}, f.dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, kConsoleBanner + echo("nothere.txt", "two.txt", "out.txt") +
                       " ??? First system file nothere.txt is not opened\n");
  EXPECT_FALSE(std::filesystem::exists(f.dir.file("out.txt")));
}

TEST(Cli, DirectoryAsInputIsNotOpened) {
  Files f;
  std::filesystem::create_directory(f.dir.file("adir"));
  const auto r = run_program(program(), {"--no-window", "one.txt", "adir", "out.txt"}, f.dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find(" ??? Second system file adir is not opened\n"), std::string::npos);
}

TEST(Cli, ReportCannotBeCreated) {
  Files f;
  const auto r =
      run_program(program(), {"--no-window", "one.txt", "two.txt", "no/such/dir/out.txt"}, f.dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, kConsoleBanner + echo("one.txt", "two.txt", "no/such/dir/out.txt") +
                       " ??? Output file no/such/dir/out.txt is not opened\n");
}

TEST(Cli, ReportThatIsAnInputFileIsRefused) {
  Files f;
  std::filesystem::create_symlink(f.dir.file("one.txt"), f.dir.file("link.txt"));
  std::filesystem::create_hard_link(f.dir.file("two.txt"), f.dir.file("hard.txt"));
  const std::string up = "../" + std::filesystem::path(f.dir.path()).filename().string();
  for (const std::string& out :
       std::vector<std::string>{"one.txt", "./two.txt", "link.txt", "hard.txt", up + "/one.txt"}) {
    const auto r = run_program(program(), {"--no-window", "one.txt", "two.txt", out}, f.dir);
    EXPECT_EQ(r.status, 1) << out;
    EXPECT_EQ(r.out, kConsoleBanner + echo("one.txt", "two.txt", out) + " ??? Output file " + out +
                         " is the same file as an input file\n");
    EXPECT_EQ(read_file(f.dir.file("one.txt")), kSystemI) << out;
    EXPECT_EQ(read_file(f.dir.file("two.txt")), kSystemII) << out;
  }
}

TEST(Cli, TooFewCommonPoints) {
  const char* const message =
      " ??? At least two common points at distinct places are needed; no transformation "
      "computed\n";
  const char* const listing_end =
      "   === ==== ============ ============   ============ ============\n";
  {
    Files f(kSystemI, "101 512521.001 431210.512 0\n999 1 2 0\n");
    const auto r = run_program(program(), {"--no-window", "one.txt", "two.txt", "out.txt"}, f.dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, kConsoleBanner + echo("one.txt", "two.txt", "out.txt") + message);
    const std::string rep = f.report();
    EXPECT_EQ(
        rep.substr(rep.size() - std::string(listing_end).size() - std::string(message).size()),
        std::string(listing_end) + message);
    EXPECT_NE(rep.find("     1  101     4521.120     1210.330     512521.001   431210.512\n"),
              std::string::npos);
  }
  {
    // Two common points at one place in system I.
    Files f("A 1 1 0\nB 1 1 0\n", "A 5 5 0\nB 6 6 0\n");
    const auto r = run_program(program(), {"--no-window", "one.txt", "two.txt", "out.txt"}, f.dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find(message), std::string::npos);
  }
  {
    // An empty second file: the first is never opened, so its absence is not reported.
    Files f("", "");
    const auto r =
        run_program(program(), {"--no-window", "missing.txt", "two.txt", "out.txt"}, f.dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, kConsoleBanner + echo("missing.txt", "two.txt", "out.txt") + message);
  }
}

TEST(Cli, ReadingStopsAtTheFirstIncompleteRecordWithANotice) {
  Files plain;
  run_program(program(), {"--no-window", "one.txt", "two.txt", "out.txt"}, plain.dir);
  const std::string expected = plain.report();

  Files trailing(std::string(kSystemI) + "\nSurveyed 2026-11-30 by team B\n", kSystemII);
  const auto r =
      run_program(program(), {"--no-window", "one.txt", "two.txt", "out.txt"}, trailing.dir);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kConsoleBanner + echo("one.txt", "two.txt", "out.txt") +
                       " ??? one.txt line 7: reading stopped at '2026-11-30'; the records after "
                       "it are ignored\n");
  EXPECT_EQ(trailing.report(), expected);

  // A record cut short at the end of the file is named too.
  Files cut(kSystemI, std::string(kSystemII) + "105 512600.0\n");
  const auto c = run_program(program(), {"--no-window", "one.txt", "two.txt", "out.txt"}, cut.dir);
  EXPECT_NE(
      c.out.find(
          " ??? two.txt line 5: reading stopped at '105'; the records after it are ignored\n"),
      std::string::npos)
      << c.out;
  EXPECT_EQ(cut.report(), expected);
}

TEST(Cli, CommonPointsAtOnePlaceWhoseMeanIsInexact) {
  // Three times 0.1 divided by three is not exactly 0.1: the points still coincide.
  Files f("A 0.1 0.1 0\nB 0.1 0.1 0\nC 0.1 0.1 0\n", "A 10 10 0\nB 20 10 0\nC 10 30 0\n");
  const auto r = run_program(program(), {"--no-window", "one.txt", "two.txt", "out.txt"}, f.dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find(" ??? At least two common points at distinct places are needed"),
            std::string::npos)
      << r.out;
}

TEST(Cli, ByteOrderMarkAndCrLfLineEnds) {
  Files plain;
  run_program(program(), {"--no-window", "one.txt", "two.txt", "out.txt"}, plain.dir);
  auto crlf = [](std::string s) {
    std::string r;
    for (char c : s) r += (c == '\n') ? std::string("\r\n") : std::string(1, c);
    return r;
  };
  Files dos("\xEF\xBB\xBF" + crlf(kSystemI), "\xEF\xBB\xBF" + crlf(kSystemII));
  const auto r = run_program(program(), {"--no-window", "one.txt", "two.txt", "out.txt"}, dos.dir);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kConsoleBanner + echo("one.txt", "two.txt", "out.txt"));
  EXPECT_EQ(dos.report(), plain.report());
}

TEST(Cli, ReportIsTheSameUnderADecimalCommaLocale) {
  if (std::system("locale -a 2>/dev/null | grep -qi '^de_DE.utf-\\?8$'") != 0)
    GTEST_SKIP() << "locale de_DE.UTF-8 is not installed (tools/install-deps makes it)";
  Files f;
  run_program(program(), {"--no-window", "one.txt", "two.txt", "out.txt"}, f.dir, "", "LC_ALL=C");
  const std::string c_report = f.report();
  const auto r = run_program(program(), {"--no-window", "one.txt", "two.txt", "out.txt"}, f.dir, "",
                             "LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(f.report(), c_report);
  EXPECT_NE(c_report.find("4521.1200"), std::string::npos);
}

}  // namespace
