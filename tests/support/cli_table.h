// Test support: runs the programs' command-line cases written as rows of a plain text
// table (the row format is described at the top of tests/cli/cli_cases.txt). Each case
// runs in a fresh temporary directory; its lines are carried out in order.
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
  std::string key;    // the words before the colon, single spaces between them
  std::string value;  // raw: escapes and ${...} are expanded when the line is carried out
};

struct CliCase {
  std::string name;
  int line = 0;
  std::vector<CliLine> lines;
};

// Shown by gtest when a case's parameter is printed.
inline void PrintTo(const CliCase& c, std::ostream* os) {
  *os << c.name;
}

struct CliTable {
  std::string path;
  std::map<std::string, std::string> lets;  // raw values, as lines are
  std::vector<CliCase> cases;
};

namespace cli_detail {

inline std::string trim_right(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.pop_back();
  return s;
}

inline std::vector<std::string> words(const std::string& s) {
  std::vector<std::string> out;
  std::istringstream is(s);
  for (std::string w; is >> w;) out.push_back(w);
  return out;
}

// A case that only reports why the table could not be read.
inline CliCase broken(const std::string& why) {
  return CliCase{"TableCannotBeRead", 0, {CliLine{0, "error", why}}};
}

}  // namespace cli_detail

/// Reads the table at `path`; a malformed table yields one failing case that says why.
inline CliTable read_cli_table(const std::string& path) {
  using namespace cli_detail;
  CliTable t;
  t.path = path;
  std::ifstream in(path);
  if (!in) {
    t.cases.push_back(broken(path + " is not opened"));
    return t;
  }
  std::string* last = nullptr;  // the value a continuation line extends
  int number = 0;
  for (std::string raw; std::getline(in, raw);) {
    ++number;
    const std::string where = path + ":" + std::to_string(number) + ": ";
    const std::string line = trim_right(raw);
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    if (first > 0) {
      if (line.compare(first, 2, "+ ") != 0 || last == nullptr) {
        t.cases = {broken(where + "an indented line must continue a value with '+ '")};
        return t;
      }
      *last += line.substr(first + 2);
      continue;
    }
    std::size_t colon = line.find(": ");
    if (colon == std::string::npos && line.back() == ':') colon = line.size() - 1;
    if (colon == std::string::npos) {
      t.cases = {broken(where + "no 'key: value'")};
      return t;
    }
    std::string key;
    for (const auto& w : words(line.substr(0, colon))) key += (key.empty() ? "" : " ") + w;
    const std::string value = colon + 2 <= line.size() ? line.substr(colon + 2) : "";
    if (key.rfind("let ", 0) == 0) {
      last = &t.lets[key.substr(4)];
      *last = value;
    } else if (key == "case") {
      const bool named = !value.empty() && std::all_of(value.begin(), value.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
      });
      if (!named) {
        t.cases = {broken(where + "a case name is letters, digits and '_'")};
        return t;
      }
      t.cases.push_back(CliCase{value, number, {}});
      last = nullptr;
    } else if (t.cases.empty()) {
      t.cases = {broken(where + "a line before the first case")};
      return t;
    } else {
      t.cases.back().lines.push_back(CliLine{number, key, value});
      last = &t.cases.back().lines.back().value;
    }
  }
  return t;
}

/// Carries out one case of `table`, reporting each unmet expectation to gtest.
class CliCaseRun {
 public:
  CliCaseRun(const CliTable& table, const CliCase& c) : table_(table), case_(c) {}

  void run() {
    for (const CliLine& l : case_.lines) {
      SCOPED_TRACE(table_.path + ":" + std::to_string(l.number));
      if (!carry_out(l)) {
        if (!skip_.empty()) GTEST_SKIP() << skip_;
        return;
      }
    }
    check_status_was_expected();
  }

 private:
  // False when the case ends here (skipped or broken).
  bool carry_out(const CliLine& l) {
    const std::vector<std::string> key = cli_detail::words(l.key);
    const std::string& what = key.empty() ? l.key : key[0];
    if (what == "error") {
      ADD_FAILURE() << l.value;
      return false;
    }
    if (what == "requires") return requirement_met(expand(l.value));
    if (what == "program" && key.size() == 1) {
      program_ = expand(l.value);
      return true;
    }
    if (what == "stdin" && key.size() == 1) {
      stdin_ = expand(l.value);
      return true;
    }
    if (what == "env" && key.size() == 1) {
      env_ = expand(l.value);
      return true;
    }
    if (what == "run" && key.size() == 1) {
      start_run(l.value);
      return true;
    }
    if (what == "dir" && key.size() == 1) {
      std::filesystem::create_directories(dir_.file(expand(l.value)));
      return true;
    }
    if ((what == "symlink" || what == "hardlink") && key.size() == 2) {
      const std::string target = expand(l.value);
      if (what == "symlink")
        std::filesystem::create_symlink(target, dir_.file(key[1]));
      else
        std::filesystem::create_hard_link(dir_.file(target), dir_.file(key[1]));
      return true;
    }
    if (what == "file" && key.size() == 2) {
      dir_.write(key[1], expand(l.value));
      return true;
    }
    if (what == "status" && key.size() == 1) {
      if (!has_run()) return false;
      status_checked_ = true;
      EXPECT_EQ(result_.status, std::atoi(l.value.c_str())) << result_.out << result_.err;
      return true;
    }
    if (what == "exists" || what == "absent") {
      check_presence(what == "exists", expand(l.value));
      return true;
    }
    if ((what == "stdout" || what == "stderr") && key.size() == 2) {
      if (!has_run()) return false;
      compare(what == "stdout" ? result_.out : result_.err, key[1], l.value);
      return true;
    }
    if (what == "file" && key.size() == 3) {
      const std::string path = dir_.file(key[1]);
      if (!std::filesystem::exists(path)) {
        ADD_FAILURE() << key[1] << " does not exist";
        return true;
      }
      compare(read_file(path), key[2], l.value);
      return true;
    }
    ADD_FAILURE() << "unknown line '" << l.key << ": " << l.value << "'";
    return false;
  }

  bool has_run() {
    if (runs_ == 0) ADD_FAILURE() << "an expectation about a run before the first run";
    return runs_ > 0;
  }

  void check_status_was_expected() {
    if (runs_ > 0 && !status_checked_)
      ADD_FAILURE() << "run " << runs_ << " of case " << case_.name << " has no status line";
  }

  bool requirement_met(const std::string& need) {
    const std::vector<std::string> w = cli_detail::words(need);
    if (w.size() == 2 && w[0] == "locale") {
      auto plain = [](std::string s) {
        std::string r;
        for (char c : s)
          if (c != '-') r += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return r;
      };
      std::string installed;
      if (FILE* p = popen("locale -a 2>/dev/null", "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p) != nullptr) installed += buf;
        pclose(p);
      }
      std::istringstream is(installed);
      for (std::string name; std::getline(is, name);)
        if (plain(name) == plain(w[1])) return true;
      skip_ = "locale " + w[1] + " is not installed";
      return false;
    }
    if (w.size() == 2 && w[0] == "writable") {
      if (access(w[1].c_str(), W_OK) == 0) return true;
      skip_ = w[1] + " is not writable";
      return false;
    }
    ADD_FAILURE() << "unknown requirement '" << need << "'";
    return false;
  }

  // Runs the program in the case's directory, standard input from a pipe, without a
  // display; the console of run N is also kept as the files .runN.out and .runN.err.
  void start_run(const std::string& raw_args) {
    check_status_was_expected();
    ++runs_;
    status_checked_ = false;
    const std::string n = std::to_string(runs_);
    dir_.write(".stdin", stdin_);
    std::string cmd = "cd " + shell_quote(dir_.path()) +
                      " && cat .stdin | env -u DISPLAY -u WAYLAND_DISPLAY "
                      "LSAN_OPTIONS=\"${LSAN_OPTIONS}:print_suppressions=0\"";
    for (const auto& w : cli_detail::words(env_)) cmd += " " + shell_quote(w);
    cmd += " " + shell_quote(program_path());
    for (const auto& a : split_args(raw_args)) cmd += " " + shell_quote(a);
    cmd += " > .run" + n + ".out 2> .run" + n + ".err";
    const int raw = std::system(cmd.c_str());
    result_.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result_.out = read_file(dir_.file(".run" + n + ".out"));
    result_.err = read_file(dir_.file(".run" + n + ".err"));
    stdin_.clear();
    env_.clear();
  }

  std::string program_path() const {
    if (program_ == "helmert2d") return HELMERT2D_PROGRAM;
    if (program_ == "helmert2d-boundary") return HELMERT2D_BOUNDARY_PROGRAM;
    ADD_FAILURE() << "unknown program '" << program_ << "'";
    return "false";
  }

  // Words separated by blanks; 'single quotes' keep blanks; each word is expanded.
  std::vector<std::string> split_args(const std::string& raw) {
    std::vector<std::string> out;
    std::string word;
    bool in_word = false, quoted = false;
    for (char c : raw) {
      if (c == '\'') {
        quoted = !quoted;
        in_word = true;
      } else if (!quoted && (c == ' ' || c == '\t')) {
        if (in_word) out.push_back(expand(word));
        word.clear();
        in_word = false;
      } else {
        word += c;
        in_word = true;
      }
    }
    if (in_word) out.push_back(expand(word));
    return out;
  }

  void check_presence(bool wanted, const std::string& name) {
    bool found = false;
    if (!name.empty() && name.back() == '*') {
      const std::string prefix = name.substr(0, name.size() - 1);
      for (const auto& e : std::filesystem::directory_iterator(dir_.path()))
        found = found || e.path().filename().string().rfind(prefix, 0) == 0;
    } else {
      found = std::filesystem::exists(dir_.file(name));
    }
    EXPECT_EQ(found, wanted) << name;
  }

  void compare(const std::string& actual, const std::string& op, const std::string& raw) {
    const std::string want = expand(raw);
    if (op == "is") {
      EXPECT_EQ(actual, want);
    } else if (op == "has") {
      EXPECT_NE(actual.find(want), std::string::npos) << "'" << want << "' not in:\n" << actual;
    } else if (op == "lacks") {
      EXPECT_EQ(actual.find(want), std::string::npos) << "'" << want << "' in:\n" << actual;
    } else if (op == "starts") {
      EXPECT_EQ(actual.substr(0, want.size()), want) << actual;
    } else if (op == "ends") {
      EXPECT_EQ(actual.substr(actual.size() - std::min(actual.size(), want.size())), want)
          << actual;
    } else if (op == "lines") {
      EXPECT_EQ(std::count(actual.begin(), actual.end(), '\n'), std::atoi(want.c_str())) << actual;
    } else {
      ADD_FAILURE() << "unknown comparison '" << op << "'";
    }
  }

  // Escapes (\n \r \t \\ \$ \xHH) and ${NAME}: a let, SOURCE (the source tree),
  // DIRNAME (the case directory's own name) or file:PATH (a file's content, PATH taken
  // relative to the case directory).
  std::string expand(const std::string& raw, int depth = 0) {
    if (depth > 20) {
      ADD_FAILURE() << "${...} nested too deeply in '" << raw << "'";
      return "";
    }
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
      const char c = raw[i];
      if (c == '\\' && i + 1 < raw.size()) {
        const char e = raw[++i];
        if (e == 'n') {
          out += '\n';
        } else if (e == 'r') {
          out += '\r';
        } else if (e == 't') {
          out += '\t';
        } else if (e == 'x' && i + 2 < raw.size()) {
          out += static_cast<char>(std::stoi(raw.substr(i + 1, 2), nullptr, 16));
          i += 2;
        } else {
          out += e;
        }
      } else if (c == '$' && i + 1 < raw.size() && raw[i + 1] == '{') {
        std::size_t end = i + 2;
        for (int open = 1; end < raw.size(); ++end) {
          if (raw[end] == '{') ++open;
          if (raw[end] == '}' && --open == 0) break;
        }
        out += lookup(expand(raw.substr(i + 2, end - i - 2), depth + 1), depth);
        i = end;
      } else {
        out += c;
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
      if (!std::filesystem::exists(path)) ADD_FAILURE() << path << " does not exist";
      return read_file(path);
    }
    const auto let = table_.lets.find(name);
    if (let != table_.lets.end()) return expand(let->second, depth + 1);
    ADD_FAILURE() << "unknown ${" << name << "}";
    return "";
  }

  const CliTable& table_;
  const CliCase& case_;
  TempDir dir_;
  std::string program_ = "helmert2d";
  std::string stdin_, env_;
  std::string skip_;  // why the case is skipped
  int runs_ = 0;
  bool status_checked_ = false;
  ProgramResult result_;
};

}  // namespace testsupport

#endif  // HELMERT2D_TESTS_SUPPORT_CLI_TABLE_H
