// Text of the result files, built in a buffer of its own and handed on in large pieces:
// to a stream, or to a block of rows formatted on a pool thread. Literal pieces are
// copied with their length known when compiled and numbers are written in place, so a
// row of twenty fields costs no call per field.
#ifndef HELMERT2D_SRC_HA_XY_VB_TEXT_SINK_H
#define HELMERT2D_SRC_HA_XY_VB_TEXT_SINK_H

#include <cstddef>
#include <cstring>
#include <ostream>
#include <string>
#include <string_view>

namespace helmert2d {

/// Writes the shortest decimal text that reads back as the finite double `v` at `out`
/// (room for 32 characters) and returns the end, as std::to_chars does.
char* write_shortest(char* out, double v);
/// The same for a value read from a file: one with at most three decimals is written
/// without the digit search (the text is the same).
char* write_given(char* out, double v);

class TextSink {
 public:
  explicit TextSink(std::ostream& out) : out_(&out), block_(nullptr) {}
  explicit TextSink(std::string& block) : out_(nullptr), block_(&block) {}
  ~TextSink() { flush(); }
  TextSink(const TextSink&) = delete;
  TextSink& operator=(const TextSink&) = delete;

  template <std::size_t N>
  TextSink& raw(const char (&s)[N]) {
    return put(s, N - 1);
  }
  TextSink& raw(std::string_view s) { return put(s.data(), s.size()); }
  TextSink& put(const char* s, std::size_t n) {
    if (n > kRoom) {
      flush();
      pass_on(s, n);
      return *this;
    }
    room(n);
    std::memcpy(end_, s, n);
    end_ += n;
    return *this;
  }
  TextSink& put(char c) {
    room(1);
    *end_++ = c;
    return *this;
  }
  /// A finite number in its shortest form, or `absent` ("null", or nothing).
  TextSink& number(double v, std::string_view absent = "null") {
    if (!finite(v)) return raw(absent);
    room(kNumber);
    end_ = write_shortest(end_, v);
    return *this;
  }
  /// As number, for a value read from a file.
  TextSink& given(double v, std::string_view absent = "null") {
    if (!finite(v)) return raw(absent);
    room(kNumber);
    end_ = write_given(end_, v);
    return *this;
  }
  /// Hands what is buffered on.
  void flush() {
    pass_on(buf_, static_cast<std::size_t>(end_ - buf_));
    end_ = buf_;
  }
  std::ostream* stream() const { return out_; }

 private:
  static constexpr std::size_t kSize = 1 << 16;
  static constexpr std::size_t kNumber = 32;
  static constexpr std::size_t kRoom = kSize / 2;  // larger pieces bypass the buffer

  static bool finite(double v) { return v - v == 0.0; }
  void room(std::size_t n) {
    if (static_cast<std::size_t>(buf_ + kSize - end_) < n) flush();
  }
  void pass_on(const char* s, std::size_t n) {
    if (n == 0) return;
    if (out_ != nullptr) {
      out_->write(s, static_cast<std::streamsize>(n));
    } else {
      block_->append(s, n);
    }
  }

  std::ostream* out_;
  std::string* block_;
  char buf_[kSize];
  char* end_ = buf_;
};

}  // namespace helmert2d

#endif  // HELMERT2D_SRC_HA_XY_VB_TEXT_SINK_H
