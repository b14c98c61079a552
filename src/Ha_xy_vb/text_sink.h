// Text of the result files, built in a buffer of its own and handed on in large pieces:
// to a stream, or to a block of rows formatted on a pool thread. Literal pieces are
// copied with their length known when compiled and numbers are written in place, so a
// row of twenty fields costs no call per field.
#ifndef HELMERT2D_SRC_HA_XY_VB_TEXT_SINK_H
#define HELMERT2D_SRC_HA_XY_VB_TEXT_SINK_H

#include <cstddef>
#include <cstring>
#include <exception>
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
  /// Hands on what is still buffered, unless an exception is on its way out (out of
  /// memory, say): that output is abandoned anyway, and a second exception from here
  /// would end the program. Writers whose block may fail to grow call flush() first.
  ~TextSink() {
    if (std::uncaught_exceptions() == uncaught_) flush();
  }
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
  /// Room for `n` (at most 32768) characters: returns where they go. The caller writes
  /// them and then hands the end of what it wrote to advance().
  char* reserve(std::size_t n) {
    room(n);
    return end_;
  }
  void advance(char* end) { end_ = end; }
  /// Hands what is buffered on.
  void flush() {
    pass_on(buf_, static_cast<std::size_t>(end_ - buf_));
    end_ = buf_;
  }

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
  int uncaught_ = std::uncaught_exceptions();
};

/// A number written once for several files: its text, or no text when not finite.
struct NumberText {
  char text[32];
  unsigned char size = 0;  ///< 0 when the number is not finite

  void shortest(double v) { size = finite(v) ? length(write_shortest(text, v)) : 0; }
  void given(double v) { size = finite(v) ? length(write_given(text, v)) : 0; }

 private:
  static bool finite(double v) { return v - v == 0.0; }
  unsigned char length(const char* end) const { return static_cast<unsigned char>(end - text); }
};

/// One row of a result file written through room reserved once for the whole row, so
/// that its pieces cost no check each. `room` must cover everything written through it.
class RowCursor {
 public:
  RowCursor(TextSink& sink, std::size_t room) : sink_(sink), p_(sink.reserve(room)) {}
  ~RowCursor() { sink_.advance(p_); }
  RowCursor(const RowCursor&) = delete;
  RowCursor& operator=(const RowCursor&) = delete;

  template <std::size_t N>
  RowCursor& raw(const char (&s)[N]) {
    std::memcpy(p_, s, N - 1);
    p_ += N - 1;
    return *this;
  }
  RowCursor& raw(std::string_view s) {
    std::memcpy(p_, s.data(), s.size());
    p_ += s.size();
    return *this;
  }
  /// A finite number in its shortest form, or `absent`.
  RowCursor& number(double v, std::string_view absent) {
    if (v - v != 0.0) return raw(absent);
    p_ = write_shortest(p_, v);
    return *this;
  }
  /// As number, for a value read from a file.
  RowCursor& given(double v, std::string_view absent) {
    if (v - v != 0.0) return raw(absent);
    p_ = write_given(p_, v);
    return *this;
  }
  RowCursor& number(const NumberText& t, std::string_view absent) {
    if (t.size == 0) return raw(absent);
    std::memcpy(p_, t.text, 32);  // a fixed length copies without a call
    p_ += t.size;
    return *this;
  }
  RowCursor& boolean(bool b) { return b ? raw("true") : raw("false"); }

 private:
  TextSink& sink_;
  char* p_;
};

}  // namespace helmert2d

#endif  // HELMERT2D_SRC_HA_XY_VB_TEXT_SINK_H
