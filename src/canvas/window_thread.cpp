// The window thread: GTK runs entirely on one detached thread that owns every
// on-screen window, repaints them from their shown pages, and runs their popup menu,
// save dialog and print dialog. Other threads reach it only through g_idle_add.
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>

#include "canvas_internal.h"
#include "helmert2d/canvas.h"
#include "program_hooks.h"

namespace helmert2d::canvas {
namespace {

std::mutex gui_mutex;
// Set by open_windows_off_screen: the display is treated as absent.
std::atomic<bool> off_screen{false};
// Set when the connection to the display is lost: the window thread runs no more.
std::atomic<bool> lost{false};
bool gui_started = false;
bool gui_ok = false;
std::thread::id gui_thread;

// A function to run on the window thread, with the promise its caller waits on.
struct Task {
  std::function<void()> work;
  std::promise<void> done;
};

gboolean run_task(gpointer data) {
  auto* task = static_cast<Task*>(data);
  task->work();
  task->done.set_value();
  delete task;
  return G_SOURCE_REMOVE;
}

// Runs `work` on the window thread and waits for it. False, without waiting any
// longer, when the display is lost first: the window thread then never runs it.
bool run_sync(std::function<void()> work) {
  if (std::this_thread::get_id() == gui_thread) {
    work();
    return true;
  }
  if (lost.load()) return false;
  auto* task = new Task{std::move(work), {}};
  std::future<void> done = task->done.get_future();
  g_idle_add(run_task, task);
  // The loss of the display can come at any moment, also while the task runs.
  while (done.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
    if (lost.load()) return false;
  }
  return true;
}

// ---- Repainting ----

// Repaints from a copy of the shown page, so that the page lock is held only for the
// copy and not while the window system takes the pixels.
gboolean on_draw(GtkWidget*, cairo_t* cr, gpointer data) {
  auto* w = static_cast<Window*>(data);
  // Changes from now on need another repaint.
  w->repaint_pending.store(false);
  auto*& copy = reinterpret_cast<cairo_surface_t*&>(w->gtk_copy);
  if (copy == nullptr) copy = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w->width, w->height);
  cairo_surface_flush(copy);
  {
    std::lock_guard<std::timed_mutex> guard(w->lock);
    cairo_surface_t* page = w->pages[static_cast<std::size_t>(w->visual_page)];
    cairo_surface_flush(page);
    const std::size_t bytes = static_cast<std::size_t>(cairo_image_surface_get_stride(page)) *
                              static_cast<std::size_t>(w->height);
    std::memcpy(cairo_image_surface_get_data(copy), cairo_image_surface_get_data(page), bytes);
  }
  cairo_surface_mark_dirty(copy);
  cairo_set_source_surface(cr, copy, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_paint(cr);
  return TRUE;
}

// Asks for a repaint; the request stays pending until the repaint copies the page, so
// a burst of drawing calls costs one wake-up of the window thread per frame.
gboolean repaint_now(gpointer data) {
  auto* w = static_cast<Window*>(data);
  if (w->gtk_area != nullptr) gtk_widget_queue_draw(static_cast<GtkWidget*>(w->gtk_area));
  return G_SOURCE_REMOVE;
}

// ---- Save and print ----

bool file_exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

bool confirm_replace(GtkWindow* parent, const std::string& path) {
  GtkWidget* ask = gtk_message_dialog_new(
      parent, GTK_DIALOG_MODAL, GTK_MESSAGE_QUESTION, GTK_BUTTONS_YES_NO,
      "A file named \"%s\" already exists. Do you want to replace it?", path.c_str());
  gtk_window_set_title(GTK_WINDOW(ask), "Save image as");
  const bool yes = gtk_dialog_run(GTK_DIALOG(ask)) == GTK_RESPONSE_YES;
  gtk_widget_destroy(ask);
  return yes;
}

// Size of the save dialog in pixels.
constexpr int kDialogWidth = 720, kDialogHeight = 480;

void fit_dialog(GtkWidget* dialog, gpointer) {
  gtk_window_resize(GTK_WINDOW(dialog), kDialogWidth, kDialogHeight);
}

void save_dialog(Window& w, int left, int top, int right, int bottom, bool active) {
  auto* parent = static_cast<GtkWindow*>(w.gtk_window);
  GtkWidget* dlg =
      gtk_file_chooser_dialog_new("Save image as", parent, GTK_FILE_CHOOSER_ACTION_SAVE, "_Cancel",
                                  GTK_RESPONSE_CANCEL, "_Save", GTK_RESPONSE_ACCEPT, nullptr);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dlg);
  gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
  GtkFileFilter* filter = gtk_file_filter_new();
  gtk_file_filter_set_name(filter, "Bitmap files (*.bmp)");
  gtk_file_filter_add_pattern(filter, "*.BMP");
  gtk_file_filter_add_pattern(filter, "*.bmp");
  gtk_file_chooser_add_filter(chooser, filter);
  // The chooser sizes itself when mapped (larger than a 1024 by 768 screen); fit it.
  g_signal_connect_after(dlg, "map", G_CALLBACK(fit_dialog), nullptr);
  // Start in the working directory with the window's title as the name.
  gchar* cwd = g_get_current_dir();
  gtk_file_chooser_set_current_folder(chooser, cwd);
  g_free(cwd);
  gtk_file_chooser_set_current_name(chooser, w.title.empty() ? "canvas" : w.title.c_str());
  std::string chosen;
  if (gtk_dialog_run(GTK_DIALOG(dlg)) == GTK_RESPONSE_ACCEPT) {
    if (char* name = gtk_file_chooser_get_filename(chooser)) {
      chosen = name;
      g_free(name);
    }
  }
  gtk_widget_destroy(dlg);
  if (chosen.empty()) return;
  const std::string path = bmp_file_name(chosen);
  // The dialog asked about the typed name only; ask again for the extended one.
  if (path != chosen && file_exists(path) && !confirm_replace(parent, path)) return;
  writeimagefile(path.c_str(), left, top, right, bottom, active, w.number);
}

// Print settings chosen in the dialog, kept for the next print command.
GtkPrintSettings* print_settings = nullptr;

struct PrintJob {
  Window* w;
  std::string title;
  double width_inches, left_inches, top_inches;
  int left, top, right, bottom;
  bool active;
};

void draw_print_page(GtkPrintOperation*, GtkPrintContext* context, gint, gpointer data) {
  const auto* job = static_cast<const PrintJob*>(data);
  Window& w = *job->w;
  PageLock lock(w);
  cairo_surface_t* page =
      w.pages[static_cast<std::size_t>(job->active ? w.active_page : w.visual_page)];
  const Region r = copy_region(page, job->left, job->top, job->right, job->bottom);
  render_print_page(gtk_print_context_get_cairo_context(context), r, job->title, job->width_inches,
                    job->left_inches, job->top_inches);
}

void print_dialog(const PrintJob& job) {
  GtkPrintOperation* op = gtk_print_operation_new();
  if (print_settings != nullptr) gtk_print_operation_set_print_settings(op, print_settings);
  GtkPageSetup* setup = gtk_page_setup_new();
  GtkPaperSize* letter = gtk_paper_size_new(GTK_PAPER_NAME_LETTER);
  gtk_page_setup_set_paper_size_and_default_margins(setup, letter);
  gtk_paper_size_free(letter);
  gtk_print_operation_set_default_page_setup(op, setup);
  g_object_unref(setup);
  gtk_print_operation_set_job_name(op, "Canvas");
  gtk_print_operation_set_n_pages(op, 1);
  gtk_print_operation_set_unit(op, GTK_UNIT_POINTS);
  g_signal_connect(op, "draw-page", G_CALLBACK(draw_print_page), const_cast<PrintJob*>(&job));
  const GtkPrintOperationResult result =
      gtk_print_operation_run(op, GTK_PRINT_OPERATION_ACTION_PRINT_DIALOG,
                              static_cast<GtkWindow*>(job.w->gtk_window), nullptr);
  if (result == GTK_PRINT_OPERATION_RESULT_APPLY) {
    if (print_settings != nullptr) g_object_unref(print_settings);
    print_settings = GTK_PRINT_SETTINGS(g_object_ref(gtk_print_operation_get_print_settings(op)));
  }
  g_object_unref(op);
}

// ---- Popup menu and closing ----

void menu_command(GtkMenuItem*, gpointer data) {
  auto* w = static_cast<Window*>(g_object_get_data(G_OBJECT(data), "canvas-window"));
  const int command = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(data), "canvas-command"));
  // The commands act on the whole shown page of this window.
  if (command == 4) {
    save_dialog(*w, 0, 0, INT_MAX, INT_MAX, false);
    return;
  }
  const double inches = command == 1 ? 2 : command == 2 ? 4.5 : 7;
  print_dialog(PrintJob{w, w->title, inches, 0.75, 0.75, 0, 0, INT_MAX, INT_MAX, false});
}

GtkWidget* make_menu(Window& w) {
  GtkWidget* menu = gtk_menu_new();
  gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_separator_menu_item_new());
  const struct {
    const char* label;
    int command;
  } entries[] = {{"Save image as...", 4},
                 {"Print 2\" wide...", 1},
                 {"Print 4.5\" wide...", 2},
                 {"Print 7\" wide...", 3}};
  for (const auto& e : entries) {
    GtkWidget* item = gtk_menu_item_new_with_label(e.label);
    g_object_set_data(G_OBJECT(item), "canvas-window", &w);
    g_object_set_data(G_OBJECT(item), "canvas-command", GINT_TO_POINTER(e.command));
    g_signal_connect(item, "activate", G_CALLBACK(menu_command), item);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
  }
  gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_separator_menu_item_new());
  gtk_widget_show_all(menu);
  gtk_menu_attach_to_widget(GTK_MENU(menu), static_cast<GtkWidget*>(w.gtk_area), nullptr);
  return menu;
}

gboolean on_button(GtkWidget*, GdkEventButton* event, gpointer data) {
  if (event->type != GDK_BUTTON_PRESS || event->button != 3) return FALSE;
  auto* w = static_cast<Window*>(data);
  auto* area = static_cast<GtkWidget*>(w->gtk_area);
  auto* menu = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(area), "canvas-menu"));
  if (menu == nullptr) {
    menu = make_menu(*w);
    g_object_set_data(G_OBJECT(area), "canvas-menu", menu);
  }
  gtk_menu_popup_at_pointer(GTK_MENU(menu), reinterpret_cast<GdkEvent*>(event));
  return TRUE;
}

gboolean on_delete(GtkWidget*, GdkEvent*, gpointer data) {
  auto* w = static_cast<Window*>(data);
  if (w->closeflag) request_close(*w);
  return TRUE;  // the window stays while a report holds the close, or always without the flag
}

// The window was destroyed from outside (not by a close request).
gboolean on_destroy_event(GtkWidget*, GdkEvent*, gpointer data) {
  auto* w = static_cast<Window*>(data);
  w->shown.store(false);
  if (w->closeflag) request_close(*w);
  return FALSE;
}

void on_destroy(GtkWidget*, gpointer data) {
  auto* w = static_cast<Window*>(data);
  w->shown.store(false);
  w->gtk_area = nullptr;
  w->gtk_window = nullptr;
}

void create_window(Window& w) {
  GtkWidget* win = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(win), w.title.c_str());
  if (w.title.empty()) gtk_window_set_decorated(GTK_WINDOW(win), FALSE);
  gtk_window_set_resizable(GTK_WINDOW(win), FALSE);
  GtkWidget* area = gtk_drawing_area_new();
  gtk_widget_set_size_request(area, w.width, w.height);
  gtk_widget_add_events(area, GDK_BUTTON_PRESS_MASK);
  gtk_container_add(GTK_CONTAINER(win), area);
  w.gtk_window = win;
  w.gtk_area = area;
  g_signal_connect(area, "draw", G_CALLBACK(on_draw), &w);
  g_signal_connect(area, "button-press-event", G_CALLBACK(on_button), &w);
  g_signal_connect(win, "delete-event", G_CALLBACK(on_delete), &w);
  g_signal_connect(win, "destroy-event", G_CALLBACK(on_destroy_event), &w);
  g_signal_connect(win, "destroy", G_CALLBACK(on_destroy), &w);
  gtk_window_move(GTK_WINDOW(win), w.left, w.top);
  gtk_widget_show_all(win);
  w.shown.store(true);
}

// Drops GDK's warning about a window destroyed from outside, which the canvas handles
// as a close; other messages go to GLib's default handler.
void filter_gdk_log(const gchar* domain, GLogLevelFlags level, const gchar* message,
                    gpointer data) {
  if (message != nullptr && std::strstr(message, "unexpectedly destroyed") != nullptr) return;
  g_log_default_handler(domain, level, message, data);
}

int on_lost_display(Display*) {
  lost.store(true);
  close_on_lost_display();
}

}  // namespace

void open_windows_off_screen(bool off) {
  off_screen.store(off);
}

bool display_lost() {
  return lost.load();
}

bool windows_off_screen() {
  return off_screen.load();
}

bool gui_available() {
  if (off_screen.load() || lost.load()) return false;
  std::lock_guard<std::mutex> guard(gui_mutex);
  if (gui_started) return gui_ok;
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') return false;
  gui_started = true;
  std::promise<bool> ready;
  std::future<bool> ok = ready.get_future();
  std::thread([ready = std::move(ready)]() mutable {
    // GTK must not switch the process to the user's locale (decimal commas).
    gtk_disable_setlocale();
    const bool up = gtk_init_check(nullptr, nullptr);
    g_log_set_handler("Gdk", G_LOG_LEVEL_WARNING, filter_gdk_log, nullptr);
    // A window destroyed from outside makes requests still under way fail before its
    // destroy event is read; such X errors would end the process with status 1. A
    // trap that is never popped ignores them.
    if (up && GDK_IS_X11_DISPLAY(gdk_display_get_default())) {
      gdk_x11_display_error_trap_push(gdk_display_get_default());
      // A killed connection (xkill) closes the windows like their close box.
      XSetIOErrorHandler(on_lost_display);
    }
    gui_thread = std::this_thread::get_id();
    ready.set_value(up);
    if (up) gtk_main();
  }).detach();
  gui_ok = ok.get();
  return gui_ok && !lost.load();
}

void gui_call(const std::function<void()>& work) {
  run_sync(work);
}

bool gui_create_window(Window& w) {
  // After a loss during the creation the window counts as not shown.
  if (!run_sync([&w] { create_window(w); })) w.shown.store(false);
  return w.shown.load();
}

void gui_queue_repaint(Window& w) {
  if (lost.load()) return;
  if (!w.repaint_pending.load(std::memory_order_relaxed) && !w.repaint_pending.exchange(true))
    g_idle_add(repaint_now, &w);
}

bool gui_work_area(int& width, int& height) {
  bool found = false;
  run_sync([&] {
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (monitor == nullptr) monitor = gdk_display_get_monitor(display, 0);
    if (monitor == nullptr) return;
    GdkRectangle area;
    gdk_monitor_get_workarea(monitor, &area);
    width = area.width;
    height = area.height;
    found = true;
  });
  return found;
}

void gui_save_dialog(Window& w, int left, int top, int right, int bottom, bool active) {
  run_sync([&] { save_dialog(w, left, top, right, bottom, active); });
}

void gui_print_dialog(Window& w, const std::string& title, double width_inches, double left_inches,
                      double top_inches, int left, int top, int right, int bottom, bool active) {
  const PrintJob job{&w,   title, width_inches, left_inches, top_inches,
                     left, top,   right,        bottom,      active};
  run_sync([&] { print_dialog(job); });
}

}  // namespace helmert2d::canvas
