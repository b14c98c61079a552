// Faults a user's files can cause: a token that would flood the console, lines with a
// fifth column, and outputs named through symbolic links, dangling ones included.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "support/temp_dir.h"
#include "textio/output_file.h"
#include "textio/textio.h"

namespace {

namespace textio = helmert2d::textio;
using testsupport::read_file;
using testsupport::TempDir;

TEST(StopLine, ShowsAtMostFortyPrintableBytes) {
  struct Case {
    std::string token, shown;
  };
  for (const Case& c : {Case{"12abc", "12abc"}, Case{"\x1b[31mred", "\\x1B[31mred"},
                        Case{"\xC5\x9E"
                             "01",
                             "\\xC5\\x9E01"},
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
}

}  // namespace
