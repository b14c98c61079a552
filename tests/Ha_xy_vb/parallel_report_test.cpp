// The large report tables are formatted in blocks on several threads. Whatever the
// number of threads, the report must be the same bytes as when every row goes through
// the mask writers on the stream, the stream must be left in the same state, and the
// plot must see every further point in order on the calling thread.
#include <gtest/gtest.h>

#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <locale>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Ha_xy_vb/report_sections.h"
#include "Ha_xy_vb/result_files.h"
#include "Ha_xy_vb/run.h"
#include "helmert2d/yzdr.h"
#include "support/temp_dir.h"
#include "yzdr/field_text.h"
#include "yzdr/table_rows.h"

namespace {

using namespace helmert2d;

// Restores automatic thread selection however a test ends.
struct ThreadCount {
  explicit ThreadCount(unsigned n) { set_pool_threads(n); }
  ~ThreadCount() { set_pool_threads(0); }
};

// Ends the test program with a failure when a test is still running after its time:
// a fault in the pool's hand-over of blocks shows as a wait that never ends, and it
// should fail in a minute, not at the suite's time-out.
class Deadline {
 public:
  explicit Deadline(const char* what) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    const auto limit = std::chrono::seconds(400);  // instrumented builds run far slower
#else
    const auto limit = std::chrono::seconds(90);
#endif
    watch_ = std::thread([this, what, limit] {
      std::unique_lock lock(mutex_);
      if (!done_cv_.wait_for(lock, limit, [this] { return done_; })) {
        std::fprintf(stderr, "%s did not finish within %lld s: the pool hangs\n", what,
                     static_cast<long long>(limit.count()));
        std::_Exit(1);
      }
    });
  }
  ~Deadline() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    done_cv_.notify_all();
    watch_.join();
  }
  Deadline(const Deadline&) = delete;
  Deadline& operator=(const Deadline&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable done_cv_;
  bool done_ = false;
  std::thread watch_;
};

// Values that test the rounding and the layout: exact binary ties at three and four
// decimals, negative zero and negative values that round to zero, values past the
// fast path's range, values wider than their field, and non-finite values.
const double kAwkward[] = {0.0,
                           -0.0,
                           -0.00001,
                           -0.00004,
                           0.00005,
                           0.0625,  // tie at 3 decimals
                           -0.0625,
                           1.03125,  // tie at 4 decimals
                           4524426.4375,
                           2.675,
                           1.0005,
                           123456789.00005,
                           109951162.77765,  // near 2^40 / 10^4
                           1e12 + 0.5,
                           -9.87654321e15,
                           1e300,
                           std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::quiet_NaN()};

TEST(FieldText, AppendsWhatTheMaskWritersWrite) {
  const char* const masks[] = {"####.####", "#########.###", "###########.####",
                               "#0.00",     "####.",         "########0.000"};
  for (const char fill : {' ', '*'}) {
    for (const char* mask : masks) {
      for (const double v : kAwkward) {
        std::ostringstream os;
        os.fill(fill);
        frmt(os, v, mask);
        std::string text;
        fields::append_fixed(text, v, mask_width(mask), mask_decimals(mask), fill);
        EXPECT_EQ(text, os.str()) << v << " with mask " << mask;
      }
    }
    for (const int v : {0, -7, 12345678, std::numeric_limits<int>::min()}) {
      std::ostringstream os;
      os.fill(fill);
      frmt(os, v, "#####0");
      std::string text;
      fields::append_int(text, v, 6, fill);
      EXPECT_EQ(text, os.str()) << v;
    }
    // Characters of UTF-8 names count as one column; bytes of other text count each.
    for (const std::string name : {"P1", "", "Ş01", "LONGNAME", "\xC3(", "\xF0\x9F\x98\x80x"}) {
      std::ostringstream os;
      os.fill(fill);
      frmt(os, name, "#####");
      std::string text;
      fields::append_text(text, name, 5, fill);
      EXPECT_EQ(text, os.str()) << name;
    }
  }
}

TEST(FieldText, PlainStreamsOnly) {
  struct Comma : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
  };
  const struct {
    const char* what;
    void (*set)(std::ostream&);
    bool plain;
  } cases[] = {
      {"default", [](std::ostream&) {}, true},
      {"fill", [](std::ostream& os) { os.fill('.'); }, true},
      {"right", [](std::ostream& os) { os.setf(std::ios::right, std::ios::adjustfield); }, true},
      {"fixed and precision",
       [](std::ostream& os) {
         os.setf(std::ios::fixed, std::ios::floatfield);
         os.precision(9);
       },
       true},
      {"left", [](std::ostream& os) { os.setf(std::ios::left, std::ios::adjustfield); }, false},
      {"internal", [](std::ostream& os) { os.setf(std::ios::internal, std::ios::adjustfield); },
       false},
      {"showpos", [](std::ostream& os) { os.setf(std::ios::showpos); }, false},
      {"hex", [](std::ostream& os) { os.setf(std::ios::hex, std::ios::basefield); }, false},
      {"decimal comma",
       [](std::ostream& os) { os.imbue(std::locale(std::locale::classic(), new Comma)); }, false},
  };
  for (const auto& c : cases) {
    std::ostringstream os;
    os.imbue(std::locale::classic());
    c.set(os);
    EXPECT_EQ(fields::plain_field_stream(os), c.plain) << c.what;
  }
}

// A run's lists with awkward values: n common points and m further points.
struct Tables {
  CommonPoints cp;
  Solution sol;
  std::vector<std::string> names;  // the further points' names, viewed by `further`
  std::vector<FurtherPoint> further;
};

Tables awkward_tables(int n, int m) {
  Tables t;
  const int kinds = static_cast<int>(std::size(kAwkward));
  const char* const name_kinds[] = {"", "Ş0", "LONGNAME", "\xC3(", "N"};
  t.sol.Xc.push_back(0.0);
  t.sol.Yc.push_back(0.0);
  t.sol.vx.push_back(0.0);
  t.sol.vy.push_back(0.0);
  for (int i = 1; i <= n; ++i) {
    const double v = kAwkward[i % kinds];
    const double w = kAwkward[(i * 7) % kinds];
    t.cp.add(name_kinds[i % 5] + std::to_string(i), v, -w, 4524426.4375 + i / 16.0, w);
    t.sol.Xc.push_back(v * 0.5 + i / 32.0);
    t.sol.Yc.push_back(-w);
    t.sol.vx.push_back(i % 3 == 0 ? -0.0 : -i * 1e-6);  // prints as -0.0000 or -0.0001 ...
    t.sol.vy.push_back(kAwkward[(i * 3) % kinds]);
  }
  t.names.reserve(static_cast<std::size_t>(m));
  for (int k = 0; k < m; ++k) t.names.push_back(name_kinds[k % 5] + std::to_string(k));
  for (int k = 0; k < m; ++k) {
    const double v = kAwkward[(k * 5) % kinds];
    t.further.push_back(
        {t.names[static_cast<std::size_t>(k)], v, k / 16.0, 0.0, PlanePoint{-v, 1e9 + k / 32.0}});
  }
  return t;
}

// Writes every pooled table into a stream, recording the stream's state after each.
std::string write_tables(const Tables& t, unsigned threads, char fill, bool left,
                         std::vector<std::size_t>* drawn) {
  ThreadCount count(threads);
  std::ostringstream os;
  os.imbue(std::locale::classic());
  os.fill(fill);
  if (left) os.setf(std::ios::left, std::ios::adjustfield);
  auto state = [&os] {
    // A plain insertion shows the precision and notation the table left behind.
    os << '|' << 0.1234567891 << '|' << os.width() << "\n";
  };
  write_input_listing(os, t.cp);
  state();
  write_residuals(os, t.cp, t.sol);
  state();
  write_final_list_head(os, t.cp);
  state();
  const std::thread::id caller = std::this_thread::get_id();
  write_further_rows(os, t.cp.n, t.further, [&](std::size_t first, std::size_t last) {
    EXPECT_EQ(std::this_thread::get_id(), caller);
    for (std::size_t k = first; k < last; ++k) drawn->push_back(k);
  });
  state();
  return os.str();
}

TEST(ParallelReport, TablesMatchTheRowByRowWrite) {
  const Deadline deadline("ParallelReport.TablesMatchTheRowByRowWrite");
  // Sizes around the pool's block and threshold boundaries, one far past them.
  const struct { int n, m; } sizes[] = {{3, 1}, {8191, 8193}, {8193, 2049}, {20000, 30001}};
  for (const auto& size : sizes) {
    const Tables t = awkward_tables(size.n, size.m);
    for (const char fill : {' ', '#'}) {
      for (const bool left : {false, true}) {
        std::vector<std::size_t> drawn_one, drawn_many;
        const std::string one = write_tables(t, 1, fill, left, &drawn_one);
        for (const unsigned threads : {2u, 5u}) {
          drawn_many.clear();
          const std::string many = write_tables(t, threads, fill, left, &drawn_many);
          ASSERT_EQ(many, one) << size.n << " + " << size.m << " points, " << threads
                               << " threads, fill '" << fill << "'" << (left ? ", left" : "");
          ASSERT_EQ(drawn_many, drawn_one);
        }
        ASSERT_EQ(drawn_one.size(), t.further.size());
        for (std::size_t k = 0; k < drawn_one.size(); ++k) ASSERT_EQ(drawn_one[k], k);
      }
    }
  }
}

// Records the plot calls of a run and the threads they come from.
class RecordingPlot : public RunPlot {
 public:
  void common_points(int n, const double*, const double*, const std::string*) override {
    calls.push_back("common " + std::to_string(n));
    check_thread();
  }
  void further_point(const std::string& name, double X, double Y) override {
    std::ostringstream os;
    os.precision(17);
    os << name << ' ' << X << ' ' << Y;
    calls.push_back(os.str());
    check_thread();
  }
  void report_finished() override { calls.push_back("finished"); }

  std::vector<std::string> calls;
  bool other_thread = false;

 private:
  void check_thread() { other_thread |= std::this_thread::get_id() != caller_; }
  std::thread::id caller_ = std::this_thread::get_id();
};

// A whole run of 20000 common and 12000 further points read from files, with values
// that round at a tie, names of every kind, blunders and a point far from the others.
// The result files' numbers take a short cut for values with at most three decimals;
// the text must still be exactly std::to_chars's shortest round-trip form.
TEST(ResultNumbers, ShortestFormIsToCharsForm) {
  std::vector<double> values = {
      0.001,     -0.001,           0.005,        0.01,         0.1,       0.999,  1.5,
      -2.25,     1000.0,           1e6,          1e6 + 0.001,  123.4,     0.0005, 4507733.548,
      488160.61, 999999999999.999, 1e12 - 0.001, 1e12 + 0.001, 0.1 + 0.2, 5e-324};
  values.insert(values.end(), std::begin(kAwkward), std::end(kAwkward));
  std::mt19937_64 gen(7);
  for (int i = 0; i < 200000; ++i) {
    // Millimetre values over twelve orders of magnitude, and arbitrary doubles.
    const double scale = std::pow(10.0, static_cast<double>(gen() % 13));
    const auto m = static_cast<long long>(gen() % 2000001) - 1000000;
    values.push_back(static_cast<double>(m) * scale / 1000.0);
    values.push_back(static_cast<double>(m) / 1000.0);
    values.push_back(
        std::ldexp(static_cast<double>(gen() >> 11), static_cast<int>(gen() % 80) - 60));
  }
  for (const double v : values) {
    std::string got;
    const bool finite = append_shortest(got, v);
    ASSERT_EQ(finite, std::isfinite(v)) << v;
    if (!finite) continue;
    char want[40];
    const auto res = std::to_chars(want, want + sizeof want, v);
    ASSERT_EQ(got, std::string(want, res.ptr)) << v;
  }
}

TEST(ParallelReport, WholeRunIsTheSameWithOneThreadOrMany) {
  const Deadline deadline("ParallelReport.WholeRunIsTheSameWithOneThreadOrMany");
  testsupport::TempDir dir;
  std::string one, two;
  for (int i = 0; i < 32000; ++i) {
    const std::string name = (i % 7 == 0 ? "Ş" : "P") + std::to_string(i);
    const double x = 1000.0 + (i % 1000) + i / 16.0;
    const double y = 2000.0 + (i / 1000) * 3.0 - i / 32.0;
    one += name + " " + std::to_string(x) + " " + std::to_string(y) + " 0\n";
    if (i < 20000) {
      // Small residuals of either sign, and a blunder now and then for the outlier tables.
      const double e = (i % 11 - 5) * 1e-4 + (i % 997 == 0 ? 0.5 : 0.0);
      two += name + " " + std::to_string(4524000.0 + 0.8 * x - 0.6 * y + e) + " " +
             std::to_string(414000.0 + 0.6 * x + 0.8 * y - e) + " 0\n";
    }
  }
  one += "FAR 1e9 -1e9 0\n";
  RunRequest req;
  req.file1 = dir.write("one.txt", one);
  req.file2 = dir.write("two.txt", two);
  std::string csv[2], json[2];

  auto run = [&](unsigned threads, RecordingPlot& plot) {
    ThreadCount count(threads);
    const std::string tag = std::to_string(threads);
    req.report = dir.file("report-" + tag + ".txt");
    req.csv_file = dir.file("run-" + tag + ".csv");
    req.json_file = dir.file("run-" + tag + ".json");
    std::ostringstream console;
    EXPECT_EQ(run_transformation(req, console, &plot), 0) << console.str();
    csv[threads > 1] = testsupport::read_file(req.csv_file);
    json[threads > 1] = testsupport::read_file(req.json_file);
    return testsupport::read_file(req.report);
  };
  RecordingPlot plot_one, plot_many;
  const std::string report_one = run(1, plot_one);
  const std::string report_many = run(4, plot_many);
  EXPECT_TRUE(csv[0] == csv[1]) << "CSV files differ";
  // The JSON files differ only in the time of the run and the report's name.
  auto strip = [](std::string j) {
    for (const char* key : {"\"time\":", "\"report\":"}) {
      const std::size_t at = j.find(key);
      if (at != std::string::npos) j.erase(at, j.find_first_of(",}", at) - at);
    }
    return j;
  };
  EXPECT_TRUE(strip(json[0]) == strip(json[1])) << "JSON files differ";
  // Either file alone, formatted on the pool, is as when both are written side by side.
  for (const bool with_json : {true, false}) {
    ThreadCount count(4);
    RunRequest alone = req;
    (with_json ? alone.csv_file : alone.json_file).clear();
    const std::string& file = with_json ? alone.json_file : alone.csv_file;
    std::ostringstream console;
    EXPECT_EQ(run_transformation(alone, console, nullptr), 0) << console.str();
    EXPECT_TRUE(with_json ? strip(testsupport::read_file(file)) == strip(json[1])
                          : testsupport::read_file(file) == csv[1])
        << file << " differs when written alone";
  }
  EXPECT_GT(json[0].size(), 10'000'000u);
  // A library caller gets the p-values too.
  EXPECT_NE(json[1].find("\"p_x\":0."), std::string::npos);
  EXPECT_EQ(json[1].find("\"p_x\":null"), std::string::npos);
  ASSERT_GT(report_one.size(), 5'000'000u);
  EXPECT_TRUE(report_one == report_many) << "reports differ";
  EXPECT_NE(report_one.find("<--- an outlier point"), std::string::npos);
  EXPECT_EQ(plot_many.calls, plot_one.calls);
  EXPECT_EQ(plot_many.calls.size(), 12000u + 3u);
  EXPECT_FALSE(plot_many.other_thread);
}

}  // namespace
