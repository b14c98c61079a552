// Test support: runs command-line cases written as rows of a plain text table. The row
// format is described at the top of tests/cli/cli_cases.txt.
#ifndef HELMERT2D_TESTS_SUPPORT_CLI_TABLE_H
#define HELMERT2D_TESTS_SUPPORT_CLI_TABLE_H

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace testsupport {

struct CliLine {
  int number = 0;
  std::vector<std::string> key;  // the words before the colon
  std::string value;             // raw: escapes and ${...} are expanded when carried out
};

struct CliCase {
  std::string name;
  std::vector<CliLine> lines;
};

inline void PrintTo(const CliCase& c, std::ostream* os) {
  *os << c.name;
}

struct CliTable {
  std::string path;
  std::map<std::string, std::string> lets;  // raw, as values are
  std::vector<CliCase> cases;
};

inline std::vector<std::string> split_words(const std::string& s) {
  std::vector<std::string> out;
  std::istringstream is(s);
  for (std::string w; is >> w;) out.push_back(w);
  return out;
}

/// Reads the table at `path`. A line the reader cannot place becomes a case named
/// TableCannotBeRead whose only line is an error.
inline CliTable read_cli_table(const std::string& path) {
  CliTable t{path, {}, {}};
  std::ifstream in(path);
  std::string* last = nullptr;  // the value an indented "+ " line extends
  int number = 0;
  auto broken = [&](const std::string& why) {
    t.cases = {CliCase{"TableCannotBeRead", {CliLine{number, {"error"}, why}}}};
    return t;
  };
  if (!in) return broken(path + " is not opened");
  for (std::string line; std::getline(in, line);) {
    ++number;
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    if (first > 0) {
      if (line.compare(first, 2, "+ ") != 0 || last == nullptr)
        return broken("line " + std::to_string(number) + ": an indented line starts with '+ '");
      *last += line.substr(first + 2);
      continue;
    }
    std::size_t colon = line.find(": ");
    if (colon == std::string::npos && line.back() == ':') colon = line.size() - 1;
    if (colon == std::string::npos)
      return broken("line " + std::to_string(number) + ": no 'key: value'");
    const std::vector<std::string> key = split_words(line.substr(0, colon));
    const std::string value = colon + 2 <= line.size() ? line.substr(colon + 2) : "";
    if (key.size() == 2 && key[0] == "let") {
      last = &(t.lets[key[1]] = value);
    } else if (key == std::vector<std::string>{"case"}) {
      if (value.empty() || !std::all_of(value.begin(), value.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
          }))
        return broken("line " + std::to_string(number) + ": a case name is letters, digits, _");
      t.cases.push_back(CliCase{value, {}});
      last = nullptr;
    } else if (t.cases.empty()) {
      return broken("line " + std::to_string(number) + ": a line before the first case");
    } else {
      t.cases.back().lines.push_back(CliLine{number, key, value});
      last = &t.cases.back().lines.back().value;
    }
  }
  return t;
}

/// Carries out one case, reporting each unmet expectation to gtest.
class CliCaseRun {
 public:
  CliCaseRun(const CliTable& table, const CliCase& c) : table_(table), case_(c) {}

  void run() {
    for (const CliLine& l : case_.lines) {
      SCOPED_TRACE(table_.path + ":" + std::to_string(l.number));
      if (!carry_out(l.key, l.value)) break;
    }
    if (!skip_.empty()) GTEST_SKIP() << skip_;
  }

 private:
  // False when the case ends at this line.
  bool carry_out(const std::vector<std::string>& key, const std::string& raw) {
    const std::string what = key.empty() ? "" : key[0];
    const std::size_t n = key.size();
    if (what == "error") {
      ADD_FAILURE() << raw;
    } else if (what == "requires" && n == 1) {
      return requirement_met(split_words(expand(raw)));
    } else if ((what == "helmert2d" || what == "helmert2d-boundary") && n == 2) {
      run_program(what == "helmert2d" ? HELMERT2D_PROGRAM : HELMERT2D_BOUNDARY_PROGRAM, raw);
      EXPECT_EQ(result_.status, std::atoi(key[1].c_str())) << result_.out << result_.err;
    } else if (what == "stdin" && n == 1) {
      stdin_ = expand(raw);
    } else if (what == "env" && n == 1) {
      env_ = expand(raw);
    } else if (what == "dir" && n == 1) {
      std::filesystem::create_directories(dir_.file(expand(raw)));
    } else if (what == "symlink" && n == 2) {
      std::filesystem::create_symlink(expand(raw), dir_.file(key[1]));
    } else if (what == "hardlink" && n == 2) {
      std::filesystem::create_hard_link(dir_.file(expand(raw)), dir_.file(key[1]));
    } else if (what == "file" && n == 2) {
      dir_.write(key[1], expand(raw));
    } else if (what == "exists" || what == "absent") {
      EXPECT_EQ(present(expand(raw)), what == "exists") << raw;
    } else if ((what == "stdout" || what == "stderr") && n == 2) {
      if (runs_ == 0) ADD_FAILURE() << "no run yet";
      compare(what == "stdout" ? result_.out : result_.err, key[1], expand(raw));
    } else if (what == "file" && n == 3) {
      EXPECT_TRUE(std::filesystem::exists(dir_.file(key[1]))) << key[1];
      compare(read_file(dir_.file(key[1])), key[2], expand(raw));
    } else {
      ADD_FAILURE() << "a line this table does not know";
      return false;
    }
    return true;
  }

  bool requirement_met(const std::vector<std::string>& need) {
    if (need.size() == 2 && need[0] == "locale") {
      // Installed names differ in case and in the hyphen of "UTF-8".
      auto plain = [](std::string s) {
        std::erase(s, '-');
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
      };
      std::istringstream names(shell_output("locale -a 2>/dev/null"));
      for (std::string name; std::getline(names, name);)
        if (plain(name) == plain(need[1])) return true;
      skip_ = "locale " + need[1] + " is not installed";
    } else if (need.size() == 2 && need[0] == "writable") {
      if (access(need[1].c_str(), W_OK) == 0) return true;
      skip_ = need[1] + " is not writable";
    } else {
      ADD_FAILURE() << "an unknown requirement";
    }
    return false;
  }

  // Runs `program` in the case's directory without a display, standard input on a
  // pipe. Under the leak checker its report of suppressed library allocations is kept
  // off standard error.
  void run_program(const std::string& program, const std::string& raw_args) {
    const std::string out = ".run" + std::to_string(++runs_) + ".out";
    const std::string err = ".run" + std::to_string(runs_) + ".err";
    dir_.write(".stdin", stdin_);
    std::string cmd = "cd " + shell_quote(dir_.path()) +
                      " && cat .stdin | env -u DISPLAY -u WAYLAND_DISPLAY "
                      "LSAN_OPTIONS=\"${LSAN_OPTIONS}:print_suppressions=0\"";
    for (const auto& w : split_words(env_)) cmd += " " + shell_quote(w);
    cmd += " " + shell_quote(program);
    for (const auto& a : arguments(raw_args)) cmd += " " + shell_quote(a);
    const int raw = std::system((cmd + " > " + out + " 2> " + err).c_str());
    result_ = {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_file(dir_.file(out)),
               read_file(dir_.file(err))};
    stdin_.clear();
    env_.clear();
  }

  // Words separated by blanks; 'single quotes' keep blanks; each word is expanded.
  std::vector<std::string> arguments(const std::string& raw) {
    std::vector<std::string> out;
    std::string word;
    bool in_word = false, quoted = false;
    for (char c : raw + ' ') {
      if (!quoted && (c == ' ' || c == '\t')) {
        if (in_word) out.push_back(expand(word));
        word.clear();
        in_word = false;
      } else {
        if (c == '\'')
          quoted = !quoted;
        else
          word += c;
        in_word = true;
      }
    }
    return out;
  }

  bool present(const std::string& name) const {
    if (name.empty() || name.back() != '*') return std::filesystem::exists(dir_.file(name));
    const std::string prefix = name.substr(0, name.size() - 1);
    for (const auto& e : std::filesystem::directory_iterator(dir_.path()))
      if (e.path().filename().string().rfind(prefix, 0) == 0) return true;
    return false;
  }

  static void compare(const std::string& actual, const std::string& op, const std::string& want) {
    if (op == "is") {
      EXPECT_EQ(actual, want);
    } else if (op == "has" || op == "lacks") {
      EXPECT_EQ(actual.find(want) != std::string::npos, op == "has") << "'" << want << "' in:\n"
                                                                     << actual;
    } else if (op == "starts") {
      EXPECT_EQ(actual.substr(0, want.size()), want) << actual;
    } else if (op == "ends") {
      EXPECT_EQ(actual.substr(actual.size() - std::min(actual.size(), want.size())), want);
    } else if (op == "lines") {
      EXPECT_EQ(std::count(actual.begin(), actual.end(), '\n'), std::atoi(want.c_str())) << actual;
    } else {
      ADD_FAILURE() << "an unknown comparison " << op;
    }
  }

  // Resolves escapes and ${...}, innermost first; inserted texts are not read again.
  std::string expand(const std::string& raw, int depth = 0) {
    if (depth > 20) {
      ADD_FAILURE() << "${...} nested too deeply";
      return "";
    }
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == '\\' && i + 1 < raw.size()) {
        const char e = raw[++i];
        if (e == 'x' && i + 2 < raw.size()) {
          out += static_cast<char>(std::stoi(raw.substr(i + 1, 2), nullptr, 16));
          i += 2;
        } else {
          out += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
        }
      } else if (raw.compare(i, 2, "${") == 0) {
        std::size_t end = i + 2;
        for (int open = 1; end < raw.size() && (raw[end] != '}' || --open > 0); ++end)
          open += raw[end] == '{';
        out += lookup(expand(raw.substr(i + 2, end - i - 2), depth + 1), depth);
        i = end;
      } else {
        out += raw[i];
      }
    }
    return out;
  }

  std::string lookup(const std::string& name, int depth) {
    if (name == "SOURCE") return HELMERT2D_SOURCE_DIR;
    if (name == "DIRNAME") return std::filesystem::path(dir_.path()).filename().string();
    if (name.rfind("file:", 0) == 0) {
      const std::filesystem::path p(name.substr(5));
      const std::string path = p.is_absolute() ? p.string() : dir_.file(p.string());
      EXPECT_TRUE(std::filesystem::exists(path)) << path;
      return read_file(path);
    }
    const auto let = table_.lets.find(name);
    if (let != table_.lets.end()) return expand(let->second, depth + 1);
    ADD_FAILURE() << "an unknown ${" << name << "}";
    return "";
  }

  const CliTable& table_;
  const CliCase& case_;
  TempDir dir_;
  std::string stdin_, env_;
  std::string skip_;  // why the case is skipped
  int runs_ = 0;
  ProgramResult result_;
};

}  // namespace testsupport

#endif  // HELMERT2D_TESTS_SUPPORT_CLI_TABLE_H
