// Saving and printing a window's page: file names, the print page layout, PDF export,
// and the writeimagefile and printimage operations.
#include <cairo-pdf.h>

#include <cctype>
#include <climits>
#include <iostream>
#include <ostream>
#include <string>
#include <vector>

#include "canvas_internal.h"
#include "helmert2d/canvas.h"
#include "program_hooks.h"

namespace helmert2d::canvas {
namespace {

constexpr double kPointsPerInch = 72;
// Letter paper in points.
constexpr double kLetterWidth = 612, kLetterHeight = 792;
// The title line above a printed image: its height in inches and font size in points.
constexpr double kTitleSpace = 0.25;
constexpr double kTitleFontSize = 12;

cairo_surface_t* page_of(Window& w, bool active) {
  return w.pages[static_cast<std::size_t>(active ? w.active_page : w.visual_page)];
}

}  // namespace

std::string bmp_file_name(const std::string& chosen) {
  const std::size_t n = chosen.size();
  // A name that already ends in a two- or three-letter extension is kept.
  if ((n > 3 && (chosen[n - 4] == '.' || chosen[n - 3] == '.')) || n >= 256) return chosen;
  return chosen + ".BMP";
}

bool is_png_name(const std::string& name) {
  if (name.size() < 4) return false;
  std::string tail = name.substr(name.size() - 4);
  for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return tail == ".png";
}

bool save_region(const Region& r, const std::string& path) {
  if (r.width <= 0 || r.height <= 0) return false;
  if (is_png_name(path)) return write_png(r, path);
  return write_file(path, encode_bmp(r));
}

bool save_page_region(Window& w, const std::string& path, int left, int top, int right, int bottom,
                      bool active) {
  PageLock lock(w);
  return save_region(copy_region(page_of(w, active), left, top, right, bottom), path);
}

bool save_page(const std::string& path, int window) {
  Window* w = find_window(window);
  return w != nullptr && save_page_region(*w, path, 0, 0, INT_MAX, INT_MAX, true);
}

bool write_page(std::ostream& out, bool png, int window, int right, int bottom) {
  Window* w = find_window(window);
  if (w == nullptr) return false;
  Region r;
  {
    PageLock lock(*w);
    r = copy_region(page_of(*w, true), 0, 0, right, bottom);
  }
  if (r.width <= 0 || r.height <= 0) return false;
  if (png) return write_png(r, out);
  const std::vector<unsigned char> bytes = encode_bmp(r);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

void render_print_page(cairo_t* cr, const Region& r, const std::string& title, double width_inches,
                       double left_inches, double top_inches) {
  const double x = left_inches * kPointsPerInch;
  double y = top_inches * kPointsPerInch;
  if (!title.empty()) {
    cairo_save(cr);
    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL,
                           CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, kTitleFontSize);
    cairo_font_extents_t fe;
    cairo_font_extents(cr, &fe);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_move_to(cr, x, y + fe.ascent);
    cairo_show_text(cr, to_utf8(title).c_str());
    cairo_restore(cr);
    y += kTitleSpace * kPointsPerInch;
  }
  if (r.width <= 0 || r.height <= 0) return;
  cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, r.width, r.height);
  if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS) {
    cairo_surface_flush(image);
    unsigned char* data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    for (int row = 0; row < r.height; ++row)
      for (int col = 0; col < r.width; ++col)
        reinterpret_cast<std::uint32_t*>(data + row * stride)[col] =
            r.pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(r.width) +
                     static_cast<std::size_t>(col)];
    cairo_surface_mark_dirty(image);
    // Scale s points per pixel makes the image exactly width_inches wide.
    const double s = width_inches * kPointsPerInch / r.width;
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_scale(cr, s, s);
    cairo_set_source_surface(cr, image, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_rectangle(cr, 0, 0, r.width, r.height);
    cairo_fill(cr);
    cairo_restore(cr);
  }
  cairo_surface_destroy(image);
}

bool write_print_pdf(const std::string& path, const Region& r, const std::string& title,
                     double width_inches, double left_inches, double top_inches) {
  cairo_surface_t* pdf = cairo_pdf_surface_create(path.c_str(), kLetterWidth, kLetterHeight);
  if (cairo_surface_status(pdf) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(pdf);
    return false;
  }
  cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_TITLE, "Canvas");
  cairo_t* cr = cairo_create(pdf);
  render_print_page(cr, r, title, width_inches, left_inches, top_inches);
  cairo_show_page(cr);
  cairo_destroy(cr);
  cairo_surface_finish(pdf);
  const bool ok = cairo_surface_status(pdf) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(pdf);
  return ok;
}

}  // namespace helmert2d::canvas

using namespace helmert2d::canvas;

void writeimagefile(const char* filename, int left, int top, int right, int bottom, bool active,
                    int window) {
  Window* w = find_window(window);
  if (w == nullptr) return;
  if (filename == nullptr) {
    if (w->shown.load()) gui_save_dialog(*w, left, top, right, bottom, active);
    return;
  }
  if (!save_page_region(*w, filename, left, top, right, bottom, active))
    std::cerr << "writeimagefile: cannot write " << filename << '\n';
}

void printimage(const char* title, double width_inches, double left_inches, double top_inches,
                int left, int top, int right, int bottom, bool active, int window,
                const char* pdf_file) {
  Window* w = find_window(window);
  if (w == nullptr) return;
  const std::string heading = title != nullptr ? title : w->title;
  if (pdf_file == nullptr) {
    if (w->shown.load())
      gui_print_dialog(*w, heading, width_inches, left_inches, top_inches, left, top, right, bottom,
                       active);
    return;
  }
  bool ok;
  {
    PageLock lock(*w);
    ok = write_print_pdf(pdf_file, copy_region(page_of(*w, active), left, top, right, bottom),
                         heading, width_inches, left_inches, top_inches);
  }
  if (!ok) std::cerr << "printimage: cannot write " << pdf_file << '\n';
}
