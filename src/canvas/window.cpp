// Windows and their drawing state: opening, the current window, state setters,
// screen size queries and the close hook.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <vector>

#include "canvas_internal.h"
#include "helmert2d/canvas.h"
#include "program_hooks.h"

namespace helmert2d::canvas {

std::atomic<int> graph_error{0};

namespace {

// Windows live until the process ends (the window thread may still paint them), so
// the registry is never destroyed.
std::mutex registry_mutex;
std::vector<Window*>& registry() {
  static auto* windows = new std::vector<Window*>;
  return *windows;
}
std::atomic<int> current{-1};
// The current window itself, set with `current`: drawing calls find it without the
// registry's lock (windows are never removed, so the pointer stays valid).
std::atomic<Window*> current_ptr{nullptr};

// Close hook: number of holds and whether a close waits for their release.
std::mutex close_mutex;
int close_holds = 0;
bool close_requested = false;
// How a close ends the process: its exit status and what runs just before.
std::atomic<int> close_status{0};
std::atomic<void (*)(bool)> before_close{nullptr};

[[noreturn]] void end_process() {
  if (void (*action)(bool) = before_close.load()) action(display_lost());
  // Only the output streams: flushing every stream would wait for the lock of standard
  // input, which the main thread holds while it waits for a key.
  std::fflush(stdout);
  std::fflush(stderr);
  _exit(close_status.load());
}

// Makes the pages of `w`; false when cairo cannot allocate them.
bool make_pages(Window& w) {
  const int count = w.dbflag ? 2 : 1;
  for (int i = 0; i < count; ++i) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w.width, w.height);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
      cairo_surface_destroy(s);
      return false;
    }
    cairo_t* cr = cairo_create(s);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    w.pages.push_back(s);
    w.contexts.push_back(cr);
  }
  return true;
}

void free_pages(Window& w) {
  for (cairo_t* cr : w.contexts) cairo_destroy(cr);
  for (cairo_surface_t* s : w.pages) cairo_surface_destroy(s);
}

}  // namespace

Window* find_window(int n) {
  std::lock_guard<std::mutex> guard(registry_mutex);
  if (n == -1) n = current.load();
  auto& windows = registry();
  if (n < 0 || n >= static_cast<int>(windows.size())) return nullptr;
  return windows[static_cast<std::size_t>(n)];
}

Window& current_window() {
  Window* w = current_ptr.load(std::memory_order_acquire);
  if (w == nullptr) {
    std::fflush(stdout);
    std::cout.flush();
    std::cerr << "Drawing operation was attempted when there was no current window.\n";
    std::exit(1);
  }
  return *w;
}

void reset_state(Window& w) {
  drop_font(w);
  w.st = DrawState{};
  w.st.vp_right = w.width - 1;
  w.st.vp_bottom = w.height - 1;
  w.active_page = w.dbflag ? 1 : 0;
  w.visual_page = 0;
}

void changed(Window& w) {
  if (w.shown.load(std::memory_order_relaxed)) gui_queue_repaint(w);
}

void request_close(Window& w) {
  {
    std::lock_guard<std::mutex> guard(close_mutex);
    if (close_holds > 0) {
      close_requested = true;
      return;
    }
  }
  // Let a drawing call in progress finish; the lock is never given back.
  (void)w.lock.try_lock_for(kLockWait);
  end_process();
}

void close_on_lost_display() {
  // The windows are gone; drawing goes on into their pages without repaints.
  {
    std::lock_guard<std::mutex> guard(registry_mutex);
    for (Window* w : registry()) w->shown.store(false);
  }
  bool held;
  {
    std::lock_guard<std::mutex> guard(close_mutex);
    close_requested = true;
    held = close_holds > 0;
  }
  if (!held) end_process();
  // While a report holds the close, the program's thread finishes its files off-screen
  // and canvas_close_release ends the process. This thread may not return into Xlib,
  // which would end the process at once, so it stays here.
  for (;;) pause();
}

void set_close_status(int status) {
  close_status.store(status);
}

void set_before_close(void (*action)(bool display_lost)) {
  before_close.store(action);
}

}  // namespace helmert2d::canvas

using namespace helmert2d::canvas;

int initwindow(int width, int height, const char* title, int left, int top, bool dbflag,
               bool closeflag) {
  if (width < 1 || height < 1) {
    std::cerr << "Error: cannot open a window of " << width << " by " << height << " pixels\n";
    return -1;
  }
  auto* w = new Window;
  w->width = width;
  w->height = height;
  w->title = title != nullptr ? title : "";
  w->left = left;
  w->top = top;
  w->dbflag = dbflag;
  w->closeflag = closeflag;
  if (!make_pages(*w)) {
    std::cerr << "Error: cannot allocate a page of " << width << " by " << height << " pixels\n";
    free_pages(*w);
    delete w;
    return -1;
  }
  reset_state(*w);
  for (cairo_t* cr : w->contexts) {
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
  }
  {
    std::lock_guard<std::mutex> guard(registry_mutex);
    w->number = static_cast<int>(registry().size());
    registry().push_back(w);
  }
  if (gui_available()) gui_create_window(*w);
  current.store(w->number);
  current_ptr.store(w, std::memory_order_release);
  return w->number;
}

void graphdefaults() {
  Window& w = current_window();
  {
    PageLock lock(w);
    reset_state(w);
  }
  changed(w);
}

int getcurrentwindow() {
  return current.load();
}

void setcurrentwindow(int window) {
  Window* w = find_window(window);
  if (w != nullptr && window >= 0) {
    current.store(window);
    current_ptr.store(w, std::memory_order_release);
  }
}

int getmaxx() {
  return current_window().width - 1;
}
int getmaxy() {
  return current_window().height - 1;
}

// Frame sizes of a dialog window: 3-pixel border, 19-pixel title bar.
constexpr int kFrame = 3;
constexpr int kTitleBar = 19;

int getmaxwidth() {
  int w = 1024, h = 768;
  if (gui_available()) gui_work_area(w, h);
  return w - 2 * kFrame;
}

int getmaxheight() {
  int w = 1024, h = 768;
  if (gui_available()) gui_work_area(w, h);
  return h - kTitleBar - 2 * kFrame;
}

bool canvas_has_display() {
  if (Window* w = find_window(-1)) return w->shown.load();
  return gui_available();
}

void canvas_close_hold() {
  std::lock_guard<std::mutex> guard(close_mutex);
  ++close_holds;
}

void canvas_close_release() {
  {
    std::lock_guard<std::mutex> guard(close_mutex);
    if (close_holds > 0) --close_holds;
    if (close_holds > 0 || !close_requested) return;
  }
  std::cout.flush();
  end_process();
}

int graphresult() {
  return graph_error.exchange(0);
}

// ---- Colours and state --------------------------------------------------------------

namespace {
// Runs `change` on the current window's state under its page lock.
template <typename F>
void change_state(F change) {
  Window& w = current_window();
  PageLock lock(w);
  change(w);
}
}  // namespace

void setbkcolor(int color) {
  change_state([&](Window& w) { w.st.bkcolor = color; });
}
int getbkcolor() {
  return current_window().st.bkcolor;
}
void setcolor(int color) {
  change_state([&](Window& w) { w.st.color = color; });
}
int getcolor() {
  return current_window().st.color;
}

void setlinestyle(int linestyle, unsigned upattern, int thickness) {
  change_state([&](Window& w) {
    w.st.linestyle = linestyle;
    w.st.upattern = upattern & 0xFFFFu;
    w.st.thickness = thickness;
  });
}

void setfillstyle(int pattern, int color) {
  change_state([&](Window& w) {
    if (pattern < 0 || pattern > 12) graph_error.store(-11);
    if (pattern < 0 || pattern >= 12) return;
    w.st.fillstyle = pattern;
    // Style 0 paints in the background colour of this moment.
    w.st.fillcolor = pattern == 0 ? w.st.bkcolor : color;
  });
}

void moveto(int x, int y) {
  change_state([&](Window& w) {
    w.st.cpx = x;
    w.st.cpy = y;
  });
}
int getx() {
  return current_window().st.cpx;
}
int gety() {
  return current_window().st.cpy;
}

void setviewport(int left, int top, int right, int bottom, int clip) {
  change_state([&](Window& w) {
    w.st.vp_left = left;
    w.st.vp_top = top;
    w.st.vp_right = right;
    w.st.vp_bottom = bottom;
    w.st.vp_clip = clip != 0;
    w.st.cpx = 0;
    w.st.cpy = 0;
  });
}

void setactivepage(int page) {
  change_state([&](Window& w) {
    if (page >= 0 && page < static_cast<int>(w.pages.size())) w.active_page = page;
  });
}

void setvisualpage(int page) {
  Window& w = current_window();
  {
    PageLock lock(w);
    if (page >= 0 && page < static_cast<int>(w.pages.size())) w.visual_page = page;
  }
  changed(w);
}

void swapbuffers() {
  Window& w = current_window();
  {
    PageLock lock(w);
    if (w.pages.size() == 2) {
      w.active_page = 1 - w.active_page;
      w.visual_page = 1 - w.visual_page;
    }
  }
  changed(w);
}
