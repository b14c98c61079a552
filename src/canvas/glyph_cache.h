// Glyph cache of the canvas text: each glyph of a scaled font is rendered once by
// cairo into a coverage mask, kept with the font, and text is laid out and drawn from
// the cached masks instead of going through cairo's text path for every string.
#ifndef HELMERT2D_CANVAS_GLYPH_CACHE_H
#define HELMERT2D_CANVAS_GLYPH_CACHE_H

#include <cairo.h>

#include <cstdint>
#include <string_view>
#include <vector>

namespace helmert2d::canvas {

/// Covered pixels of a glyph on one row: `length` pixels from `dx` to the right of the
/// pen position, `dy` rows below the baseline (negative: above).
struct GlyphRun {
  int dy, dx, length;
};

/// The fully covered pixels of the A8 `mask` (width by height) as runs, relative to
/// pixel (ox, oy), appended to `runs`. False, with `runs` left partly filled, when a
/// pixel is partly covered or ink touches the mask's edge (and may have been cut off):
/// the runs would then not reproduce cairo's pixels.
bool covered_runs(cairo_surface_t* mask, int width, int height, int ox, int oy,
                  std::vector<GlyphRun>& runs);

/// A glyph rendered once: cairo's advance and the pixels its rendering covers.
struct CachedGlyph {
  bool ready = false;
  /// Drawing `runs` at the pen position reproduces cairo's pixels exactly.
  bool exact = false;
  double advance = 0;
  std::vector<GlyphRun> runs;
  /// The box of the runs' pixels relative to the pen position (as in GlyphRun), edges
  /// included; empty (left > right) for a glyph without ink.
  int left = 0, top = 0, right = -1, bottom = -1;
};

/// A glyph placed on the text's baseline, `x` pixels from the start of the text.
struct PlacedGlyph {
  const CachedGlyph* glyph;
  long long x;
};

/// Lays out UTF-8 `text` in `font` (cells `cell_height` pixels tall) from cached glyphs:
/// fills `out` and sets `width` to the rounded advance of the whole text, as cairo's text
/// extents give it. False when the text must go through cairo's own path: the cache is
/// off, the cell is too tall to cache, the text holds something cairo would read
/// differently, or a glyph cannot be reproduced from its mask.
bool lay_out_text(cairo_scaled_font_t* font, int cell_height, std::string_view text,
                  std::vector<PlacedGlyph>& out, int& width);

/// Turns the cache on or off (it is on by default); texts drawn with it off go through
/// cairo's text path, the reference for the cached pixels.
void set_glyph_cache(bool on);
bool glyph_cache_on();

/// Texts drawn since the start of the process, from the cache and through cairo.
struct GlyphCacheCounts {
  std::uint64_t cached = 0;
  std::uint64_t through_cairo = 0;
};
GlyphCacheCounts glyph_cache_counts();
/// Counts a text drawn from the cache (true) or through cairo (false).
void count_text(bool cached);

}  // namespace helmert2d::canvas

#endif  // HELMERT2D_CANVAS_GLYPH_CACHE_H
