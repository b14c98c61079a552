// Glyph cache of the canvas text.
//
// Text is drawn without antialiasing and with hinted metrics, so cairo renders every
// glyph as a two-level mask placed at a whole-pixel pen position, and the pixels of a
// string are the union of its glyphs' pixels. A glyph rendered once at a whole-pixel
// origin therefore reproduces cairo's pixels anywhere along any text. Each glyph is
// checked for this when it is rendered: a mask with partial coverage, a vertical
// advance, or a mask that reaches the edge of its surface marks the glyph inexact, and
// texts holding it go through cairo's text path instead, as do texts whose pen
// positions stray from whole pixels.
//
// The glyphs of a font are kept with cairo's scaled font (as its user data), so they
// live as long as cairo keeps the font.
#include "glyph_cache.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace helmert2d::canvas {
namespace {

// Tallest cell whose glyphs are cached; taller text is rare and goes through cairo.
constexpr int kMaxCachedCell = 512;
// Largest glyph surface rendered, in pixels.
constexpr long long kMaxMaskArea = 1LL << 22;
// Largest distance of a pen position from a whole pixel drawn from the cache.
constexpr double kNearWhole = 1.0 / 64;
// Code points below this are held in a table; the rest in a hash map.
constexpr char32_t kTable = 0x180;

std::atomic<bool> cache_on{true};
std::atomic<std::uint64_t> cached_texts{0};
std::atomic<std::uint64_t> cairo_texts{0};

struct GlyphSet {
  std::mutex mutex;
  std::array<CachedGlyph, kTable> table;
  std::unordered_map<char32_t, CachedGlyph> others;

  CachedGlyph& slot(char32_t cp) { return cp < kTable ? table[cp] : others[cp]; }
};

const cairo_user_data_key_t kSetKey{};

// The glyph set kept with `font`, made on first use; nullptr when cairo refuses it.
GlyphSet* set_of(cairo_scaled_font_t* font) {
  static std::mutex attach_mutex;
  std::lock_guard<std::mutex> guard(attach_mutex);
  auto* set = static_cast<GlyphSet*>(cairo_scaled_font_get_user_data(font, &kSetKey));
  if (set != nullptr) return set;
  auto made = std::make_unique<GlyphSet>();
  if (cairo_scaled_font_set_user_data(font, &kSetKey, made.get(), [](void* p) {
        delete static_cast<GlyphSet*>(p);
      }) != CAIRO_STATUS_SUCCESS)
    return nullptr;
  return made.release();
}

// Reads the next code point of `s` from `i` as cairo reads UTF-8; false for anything
// cairo would refuse (and for NUL, which ends the text when its width is measured).
bool next_code_point(std::string_view s, std::size_t& i, char32_t& cp) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = byte(i);
  std::size_t n;
  char32_t min;
  if (c < 0x80) {
    n = 1, cp = c, min = 1;
  } else if ((c & 0xE0) == 0xC0) {
    n = 2, cp = c & 0x1F, min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    n = 3, cp = c & 0x0F, min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    n = 4, cp = c & 0x07, min = 0x10000;
  } else {
    return false;
  }
  if (i + n > s.size()) return false;
  for (std::size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  i += n;
  // Overlong forms, surrogates, non-characters and values beyond Unicode.
  return cp >= min && cp < 0x110000 && (cp & 0xFFFFF800) != 0xD800 &&
         (cp < 0xFDD0 || cp > 0xFDEF) && (cp & 0xFFFE) != 0xFFFE;
}

std::size_t encode(char32_t cp, char* out) {
  if (cp < 0x80) {
    out[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<char>(0xC0 | (cp >> 6));
    out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (cp >> 18));
  out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}

// Renders code point `cp` of `font` into `g`, marking it exact only when its runs
// reproduce cairo's pixels (see the top of the file).
void render(cairo_scaled_font_t* font, int cell_height, char32_t cp, CachedGlyph& g) {
  g.ready = true;
  char utf8[4];
  cairo_glyph_t* glyphs = nullptr;
  int count = 0;
  if (cairo_scaled_font_text_to_glyphs(font, 0, 0, utf8, static_cast<int>(encode(cp, utf8)),
                                       &glyphs, &count, nullptr, nullptr,
                                       nullptr) != CAIRO_STATUS_SUCCESS) {
    return;
  }
  cairo_glyph_t glyph{};
  if (count == 1) glyph = glyphs[0];
  cairo_glyph_free(glyphs);
  if (count != 1) return;

  cairo_text_extents_t te;
  cairo_scaled_font_glyph_extents(font, &glyph, 1, &te);
  if (cairo_scaled_font_status(font) != CAIRO_STATUS_SUCCESS) return;
  g.advance = te.x_advance;
  // The text's pen positions must stay on the baseline.
  if (!std::isfinite(te.x_advance) || te.y_advance != 0) return;

  // The ink box with a margin on every side; the origin on whole pixels.
  const int pad = 4 + cell_height / 4;
  const double left = std::floor(te.x_bearing), top = std::floor(te.y_bearing);
  const double right = std::ceil(te.x_bearing + te.width);
  const double bottom = std::ceil(te.y_bearing + te.height);
  if (!(right - left < kMaxCachedCell * 16.0 && bottom - top < kMaxCachedCell * 16.0)) return;
  const int sw = static_cast<int>(right - left) + 2 * pad;
  const int sh = static_cast<int>(bottom - top) + 2 * pad;
  if (static_cast<long long>(sw) * sh > kMaxMaskArea) return;
  const int ox = pad - static_cast<int>(left), oy = pad - static_cast<int>(top);

  cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, sw, sh);
  if (cairo_surface_status(mask) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(mask);
    return;
  }
  cairo_t* c = cairo_create(mask);
  cairo_set_antialias(c, CAIRO_ANTIALIAS_NONE);
  cairo_set_source_rgb(c, 0, 0, 0);
  cairo_set_scaled_font(c, font);
  glyph.x = ox;
  glyph.y = oy;
  cairo_show_glyphs(c, &glyph, 1);
  const bool drawn = cairo_status(c) == CAIRO_STATUS_SUCCESS;
  cairo_destroy(c);
  const bool exact = drawn && covered_runs(mask, sw, sh, ox, oy, g.runs);
  cairo_surface_destroy(mask);
  if (!exact) g.runs.clear();
  g.exact = exact;
  for (std::size_t k = 0; k < g.runs.size(); ++k) {
    const GlyphRun& r = g.runs[k];
    const bool first = k == 0;
    g.left = first ? r.dx : std::min(g.left, r.dx);
    g.right = first ? r.dx + r.length - 1 : std::max(g.right, r.dx + r.length - 1);
    g.top = first ? r.dy : std::min(g.top, r.dy);
    g.bottom = first ? r.dy : std::max(g.bottom, r.dy);
  }
}

}  // namespace

bool covered_runs(cairo_surface_t* mask, int width, int height, int ox, int oy,
                  std::vector<GlyphRun>& runs) {
  cairo_surface_flush(mask);
  const unsigned char* data = cairo_image_surface_get_data(mask);
  const int stride = cairo_image_surface_get_stride(mask);
  for (int y = 0; y < height; ++y) {
    const unsigned char* row = data + static_cast<std::ptrdiff_t>(y) * stride;
    for (int x = 0; x < width;) {
      if (row[x] == 0) {
        ++x;
        continue;
      }
      const int start = x;
      while (x < width && row[x] == 0xFF) ++x;
      if (x == start || start == 0 || x == width || y == 0 || y == height - 1) return false;
      runs.push_back({y - oy, start - ox, x - start});
    }
  }
  return true;
}

bool lay_out_text(cairo_scaled_font_t* font, int cell_height, std::string_view text,
                  std::vector<PlacedGlyph>& out, int& width) {
  out.clear();
  if (!cache_on.load(std::memory_order_relaxed) || cell_height <= 0 || cell_height > kMaxCachedCell)
    return false;
  GlyphSet* set = set_of(font);
  if (set == nullptr) return false;
  std::lock_guard<std::mutex> guard(set->mutex);
  // Pen positions summed as cairo sums them; cairo draws each glyph at its position
  // rounded to a whole pixel, which is only reproduced for positions near one (hinted
  // advances are whole pixels up to the rounding of the font matrix).
  double pen = 0;
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp;
    if (!next_code_point(text, i, cp)) return false;
    CachedGlyph& g = set->slot(cp);
    if (!g.ready) render(font, cell_height, cp, g);
    if (!g.exact) return false;
    const double x = std::floor(pen + 0.5);
    if (!(std::abs(pen - x) < kNearWhole)) return false;
    out.push_back({&g, static_cast<long long>(x)});
    pen += g.advance;
  }
  width = static_cast<int>(std::lround(pen));
  return true;
}

void set_glyph_cache(bool on) {
  cache_on.store(on);
}

bool glyph_cache_on() {
  return cache_on.load();
}

GlyphCacheCounts glyph_cache_counts() {
  return {cached_texts.load(), cairo_texts.load()};
}

void count_text(bool cached) {
  (cached ? cached_texts : cairo_texts).fetch_add(1, std::memory_order_relaxed);
}

}  // namespace helmert2d::canvas
