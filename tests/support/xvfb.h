// Test support: a private Xvfb server for tests of real windows. The server picks a
// free display number itself and ends with the test process.
#ifndef HELMERT2D_TESTS_SUPPORT_XVFB_H
#define HELMERT2D_TESTS_SUPPORT_XVFB_H

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/temp_dir.h"

namespace testsupport {

inline bool on_path(const std::string& program) {
  const std::string cmd = "command -v " + program + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

/// In a child process: the display to use (none when empty), with GTK kept from
/// looking for settings and accessibility services.
inline void use_display(const std::string& display) {
  if (display.empty()) {
    unsetenv("DISPLAY");
  } else {
    setenv("DISPLAY", display.c_str(), 1);
  }
  setenv("GSETTINGS_BACKEND", "memory", 1);
  setenv("NO_AT_BRIDGE", "1", 1);
}

/// Runs `body` in a child process on `display` and gives its result back as the exit
/// status; -1 when the child did not end normally within a minute.
template <class Body>
int exit_status_in_child(const std::string& display, Body body) {
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    use_display(display);
    _exit(body());
  }
  int status = 0;
  if (eventually([&] { return waitpid(pid, &status, WNOHANG) == pid; }, std::chrono::seconds(60)))
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return -1;
}

class Xvfb {
 public:
  /// Starts the server; display() is empty when Xvfb is missing or did not start.
  /// Tests run side by side each start a server. Taking the lowest free display number
  /// would often take the one a server of another test is just giving up, and that
  /// server's removal of its socket could then cut the new one off from its clients;
  /// so the numbers are spread by process and tried until one is free.
  Xvfb() {
    if (!on_path("Xvfb")) return;
    for (int attempt = 0; attempt < 50 && display_.empty(); ++attempt) {
      const int number = 10 + static_cast<int>((getpid() * 37L + attempt * 101L) % 5000);
      start(number);
    }
  }
  ~Xvfb() { stop(); }
  /// Ends the server; its clients lose their connection.
  void stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }
  Xvfb(const Xvfb&) = delete;
  Xvfb& operator=(const Xvfb&) = delete;

  const std::string& display() const { return display_; }

 private:
  // Starts a server on display `number`; it tells the number through a pipe once it
  // takes connections, and ends at once when the display is taken.
  void start(int number) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      close(fds[0]);
      if (fds[1] != 3) {
        dup2(fds[1], 3);
        close(fds[1]);
      }
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      const std::string name = ":" + std::to_string(number);
      // Without -noreset the server resets whenever its last client leaves (each poll
      // of xdotool, each program of a test ends), and a program that connects during
      // a reset finds no display and runs without its window.
      execlp("Xvfb", "Xvfb", name.c_str(), "-displayfd", "3", "-noreset", "-screen", "0",
             "1280x1024x24", "-nolisten", "tcp", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string told;
    pollfd pfd{fds[0], POLLIN, 0};
    while (pid_ > 0 && poll(&pfd, 1, 20000) > 0) {
      char c;
      if (read(fds[0], &c, 1) != 1 || c == '\n') break;
      told += c;
    }
    close(fds[0]);
    if (told.empty()) {
      stop();  // the display was taken, or the server failed
      return;
    }
    display_ = ":" + told;
  }

  pid_t pid_ = -1;
  std::string display_;
};

}  // namespace testsupport

#endif  // HELMERT2D_TESTS_SUPPORT_XVFB_H
