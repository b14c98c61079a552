// What the programs share around their runs: the pause at the end and the plot's
// window or picture.
#ifndef HELMERT2D_SRC_MAIN_SUPPORT_H
#define HELMERT2D_SRC_MAIN_SUPPORT_H

#include <iosfwd>
#include <string>

namespace helmert2d {

/// Waits for one key: raw mode on a terminal (" Press any key to continue . . ."),
/// otherwise one character or the end of standard input, so scripts never hang.
void pause_for_key();

/// Makes the canvas draw off-screen by hiding the display from this process.
void never_open_windows();

/// Saves the current window's picture (PNG for a name ending in ".png", else BMP);
/// true when the file was written by this call.
bool save_plot(const std::string& path);

/// Saves the picture when `plot_file` is not empty and `status` is 0; returns 1 with a
/// console message when it could not be written, otherwise `status`.
int save_requested_plot(const std::string& plot_file, int status, std::ostream& console);

/// The console line for a plot that no display showed and no --plot saved.
void say_plot_not_shown(std::ostream& console);

}  // namespace helmert2d

#endif  // HELMERT2D_SRC_MAIN_SUPPORT_H
