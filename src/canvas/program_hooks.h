// What a program shell asks of the canvas beyond its public interface: pages that stay
// off-screen whatever the display, a picture saved with a plain answer whether the
// file is complete, and how a window's close or the loss of the display ends the
// process.
#ifndef HELMERT2D_CANVAS_PROGRAM_HOOKS_H
#define HELMERT2D_CANVAS_PROGRAM_HOOKS_H

#include <climits>
#include <iosfwd>
#include <string>

namespace helmert2d::canvas {

/// With `off` true, every later initwindow opens an off-screen page and the display is
/// never contacted: the canvas behaves as without a display (canvas_has_display is
/// false, the screen is taken to be 1024 by 768). False restores the normal choice.
void open_windows_off_screen(bool off = true);
/// Whether open_windows_off_screen(true) is in force.
bool windows_off_screen();

/// Saves the whole page drawn into of window `window` (-1: the current one) as `path`:
/// PNG for a name ending in ".png" (any case), otherwise a 24-bit BMP. True only when
/// the window exists and every byte of the file was written; prints nothing.
bool save_page(const std::string& path, int window = -1);

/// Writes the page drawn into of window `window` (-1: the current one), from its top
/// left pixel to pixel (right, bottom) inclusive (by default the whole page), into
/// `out`: PNG when `png`, otherwise a 24-bit BMP. True only when the window exists and
/// the stream took every byte.
bool write_page(std::ostream& out, bool png, int window = -1, int right = INT_MAX,
                int bottom = INT_MAX);

/// True when `name` ends in ".png", any case: the picture is then a PNG.
bool is_png_name(const std::string& name);

/// The exit status with which a window's close, or the loss of the display, ends the
/// process (0 until set).
void set_close_status(int status);

/// A function run just before a close or the loss of the display ends the process,
/// on the thread that ends it; `display_lost` tells which of the two it is. It must
/// not take locks that the main thread may hold. Null: nothing runs.
void set_before_close(void (*action)(bool display_lost));

/// True once the connection to the display was lost: the windows are gone from the
/// screen and the canvas goes on drawing into its pages off-screen. While a report
/// holds the close, the process goes on until canvas_close_release ends it.
bool display_lost();

}  // namespace helmert2d::canvas

#endif  // HELMERT2D_CANVAS_PROGRAM_HOOKS_H
