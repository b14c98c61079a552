// The text-file pieces every record file reads through: whole files, tokens and their
// lines, numbers, the same-file test and the console line of an early stop; and the
// faults a user's files can cause: a token that would flood the console, lines with a
// fifth column, and outputs named through symbolic links, dangling ones included.
#include "textio/textio.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "textio/output_file.h"
#include "textio/output_set.h"

namespace {

namespace textio = helmert2d::textio;
using testsupport::read_file;
using testsupport::TempDir;

TEST(ParseNumber, WholeDecimalTokensOnly) {
  struct Case {
    const char* token;
    double value;
  };
  for (const Case& c : {Case{"12", 12.0},
                        {"-1.5", -1.5},
                        {"+2e3", 2000.0},
                        {".5", 0.5},
                        {"5.", 5.0},
                        {"1E-2", 0.01},
                        {"-0", 0.0},
                        {"007", 7.0},
                        // Below the smallest subnormal: the nearest double, as C's strtod.
                        {"1e-400", 0.0},
                        {"-2e-330", -0.0},
                        {"5e-324", 4.9406564584124654e-324}}) {
    double v = -99.0;
    EXPECT_TRUE(textio::parse_number(c.token, v)) << c.token;
    EXPECT_EQ(v, c.value) << c.token;
  }
  for (const char* bad : {"", "inf", "-inf", "nan", "NaN", "0x10", "12abc", "1,5", "1e", "+-1", ".",
                          "e5", "1e400", "--1", "1.2.3", " 1", "1 ",
                          "\xEF\xBB\xBF"
                          "1"}) {
    double v = 0.0;
    EXPECT_FALSE(textio::parse_number(bad, v)) << bad;
  }
}

// Every token of `text` as "token@line".
std::vector<std::string> tokens_of(std::string_view text) {
  textio::Tokenizer tokens(text);
  std::vector<std::string> out;
  for (textio::Token t = tokens.next(); !t.empty(); t = tokens.next())
    out.push_back(std::string(t.text) + "@" + std::to_string(t.line));
  return out;
}

TEST(Tokenizer, TokensAndTheirLines) {
  using V = std::vector<std::string>;
  struct Case {
    std::string text;
    V expected;
  };
  const Case cases[] = {
      {"", {}},
      {" \t\n\r\n\v\f", {}},
      {"A 1\tB\n\n  C\n", {"A@1", "1@1", "B@1", "C@3"}},
      {"A\r\nB\r\n", {"A@1", "B@2"}},  // CRLF line ends
      {"\xEF\xBB\xBF"
       "A B\nC",
       {"A@1", "B@1", "C@2"}},  // byte-order mark skipped
      {"\xEF\xBB\xBF\nA", {"A@2"}},
      {"\xEF\xBB\xBF", {}},
      {"A \xEF\xBB\xBF", {"A@1", "\xEF\xBB\xBF@1"}},  // only at the start of the text
      {"\xEF\xBB", {"\xEF\xBB@1"}},                   // a cut mark is text
  };
  for (const Case& c : cases) EXPECT_EQ(tokens_of(c.text), c.expected) << c.text;

  // At the end the empty token stands on the last line.
  textio::Tokenizer tokens("A\n\n");
  tokens.next();
  EXPECT_EQ(tokens.next().line, 3);
}

TEST(ReadFile, WholeFilesOnly) {
  TempDir dir;
  std::string text = "stale";
  const std::string binary("A\0B\r\n\xEF\xBB\xBF", 8);
  ASSERT_TRUE(textio::read_file(dir.write("b.bin", binary), text));
  EXPECT_EQ(text, binary);  // read as bytes: no line-end or mark translation
  ASSERT_TRUE(textio::read_file(dir.write("e.txt", ""), text));
  EXPECT_EQ(text, "");

  const std::string big(300000, 'x');  // more than one read
  ASSERT_TRUE(textio::read_file(dir.write("big.txt", big), text));
  EXPECT_EQ(text, big);

  // A missing file, a folder and an unreadable file cannot be read, and leave no text.
  std::filesystem::create_directory(dir.file("folder"));
  const std::string locked = dir.write("locked.txt", "secret");
  std::filesystem::permissions(locked, std::filesystem::perms::none);
  std::vector<std::string> unreadable = {dir.file("missing.txt"), dir.file("folder"), dir.path()};
  if (::geteuid() != 0) unreadable.push_back(locked);  // root reads anything
  for (const std::string& path : unreadable) {
    text = "stale";
    EXPECT_FALSE(textio::read_file(path, text)) << path;
    EXPECT_EQ(text, "") << path;
  }
}

TEST(SameFile, NamesOfOneFile) {
  TempDir dir;
  namespace fs = std::filesystem;
  dir.write("a.txt", "A");
  dir.write("b.txt", "A");
  fs::create_hard_link(dir.file("a.txt"), dir.file("hard.txt"));
  fs::create_symlink(dir.file("a.txt"), dir.file("soft.txt"));
  fs::create_directory(dir.file("sub"));
  struct Case {
    std::string a, b;
    bool same;
  };
  const Case cases[] = {
      {"a.txt", "a.txt", true},          {"a.txt", "./sub/../a.txt", true},
      {"a.txt", "hard.txt", true},       {"soft.txt", "a.txt", true},
      {"a.txt", "b.txt", false},       // equal contents are not the same file
      {"new.txt", "./new.txt", true},  // neither exists: the resolved names decide
      {"new.txt", "sub/new.txt", false}, {"a.txt", "new.txt", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(textio::same_file(dir.file(c.a), dir.file(c.b)), c.same) << c.a << " " << c.b;
  }
  EXPECT_FALSE(textio::same_file("", ""));
  EXPECT_FALSE(textio::same_file("", dir.file("a.txt")));
}

TEST(ReadStop, NamesTheFailedTokenOrTheRecordCutShort) {
  const textio::Token record{"K3", 4};
  const textio::ReadStop bad = textio::stop_at(record, textio::Token{"oops", 5});
  EXPECT_TRUE(bad.stopped);
  EXPECT_EQ(bad.line, 5);
  EXPECT_EQ(bad.token, "oops");
  const textio::ReadStop cut = textio::stop_at(record, textio::Token{"", 6});
  EXPECT_EQ(cut.line, 4);
  EXPECT_EQ(cut.token, "K3");

  std::ostringstream console;
  textio::report_stop(console, "one.txt", textio::ReadStop{});
  EXPECT_EQ(console.str(), "");
  textio::report_stop(console, "one.txt", textio::ReadStop{true, 7, "2026-11-30"});
  EXPECT_EQ(console.str(),
            " ??? one.txt line 7: reading stopped at '2026-11-30'; the records after it are "
            "ignored\n");
  for (const auto& [count, tail] : {std::pair{1, "1 record after it is ignored\n"},
                                    std::pair{126, "126 records after it are ignored\n"}}) {
    std::ostringstream os;
    textio::report_stop(os, "one.txt", textio::ReadStop{true, 100, "1353,165", count});
    EXPECT_EQ(os.str(),
              std::string(" ??? one.txt line 100: reading stopped at '1353,165'; ") + tail);
  }
}

// Lines that would read whole as a record of a name and three numbers on their own,
// from the stop's line on.
TEST(ReadStop, CountsTheLinesThatWouldReadAsRecords) {
  struct Case {
    const char* text;
    int first_line, count;
  };
  for (const Case& c : {
           Case{"A 1 2\nB 3 4 5\nC 6 7 8\n", 2, 2},  // the stop's own line counts
           {"A 1 2\nB 3 4 5\nC 6 7 8", 3, 1},        // no line end after the last
           {"A 1 2 3\nP9 1353,165 4 0\nQ 1 2 3\r\n\n  R\t-1e3 +.5 5.\n", 2, 2},
           {"A 1 2 3\nB x 1 2\nSurveyed 2026 by team B\nTotal 7 points\nEND\n\n", 2, 0},
           {"A 1 2 3\nB x\nC 1 2 3 4\nD 1 2\nE 1 2 inf\nF 1 nan 2\n12 1 2 3\n", 2, 1},
           {"\xEF\xBB\xBF"
            "A 1 2 3\n",
            1, 1},
           {"A 1 2 3\n", 5, 0},  // past the end
       }) {
    EXPECT_EQ(textio::count_record_lines(c.text, 3, c.first_line), c.count) << c.text;
  }
}

// ---- Faults of users' files ----

TEST(StopLine, ShowsAtMostFortyPrintableBytes) {
  struct Case {
    std::string token, shown;
  };
  for (const Case& c : {Case{"12abc", "12abc"}, Case{"\x1b[31mred", "\\x1B[31mred"},
                        Case{"\xC5\x9E"
                             "01",
                             "\\xC5\\x9E01"},
                        Case{std::string(40, 'y'), std::string(40, 'y')},
                        Case{std::string(10'000'000, 'x'), std::string(40, 'x') + "..."}}) {
    std::ostringstream os;
    textio::report_stop(os, "f.txt", textio::ReadStop{true, 3, c.token});
    EXPECT_EQ(os.str(), " ??? f.txt line 3: reading stopped at '" + c.shown +
                            "'; the records after it are ignored\n");
  }
}

TEST(FieldCount, LinesBeforeTheStopWithOtherThanFourFields) {
  struct Case {
    const char* text;
    int last_line;
    int lines, first_line, fields;
  };
  const int all = 1 << 30;
  for (const Case& c : {Case{"a 1 2 3\nb 4 5 6\n", all, 0, 0, 0},
                        Case{"\n\na 1 2 3\r\n   \n", all, 0, 0, 0},  // blank lines are fine
                        Case{"a 1 2 3 7\nb 4 5 6 8\nc 1 2 3\n", all, 2, 1, 5},
                        Case{"a 1 2 3\nb 4 5\nc 1 2 3 4 5 6", all, 2, 2, 3},
                        Case{"a 1 2 3\nb x 5 6 7\n", 2, 0, 0, 0},  // the stop line is not counted
                        Case{"\xEF\xBB\xBF"
                             "a 1 2 3\n",
                             all, 0, 0, 0}}) {
    const textio::FieldCount n = textio::count_other_lines(c.text, 4, c.last_line);
    EXPECT_EQ(n.lines, c.lines) << c.text;
    EXPECT_EQ(n.first_line, c.first_line) << c.text;
    EXPECT_EQ(n.fields, static_cast<std::size_t>(c.fields)) << c.text;
  }
  std::ostringstream os;
  textio::report_field_count(os, "one.txt", textio::FieldCount{12, 1, 5});
  EXPECT_EQ(os.str(),
            " ??? one.txt line 1 holds 5 fields; a record is a name and three numbers, so the "
            "records may be read out of step (12 lines do)\n");
}

TEST(OutputNames, DanglingLinksNameTheirTarget) {
  TempDir dir;
  const std::string report = dir.file("rep.txt");
  ASSERT_EQ(::symlink("rep.txt", dir.file("pic.bmp").c_str()), 0);
  ASSERT_EQ(::symlink(report.c_str(), dir.file("abs.bmp").c_str()), 0);
  EXPECT_TRUE(textio::same_file(dir.file("pic.bmp"), report));
  EXPECT_TRUE(textio::same_file(report, dir.file("abs.bmp")));
  EXPECT_FALSE(textio::same_file(dir.file("pic.bmp"), dir.file("other.txt")));
  // Writing through the dangling link creates its target and keeps the link.
  textio::OutputFile out;
  ASSERT_TRUE(out.open(dir.file("pic.bmp")));
  out.stream() << "picture";
  ASSERT_TRUE(out.commit());
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("pic.bmp")));
  EXPECT_EQ(read_file(report), "picture");
}

TEST(OutputFile, CompleteOrAbsent) {
  TempDir dir;
  const std::string name = dir.write("rep.txt", "old report\n");
  {
    textio::OutputFile out;
    ASSERT_TRUE(out.open(name));
    out.stream() << "half a report";
    EXPECT_EQ(read_file(name), "old report\n");  // untouched until committed
  }  // abandoned: the temporary goes, the old file stays
  EXPECT_EQ(read_file(name), "old report\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  // A device is written directly and a full one fails.
  textio::OutputFile full;
  ASSERT_TRUE(full.open("/dev/full"));
  full.stream() << std::string(1 << 21, 'x');
  EXPECT_FALSE(full.commit());
  EXPECT_FALSE(textio::OutputFile().open(dir.file("nodir/rep.txt")));
  // A new file gets the mode a plain create gives (0666 less the umask); a file replaced
  // keeps its own.
  const mode_t mask = ::umask(027);
  const std::string fresh = dir.file("new.txt"), kept = dir.write("kept.txt", "x");
  ::chmod(kept.c_str(), 0604);
  for (const std::string& path : {fresh, kept}) {
    textio::OutputFile out;
    ASSERT_TRUE(out.open(path));
    EXPECT_TRUE(out.commit());
  }
  ::umask(mask);
  for (const auto& [path, mode] : {std::pair{fresh, 0640u}, {kept, 0604u}}) {
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777u, mode) << path;
  }
}

// How a target is written follows from what it is, not from how its name is spelt: a
// regular file under /dev (here /dev/shm) or named through /proc is replaced whole, and
// one the process holds open (as its redirected standard output) is appended to.
TEST(OutputFile, WrittenByWhatTheNameStandsFor) {
  TempDir dir;
  struct Case {
    std::string folder;  // where the file lies; skipped when empty
    std::string spelt;   // the name given, relative to the folder ("" for the file itself)
  };
  std::string shm = "/dev/shm/helmert2d-test-XXXXXX";
  const bool have_shm = ::access("/dev/shm", W_OK) == 0 && ::mkdtemp(shm.data()) != nullptr;
  const std::string self_dir = "/proc/" + std::to_string(::getpid()) + "/root" + dir.path();
  for (const Case& c : {Case{have_shm ? shm : "", ""}, Case{dir.path(), self_dir}}) {
    if (c.folder.empty()) continue;
    SCOPED_TRACE(c.folder + " " + c.spelt);
    const std::string real = c.folder + "/r.json";
    const std::string name = c.spelt.empty() ? real : c.spelt + "/r.json";
    for (const bool commit : {false, true}) {
      std::ofstream(real, std::ios::binary) << "old bytes\n";
      {
        textio::OutputFile out;
        ASSERT_TRUE(out.open(name));
        out.stream() << "{}\n";
        if (commit) {
          EXPECT_TRUE(out.commit());
        }
      }
      EXPECT_EQ(read_file(real), commit ? "{}\n" : "old bytes\n");
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator(c.folder), {}), 1);
    }
  }
  if (have_shm) std::filesystem::remove_all(shm);
  // A file this process writes through a descriptor of its own.
  const std::string log = dir.write("log.txt", "first\n");
  const int fd = ::open(log.c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(fd, 0);
  textio::OutputFile out;
  ASSERT_TRUE(out.open("/dev/fd/" + std::to_string(fd)));
  out.stream() << "second\n";
  EXPECT_TRUE(out.commit());
  ::close(fd);
  EXPECT_EQ(read_file(log), "first\nsecond\n");
}

// Every name that can be created can be written: the temporary's name stays within the
// limit of 255 bytes, also for a target's name of 249 to 255 bytes.
TEST(OutputFile, NamesUpToTheLengthLimit) {
  for (std::size_t length = 248; length <= 256; ++length) {
    SCOPED_TRACE(length);
    TempDir dir;
    const std::string name = dir.file(std::string(length - 4, 'n') + ".txt");
    textio::OutputFile out;
    const bool valid = length <= 255;
    ASSERT_EQ(out.open(name), valid);
    if (!valid) continue;
    out.stream() << "report";
    EXPECT_TRUE(out.commit());
    EXPECT_EQ(read_file(name), "report");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  }
}

}  // namespace

// The outputs of a run: names checked once against the inputs and each other, and all
// of them put in place together or none.
TEST(OutputSet, NamesAreCheckedOnce) {
  TempDir dir;
  dir.write("in.txt", "points\n");
  ASSERT_EQ(::symlink("in.txt", dir.file("link.png").c_str()), 0);
  struct Case {
    std::vector<std::string> names;  // report, JSON, picture
    std::string refused;             // the output named; empty: none
    std::string as;                  // what it is the same file as
  };
  const std::vector<Case> cases{
      {{"r.txt", "j.json", "p.png"}, "", ""},
      {{"in.txt", "j.json", "p.png"}, "Output file in.txt", "an input file"},
      {{"r.txt", "./r.txt", "p.png"}, "Output file ./r.txt", "an input or report file"},
      {{"r.txt", "j.json", "link.png"}, "Plot file link.png", "an input or report file"},
      {{"r.txt", "j.json", "j.json"}, "Plot file j.json", "the output file j.json"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.refused);
    textio::OutputSet outputs;
    outputs.add("Output file", c.names[0], textio::OutputKind::text);
    outputs.add("Output file", c.names[1], textio::OutputKind::text);
    outputs.add("Plot file", c.names[2], textio::OutputKind::picture);
    std::ostringstream console;
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    EXPECT_EQ(outputs.check_names({"in.txt"}, console), c.refused.empty());
    std::filesystem::current_path(cwd);
    EXPECT_EQ(console.str(),
              c.refused.empty() ? "" : " ??? " + c.refused + " is the same file as " + c.as + "\n");
  }
}

TEST(OutputSet, EveryOutputOrNone) {
  enum Fault { none, marked, unopened, dropped, memory };
  struct Case {
    Fault fault;
    int status;
    std::string console;
  };
  for (const Case& c : std::vector<Case>{
           {none, 3, ""},
           {marked, 1, " ??? Output file b.txt could not be written completely\n"},
           {unopened, 1, " ??? Plot file nodir/c.png is not written\n"},
           {dropped, 3, ""},
           {memory, 1, " ??? Out of memory: output file a.txt is not written\n"},
       }) {
    SCOPED_TRACE(c.fault);
    TempDir dir;
    for (const char* n : {"a.txt", "b.txt"}) dir.write(n, "old\n");
    const std::string picture = c.fault == unopened ? "nodir/c.png" : "c.png";
    textio::OutputSet outputs;
    outputs.add("Output file", dir.file("a.txt"), textio::OutputKind::text);
    outputs.add("Output file", dir.file("b.txt"), textio::OutputKind::text);
    outputs.add("Plot file", dir.file(picture), textio::OutputKind::picture);
    std::ostringstream console, told;
    for (const char* n : {"a.txt", "b.txt"}) *outputs.open(dir.file(n), told) << "new\n";
    if (std::ostream* out = outputs.open(dir.file(picture), told)) *out << "picture";
    if (c.fault == marked) outputs.fail(dir.file("b.txt"));
    if (c.fault == dropped) outputs.drop(dir.file("b.txt"));
    const int status =
        c.fault == memory ? outputs.out_of_memory(console) : outputs.commit(3, console);
    EXPECT_EQ(status, c.status);
    std::string said = told.str() + console.str();
    for (const std::string n : {"a.txt", "b.txt", "nodir/c.png"}) {
      const auto at = said.find(dir.file(n));
      if (at != std::string::npos) said.replace(at, dir.file(n).size(), n);
    }
    EXPECT_EQ(said, c.console);
    const bool placed = c.status == 3;
    EXPECT_EQ(read_file(dir.file("a.txt")), placed ? "new\n" : "old\n");
    EXPECT_EQ(read_file(dir.file("b.txt")), placed && c.fault != dropped ? "new\n" : "old\n");
    EXPECT_EQ(std::filesystem::exists(dir.file("c.png")), placed);
    // No temporary is left: the two old files and the picture when it was put in place.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), placed ? 3 : 2);
  }
}
