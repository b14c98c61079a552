// What a program shell asks of the canvas beyond its public interface: pages that stay
// off-screen whatever the display, and a picture saved with a plain answer whether the
// file is complete.
#ifndef HELMERT2D_CANVAS_PROGRAM_HOOKS_H
#define HELMERT2D_CANVAS_PROGRAM_HOOKS_H

#include <string>

namespace helmert2d::canvas_detail {

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

}  // namespace helmert2d::canvas_detail

#endif  // HELMERT2D_CANVAS_PROGRAM_HOOKS_H
