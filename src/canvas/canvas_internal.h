// Internal state of the canvas shared by its modules: windows, pages, drawing state,
// the page lock and the hooks into the window thread.
#ifndef HELMERT2D_CANVAS_INTERNAL_H
#define HELMERT2D_CANVAS_INTERNAL_H

#include <cairo.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace helmert2d::canvas {

/// How long a drawing or state operation waits for a window's page lock.
inline constexpr std::chrono::milliseconds kLockWait{5000};

/// Position of the anchor point along the text.
enum class Along { start, centre, end };
/// Position of the anchor point across the text.
enum class Across { bottom, baseline, top };
/// Which text operation ran last; the anchoring is recomputed when it changes.
enum class TextOp { none, outtext, outtextxy };

/// A font scaled to a cell of the table: glyphs drawn with `font`, cell `height`
/// pixels tall with the baseline `ascent` pixels below its top.
struct CellFont {
  cairo_scaled_font_t* font = nullptr;
  int height = 0;
  int ascent = 0;
};

struct DrawState {
  int color = 15;
  int bkcolor = 0;
  int linestyle = 0;
  unsigned upattern = 0;
  int thickness = 1;
  int fillstyle = 1;
  int fillcolor = 15;
  int font = 0;
  int direction = 0;
  int charsize = 1;
  int hjust = 0;
  int vjust = 2;
  int multx = 1, divx = 1, multy = 1, divy = 1;
  int cpx = 0, cpy = 0;
  int aspectx = 10000, aspecty = 10000;
  int vp_left = 0, vp_top = 0, vp_right = 0, vp_bottom = 0;
  bool vp_clip = false;
  Along along = Along::start;
  Across across = Across::top;
  TextOp last_text = TextOp::none;
};

struct Window {
  int number = 0;
  int width = 0;
  int height = 0;
  std::string title;
  int left = 0, top = 0;
  bool dbflag = false;
  bool closeflag = true;
  std::vector<cairo_surface_t*> pages;
  std::vector<cairo_t*> contexts;
  int active_page = 0;
  int visual_page = 0;
  DrawState st;
  CellFont cell;                     // scaled font of the current text style, made on first use
  cairo_pattern_t* brush = nullptr;  // pattern brush of brush_key
  std::uint64_t brush_key = 0;
  std::timed_mutex lock;
  // Window-thread side (GTK objects, touched only on the window thread).
  void* gtk_window = nullptr;
  void* gtk_area = nullptr;
  void* gtk_copy = nullptr;  // cairo_surface_t: the copy of the page being repainted
  std::atomic<bool> shown{false};
  std::atomic<bool> repaint_pending{false};
};

/// Holds a window's page lock for at most kLockWait; the guarded work goes ahead
/// after a timeout, as the canvas promises.
class PageLock {
 public:
  // An uncontended lock is taken at once; only a contended one reads the clock.
  explicit PageLock(Window& w)
      : w_(w), locked_(w.lock.try_lock() || w.lock.try_lock_for(kLockWait)) {}
  ~PageLock() {
    if (locked_) w_.lock.unlock();
  }
  PageLock(const PageLock&) = delete;
  PageLock& operator=(const PageLock&) = delete;

 private:
  Window& w_;
  bool locked_;
};

// ---- window.cpp ----
/// The current window; ends the process with status 1 when there is none.
Window& current_window();
/// Window number `n` (-1: current), or nullptr.
Window* find_window(int n);
/// Resets the state of `w` (caller holds the lock).
void reset_state(Window& w);
/// Asks the window thread to repaint `w` from its shown page (cheap when pending).
void changed(Window& w);
/// Ends the process with the close status once no report holds the close (window
/// thread).
void request_close(Window& w);
/// The display connection is lost (the window was killed or the server ended): the
/// windows count as not shown, and the process ends with the close status, at once or,
/// while a report holds the close, at its release. Never returns: the window thread
/// stays in it.
[[noreturn]] void close_on_lost_display();
/// Graphics error code for graphresult.
extern std::atomic<int> graph_error;

// ---- drawing.cpp ----
/// The page being drawn into and its context.
cairo_surface_t* active_surface(Window& w);
cairo_t* active_context(Window& w);
/// Applies the viewport clip to `cr` (caller holds the lock).
void apply_clip(Window& w, cairo_t* cr);

// ---- misc.cpp ----
/// Cairo's RGB24 pixel (0x00RRGGBB) of a colour value.
std::uint32_t pixel_of(int color);
/// The colour value (as COLOR gives it) of an RGB24 pixel.
int color_of_pixel(std::uint32_t px);
/// `text` as UTF-8: kept when valid, otherwise read as Latin-1.
std::string to_utf8(std::string_view text);

// ---- text.cpp ----
/// Releases the scaled font of `w` (the text style changed).
void drop_font(Window& w);

// ---- bitmap.cpp ----
/// A copy of a page region in 0x00RRGGBB pixels, rows top first.
struct Region {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
};
/// Copies the inclusive region (left, top)-(right, bottom) of `page`, clamped to the
/// page plus one column and one row beyond it, which stay black.
Region copy_region(cairo_surface_t* page, int left, int top, int right, int bottom);
/// The bytes of a 24-bit BMP file of `r`.
std::vector<unsigned char> encode_bmp(const Region& r);
/// Writes `r` as a PNG file; false on failure.
bool write_png(const Region& r, const std::string& path);
/// Writes `r` as PNG into `out`; false when encoding failed or the stream took not
/// every byte.
bool write_png(const Region& r, std::ostream& out);
/// Writes `bytes` to `path`; false on failure.
bool write_file(const std::string& path, const std::vector<unsigned char>& bytes);

// ---- file.cpp ----
/// The file name the save dialog uses for a chosen name: ".BMP" is appended unless a
/// name of more than 3 characters has '.' third or fourth from its end, or the name
/// has 256 characters or more.
std::string bmp_file_name(const std::string& chosen);
/// True when `name` ends in ".png", any case.
bool is_png_name(const std::string& name);
/// Saves region `r` under `path` (PNG or BMP by the name); false unless every byte of
/// the file was written.
bool save_region(const Region& r, const std::string& path);
/// Saves the inclusive region of page `active` (drawn into) or shown of `w` under the
/// page lock, as save_region does.
bool save_page_region(Window& w, const std::string& path, int left, int top, int right, int bottom,
                      bool active);
/// Draws the print page onto `cr` in points, origin at the printable area's corner.
void render_print_page(cairo_t* cr, const Region& r, const std::string& title, double width_inches,
                       double left_inches, double top_inches);
/// Writes the print page of `r` as a one-page Letter PDF; false on failure.
bool write_print_pdf(const std::string& path, const Region& r, const std::string& title,
                     double width_inches, double left_inches, double top_inches);

// ---- window_thread.cpp ----
/// Starts the window thread when DISPLAY is set; true when GTK runs on a display.
bool gui_available();
/// Runs `work` on the window thread and waits for it (directly when already there).
void gui_call(const std::function<void()>& work);
/// Creates the on-screen window of `w` and waits until it exists.
bool gui_create_window(Window& w);
/// Queues a repaint of `w` on the window thread.
void gui_queue_repaint(Window& w);
/// Work area of the display's primary monitor in pixels (false without a display).
bool gui_work_area(int& width, int& height);
/// Save and print dialogs of window `w` (run on the window thread).
void gui_save_dialog(Window& w, int left, int top, int right, int bottom, bool active);
void gui_print_dialog(Window& w, const std::string& title, double width_inches, double left_inches,
                      double top_inches, int left, int top, int right, int bottom, bool active);

}  // namespace helmert2d::canvas

#endif  // HELMERT2D_CANVAS_INTERNAL_H
