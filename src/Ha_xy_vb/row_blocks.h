// Large report tables formatted in blocks of rows on a small pool of threads and
// written in order by the calling thread.
#ifndef HELMERT2D_SRC_HA_XY_VB_ROW_BLOCKS_H
#define HELMERT2D_SRC_HA_XY_VB_ROW_BLOCKS_H

#include <cstddef>
#include <functional>
#include <ostream>
#include <string>

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

}  // namespace helmert2d

#endif  // HELMERT2D_SRC_HA_XY_VB_ROW_BLOCKS_H
