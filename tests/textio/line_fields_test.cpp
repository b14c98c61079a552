// Lines and delimited fields of line-mode record files: which lines are records, how a
// line splits into fields (quoting, blanks, empty fields) and decimal-comma numbers.
#include "textio/line_fields.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

namespace textio = helmert2d::textio;

// The fields joined by '|', or "!N problem" for a field that cannot be read.
std::string split(std::string line, char delimiter, std::size_t max_fields = 99) {
  std::vector<std::string_view> fields;
  const auto r = textio::split_fields(line, delimiter, max_fields, fields);
  std::string out;
  if (r.bad_field != 0)
    return out.append("!").append(std::to_string(r.bad_field)).append(" ").append(r.problem);
  for (std::size_t i = 0; i < fields.size(); ++i) out.append(i ? "|" : "").append(fields[i]);
  return out;
}

TEST(SplitFields, DelimitersQuotingAndBlanks) {
  struct Case {
    const char* line;
    char delimiter;
    std::size_t max;
    const char* fields;
  };
  const char b = textio::kBlanks;
  for (const Case& c : {
           Case{"P1,1.5,2.5,3", ',', 99, "P1|1.5|2.5|3"},
           {" P1 , 1.5 ,2.5 ", ',', 99, "P1|1.5|2.5"},  // blanks around fields
           {"P1,,2", ',', 99, "P1||2"},                 // an empty field
           {"P1,1,2,", ',', 99, "P1|1|2|"},             // a closing delimiter
           {"\"P1\",", ',', 99, "P1|"},
           {"\"Hill, north\",1,2", ',', 99, "Hill, north|1|2"},  // delimiter in quotes
           {"\"say \"\"A\"\"\",1", ',', 99, "say \"A\"|1"},      // doubled quotes
           {"\"\",1", ',', 99, "|1"},                            // quoted empty name
           {" \"P 1\" ;1,5", ';', 99, "P 1|1,5"},
           {"P1\t BM \t1", '\t', 99, "P1|BM|1"},
           {"P1\t\t1", '\t', 99, "P1||1"},  // two tabs close an empty field
           {"  P1   1.5\t2.5  ", b, 99, "P1|1.5|2.5"},
           {"\"P 1\" 1 2", b, 99, "P 1|1|2"},
           {"a,b,c,d,e", ',', 3, "a|b|c"},  // fields beyond the wanted ones are not split
           {"\"P1,1,2", ',', 99, "!1 its quote is not closed on the line"},
           {"a,\"P1\"x,2", ',', 99, "!2 text follows its closing quote"},
           {"\"P1\"x 2", b, 99, "!1 text follows its closing quote"},
           {"P\"1,2", ',', 99, "P\"1|2"},  // a quote inside a field is text
       }) {
    EXPECT_EQ(split(c.line, c.delimiter, c.max), c.fields) << c.line;
  }
}

TEST(LineCursor, SkipsBlankAndCommentLinesAndCountsEveryLine) {
  std::string text = "\xEF\xBB\xBF# made by a total station\r\nP1,1\r\n\n   \t\n  # note\nP2,2";
  textio::LineCursor lines(text);
  std::span<char> line;
  int number = 0;
  std::string seen;
  while (lines.next(line, number))
    seen += std::to_string(number) + ":" + std::string(line.data(), line.size()) + ";";
  EXPECT_EQ(seen, "2:P1,1;6:P2,2;");
}

TEST(ParseNumber, DecimalComma) {
  struct Case {
    const char* token;
    bool ok;
    double value;
  };
  for (const Case& c : {Case{"12,5", true, 12.5},
                        {"-0,25e2", true, -25.0},
                        {"7", true, 7.0},
                        {"12.5", false, 0},  // the full stop is no decimal mark here
                        {"1.234,5", false, 0},
                        {"1,2,3", false, 0},
                        {"12,5x", false, 0},
                        {"", false, 0}}) {
    double v = 0;
    EXPECT_EQ(textio::parse_number(c.token, v, true), c.ok) << c.token;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.token;
    }
  }
  double v = 0;
  // Tokens longer than the short buffer take another path: the same rules hold.
  EXPECT_TRUE(textio::parse_number(std::string(70, '1') + ",5", v, true));
  EXPECT_FALSE(textio::parse_number(std::string(70, '1') + ".5", v, true));
  EXPECT_FALSE(textio::parse_number(std::string(70, '1') + ".234,5", v, true));
  EXPECT_FALSE(textio::parse_number("12,5", v, false));
}

}  // namespace
