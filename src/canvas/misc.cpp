// Colour values and text encoding helpers.
#include <cstdint>
#include <string>
#include <string_view>

#include "canvas_internal.h"
#include "helmert2d/canvas.h"

namespace helmert2d::canvas {
namespace {

// The fixed 16-colour palette as 0xBBGGRR values.
constexpr int kPalette[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                              0x008080, 0xC0C0C0, 0x808080, 0xFF8080, 0x80FF80, 0xFFFF80,
                              0x8080FF, 0xFF80FF, 0x00FFFF, 0xFFFFFF};

// Length of the UTF-8 sequence starting at `s[i]`, 0 when it is not valid.
std::size_t utf8_sequence(std::string_view s, std::size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  if (n == 2 && c < 0xC2) return 0;  // overlong
  for (std::size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  return n;
}

}  // namespace

std::uint32_t pixel_of(int color) {
  const auto rgb = static_cast<std::uint32_t>(converttorgb(color));
  return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

int color_of_pixel(std::uint32_t px) {
  return COLOR(static_cast<int>((px >> 16) & 0xFF), static_cast<int>((px >> 8) & 0xFF),
               static_cast<int>(px & 0xFF));
}

std::string to_utf8(std::string_view text) {
  bool valid = true;
  for (std::size_t i = 0; i < text.size() && valid;) {
    const std::size_t n = utf8_sequence(text, i);
    valid = n != 0;
    i += n;
  }
  if (valid) return std::string(text);
  std::string out;
  out.reserve(text.size() * 2);
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace helmert2d::canvas

int COLOR(int red, int green, int blue) {
  const int p = (red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16);
  for (int i = 0; i < 16; ++i)
    if (helmert2d::canvas::kPalette[i] == p) return i;
  return p | 0x03000000;
}

int converttorgb(int color) {
  if (static_cast<unsigned>(color) > 15u) return color & 0xFFFFFF;
  return helmert2d::canvas::kPalette[color];
}
