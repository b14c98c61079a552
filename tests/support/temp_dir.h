// Test support: a fresh temporary directory per test, files written into it, and the
// helmert2d program run as a child process.
#ifndef HELMERT2D_TESTS_SUPPORT_TEMP_DIR_H
#define HELMERT2D_TESTS_SUPPORT_TEMP_DIR_H

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "helmert2d-test-XXXXXX").string();
    path_ = ::mkdtemp(tmpl.data());
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

  std::string write(const std::string& name, const std::string& content) const {
    std::ofstream os(file(name), std::ios::binary);
    os << content;
    return file(name);
  }

 private:
  std::string path_;
};

/// A TempDir that is the working directory while it lives.
class InTempDir : public TempDir {
 public:
  InTempDir() : old_(std::filesystem::current_path()) { std::filesystem::current_path(path()); }
  ~InTempDir() { std::filesystem::current_path(old_); }

 private:
  std::filesystem::path old_;
};

/// Waits up to `limit` for `done` to hold, checking every 20 ms.
inline bool eventually(const std::function<bool()>& done,
                       std::chrono::milliseconds limit = std::chrono::seconds(30)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

inline std::string read_file(const std::string& path) {
  std::ifstream is(path, std::ios::binary);
  std::ostringstream ss;
  ss << is.rdbuf();
  return ss.str();
}

/// Number of times `part` occurs in `text`, overlapping occurrences included.
inline int count_of(const std::string& text, const std::string& part) {
  int count = 0;
  for (auto pos = text.find(part); pos != std::string::npos; pos = text.find(part, pos + 1))
    ++count;
  return count;
}

/// Output of a shell command, byte for byte.
inline std::string shell_output(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[4096];
    std::size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, got);
    pclose(p);
  }
  return out;
}

inline std::string shell_quote(const std::string& s) {
  std::string q(1, '\'');
  for (char c : s) {
    if (c == '\'') {
      q.append("'\\''");
    } else {
      q.push_back(c);
    }
  }
  q.push_back('\'');
  return q;
}

struct ProgramResult {
  int status = -1;
  std::string out;
  std::string err;
};

/// Runs `program` with `args` in `dir`, feeding `input` to its standard input
/// (or /dev/null when `input` is empty), with extra environment assignments.
inline ProgramResult run_program(const std::string& program, const std::vector<std::string>& args,
                                 const TempDir& dir, const std::string& input = "",
                                 const std::string& env = "") {
  const std::string in = dir.write(".stdin", input);
  std::string cmd = "cd ";
  cmd.append(shell_quote(dir.path())).append(" && ").append(env).append(" ");
  cmd.append(shell_quote(program));
  for (const auto& a : args) cmd.append(" ").append(shell_quote(a));
  cmd.append(" < ").append(shell_quote(in)).append(" > .stdout 2> .stderr");
  const int raw = std::system(cmd.c_str());
  ProgramResult r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = read_file(dir.file(".stdout"));
  r.err = read_file(dir.file(".stderr"));
  return r;
}

}  // namespace testsupport

#endif  // HELMERT2D_TESTS_SUPPORT_TEMP_DIR_H
