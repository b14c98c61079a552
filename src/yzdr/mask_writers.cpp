// Mask-driven writers: every number and column text of the report goes through them.
//
// The common case (a stream with the classic locale and no showpos, showpoint,
// uppercase or non-decimal base flag) is formatted with std::to_chars, which rounds
// exactly as the stream's own printf-based insertion does; any other stream state
// takes the stream's standard insertion so the result is always what the stream
// would print.
#include <charconv>
#include <cmath>
#include <cstring>
#include <iostream>
#include <locale>
#include <sstream>

#include "helmert2d/yzdr.h"
#include "yzdr/field_text.h"

namespace {

constexpr std::ios::fmtflags kSpecialFlags =
    std::ios::showpos | std::ios::showpoint | std::ios::uppercase | std::ios::showbase;

// Whether the stream's locale is the classic one, cached per stream in an iword slot
// (0 unknown, 1 classic, 2 other) that an imbue resets, since comparing locales on every
// write costs more than the formatting itself.
int locale_slot() {
  static const int slot = std::ios_base::xalloc();
  return slot;
}

void reset_locale_cache(std::ios_base::event ev, std::ios_base& ios, int) {
  if (ev == std::ios_base::imbue_event) ios.iword(locale_slot()) = 0;
}

bool classic_locale(std::ostream& os) {
  long& cached = os.iword(locale_slot());
  if (cached == 0) {
    static const int registered = std::ios_base::xalloc();
    if (os.iword(registered) == 0) {
      os.register_callback(reset_locale_cache, 0);
      os.iword(registered) = 1;
    }
    cached = os.getloc() == std::locale::classic() ? 1 : 2;
  }
  return cached == 1;
}

bool fast_numbers(std::ostream& os) {
  const std::ios::fmtflags flags = os.flags();
  if ((flags & kSpecialFlags) != 0) return false;
  const std::ios::fmtflags base = flags & std::ios::basefield;
  if (base != std::ios::dec && base != std::ios::fmtflags{}) return false;
  return classic_locale(os);
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
    const std::streamsize pad =
        width > static_cast<std::streamsize>(len) ? width - static_cast<std::streamsize>(len) : 0;
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
    } else if (pad > 0 && pad + len <= 256) {
      // The common right-aligned field goes out in one piece.
      char field[256];
      std::memset(field, fill, static_cast<std::size_t>(pad));
      std::memcpy(field + pad, text, len);
      const std::streamsize total = pad + static_cast<std::streamsize>(len);
      ok = sb->sputn(field, total) == total;
    } else {
      put_fill(sb, fill, pad);
      ok = sb->sputn(text, len) == static_cast<std::streamsize>(len);
    }
    if (!ok) os.setstate(std::ios::badbit);
  }
  os.width(0);
}

// Fixed notation of `value` with `decimals` decimals into buf, rounded exactly as
// printf rounds the binary value. Most report values are formatted from the rounded
// integer value * 10^decimals, which is exact whenever the product is far from a
// rounding tie; the rest go through std::to_chars. Returns the length, 0 on failure.
std::size_t format_fixed(char* buf, std::size_t size, double value, int decimals) {
  static const double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10};
  if (decimals <= 10 && std::isfinite(value)) {
    const double scaled = std::fabs(value) * kPow10[decimals];
    // Below 2^40 the product is within 2^-13 of the exact decimal shift, so a
    // fraction clear of one half by more than that rounds the same either way.
    if (scaled < 1099511627776.0) {
      const double whole = std::floor(scaled);
      const double frac = scaled - whole;
      if (std::fabs(frac - 0.5) > 1.0 / 4096.0) {
        auto digits = static_cast<unsigned long long>(whole) + (frac > 0.5 ? 1u : 0u);
        char tmp[32];
        int n = 0;
        do {
          tmp[n++] = static_cast<char>('0' + digits % 10);
          digits /= 10;
        } while (digits != 0 || n <= decimals);
        std::size_t len = 0;
        if (std::signbit(value)) buf[len++] = '-';
        for (int i = n - 1; i >= decimals; --i) buf[len++] = tmp[i];
        if (decimals > 0) {
          buf[len++] = '.';
          for (int i = decimals - 1; i >= 0; --i) buf[len++] = tmp[i];
        }
        return len;
      }
    }
  }
  const auto res = std::to_chars(buf, buf + size, value, std::chars_format::fixed, decimals);
  return res.ec == std::errc{} ? static_cast<std::size_t>(res.ptr - buf) : 0;
}

void write_fixed(std::ostream& os, double value, int width, int decimals) {
  if (decimals < 0) decimals = 0;
  if (fast_numbers(os)) {
    char buf[512];
    const std::size_t len = format_fixed(buf, sizeof buf, value, decimals);
    if (len > 0) {
      put_padded(os, buf, len, width, true);
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

// Number of characters (code points) of `text` when it is valid UTF-8: no stray
// continuation byte, no sequence cut short, no overlong form, surrogate or value above
// U+10FFFF. Any other text counts its bytes.
std::size_t text_length(const char* text, std::size_t len) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < len; ++chars) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    std::size_t more = 0;
    char32_t cp = 0, least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      more = 1, cp = lead & 0x1Fu, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      more = 2, cp = lead & 0x0Fu, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      more = 3, cp = lead & 0x07u, least = 0x10000;
    } else {
      return len;
    }
    if (len - i <= more) return len;
    for (std::size_t k = 1; k <= more; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0u) != 0x80u) return len;
      cp = (cp << 6) | (next & 0x3Fu);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return len;
    i += more + 1;
  }
  return chars;
}

// Text is padded by characters, so that a name with letters outside ASCII (several
// bytes each in UTF-8) takes as many columns as any other name of its length.
void write_text(std::ostream& os, const char* text, std::size_t len, int width) {
  const std::size_t chars = text_length(text, len);
  if (chars < len && width > static_cast<int>(chars)) {
    width += static_cast<int>(len - chars);
  }
  put_padded(os, text, len, width, false);
  os.unsetf(std::ios::fixed);
}

void append_padded(std::string& out, const char* text, std::size_t len, int width, char fill) {
  if (width > static_cast<int>(len)) out.append(static_cast<std::size_t>(width) - len, fill);
  out.append(text, len);
}

}  // namespace

namespace helmert2d::fields {

bool plain_field_stream(std::ostream& os) {
  const std::ios::fmtflags adjust = os.flags() & std::ios::adjustfield;
  return adjust != std::ios::left && adjust != std::ios::internal && fast_numbers(os);
}

void append_fixed(std::string& out, double value, int width, int decimals, char fill) {
  if (decimals < 0) decimals = 0;
  char buf[512];
  const std::size_t len = format_fixed(buf, sizeof buf, value, decimals);
  if (len > 0) {
    append_padded(out, buf, len, width, fill);
    return;
  }
  // What write_fixed falls back to: the stream's own insertion.
  std::ostringstream os;
  os.imbue(std::locale::classic());
  os.fill(fill);
  os.setf(std::ios::fixed, std::ios::floatfield);
  os.width(width);
  os.precision(decimals);
  os << value;
  out += os.str();
}

void append_int(std::string& out, int value, int width, char fill) {
  char buf[16];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  append_padded(out, buf, static_cast<std::size_t>(res.ptr - buf), width, fill);
}

void append_text(std::string& out, std::string_view text, int width, char fill) {
  const std::size_t chars = text_length(text.data(), text.size());
  if (chars < text.size() && width > static_cast<int>(chars)) {
    width += static_cast<int>(text.size() - chars);
  }
  append_padded(out, text.data(), text.size(), width, fill);
}

}  // namespace helmert2d::fields

int mask_width(const char* mask) {
  return static_cast<int>(std::strlen(mask));
}

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

void frmt(std::ostream& os, int value, const char* mask) {
  write_int(os, value, mask_width(mask));
}

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

void frmt(double value, int width, int decimals) {
  write_fixed(std::cout, value, width, decimals);
}
void frmt(double value, const char* mask) {
  frmt(std::cout, value, mask);
}
void frmt(int value, const char* mask) {
  frmt(std::cout, value, mask);
}
void frmtE(double value, const char* mask) {
  frmt(std::cout, value, mask);
}
void frmtE(int value, const char* mask) {
  frmt(std::cout, value, mask);
}
void frmtE(const char* text, const char* mask) {
  frmt(std::cout, text, mask);
}

void frmt1(std::ostream& os, const char* text) {
  const std::size_t len = std::strlen(text);
  os.write(text, static_cast<std::streamsize>(len));
  for (std::size_t i = len; i < 40; ++i) os.put(' ');
  os << "*\n";
}
