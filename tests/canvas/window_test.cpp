// The canvas on a real display: each scenario runs in a child process on a private
// Xvfb server, because a window's close ends its whole process.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "canvas/canvas_internal.h"
#include "helmert2d/canvas.h"
#include "support/canvas_support.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
namespace cd = helmert2d::canvas;

namespace {

using testsupport::eventually;
using testsupport::on_path;
using testsupport::read_file;
using testsupport::shell_output;

// ---- In the child: reading back what the window shows ----

// Pixels (0xRRGGBB) the X server shows for window `n`, rows top first.
std::vector<std::uint32_t> shown_pixels(int n) {
  cd::Window* w = cd::find_window(n);
  std::vector<std::uint32_t> out;
  cd::gui_call([&] {
    GdkWindow* gw = gtk_widget_get_window(static_cast<GtkWidget*>(w->gtk_area));
    GdkPixbuf* pb = gdk_pixbuf_get_from_window(gw, 0, 0, w->width, w->height);
    if (pb == nullptr) return;
    const int stride = gdk_pixbuf_get_rowstride(pb), channels = gdk_pixbuf_get_n_channels(pb);
    const guchar* data = gdk_pixbuf_get_pixels(pb);
    for (int y = 0; y < gdk_pixbuf_get_height(pb); ++y)
      for (int x = 0; x < gdk_pixbuf_get_width(pb); ++x) {
        const guchar* p = data + y * stride + x * channels;
        out.push_back((static_cast<std::uint32_t>(p[0]) << 16) | (p[1] << 8) | p[2]);
      }
    g_object_unref(pb);
  });
  return out;
}

std::vector<std::uint32_t> page_pixels(int n) {
  cd::Window* w = cd::find_window(n);
  cd::PageLock lock(*w);
  return cd::copy_region(w->pages[0], 0, 0, w->width - 1, w->height - 1).pixels;
}

bool shows_page(int n) {
  return shown_pixels(n) == page_pixels(n);
}

void draw_scene() {
  setbkcolor(15);
  cleardevice();
  setcolor(COLOR(255, 0, 255));
  setlinestyle(0, 0, 2);
  line(0, 0, 599, 599);
  setfillstyle(4, 2);
  bar(50, 300, 250, 450);
  setcolor(0);
  settextstyle(4, 0, 3);
  outtextxy(100, 100, "GRAFIK");
  circle(400, 200, 80);
}

void close_request(int n) {
  cd::Window* w = cd::find_window(n);
  cd::gui_call([w] { gtk_window_close(static_cast<GtkWindow*>(w->gtk_window)); });
}

// ---- In the parent: the server and the children ----

class CanvasOnScreen : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (in_child()) return;
    xvfb_ = std::make_unique<testsupport::Xvfb>();  // a private server for this process
    display_ = xvfb_->display();
  }

  static void TearDownTestSuite() {
    xvfb_.reset();
    display_.clear();
  }

  void SetUp() override {
    if (in_child()) {
      // The scenario's process, started by spawn(): "<ready fd> <display> <directory>".
      std::istringstream is(std::getenv(kChildVariable));
      std::string dir;
      is >> ready_fd_ >> display_ >> dir;
      dir_ = dir;
      out_ = (dir_ / "child.out").string();
      return;
    }
    if (display_.empty()) GTEST_SKIP() << "Xvfb is not available";
    if (!on_path("xdotool") || !on_path("xwininfo")) GTEST_SKIP() << "xdotool or xwininfo missing";
    dir_ = fs::temp_directory_path() / ("canvas_screen_" + std::to_string(getpid()));
    fs::create_directories(dir_);
    out_ = (dir_ / "child.out").string();
  }

  void TearDown() override {
    if (child_ > 0) {
      kill(child_, SIGKILL);
      waitpid(child_, nullptr, 0);
    }
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  // Runs `scenario` in a child process on the test display with its standard output
  // going to out_; the scenario may call ready() to let the parent go on. The child is
  // this test run again in a fresh process, so that it inherits no window, window
  // thread or canvas state from tests that ran before it.
  void spawn(const std::function<void()>& scenario) {
    if (in_child()) {
      testsupport::use_display(display_);
      if (std::freopen(out_.c_str(), "w", stdout) == nullptr) _exit(120);
      scenario();
      std::fflush(nullptr);
      _exit(0);
    }
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter =
        std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::fflush(nullptr);
    child_ = fork();
    ASSERT_GE(child_, 0);
    if (child_ == 0) {
      close(fds[0]);
      const std::string how = std::to_string(fds[1]) + " " + display_ + " " + dir_.string();
      setenv(kChildVariable, how.c_str(), 1);
      const int null = open("/dev/null", O_WRONLY);  // gtest's own lines
      dup2(null, 1);
      execl("/proc/self/exe", "/proc/self/exe", filter.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    ready_pipe_ = fds[0];
  }

  static bool in_child() { return std::getenv(kChildVariable) != nullptr; }

  // In the child: tells the parent to go on.
  static void ready() {
    std::fflush(stdout);
    (void)!write(ready_fd_, "r", 1);
  }

  // In the parent: waits for ready(); false on timeout or when the child ended.
  bool wait_ready(int seconds = 60) {
    pollfd pfd{ready_pipe_, POLLIN, 0};
    char c;
    const bool ok = poll(&pfd, 1, seconds * 1000) > 0 && read(ready_pipe_, &c, 1) == 1;
    return ok;
  }

  // In the parent: the child's exit status (128 + signal), -1 after a timeout.
  int wait_exit(int seconds = 60) {
    int status = 0;
    const bool ended = eventually([&] { return waitpid(child_, &status, WNOHANG) == child_; },
                                  std::chrono::seconds(seconds));
    if (!ended) return -1;
    child_ = -1;
    close(ready_pipe_);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  std::string xdotool(const std::string& args) {
    return shell_output("DISPLAY=" + display_ + " xdotool " + args + " 2>/dev/null");
  }

  static constexpr const char* kChildVariable = "HELMERT2D_CANVAS_SCENARIO";
  static inline std::unique_ptr<testsupport::Xvfb> xvfb_;
  static inline std::string display_;
  static inline int ready_fd_ = -1;
  fs::path dir_;
  std::string out_;
  pid_t child_ = -1;
  int ready_pipe_ = -1;
};

TEST_F(CanvasOnScreen, ShowsThePageAtItsPlaceAndRepaints) {
  spawn([] {
    setenv("LC_ALL", "C.UTF-8", 1);  // what GTK would switch to, were it allowed
    std::printf("display=%d\n", canvas_has_display());
    const int a = initwindow(600, 600, "GRAFIK", 675, 0);
    draw_scene();
    std::printf("locale=%s\n", std::setlocale(LC_ALL, nullptr));
    std::printf("max=%dx%d\n", getmaxwidth(), getmaxheight());
    std::printf("content=%d\n", eventually([a] { return shows_page(a); }, 10s));
    // Cover part of it with a second window, then move that one away.
    const int b = initwindow(300, 300, "COVER", 700, 50);
    setbkcolor(4);
    cleardevice();
    std::printf("covered=%d\n", eventually([a] { return !shows_page(a); }, 10s));
    cd::gui_call(
        [b] { gtk_window_move(static_cast<GtkWindow*>(cd::find_window(b)->gtk_window), 0, 700); });
    std::printf("repainted=%d\n", eventually([a] { return shows_page(a); }, 10s));
    // Later drawing shows too.
    setcurrentwindow(a);
    setfillstyle(1, 9);
    bar(0, 0, 600, 600);
    std::printf("redrawn=%d\n", eventually([a] { return shows_page(a); }, 10s));
    ready();
    pause();
  });
  ASSERT_TRUE(wait_ready()) << read_file(out_);
  const std::string xwininfo = "xwininfo -display " + display_;
  const std::string info =
      shell_output(xwininfo + " -name GRAFIK") + shell_output(xwininfo + " -size -name GRAFIK");
  const std::string out = read_file(out_);
  for (const char* line : {"display=1\n", "locale=C\n", "max=1274x999\n", "content=1\n",
                           "covered=1\n", "repainted=1\n", "redrawn=1\n"})
    EXPECT_NE(out.find(line), std::string::npos) << line << out;
  // At its place and size, not resizable: the minimum and maximum sizes are the page size.
  for (const char* line :
       {"Absolute upper-left X:  675\n", "Absolute upper-left Y:  0\n", "Width: 600\n",
        "Height: 600\n", "minimum size: 600 by 600", "maximum size: 600 by 600"})
    EXPECT_NE(info.find(line), std::string::npos) << line << info;
}

TEST_F(CanvasOnScreen, WindowDestroyedFromOutsideEndsWithStatusZero) {
  spawn([] {
    initwindow(200, 100, "CLOSE1");
    std::printf("drawn");  // still in the stdio buffer when the window goes
    ready();
    for (int i = 0;; ++i) line(0, i % 100, 199, i % 100);  // keeps drawing until the end
  });
  ASSERT_TRUE(wait_ready());
  ASSERT_TRUE(eventually([&] { return !xdotool("search --name CLOSE1").empty(); }, 10s));
  xdotool("search --name CLOSE1 windowclose");
  EXPECT_EQ(wait_exit(), 0);
  EXPECT_EQ(read_file(out_), "drawn");
}

TEST_F(CanvasOnScreen, KilledConnectionEndsWithStatusZero) {
  spawn([] {
    initwindow(200, 100, "KILLED");
    std::printf("drawn");
    ready();
    for (int i = 0;; ++i) line(0, i % 100, 199, i % 100);
  });
  ASSERT_TRUE(wait_ready());
  ASSERT_TRUE(eventually([&] { return !xdotool("search --name KILLED").empty(); }, 10s));
  xdotool("search --name KILLED windowkill");
  EXPECT_EQ(wait_exit(), 0);
  EXPECT_EQ(read_file(out_), "drawn");
}

TEST_F(CanvasOnScreen, CloseRequestEndsWithStatusZero) {
  spawn([] {
    const int n = initwindow(200, 100, "CLOSE2");
    std::printf("drawn");
    close_request(n);
    for (int i = 0;; ++i) line(0, i % 100, 199, i % 100);
  });
  EXPECT_EQ(wait_exit(), 0);
  EXPECT_EQ(read_file(out_), "drawn");
}

TEST_F(CanvasOnScreen, CloseIsIgnoredWithoutTheFlag) {
  spawn([] {
    const int n = initwindow(200, 100, "STAYS", 0, 0, false, false);
    close_request(n);
    // The close's delete event is sent from a task of higher priority than the window
    // thread's calls: once this call has run, the close has been handled.
    cd::gui_call([] {});
    line(0, 0, 10, 10);
    std::printf("alive");
    std::fflush(stdout);
    _exit(7);
  });
  EXPECT_EQ(wait_exit(), 7);
  EXPECT_EQ(read_file(out_), "alive");
}

TEST_F(CanvasOnScreen, CloseWaitsForTheReport) {
  spawn([] {
    initwindow(200, 100, "REPORT");
    canvas_close_hold();
    canvas_close_hold();  // holds nest
    std::printf("part1\n");
    ready();
    // The close arrives meanwhile: the window is gone from the screen, and once the
    // window thread has finished its handler the close waits for the holds.
    const bool closed = eventually([] { return !canvas_has_display(); }, 20s);
    cd::gui_call([] {});
    std::printf(closed ? "part2\n" : "not closed\n");
    canvas_close_release();
    std::printf("part3\n");
    canvas_close_release();  // the last release ends the process
    std::printf("after\n");
    std::fflush(stdout);
    _exit(9);
  });
  ASSERT_TRUE(wait_ready());
  ASSERT_TRUE(eventually([&] { return !xdotool("search --name REPORT").empty(); }, 10s));
  xdotool("search --name REPORT windowclose");
  EXPECT_EQ(wait_exit(), 0);
  EXPECT_EQ(read_file(out_), "part1\npart2\npart3\n");
}

TEST_F(CanvasOnScreen, PopupMenuSavesTheShownPage) {
  const fs::path dir = dir_;
  spawn([dir] {
    fs::current_path(dir);  // the dialog starts here, with the title as the name
    initwindow(200, 150, "MENU", 0, 0);
    setfillstyle(1, 4);
    bar(10, 10, 100, 100);
    ready();
    pause();
  });
  ASSERT_TRUE(wait_ready());
  ASSERT_TRUE(
      eventually([&] { return !xdotool("search --onlyvisible --name MENU").empty(); }, 10s));
  // Right click, first entry: the save dialog; accept its name.
  // The menu is a window of its own: it is up once more windows are shown than before.
  auto shown_windows = [&] {
    return testsupport::count_of(xdotool("search --onlyvisible --name ''"), "\n");
  };
  const int before = shown_windows();
  std::string dialog;
  for (int i = 0; i < 5 && dialog.empty(); ++i) {
    xdotool("mousemove 100 75 click 3");
    eventually([&] { return shown_windows() > before; }, 5s);
    xdotool("key Down Return");
    eventually(
        [&] { return !(dialog = xdotool("search --onlyvisible --name 'Save image as'")).empty(); },
        5s);
  }
  ASSERT_FALSE(dialog.empty());
  dialog = dialog.substr(0, dialog.find('\n'));
  // ".BMP" is appended to a name without an extension; the region is 201 by 151.
  const std::string file = (dir / "MENU.BMP").string();
  bool saved = false;
  for (int i = 0; i < 10 && !saved; ++i) {
    xdotool("windowfocus " + dialog + " key Return");
    saved = eventually([&] { return fs::exists(file) && fs::file_size(file) == 54u + 151u * 604u; },
                       2s);
  }
  EXPECT_TRUE(saved);
}

TEST(CanvasUnreachableDisplay, WorksOffScreen) {
  const auto off_screen = [] {
    const int n = initwindow(100, 50, "GRAFIK");
    line(0, 0, 99, 0);
    const bool ok = n >= 0 && !canvas_has_display() && getmaxwidth() == 1018 &&
                    getmaxheight() == 743 && getpixel(50, 0) == 15;
    return ok ? 0 : 3;
  };
  EXPECT_EQ(testsupport::exit_status_in_child(":65000", off_screen), 0);  // no server there
}

}  // namespace
