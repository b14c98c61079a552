// The end of a run: whether the picture is drawn, saved and reported, off-screen; and
// the program's ways out under faults: the end of input at a prompt, a picture that
// cannot be written whole, the terminal at the pause, and a window closed after a
// failed run.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "canvas/program_hooks.h"
#include "cli/shell.h"
#include "helmert2d/canvas.h"
#include "support/child_program.h"
#include "support/small_job.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::ChildProgram;
using testsupport::kLocal;
using testsupport::read_file;
using testsupport::TempDir;
const char* const kPause = " Press any key to continue . . .";

// Waits until the pause has put the program's terminal in raw mode (no line editing,
// no echo), which it does after its prompt; false after 10 s.
bool in_raw_mode(const ChildProgram& run) {
  return testsupport::eventually(
      [&run] {
        termios t{};
        return tcgetattr(run.slave(), &t) == 0 && (t.c_lflag & (ICANON | ECHO)) == 0;
      },
      std::chrono::seconds(10));
}

// The names in a directory, sorted.
std::vector<std::string> names_in(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(CliFaults, EndOfInputAtAPromptNamesThePromptAndWritesNothing) {
  struct Case {
    std::vector<std::string> args;
    std::string input;
    std::string prompt;
  };
  const std::vector<Case> cases{
      {{}, "", "From File 1"},
      {{}, "local.txt\n", "To File 2"},
      {{}, "local.txt national.txt", "Output file"},
      {{"local.txt", "national.txt"}, "  \n", "Output file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.prompt + " after '" + c.input + "'");
    testsupport::SmallJobDir dir;
    const auto r = testsupport::run_program(HELMERT2D_PROGRAM, c.args, dir, c.input, "DISPLAY=");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\n ??? No name given at the prompt '" + c.prompt + "'\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("recorded into"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("is not opened"), std::string::npos) << r.out;
    EXPECT_EQ(names_in(dir), (std::vector<std::string>{".stderr", ".stdin", ".stdout", "local.txt",
                                                       "national.txt"}));
  }
}

const std::string kNotShown =
    " The plot was not shown (no display); use --plot FILE to save it as a picture.\n";

TEST(CliShell, DrawsSavesAndReportsThePictureAsTheOptionsAsk) {
  // No display whatever the environment, so the cases do not depend on it.
  helmert2d::canvas::open_windows_off_screen();
  struct Case {
    std::string plot;  // file name in the test directory; empty: no --plot
    bool window;
    int run_status;
    bool run_draws;
    bool want_draw;  // what the run is told
    int status;
    std::string console;
    std::string magic;  // first bytes of the saved picture; empty: no file
  };
  const std::string unwritable = "no/dir/p.bmp";
  const std::vector<Case> cases{
      {"", true, 0, true, false, 0, kNotShown, ""},
      {"", true, 1, false, false, 1, "", ""},
      {"", false, 0, true, false, 0, "", ""},
      {"p.png", true, 0, true, true, 0, "", "\x89PNG"},
      {"p.bmp", false, 0, true, true, 0, "", "BM"},
      {"p.bmp", false, 1, true, true, 1, "", ""},
      {"p.bmp", false, 0, false, true, 0, "", ""},
      {unwritable, true, 0, true, true, 1, "", ""},
      // A run that completed but ignored records is complete: its picture is saved.
      {"", true, 3, true, false, 3, kNotShown, ""},
      {"p.png", false, 3, true, true, 3, "", "\x89PNG"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.plot + (c.window ? " window" : " no-window") + " status " +
                 std::to_string(c.run_status));
    TempDir dir;
    helmert2d::cli::Invocation inv;
    inv.window = c.window;
    if (!c.plot.empty()) inv.plot_file = dir.file(c.plot);
    bool told = !c.want_draw;
    std::ostringstream console;
    const int status = helmert2d::cli::run_with_plot(
        inv,
        [&](bool draw) {
          told = draw;
          if (c.run_draws) {
            initwindow(30, 20);
            setcolor(COLOR(255, 0, 0));
            line(0, 0, 29, 19);
          }
          return helmert2d::cli::RunOutcome{c.run_status, c.run_draws};
        },
        console);
    EXPECT_EQ(told, c.want_draw);
    EXPECT_EQ(status, c.status);
    const std::string expected_console =
        c.plot == unwritable ? " ??? Plot file " + inv.plot_file + " is not written\n" : c.console;
    EXPECT_EQ(console.str(), expected_console);
    if (!c.plot.empty()) {
      const std::string saved = read_file(inv.plot_file);
      EXPECT_EQ(saved.substr(0, c.magic.size()), c.magic);
      EXPECT_EQ(saved.empty(), c.magic.empty());
    }
  }
}

// Limits the size of the files this process writes, as a nearly full disk would;
// a write past the limit fails instead of raising SIGXFSZ.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lower = old_;
    lower.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &lower);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, old_handler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit old_{};
  void (*old_handler_)(int) = SIG_DFL;
};

TEST(CliFaults, PlotPictureIsCompleteOrAbsent) {
  helmert2d::canvas::open_windows_off_screen();
  struct Case {
    std::string name;
    std::string old_content;  // a file of that name before the run; empty: none
    rlim_t limit;             // largest file size; 0: no limit
    int status;
    std::string magic;  // first bytes of the file afterwards; empty: absent or unchanged
  };
  const std::string old_picture = "an older picture";
  const std::vector<Case> cases{
      {"p.bmp", "", 20000, 1, ""},          {"p.png", "", 20000, 1, ""},
      {"p.bmp", old_picture, 20000, 1, ""}, {"full.bmp", "", 0, 1, ""},
      {"p.bmp", old_picture, 0, 0, "BM"},   {"p.png", "", 0, 0, "\x89PNG"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + " limit " + std::to_string(c.limit));
    TempDir dir;
    fs::create_symlink("/dev/full", dir.file("full.bmp"));
    if (!c.old_content.empty()) dir.write(c.name, c.old_content);
    helmert2d::cli::Invocation inv;
    inv.plot_file = dir.file(c.name);
    std::ostringstream console;
    int status = -1;
    {
      std::optional<FileSizeLimit> limit;
      if (c.limit != 0) limit.emplace(c.limit);
      status = helmert2d::cli::run_with_plot(
          inv,
          [](bool) {
            // Blocks of random colours: neither picture format packs them below 20 kB.
            initwindow(300, 300);
            std::mt19937 random(7);
            for (int y = 0; y < 300; y += 2)
              for (int x = 0; x < 300; x += 2) {
                setfillstyle(1, COLOR(random() % 256, random() % 256, random() % 256));
                bar(x, y, x + 2, y + 2);
              }
            return helmert2d::cli::RunOutcome{0, true};
          },
          console);
    }
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(console.str(),
              c.status == 0 ? "" : " ??? Plot file " + inv.plot_file + " is not written\n");
    if (!c.magic.empty()) {
      EXPECT_EQ(read_file(inv.plot_file).substr(0, c.magic.size()), c.magic);
    } else if (c.name != "full.bmp") {
      EXPECT_TRUE(read_file(inv.plot_file) == c.old_content);  // binary: not printed
      EXPECT_EQ(fs::exists(inv.plot_file), !c.old_content.empty());
    }
    // No temporary is left beside the picture.
    std::vector<std::string> expected{"full.bmp"};
    if (!c.old_content.empty() || !c.magic.empty()) expected.push_back(c.name);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names_in(dir), expected);
  }
}

// The terminal after the pause: its settings are back and no byte of the key is left
// for the shell, whichever way the program ended.
TEST(CliFaults, PauseGivesTheTerminalBackOnEveryWayOut) {
  struct Case {
    std::string what;
    std::string keys;  // typed at the pause
    int signal;        // sent at the pause instead, 0: none
    int status;
  };
  const std::vector<Case> cases{
      {"key", "x", 0, 0},
      {"arrow key", "\x1b[A", 0, 0},
      {"non-ASCII letter", "\xc3\xa4", 0, 0},
      {"Ctrl-C", "\x03", 0, 128 + SIGINT},
      {"SIGTERM", "", SIGTERM, 128 + SIGTERM},
      {"SIGHUP", "", SIGHUP, 128 + SIGHUP},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::SmallJobDir dir;
    ChildProgram run(dir, "", {"--no-window", "local.txt", "national.txt", "r.txt"},
                     ChildProgram::Console::terminal);
    ASSERT_GE(run.master(), 0);
    termios before{};
    ASSERT_EQ(tcgetattr(run.slave(), &before), 0);
    ASSERT_TRUE(run.wait_for_console(kPause)) << run.console();
    ASSERT_TRUE(in_raw_mode(run));
    if (c.signal != 0) {
      kill(run.pid(), c.signal);
    } else {
      run.type(c.keys);
    }
    EXPECT_EQ(run.wait(), c.status);
    termios after{};
    ASSERT_EQ(tcgetattr(run.slave(), &after), 0);
    EXPECT_EQ(after.c_lflag & (ICANON | ECHO | ISIG), before.c_lflag & (ICANON | ECHO | ISIG));
    // Bytes still waiting for a reader, seen without the line discipline's editing.
    termios look = after;
    look.c_lflag &= ~static_cast<tcflag_t>(ICANON);
    look.c_cc[VMIN] = 0;
    look.c_cc[VTIME] = 0;
    tcsetattr(run.slave(), TCSANOW, &look);
    char left[16];
    EXPECT_EQ(read(run.slave(), left, sizeof left), 0);
  }
}

// A window closed at the pause ends the program with the run's own status, and gives
// the terminal back.
TEST(CliFaults, WindowCloseEndsWithTheRunsStatus) {
  testsupport::Xvfb xvfb;
  if (xvfb.display().empty()) GTEST_SKIP() << "Xvfb is not available";
  struct Case {
    std::vector<std::string> options;
    int status;
  };
  const std::vector<Case> cases{
      {{"local.txt", "national.txt", "r.txt"}, 0},
      {{"local.txt", "national.txt", "/dev/full"}, 1},
      {{"--plot", "nodir/p.bmp", "local.txt", "national.txt", "r.txt"}, 1},
      {{"--plot", "p.png", "cut.txt", "national.txt", "r.txt"}, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options[0] + " " + c.options[2]);
    testsupport::SmallJobDir dir;
    // E lacks its third number: reading stops at F, before F and G (status 3).
    dir.write("cut.txt",
              "A 1000 1000 0\nB 1000 3000 0\nC 2000 1000 0\nD 2000 3000 0\nE 1500 2000\n"
              "F 1200 1600 0\nG 1800 2600 0\n");
    ChildProgram run(dir, xvfb.display(), c.options, ChildProgram::Console::terminal);
    ASSERT_GE(run.master(), 0);
    termios before{};
    ASSERT_EQ(tcgetattr(run.slave(), &before), 0);
    ASSERT_TRUE(testsupport::wait_for_window(xvfb.display()));
    ASSERT_TRUE(run.wait_for_console(kPause)) << run.console();
    ASSERT_TRUE(in_raw_mode(run));
    testsupport::shell_output("DISPLAY=" + xvfb.display() +
                              " xdotool search --name '^GRAFIK$' windowclose");
    EXPECT_EQ(run.wait(), c.status) << run.console();
    termios after{};
    ASSERT_EQ(tcgetattr(run.slave(), &after), 0);
    EXPECT_EQ(after.c_lflag & (ICANON | ECHO), before.c_lflag & (ICANON | ECHO));
  }
}

// A run stopped by a signal while it waits for its second file (a FIFO nobody writes)
// leaves the old report as it was and no temporary beside it.
TEST(CliFaults, SignalMidRunLeavesTheOldReportAndNoTemporary) {
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    TempDir dir;
    dir.write("local.txt", kLocal);
    dir.write("out.txt", "the last report\n");
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
    ChildProgram run(
        dir, "", {"--no-window", "--no-pause", "--json", "r.json", "local.txt", "fifo", "out.txt"});
    // The temporaries exist once the run waits on the FIFO.
    const auto temporary = [&] {
      return std::ranges::any_of(names_in(dir),
                                 [](const auto& n) { return n.starts_with("out.txt."); });
    };
    ASSERT_TRUE(testsupport::eventually(temporary, 10s)) << "no temporary report appeared";
    kill(run.pid(), sig);
    EXPECT_EQ(run.wait(), 128 + sig);
    EXPECT_EQ(read_file(dir.file("out.txt")), "the last report\n");
    const std::vector<std::string> left = names_in(dir);
    EXPECT_EQ(left, (std::vector<std::string>{"console.txt", "fifo", "local.txt", "out.txt"}))
        << sig;
  }
}

// A job with many further points, whose outputs are megabytes long.
struct LargeJobDir : TempDir {
  static constexpr int kFurther = 60000;
  LargeJobDir() {
    std::ostringstream one;
    one << kLocal;
    for (int i = 0; i < kFurther; ++i)
      one << "P" << i << " " << 1000 + i % 1000 << ".125 " << 1000 + i / 60 << ".25 0\n";
    write("local.txt", one.str());
    write("national.txt", testsupport::kNational);
    write("out.txt", "the last report\n");
  }
};

// The console's " ??? " lines.
std::vector<std::string> failure_lines(const std::string& console) {
  std::vector<std::string> lines;
  std::istringstream in(console);
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with(" ??? ")) lines.push_back(line);
  }
  return lines;
}

// What a run left: every output complete, or as it was (absent, the last report), and
// no temporary.
void expect_outputs_whole(const TempDir& dir) {
  const std::string report = read_file(dir.file("out.txt"));
  EXPECT_TRUE(report == "the last report\n" || report.ends_with(testsupport::kFinalRule));
  if (fs::exists(dir.file("r.json"))) {
    EXPECT_TRUE(read_file(dir.file("r.json")).ends_with("\n}\n"));
  }
  if (fs::exists(dir.file("r.csv"))) {
    const std::string csv = read_file(dir.file("r.csv"));
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 7 + LargeJobDir::kFurther);
  }
  for (const std::string& name : names_in(dir)) {
    EXPECT_FALSE(name.starts_with("out.txt.") || name.starts_with("r.json.") ||
                 name.starts_with("r.csv."))
        << name;
  }
}

// A file-size limit (SIGXFSZ) and a FIFO whose reader stops (SIGPIPE) fail a write as a
// full disk does: one console line naming the output, status 1, no temporary, and
// nothing put in place that was not in place before the failure.
TEST(CliFaults, FileSizeLimitAndClosedPipeFailTheWrite) {
  const std::vector<std::string> outputs{"--no-window", "--no-pause", "--json", "r.json"};
  {
    SCOPED_TRACE("file-size limit");
    LargeJobDir dir;
    std::vector<std::string> args = outputs;
    for (const char* a : {"--csv", "r.csv", "local.txt", "national.txt", "out.txt"})
      args.push_back(a);
    // 400 blocks of at most 1024 bytes: the console fits, the report does not.
    const auto r = testsupport::run_program(HELMERT2D_PROGRAM, args, dir, "", "ulimit -f 400;");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(failure_lines(r.out),
              std::vector<std::string>{" ??? Output file out.txt could not be written completely"});
    EXPECT_EQ(read_file(dir.file("out.txt")), "the last report\n");
    EXPECT_FALSE(fs::exists(dir.file("r.json")));
    expect_outputs_whole(dir);
  }
  {
    SCOPED_TRACE("closed pipe");
    LargeJobDir dir;
    ASSERT_EQ(mkfifo(dir.file("c.fifo").c_str(), 0600), 0);
    // The reader takes the first kilobyte and goes; it never blocks, so the test ends
    // also when the program does not write.
    const int fifo = ::open(dir.file("c.fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fifo, 0);
    std::thread reader([fifo] {
      std::size_t got = 0;
      const auto end = std::chrono::steady_clock::now() + 20s;
      while (got < 1024 && std::chrono::steady_clock::now() < end) {
        pollfd p{fifo, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char buf[1024];
        const ssize_t n = ::read(fifo, buf, sizeof buf);
        if (n > 0) got += static_cast<std::size_t>(n);
        if (n == 0) std::this_thread::sleep_for(10ms);
      }
      ::close(fifo);
    });
    std::vector<std::string> args = outputs;
    for (const char* a : {"--csv", "c.fifo", "local.txt", "national.txt", "out.txt"})
      args.push_back(a);
    const auto r = testsupport::run_program(HELMERT2D_PROGRAM, args, dir);
    reader.join();
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(failure_lines(r.out),
              std::vector<std::string>{" ??? Output file c.fifo could not be written completely"});
    EXPECT_FALSE(fs::exists(dir.file("r.json")));  // the other result file goes too
    expect_outputs_whole(dir);
  }
}

// Memory that runs out (a limit on the address space) at any point of a run ends it with
// status 1 and one console line, every output whole or as it was, and no temporary. The
// sanitizers reserve far more address space than any limit here allows.
TEST(CliFaults, OutOfMemoryEndsLikeAWriteFailure) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a limit on the address space cannot be used under the sanitizers";
#endif
  const auto limited = [](const TempDir& dir, long kib, const std::vector<std::string>& args) {
    return testsupport::run_program(HELMERT2D_PROGRAM, args, dir, "",
                                    "ulimit -v " + std::to_string(kib) + ";");
  };
  // The smallest limit (to 1 MiB) under which the small job runs: the program's start.
  const std::vector<std::string> small{"--no-window", "--no-pause", "local.txt", "national.txt",
                                       "out.txt"};
  testsupport::SmallJobDir probe;
  long lo = 8 * 1024, hi = 2048 * 1024;
  if (limited(probe, hi, small).status != 0) GTEST_SKIP() << "does not run under a 2 GiB limit";
  while (hi - lo > 1024) {
    const long mid = (lo + hi) / 2;
    (limited(probe, mid, small).status == 0 ? hi : lo) = mid;
  }
  // The large job from there up, in steps of 2 MiB, until it runs through.
  int out_of_memory = 0;
  bool completed = false;
  for (long kib = hi; kib < hi + 256 * 1024 && !completed; kib += 2048) {
    SCOPED_TRACE("limit " + std::to_string(kib) + " KiB");
    LargeJobDir dir;
    const auto r = limited(dir, kib,
                           {"--no-window", "--no-pause", "--json", "r.json", "--csv", "r.csv",
                            "local.txt", "national.txt", "out.txt"});
    ASSERT_TRUE(r.status == 0 || r.status == 1) << r.status << "\n" << r.out << r.err;
    const std::vector<std::string> lines = failure_lines(r.out);
    if (r.status == 1) {
      ASSERT_EQ(lines.size(), 1u) << r.out;
      out_of_memory += lines[0].starts_with(" ??? Out of memory: output file ");
    } else {
      EXPECT_TRUE(lines.empty()) << r.out;
      EXPECT_TRUE(fs::exists(dir.file("r.json")) && fs::exists(dir.file("r.csv")));
      completed = true;
    }
    expect_outputs_whole(dir);
  }
  EXPECT_TRUE(completed);
  EXPECT_GT(out_of_memory, 0);
}

}  // namespace
