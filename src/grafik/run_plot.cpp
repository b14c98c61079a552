// The transformation run's plot: common points as red triangles, further points of the
// first file as blue circles, each with its name.
//
// A large run has a million points on a page of a few hundred thousand pixels, and
// each name is drawn in an opaque box: most names are drawn over again and again by
// later ones. The points are therefore collected as they come (the frame is drawn at
// once); a drawing thread finds the pixels of each further point's name while the run
// writes its report, and when the report is finished the names and symbols whose every
// pixel later names cover are left out. The rest are drawn in order, so the page is
// the same as when every point is drawn as it comes.
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
#include "grafik/frame.h"
#include "helmert2d/grafik.h"

namespace {

using helmert2d::canvas::PixelBox;

struct FurtherLabel {
  std::string name;
  int x, y;  // pixel of the point: the name ends and the symbol centres here
  int left = 0, top = 0, right = -1, bottom = -1;  // the name's box: pixels it sets whole
  // How far glyphs of the name reach beyond its box on each side (pixels; kFar: any
  // distance).
  std::uint8_t beyond_left = 0, beyond_top = 0, beyond_right = 0, beyond_bottom = 0;
  bool name_drawn = true, symbol_drawn = true;
};
using Batch = std::vector<FurtherLabel>;

constexpr std::size_t kBatch = 2048;  // points handed over at a time
constexpr std::size_t kQueued = 64;   // batches waiting at most (bounds the memory)
constexpr int kRadius = 2;            // of the further points' circles (pixels)
constexpr int kTriangle = 7;          // size of the common points' triangles (pixels)

// What outtextxy(v, h, text, colour) sets before each name.
void set_name_style(int color) {
  setcolor(color);
  settextjustify(2, 0);
}
const int kRed = COLOR(255, 0, 0), kBlue = COLOR(0, 0, 255);

constexpr std::uint8_t kFar = 255;
constexpr long long kFarPixels = 1LL << 40;

void find_pixels(FurtherLabel& p) {
  const helmert2d::canvas::TextPixels t = helmert2d::canvas::text_pixels(p.x, p.y, p.name);
  p.left = static_cast<int>(t.box.left);
  p.top = static_cast<int>(t.box.top);
  p.right = static_cast<int>(t.box.right);
  p.bottom = static_cast<int>(t.box.bottom);
  if (t.box.empty() && !t.reach.empty()) {
    // Only glyph parts beyond the box land on the page: nothing is set whole.
    p.left = p.x, p.top = p.y, p.right = p.x - 1, p.bottom = p.y - 1;
    p.beyond_left = p.beyond_top = p.beyond_right = p.beyond_bottom = kFar;
    return;
  }
  auto beyond = [](long long by) {
    return static_cast<std::uint8_t>(std::clamp<long long>(by, 0, kFar));
  };
  p.beyond_left = beyond(t.box.left - t.reach.left);
  p.beyond_top = beyond(t.box.top - t.reach.top);
  p.beyond_right = beyond(t.reach.right - t.box.right);
  p.beyond_bottom = beyond(t.reach.bottom - t.box.bottom);
}

// A box holding every pixel the name of `p` may set.
PixelBox reach_of(const FurtherLabel& p) {
  auto far = [](std::uint8_t by) { return by == kFar ? kFarPixels : by; };
  return {p.left - far(p.beyond_left), p.top - far(p.beyond_top), p.right + far(p.beyond_right),
          p.bottom + far(p.beyond_bottom)};
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
  Batch frame_marks;  // the frame's small triangles at the common points (no names)
  Batch common;       // the common points, their names' pixels known
  Batch filling;
  std::vector<Batch> found;  // batches of further points whose pixels are known, in order
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
    set_name_style(kBlue);
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
    const std::exception_ptr failed = std::exchange(error, nullptr);
    if (frame_marks.empty() && common.empty() && found.empty()) {
      if (failed) std::rethrow_exception(failed);
      return;
    }
    // When finding the pixels failed, some boxes are unknown: everything is drawn.
    if (!failed) leave_out_covered();
    draw();
    frame_marks.clear();
    common.clear();
    found.clear();
    if (failed) std::rethrow_exception(failed);
  }

  void leave_out_covered() {
    Coverage later(helmert2d::canvas::page_pixels());
    // Boxes of the symbols around their centre. Ucgen's triangle reaches
    // size * sqrt(3) / 4 up and down and size / 2 to either side: it lies within the
    // box of a circle of the larger of the two.
    auto triangle_box = [](int size) {
      return helmert2d::canvas::circle_pixels(
          0, 0, std::max(static_cast<int>(size * 1.7320508075688772 / 4), size / 2));
    };
    const PixelBox circle = helmert2d::canvas::circle_pixels(0, 0, kRadius);
    const PixelBox triangle = triangle_box(kTriangle);
    const PixelBox frame_triangle = triangle_box(helmert2d::grafik::kFrameTriangle);
    auto leave_out = [&later](Batch& batch, const PixelBox& c) {
      for (auto p = batch.rbegin(); p != batch.rend(); ++p) {
        // The symbol comes after its own name: only later names can cover it.
        p->symbol_drawn =
            !later.covered(p->x + c.left, p->y + c.top, p->x + c.right, p->y + c.bottom);
        // Glyph parts beyond the box are drawn over only where later boxes lie.
        const PixelBox r = reach_of(*p);
        p->name_drawn = !later.covered(r.left, r.top, r.right, r.bottom);
        later.cover(p->left, p->top, p->right, p->bottom);
      }
    };
    for (auto batch = found.rbegin(); batch != found.rend(); ++batch) leave_out(*batch, circle);
    leave_out(common, triangle);
    leave_out(frame_marks, frame_triangle);  // boxes empty: no name is drawn
    // The last point of each kind is drawn in any case, so the drawing state (colour,
    // fill and text) ends as it would.
    for (Batch* b : {&common, found.empty() ? &common : &found.back()}) {
      if (b->empty()) continue;
      b->back().name_drawn = true;
      b->back().symbol_drawn = true;
    }
  }

  void draw() {
    for (const FurtherLabel& p : frame_marks) {
      if (!p.symbol_drawn) continue;
      setcolor(kRed);
      Ucgen(p.x, p.y, helmert2d::grafik::kFrameTriangle, kRed);
    }
    for (const FurtherLabel& p : common) {
      if (p.name_drawn) {
        set_name_style(kRed);
        outtextxy(p.x, p.y, p.name);
      }
      if (p.symbol_drawn) Ucgen(p.x, p.y, kTriangle, kRed);
    }
    if (found.empty()) return;
    set_name_style(kBlue);
    for (const Batch& batch : found) {
      for (const FurtherLabel& p : batch) {
        if (p.name_drawn) outtextxy(p.x, p.y, p.name);
        if (p.symbol_drawn) circle(p.x, p.y, kRadius);  // in the colour of the names
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
  // The frame at once; Grfk's small triangle at each point, then each name in red and
  // its large triangle, when the report is finished.
  helmert2d::grafik::draw_point_frame(n, X, Y, 600, 600, 675, 0, 1000, 1.3);
  if (n < 1) return;
  set_name_style(kRed);
  drawer_->frame_marks.reserve(static_cast<std::size_t>(std::max(n, 0)));
  drawer_->common.reserve(static_cast<std::size_t>(std::max(n, 0)));
  for (int i = 1; i <= n; ++i) {
    drawer_->frame_marks.push_back({std::string(), SAG(Y[i]), YKR(X[i])});
    drawer_->common.push_back({name[i], SAG(Y[i]), YKR(X[i])});
    find_pixels(drawer_->common.back());
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
