// The run's plot window on a real (virtual) display: place, size, the same pixels as
// the saved picture, and closing it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/temp_dir.h"
#include "support/xvfb.h"

namespace {

using namespace std::chrono_literals;
using testsupport::read_file;
using testsupport::shell_output;

const char* const kLocal =
    "A 1000 1000 0\nB 1000 3000 0\nC 2000 1000 0\nD 2000 3000 0\n"
    "E 1500 2000 0\nF 1200 1600 0\nG 1800 2600 0\n";
const char* const kNational =
    "A 11000.004 21000.002 0\nB 10999.997 23000.001 0\nC 12000.001 20999.996 0\n"
    "D 11999.998 22999.999 0\n";

// The program running in the background with its standard input on a pipe, so that it
// waits at its pause until the test writes a key.
class Running {
 public:
  Running(const testsupport::TempDir& dir, const std::string& display,
          const std::vector<std::string>& args) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(fds[0], 0);
      close(fds[1]);
      if (chdir(dir.path().c_str()) != 0) _exit(120);
      setenv("DISPLAY", display.c_str(), 1);
      setenv("GSETTINGS_BACKEND", "memory", 1);
      setenv("NO_AT_BRIDGE", "1", 1);
      if (std::freopen("console.txt", "w", stdout) == nullptr) _exit(121);
      std::vector<char*> argv{const_cast<char*>(HELMERT2D_PROGRAM)};
      for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(HELMERT2D_PROGRAM, argv.data());
      _exit(127);
    }
    close(fds[0]);
    stdin_ = fds[1];
  }
  ~Running() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (stdin_ >= 0) close(stdin_);
  }
  void press_key() { (void)!write(stdin_, "\n", 1); }
  // Exit status, or -1 when it has not ended within `limit`.
  int wait(std::chrono::seconds limit = 30s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (std::chrono::steady_clock::now() < end) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(20ms);
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  int stdin_ = -1;
};

bool wait_for_window(const std::string& display) {
  for (int i = 0; i < 500; ++i) {
    if (!shell_output("DISPLAY=" + display + " xdotool search --name '^GRAFIK$' 2>/dev/null")
             .empty())
      return true;
    std::this_thread::sleep_for(20ms);
  }
  return false;
}

class RunWindow : public testing::Test {
 protected:
  void SetUp() override {
    if (xvfb_.display().empty()) GTEST_SKIP() << "Xvfb is not available";
    dir_.write("local.txt", kLocal);
    dir_.write("national.txt", kNational);
  }
  testsupport::Xvfb xvfb_;
  testsupport::TempDir dir_;
};

TEST_F(RunWindow, ShowsThePlotAtItsPlace) {
  if (!testsupport::on_path("import")) GTEST_SKIP() << "ImageMagick's import is not installed";
  Running run(dir_, xvfb_.display(), {"--plot", "plot.bmp", "local.txt", "national.txt", "r.txt"});
  ASSERT_TRUE(wait_for_window(xvfb_.display()));
  // The picture is saved once the report is complete; then the program pauses.
  for (int i = 0; i < 500 && read_file(dir_.file("plot.bmp")).size() < 1084258u; ++i)
    std::this_thread::sleep_for(20ms);
  std::this_thread::sleep_for(300ms);  // the last repaint
  const std::string d = "-display " + xvfb_.display();
  const std::string info = shell_output("xwininfo " + d + " -name GRAFIK");
  EXPECT_NE(info.find("Absolute upper-left X:  675\n"), std::string::npos) << info;
  EXPECT_NE(info.find("Absolute upper-left Y:  0\n"), std::string::npos) << info;
  EXPECT_NE(info.find("Width: 600\n"), std::string::npos) << info;
  EXPECT_NE(info.find("Height: 600\n"), std::string::npos) << info;

  // The screen's pixels of the window against the saved picture (whose extra last
  // column and row are not part of the window).
  const std::string raw = dir_.file("screen.rgb");
  shell_output("import " + d + " -window root -crop 600x600+675+0 -depth 8 rgb:" + raw);
  const std::string shown = read_file(raw);
  const std::string bmp = read_file(dir_.file("plot.bmp"));
  ASSERT_EQ(shown.size(), 600u * 600u * 3u);
  ASSERT_EQ(bmp.size(), 1084258u);
  const std::size_t stride = (601 * 3 + 3) / 4 * 4;
  int differing = 0;
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 600; ++x) {
      const std::size_t b = 54 + static_cast<std::size_t>(600 - y) * stride + x * 3;
      const std::size_t s = (static_cast<std::size_t>(y) * 600 + x) * 3;
      if (shown[s] != bmp[b + 2] || shown[s + 1] != bmp[b + 1] || shown[s + 2] != bmp[b])
        ++differing;
    }
  EXPECT_EQ(differing, 0);

  run.press_key();
  EXPECT_EQ(run.wait(), 0);
}

TEST_F(RunWindow, ClosingTheWindowEndsTheProgramWithStatusZero) {
  Running run(dir_, xvfb_.display(), {"local.txt", "national.txt", "r.txt"});
  ASSERT_TRUE(wait_for_window(xvfb_.display()));
  std::this_thread::sleep_for(200ms);
  shell_output("DISPLAY=" + xvfb_.display() + " xdotool search --name '^GRAFIK$' windowclose");
  EXPECT_EQ(run.wait(), 0);
  // The report is complete: it ends with the final list's closing line.
  const std::string report = read_file(dir_.file("r.txt"));
  const std::string rule = "   === ==== ============ ============   ============= ============ \n";
  ASSERT_GT(report.size(), rule.size());
  EXPECT_EQ(report.substr(report.size() - rule.size()), rule);
}

}  // namespace
