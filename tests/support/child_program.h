// Test support: the helmert2d program running in the background in a test directory,
// on a display of the test's choice, with its standard input and output on a pipe or
// on a pseudo-terminal that is its controlling terminal.
#ifndef HELMERT2D_TESTS_SUPPORT_CHILD_PROGRAM_H
#define HELMERT2D_TESTS_SUPPORT_CHILD_PROGRAM_H

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"
#include "support/xvfb.h"

namespace testsupport {

class ChildProgram {
 public:
  enum class Console { pipe, terminal };

  /// Starts the program in `dir` with `args`. An empty `display` unsets DISPLAY. With
  /// Console::pipe, standard input is a pipe (see press_key) and the output goes to
  /// "console.txt" in `dir`; with Console::terminal both are a new pseudo-terminal.
  ChildProgram(const TempDir& dir, const std::string& display, const std::vector<std::string>& args,
               Console console = Console::pipe)
      : console_file_(dir.file("console.txt")) {
    int in[2] = {-1, -1};
    if (console == Console::terminal) {
      if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) return;
    } else if (pipe(in) != 0) {
      return;
    }
    pid_ = fork();
    if (pid_ == 0) {
      if (console == Console::terminal) {
        setsid();
        ioctl(slave_, TIOCSCTTY, 0);
        dup2(slave_, 0);
        dup2(slave_, 1);
        close(master_);
      } else {
        dup2(in[0], 0);
        close(in[1]);
        if (std::freopen(console_file_.c_str(), "w", stdout) == nullptr) _exit(121);
      }
      if (chdir(dir.path().c_str()) != 0) _exit(120);
      use_display(display);
      std::vector<char*> argv{const_cast<char*>(HELMERT2D_PROGRAM)};
      for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(HELMERT2D_PROGRAM, argv.data());
      _exit(127);
    }
    if (console == Console::pipe) {
      close(in[0]);
      stdin_ = in[1];
    }
  }
  ~ChildProgram() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    for (const int fd : {stdin_, master_, slave_})
      if (fd >= 0) close(fd);
  }
  ChildProgram(const ChildProgram&) = delete;
  ChildProgram& operator=(const ChildProgram&) = delete;

  pid_t pid() const { return pid_; }
  int master() const { return master_; }
  int slave() const { return slave_; }

  /// Writes `bytes` to the program's standard input (pipe or terminal); true when all
  /// of them were written.
  bool type(const std::string& bytes) {
    const int fd = master_ >= 0 ? master_ : stdin_;
    return write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }

  /// What the program wrote so far (for a terminal: what arrived at the master).
  std::string console() {
    if (master_ < 0) return read_file(console_file_);
    char buf[4096];
    pollfd pfd{master_, POLLIN, 0};
    while (poll(&pfd, 1, 0) > 0 && (pfd.revents & POLLIN) != 0) {
      const ssize_t n = read(master_, buf, sizeof buf);
      if (n <= 0) break;
      terminal_text_.append(buf, static_cast<std::size_t>(n));
    }
    return terminal_text_;
  }

  /// True once the console holds `text`, within `limit`.
  bool wait_for_console(const std::string& text,
                        std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    return eventually([&] { return console().find(text) != std::string::npos; }, limit);
  }

  /// Whether the kernel tells which system call the program's threads are in: false
  /// where /proc/<pid>/task/<tid>/syscall cannot be read.
  static bool syscalls_visible() { return !read_file("/proc/self/syscall").empty(); }

  /// True when a thread of the program (the main thread only, with `main_only`) is
  /// blocked in system call `number` (from <sys/syscall.h>), with first argument
  /// `arg0` when that is not negative.
  bool in_syscall(long number, long arg0 = -1, bool main_only = false) const {
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid_) + "/task";
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator(tasks, ec)) {
      if (main_only && task.path().filename() != std::to_string(pid_)) continue;
      std::istringstream is(read_file((task.path() / "syscall").string()));
      long nr = -1;
      std::string first;
      is >> nr >> first;
      if (nr == number && (arg0 < 0 || std::strtol(first.c_str(), nullptr, 0) == arg0)) return true;
    }
    return false;
  }

  /// Exit status (128 + the signal for a signal), or -1 when it has not ended within
  /// `limit`.
  int wait(std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    int status = 0;
    // Reading the console keeps the terminal's output buffer from filling up.
    if (!eventually([&] { return console(), waitpid(pid_, &status, WNOHANG) == pid_; }, limit))
      return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

 private:
  std::string console_file_;
  std::string terminal_text_;
  pid_t pid_ = -1;
  int stdin_ = -1;
  int master_ = -1;
  int slave_ = -1;
};

/// True once the window titled `title` exists on `display`, within 30 s.
inline bool wait_for_window(const std::string& display, const std::string& title = "GRAFIK") {
  const std::string search = "xdotool search --name '^" + title + "$' 2>/dev/null";
  return eventually([&] { return !shell_output("DISPLAY=" + display + " " + search).empty(); },
                    std::chrono::seconds(30));
}

}  // namespace testsupport

#endif  // HELMERT2D_TESTS_SUPPORT_CHILD_PROGRAM_H
