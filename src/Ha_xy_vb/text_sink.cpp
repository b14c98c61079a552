// Numbers of the result files in their shortest round-trip form (std::to_chars), with a
// short cut for values read from coordinate files.
#include "text_sink.h"

#include <charconv>
#include <cmath>
#include <string>

#include "result_files.h"

namespace helmert2d {

namespace {

// Values read from coordinate files mostly have at most three decimals. For such a
// value v = m/1000 (m an integer, not a multiple of 1000, |v| < 1e12) that decimal is
// the shortest text that reads back as v: a decimal with fewer digits differs from it
// by at least 0.001, more than half the spacing of doubles below 1e12. Fixed notation
// is then never longer than scientific (0.001 ties with 1e-03, and ties go to fixed),
// so the text is the one std::to_chars writes, found without its digit search.
// Returns nullptr when v is not such a value.
char* write_thousandths(char* out, double v) {
  if (!(std::fabs(v) < 1e12)) return nullptr;
  // Any rounding of the product will do: the test below accepts only the right m.
  const double scaled = v * 1000.0;
  const auto m = static_cast<long long>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
  if (static_cast<double>(m) / 1000.0 != v) return nullptr;
  auto units = m < 0 ? -m : m;
  int frac = static_cast<int>(units % 1000);
  if (frac == 0) return nullptr;
  units /= 1000;
  char* p = out;
  if (v < 0) *p++ = '-';
  p = std::to_chars(p, p + 24, units).ptr;
  *p++ = '.';
  int digits = 3;
  while (frac % 10 == 0) {
    frac /= 10;
    --digits;
  }
  for (int d = digits - 1; d >= 0; --d) {
    p[d] = static_cast<char>('0' + frac % 10);
    frac /= 10;
  }
  return p + digits;
}

}  // namespace

char* write_shortest(char* out, double v) {
  return std::to_chars(out, out + 32, v).ptr;
}

char* write_given(char* out, double v) {
  char* end = write_thousandths(out, v);
  return end != nullptr ? end : write_shortest(out, v);
}

bool append_shortest(std::string& out, double v) {
  if (!std::isfinite(v)) return false;
  char tmp[32];
  out.append(tmp, write_given(tmp, v));
  return true;
}

std::string json_number(double v) {
  std::string s;
  return append_shortest(s, v) ? s : "null";
}

}  // namespace helmert2d
