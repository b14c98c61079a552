// The display lost during a run or at its pause: the run finishes its report off-screen,
// one console line tells of the loss, and the program ends with the run's status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "support/child_program.h"
#include "support/small_job.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"

namespace {

using namespace std::chrono_literals;
using testsupport::ChildProgram;
using testsupport::count_of;
using testsupport::kFinalRule;
using testsupport::kLocal;
using testsupport::kNational;
using testsupport::read_file;
using testsupport::TempDir;

const std::string kLost = " The display was lost; the plot window is closed.\n";

class DisplayLoss : public testing::Test {
 protected:
  void SetUp() override {
    if (xvfb_.display().empty()) GTEST_SKIP() << "Xvfb is not available";
    dir_.write("local.txt", kLocal);
  }
  testsupport::Xvfb xvfb_;
  TempDir dir_;
};

// The second file is a FIFO: the program has reached the display and waits for the
// points when the server ends; they come afterwards, before any window is made.
TEST_F(DisplayLoss, BeforeTheWindowOpensTheRunFinishesOffScreen) {
  const std::string fifo = dir_.file("national.txt");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ChildProgram run(dir_, xvfb_.display(), {"local.txt", "national.txt", "r.txt"});
  // Opening the FIFO for writing succeeds once the program opened it for reading.
  int fd = -1;
  testsupport::eventually([&] { return (fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK)) >= 0; });
  ASSERT_GE(fd, 0) << run.console();
  xvfb_.stop();
  // The program notices the loss meanwhile: its window thread then waits in pause()
  // for the end of the process.
#ifdef SYS_pause
  if (ChildProgram::syscalls_visible()) {
    EXPECT_TRUE(testsupport::eventually([&] { return run.in_syscall(SYS_pause); }, 20s));
  }
#endif
  fcntl(fd, F_SETFL, 0);
  const std::string points = kNational;
  ASSERT_EQ(write(fd, points.data(), points.size()), static_cast<ssize_t>(points.size()));
  close(fd);
  EXPECT_EQ(run.wait(), 0) << run.console();
  EXPECT_EQ(count_of(run.console(), kLost), 1) << run.console();
  EXPECT_TRUE(read_file(dir_.file("r.txt")).ends_with(kFinalRule));
}

TEST_F(DisplayLoss, AtThePauseEndsWithTheRunsStatusAndSaysSo) {
  dir_.write("national.txt", kNational);
  ChildProgram run(dir_, xvfb_.display(), {"local.txt", "national.txt", "r.txt"});
  ASSERT_TRUE(testsupport::wait_for_window(xvfb_.display()));
  // The report is put in place when the run ends; then the program waits for a key.
  testsupport::eventually([&] { return read_file(dir_.file("r.txt")).ends_with(kFinalRule); }, 20s);
  // At the pause the main thread reads its standard input (a pipe here).
  if (ChildProgram::syscalls_visible()) {
    EXPECT_TRUE(testsupport::eventually([&] { return run.in_syscall(SYS_read, 0, true); }, 20s));
  }
  xvfb_.stop();
  EXPECT_EQ(run.wait(), 0) << run.console();
  EXPECT_EQ(count_of(run.console(), kLost), 1) << run.console();
}

}  // namespace
