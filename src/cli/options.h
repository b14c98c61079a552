// The command line of the programs: one option table per program, from which both the
// parser and the option list of --help work, so an option is one row plus its handling.
#ifndef HELMERT2D_CLI_OPTIONS_H
#define HELMERT2D_CLI_OPTIONS_H

#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace helmert2d::cli {

/// What the parser does when it meets an option.
enum class Action {
  help,            ///< print the help and end with status 0
  version,         ///< print the program name and version and end with status 0
  no_pause,        ///< no key press at the end
  no_window,       ///< pages stay off-screen
  plot,            ///< the value names the picture file
  end_of_options,  ///< every later argument is an operand
  extra,           ///< the program's own option, recorded with its code and value
};

/// One row of a program's option table.
struct Option {
  std::string_view short_name{};  ///< "-h", or empty
  std::string_view long_name{};   ///< "--help"; "--" for the end of options
  std::string_view value{};       ///< "FILE" when the option takes a value, else empty
  std::string_view value_need{};  ///< the missing value in a message: "a file name"
  std::string_view help{};        ///< the description in --help, lines separated by '\n'
  Action action = Action::extra;
  int code = 0;  ///< for Action::extra: the program's code of the option
};

/// Rows that read the same in every program's table.
inline constexpr Option kHelpOption{.short_name = "-h",
                                    .long_name = "--help",
                                    .help = "show this help and exit",
                                    .action = Action::help};
inline constexpr Option kVersionOption{
    .long_name = "--version", .help = "show the version and exit", .action = Action::version};
inline constexpr Option kNoPauseOption{.long_name = "--no-pause",
                                       .help = "do not wait for a key press at the end",
                                       .action = Action::no_pause};

/// What a program tells the shell about its command line.
struct Program {
  std::string_view name;  ///< as in messages and --version
  std::string_view version;
  std::string_view synopsis;  ///< --help before the option list, ending in a blank line
  std::span<const Option> options;
  std::string_view epilogue;  ///< --help after the option list and a blank line
  /// When set, an argument for which it is true is an operand even if it begins with '-'.
  bool (*is_operand)(const std::string& arg) = nullptr;
};

/// The parsed command line.
struct Invocation {
  std::vector<std::string> operands;
  std::string plot_file;  ///< --plot FILE; empty when not given
  bool pause = true;
  bool window = true;
  /// The program's own options in command-line order: code and value (empty for a flag).
  std::vector<std::pair<int, std::string>> extras;
  /// Every option and its value as given on the command line, in order ("--plot",
  /// "p.png", "--json=r.json"); the end of options "--" and the operands not included.
  std::vector<std::string> options_given;

  /// True when the program's option `code` was given.
  bool given(int code) const;
};

/// Prints the help: the synopsis, "Options:", the table with the descriptions in one
/// column two places right of the widest option, and the epilogue.
void print_help(const Program& program, std::ostream& out);

/// Parses argv into `inv`. Returns the exit status to end with when the program should
/// not go on: 0 after --help or --version (printed to `out`), 2 after a wrong option
/// (one line on `err`); otherwise nothing.
std::optional<int> parse(const Program& program, int argc, const char* const* argv, Invocation& inv,
                         std::ostream& out, std::ostream& err);

/// Prints "NAME: WHAT (try 'NAME --help')" on `err` and returns 2.
int usage_error(const Program& program, std::string_view what, std::ostream& err);

}  // namespace helmert2d::cli

#endif  // HELMERT2D_CLI_OPTIONS_H
