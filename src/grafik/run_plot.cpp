// The transformation run's plot: common points as red triangles, further points of the
// first file as blue circles, each with its name.
//
// A large run has a million further points on a page of a few hundred thousand
// pixels, and each name is drawn in an opaque box: most names are drawn over again and
// again by later ones. The further points are therefore collected as they come; a
// drawing thread finds the pixels of each name's box while the run writes its report,
// and when the report is finished the names (and circles) whose every pixel later
// names cover are left out. The rest are drawn in order, so the page is the same as
// when every point is drawn as it comes.
#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "canvas/overdraw.h"
#include "helmert2d/grafik.h"

namespace {

using helmert2d::canvas::PixelBox;

struct FurtherLabel {
  std::string name;
  int x, y;  // pixel of the point: the name ends and the circle centres here
  int left = 0, top = 0, right = -1, bottom = -1;  // pixels the name sets
  bool name_drawn = true, circle_drawn = true;
};
using Batch = std::vector<FurtherLabel>;

constexpr std::size_t kBatch = 2048;  // points handed over at a time
constexpr std::size_t kQueued = 64;   // batches waiting at most (bounds the memory)
constexpr int kRadius = 2;            // of the further points' circles (pixels)

// The state in which the further points are drawn: what outtextxy(v, h, text, colour)
// sets before each name.
void set_further_style() {
  setcolor(COLOR(0, 0, 255));
  settextjustify(2, 0);
}

void find_pixels(FurtherLabel& p) {
  const PixelBox b = helmert2d::canvas::text_pixels(p.x, p.y, p.name);
  p.left = static_cast<int>(b.left);
  p.top = static_cast<int>(b.top);
  p.right = static_cast<int>(b.right);
  p.bottom = static_cast<int>(b.bottom);
}

// Which pixels of the page the names drawn later set, one bit per pixel.
class Coverage {
 public:
  explicit Coverage(const PixelBox& page)
      : width_(page.right + 1),
        height_(page.bottom + 1),
        words_((width_ + 63) / 64),
        bits_(static_cast<std::size_t>(words_ * height_), 0) {}

  // Whether every pixel of the box (within the page) is set; an empty box is.
  bool covered(long long l, long long t, long long r, long long b) {
    return !visit<false>(l, t, r, b);
  }
  // Sets the box's pixels; returns whether one of them was unset.
  bool cover(long long l, long long t, long long r, long long b) { return visit<true>(l, t, r, b); }

 private:
  // Whether a pixel of the box is unset; with Set, sets them all.
  template <bool Set>
  bool visit(long long l, long long t, long long r, long long b) {
    l = std::max(l, 0LL), t = std::max(t, 0LL);
    r = std::min(r, width_ - 1), b = std::min(b, height_ - 1);
    if (l > r || t > b) return false;
    // The box's bits in each of the words it spans, the same on every row.
    const long long w0 = l / 64, w1 = r / 64;
    std::uint64_t masks[kMaxWords];
    if (w1 - w0 >= kMaxWords) return visit_wide<Set>(l, t, r, b);
    for (long long w = w0; w <= w1; ++w) masks[w - w0] = bits_between(l, r, w);
    bool found = false;
    for (long long y = t; y <= b; ++y) {
      std::uint64_t* row = bits_.data() + y * words_ + w0;
      for (long long k = 0; k <= w1 - w0; ++k) {
        const std::uint64_t fresh = masks[k] & ~row[k];
        if (fresh == 0) continue;
        if (!Set) return true;
        found = true;
        row[k] |= fresh;
      }
    }
    return found;
  }

  // The same for a box wider than kMaxWords words, word by word.
  template <bool Set>
  bool visit_wide(long long l, long long t, long long r, long long b) {
    bool found = false;
    for (long long y = t; y <= b; ++y) {
      std::uint64_t* row = bits_.data() + y * words_;
      for (long long w = l / 64; w <= r / 64; ++w) {
        const std::uint64_t fresh = bits_between(l, r, w) & ~row[w];
        if (fresh == 0) continue;
        if (!Set) return true;
        found = true;
        row[w] |= fresh;
      }
    }
    return found;
  }

  // The bits of pixels l..r that fall in word w of a row.
  static std::uint64_t bits_between(long long l, long long r, long long w) {
    const long long from = std::max(l, w * 64) - w * 64;
    const long long to = std::min(r, w * 64 + 63) - w * 64;
    return (to - from == 63 ? ~0ULL : ((1ULL << (to - from + 1)) - 1)) << from;
  }

  static constexpr long long kMaxWords = 4;
  long long width_, height_, words_;
  std::vector<std::uint64_t> bits_;
};

}  // namespace

struct GrafikRunPlot::Drawer {
  Batch filling;
  std::vector<Batch> found;  // batches whose pixels are known, in order
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Batch> queue;
  bool closing = false;
  bool styled = false;
  std::exception_ptr error;
  std::thread thread;  // started with the first full batch

  void run() {
    for (;;) {
      Batch batch;
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return closing || !queue.empty(); });
        if (queue.empty()) return;
        batch = std::move(queue.front());
        queue.pop_front();
      }
      changed.notify_all();
      try {
        for (FurtherLabel& p : batch) find_pixels(p);
      } catch (...) {
        std::lock_guard lock(mutex);
        if (!error) error = std::current_exception();
      }
      found.push_back(std::move(batch));
    }
  }

  void style_once() {
    if (styled) return;
    styled = true;
    set_further_style();
  }

  // Hands the filled batch to the drawing thread; finds its pixels here when no
  // thread can be started.
  void hand_over() {
    style_once();
    if (!thread.joinable() && !closing) {
      try {
        thread = std::thread([this] { run(); });
      } catch (const std::system_error&) {
        closing = true;  // no thread: every batch is done here
      }
    }
    if (closing) {
      for (FurtherLabel& p : filling) find_pixels(p);
      found.push_back(std::move(filling));
    } else {
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return queue.size() < kQueued; });
        queue.push_back(std::move(filling));
      }
      changed.notify_all();
    }
    filling = Batch{};
    filling.reserve(kBatch);
  }

  // Waits for the thread, leaves out what later names cover and draws the rest.
  void finish() {
    if (thread.joinable()) {
      {
        std::lock_guard lock(mutex);
        closing = true;
      }
      changed.notify_all();
      thread.join();
    }
    closing = true;
    if (!filling.empty()) hand_over();
    if (error) std::rethrow_exception(std::exchange(error, nullptr));
    if (found.empty()) return;
    leave_out_covered();
    draw();
    found.clear();
  }

  void leave_out_covered() {
    Coverage later(helmert2d::canvas::page_pixels());
    const PixelBox c = helmert2d::canvas::circle_pixels(0, 0, kRadius);  // around (0, 0)
    for (auto batch = found.rbegin(); batch != found.rend(); ++batch) {
      for (auto p = batch->rbegin(); p != batch->rend(); ++p) {
        // The circle comes after its own name: only later names can cover it.
        p->circle_drawn =
            !later.covered(p->x + c.left, p->y + c.top, p->x + c.right, p->y + c.bottom);
        p->name_drawn = later.cover(p->left, p->top, p->right, p->bottom);
      }
    }
    // The last name is drawn in any case, so the text state ends as it would.
    found.back().back().name_drawn = true;
  }

  void draw() {
    for (const Batch& batch : found) {
      for (const FurtherLabel& p : batch) {
        if (p.name_drawn) outtextxy(p.x, p.y, p.name);
        if (p.circle_drawn) circle(p.x, p.y, kRadius);  // in the colour of the names
      }
    }
  }
};

GrafikRunPlot::GrafikRunPlot() : drawer_(std::make_unique<Drawer>()) {}

GrafikRunPlot::~GrafikRunPlot() {
  drain();
  if (holding_) canvas_close_release();
}

void GrafikRunPlot::common_points(int n, const double* X, const double* Y,
                                  const std::string* name) {
  // The report is still being written: a window close waits until it is complete.
  canvas_close_hold();
  holding_ = true;
  opened_ = true;
  Grfk(n, X, Y, 600, 600, 675, 0, 1000, 1.3);
  const int red = COLOR(255, 0, 0);
  for (int i = 1; i <= n; ++i) {
    outtextxy(X[i], Y[i], name[i], red);
    Ucgen(SAG(Y[i]), YKR(X[i]), 7, red);
  }
}

void GrafikRunPlot::further_point(const std::string& name, double X, double Y) {
  // outtextxy(X, Y, name, blue) and circle(SAG(Y), YKR(X), 2) use the same pixel.
  drawer_->filling.push_back({name, SAG(Y), YKR(X)});
  if (drawer_->filling.size() >= kBatch) drawer_->hand_over();
}

void GrafikRunPlot::drain() {
  if (!drawer_) return;
  try {
    drawer_->finish();
  } catch (...) {
    // Drawing failed; what could be drawn is on the page.
  }
}

void GrafikRunPlot::report_finished() {
  drawer_->finish();
  if (holding_) {
    holding_ = false;
    canvas_close_release();
  }
}
