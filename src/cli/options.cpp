// The option parser and the help's option list, both driven by a program's table.
#include "options.h"

#include <algorithm>
#include <ostream>

namespace helmert2d::cli {
namespace {

// The option as --help shows it, without the short name: "--plot FILE".
std::string label(const Option& o) {
  std::string s(o.long_name);
  if (!o.value.empty()) s.append(" ").append(o.value);
  return s;
}

// The row for `arg`; `value_at` is set to the start of an inline value ("--plot=F").
const Option* find_option(const Program& program, const std::string& arg, std::size_t& value_at) {
  for (const Option& o : program.options) {
    if (arg == o.long_name || (!o.short_name.empty() && arg == o.short_name)) {
      value_at = std::string::npos;
      return &o;
    }
    if (!o.value.empty() && arg.size() > o.long_name.size() &&
        arg.compare(0, o.long_name.size(), o.long_name) == 0 && arg[o.long_name.size()] == '=') {
      value_at = o.long_name.size() + 1;
      return &o;
    }
  }
  return nullptr;
}

}  // namespace

bool Invocation::given(int code) const {
  return std::any_of(extras.begin(), extras.end(),
                     [code](const auto& e) { return e.first == code; });
}

void print_help(const Program& program, std::ostream& out) {
  std::size_t width = 0;
  for (const Option& o : program.options) width = std::max(width, label(o).size());
  width += 2;
  // Two places of margin and four for "-h, ".
  const std::string indent(2 + 4 + width, ' ');

  out << program.synopsis << "Options:\n";
  for (const Option& o : program.options) {
    std::string head = "  ";
    head += o.short_name.empty() ? std::string(4, ' ') : std::string(o.short_name) + ", ";
    head += label(o);
    head.resize(indent.size(), ' ');
    std::string_view text = o.help;
    for (bool first = true;; first = false) {
      const std::size_t end = text.find('\n');
      out << (first ? head : indent) << text.substr(0, end) << '\n';
      if (end == std::string_view::npos) break;
      text.remove_prefix(end + 1);
    }
  }
  out << '\n' << program.epilogue;
}

int usage_error(const Program& program, std::string_view what, std::ostream& err) {
  err << program.name << ": " << what << " (try '" << program.name << " --help')\n";
  return 2;
}

std::optional<int> parse(const Program& program, int argc, const char* const* argv, Invocation& inv,
                         std::ostream& out, std::ostream& err) {
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-' ||
        (program.is_operand != nullptr && program.is_operand(arg))) {
      inv.operands.push_back(arg);
      continue;
    }
    std::size_t value_at = std::string::npos;
    const Option* o = find_option(program, arg, value_at);
    if (o == nullptr) return usage_error(program, "unknown option '" + arg + "'", err);

    if (o->action != Action::end_of_options) inv.options_given.push_back(arg);
    std::string value;
    if (!o->value.empty()) {
      if (value_at != std::string::npos) {
        value = arg.substr(value_at);
      } else if (i + 1 < argc) {
        value = argv[++i];
        inv.options_given.push_back(value);
      }
      if (value.empty()) {
        return usage_error(
            program,
            "option '" + std::string(o->long_name) + "' needs " + std::string(o->value_need), err);
      }
    }
    switch (o->action) {
      case Action::help:
        print_help(program, out);
        return 0;
      case Action::version:
        out << program.name << " " << program.version << "\n";
        return 0;
      case Action::no_pause:
        inv.pause = false;
        break;
      case Action::no_window:
        inv.window = false;
        break;
      case Action::plot:
        inv.plot_file = value;
        break;
      case Action::end_of_options:
        options_ended = true;
        break;
      case Action::extra:
        inv.extras.emplace_back(o->code, value);
        break;
    }
  }
  return std::nullopt;
}

}  // namespace helmert2d::cli
