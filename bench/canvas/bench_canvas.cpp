// Cost of 10^5 mixed drawing calls on an off-screen page and on a shown window, and of
// drawing 10^5 short point names, alone and each with a small circle, from the glyph
// cache and circle stamps and through cairo alone.
//
// Usage: bench_canvas [calls [names]]. Each mode runs three times, each time in a child
// process, and the best time counts; the window mode needs DISPLAY (for example under
// xvfb-run) and is skipped without it.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "canvas/circle_stamp.h"
#include "canvas/glyph_cache.h"
#include "helmert2d/canvas.h"

namespace {

// Runs `calls` drawing calls of ten kinds in turn; returns the elapsed seconds.
double mixed_calls(long calls) {
  initwindow(600, 600, "GRAFIK", 675, 0);
  setbkcolor(15);
  cleardevice();
  const int square[] = {0, 0, 12, 0, 12, 12, 0, 12};
  const auto start = std::chrono::steady_clock::now();
  for (long i = 0; i < calls; ++i) {
    const int x = static_cast<int>(i * 37 % 580), y = static_cast<int>(i * 53 % 580);
    switch (i % 10) {
      case 0:
        setcolor(COLOR(static_cast<int>(i % 256), 0, 128));
        break;
      case 1:
      case 2:
      case 3:
        line(x, y, x + 15, y + 9);
        break;
      case 4:
        circle(x, y, 6);
        break;
      case 5:
        setfillstyle(static_cast<int>(i % 12), 4);
        break;
      case 6:
        bar(x, y, x + 10, y + 8);
        break;
      case 7: {
        int poly[8];
        for (int k = 0; k < 8; ++k) poly[k] = square[k] + (k % 2 == 0 ? x : y);
        fillpoly(4, poly);
        break;
      }
      default:
        outtextxy(x, y, "P12");
        break;
    }
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Draws `count` point names such as "P123456" at scattered places on a plot-sized
// page, as the run's plot labels its points, each with a small circle when `circles`;
// `cached` picks the glyph cache and circle stamps or cairo alone. Returns the elapsed
// seconds.
double names(long count, bool cached, bool circles) {
  helmert2d::canvas::set_glyph_cache(cached);
  helmert2d::canvas::set_circle_stamps(cached);
  initwindow(600, 600, "GRAFIK", 675, 0);
  setbkcolor(15);
  cleardevice();
  settextstyle(0, 0, 1);
  settextjustify(2, 0);
  setcolor(COLOR(0, 0, 255));
  const auto start = std::chrono::steady_clock::now();
  for (long i = 0; i < count; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "P%06ld", 100000 + i % 900000);
    const int x = static_cast<int>(i * 37 % 640), y = static_cast<int>(i * 53 % 620);
    outtextxy(x, y, name);
    if (circles) circle(x, y, 2);
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs `job` in a child process, on a window when `window`, and reads back its time;
// negative on failure.
double run_mode(bool window, const std::function<double()>& job) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    if (!window) unsetenv("DISPLAY");
    const double seconds = job();
    if (window && !canvas_has_display()) _exit(2);
    const std::string text = std::to_string(seconds);
    (void)!write(fds[1], text.c_str(), text.size());
    _exit(0);
  }
  close(fds[1]);
  char buf[64] = {};
  const ssize_t n = read(fds[0], buf, sizeof buf - 1);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return n > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? std::atof(buf) : -1;
}

// Best of three runs of a mode; negative when it cannot run.
double best_of_three(bool window, const std::function<double()>& job) {
  double best = -1;
  for (int i = 0; i < 3; ++i) {
    const double t = run_mode(window, job);
    if (t < 0) return t;
    if (best < 0 || t < best) best = t;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const long calls = argc > 1 ? std::atol(argv[1]) : 100000;
  const long count = argc > 2 ? std::atol(argv[2]) : 100000;
  for (bool circles : {false, true}) {
    const char* what = circles ? "names and circles" : "names";
    const double cached = best_of_three(false, [=] { return names(count, true, circles); });
    const double uncached = best_of_three(false, [=] { return names(count, false, circles); });
    std::printf("%s, cached: %ld in %.3f s (%.2f us each)\n", what, count, cached,
                1e6 * cached / count);
    std::printf("%s, cairo:  %ld in %.3f s (%.2f us each), %.1f times the cached\n", what, count,
                uncached, 1e6 * uncached / count, uncached / cached);
  }
  const double off = best_of_three(false, [calls] { return mixed_calls(calls); });
  std::printf("off-screen: %ld calls in %.3f s (%.0f calls/s)\n", calls, off, calls / off);
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') {
    std::printf("window:     skipped (no DISPLAY)\n");
    return 0;
  }
  const double shown = best_of_three(true, [calls] { return mixed_calls(calls); });
  if (shown < 0) {
    std::printf("window:     could not open a window on %s\n", display);
    return 1;
  }
  std::printf("window:     %ld calls in %.3f s (%.0f calls/s), %.2f times off-screen\n", calls,
              shown, calls / shown, shown / off);
  return 0;
}
