// Saved and printed images: BMP layout and pixels, file names, PNG, PDF pages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "canvas/canvas_internal.h"
#include "helmert2d/canvas.h"
#include "support/canvas_support.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using helmert2d::canvas::bmp_file_name;
using helmert2d::canvas::is_png_name;

namespace {

class CanvasImage : public testing::Test {
 protected:
  std::string path(const std::string& name) const { return dir_.file(name); }
  testsupport::TempDir dir_;
};

std::vector<unsigned char> read_bytes(const std::string& path) {
  const std::string bytes = testsupport::read_file(path);
  return {bytes.begin(), bytes.end()};
}

std::uint32_t u32(const std::vector<unsigned char>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
         (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
unsigned u16(const std::vector<unsigned char>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8);
}

// Draws something in several colours over the whole page of the current window.
void draw_scene(int width, int height) {
  setfillstyle(1, COLOR(10, 200, 30));
  bar(0, 0, width / 2, height / 3);
  setcolor(COLOR(255, 0, 255));
  setlinestyle(0, 0, 2);
  line(0, 0, width - 1, height - 1);
  setcolor(14);
  circle(width / 2, height / 2, width / 4);
  settextstyle(4, 0, 2);
  outtextxy(5, height - 30, "GRAFIK 123");
  setcolor(9);
  line(width - 1, 0, width - 1, height - 1);  // the last column and row are page pixels
  line(0, height - 1, width - 1, height - 1);
}

TEST_F(CanvasImage, PlotWindowSavesTheSpecifiedBmp) {
  initwindow(600, 600, "GRAFIK", 675, 0);
  draw_scene(600, 600);
  const std::string file = path("plot.bmp");
  writeimagefile(file.c_str());
  const std::vector<unsigned char> b = read_bytes(file);
  ASSERT_EQ(b.size(), 1084258u);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  // The headers' fields by offset; those at 26 and 28 are 16 bits wide, the rest 32.
  const std::pair<std::size_t, std::uint32_t> fields[] = {
      {2, 1084258u}, {6, 0u},  {10, 54u},          {14, 40u}, {18, 601u}, {22, 601u}, {26, 1u},
      {28, 24u},     {30, 0u}, {34, 601u * 1804u}, {38, 0u},  {42, 0u},   {46, 0u},   {50, 0u}};
  for (const auto& [at, value] : fields)
    EXPECT_EQ(at == 26 || at == 28 ? u16(b, at) : u32(b, at), value) << "offset " << at;
  // Rows bottom-up, blue-green-red; the extra column and row are black.
  for (int y = 0; y <= 600; ++y) {
    const std::size_t row = 54 + static_cast<std::size_t>(600 - y) * 1804;
    for (int x = 0; x <= 600; ++x) {
      const std::size_t at = row + 3 * static_cast<std::size_t>(x);
      const int rgb = b[at + 2] | (b[at + 1] << 8) | (b[at] << 16);
      const int want = x < 600 && y < 600 ? converttorgb(getpixel(x, y)) : 0;
      ASSERT_EQ(rgb, want) << x << "," << y;
    }
    ASSERT_EQ(b[row + 1803], 0) << "padding of row " << y;
  }
}

TEST_F(CanvasImage, RegionIsClampedInclusively) {
  initwindow(20, 10);
  setfillstyle(1, 12);
  bar(0, 0, 20, 10);
  const std::string small = path("small.bmp");
  writeimagefile(small.c_str(), 5, 5, 9, 9);
  std::vector<unsigned char> b = read_bytes(small);
  ASSERT_EQ(b.size(), 54u + 5 * 16);  // 5 pixels of 3 bytes padded to 16
  EXPECT_EQ(u32(b, 18), 5u);
  EXPECT_EQ(u32(b, 22), 5u);
  const std::string wide = path("wide.bmp");
  writeimagefile(wide.c_str(), -100, -100, 1000, 1000);
  b = read_bytes(wide);
  EXPECT_EQ(u32(b, 18), 21u);
  EXPECT_EQ(u32(b, 22), 11u);
  // Nothing is left of a region with its edges crossed, and no file is made.
  const std::string none = path("none.bmp");
  testing::internal::CaptureStderr();
  writeimagefile(none.c_str(), 10, 0, 5, 5);
  testing::internal::GetCapturedStderr();
  EXPECT_FALSE(fs::exists(none));
}

TEST(CanvasImageName, SaveDialogNameRules) {
  EXPECT_EQ(bmp_file_name("plot"), "plot.BMP");
  EXPECT_EQ(bmp_file_name("a.b"), "a.b.BMP");
  EXPECT_EQ(bmp_file_name("abcd"), "abcd.BMP");
  EXPECT_EQ(bmp_file_name("ab.cd"), "ab.cd");
  EXPECT_EQ(bmp_file_name("abc.d"), "abc.d.BMP");
  EXPECT_EQ(bmp_file_name("plot.bmp"), "plot.bmp");
  EXPECT_EQ(bmp_file_name("/tmp/plot.png"), "/tmp/plot.png");
  EXPECT_EQ(bmp_file_name("/tmp/x.b"), "/tmp/x.b.BMP");
  const std::string long_name(256, 'x');
  EXPECT_EQ(bmp_file_name(long_name), long_name);
  EXPECT_EQ(bmp_file_name(long_name.substr(1)), long_name.substr(1) + ".BMP");
  EXPECT_TRUE(is_png_name("a.png"));
  EXPECT_TRUE(is_png_name("A.PnG"));
  EXPECT_FALSE(is_png_name("png"));
  EXPECT_FALSE(is_png_name("a.png.bmp"));
}

TEST_F(CanvasImage, PngRoundTrip) {
  initwindow(120, 80);
  draw_scene(120, 80);
  const std::string file = path("plot.PNG");
  writeimagefile(file.c_str());
  cairo_surface_t* png = cairo_image_surface_create_from_png(file.c_str());
  ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
  ASSERT_EQ(cairo_image_surface_get_width(png), 121);
  ASSERT_EQ(cairo_image_surface_get_height(png), 81);
  const unsigned char* data = cairo_image_surface_get_data(png);
  const int stride = cairo_image_surface_get_stride(png);
  for (int y = 0; y <= 80; ++y)
    for (int x = 0; x <= 120; ++x) {
      const std::uint32_t px = reinterpret_cast<const std::uint32_t*>(data + y * stride)[x];
      const int want = x < 120 && y < 80 ? getpixel(x, y) : 0;
      ASSERT_EQ(helmert2d::canvas::color_of_pixel(px & 0xFFFFFF), want) << x << "," << y;
    }
  cairo_surface_destroy(png);
}

TEST_F(CanvasImage, UnwritableFileIsReported) {
  initwindow(10, 10);
  const std::string file = path("missing/dir/plot.bmp");
  testing::internal::CaptureStderr();
  writeimagefile(file.c_str());
  printimage(nullptr, 2, 0.75, 0.75, 0, 0, INT_MAX, INT_MAX, true, -1, file.c_str());
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("writeimagefile: cannot write"), std::string::npos) << err;
  EXPECT_NE(err.find("printimage: cannot write"), std::string::npos) << err;
  // No window with that number: nothing happens.
  writeimagefile(path("x.bmp").c_str(), 0, 0, INT_MAX, INT_MAX, true, 9999);
  EXPECT_FALSE(fs::exists(path("x.bmp")));
}

// Bounding box, in device pixels, of the pure red pixels of an RGB24 image.
canvas_test::Box red_box(const unsigned char* data, int stride, int width, int height,
                         int pixel_bytes, bool rgb_order) {
  return canvas_test::box_where(0, 0, width - 1, height - 1, [&](int x, int y) {
    const unsigned char* p = data + y * stride + x * pixel_bytes;
    const int r = rgb_order ? p[0] : p[2], g = p[1], bl = rgb_order ? p[2] : p[0];
    return r > 200 && g < 60 && bl < 60;
  });
}

TEST_F(CanvasImage, PrintPagePlacesTheImage) {
  const double dpi = 144;  // device pixels per inch of the check
  // A square page and a wide one: the width alone sets the scale.
  for (const auto& [width, height] : {std::pair{600, 600}, std::pair{600, 300}}) {
    initwindow(width, height, "GRAFIK");
    setfillstyle(1, COLOR(255, 0, 0));
    bar(0, 0, width, height);
    for (double inches : {2.0, 4.5, 7.0})
      for (const char* title : {"GRAFIK", ""}) {
        // The same page drawing as the PDF, onto a raster at 144 dots per inch.
        cairo_surface_t* sheet = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 612 * 2, 792 * 2);
        cairo_t* cr = cairo_create(sheet);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        cairo_scale(cr, 2, 2);
        {
          helmert2d::canvas::Window* w = helmert2d::canvas::find_window(-1);
          const auto region = helmert2d::canvas::copy_region(w->pages[0], 0, 0, INT_MAX, INT_MAX);
          helmert2d::canvas::render_print_page(cr, region, title, inches, 0.75, 0.75);
        }
        cairo_destroy(cr);
        cairo_surface_flush(sheet);
        const canvas_test::Box b =
            red_box(cairo_image_surface_get_data(sheet), cairo_image_surface_get_stride(sheet),
                    612 * 2, 792 * 2, 4, false);
        cairo_surface_destroy(sheet);
        // The region of width + 1 pixels is `inches` wide; its last column and row are
        // black, not red.
        const double top = (*title != '\0' ? 1.0 : 0.75) * dpi;
        const double per_pixel = inches * dpi / (width + 1);
        EXPECT_EQ(b.left, 0.75 * dpi) << inches;
        EXPECT_EQ(b.top, top) << inches;
        EXPECT_NEAR(b.right + 1 - b.left, per_pixel * width, 1.0) << inches << " " << height;
        EXPECT_NEAR(b.bottom + 1 - b.top, per_pixel * height, 1.0) << inches << " " << height;
      }
  }
}

TEST_F(CanvasImage, PdfExportIsOneLetterPage) {
  initwindow(600, 600, "GRAFIK");
  setfillstyle(1, COLOR(255, 0, 0));
  bar(0, 0, 600, 600);
  for (double inches : {2.0, 4.5, 7.0}) {
    const std::string file = path("print" + std::to_string(inches) + ".pdf");
    printimage(nullptr, inches, 0.75, 0.75, 0, 0, INT_MAX, INT_MAX, true, -1, file.c_str());
    const std::vector<unsigned char> b = read_bytes(file);
    const std::string text(b.begin(), b.end());
    ASSERT_EQ(text.substr(0, 5), "%PDF-");
    EXPECT_NE(text.find("/MediaBox [ 0 0 612 792 ]"), std::string::npos);
    EXPECT_NE(text.find("/Count 1"), std::string::npos);
    // Where Ghostscript is present, rasterise the file itself and measure the image.
    if (std::system("gs --version >/dev/null 2>&1") != 0) continue;
    const std::string ppm = path("page.ppm");
    const std::string cmd =
        "gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=ppmraw -r144 -sOutputFile=" + ppm + " " + file +
        " 2>/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::vector<unsigned char> img = read_bytes(ppm);
    // P6 header: magic, optional comments, width, height, maximum value.
    std::size_t at = 2;
    int fields[3], k = 0;
    while (k < 3) {
      while (std::isspace(img[at])) ++at;
      if (img[at] == '#') {
        while (img[at] != '\n') ++at;
        continue;
      }
      fields[k++] = std::atoi(reinterpret_cast<const char*>(&img[at]));
      while (std::isdigit(img[at])) ++at;
    }
    ++at;
    const canvas_test::Box box = red_box(&img[at], fields[0] * 3, fields[0], fields[1], 3, true);
    EXPECT_EQ(box.left, 108) << inches;
    EXPECT_EQ(box.top, 144) << inches;
    EXPECT_NEAR(box.right + 1 - box.left, inches * 144 * 600 / 601, 1.5) << inches;
  }
}

}  // namespace
