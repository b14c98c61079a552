// Each program's options are the same set in its --help, its man page and the README.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "support/temp_dir.h"

namespace {

using Names = std::set<std::string>;

// Option names from the option list of --help: a row has its short name at column 2
// or its long name at column 6; description lines are indented further.
Names help_options(const std::string& program) {
  testsupport::TempDir dir;
  const auto r = testsupport::run_program(program, {"--help"}, dir);
  EXPECT_EQ(r.status, 0);
  std::istringstream in(r.out.substr(r.out.find("\nOptions:\n") + 10));
  Names names;
  std::string line;
  while (std::getline(in, line) && !line.empty()) {
    std::istringstream words(line);
    std::string word;
    while (words >> word && word[0] == '-') {
      if (word.back() == ',') word.pop_back();
      names.insert(word);
    }
  }
  return names;
}

// Option names from the tag lines (after .TP) of the man page's OPTIONS section.
Names man_options(const std::string& page) {
  std::istringstream in(testsupport::read_file(std::string(HELMERT2D_SOURCE_DIR) + "/man/" + page));
  Names names;
  std::string line;
  bool in_options = false, tag = false;
  while (std::getline(in, line)) {
    if (line.rfind(".SH", 0) == 0) in_options = line == ".SH OPTIONS";
    if (!in_options) continue;
    if (tag) {
      // Roff writes a minus as "\-".
      std::string plain;
      for (std::size_t i = 0; i < line.size(); ++i)
        if (!(line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '-')) plain += line[i];
      std::istringstream words(plain);
      std::string word;
      while (words >> word)
        if (word[0] == '-') names.insert(word);
    }
    tag = line == ".TP";
  }
  return names;
}

// Option names quoted in `code` spans of the README section under `heading`.
Names readme_options(const std::string& heading) {
  const std::string readme =
      testsupport::read_file(std::string(HELMERT2D_SOURCE_DIR) + "/README.md");
  const std::size_t start = readme.find("\n" + heading + "\n");
  EXPECT_NE(start, std::string::npos) << heading;
  const std::string section = readme.substr(start, readme.find("\n## ", start + 1) - start);
  Names names;
  for (std::size_t open = section.find('`'); open != std::string::npos;) {
    const std::size_t close = section.find('`', open + 1);
    const std::string span = section.substr(open + 1, close - open - 1);
    if (span.size() > 1 && span[0] == '-') names.insert(span.substr(0, span.find_first_of(" =")));
    open = section.find('`', close + 1);
  }
  return names;
}

TEST(OptionLists, HelpManPageAndReadmeAgree) {
  struct Case {
    std::string program, page, heading;
  };
  for (const Case& c : {Case{HELMERT2D_PROGRAM, "helmert2d.1", "## Running it"},
                        Case{HELMERT2D_BOUNDARY_PROGRAM, "helmert2d-boundary.1",
                             "## Boundary displacements: `helmert2d-boundary`"}}) {
    SCOPED_TRACE(c.page);
    const Names help = help_options(c.program);
    EXPECT_TRUE(help.count("--help") == 1 && help.count("--") == 1) << testing::PrintToString(help);
    EXPECT_EQ(man_options(c.page), help);
    EXPECT_EQ(readme_options(c.heading), help);
  }
}

}  // namespace
