// The rows of a report table written through the mask writers: straight into the
// stream, or as text in blocks that the block pool formats on its threads.
#ifndef HELMERT2D_SRC_YZDR_TABLE_ROWS_H
#define HELMERT2D_SRC_YZDR_TABLE_ROWS_H

#include <cstddef>
#include <cstring>
#include <ostream>
#include <string>
#include <string_view>

#include "helmert2d/yzdr.h"
#include "pool/block_pool.h"
#include "yzdr/field_text.h"

namespace helmert2d {

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

#endif  // HELMERT2D_SRC_YZDR_TABLE_ROWS_H
