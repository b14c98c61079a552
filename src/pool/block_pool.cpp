// The block pool: workers take the next block of rows while fewer than `window` blocks
// wait to be written, format it into that block's slot, and mark the slot ready; the
// calling thread writes the slots in block order and frees them. Memory stays at
// `window` blocks of text whatever the table's length.
#include "pool/block_pool.h"

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
constexpr std::size_t kMaxStreams = 4;

std::atomic<unsigned> forced_threads{0};

unsigned pool_threads() {
  const unsigned forced = forced_threads.load(std::memory_order_relaxed);
  if (forced != 0) return forced;
  return std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
}

// The blocks of one table between the workers that format them and the thread that
// writes them. Every member but the slots' text is guarded by `mutex`; a slot's text
// belongs to the worker that took its block until it is marked ready, then to the
// writing thread until it is freed.
class BlockHandOver {
 public:
  struct Slot {
    std::string text[kMaxStreams];
    bool ready = false;
  };

  BlockHandOver(std::size_t count, std::size_t window, const FormatRowsSideBySide& format)
      : count_(count),
        blocks_((count + kBlockRows - 1) / kBlockRows),
        window_(window),
        format_(format),
        slots_(window) {}

  std::size_t blocks() const { return blocks_; }
  std::size_t first_row(std::size_t b) const { return b * kBlockRows; }
  std::size_t end_row(std::size_t b) const { return std::min(count_, (b + 1) * kBlockRows); }

  // A worker's loop: formats blocks until none is left or the pool stops.
  void work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      work_cv_.wait(lock, [&] { return stop_ || next_ >= blocks_ || next_ < consumed_ + window_; });
      if (stop_ || next_ >= blocks_) return;
      const std::size_t b = next_++;
      Slot& slot = slots_[b % window_];
      lock.unlock();
      try {
        for (std::string& text : slot.text) text.clear();
        format_(first_row(b), end_row(b), slot.text);
      } catch (...) {
        lock.lock();
        if (!error_) error_ = std::current_exception();
        stop_ = true;
        ready_cv_.notify_all();
        work_cv_.notify_all();
        return;
      }
      lock.lock();
      slot.ready = true;
      ready_cv_.notify_all();
    }
  }

  // Waits until block b is formatted; null when a worker failed instead.
  const Slot* wait_ready(std::size_t b) {
    Slot& slot = slots_[b % window_];
    std::unique_lock lock(mutex_);
    ready_cv_.wait(lock, [&] { return slot.ready || stop_; });
    return slot.ready ? &slot : nullptr;
  }

  // Frees block b's slot for the next block once it is written.
  void release(std::size_t b) {
    {
      std::lock_guard lock(mutex_);
      slots_[b % window_].ready = false;
      ++consumed_;
    }
    work_cv_.notify_one();
  }

  // Tells the workers to end; they return at their next look at the work.
  void stop() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    work_cv_.notify_all();
  }

  // The first exception a worker met, if any; read after the workers have ended.
  std::exception_ptr error() const { return error_; }

 private:
  const std::size_t count_;
  const std::size_t blocks_;
  const std::size_t window_;
  const FormatRowsSideBySide& format_;
  std::vector<Slot> slots_;
  std::mutex mutex_;
  std::condition_variable work_cv_, ready_cv_;
  std::size_t next_ = 0;      // the next block to format
  std::size_t consumed_ = 0;  // blocks written so far
  bool stop_ = false;
  std::exception_ptr error_;
};

// Starts up to `threads` workers; fewer when the system has no more to give.
std::vector<std::thread> start_workers(unsigned threads, BlockHandOver& hand_over) {
  std::vector<std::thread> pool;
  pool.reserve(threads);
  for (unsigned t = 0; t < threads; ++t) {
    try {
      pool.emplace_back([&hand_over] { hand_over.work(); });
    } catch (const std::system_error&) {
      break;  // fewer threads than asked for still do the work
    }
  }
  return pool;
}

// Writes the blocks into the streams in order as they become ready; stops at the first
// block a worker failed to format.
void write_in_order(BlockHandOver& hand_over, std::span<std::ostream* const> streams,
                    const RowsWritten& written) {
  for (std::size_t b = 0; b < hand_over.blocks(); ++b) {
    const BlockHandOver::Slot* slot = hand_over.wait_ready(b);
    if (slot == nullptr) return;  // a worker failed
    for (std::size_t s = 0; s < streams.size(); ++s) {
      const std::string& text = slot->text[s];
      streams[s]->write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    if (written) written(hand_over.first_row(b), hand_over.end_row(b));
    hand_over.release(b);
  }
}

bool write_blocks(std::span<std::ostream* const> streams, std::size_t count,
                  const FormatRowsSideBySide& format, const RowsWritten& written) {
  const unsigned threads = pool_threads();
  if (threads < 2 || count < kMinRows || streams.size() > kMaxStreams) return false;
  const std::size_t blocks = (count + kBlockRows - 1) / kBlockRows;
  BlockHandOver hand_over(count, std::min<std::size_t>(blocks, kBlocksPerThread * threads), format);
  std::vector<std::thread> pool = start_workers(threads, hand_over);
  if (pool.empty()) return false;
  auto stop_pool = [&] {
    hand_over.stop();
    for (std::thread& t : pool) t.join();
  };
  try {
    write_in_order(hand_over, streams, written);
  } catch (...) {
    stop_pool();
    throw;
  }
  stop_pool();
  if (hand_over.error()) std::rethrow_exception(hand_over.error());
  return true;
}

}  // namespace

void set_pool_threads(unsigned threads) {
  forced_threads.store(threads, std::memory_order_relaxed);
}

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
