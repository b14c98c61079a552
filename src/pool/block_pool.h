// A small pool of threads for work that splits into blocks of rows: blocks of text
// formatted in parallel and written in order by the calling thread, and independent
// ranges computed in parallel. Used by the report tables, the statistics and the result
// files; the threads live only for the length of one call.
#ifndef HELMERT2D_SRC_POOL_BLOCK_POOL_H
#define HELMERT2D_SRC_POOL_BLOCK_POOL_H

#include <cstddef>
#include <functional>
#include <ostream>
#include <span>
#include <string>

namespace helmert2d {

/// How many threads the pool uses: 0 (the default) takes the machine's hardware
/// threads, at most 8; 1 does every call's work on the calling thread. Meant for tests
/// and measurements; not to be changed while a run writes.
void set_pool_threads(unsigned threads);

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

}  // namespace helmert2d

#endif  // HELMERT2D_SRC_POOL_BLOCK_POOL_H
