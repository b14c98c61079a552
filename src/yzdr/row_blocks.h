// Large report tables formatted in blocks of rows on a small pool of threads and
// written in order by the calling thread.
#ifndef HELMERT2D_SRC_YZDR_ROW_BLOCKS_H
#define HELMERT2D_SRC_YZDR_ROW_BLOCKS_H

#include <cstddef>
#include <cstring>
#include <functional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "helmert2d/yzdr.h"
#include "yzdr/field_text.h"

namespace helmert2d {

/// How many threads format a large table: 0 (the default) takes the machine's hardware
/// threads, at most 8; 1 writes every row on the calling thread straight into the
/// stream. Meant for tests and measurements; not to be changed while a run writes.
void set_report_threads(unsigned threads);

/// Appends the text of rows [first, last) of a table to `out`. Called on pool threads,
/// so it may only read shared data.
using FormatRows = std::function<void(std::size_t first, std::size_t last, std::string& out)>;
/// Called on the writing thread once rows [first, last) are in the stream, in order.
using RowsWritten = std::function<void(std::size_t first, std::size_t last)>;

/// Formats rows [0, count) in blocks on the pool and writes the blocks into `os` in
/// order, calling `written` (when set) after each. Returns false, having written
/// nothing, when the table is too small to gain from threads or the pool is switched
/// off (one thread); the caller then writes the rows itself. An exception from
/// `format` or `written` stops the pool and is passed on.
bool write_row_blocks(std::ostream& os, std::size_t count, const FormatRows& format,
                      const RowsWritten& written);

/// Appends the texts of rows [first, last) of tables that are written side by side, one
/// per stream: out[s] (0-based, as the streams) takes the rows' text for stream s.
/// Called on pool threads, so it may only read shared data.
using FormatRowsSideBySide =
    std::function<void(std::size_t first, std::size_t last, std::string* out)>;

/// As write_row_blocks, for tables whose rows come from the same data and go to several
/// streams (at most 4): each block is formatted once for all of them, so that values the
/// tables share are formatted once, and written into each stream in order.
bool write_row_blocks(std::span<std::ostream* const> streams, std::size_t count,
                      const FormatRowsSideBySide& format);

/// Runs work(first, last) over contiguous parts of [0, count) on the pool's threads
/// and returns when all are done; small ranges, and a pool of one thread, run on the
/// calling thread. `work` may only write what its own part owns. An exception from
/// `work` is passed on after every part has ended.
void for_each_block(std::size_t count,
                    const std::function<void(std::size_t first, std::size_t last)>& work);

/// The fields of a table row written straight into the stream through frmt.
struct StreamFields {
  std::ostream& os;
  void number(double v, const char* mask) { frmt(os, v, mask); }
  void integer(int v, const char* mask) { frmt(os, v, mask); }
  void text(std::string_view t, const char* mask) { frmt(os, std::string(t), mask); }
  void put(std::string_view s) { os << s; }
};

/// The same fields appended to a block of text, as frmt would write them into a plain
/// stream with the given fill.
struct TextFields {
  std::string& out;
  char fill;
  static int width(const char* mask) { return static_cast<int>(std::strlen(mask)); }
  static int decimals(const char* mask) {
    const char* dot = std::strrchr(mask, '.');
    return dot == nullptr ? 0 : static_cast<int>(std::strlen(dot + 1));
  }
  void number(double v, const char* mask) {
    fields::append_fixed(out, v, width(mask), decimals(mask), fill);
  }
  void integer(int v, const char* mask) { fields::append_int(out, v, width(mask), fill); }
  void text(std::string_view t, const char* mask) {
    fields::append_text(out, t, width(mask), fill);
  }
  void put(std::string_view s) { out += s; }
};

/// Writes rows [0, count) of a table: row(fields, i) writes row i through the fields'
/// number, integer, text and put, given StreamFields or TextFields. A long table on a
/// plain stream is formatted in blocks on the pool; its last row still goes through
/// frmt on the stream, so the stream is left in the state the mask writers leave. A
/// row's text does not depend on the rows before it, since on a plain stream the
/// writers read only the fill, the adjustment and the flags that they never change.
/// `written`, when set, is called as for write_row_blocks (row by row otherwise).
template <class Row>
void write_table_rows(std::ostream& os, std::size_t count, const Row& row,
                      const RowsWritten& written = {}) {
  std::size_t done = 0;
  if (count > 1 && fields::plain_field_stream(os)) {
    const char fill = os.fill();
    const FormatRows format = [&row, fill](std::size_t first, std::size_t last, std::string& out) {
      TextFields f{out, fill};
      for (std::size_t i = first; i < last; ++i) row(f, i);
    };
    if (write_row_blocks(os, count - 1, format, written)) done = count - 1;
  }
  StreamFields f{os};
  for (std::size_t i = done; i < count; ++i) {
    row(f, i);
    if (written) written(i, i + 1);
  }
}

}  // namespace helmert2d

#endif  // HELMERT2D_SRC_YZDR_ROW_BLOCKS_H
