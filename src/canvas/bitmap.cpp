// Page regions and their image files: 24-bit BMP and PNG.
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "canvas_internal.h"

namespace helmert2d::canvas {
namespace {

void put16(std::vector<unsigned char>& b, std::uint32_t v) {
  b.push_back(static_cast<unsigned char>(v & 0xFF));
  b.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}

void put32(std::vector<unsigned char>& b, std::uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}

}  // namespace

Region copy_region(cairo_surface_t* page, int left, int top, int right, int bottom) {
  const int pw = cairo_image_surface_get_width(page);
  const int ph = cairo_image_surface_get_height(page);
  // Inclusive edges: left within the page, the others up to one beyond it.
  left = std::clamp(left, 0, pw - 1);
  top = std::clamp(top, 0, ph);
  right = std::clamp(right, 0, pw);
  bottom = std::clamp(bottom, 0, ph);
  Region r;
  if (right < left || bottom < top) return r;
  r.width = right - left + 1;
  r.height = bottom - top + 1;
  r.pixels.assign(static_cast<std::size_t>(r.width) * static_cast<std::size_t>(r.height), 0);
  cairo_surface_flush(page);
  const unsigned char* data = cairo_image_surface_get_data(page);
  const int stride = cairo_image_surface_get_stride(page);
  for (int y = top; y <= bottom && y < ph; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
    for (int x = left; x <= right && x < pw; ++x)
      r.pixels[static_cast<std::size_t>(y - top) * static_cast<std::size_t>(r.width) +
               static_cast<std::size_t>(x - left)] = row[x] & 0xFFFFFF;
  }
  return r;
}

std::vector<unsigned char> encode_bmp(const Region& r) {
  const std::uint32_t row_size = ((24u * static_cast<std::uint32_t>(r.width) + 31u) / 32u) * 4u;
  const std::uint32_t image_size = row_size * static_cast<std::uint32_t>(r.height);
  std::vector<unsigned char> b;
  b.reserve(54 + image_size);
  // File header.
  b.push_back('B');
  b.push_back('M');
  put32(b, 54 + image_size);
  put32(b, 0);
  put32(b, 54);
  // Info header: positive height, so rows are stored bottom-up.
  put32(b, 40);
  put32(b, static_cast<std::uint32_t>(r.width));
  put32(b, static_cast<std::uint32_t>(r.height));
  put16(b, 1);
  put16(b, 24);
  put32(b, 0);
  put32(b, image_size);
  put32(b, 0);
  put32(b, 0);
  put32(b, 0);
  put32(b, 0);
  for (int y = r.height - 1; y >= 0; --y) {
    const std::size_t start = b.size();
    for (int x = 0; x < r.width; ++x) {
      const std::uint32_t px =
          r.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(r.width) +
                   static_cast<std::size_t>(x)];
      b.push_back(static_cast<unsigned char>(px & 0xFF));          // blue
      b.push_back(static_cast<unsigned char>((px >> 8) & 0xFF));   // green
      b.push_back(static_cast<unsigned char>((px >> 16) & 0xFF));  // red
    }
    b.resize(start + row_size, 0);
  }
  return b;
}

namespace {

// An RGB24 image surface holding the pixels of `r`, or null when cairo cannot make it.
cairo_surface_t* surface_of(const Region& r) {
  if (r.width <= 0 || r.height <= 0) return nullptr;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, r.width, r.height);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return nullptr;
  }
  cairo_surface_flush(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < r.height; ++y)
    std::copy_n(r.pixels.begin() + static_cast<std::ptrdiff_t>(y) * r.width, r.width,
                reinterpret_cast<std::uint32_t*>(data + y * stride));
  cairo_surface_mark_dirty(s);
  return s;
}

cairo_status_t write_to_stream(void* closure, const unsigned char* data, unsigned int length) {
  auto& out = *static_cast<std::ostream*>(closure);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(length));
  return out ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

}  // namespace

bool write_png(const Region& r, const std::string& path) {
  cairo_surface_t* s = surface_of(r);
  if (s == nullptr) return false;
  const bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(s);
  return ok;
}

bool write_png(const Region& r, std::ostream& out) {
  cairo_surface_t* s = surface_of(r);
  if (s == nullptr) return false;
  const bool ok =
      cairo_surface_write_to_png_stream(s, write_to_stream, &out) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(s);
  return ok && static_cast<bool>(out);
}

bool write_file(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace helmert2d::canvas
