// Large inputs with long names, and the pause on a terminal.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "support/temp_dir.h"

namespace {

using testsupport::read_file;
using testsupport::run_program;
using testsupport::TempDir;

TEST(Scale, MoreThanTenThousandCommonPointsAndLongNames) {
  std::ostringstream a, b;
  const int n = 12000;
  for (int i = 1; i <= n; ++i) {
    a << "POINT-NUMBER-" << i << " " << (i % 100) * 10.0 << " " << (i / 100) * 10.0 << " 0\n";
    b << "POINT-NUMBER-" << i << " " << 5000.0 + (i % 100) * 10.0 << " " << (i / 100) * 10.0
      << " 0\n";
  }
  TempDir dir;
  const std::string long_name(120, 'f');
  dir.write(long_name + ".txt", a.str());
  dir.write("second-system-file-with-a-long-name.txt", b.str());
  const auto r = run_program(
      HELMERT2D_PROGRAM,
      {"--no-pause", long_name + ".txt", "second-system-file-with-a-long-name.txt", "report.txt"},
      dir);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("From >" + long_name + ".txt< to >"), std::string::npos);
  const std::string report = read_file(dir.file("report.txt"));
  EXPECT_NE(report.find(" 12000POINT-NUMBER-12000"), std::string::npos);
  EXPECT_NE(report.find("            f =23996\n"), std::string::npos);
  EXPECT_NE(report.find("             a =  1.00000000        o =  0.00000000\n"),
            std::string::npos);
}

// On a terminal the program waits for one key, without Enter.
TEST(Terminal, PauseTakesOneKeyInRawMode) {
  TempDir dir;
  dir.write("a.txt", "A 0 0 0\nB 100 0 0\nC 0 100 0\n");
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (chdir(dir.path().c_str()) != 0) _exit(120);
    setenv("DISPLAY", "", 1);
    execl(HELMERT2D_PROGRAM, HELMERT2D_PROGRAM, "--no-window", "a.txt", "a.txt", "r.txt",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  std::string screen;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (screen.find("Press any key to continue . . .") == std::string::npos &&
         std::chrono::steady_clock::now() < until) {
    char buf[256];
    const ssize_t got = read(master, buf, sizeof buf);
    if (got <= 0) break;
    screen.append(buf, static_cast<std::size_t>(got));
  }
  ASSERT_NE(screen.find(" Press any key to continue . . ."), std::string::npos) << screen;
  ASSERT_EQ(write(master, "x", 1), 1);  // one key, no Enter
  int status = 0;
  for (int i = 0; i < 1500 && waitpid(pid, &status, WNOHANG) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  if (!WIFEXITED(status)) kill(pid, SIGKILL);
  close(master);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
