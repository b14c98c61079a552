// Mask-driven writers: every number and column text of the report goes through them.
//
// The common case (a stream with the classic locale and no showpos, showpoint,
// uppercase or non-decimal base flag) is formatted with std::to_chars, which rounds
// exactly as the stream's own printf-based insertion does; any other stream state
// takes the stream's standard insertion so the result is always what the stream
// would print.
#include <charconv>
#include <cstring>
#include <iostream>
#include <locale>

#include "helmert2d/yzdr.h"

namespace {

constexpr std::ios::fmtflags kSpecialFlags =
    std::ios::showpos | std::ios::showpoint | std::ios::uppercase | std::ios::showbase;

bool fast_numbers(const std::ostream& os) {
  const std::ios::fmtflags flags = os.flags();
  if ((flags & kSpecialFlags) != 0) return false;
  const std::ios::fmtflags base = flags & std::ios::basefield;
  if (base != std::ios::dec && base != std::ios::fmtflags{}) return false;
  return os.getloc() == std::locale::classic();
}

void put_fill(std::streambuf* sb, char fill, std::streamsize count) {
  char block[64];
  std::memset(block, fill, sizeof block);
  while (count > 0) {
    const std::streamsize part = count < 64 ? count : 64;
    sb->sputn(block, part);
    count -= part;
  }
}

// Writes `text` padded to `width` the way the standard inserters pad: after the text
// for left adjustment, after a leading sign for internal adjustment of numbers,
// before the text otherwise. Consumes the stream's width.
void put_padded(std::ostream& os, const char* text, std::size_t len, int width, bool numeric) {
  std::ostream::sentry guard(os);
  if (guard) {
    std::streambuf* sb = os.rdbuf();
    const std::streamsize pad = width > static_cast<std::streamsize>(len)
                                    ? width - static_cast<std::streamsize>(len)
                                    : 0;
    const std::ios::fmtflags adjust = os.flags() & std::ios::adjustfield;
    const char fill = os.fill();
    bool ok = true;
    if (adjust == std::ios::left) {
      ok = sb->sputn(text, len) == static_cast<std::streamsize>(len);
      put_fill(sb, fill, pad);
    } else if (adjust == std::ios::internal && numeric && len > 0 &&
               (text[0] == '-' || text[0] == '+')) {
      sb->sputc(text[0]);
      put_fill(sb, fill, pad);
      ok = sb->sputn(text + 1, len - 1) == static_cast<std::streamsize>(len - 1);
    } else {
      put_fill(sb, fill, pad);
      ok = sb->sputn(text, len) == static_cast<std::streamsize>(len);
    }
    if (!ok) os.setstate(std::ios::badbit);
  }
  os.width(0);
}

void write_fixed(std::ostream& os, double value, int width, int decimals) {
  if (decimals < 0) decimals = 0;
  if (fast_numbers(os)) {
    char buf[512];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (res.ec == std::errc{}) {
      put_padded(os, buf, static_cast<std::size_t>(res.ptr - buf), width, true);
      os.precision(decimals);
      os.unsetf(std::ios::floatfield);
      return;
    }
  }
  os.setf(std::ios::fixed, std::ios::floatfield);
  os.width(width);
  os.precision(decimals);
  os << value;
  os.unsetf(std::ios::fixed);
}

void write_int(std::ostream& os, int value, int width) {
  if (fast_numbers(os)) {
    char buf[16];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    put_padded(os, buf, static_cast<std::size_t>(res.ptr - buf), width, true);
    os.unsetf(std::ios::fixed);
    return;
  }
  os.setf(std::ios::fixed);
  os.width(width);
  os << value;
  os.unsetf(std::ios::fixed);
}

void write_text(std::ostream& os, const char* text, std::size_t len, int width) {
  put_padded(os, text, len, width, false);
  os.unsetf(std::ios::fixed);
}

}  // namespace

int mask_width(const char* mask) { return static_cast<int>(std::strlen(mask)); }

int mask_decimals(const char* mask) {
  const char* dot = std::strrchr(mask, '.');
  return dot == nullptr ? 0 : static_cast<int>(std::strlen(dot + 1));
}

void frmt(std::ostream& os, double value, const char* mask) {
  write_fixed(os, value, mask_width(mask), mask_decimals(mask));
}

void frmt(std::ostream& os, float value, const char* mask) {
  write_fixed(os, static_cast<double>(value), mask_width(mask), mask_decimals(mask));
}

void frmt(std::ostream& os, int value, const char* mask) { write_int(os, value, mask_width(mask)); }

void frmt(std::ostream& os, std::string value, const char* mask) {
  write_text(os, value.data(), value.size(), mask_width(mask));
}

void frmt(std::ostream& os, const char* text, const char* mask) {
  write_text(os, text, std::strlen(text), mask_width(mask));
}

void frmt(std::ostream& os, const char* lead, double value, const char* mask) {
  os << lead;
  frmt(os, value, mask);
}

void frmt(std::ostream& os, const char* lead, int value, const char* mask) {
  os << lead;
  frmt(os, value, mask);
}

void frmt(std::ostream& os, double value, int width, int decimals) {
  write_fixed(os, value, width, decimals);
}

void frmt(double value, int width, int decimals) { write_fixed(std::cout, value, width, decimals); }
void frmt(double value, const char* mask) { frmt(std::cout, value, mask); }
void frmt(int value, const char* mask) { frmt(std::cout, value, mask); }
void frmtE(double value, const char* mask) { frmt(std::cout, value, mask); }
void frmtE(int value, const char* mask) { frmt(std::cout, value, mask); }
void frmtE(const char* text, const char* mask) { frmt(std::cout, text, mask); }

void frmt1(std::ostream& os, const char* text) {
  const std::size_t len = std::strlen(text);
  os.write(text, static_cast<std::streamsize>(len));
  for (std::size_t i = len; i < 40; ++i) os.put(' ');
  os << "*\n";
}
