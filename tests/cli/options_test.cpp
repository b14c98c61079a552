// The option parser and the help's option list, driven by a table like the programs'.
#include "cli/options.h"

#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <string>
#include <vector>

namespace {

using helmert2d::cli::Action;
using helmert2d::cli::Invocation;
using helmert2d::cli::Option;

enum { kFlag = 7, kValued = 8 };

constexpr std::array kOptions{
    Option{.short_name = "-h", .long_name = "--help", .help = "help", .action = Action::help},
    Option{.long_name = "--version", .help = "version", .action = Action::version},
    Option{.long_name = "--no-pause", .help = "no pause", .action = Action::no_pause},
    Option{.long_name = "--no-window", .help = "no window", .action = Action::no_window},
    Option{.long_name = "--plot",
           .value = "FILE",
           .value_need = "a file name",
           .help = "picture",
           .action = Action::plot},
    Option{.long_name = "--flag", .help = "a flag", .code = kFlag},
    Option{.long_name = "--exclude",
           .value = "NAME",
           .value_need = "a point name",
           .help = "leave out\na point",
           .code = kValued},
    Option{.long_name = "--", .help = "end of options", .action = Action::end_of_options},
};

bool negative_number(const std::string& arg) {
  return arg.size() > 1 && arg[0] == '-' && arg.find_first_not_of("0123456789.", 1) == arg.npos;
}

helmert2d::cli::Program program(bool numbers_are_operands) {
  return {.name = "prog",
          .version = "9.8.7",
          .synopsis = "Usage: prog\n\n",
          .options = kOptions,
          .epilogue = "Exit status: 0.\n",
          .is_operand = numbers_are_operands ? negative_number : nullptr};
}

struct Parsed {
  std::optional<int> end;
  Invocation inv;
  std::string out, err;
};

Parsed parse(const std::vector<std::string>& args, bool numbers_are_operands = false) {
  std::vector<const char*> argv{"prog"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  Parsed p;
  std::ostringstream out, err;
  p.end = helmert2d::cli::parse(program(numbers_are_operands), static_cast<int>(argv.size()),
                                argv.data(), p.inv, out, err);
  p.out = out.str();
  p.err = err.str();
  return p;
}

TEST(CliOptions, ParsesRunsThatGoOn) {
  using Extras = std::vector<std::pair<int, std::string>>;
  struct Case {
    std::vector<std::string> args;
    bool numbers_are_operands;
    std::vector<std::string> operands;
    std::string plot;
    bool pause, window;
    Extras extras;
    std::vector<std::string> given;  // the options as given, for the report's run record
  };
  const Extras three{{kFlag, ""}, {kValued, "P1"}, {kValued, "P2"}};
  const std::vector<Case> cases{
      {{}, false, {}, "", true, true, {}, {}},
      {{"a", "b", "c"}, false, {"a", "b", "c"}, "", true, true, {}, {}},
      {{"--no-pause", "a", "--no-window"},
       false,
       {"a"},
       "",
       false,
       false,
       {},
       {"--no-pause", "--no-window"}},
      {{"--plot", "p.png", "a"}, false, {"a"}, "p.png", true, true, {}, {"--plot", "p.png"}},
      {{"--plot=p=q.bmp", "a"}, false, {"a"}, "p=q.bmp", true, true, {}, {"--plot=p=q.bmp"}},
      // A value is taken whole, even when it looks like an option; the last --plot wins.
      {{"--plot", "--", "--plot", "x.bmp"},
       false,
       {},
       "x.bmp",
       true,
       true,
       {},
       {"--plot", "--", "--plot", "x.bmp"}},
      {{"--", "--no-pause", "-h", "-"}, false, {"--no-pause", "-h", "-"}, "", true, true, {}, {}},
      {{"-", "a"}, false, {"-", "a"}, "", true, true, {}, {}},
      {{"--flag", "--exclude", "P1", "--exclude=P2"},
       false,
       {},
       "",
       true,
       true,
       three,
       {"--flag", "--exclude", "P1", "--exclude=P2"}},
      {{"--flag", "-12.5", "-3"}, true, {"-12.5", "-3"}, "", true, true, {{kFlag, ""}}, {"--flag"}},
  };
  for (const Case& c : cases) {
    const Parsed p = parse(c.args, c.numbers_are_operands);
    SCOPED_TRACE(testing::PrintToString(c.args));
    EXPECT_FALSE(p.end.has_value()) << p.err;
    EXPECT_EQ(p.inv.operands, c.operands);
    EXPECT_EQ(p.inv.plot_file, c.plot);
    EXPECT_EQ(p.inv.pause, c.pause);
    EXPECT_EQ(p.inv.window, c.window);
    EXPECT_EQ(p.inv.extras, c.extras);
    EXPECT_EQ(p.inv.options_given, c.given);
    EXPECT_EQ(p.inv.given(kFlag), !c.extras.empty());
    EXPECT_EQ(p.out + p.err, "");
  }
}

TEST(CliOptions, EndsWithAStatusAndOneLine) {
  struct Case {
    std::vector<std::string> args;
    bool numbers_are_operands;
    int status;
    std::string out, err;
  };
  const std::string try_help = " (try 'prog --help')\n";
  const std::vector<Case> cases{
      {{"--version", "--bogus"}, false, 0, "prog 9.8.7\n", ""},
      {{"--bogus", "--version"}, false, 2, "", "prog: unknown option '--bogus'" + try_help},
      {{"-12"}, false, 2, "", "prog: unknown option '-12'" + try_help},
      {{"-hx"}, false, 2, "", "prog: unknown option '-hx'" + try_help},
      {{"--help=x"}, false, 2, "", "prog: unknown option '--help=x'" + try_help},
      {{"--plotx"}, false, 2, "", "prog: unknown option '--plotx'" + try_help},
      {{"--flag=1"}, false, 2, "", "prog: unknown option '--flag=1'" + try_help},
      {{"a", "--plot"}, false, 2, "", "prog: option '--plot' needs a file name" + try_help},
      {{"--plot="}, false, 2, "", "prog: option '--plot' needs a file name" + try_help},
      {{"--plot", ""}, false, 2, "", "prog: option '--plot' needs a file name" + try_help},
      {{"--exclude"}, true, 2, "", "prog: option '--exclude' needs a point name" + try_help},
  };
  for (const Case& c : cases) {
    const Parsed p = parse(c.args, c.numbers_are_operands);
    SCOPED_TRACE(testing::PrintToString(c.args));
    EXPECT_EQ(p.end, c.status);
    EXPECT_EQ(p.out, c.out);
    EXPECT_EQ(p.err, c.err);
  }
}

TEST(CliOptions, HelpAlignsTheDescriptionsTwoPlacesRightOfTheWidestOption) {
  const Parsed p = parse({"-h"});
  EXPECT_EQ(p.end, 0);
  EXPECT_EQ(p.out,
            "Usage: prog\n"
            "\n"
            "Options:\n"
            "  -h, --help          help\n"
            "      --version       version\n"
            "      --no-pause      no pause\n"
            "      --no-window     no window\n"
            "      --plot FILE     picture\n"
            "      --flag          a flag\n"
            "      --exclude NAME  leave out\n"
            "                      a point\n"
            "      --              end of options\n"
            "\n"
            "Exit status: 0.\n");
}

}  // namespace
