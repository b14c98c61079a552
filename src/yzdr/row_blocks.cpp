// The block pool: workers take the next block of rows while fewer than `window` blocks
// wait to be written, format it into that block's slot, and mark the slot ready; the
// calling thread writes the slots in block order and frees them. Memory stays at
// `window` blocks of text whatever the table's length.
#include "yzdr/row_blocks.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace helmert2d {
namespace {

constexpr std::size_t kBlockRows = 2048;          // rows per block: a few hundred kB of text
constexpr std::size_t kMinRows = 4 * kBlockRows;  // below this a single thread is as quick
constexpr std::size_t kBlocksPerThread = 4;       // blocks in flight per worker

std::atomic<unsigned> forced_threads{0};

unsigned pool_threads() {
  const unsigned forced = forced_threads.load(std::memory_order_relaxed);
  if (forced != 0) return forced;
  return std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
}

}  // namespace

void set_report_threads(unsigned threads) {
  forced_threads.store(threads, std::memory_order_relaxed);
}

namespace {

constexpr std::size_t kMaxStreams = 4;

bool write_blocks(std::span<std::ostream* const> streams, std::size_t count,
                  const FormatRowsSideBySide& format, const RowsWritten& written) {
  const unsigned threads = pool_threads();
  if (threads < 2 || count < kMinRows || streams.size() > kMaxStreams) return false;
  const std::size_t blocks = (count + kBlockRows - 1) / kBlockRows;
  const std::size_t window = std::min<std::size_t>(blocks, kBlocksPerThread * threads);

  struct Slot {
    std::string text[kMaxStreams];
    bool ready = false;
  };
  std::vector<Slot> slots(window);
  std::mutex mutex;
  std::condition_variable work_cv, ready_cv;
  std::size_t next = 0;      // the next block to format
  std::size_t consumed = 0;  // blocks written so far
  bool stop = false;
  std::exception_ptr error;

  auto worker = [&] {
    std::unique_lock lock(mutex);
    for (;;) {
      work_cv.wait(lock, [&] { return stop || next >= blocks || next < consumed + window; });
      if (stop || next >= blocks) return;
      const std::size_t b = next++;
      Slot& slot = slots[b % window];
      lock.unlock();
      try {
        for (std::string& text : slot.text) text.clear();
        format(b * kBlockRows, std::min(count, (b + 1) * kBlockRows), slot.text);
      } catch (...) {
        lock.lock();
        if (!error) error = std::current_exception();
        stop = true;
        ready_cv.notify_all();
        work_cv.notify_all();
        return;
      }
      lock.lock();
      slot.ready = true;
      ready_cv.notify_all();
    }
  };

  std::vector<std::thread> pool;
  pool.reserve(threads);
  for (unsigned t = 0; t < threads; ++t) {
    try {
      pool.emplace_back(worker);
    } catch (const std::system_error&) {
      break;  // fewer threads than asked for still do the work
    }
  }
  auto stop_pool = [&] {
    {
      std::lock_guard lock(mutex);
      stop = true;
    }
    work_cv.notify_all();
    for (std::thread& t : pool) t.join();
  };
  if (pool.empty()) return false;

  try {
    for (std::size_t b = 0; b < blocks; ++b) {
      Slot& slot = slots[b % window];
      {
        std::unique_lock lock(mutex);
        ready_cv.wait(lock, [&] { return slot.ready || stop; });
        if (!slot.ready) break;  // a worker failed
      }
      for (std::size_t s = 0; s < streams.size(); ++s) {
        const std::string& text = slot.text[s];
        streams[s]->write(text.data(), static_cast<std::streamsize>(text.size()));
      }
      if (written) written(b * kBlockRows, std::min(count, (b + 1) * kBlockRows));
      {
        std::lock_guard lock(mutex);
        slot.ready = false;
        ++consumed;
      }
      work_cv.notify_one();
    }
  } catch (...) {
    stop_pool();
    throw;
  }
  stop_pool();
  if (error) std::rethrow_exception(error);
  return true;
}

}  // namespace

bool write_row_blocks(std::ostream& os, std::size_t count, const FormatRows& format,
                      const RowsWritten& written) {
  std::ostream* const streams[] = {&os};
  return write_blocks(
      streams, count,
      [&format](std::size_t first, std::size_t last, std::string* out) {
        format(first, last, out[0]);
      },
      written);
}

bool write_row_blocks(std::span<std::ostream* const> streams, std::size_t count,
                      const FormatRowsSideBySide& format) {
  return write_blocks(streams, count, format, {});
}

void for_each_block(std::size_t count,
                    const std::function<void(std::size_t first, std::size_t last)>& work) {
  const unsigned threads = pool_threads();
  if (threads < 2 || count < kMinRows) {
    work(0, count);
    return;
  }
  const std::size_t part = (count + threads - 1) / threads;
  std::vector<std::thread> pool;
  std::vector<std::exception_ptr> errors(threads);
  std::size_t first = part;  // the calling thread takes part 0
  for (unsigned t = 1; t < threads && first < count; ++t, first += part) {
    const std::size_t last = std::min(count, first + part);
    try {
      pool.emplace_back([&work, &errors, t, first, last] {
        try {
          work(first, last);
        } catch (...) {
          errors[t] = std::current_exception();
        }
      });
    } catch (const std::system_error&) {
      break;  // no thread to spare: this thread does the rest below
    }
  }
  try {
    work(0, std::min(count, part));
    if (first < count) work(first, count);
  } catch (...) {
    errors[0] = std::current_exception();
  }
  for (std::thread& th : pool) th.join();
  for (const std::exception_ptr& e : errors) {
    if (e) std::rethrow_exception(e);
  }
}

}  // namespace helmert2d
