// The end of a program's run: the plot's window, picture and console line, and the
// pause for a key.
#include "shell.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <new>

#include "canvas/program_hooks.h"
#include "helmert2d/canvas.h"
#include "textio/output_file.h"

namespace helmert2d::cli {
namespace {

const char kDisplayLost[] = " The display was lost; the plot window is closed.\n";

// The terminal settings saved while the pause has the terminal in raw mode; the
// signal handlers and a window's close put them back.
termios saved_terminal{};
std::atomic<bool> terminal_raw{false};
// The signal actions that the pause's own handlers replace, in the order of kSignals.
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction replaced[3];
bool replaced_valid[3] = {false, false, false};
// The console line about the lost display is written once.
std::atomic<bool> display_loss_told{false};

// Puts the saved terminal settings back; true when the terminal was raw.
bool restore_terminal() {
  if (!terminal_raw.exchange(false)) return false;
  ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_terminal);
  return true;
}

void write_stdout(const char* text, std::size_t size) {
  [[maybe_unused]] const ssize_t n = ::write(STDOUT_FILENO, text, size);
}

// A signal during the pause: the terminal is restored first, then the signal takes
// its former course (the removal of temporaries, or the end of the process).
extern "C" void restore_terminal_and_reraise(int sig) {
  if (restore_terminal()) write_stdout("\n", 1);
  for (int i = 0; i < 3; ++i) {
    if (kSignals[i] == sig && replaced_valid[i]) ::sigaction(sig, &replaced[i], nullptr);
  }
  ::raise(sig);
}

// Runs on the thread that ends the process when a window is closed or the display is
// lost, also while the main thread waits for a key.
void before_close(bool lost) {
  std::fflush(stdout);
  if (restore_terminal()) write_stdout("\n", 1);
  if (lost && !display_loss_told.exchange(true))
    write_stdout(kDisplayLost, sizeof kDisplayLost - 1);
}

void catch_signals_for_pause() {
  for (int i = 0; i < 3; ++i) {
    struct sigaction sa {};
    sa.sa_handler = restore_terminal_and_reraise;
    sigemptyset(&sa.sa_mask);
    replaced_valid[i] = ::sigaction(kSignals[i], nullptr, &replaced[i]) == 0;
    // A signal the caller chose to ignore (for example under nohup) stays ignored.
    if (!replaced_valid[i] || replaced[i].sa_handler == SIG_IGN) {
      replaced_valid[i] = false;
      continue;
    }
    ::sigaction(kSignals[i], &sa, nullptr);
  }
}

void release_signals_after_pause() {
  for (int i = 0; i < 3; ++i) {
    if (replaced_valid[i]) ::sigaction(kSignals[i], &replaced[i], nullptr);
    replaced_valid[i] = false;
  }
}

// Bytes that belong to the key just read: an arrow or function key sends an escape
// sequence, a non-ASCII letter several UTF-8 bytes, all at once. They are read and
// dropped, so that none is left for the shell after the program.
void discard_rest_of_key(const termios& raw) {
  termios drain = raw;
  drain.c_cc[VMIN] = 0;
  drain.c_cc[VTIME] = 1;  // tenths of a second without a byte end the key
  ::tcsetattr(STDIN_FILENO, TCSANOW, &drain);
  char rest[64];
  while (::read(STDIN_FILENO, rest, sizeof rest) > 0) {
  }
}

}  // namespace

int run_with_plot(const Invocation& inv, textio::OutputSet& outputs,
                  const std::function<RunOutcome(bool draw)>& run, std::ostream& console) {
  // Temporaries of the outputs go on SIGINT, SIGTERM and SIGHUP.
  textio::install_cleanup_on_signals();
  canvas::set_before_close(before_close);
  if (!inv.window) canvas::open_windows_off_screen();
  const bool draw = !inv.plot_file.empty() || (inv.window && canvas_has_display());
  if (!outputs.has(inv.plot_file))
    outputs.add("Plot file", inv.plot_file, textio::OutputKind::picture);

  canvas_close_hold();
  int status = 1;
  try {
    const RunOutcome outcome = run(draw);
    status = outcome.status;
    const bool completed = status == 0 || status == kCompletedIgnoringRecords;
    if (completed && outcome.drawn && !inv.plot_file.empty()) {
      std::ostream* picture = outputs.open(inv.plot_file, console);
      if (picture != nullptr && !canvas::write_page(*picture, canvas::is_png_name(inv.plot_file))) {
        outputs.fail(inv.plot_file);
      }
    }
    status = outputs.commit(status, console);
  } catch (const std::bad_alloc&) {
    // Every output is left as it was: the temporaries are removed.
    status = outputs.out_of_memory(console);
  }
  const bool completed = status == 0 || status == kCompletedIgnoringRecords;
  if (canvas::display_lost()) {
    if (!display_loss_told.exchange(true)) console << kDisplayLost;
  } else if (completed && inv.window && inv.plot_file.empty() && !canvas_has_display()) {
    console << " The plot was not shown (no display); use --plot FILE to save it as a picture.\n";
  }
  console.flush();
  // A close from now on, or one that waited for the run, ends with the run's status.
  canvas::set_close_status(status);
  canvas_close_release();
  return status;
}

int run_with_plot(const Invocation& inv, const std::function<RunOutcome(bool draw)>& run,
                  std::ostream& console) {
  textio::OutputSet outputs;
  return run_with_plot(inv, outputs, run, console);
}

bool save_picture(const std::string& path) {
  textio::OutputFile file;
  if (!file.open(path)) return false;
  try {
    if (!canvas::write_page(file.stream(), canvas::is_png_name(path))) {
      file.abandon();
      return false;
    }
  } catch (const std::bad_alloc&) {
    return false;  // the temporary goes with `file`
  }
  return file.commit();
}

__attribute__((noinline)) void reserve_stack() {
  // One byte per page, from the top of the frame down, so the stack grows page by page.
  constexpr std::size_t kBytes = 256 * 1024;
  [[maybe_unused]] volatile char pad[kBytes];
  for (std::size_t i = kBytes; i >= 4096; i -= 4096) pad[i - 1] = 0;
  pad[0] = 0;
}

int guarded_main(int argc, char** argv, int (*program)(int, char**)) {
  reserve_stack();
  try {
    return program(argc, argv);
  } catch (const std::bad_alloc&) {
    std::cout << " ??? Out of memory\n" << std::flush;
    return 1;
  }
}

void pause_for_key() {
  std::cout.flush();
  if (::isatty(STDIN_FILENO) == 0) {
    std::cin.get();
    return;
  }
  std::cout << " Press any key to continue . . ." << std::flush;
  termios saved{};
  if (::tcgetattr(STDIN_FILENO, &saved) == 0) {
    termios raw = saved;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    saved_terminal = saved;
    catch_signals_for_pause();
    terminal_raw.store(true);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    unsigned char c = 0;
    const ssize_t got = ::read(STDIN_FILENO, &c, 1);
    if (got == 1 && (c == 0x1B || c >= 0xC0)) discard_rest_of_key(raw);
    restore_terminal();
    release_signals_after_pause();
  } else {
    std::cin.get();
  }
  std::cout << "\n" << std::flush;
}

int finish(const Invocation& inv, int status) {
  if (inv.pause) pause_for_key();
  return status;
}

}  // namespace helmert2d::cli
