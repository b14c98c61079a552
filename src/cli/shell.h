// What the programs share around their runs: the plot's window or picture at the end
// of a run, and the pause for a key.
#ifndef HELMERT2D_CLI_SHELL_H
#define HELMERT2D_CLI_SHELL_H

#include <functional>
#include <iosfwd>
#include <string>

#include "options.h"
#include "textio/output_set.h"

namespace helmert2d::cli {

/// The exit status of a run that completed and wrote everything, but ignored records
/// of an input file: the shell treats it as a completed run.
constexpr int kCompletedIgnoringRecords = 3;

/// What a program's run reports back to the shell.
struct RunOutcome {
  int status = 0;      ///< the exit status of the run
  bool drawn = false;  ///< a picture was drawn on the current window
};

/// Runs `run` with the plot handled as the options ask, and puts the outputs in place:
/// - with --no-window, every page stays off-screen;
/// - `run(draw)` gets `draw` false when nobody would see or save the picture (no
///   display or --no-window, and no --plot), so it may skip the drawing;
/// - a successful run (status 0 or kCompletedIgnoringRecords) that drew its picture
///   writes it into the --plot output ("Plot file", added to `outputs` unless it is there);
/// - then every output in `outputs` is put in place, or none (OutputSet::commit); one
///   that cannot be written gives one console line and status 1; memory that runs out
///   gives OutputSet::out_of_memory's line and status 1;
/// - a window close waits until the run and its outputs are complete, and then ends
///   the program with the run's status;
/// - a lost display leaves the run going off-screen; one console line says so, and
///   the program ends with the run's status once its files are complete;
/// - a successful run whose window was wanted but not shown, without --plot, says so
///   in one console line.
/// Returns the exit status.
int run_with_plot(const Invocation& inv, textio::OutputSet& outputs,
                  const std::function<RunOutcome(bool draw)>& run, std::ostream& console);

/// As above, for a run whose only output is the --plot picture.
int run_with_plot(const Invocation& inv, const std::function<RunOutcome(bool draw)>& run,
                  std::ostream& console);

/// Saves the current window's page as `path` (PNG for a name ending in ".png",
/// otherwise a 24-bit BMP), complete or not at all: through a temporary file beside it
/// that replaces it only when every byte is written. A target that is not a regular
/// file (a FIFO, a device) is written directly. False when it is not written whole.
bool save_picture(const std::string& path);

/// Maps the first 256 KiB of the calling (main) thread's stack now. Under a limit on
/// the address space, memory that runs out later then fails an allocation, which the
/// programs report as such, and not the growth of the stack, which ends a process with
/// SIGSEGV.
void reserve_stack();

/// A program's main: reserves the stack, runs `program` and turns running out of
/// memory anywhere into one console line " ??? Out of memory" and status 1 (outputs
/// still open are abandoned on the way, taking their temporaries).
int guarded_main(int argc, char** argv, int (*program)(int, char**));

/// Waits for one key: raw mode on a terminal (" Press any key to continue . . ."),
/// otherwise one character or the end of standard input, so scripts never hang. The
/// whole key is read (also the several bytes of an arrow key), and the terminal gets
/// its settings back on every way out: the key, a window's close, SIGINT, SIGTERM or
/// SIGHUP.
void pause_for_key();

/// Waits for a key unless --no-pause was given; returns `status`.
int finish(const Invocation& inv, int status);

}  // namespace helmert2d::cli

#endif  // HELMERT2D_CLI_SHELL_H
